// Every operation of tq5800-cli on tq5800-sim's pseudo-terminal lands in the fleet history:
// kinds, outcomes and changes as `fleet history --json` shows them; two benches at once on one
// PostgreSQL database; the database stopped during a run; runs killed while they record.
#include "fleet/FleetSpool.h"
#include "support/CliTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

using clitest::runCli;
using clitest::Simulator;

namespace {

// The events of one instrument, newest first.
QJsonArray history(const QString& folder, const QString& serial, const QString& db = {}) {
    QStringList args;
    if (!db.isEmpty())
        args << "--fleet-db" << db;
    const auto r = runCli(folder, args + QStringList{"fleet", "history", serial, "--json"});
    return QJsonDocument::fromJson(r.out.toUtf8()).object().value("Events").toArray();
}

// tq5800-cli started and left running.
struct Run {
    QProcess process;
    Run(const QString& folder, const QStringList& args) {
        process.setWorkingDirectory(folder);
        process.start(clitest::binary("tq5800-cli"), args);
    }
    int finish() {
        if (!process.waitForFinished(clitest::CommandLimitMs))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

// The PostgreSQL cluster pg_virtualenv made for this run.
bool cluster(const char* action) {
    return QProcess::execute("pg_ctlcluster",
                             {qEnvironmentVariable("PGVERSION"), "regress", action}) == 0;
}

} // namespace

class TestCliFleetRecord : public QObject {
    Q_OBJECT

    const QString m_postgres = qEnvironmentVariable("TQ5800_FLEET_TEST_DB");

    void needPostgres() {
        if (m_postgres.isEmpty())
            QSKIP("PostgreSQL is missing here; test_cli_fleet_record_postgres runs this under "
                  "pg_virtualenv");
    }

private slots:
    void everyOperationIsRecorded_data() {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("changed"); // a setting the event names as changed
        QTest::addColumn<QString>("detail");  // what else the event states
        QTest::newRow("read") << QStringList{} << QStringList{"read"} << "read"
                              << "done"
                              << ""
                              << "";
        QTest::newRow("write of a threshold")
            << QStringList{} << QStringList{"write", "a.seq"} << "write"
            << "done"
            << "Alarm[0]"
            << "file";
        QTest::newRow("span") << QStringList{"--span-gas"}
                              << QStringList{"calibrate", "span", "--operator", "A. Sato"}
                              << "calibrate span"
                              << "done"
                              << ""
                              << "certificate";
        QTest::newRow("failed read")
            << QStringList{"--faults", "silent=6"}
            << QStringList{"--timeout", "0.3", "--retry", "1", "read"} << "read"
            << "failed"
            << ""
            << "";
    }
    void everyOperationIsRecorded() {
        QFETCH(QStringList, simArgs);
        QFETCH(QStringList, command);
        QFETCH(QString, kind);
        QFETCH(QString, outcome);
        QFETCH(QString, changed);
        QFETCH(QString, detail);
        const QString serial = QString("E2E-%1").arg(QTest::currentDataTag()).left(20);
        Simulator sim(simArgs + QStringList{"--serial", serial, "--station", "TANK 3"});
        QTemporaryDir dir;
        if (!changed.isEmpty()) {
            // The settings as read, the first channel's alarm level raised from 50 to 60.
            QVERIFY(runCli(dir.path(), {"--port", sim.pty(), "read", "--seq", "a.seq"}).exitCode ==
                    0);
            QFile seq(dir.filePath("a.seq"));
            QVERIFY(seq.open(QIODevice::ReadWrite));
            QByteArray text = seq.readAll();
            QVERIFY(text.contains("A2,W,   50,"));
            text.replace("A2,W,   50,", "A2,W,   60,");
            seq.resize(0);
            seq.write(text);
            seq.close();
        }
        const auto r = runCli(dir.path(), QStringList{"--port", sim.pty()} + command);
        QCOMPARE(r.exitCode == 0, outcome == "done");
        const QJsonArray events = history(dir.path(), serial);
        QVERIFY2(!events.isEmpty(), qPrintable(r.err));
        const QJsonObject e = events.first().toObject();
        // Changes and details as scripts read them: what docs/tq5800-fleet.schema.json says.
        const QString errors = clitest::SchemaErrorsOfText(
            TQ_SOURCE_DIR "/docs/tq5800-fleet.schema.json",
            runCli(dir.path(), {"fleet", "history", serial, "--json"}).out);
        QVERIFY2(errors.isEmpty() || errors == "skip", qPrintable(errors));
        QCOMPARE(e.value("Kind").toString(), kind);
        QCOMPARE(e.value("Outcome").toString(), outcome);
        QCOMPARE(e.value("StationID").toString(), "TANK 3");
        QVERIFY(e.value("Bench").toString().endsWith(sim.pty()));
        QVERIFY(!e.value("Operator").toString().isEmpty());
        if (!detail.isEmpty())
            QVERIFY(e.value("Details").toObject().contains(detail));
        QStringList changes;
        for (const QJsonValue& c : e.value("Changes").toArray())
            changes << c.toObject().value("setting").toString();
        QVERIFY2(changes == (changed.isEmpty() ? QStringList{} : QStringList{changed}),
                 qPrintable(QJsonDocument(e.value("Changes").toArray()).toJson()));
    }

    void twoBenchesAtOnceRecordBoth() {
        needPostgres();
        Simulator first({"--serial", "BENCH-A"}), second({"--serial", "BENCH-B"});
        QTemporaryDir dirA, dirB;
        Run a(dirA.path(), {"--port", first.pty(), "--fleet-db", m_postgres, "read"});
        Run b(dirB.path(), {"--port", second.pty(), "--fleet-db", m_postgres, "read"});
        QCOMPARE(a.finish(), 0);
        QCOMPARE(b.finish(), 0);
        QCOMPARE(history(dirA.path(), "BENCH-A", m_postgres).size(), 1);
        QCOMPARE(history(dirA.path(), "BENCH-B", m_postgres).size(), 1);
    }

    // The database stops while the instrument is being read: the read succeeds, its event
    // waits in the spool and the next run writes it.
    void theDatabaseStoppedDuringARun() {
        needPostgres();
        // Paced like a cable, so that the read outlasts the database.
        Simulator sim({"--serial", "STOPPED-1", "--baud", "38400"});
        QTemporaryDir dir;
        const QStringList read{"--port", sim.pty(), "--fleet-db", m_postgres, "read"};
        Run run(dir.path(), read);
        QVERIFY(run.process.waitForReadyRead(clitest::StartLimitMs)); // connected
        QVERIFY(cluster("stop"));
        const int rc = run.finish();
        const QString err = QString::fromLocal8Bit(run.process.readAllStandardError());
        QVERIFY(cluster("start"));
        QCOMPARE(rc, 0);
        QVERIFY2(err.contains("cannot be reached"), qPrintable(err));
        QCOMPARE(FleetSpool(dir.path()).pending(), 1);

        QCOMPARE(runCli(dir.path(), read).exitCode, 0);
        QCOMPARE(FleetSpool(dir.path()).pending(), 0);
        QCOMPARE(history(dir.path(), "STOPPED-1", m_postgres).size(), 2);
    }

    // Runs killed at any moment of their end leave the database and the spool consistent:
    // no event twice, and what waited in the spool written by the next run.
    void killedRunsLeaveNothingTwice() {
        Simulator sim({"--serial", "KILLED-1"});
        QTemporaryDir dir;
        const QStringList read{"--port", sim.pty(), "read"};
        for (int delayMs = 0; delayMs < 1500; delayMs += 150) {
            Run run(dir.path(), read);
            QVERIFY(run.process.waitForStarted(clitest::StartLimitMs));
            QTest::qWait(delayMs);
            run.process.kill();
            run.process.waitForFinished(clitest::StartLimitMs);
        }
        QSet<QString> waiting;
        const QDir spool(FleetSpool(dir.path()).folder());
        for (const QString& name : spool.entryList({"*.json"}, QDir::Files))
            waiting << name.section('-', 1).chopped(5); // time-id.json
        QCOMPARE(runCli(dir.path(), read).exitCode, 0);
        QCOMPARE(FleetSpool(dir.path()).pending(), 0);
        QSet<QString> ids;
        const QJsonArray events = history(dir.path(), "KILLED-1");
        for (const QJsonValue& e : events)
            ids << e.toObject().value("Id").toString();
        QCOMPARE(ids.size(), events.size());
        QVERIFY(ids.contains(waiting));
    }
};

QTEST_GUILESS_MAIN(TestCliFleetRecord)
#include "test_cli_fleet_record.moc"
