#include "fleet/FleetSchema.h"

#include "app/MessageTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>

namespace {

// Any fixed number: the key of the lock that lets one writer at a time upgrade the schema.
constexpr const char* PostgresMigrationLock = "SELECT pg_advisory_xact_lock(58005800)";

struct Step {
    QStringList statements;
    // What SQL alone cannot do (facts computed from stored JSON); may be empty.
    std::function<bool(QSqlDatabase&, QString*)> fill;
};

bool exec(QSqlDatabase& db, const QString& statement, QString* error) {
    QSqlQuery q(db);
    if (q.exec(statement))
        return true;
    *error = q.lastError().text();
    return false;
}

// The instruments known before their due facts were kept get them from their latest snapshot.
bool fillDueFacts(QSqlDatabase& db, QString* error) {
    QSqlQuery latest(db);
    latest.setForwardOnly(true);
    if (!latest.exec(QStringLiteral("SELECT serial_no, at, snapshot FROM snapshots "
                                    "ORDER BY serial_no, at"))) {
        *error = latest.lastError().text();
        return false;
    }
    QHash<QString, std::pair<QString, QString>> newest; // serial: time, snapshot
    while (latest.next())
        newest.insert(latest.value(0).toString(),
                      {latest.value(1).toString(), latest.value(2).toString()});
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE instruments SET snapshot_at = ?, due = ?, "
                                  "next_due = ? WHERE serial_no = ?"));
    for (auto it = newest.cbegin(); it != newest.cend(); ++it) {
        const FleetDueFacts facts =
            FleetDueFactsOf(QJsonDocument::fromJson(it->second.toUtf8()).object());
        update.addBindValue(it->first);
        update.addBindValue(facts.channels);
        update.addBindValue(facts.nextDue);
        update.addBindValue(it.key());
        if (!update.exec()) {
            *error = update.lastError().text();
            return false;
        }
    }
    return true;
}

// Step n takes the schema from version n - 1 to n. Texts only ever get added here: a shop's
// database may be at any of them.
const QList<Step>& steps() {
    static const QList<Step> list{
        {{QStringLiteral("CREATE TABLE events (id TEXT PRIMARY KEY, serial_no TEXT NOT NULL, "
                         "at TEXT NOT NULL, kind TEXT NOT NULL, outcome TEXT NOT NULL, "
                         "program_number TEXT NOT NULL, rom_number INTEGER NOT NULL, "
                         "station_id TEXT NOT NULL, user_id TEXT NOT NULL, "
                         "operator_name TEXT NOT NULL, bench TEXT NOT NULL, "
                         "changes TEXT NOT NULL, details TEXT NOT NULL)"),
          QStringLiteral("CREATE TABLE snapshots (event_id TEXT PRIMARY KEY, "
                         "serial_no TEXT NOT NULL, at TEXT NOT NULL, snapshot TEXT NOT NULL)"),
          QStringLiteral("CREATE TABLE instruments (serial_no TEXT PRIMARY KEY, "
                         "program_number TEXT NOT NULL, rom_number INTEGER NOT NULL, "
                         "station_id TEXT NOT NULL, user_id TEXT NOT NULL, "
                         "first_seen TEXT NOT NULL, last_seen TEXT NOT NULL, "
                         "last_calibration TEXT)"),
          QStringLiteral("CREATE INDEX events_serial_at ON events (serial_no, at)"),
          QStringLiteral("CREATE INDEX events_at ON events (at)"),
          QStringLiteral("CREATE INDEX snapshots_serial_at ON snapshots (serial_no, at)")},
         {}},
        {{QStringLiteral("ALTER TABLE instruments ADD COLUMN snapshot_at TEXT"),
          QStringLiteral("ALTER TABLE instruments ADD COLUMN due TEXT"),
          QStringLiteral("ALTER TABLE instruments ADD COLUMN next_due TEXT"),
          QStringLiteral("CREATE INDEX instruments_station ON instruments (station_id)"),
          QStringLiteral("CREATE INDEX instruments_next_due ON instruments (next_due)")},
         fillDueFacts},
    };
    return list;
}

} // namespace

const FleetDialect& FleetDialect::sqlite() {
    // IMMEDIATE: a deferred transaction that later wants to write can fail at once with "busy"
    // while another connection writes, without waiting its time-out.
    static const FleetDialect d{QStringLiteral("QSQLITE"), QStringLiteral("BEGIN IMMEDIATE"),
                                QString()};
    return d;
}

const FleetDialect& FleetDialect::postgres() {
    static const FleetDialect d{QStringLiteral("QPSQL"), QStringLiteral("BEGIN"),
                                QString::fromLatin1(PostgresMigrationLock)};
    return d;
}

const FleetDialect& FleetDialect::of(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL") ? postgres() : sqlite();
}

int FleetSchemaVersionOf(QSqlDatabase& db) {
    if (!db.tables().contains(QStringLiteral("schema_version")))
        return 0;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT version FROM schema_version")))
        return -1;
    return q.next() ? q.value(0).toInt() : 0;
}

bool MigrateFleetSchema(QSqlDatabase& db, const QString& shownName, QString* error, int target) {
    QString why;
    const auto refuseNewer = [&](int version) {
        if (error)
            *error = LoadMessage(
                9502, {shownName, QString::number(version), QString::number(FleetSchemaVersion)});
        return false;
    };
    const int seen = FleetSchemaVersionOf(db);
    if (seen > FleetSchemaVersion)
        return refuseNewer(seen);
    if (seen >= target)
        return true;

    const FleetDialect& dialect = FleetDialect::of(db);
    if (!exec(db, dialect.beginWrite, &why)) {
        if (error)
            *error = LoadMessage(9506, {shownName, QString::number(target), why});
        return false;
    }
    // Another program may have upgraded it meanwhile: the version is read again under the lock.
    bool ok = (dialect.lockForMigration.isEmpty() || exec(db, dialect.lockForMigration, &why)) &&
              exec(db,
                   QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version "
                                  "(version INTEGER NOT NULL)"),
                   &why);
    QSqlQuery q(db);
    int version = 0;
    if (ok && (ok = q.exec(QStringLiteral("SELECT version FROM schema_version"))) && q.next())
        version = q.value(0).toInt();
    else if (ok)
        ok = exec(db, QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"), &why);
    else
        why = q.lastError().text();
    if (ok && version > FleetSchemaVersion) {
        exec(db, QStringLiteral("ROLLBACK"), &why);
        return refuseNewer(version);
    }
    for (int v = version + 1; ok && v <= target; ++v) {
        const Step& step = steps().at(v - 1);
        for (const QString& statement : step.statements)
            if (!(ok = exec(db, statement, &why)))
                break;
        if (ok && step.fill)
            ok = step.fill(db, &why);
    }
    if (ok && version < target) {
        QSqlQuery set(db);
        set.prepare(QStringLiteral("UPDATE schema_version SET version = ?"));
        set.addBindValue(target);
        if (!(ok = set.exec()))
            why = set.lastError().text();
    }
    if (ok && exec(db, QStringLiteral("COMMIT"), &why))
        return true;
    QString ignored;
    exec(db, QStringLiteral("ROLLBACK"), &ignored);
    if (error)
        *error = LoadMessage(9506, {shownName, QString::number(target), why});
    return false;
}

FleetDueFacts FleetDueFactsOf(const QJsonObject& snapshot) {
    QJsonArray channels;
    // The day only matters for the state, which is worked out again whenever it is shown.
    const QList<ChannelDue> due = DueDates(snapshot, QDate::currentDate());
    for (const ChannelDue& c : due)
        channels.append(
            QJsonObject{{QStringLiteral("Channel"), c.channel},
                        {QStringLiteral("Gas"), c.gas},
                        {QStringLiteral("Calibrated"), c.calibrated.toString(Qt::ISODate)},
                        {QStringLiteral("Due"), c.due.toString(Qt::ISODate)}});
    const QDate earliest = NextDue(due);
    return {QString::fromUtf8(QJsonDocument(channels).toJson(QJsonDocument::Compact)),
            earliest.isValid() ? QVariant(earliest.toString(Qt::ISODate))
                               : QVariant(QMetaType::fromType<QString>())};
}

QList<ChannelDue> FleetDueFromFacts(const QString& text, const QDate& today) {
    QList<ChannelDue> out;
    for (const QJsonValue v : QJsonDocument::fromJson(text.toUtf8()).array()) {
        const QJsonObject o = v.toObject();
        ChannelDue c;
        c.channel = o.value(QStringLiteral("Channel")).toInt();
        c.gas = o.value(QStringLiteral("Gas")).toString();
        c.calibrated =
            QDate::fromString(o.value(QStringLiteral("Calibrated")).toString(), Qt::ISODate);
        c.due = QDate::fromString(o.value(QStringLiteral("Due")).toString(), Qt::ISODate);
        c.status = DueStatusOn(c.due, today);
        out << c;
    }
    return out;
}
