// tq5800-cli stations export and import end to end on tq5800-sim's pseudo-terminal: the reads
// and writes on the wire, the file written, the round trip through the instrument, and files
// refused by the check before anything is sent.
#include "support/CliTestSupport.h"

#include "link/Frame.h"

#include <QSerialPort>
#include <QtTest>

using clitest::runCli;
using clitest::Simulator;

namespace {

QStringList afterConnect(const QStringList& sent) {
    const qsizetype at = sent.lastIndexOf("RC,R,");
    return at < 0 ? sent : sent.mid(at + 1);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestCliStations : public QObject {
    Q_OBJECT

private slots:
    void importThenExportRoundTripsThroughTheInstrument() {
        Simulator sim;
        QVERIFY(!sim.pty().isEmpty());
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("in.csv"), "1,NORTH GATE\r\n9\t ROOF-2\r\n3,\r\n"));
        auto r = runCli(dir.path(), {"--port", sim.pty(), "stations", "import", "in.csv"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("Import Complete: 3 stations written"));
        QCOMPARE(afterConnect(clitest::sentPayloads(dir.path())),
                 (QStringList{"XS,W,0000,NORTH GATE      ", "XS,W,0001, ROOF-2         ",
                              "XS,W,0002,                ", "DW,W,"}));

        r = runCli(dir.path(), {"--port", sim.pty(), "stations", "export", "out.csv"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("Export Complete"));
        QStringList reads;
        for (int i = 0; i < 128; ++i)
            reads << QStringLiteral("XS,R,%1").arg(i, 4, 16, QChar(u'0')).toUpper();
        QCOMPARE(afterConnect(clitest::sentPayloads(dir.path())), reads);
        const QList<QByteArray> lines = clitest::readFile(dir.filePath("out.csv")).split('\n');
        QCOMPARE(lines.size(), 129);
        // The instrument keeps its texts padded to 16 and the list keeps them as read.
        QCOMPARE(lines.at(0), QByteArray("1,NORTH GATE      \r"));
        QCOMPARE(lines.at(1), QByteArray("2, ROOF-2         \r"));
        QCOMPARE(lines.at(2), QByteArray("3,                \r"));
        QVERIFY(lines.at(127).startsWith("128,"));
    }

    void aFileThatFailsTheCheckSendsNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("identifier")
            << QByteArray("1,OK\r\n2,A.B\r\n") << "Station 2 breaks the identifier rule";
        QTest::newRow("17 characters")
            << QByteArray("1,ABCDEFGHIJKLMNOPQ") << "Station 1 breaks the identifier rule";
        QTest::newRow("binary") << QByteArray("1,A\0\1", 5) << "it is not a text file";
        QByteArray many;
        for (int i = 0; i < 130; ++i)
            many += "1,A\r\n";
        QTest::newRow("130 lines") << many << "line 129 is past the 128 entries";
        QTest::newRow("empty") << QByteArray("\r\n \r\n") << "it holds no station line";
        QTest::newRow("utf-16") << QByteArray("\xFF\xFE"
                                              "1\0,\0A\0",
                                              8)
                                << "not text in the system encoding (UTF-8)";
    }
    void aFileThatFailsTheCheckSendsNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Simulator sim;
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("bad.csv"), bytes));
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "stations", "import", "bad.csv"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(clitest::sentPayloads(dir.path()), QStringList());
    }

    // The instrument may hold an identifier that the rule refuses: the export keeps it, as the
    // instrument holds it, and names the line that "stations import" would refuse.
    void exportNamesTheEntriesImportWouldRefuse() {
        Simulator sim;
        {
            QSerialPort port(sim.pty());
            QVERIFY(port.open(QIODevice::ReadWrite));
            port.write(BuildFrame(QStringLiteral("XS,W,0001,A.B             "), Ctl::EOT));
            QVERIFY(port.waitForBytesWritten(clitest::CommandLimitMs));
            QVERIFY(port.waitForReadyRead(clitest::CommandLimitMs));
        }
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "stations", "export", "out.csv"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.contains("Station 2 breaks the identifier rule"), qPrintable(r.err));
        QVERIFY(!r.err.contains("Station 1 "));
        QVERIFY(clitest::readFile(dir.filePath("out.csv")).contains("\r\n2,A.B "));
    }

    void usage() {
        QTemporaryDir dir;
        auto r = runCli(dir.path(), {"--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("stations export FILE") && r.out.contains("stations import FILE"));
        r = runCli(dir.path(), {"--simulate", "stations", "export"});
        QCOMPARE(r.exitCode, 2);
        r = runCli(dir.path(), {"--simulate", "stations", "erase", "x.csv"});
        QCOMPARE(r.exitCode, 2);
        r = runCli(dir.path(), {"--simulate", "stations", "import", "missing.csv"});
        QCOMPARE(r.exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestCliStations)
#include "test_cli_stations.moc"
