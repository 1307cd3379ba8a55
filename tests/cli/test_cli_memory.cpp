// tq5800-cli end to end on tq5800-sim's pseudo-terminal: the logger download against the
// simulator's memory, with check data and with one withheld block; the FRAM hex list; check
// data, live readings and power off.
#include "support/CliTestSupport.h"
#include "sim/SimLoggerMemory.h"

#include <QtTest>

using clitest::runCli;
using clitest::Simulator;

class TestCliMemory : public QObject {
    Q_OBJECT

private slots:
    void theDownloadedImageIsTheInstrumentsMemory() {
        Simulator sim;
        QTemporaryDir dir;
        auto r = runCli(dir.path(), {"--port", sim.pty(), "download", "TQ5800.DAT"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(clitest::readFile(dir.path() + "/TQ5800.DAT"), SimLoggerMemory::sampleImage());
        QVERIFY(r.out.contains("TQ-5800 Log Data Download"));
        QCOMPARE(clitest::countLines(dir.path(), "W : [STX]0001EP,R,"), 1024);

        // After check data the image is the reference file beside the program.
        r = runCli(dir.path(), {"--port", sim.pty(), "check-data"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("TQ-5800 Upload Complete."));
        r = runCli(dir.path(), {"--port", sim.pty(), "download", "TQ5800.DAT"});
        QCOMPARE(r.exitCode, 0);
        const QByteArray reference = clitest::readFile(clitest::binary("TQ5800_Check.DAT"));
        QCOMPARE(reference.size(), 524288);
        QCOMPARE(clitest::readFile(dir.path() + "/TQ5800.DAT"), reference);
    }

    void aWithheldBlockIsFetchedAgainWithExactlyOneRetry() {
        Simulator sim({"--faults", "withhold=9"});
        QTemporaryDir dir;
        const auto r =
            runCli(dir.path(), {"--port", sim.pty(), "--timeout", "0.3", "download", "img.dat"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(clitest::readFile(dir.path() + "/img.dat"), SimLoggerMemory::sampleImage());
        QCOMPARE(r.out.count("One more time !"), 1);
        QCOMPARE(r.err.count(QChar('\a')), 1); // the broken try rang the terminal's bell
        QCOMPARE(clitest::countLines(dir.path(), "= timeout ="), 1);
        QCOMPARE(clitest::countLines(dir.path(), "W : [STX]0001VP,R,"), 2);
        QCOMPARE(clitest::countLines(dir.path(), "W : [STX]0001EP,R,0009"), 2);
        QCOMPARE(clitest::countLines(dir.path(), "W : [STX]0001EP,R,"), 10 + 1024);
    }

    void theFramDumpListHasItsLayout() {
        Simulator sim;
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "fram-dump", "DumpEF.dat"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("Dump List Download () Start."));
        QVERIFY(r.out.contains("Dump List Download () Finished."));
        QStringList l =
            QString::fromLatin1(clitest::readFile(dir.path() + "/DumpEF.dat")).split("\r\n");
        QCOMPARE(l.takeLast(), QString()); // every line ends with CR LF
        QCOMPARE(l.size(), 4 + 4 * 19 + 2);
        QCOMPARE(l[0], QString(";\tTQ-5800 Data Logger Program"));
        QVERIFY(l[1].startsWith(";\tFlush ROM Dump (EF) List 20"));
        QCOMPARE(l[2], QString(";\tSelvane Co.,Ltd."));
        const QByteArray memory = SimLoggerMemory::sampleImage();
        for (int g = 0; g < 4; ++g) {
            QVERIFY(l[4 + g * 19].startsWith("Adrs   +0 +1 +2 +3 +4 +5 +6 +7  +8 +9"));
            QCOMPARE(l[5 + g * 19], QString(74, '-'));
            for (int k = 0; k < 16; ++k) {
                const QString line = l[6 + g * 19 + k];
                const int address = (g * 16 + k) * 16;
                QCOMPARE(line.left(7), QString("%1 ").arg(address, 6, 16, QChar('0')).toUpper());
                QCOMPARE(QByteArray::fromHex(line.mid(7, 49).remove(' ').toLatin1()),
                         memory.mid(address, 16));
                QCOMPARE(line.size(), 74);
            }
        }
        QVERIFY(l.last().startsWith(";\tTotal Download Time = 00:00:0"));
    }

    void liveReadingsComeLineByLine() {
        Simulator sim;
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "live", "--count", "2"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 3);
        lines = lines.mid(lines.size() - 3);
        QVERIFY(lines[0].startsWith("Time"));
        QVERIFY(lines[0].contains("CH4"));
        for (int i = 1; i <= 2; ++i)
            QVERIFY(QRegularExpression(R"(^\d\d:\d\d:\d\d +\S+ +\S+ +\S+ +\S+ +\S+$)")
                        .match(lines[i])
                        .hasMatch());
        QCOMPARE(clitest::countLines(dir.path(), "W : [STX]0001DN,R,"), 2);
    }

    void powerOffLeavesTheInstrumentSilent() {
        Simulator sim;
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "power-off"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("TQ-5800 Auto Power OFF Complete."));
        QCOMPARE(clitest::countLines(dir.path(), "---Auto Power OFF Finished---."), 1);
    }
};

QTEST_MAIN(TestCliMemory)
#include "test_cli_memory.moc"
