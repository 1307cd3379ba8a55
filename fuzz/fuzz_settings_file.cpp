// Any bytes as a settings file, read from memory: the reader must end and the record must
// write. The record never holds a text with a comma (it would shift the fields of
// the instrument's commands). When the input was read to its end and the program would store
// the record, the file written from it imports to its end as well. (An input that stopped the
// reading leaves the record changed up to the failing field, as the reader promises; such a
// record is not expected to make an importable file, nor is one the program refuses to store:
// a value too wide for its field, or a text holding a ";", which the reader would take for a
// comment.)
#include "model/SettingsFile.h"
#include "model/clsInstrument.h"

#include <QBuffer>
#include <QStringList>
#include <cstdlib>

namespace {

SettingsReadResult readFrom(clsInstrument& record, const QByteArray& bytes) {
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    return ReadSettings(record, in, [](const QString&) {});
}

bool holdsAComma(const clsInstrument& r) {
    QStringList texts{r.SpecNo(), r.SpecType()};
    for (int s = 0; s < clsInstrument::GasCount; ++s)
        texts << r.GasName(s) << r.GasUnit(s);
    for (int e = 0; e < clsInstrument::UserGasCount; ++e)
        texts << r.LS_Name(e) << r.LS_Unit(e);
    for (const QString& t : texts)
        if (t.contains(u','))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clsInstrument record;
    const SettingsReadResult first = readFrom(
        record, QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));

    const QByteArray written = SettingsFileText(record);
    if (holdsAComma(record))
        std::abort();
    if (!first.ok || !SettingsFileProblems(record).isEmpty())
        return 0;
    clsInstrument again;
    const SettingsReadResult result = readFrom(again, written);
    if (!result.ok || result.unknownLines != 0)
        std::abort();
    return 0;
}
