// Any bytes as a configuration file: the reader must end, and what it kept must write and
// read back without a stop.
#include "app/AppDate.h"
#include "app/AppState.h"
#include "app/ConfigFile.h"

#include <QBuffer>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AppState state;
    QBuffer in;
    in.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    in.open(QIODevice::ReadOnly);
    ReadConfig(state, in);

    AppState again;
    QBuffer out;
    out.setData(ConfigFileText(state, AppDate(45000.5)));
    out.open(QIODevice::ReadOnly);
    if (ReadConfig(again, out).stopped)
        std::abort();
    return 0;
}
