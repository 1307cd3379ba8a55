#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// Who an instrument is, as the fleet history keys and shows it. The serial number is the key.
struct FleetIdentity {
    QString serialNo;
    QString programNumber; // five digits ("04426"); empty when not known
    qint32 romNumber = 0;
    QString stationId;
    QString userId;
};

enum class FleetOutcome { Done, Failed, Cancelled };
QString FleetOutcomeName(FleetOutcome outcome); // "done", "failed", "cancelled"
std::optional<FleetOutcome> FleetOutcomeFromName(const QString& name);

// One thing done to one instrument, from the window or the command line, as the fleet history
// keeps it. Made once, when the operation has finished; its id travels with it through the
// spool so the database takes it exactly once.
struct FleetEvent {
    QString id;         // a UUID, made with the event
    QDateTime when;     // UTC
    QString kind;       // the operation's name (Operation::Read, ...) or a file operation's
    FleetOutcome outcome = FleetOutcome::Failed;
    FleetIdentity identity;
    QString operatorName; // the calibration's operator, else the login name
    QString bench;        // host name and port ("bench-3 /dev/ttyUSB0")
    // The whole settings record (as the JSON record writes it) after a read or a write; empty
    // for operations that read or change no settings.
    QJsonObject snapshot;
    // Settings a write changed: [{"setting": name, "before": value, "after": value}, ...].
    QJsonArray changes;
    // What else the operation states, by kind: a calibration's channels, readings, cylinder
    // and certificate; a download's file and checksum; a settings file's path.
    QJsonObject details;
};

QJsonObject FleetEventToJson(const FleetEvent& event);
// Null when the object is not an event this program wrote (no id, no serial number, a time
// or outcome it cannot read).
std::optional<FleetEvent> FleetEventFromJson(const QJsonObject& object);
