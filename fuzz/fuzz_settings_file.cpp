// Any bytes as a settings file, read from memory: the reader must end and the record must
// write. When the input was read to its end and the program would store the record, the file
// written from it imports to its end as well. (An input that stopped the reading leaves the
// record changed up to the failing field, as the reader promises; such a record is not
// expected to make an importable file. Nor is one holding a value its file cannot carry, such
// as a name that a comment turned into the rest of its line, commas and all: the program
// refuses to store it and names the value.)
#include "model/SettingsFile.h"
#include "model/clsInstrument.h"

#include <QBuffer>
#include <cstdlib>

namespace {

SettingsReadResult readFrom(clsInstrument& record, const QByteArray& bytes) {
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    return ReadSettings(record, in, [](const QString&) {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clsInstrument record;
    const SettingsReadResult first = readFrom(
        record, QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));

    const QByteArray written = SettingsFileText(record);
    if (!first.ok || !SettingsFileProblems(record).isEmpty())
        return 0;
    clsInstrument again;
    const SettingsReadResult result = readFrom(again, written);
    if (!result.ok || result.unknownLines != 0)
        std::abort();
    return 0;
}
