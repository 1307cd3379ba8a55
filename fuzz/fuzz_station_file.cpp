// Any bytes as a station file: the reader must end, refuse or give at most 128 entries, and
// valid entries it accepts must write and read back unchanged.
#include "model/StationFile.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer in;
    in.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    in.open(QIODevice::ReadOnly);
    const StationFile::ReadResult r = StationFile::Read(in);
    if (!r.ok)
        return 0;
    if (r.entries.size() > StationFile::Entries)
        std::abort();
    // Valid identifiers hold no separator, so their file reads back as it was.
    if (!StationFile::InvalidEntries(r.entries).isEmpty())
        return 0;
    QBuffer out;
    out.setData(StationFile::Text(r.entries));
    out.open(QIODevice::ReadOnly);
    const StationFile::ReadResult again = StationFile::Read(out);
    if (!again.ok || again.entries != r.entries)
        std::abort();
    return 0;
}
