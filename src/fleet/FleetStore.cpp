#include "fleet/FleetStore.h"

#include "app/MessageTable.h"
#include "fleet/FleetSchema.h"
#include "ops/InstrumentSession.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace {

// A writer waits this long for another's lock before it gives up (the spool keeps the event).
constexpr int SqliteBusyMs = 10000;

// Times as fixed-width UTC text: they sort as they happen, on either database.
QString timeText(const QDateTime& when) {
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime timeOf(const QVariant& value) {
    return value.isNull() ? QDateTime()
                          : QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toUTC();
}

// An empty text is a text, not NULL (Qt binds a null QString as NULL).
QVariant text(const QString& s) {
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

QVariant nullText() {
    return QVariant(QMetaType::fromType<QString>());
}

QString jsonText(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}
QString jsonText(const QJsonArray& a) {
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
}

const QString EventColumns =
    QStringLiteral("events.id, events.at, events.kind, events.outcome, events.serial_no, "
                   "events.program_number, events.rom_number, events.station_id, events.user_id, "
                   "events.operator_name, events.bench, events.changes, events.details");

FleetEvent eventOf(const QSqlQuery& q, bool withSnapshot) {
    FleetEvent e;
    e.id = q.value(0).toString();
    e.when = timeOf(q.value(1));
    e.kind = q.value(2).toString();
    e.outcome = FleetOutcomeFromName(q.value(3).toString()).value_or(FleetOutcome::Failed);
    e.identity.serialNo = q.value(4).toString();
    e.identity.programNumber = q.value(5).toString();
    e.identity.romNumber = q.value(6).toInt();
    e.identity.stationId = q.value(7).toString();
    e.identity.userId = q.value(8).toString();
    e.operatorName = q.value(9).toString();
    e.bench = q.value(10).toString();
    e.changes = QJsonDocument::fromJson(q.value(11).toString().toUtf8()).array();
    e.details = QJsonDocument::fromJson(q.value(12).toString().toUtf8()).object();
    if (withSnapshot && !q.value(13).isNull())
        e.snapshot = QJsonDocument::fromJson(q.value(13).toString().toUtf8()).object();
    return e;
}

// Identity texts and the due facts follow the newest event that has them; the times widen.
const QString UpsertInstrument = QStringLiteral(
    "INSERT INTO instruments (serial_no, program_number, rom_number, station_id, user_id, "
    "first_seen, last_seen, last_calibration, snapshot_at, due, next_due) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
    "ON CONFLICT (serial_no) DO UPDATE SET "
    "program_number = CASE WHEN excluded.last_seen >= instruments.last_seen AND "
    "  excluded.program_number <> '' THEN excluded.program_number "
    "  ELSE instruments.program_number END, "
    "rom_number = CASE WHEN excluded.last_seen >= instruments.last_seen AND "
    "  excluded.rom_number <> 0 THEN excluded.rom_number ELSE instruments.rom_number END, "
    "station_id = CASE WHEN excluded.last_seen >= instruments.last_seen AND "
    "  excluded.station_id <> '' THEN excluded.station_id ELSE instruments.station_id END, "
    "user_id = CASE WHEN excluded.last_seen >= instruments.last_seen AND "
    "  excluded.user_id <> '' THEN excluded.user_id ELSE instruments.user_id END, "
    "first_seen = CASE WHEN excluded.first_seen < instruments.first_seen "
    "  THEN excluded.first_seen ELSE instruments.first_seen END, "
    "last_seen = CASE WHEN excluded.last_seen > instruments.last_seen "
    "  THEN excluded.last_seen ELSE instruments.last_seen END, "
    "last_calibration = CASE WHEN instruments.last_calibration IS NULL OR "
    "  excluded.last_calibration > instruments.last_calibration "
    "  THEN COALESCE(excluded.last_calibration, instruments.last_calibration) "
    "  ELSE instruments.last_calibration END, "
    "due = CASE WHEN excluded.snapshot_at IS NOT NULL AND (instruments.snapshot_at IS NULL OR "
    "  excluded.snapshot_at >= instruments.snapshot_at) THEN excluded.due "
    "  ELSE instruments.due END, "
    "next_due = CASE WHEN excluded.snapshot_at IS NOT NULL AND (instruments.snapshot_at IS NULL "
    "  OR excluded.snapshot_at >= instruments.snapshot_at) THEN excluded.next_due "
    "  ELSE instruments.next_due END, "
    "snapshot_at = CASE WHEN excluded.snapshot_at IS NOT NULL AND (instruments.snapshot_at IS "
    "  NULL OR excluded.snapshot_at >= instruments.snapshot_at) THEN excluded.snapshot_at "
    "  ELSE instruments.snapshot_at END");

// A LIKE pattern that finds `text` anywhere, its own wildcards taken as letters.
QString containsPattern(const QString& text) {
    QString escaped = text.toLower();
    escaped.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'%', QStringLiteral("\\%"))
        .replace(u'_', QStringLiteral("\\_"));
    return u'%' + escaped + u'%';
}

} // namespace

struct FleetStore::Private {
    FleetLocation location;
    QString connection =
        QStringLiteral("fleet-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool open = false;

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

    // Whatever a driver says goes nowhere with the password in it.
    QString safe(QString text) const {
        if (!location.password.isEmpty())
            text.replace(location.password, QStringLiteral("********"));
        return text;
    }
    bool fail(QString* error, int message, const QString& why) const {
        if (error)
            *error = safe(LoadMessage(message, {location.display(), why}));
        return false;
    }
    bool failQuery(QString* error, int message, const QSqlQuery& q) const {
        return fail(error, message, q.lastError().text());
    }
    bool createOwnerOnly(QString* error) const;
    bool insert(const FleetEvent& e, QString* why, int* taken);
    bool inTransaction(const std::function<bool(QString*)>& work, QString* error);
};

bool FleetStore::Private::createOwnerOnly(QString* error) const {
    if (QFileInfo::exists(location.path))
        return true;
    // Created here, before the driver opens it, so no other user can read it for a moment.
    QFile file(location.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
        !QFileInfo::exists(location.path))
        return fail(error, 9503, file.errorString());
    return true;
}

bool FleetStore::Private::insert(const FleetEvent& e, QString* why, int* taken) {
    QSqlDatabase database = db();
    QSqlQuery q(database);
    q.prepare(QStringLiteral(
        "INSERT INTO events (id, at, kind, outcome, serial_no, program_number, rom_number, "
        "station_id, user_id, operator_name, bench, changes, details) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (id) DO NOTHING"));
    const QString when = timeText(e.when);
    for (const QVariant& v :
         {text(e.id), QVariant(when), text(e.kind), QVariant(FleetOutcomeName(e.outcome)),
          text(e.identity.serialNo), text(e.identity.programNumber), QVariant(e.identity.romNumber),
          text(e.identity.stationId), text(e.identity.userId), text(e.operatorName), text(e.bench),
          QVariant(jsonText(e.changes)), QVariant(jsonText(e.details))})
        q.addBindValue(v);
    if (!q.exec()) {
        *why = q.lastError().text();
        return false;
    }
    if (q.numRowsAffected() <= 0)
        return true; // taken before: nothing changes
    ++*taken;
    FleetDueFacts due;
    if (!e.snapshot.isEmpty()) {
        QSqlQuery s(database);
        s.prepare(QStringLiteral("INSERT INTO snapshots (event_id, serial_no, at, snapshot) "
                                 "VALUES (?, ?, ?, ?)"));
        for (const QVariant& v : {text(e.id), text(e.identity.serialNo), QVariant(when),
                                  QVariant(jsonText(e.snapshot))})
            s.addBindValue(v);
        if (!s.exec()) {
            *why = s.lastError().text();
            return false;
        }
        due = FleetDueFactsOf(e.snapshot);
    }
    const bool calibrated = e.kind == Operation::CalibrateSpan && e.outcome == FleetOutcome::Done;
    QSqlQuery i(database);
    i.prepare(UpsertInstrument);
    for (const QVariant& v :
         {text(e.identity.serialNo), text(e.identity.programNumber), QVariant(e.identity.romNumber),
          text(e.identity.stationId), text(e.identity.userId), QVariant(when), QVariant(when),
          calibrated ? QVariant(when) : nullText(),
          e.snapshot.isEmpty() ? nullText() : QVariant(when),
          e.snapshot.isEmpty() ? nullText() : QVariant(due.channels), due.nextDue})
        i.addBindValue(v);
    if (!i.exec()) {
        *why = i.lastError().text();
        return false;
    }
    return true;
}

bool FleetStore::Private::inTransaction(const std::function<bool(QString*)>& work, QString* error) {
    QSqlDatabase database = db();
    QSqlQuery q(database);
    if (!q.exec(FleetDialect::of(database).beginWrite))
        return failQuery(error, 9504, q);
    QString why;
    if (work(&why) && q.exec(QStringLiteral("COMMIT")))
        return true;
    if (why.isEmpty())
        why = q.lastError().text();
    QSqlQuery(database).exec(QStringLiteral("ROLLBACK"));
    return fail(error, 9504, why);
}

FleetStore::FleetStore(const FleetLocation& location) : d(std::make_unique<Private>()) {
    d->location = location;
}

FleetStore::~FleetStore() {
    {
        QSqlDatabase database = d->db();
        if (database.isValid())
            database.close();
    }
    QSqlDatabase::removeDatabase(d->connection);
}

bool FleetStore::open(QString* error) {
    if (d->open)
        return true;
    const FleetLocation& l = d->location;
    const bool sqlite = l.kind == FleetLocation::Kind::Sqlite;
    const FleetDialect& dialect = sqlite ? FleetDialect::sqlite() : FleetDialect::postgres();
    if (!QSqlDatabase::isDriverAvailable(dialect.driver))
        return d->fail(error, 9503, LoadMessage(9507, {dialect.driver}));
    if (sqlite && !d->createOwnerOnly(error))
        return false;
    QSqlDatabase database = QSqlDatabase::contains(d->connection)
                                ? QSqlDatabase::database(d->connection, false)
                                : QSqlDatabase::addDatabase(dialect.driver, d->connection);
    if (sqlite) {
        database.setDatabaseName(l.path);
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(SqliteBusyMs));
    } else {
        // What the URL leaves out, libpq finds itself: PGHOST and the others, ~/.pgpass,
        // PGPASSFILE, the service file.
        database.setHostName(l.host);
        if (l.port > 0)
            database.setPort(l.port);
        database.setUserName(l.user);
        database.setPassword(l.password);
        database.setDatabaseName(l.databaseName);
        QStringList options;
        if (!l.sslMode.isEmpty())
            options << QStringLiteral("sslmode=") + l.sslMode;
        if (!l.service.isEmpty())
            options << QStringLiteral("service=") + l.service;
        database.setConnectOptions(options.join(u';'));
    }
    if (!database.open())
        return d->fail(error, 9503, database.lastError().text());
    if (sqlite) {
        QSqlQuery wal(database);
        if (!wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
            database.close();
            return d->failQuery(error, 9503, wal);
        }
    }
    QString why;
    if (!MigrateFleetSchema(database, l.display(), &why)) {
        database.close();
        if (error)
            *error = d->safe(why);
        return false;
    }
    d->open = true;
    return true;
}

bool FleetStore::isOpen() const {
    return d->open;
}

const FleetLocation& FleetStore::location() const {
    return d->location;
}

bool FleetStore::record(const FleetEvent& event, QString* error) {
    return recordAll({event}, error);
}

bool FleetStore::recordAll(const QList<FleetEvent>& events, QString* error, int* added) {
    if (!d->open)
        return d->fail(error, 9504, LoadMessage(9508));
    int taken = 0;
    const bool ok = d->inTransaction(
        [&](QString* why) {
            for (const FleetEvent& e : events)
                if (!d->insert(e, why, &taken))
                    return false;
            return true;
        },
        error);
    if (added)
        *added = ok ? taken : 0;
    return ok;
}

QList<FleetInstrument> FleetStore::instruments(const FleetFilter& filter, const QDate& today,
                                               QString* error) {
    QList<FleetInstrument> out;
    if (!d->open) {
        d->fail(error, 9505, LoadMessage(9508));
        return out;
    }
    QString sql = QStringLiteral(
        "SELECT serial_no, program_number, rom_number, station_id, user_id, first_seen, "
        "last_seen, last_calibration, due FROM instruments WHERE 1 = 1");
    QVariantList values;
    if (!filter.station.isEmpty()) {
        sql += QStringLiteral(" AND station_id = ?");
        values << filter.station;
    }
    if (!filter.text.isEmpty()) {
        sql += QStringLiteral(" AND (LOWER(serial_no) LIKE ? ESCAPE '\\' OR LOWER(user_id) LIKE ? "
                              "ESCAPE '\\' OR LOWER(station_id) LIKE ? ESCAPE '\\')");
        const QString pattern = containsPattern(filter.text);
        values << pattern << pattern << pattern;
    }
    // The earliest due day decides an instrument's state, so the states are ranges of it.
    const QString todayText = today.toString(Qt::ISODate);
    const QString soonText = today.addDays(14).toString(Qt::ISODate);
    if (filter.status) {
        switch (*filter.status) {
        case DueStatus::Unknown:
            sql += QStringLiteral(" AND next_due IS NULL");
            break;
        case DueStatus::Overdue:
            sql += QStringLiteral(" AND next_due < ?");
            values << todayText;
            break;
        case DueStatus::DueSoon:
            sql += QStringLiteral(" AND next_due >= ? AND next_due <= ?");
            values << todayText << soonText;
            break;
        case DueStatus::Ok:
            sql += QStringLiteral(" AND next_due > ?");
            values << soonText;
            break;
        }
    }
    if (filter.dueWithinDays) {
        sql += QStringLiteral(" AND next_due <= ?");
        values << today.addDays(*filter.dueWithinDays).toString(Qt::ISODate);
    }
    sql += QStringLiteral(" ORDER BY serial_no");
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        d->failQuery(error, 9505, q);
        return out;
    }
    while (q.next()) {
        FleetInstrument i;
        i.identity = {q.value(0).toString(), q.value(1).toString(), q.value(2).toInt(),
                      q.value(3).toString(), q.value(4).toString()};
        i.firstSeen = timeOf(q.value(5));
        i.lastSeen = timeOf(q.value(6));
        i.lastCalibration = timeOf(q.value(7));
        i.due = FleetDueFromFacts(q.value(8).toString(), today);
        i.status = WorstDue(i.due);
        out << i;
    }
    return out;
}

QList<FleetEvent> FleetStore::history(const QString& serialNo, bool withSnapshots, QString* error) {
    QList<FleetEvent> out;
    if (!d->open) {
        d->fail(error, 9505, LoadMessage(9508));
        return out;
    }
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    q.prepare(withSnapshots
                  ? QStringLiteral("SELECT %1, snapshots.snapshot FROM events LEFT JOIN snapshots "
                                   "ON snapshots.event_id = events.id WHERE events.serial_no = ? "
                                   "ORDER BY events.at DESC, events.id DESC")
                        .arg(EventColumns)
                  : QStringLiteral("SELECT %1 FROM events WHERE events.serial_no = ? "
                                   "ORDER BY events.at DESC, events.id DESC")
                        .arg(EventColumns));
    q.addBindValue(serialNo);
    if (!q.exec()) {
        d->failQuery(error, 9505, q);
        return out;
    }
    while (q.next())
        out << eventOf(q, withSnapshots);
    return out;
}

std::optional<FleetEvent> FleetStore::event(const QString& id, QString* error) {
    if (!d->open) {
        d->fail(error, 9505, LoadMessage(9508));
        return std::nullopt;
    }
    QSqlQuery q(d->db());
    q.prepare(QStringLiteral("SELECT %1, snapshots.snapshot FROM events LEFT JOIN snapshots "
                             "ON snapshots.event_id = events.id WHERE events.id = ?")
                  .arg(EventColumns));
    q.addBindValue(id);
    if (!q.exec()) {
        d->failQuery(error, 9505, q);
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    return eventOf(q, true);
}

bool FleetStore::forEachEvent(const std::function<bool(const FleetEvent&)>& visit, QString* error) {
    if (!d->open)
        return d->fail(error, 9505, LoadMessage(9508));
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM events ORDER BY events.at, events.id")
                    .arg(EventColumns)))
        return d->failQuery(error, 9505, q);
    while (q.next())
        if (!visit(eventOf(q, false)))
            return false;
    return q.lastError().type() == QSqlError::NoError || d->failQuery(error, 9505, q);
}
