#pragma once

#include "link/HexListBuffer.h"

#include <QByteArray>
#include <QList>
#include <QString>

class uclHbif;

// The two memory dumps of the communications control: a binary image of the logger memory,
// block by block (Key::MemoryBlockRead), and a readable hex list of the instrument's own dump
// listing (Key::DumpListing). Progress goes out as DumpMessage and to the communication log.
//
// Both check their file before the instrument is asked anything and build it aside: the file
// named is replaced only by a complete run, so a run that fails leaves the earlier file as it
// was. What did arrive is kept beside it under PartialPath's name, and LastOutcome says what
// happened.
class DumpSequences {
public:
    static constexpr int BlockSize = 512;
    static constexpr int MemoryBlocks = 1024;
    static constexpr qint64 ImageSize = qint64(BlockSize) * MemoryBlocks; // 0x80000
    // A block's reply has no frame: only a quiet line after it tells that no byte more
    // followed. The line is listened to after every this many blocks and after the last one;
    // bytes that come late are caught there, and the blocks since the last quiet moment are
    // asked again.
    static constexpr int QuietCheckEvery = 64;

    struct Outcome {
        enum class End {
            Complete,
            NoReply,   // a block or the listing was not answered in time
            Cancelled, // by the operator
            Surplus,   // blocks went on past their 512 bytes, again and again
            LinkFailed,
            Incomplete, // the listing skipped blocks or ended before its announced count
            FileError,  // the file could not be written (or was refused before the start)
        };
        End end = End::Complete;
        qint64 arrived = 0;  // whole blocks that came: the image's from the first, the listing's
        qint64 expected = 0; // blocks asked for, or announced by the listing
        qint64 stoppedAt = -1;
        QString arrivedText; // the listing's blocks that came, as ranges
        QString fileError;   // why a file could not be written
        QString partialPath; // where what came was kept; empty when nothing was
    };
    const Outcome& LastOutcome() const { return m_outcome; }
    // The outcome as sentences for the operator (empty for a complete run).
    static QStringList Describe(const Outcome& outcome, const QString& path);

    explicit DumpSequences(uclHbif& link) : m_link(link) {}

    // Blocks first..last into the image at `path`, each at block x 512. The whole memory
    // (0..1023), or a file that does not exist yet, starts from a fresh image of 0xFF; a partial
    // range keeps the rest of an existing image. True when every block came whole. A block
    // that times out sets BinaryRetry and Cancel and ends the dump; Status is then 2.
    bool GetBinDump(const QString& path, int first, int last);

    // The instrument's dump listing as a hex list file. True when the listing ended with
    // Status 6 and every block it announced came, in order.
    bool GetRomDump2(const QString& listPath);

    // One data line's text after the address: 16 bytes as hex with an extra blank after the
    // eighth, two blanks, then the bytes as characters ("." outside 32..126).
    static QString HexDumpLine(const QByteArray& bytes);
    // The column header and the dash line above each group of 16 lines.
    static QString HexListHeader();
    static QString HexListRule();
    // Adds one group of lines to the list being built and raises DumpMessage with the group's
    // address range.
    void WriteHexList(const QList<HexListBuffer::Line>& lines);

private:
    bool prepareImage(const QString& path, int first, int last);
    bool lineStaysQuiet(const bool& byteCame);
    void finishImage(const QString& path, int first, qint64 arrived, bool complete);
    bool keepPartial(const QString& path, const QByteArray& bytes);
    void listLine(const QString& text);

    uclHbif& m_link;
    Outcome m_outcome;
    QByteArray m_image;
    QByteArray m_listBody;
    bool m_listing = false;
};
