// The memory dumps: the binary image block by block on both port paths, its preparation, a
// withheld block, and the hex list with its layout, its padding and its failure.
#include "app/MessageTable.h"
#include "ops/DumpSequences.h"
#include "sim/SimLoggerMemory.h"
#include "support/LinkTestAccess.h"
#include "support/SequenceTestSupport.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using seqtest::Watchdog;

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList lines(const QString& path) {
    const QByteArray text = readFile(path);
    QStringList out = QString::fromLatin1(text).split("\r\n");
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast(); // after the last line end
    return out;
}

QByteArray block(const QByteArray& image, int b) {
    return image.mid(qsizetype(b) * 512, 512);
}

// A hex list data line written out independently of the link's formatting.
QString expectedLine(quint32 address, const QByteArray& bytes) {
    QString line = QString("%1 ").arg(address, 6, 16, QChar('0')).toUpper();
    QString text;
    for (int i = 0; i < 16; ++i) {
        const quint8 b = quint8(bytes.at(i));
        line += QString("%1 ").arg(b, 2, 16, QChar('0')).toUpper();
        if (i == 7)
            line += ' ';
        text += (b >= 32 && b <= 126) ? QChar(b) : QChar('.');
    }
    return line + "  " + text;
}

const QString Header = "Adrs   +0 +1 +2 +3 +4 +5 +6 +7  +8 +9 +A +B +C +D +E +F   List Of ASCII   ";

// A scripted dump listing: each entry is one block "number,address,hexdata"; the last one ends
// with EOT, the others with ETB and wait for the PC's acknowledgement.
void listingInstrument(seqtest::ScriptedLink& s, const QList<QByteArray>& blocks) {
    auto next = std::make_shared<int>(0);
    s.port->setResponder([blocks, next](const QByteArray& written) -> QByteArray {
        const QString payload = linksupport::Payload(written);
        const bool start = payload.startsWith("EF,R");
        const bool ack = payload.startsWith(QChar(0x06));
        if (!start && !ack)
            return QByteArray();
        if (start)
            *next = 0;
        if (*next >= blocks.size())
            return QByteArray();
        const int i = (*next)++;
        const char end = i + 1 == blocks.size() ? '\x04' : '\x17';
        return linktest::reply("EF,R", QByteArray::number(blocks.size()) + ',' + blocks[i], end);
    });
}

} // namespace

class TestDumps : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const char* name) const { return m_dir.path() + '/' + name; }

private slots:
    void initTestCase() { SetMessageLanguage("en"); }

    void wholeImageIsTheSameOnBothPortPaths() {
        // Serial path.
        seqtest::SimLink serial;
        QVERIFY(serial.connect());
        QSignalSpy messages(&serial.link, &uclHbif::DumpMessage);
        Watchdog dog(serial.link);
        QVERIFY(DumpSequences(serial.link).GetBinDump(path("serial.dat"), 0, 1023));
        QCOMPARE(serial.link.Status(), LinkStatus::Done);
        const QByteArray memory = serial.sim().state().memory.bytes();
        QCOMPARE(readFile(path("serial.dat")), memory);
        const QStringList sent = serial.commands();
        QCOMPARE(sent.size(), 1024);
        QCOMPARE(sent.first(), QString("EP,R,0000"));
        QCOMPARE(sent[0x1F], QString("EP,R,001F"));
        QCOMPARE(sent.last(), QString("EP,R,03FF"));
        QCOMPARE(messages.size(), 1026);
        QCOMPARE(messages[0][0].toString(), QString("Initialize Local Image"));
        QCOMPARE(messages[1][0].toString(), QString("Get FLASH Image"));
        QCOMPARE(messages[2][0].toString(), QString("Get FLASH Image 0000"));
        QCOMPARE(messages.last()[0].toString(), QString("Get FLASH Image 03FF"));
        QCOMPARE(serial.log.count("--- Dump List Download Started. ---("), 1);
        QCOMPARE(serial.log.count("--- Dump List Download Finished. ---("), 1024);

        // The infrared path: the same control writes the same bytes at the same offsets.
        linktest::LogFolder log;
        clsInstrument record;
        uclHbif link;
        auto* irda = new SimPortControl(SimOptions{}, &link);
        link.setIrDAControl(irda);
        link.setSerialComm(false);
        seqtest::configure(link, record);
        QCOMPARE(link.ActivePort(), irda);
        irda->open();
        irda->pollModemLines();
        LinkTestAccess::setLinkMode(link, ConnectMode::Connected);
        LinkTestAccess::setStatus(link, LinkStatus::Released);
        QVERIFY(DumpSequences(link).GetBinDump(path("irda.dat"), 0, 1023));
        QCOMPARE(readFile(path("irda.dat")), memory);
        QCOMPARE(irda->instrument().commandCount("EP,R"), 1024);
        QVERIFY(!dog.fired());
    }

    void theWholeMemoryAlwaysStartsFromAFreshImage() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        const QByteArray old(600000, '\x11');
        writeFile(path("big.dat"), old);
        s.sim().setFaults("silent=0");
        Watchdog dog(s.link);
        // Nothing arrives: the old file stays as it was, and nothing is kept beside it.
        QVERIFY(!DumpSequences(s.link).GetBinDump(path("big.dat"), 0, 1023));
        QCOMPARE(readFile(path("big.dat")), old);
        QVERIFY(!QFile::exists(path("big.partial.dat")));
        QVERIFY(s.link.BinaryRetry());
        // A whole dump replaces it with the memory alone, none of the old bytes left.
        s.sim().setFaults(QString());
        QVERIFY(DumpSequences(s.link).GetBinDump(path("big.dat"), 0, 1023));
        QCOMPARE(readFile(path("big.dat")), s.sim().state().memory.bytes());
        QVERIFY(!dog.fired());
    }

    void aPartialRangeKeepsTheRestOfAnExistingImage() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        writeFile(path("part.dat"), QByteArray(524288, '\x11'));
        QVERIFY(DumpSequences(s.link).GetBinDump(path("part.dat"), 2, 3));
        QCOMPARE(s.commands(), (QStringList{"EP,R,0002", "EP,R,0003"}));
        const QByteArray image = readFile(path("part.dat"));
        const QByteArray memory = s.sim().state().memory.bytes();
        QCOMPARE(image.size(), 524288);
        QCOMPARE(block(image, 1), QByteArray(512, '\x11'));
        QCOMPARE(block(image, 2), block(memory, 2));
        QCOMPARE(block(image, 3), block(memory, 3));
        QCOMPARE(block(image, 4), QByteArray(512, '\x11'));

        // A file that does not exist yet is prepared erased.
        QVERIFY(DumpSequences(s.link).GetBinDump(path("new.dat"), 5, 5));
        const QByteArray fresh = readFile(path("new.dat"));
        QCOMPARE(fresh.size(), 524288);
        QCOMPARE(block(fresh, 5), block(memory, 5));
        QCOMPARE(block(fresh, 4), QByteArray(512, '\xFF'));
    }

    void aWithheldBlockEndsTheDumpThroughTheTimeout() {
        seqtest::SimLink s(SimOptions{0, "withhold=3", 1});
        QVERIFY(s.connect());
        Watchdog dog(s.link);
        DumpSequences dumps(s.link);
        QVERIFY(!dumps.GetBinDump(path("held.dat"), 0, 1023));
        QVERIFY(!dog.fired());
        QVERIFY(s.link.BinaryRetry());
        QVERIFY(!s.link.Cancel()); // nothing left to end the next command
        QCOMPARE(s.link.Status(), LinkStatus::Released);
        QCOMPARE(s.commands(), (QStringList{"EP,R,0000", "EP,R,0001", "EP,R,0002", "EP,R,0003"}));
        QCOMPARE(s.log.count("= timeout ="), 1);
        // No image: the three whole blocks that came are kept under a name that says so,
        // without the half block and without erased blocks that would pass for data.
        QVERIFY(!QFile::exists(path("held.dat")));
        QCOMPARE(readFile(path("held.partial.dat")), s.sim().state().memory.bytes().left(3 * 512));
        QCOMPARE(dumps.LastOutcome().end, DumpSequences::Outcome::End::NoReply);
        QCOMPARE(dumps.LastOutcome().arrived, 3);
        QCOMPARE(DumpSequences::Describe(dumps.LastOutcome(), path("held.dat")).first(),
                 QString("No reply from the instrument for block 0003."));
    }

    void hexDumpLineKnownAnswers() {
        QByteArray bytes(16, '\0');
        bytes[0] = 0x41;
        bytes[1] = 0x7F;
        bytes[7] = 0x20;
        bytes[8] = 0x7E;
        bytes[15] = char(0xFF);
        QCOMPARE(DumpSequences::HexDumpLine(bytes),
                 QString("41 7F 00 00 00 00 00 20  7E 00 00 00 00 00 00 FF   A...... ~......."));
        QCOMPARE(DumpSequences::HexListHeader(), Header);
        QCOMPARE(DumpSequences::HexListRule(), QString(74, '-'));
    }

    void theHexListHasItsLayout() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        QSignalSpy messages(&s.link, &uclHbif::DumpMessage);
        Watchdog dog(s.link);
        QVERIFY(DumpSequences(s.link).GetRomDump2(path("DumpEF.dat")));
        QVERIFY(!dog.fired());
        QCOMPARE(s.link.Status(), LinkStatus::Done);
        QCOMPARE(s.sim().commandCount("EF,R"), 1);
        QCOMPARE(s.sim().commandCount("ACK"), SimLoggerMemory::ListingBlocks - 1);

        const QStringList l = lines(path("DumpEF.dat"));
        const QByteArray listing = s.sim().state().memory.bytes().left(1024);
        QCOMPARE(l[0], QString(";\tTQ-5800 Data Logger Program"));
        QVERIFY(l[1].startsWith(";\tFlush ROM Dump (EF) List "));
        QVERIFY(QDateTime::fromString(l[1].mid(27), "yyyy/MM/dd hh:mm:ss").isValid());
        QCOMPARE(l[2], QString(";\tSelvane Co.,Ltd."));
        QCOMPARE(l[3], QString());
        // Four groups of 16 lines: header, rule, lines, empty line.
        for (int g = 0; g < 4; ++g) {
            const int at = 4 + g * 19;
            QCOMPARE(l[at], Header);
            QCOMPARE(l[at + 1], QString(74, '-'));
            for (int k = 0; k < 16; ++k) {
                const int offset = (g * 16 + k) * 16;
                QCOMPARE(l[at + 2 + k], expectedLine(quint32(offset), listing.mid(offset, 16)));
            }
            QCOMPARE(l[at + 18], QString());
        }
        QCOMPARE(l.size(), 4 + 4 * 19 + 2);
        QCOMPARE(l[4 + 4 * 19], QString());
        QCOMPARE(l.last(), QString(";\tTotal Download Time = 00:00:00"));
        QStringList groups;
        for (const auto& m : messages)
            groups << m[0].toString();
        QCOMPARE(groups, (QStringList{"Get Dump 000000-0000FF", "Get Dump 000100-0001FF",
                                      "Get Dump 000200-0002FF", "Get Dump 000300-0003FF"}));
        QCOMPARE(s.log.count("--- Dump List Download Started. ---("), 1);
    }

    void aShortPieceIsPaddedAndTheGroupFilledUp() {
        seqtest::ScriptedLink s;
        // Block 1 carries five bytes, block 2 sixteen: block 2 starts at address 000080.
        listingInstrument(s, {"1,000000,0123456789", "2,000080,4142434445464748494A4B4C4D4E4F7F"});
        QVERIFY(DumpSequences(s.link).GetRomDump2(path("short.dat")));
        const QStringList l = lines(path("short.dat"));
        QByteArray first(16, '\xFF');
        first.replace(0, 5, QByteArray::fromHex("0123456789"));
        QCOMPARE(l[6], expectedLine(0x000000, first));
        QCOMPARE(l[6], QString("000000 01 23 45 67 89 FF FF FF  FF FF FF FF FF FF FF FF   "
                               ".#Eg............"));
        QCOMPARE(l[7], QString("000080 41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 7F   "
                               "ABCDEFGHIJKLMNO."));
        // The rest of the group: erased lines at the following addresses.
        for (int k = 2; k < 16; ++k)
            QCOMPARE(l[6 + k], expectedLine(quint32(0x80 + (k - 1) * 16), QByteArray(16, '\xFF')));
        QCOMPARE(l[22], QString());
        QCOMPARE(l[23], QString());
        QVERIFY(l[24].startsWith(";\tTotal Download Time = "));
        QCOMPARE(l.size(), 25);
    }

    void aListingWithoutAllItsBlocksIsIncomplete_data() {
        QTest::addColumn<QList<QByteArray>>("blocks");
        QTest::addColumn<QString>("arrived");
        const QByteArray data = "00112233445566778899AABBCCDDEEFF";
        // An instrument that took a repeated acknowledgement as two skips a block.
        QTest::newRow("block skipped")
            << QList<QByteArray>{"1,000000," + data, "2,000080," + data, "4,000180," + data}
            << "1-2, 4";
        // The last block ends the listing before the count it announced (four).
        QTest::newRow("ends early")
            << QList<QByteArray>{"1,000000," + data, "2,000080," + data} << "1-2";
    }
    void aListingWithoutAllItsBlocksIsIncomplete() {
        QFETCH(QList<QByteArray>, blocks);
        QFETCH(QString, arrived);
        seqtest::ScriptedLink s;
        auto next = std::make_shared<int>(0);
        s.port->setResponder([blocks, next](const QByteArray& written) -> QByteArray {
            const QString payload = linksupport::Payload(written);
            if (!payload.startsWith("EF,R") && !payload.startsWith(QChar(0x06)))
                return QByteArray();
            const int i = (*next)++;
            if (i >= blocks.size())
                return QByteArray();
            const char end = i + 1 == blocks.size() ? '\x04' : '\x17';
            return linktest::reply("EF,R", "4," + blocks[i], end);
        });
        QVERIFY(!DumpSequences(s.link).GetRomDump2(path("gap.dat")));
        QVERIFY(!QFile::exists(path("gap.dat")));
        const QStringList l = lines(path("gap.partial.dat"));
        QCOMPARE(l.value(3), ";\tIncomplete list: blocks " + arrived + " of 4 arrived");
        // What came is listed at its own addresses, and nothing was made up for the rest.
        QCOMPARE(l.filter(QRegularExpression("^000(000|080|180) ")).size(), blocks.size());
        QVERIFY(l.filter(QRegularExpression("^[0-9A-F]{6} FF FF FF FF FF FF FF FF")).isEmpty());
    }

    void aFailedListingKeepsWhatCameAndCloses() {
        // The connect reply and two listing blocks (one group of 16 lines) come, then silence.
        seqtest::SimLink s(SimOptions{0, "silent=3", 1});
        QVERIFY(s.connect());
        Watchdog dog(s.link);
        QVERIFY(!DumpSequences(s.link).GetRomDump2(path("failed.dat")));
        QVERIFY(!dog.fired());
        QCOMPARE(s.link.Status(), LinkStatus::Released);
        QVERIFY(!QFile::exists(path("failed.dat")));
        const QStringList l = lines(path("failed.partial.dat"));
        QCOMPARE(l.size(), 5 + 19 + 2);
        QCOMPARE(l[3], QString(";\tIncomplete list: blocks 1-2 of 8 arrived"));
        QCOMPARE(l[5], Header);
        QVERIFY(l.last().startsWith(";\tTotal Download Time = "));
    }
};

QTEST_MAIN(TestDumps)
#include "test_dumps.moc"
