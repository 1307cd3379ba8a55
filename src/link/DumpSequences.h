#pragma once

#include "link/HexListBuffer.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

class uclHbif;

// The two memory dumps of the communications control: a binary image of the logger memory,
// block by block ("EP,R,"), and a readable hex list of the instrument's own dump listing
// ("EF,R,"). Progress goes out as DumpMessage and to the communication log.
class DumpSequences {
public:
    static constexpr int BlockSize = 512;
    static constexpr int MemoryBlocks = 1024;
    static constexpr qint64 ImageSize = qint64(BlockSize) * MemoryBlocks; // 0x80000

    explicit DumpSequences(uclHbif& link) : m_link(link) {}

    // Blocks first..last into the image at `path`, each at block x 512. The whole memory
    // (0..1023), or a file that does not exist yet, starts from a fresh image of 0xFF; a partial
    // range keeps the rest of an existing image. True when the last block came whole. A block
    // that times out sets BinaryRetry and Cancel and ends the dump; Status is then 2.
    bool GetBinDump(const QString& path, int first, int last);

    // The instrument's dump listing as a hex list file (overwritten). True when the listing
    // ended with Status 6; a failed listing leaves the lines so far and the closing lines.
    bool GetRomDump2(const QString& listPath);

    // One data line's text after the address: 16 bytes as hex with an extra blank after the
    // eighth, two blanks, then the bytes as characters ("." outside 32..126).
    static QString HexDumpLine(const QByteArray& bytes);
    // The column header and the dash line above each group of 16 lines.
    static QString HexListHeader();
    static QString HexListRule();
    // Writes one group of 16 lines to the open list file and raises DumpMessage with the
    // group's address range.
    void WriteHexList(const QList<HexListBuffer::Line>& lines);

private:
    void writeListLine(const QString& text);

    uclHbif& m_link;
    QFile m_list;
};
