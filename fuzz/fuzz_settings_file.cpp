// Any bytes as a settings file, read from memory over a record that holds settings the program
// would store: the reader must end, say why it refused (the line that broke a rule, or the
// file's lack of any setting), and the record must write. The record never holds a text with
// a comma (it would shift the fields of the instrument's commands). When the input was
// accepted and the program would store the record, the file written from it is accepted as
// well, holds nothing the reader skips, and reads back to the same file. (An input that was
// refused leaves the record changed up to the refused line, as the reader promises; such a
// record is not expected to make an acceptable file, nor is one the program refuses to store.)
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
    return ReadSettings(record, in);
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

// A record the program would store as it is, so that a file giving only some of the groups
// still makes a record to write and read back.
clsInstrument storable() {
    clsInstrument r;
    r.setIntervals(60);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clsInstrument record = storable();
    const SettingsReadResult first = readFrom(
        record, QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!first.ok && first.message.isEmpty())
        std::abort(); // a refusal always says why
    if (first.unknown.size() > MaxUnknownLines)
        std::abort();

    const QByteArray written = SettingsFileText(record);
    if (holdsAComma(record))
        std::abort();
    if (!first.ok || !SettingsFileProblems(record).isEmpty())
        return 0;
    clsInstrument again;
    const SettingsReadResult result = readFrom(again, written);
    if (!result.ok || result.unknownLines != 0)
        std::abort();
    // The pressure offset's two hex digits come back unsigned, as from the instrument.
    again.setpressOffset(record.pressOffset());
    if (SettingsFileText(again) != written)
        std::abort();
    return 0;
}
