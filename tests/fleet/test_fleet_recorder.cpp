// What the recorder makes of a finished operation, the changes between two snapshots, and the
// way an event takes through the spool into the database, also when the database is away.
#include "fleet/FleetRecorder.h"
#include "fleet/FleetSpool.h"
#include "fleet/FleetStore.h"
#include "fleet/SnapshotChanges.h"
#include "ops/InstrumentSession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(OperationOutcome)

namespace {

// A snapshot with the first channel's first alarm level and its station.
QJsonObject snapshot(double alarm, const QString& station = "PLANT A") {
    return {{"FormatVersion", 1},
            {"StationID", station},
            {"Alarm", QJsonArray{QJsonArray{alarm, 20.0}, QJsonArray{19.5, 18.0}}}};
}

OperationReport report(const QString& operation, OperationOutcome outcome,
                       const QJsonObject& details = {}) {
    OperationReport r;
    r.operation = operation;
    r.outcome = outcome;
    r.identity = {"TQ58-0001", "FIELD 1", "PLANT A", "STD-J01", 4426};
    r.serialNo = r.identity.serialNo;
    r.port = "/dev/pts/7";
    r.details = details;
    return r;
}

} // namespace

class TestFleetRecorder : public QObject {
    Q_OBJECT

private slots:
    void changesNameEachSettingThatDiffers_data() {
        QTest::addColumn<QJsonObject>("before");
        QTest::addColumn<QJsonObject>("after");
        QTest::addColumn<QJsonArray>("changes");
        QTest::newRow("same") << snapshot(10) << snapshot(10) << QJsonArray{};
        QTest::newRow("a threshold in a list")
            << snapshot(10) << snapshot(12)
            << QJsonArray{QJsonObject{{"setting", "Alarm[0][0]"}, {"before", 10}, {"after", 12}}};
        QTest::newRow("a text, and the record's own state is no setting")
            << snapshot(10) <<
            [] {
                QJsonObject o = snapshot(10, "TANK B");
                o["FormatVersion"] = 2;
                o["ImportFlag"] = true;
                return o;
            }()
            << QJsonArray{QJsonObject{
                   {"setting", "StationID"}, {"before", "PLANT A"}, {"after", "TANK B"}}};
        QTest::newRow("a setting only after")
            << QJsonObject{} << QJsonObject{{"CalLimit", 180}}
            << QJsonArray{
                   QJsonObject{{"setting", "CalLimit"}, {"before", QJsonValue()}, {"after", 180}}};
    }
    void changesNameEachSettingThatDiffers() {
        QFETCH(QJsonObject, before);
        QFETCH(QJsonObject, after);
        QFETCH(QJsonArray, changes);
        QCOMPARE(SnapshotChanges(before, after), changes);
    }

    void anOperationBecomesOneEvent_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<OperationOutcome>("outcome");
        QTest::addColumn<QJsonObject>("details");
        QTest::addColumn<bool>("snapshot");
        QTest::addColumn<int>("changes");
        QTest::addColumn<QString>("operatorName"); // empty: the login name
        const QJsonObject wrote{{"settingsBefore", snapshot(10)}};
        QTest::newRow("read") << Operation::Read << OperationOutcome::Done << QJsonObject{} << true
                              << 0 << "";
        QTest::newRow("write") << Operation::Write << OperationOutcome::Done << wrote << true << 1
                               << "";
        QTest::newRow("failed write: no snapshot, no changes")
            << Operation::Write << OperationOutcome::Failed << wrote << false << 0 << "";
        QTest::newRow("cancelled read")
            << Operation::Read << OperationOutcome::Cancelled << QJsonObject{} << false << 0 << "";
        QTest::newRow("span by its operator")
            << Operation::CalibrateSpan << OperationOutcome::Done
            << QJsonObject{{"operator", " K. Tanaka "}, {"cylinderLot", "LOT-1"}} << false << 0
            << "K. Tanaka";
        QTest::newRow("zero with no operator given")
            << Operation::CalibrateZero << OperationOutcome::Done << QJsonObject{{"operator", ""}}
            << false << 0 << "";
    }
    void anOperationBecomesOneEvent() {
        QFETCH(QString, operation);
        QFETCH(OperationOutcome, outcome);
        QFETCH(QJsonObject, details);
        QFETCH(bool, snapshot);
        QFETCH(int, changes);
        QFETCH(QString, operatorName);
        const FleetEvent e = EventOfOperation(report(operation, outcome, details), ::snapshot(12));
        QVERIFY(!QUuid::fromString(e.id).isNull());
        QCOMPARE(e.when.timeSpec(), Qt::UTC);
        QCOMPARE(e.kind, operation);
        QCOMPARE(FleetOutcomeName(e.outcome), outcome == OperationOutcome::Done        ? "done"
                                              : outcome == OperationOutcome::Cancelled ? "cancelled"
                                                                                       : "failed");
        QCOMPARE(e.identity.programNumber, QStringLiteral("04426"));
        QCOMPARE(e.identity.stationId, QStringLiteral("PLANT A"));
        QVERIFY(e.bench.endsWith(" /dev/pts/7"));
        QCOMPARE(e.snapshot.isEmpty(), !snapshot);
        QCOMPARE(e.changes.size(), changes);
        if (operatorName.isEmpty()) // the login name
            QVERIFY(!e.operatorName.isEmpty() && e.operatorName != "K. Tanaka");
        else
            QCOMPARE(e.operatorName, operatorName);
        // Neither the settings a write started from nor the operator are kept twice.
        QVERIFY(!e.details.contains("settingsBefore"));
        QVERIFY(!e.details.contains("operator"));
    }

    // The database away: the event waits in the spool, one notice says so, the run goes on;
    // back, another notice, and the event is written once.
    void anEventWaitsWhileTheDatabaseIsAway() {
        QTemporaryDir dir;
        // Where the database's folder should be is a file for now: it cannot be opened.
        const QString folder = dir.filePath("fleet");
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString dbPath = folder + "/TQ5800_Fleet.db";
        FleetRecorder recorder(dbPath, dir.path());
        QSignalSpy notices(&recorder, &FleetRecorder::notice);
        const FleetEvent event =
            EventOfOperation(report(Operation::Read, OperationOutcome::Done), snapshot(10));
        recorder.record(event);
        QVERIFY(!recorder.flush(5000));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(FleetSpool(dir.path()).pending(), 1);

        QVERIFY(QFile::remove(folder) && QDir().mkpath(folder));
        QVERIFY(recorder.flush(5000));
        QVERIFY(recorder.flush(5000)); // nothing left, nothing twice
        QCOMPARE(notices.size(), 2);
        QCOMPARE(FleetSpool(dir.path()).pending(), 0);
        FleetStore store(*ParseFleetLocation(dbPath));
        QVERIFY(store.open());
        const QList<FleetEvent> history = store.history("TQ58-0001");
        QCOMPARE(history.size(), 1);
        QCOMPARE(history.at(0).id, event.id);
    }
};

QTEST_GUILESS_MAIN(TestFleetRecorder)
#include "test_fleet_recorder.moc"
