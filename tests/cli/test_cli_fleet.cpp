// tq5800-cli's fleet commands end to end: setting records and calibration logs written by the
// program's own writers are imported, listed, shown and exported; a half-bad import adds
// nothing.
#include "model/CalibrationCertificate.h"
#include "model/CalibrationLog.h"
#include "model/SettingRecord.h"
#include "model/clsInstrument.h"
#include "support/CliTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QDate Today = QDate::currentDate();

clsInstrument instrument(const QString& serial, int calibratedDaysAgo) {
    clsInstrument r;
    r.setSerialNo(serial);
    r.setRomNumber(4426);
    r.setStationID("PLANT 1");
    r.setUserID("'; DROP TABLE events; --");
    r.setCalLimit(30);
    r.setGasEnabled(0, true);
    r.setGasName(0, "CH4");
    r.setCalibDate(
        0, AppDate::fromDateTime(QDateTime(Today.addDays(-calibratedDaysAgo), QTime(9, 0))));
    return r;
}

QJsonObject jsonOut(const clitest::Result& r) {
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

// The JSON scripts read is what docs/tq5800-fleet.schema.json says (a machine without the
// validator is not held to it).
bool schemaHolds(const QString& json) {
    const QString errors =
        clitest::SchemaErrorsOfText(TQ_SOURCE_DIR "/docs/tq5800-fleet.schema.json", json);
    if (!errors.isEmpty() && errors != "skip")
        qWarning("%s", qPrintable(errors));
    return errors.isEmpty() || errors == "skip";
}

} // namespace

class TestCliFleet : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_records, m_log;

    clitest::Result fleet(const QStringList& args) {
        return clitest::runCli(m_dir.path(), QStringList{"fleet"} + args);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_records = m_dir.filePath("TQ5800_Setting.csv");
        m_log = m_dir.filePath("TQ5800_Calibration.csv");
        const AppDate then = AppDate::fromDateTime(QDateTime(Today.addDays(-2), QTime(8, 0)));
        QVERIFY(AppendSettingRecord(m_records, instrument("LATE-1", 40), SettingRecordMode::Read,
                                    then));
        QVERIFY(AppendSettingRecord(m_records, instrument("FINE-2", 1), SettingRecordMode::Write,
                                    then));
        CalibrationCertificate span;
        span.identity = IdentityOf(instrument("LATE-1", 40));
        span.when = QDateTime(Today.addDays(-1), QTime(10, 0));
        span.operatorName = "=A. Sato"; // written with an apostrophe, read back without
        span.channels[0].fitted = true;
        span.channels[0].result = SpanResult::Failed;
        span.channels[0].gas = "CH4";
        QVERIFY(AppendCalibrationLog(m_log, span));
    }

    void importListHistoryExport() {
        auto r = fleet({"import", m_records, m_log});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("Imported 3 new events from 2 files"), qPrintable(r.out));
        r = fleet({"import", m_log, m_records}); // again: nothing new
        QVERIFY2(r.out.contains("Imported 0 new events"), qPrintable(r.out));
        QFileInfo db(m_dir.filePath("TQ5800_Fleet.db"));
        QCOMPARE(db.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

        r = fleet({"list", "--json"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(schemaHolds(r.out), qPrintable(r.out));
        const QJsonArray list = jsonOut(r).value("Instruments").toArray();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(0)["SerialNo"].toString(), "FINE-2");
        QCOMPARE(list.at(0)["Status"].toString(), "ok");
        QCOMPARE(list.at(1)["Status"].toString(), "overdue");
        QCOMPARE(list.at(1)["UserID"].toString(), "'; DROP TABLE events; --");
        r = fleet({"list", "--due-within", "0"});
        QVERIFY(r.out.contains("LATE-1") && !r.out.contains("FINE-2"));

        r = fleet({"history", "LATE-1", "--json"});
        QVERIFY2(schemaHolds(r.out), qPrintable(r.out));
        const QJsonArray events = jsonOut(r).value("Events").toArray();
        QCOMPARE(events.size(), 2);
        QCOMPARE(events.at(0)["Kind"].toString(), "calibrate span");
        QCOMPARE(events.at(0)["Outcome"].toString(), "failed");
        QCOMPARE(events.at(0)["Operator"].toString(), "=A. Sato");
        QCOMPARE(events.at(1)["Kind"].toString(), "read");

        r = fleet({"export", "out.csv"});
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = clitest::readFile(m_dir.filePath("out.csv")).split('\n');
        QCOMPARE(lines.size(), 5); // header, three events, the last line's end
        QVERIFY(lines.first().startsWith("Id,Time,Kind,Outcome,SerialNo"));
        QVERIFY(lines.at(3).contains(",'=A. Sato,"));
    }

    void halfBadImportAddsNothing() {
        QTemporaryDir other;
        QFile::copy(m_records, other.filePath("good.csv"));
        QByteArray bad = clitest::readFile(m_records);
        bad.insert(bad.lastIndexOf("\r\n", bad.size() - 3) + 2, "Read,2026/01/01 00:00:00,cut\r\n");
        QFile f(other.filePath("bad.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bad) == bad.size());
        f.close();
        auto r = clitest::runCli(other.path(), {"fleet", "import", "good.csv", "bad.csv"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("bad.csv, line 3:") && r.err.contains("216 fields"),
                 qPrintable(r.err));
        r = clitest::runCli(other.path(), {"fleet", "import", "good.csv", "missing.csv"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("missing.csv"), qPrintable(r.err));
        QVERIFY(!QFile::exists(other.filePath("TQ5800_Fleet.db"))); // not even opened
    }

    // The option, then the environment, then the configuration file name the database.
    void locationChosen() {
        QTemporaryDir other;
        QFile config(other.filePath("TQ5800Config.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("Fleet DB\t'configured.db'\r\n");
        config.close();
        QCOMPARE(clitest::runCli(other.path(), {"fleet", "list"}).exitCode, 0);
        QVERIFY(QFile::exists(other.filePath("configured.db")));
        qputenv("TQ5800_FLEET_DB", other.filePath("environment.db").toLocal8Bit());
        QCOMPARE(clitest::runCli(other.path(), {"fleet", "list"}).exitCode, 0);
        QCOMPARE(
            clitest::runCli(other.path(), {"--fleet-db", "option.db", "fleet", "list"}).exitCode,
            0);
        qunsetenv("TQ5800_FLEET_DB");
        QVERIFY(QFile::exists(other.filePath("environment.db")));
        QVERIFY(QFile::exists(other.filePath("option.db")));
        QVERIFY(!QFile::exists(other.filePath("TQ5800_Fleet.db")));
        const auto r = clitest::runCli(other.path(), {"fleet", "list", "--fleet-db",
                                                      "postgresql://u:hunter2@h/db?sslmode=no"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("sslmode") && !r.err.contains("hunter2"), qPrintable(r.err));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("no subcommand") << QStringList{"fleet"} << "fleet needs list";
        QTest::newRow("no serial") << QStringList{"fleet", "history"} << "needs a serial number";
        QTest::newRow("no file") << QStringList{"fleet", "export"} << "needs a file name";
        QTest::newRow("no files") << QStringList{"fleet", "import"} << "needs a file name";
        QTest::newRow("days") << QStringList{"fleet", "list", "--due-within", "x"}
                              << "--due-within";
        QTest::newRow("json file")
            << QStringList{"--json", "-", "fleet", "list"} << "--json of fleet list";
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const auto r = clitest::runCli(m_dir.path(), args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(error) && r.err.count('\n') <= 2, qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestCliFleet)
#include "test_cli_fleet.moc"
