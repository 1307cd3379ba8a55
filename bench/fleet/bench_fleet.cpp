// The fleet history at 1,000 instruments with 100 events each, and at ten times the fleet:
// the fleet list's query, the Fleet window's first paint, recording one event, and the
// database's size per event; on SQLite,
// and on PostgreSQL when pg_virtualenv can start a throw-away server (the program runs itself
// again under it).
#include "fleet/FleetSchema.h"
#include "fleet/FleetStore.h"
#include "model/clsInstrument.h"
#include "ui/fleet/frmFleet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPixmap>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

constexpr int EventsPerInstrument = 100;
constexpr int RowsPerInsert = 500; // bound values per statement stay well under the limits
constexpr int BaseFleet = 1000;    // the targets hold for it; ten times it shows the growth
constexpr int Repeats = 7;
const QDate Today(2026, 6, 15);

QString timeText(const QDateTime& when) {
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

// A whole settings record as a read keeps it, with a calibration date so the list has a due day.
QJsonObject snapshotFor(int n) {
    clsInstrument r;
    r.setSerialNo(QStringLiteral("SN%1").arg(n, 6, 10, QLatin1Char('0')));
    r.setCalLimit(90);
    r.setGasEnabled(0, true);
    r.setGasName(0, QStringLiteral("CH4"));
    r.setCalibDate(0, AppDate::fromDateTime(QDateTime(Today.addDays(-(n % 120)), QTime(9, 0))));
    return r.ToJson();
}

bool exec(QSqlQuery& q, const char* what) {
    if (q.exec())
        return true;
    std::fprintf(stderr, "bench_fleet: %s: %s\n", what, qPrintable(q.lastError().text()));
    return false;
}

// The base data in one transaction, many rows a statement: the store's own path takes an event
// at a time, which is what recording needs, not what loading a million rows needs.
bool bulkLoad(QSqlDatabase db, int instruments) {
    QSqlQuery begin(db);
    if (!begin.exec(FleetDialect::of(db).beginWrite))
        return false;
    const QString eventRow = QStringLiteral("(?, ?, ?, ?, ?, '04426', 4426, ?, 'USER', 'A. Sato', "
                                            "'bench-1 /dev/ttyUSB0', '[]', '{}')");
    QStringList rows;
    for (int i = 0; i < RowsPerInsert; ++i)
        rows << eventRow;
    QSqlQuery events(db);
    events.prepare(QStringLiteral("INSERT INTO events (id, at, kind, outcome, serial_no, "
                                  "program_number, rom_number, station_id, user_id, operator_name, "
                                  "bench, changes, details) VALUES ") +
                   rows.join(u','));
    const QDateTime start(Today.addDays(-400), QTime(8, 0), Qt::UTC);
    static const QStringList kinds{"read",           "write",    "calibrate zero", "calibrate span",
                                   "calibrate bump", "download", "set-clock"};
    int pending = 0;
    for (int n = 0; n < instruments; ++n) {
        const QString serial = QStringLiteral("SN%1").arg(n, 6, 10, QLatin1Char('0'));
        for (int k = 0; k < EventsPerInstrument; ++k) {
            events.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
            events.addBindValue(timeText(start.addSecs(qint64(k) * 4 * 86400 + n)));
            events.addBindValue(kinds.at(k % kinds.size()));
            events.addBindValue(k % 17 == 0 ? QStringLiteral("failed") : QStringLiteral("done"));
            events.addBindValue(serial);
            events.addBindValue(QStringLiteral("ST%1").arg(n % 40));
            if (++pending == RowsPerInsert) {
                if (!exec(events, "events"))
                    return false;
                pending = 0;
            }
        }
    }
    // Every instrument's latest read with its whole snapshot, as the list reads it.
    QSqlQuery snapshot(db), instrument(db);
    snapshot.prepare(QStringLiteral("INSERT INTO snapshots (event_id, serial_no, at, snapshot) "
                                    "VALUES (?, ?, ?, ?)"));
    instrument.prepare(QStringLiteral(
        "INSERT INTO instruments (serial_no, program_number, rom_number, station_id, user_id, "
        "first_seen, last_seen, last_calibration, snapshot_at, due, next_due) "
        "VALUES (?, '04426', 4426, ?, 'USER', ?, ?, ?, ?, ?, ?)"));
    const QString first = timeText(start), last = timeText(start.addDays(400));
    for (int n = 0; n < instruments; ++n) {
        const QString serial = QStringLiteral("SN%1").arg(n, 6, 10, QLatin1Char('0'));
        const QJsonObject s = snapshotFor(n);
        snapshot.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
        snapshot.addBindValue(serial);
        snapshot.addBindValue(last);
        snapshot.addBindValue(QString::fromUtf8(QJsonDocument(s).toJson(QJsonDocument::Compact)));
        const FleetDueFacts due = FleetDueFactsOf(s);
        for (const QVariant& v :
             {QVariant(serial), QVariant(QStringLiteral("ST%1").arg(n % 40)), QVariant(first),
              QVariant(last), QVariant(last), QVariant(last), QVariant(due.channels), due.nextDue})
            instrument.addBindValue(v);
        if (!exec(snapshot, "snapshots") || !exec(instrument, "instruments"))
            return false;
    }
    return QSqlQuery(db).exec(QStringLiteral("COMMIT"));
}

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

qint64 databaseBytes(const FleetLocation& l, QSqlDatabase db) {
    if (l.kind == FleetLocation::Kind::Sqlite) {
        QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        return QFileInfo(l.path).size() + QFileInfo(l.path + QStringLiteral("-wal")).size();
    }
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT pg_total_relation_size('events') + "
                          "pg_total_relation_size('snapshots') + "
                          "pg_total_relation_size('instruments')"));
    return q.next() ? q.value(0).toLongLong() : -1;
}

// The location as the window is given it (no password: the server's own means provide it).
QString urlOf(const FleetLocation& l) {
    if (l.kind == FleetLocation::Kind::Sqlite)
        return l.path;
    const QString port = l.port > 0 ? QStringLiteral(":%1").arg(l.port) : QString();
    return QStringLiteral("postgresql://%1@%2%3/%4").arg(l.user, l.host, port, l.databaseName);
}

bool run(const QString& name, const FleetLocation& location, int instruments) {
    QElapsedTimer clock;
    clock.start();
    FleetStore store(location);
    QString error;
    if (!store.open(&error)) {
        std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(error));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(QSqlDatabase::connectionNames().constLast());
    if (!bulkLoad(db, instruments))
        return false;
    QSqlQuery(db).exec(QStringLiteral("ANALYZE"));
    const double loadS = clock.elapsed() / 1000.0;
    const qint64 events = qint64(instruments) * EventsPerInstrument;
    const qint64 bytes = databaseBytes(location, db);

    QList<double> listMs, dueMs, historyMs, recordMs;
    FleetFilter dueSoon;
    dueSoon.dueWithinDays = 14;
    for (int i = 0; i < Repeats; ++i) {
        QElapsedTimer t;
        t.start();
        const auto all = store.instruments({}, Today);
        listMs << t.nsecsElapsed() / 1e6;
        if (all.size() != instruments) {
            std::fprintf(stderr, "bench_fleet: the list has %lld of %d\n", qlonglong(all.size()),
                         instruments);
            return false;
        }
        t.restart();
        store.instruments(dueSoon, Today);
        dueMs << t.nsecsElapsed() / 1e6;
        t.restart();
        store.history(QStringLiteral("SN%1").arg(i * 37 % instruments, 6, 10, QLatin1Char('0')));
        historyMs << t.nsecsElapsed() / 1e6;
    }
    // The Fleet window as the user opens it: the list's query, its rows filled, shown and painted
    // whole.
    QList<double> paintMs;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        frmFleet window(urlOf(location), nullptr, Today);
        window.show();
        const QPixmap painted = window.grab();
        paintMs << t.nsecsElapsed() / 1e6;
        if (!window.isLoaded() || painted.isNull()) {
            std::fprintf(stderr, "bench_fleet: the Fleet window did not open\n");
            return false;
        }
    }
    // One read as the recorder writes it: event, whole snapshot, the instrument's row.
    for (int i = 0; i < 50; ++i) {
        FleetEvent e;
        e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        e.when = QDateTime::currentDateTimeUtc();
        e.kind = QStringLiteral("read");
        e.outcome = FleetOutcome::Done;
        e.identity = {QStringLiteral("SN%1").arg(i, 6, 10, QLatin1Char('0')), "04426", 4426, "ST1",
                      "U"};
        e.snapshot = snapshotFor(i);
        QElapsedTimer t;
        t.start();
        if (!store.record(e, &error)) {
            std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(error));
            return false;
        }
        recordMs << t.nsecsElapsed() / 1e6;
    }
    const qint64 snapshotBytes =
        QJsonDocument(snapshotFor(1)).toJson(QJsonDocument::Compact).size();
    std::printf("%s, %d instruments x %d events (%lld events, a whole snapshot per instrument; "
                "loaded in %.1f s)\n",
                qPrintable(name), instruments, EventsPerInstrument, qlonglong(events), loadS);
    const bool base = instruments == BaseFleet;
    std::printf("  fleet list: median %.1f ms%s; due within 14 days %.1f ms; "
                "one instrument's history %.2f ms\n",
                median(listMs), base ? " (target < 50 ms)" : "", median(dueMs), median(historyMs));
    std::printf("  Fleet window opened and first painted: median %.1f ms%s\n", median(paintMs),
                base ? " (target < 50 ms)" : "");
    std::printf("  recording one read with its snapshot: median %.2f ms, worst %.2f ms%s\n",
                median(recordMs), *std::max_element(recordMs.cbegin(), recordMs.cend()),
                base ? " (target < 5 ms)" : "");
    std::printf("  database %.1f MiB: %.0f bytes per event (a snapshot is %lld bytes of JSON)\n",
                bytes / 1048576.0, double(bytes) / double(events), qlonglong(snapshotBytes));
    std::fflush(stdout);
    return true;
}

bool runAll(const QString& name, const std::function<std::optional<FleetLocation>(int)>& fresh) {
    for (int instruments : {BaseFleet, 10 * BaseFleet}) {
        const auto location = fresh(instruments);
        if (!location || !run(name, *location, instruments))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString postgres = qEnvironmentVariable("TQ5800_FLEET_BENCH_PG");
    if (!postgres.isEmpty()) {
        // Under pg_virtualenv: one database per size.
        return runAll(QStringLiteral("PostgreSQL"),
                      [&](int instruments) -> std::optional<FleetLocation> {
                          auto l = ParseFleetLocation(postgres);
                          {
                              QSqlDatabase admin =
                                  QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "admin");
                              admin.setHostName(l->host);
                              admin.setPort(l->port);
                              admin.setUserName(l->user);
                              admin.setDatabaseName(l->databaseName);
                              if (!admin.open())
                                  return std::nullopt;
                              QSqlQuery(admin).exec(
                                  QStringLiteral("CREATE DATABASE fleet%1").arg(instruments));
                          }
                          QSqlDatabase::removeDatabase("admin");
                          l->databaseName = QStringLiteral("fleet%1").arg(instruments);
                          return l;
                      })
                   ? 0
                   : 1;
    }
    QTemporaryDir dir;
    const bool sqlite = runAll(QStringLiteral("SQLite"), [&](int instruments) {
        return ParseFleetLocation(dir.filePath(QStringLiteral("fleet%1.db").arg(instruments)));
    });
    const QString virtualenv = QStandardPaths::findExecutable(QStringLiteral("pg_virtualenv"));
    if (virtualenv.isEmpty()) {
        std::printf("PostgreSQL: skipped, pg_virtualenv is missing\n");
        return sqlite ? 0 : 1;
    }
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    server.start(
        virtualenv,
        {QStringLiteral("sh"), QStringLiteral("-c"),
         QStringLiteral("TQ5800_FLEET_BENCH_PG=\"postgresql://$PGUSER@$PGHOST${PGPORT:+:$PGPORT}"
                        "/postgres\" exec \"$0\""),
         QCoreApplication::applicationFilePath()});
    const bool pg = server.waitForFinished(-1) && server.exitStatus() == QProcess::NormalExit &&
                    server.exitCode() == 0;
    return sqlite && pg ? 0 : 1;
}
