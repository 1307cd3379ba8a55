// Any bytes as a settings file: the reader must end and leave a record that exports.
#include "model/SettingsFile.h"
#include "model/clsInstrument.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clsInstrument record;
    QBuffer in;
    in.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    in.open(QIODevice::ReadOnly);
    int unknown = 0;
    ReadSettings(record, in, [&unknown](const QString&) { ++unknown; });

    clsInstrument again;
    QBuffer out;
    out.setData(SettingsFileText(record));
    out.open(QIODevice::ReadOnly);
    ReadSettings(again, out);
    return 0;
}
