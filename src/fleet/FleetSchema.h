#pragma once

#include "fleet/FleetStore.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// The fleet history's tables, their migrations and the few statements in which the two
// databases differ. Both speak "INSERT ... ON CONFLICT", so the statements of the store are
// the same text on either; what differs is how a writer takes its lock.
struct FleetDialect {
    QString driver;           // QSQLITE, QPSQL
    QString beginWrite;       // a transaction that holds the write lock from its first line
    QString lockForMigration; // within beginWrite: one migrating writer at a time
    static const FleetDialect& sqlite();
    static const FleetDialect& postgres();
    static const FleetDialect& of(const QSqlDatabase& db);
};

// The schema this program writes.
inline constexpr int FleetSchemaVersion = 2;

// Upgrades `db` to `target` (default: this program's) in one transaction per call: every step
// or none. A database newer than this program is refused with message 9502. The schema's
// version is 0 for an empty database.
bool MigrateFleetSchema(QSqlDatabase& db, const QString& shownName, QString* error,
                        int target = FleetSchemaVersion);
// -1 when it cannot be read.
int FleetSchemaVersionOf(QSqlDatabase& db);

// What the fleet list shows of an instrument's latest snapshot, kept in its row so that the
// list needs no scan of the events: the channels' dates as JSON, and the earliest due day
// (ISO text, null when none is known) by which the list filters.
struct FleetDueFacts {
    QString channels;
    QVariant nextDue;
};
FleetDueFacts FleetDueFactsOf(const QJsonObject& snapshot);
// The channels back, their state as of `today`.
QList<ChannelDue> FleetDueFromFacts(const QString& channels, const QDate& today);
