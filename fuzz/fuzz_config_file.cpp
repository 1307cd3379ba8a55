// Any bytes as a configuration file, read from memory: the reader must end, and what it kept
// must write and read back whole and unchanged (a second write gives the same file).
#include "app/AppDate.h"
#include "state/AppState.h"
#include "state/ConfigFile.h"

#include <QBuffer>
#include <cstdlib>

namespace {

ConfigReadResult readFrom(AppState& state, const QByteArray& bytes) {
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    return ReadConfig(state, in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const AppDate when(45000.5);
    // A fresh state for each input, copied: building one costs hundreds of strings.
    static const AppState blank;
    AppState state = blank;
    readFrom(state, QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));

    const QByteArray written = ConfigFileText(state, when);
    AppState again = blank;
    if (readFrom(again, written).stopped)
        std::abort();
    // "Execute Count" is written one higher each time; the rest must match.
    again.ExecuteCount = state.ExecuteCount;
    // An empty access password is written as an empty field, which reads as no value and keeps
    // the default: the program takes an empty password for the default one anyway.
    if (state.AccessPassword.isEmpty())
        again.AccessPassword = state.AccessPassword;
    if (ConfigFileText(again, when) != written)
        std::abort();
    return 0;
}
