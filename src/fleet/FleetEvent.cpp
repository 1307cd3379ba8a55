#include "fleet/FleetEvent.h"

#include <QUuid>

namespace {

// The keys keep the record's spelling, so a script reads an event and a record alike.
namespace Key {
const QString FormatVersion = QStringLiteral("FormatVersion"), Id = QStringLiteral("Id"),
              Time = QStringLiteral("Time"), Kind = QStringLiteral("Kind"),
              Outcome = QStringLiteral("Outcome"), SerialNo = QStringLiteral("SerialNo"),
              ProgramNumber = QStringLiteral("ProgramNumber"),
              RomNumber = QStringLiteral("RomNumber"), StationID = QStringLiteral("StationID"),
              UserID = QStringLiteral("UserID"), Operator = QStringLiteral("Operator"),
              Bench = QStringLiteral("Bench"), Snapshot = QStringLiteral("Snapshot"),
              Changes = QStringLiteral("Changes"), Details = QStringLiteral("Details");
}

// The event's own layout; it goes up when a key changes its meaning or its type.
constexpr int EventFormatVersion = 1;

} // namespace

QString FleetOutcomeName(FleetOutcome outcome) {
    switch (outcome) {
    case FleetOutcome::Done:
        return QStringLiteral("done");
    case FleetOutcome::Failed:
        return QStringLiteral("failed");
    case FleetOutcome::Cancelled:
        return QStringLiteral("cancelled");
    }
    return QString();
}

std::optional<FleetOutcome> FleetOutcomeFromName(const QString& name) {
    for (FleetOutcome o : {FleetOutcome::Done, FleetOutcome::Failed, FleetOutcome::Cancelled})
        if (FleetOutcomeName(o) == name)
            return o;
    return std::nullopt;
}

QJsonObject FleetEventToJson(const FleetEvent& e) {
    QJsonObject o{
        {Key::FormatVersion, EventFormatVersion},
        {Key::Id, e.id},
        {Key::Time, e.when.toUTC().toString(Qt::ISODateWithMs)},
        {Key::Kind, e.kind},
        {Key::Outcome, FleetOutcomeName(e.outcome)},
        {Key::SerialNo, e.identity.serialNo},
        {Key::ProgramNumber, e.identity.programNumber},
        {Key::RomNumber, e.identity.romNumber},
        {Key::StationID, e.identity.stationId},
        {Key::UserID, e.identity.userId},
        {Key::Operator, e.operatorName},
        {Key::Bench, e.bench},
        {Key::Changes, e.changes},
        {Key::Details, e.details},
    };
    if (!e.snapshot.isEmpty())
        o.insert(Key::Snapshot, e.snapshot);
    return o;
}

std::optional<FleetEvent> FleetEventFromJson(const QJsonObject& o) {
    FleetEvent e;
    e.id = o.value(Key::Id).toString();
    e.when = QDateTime::fromString(o.value(Key::Time).toString(), Qt::ISODateWithMs);
    const auto outcome = FleetOutcomeFromName(o.value(Key::Outcome).toString());
    e.identity.serialNo = o.value(Key::SerialNo).toString();
    e.kind = o.value(Key::Kind).toString();
    if (QUuid::fromString(e.id).isNull() || !e.when.isValid() || !outcome ||
        e.identity.serialNo.isEmpty() || e.kind.isEmpty())
        return std::nullopt;
    e.when = e.when.toUTC();
    e.outcome = *outcome;
    e.identity.programNumber = o.value(Key::ProgramNumber).toString();
    e.identity.romNumber = qint32(o.value(Key::RomNumber).toInteger());
    e.identity.stationId = o.value(Key::StationID).toString();
    e.identity.userId = o.value(Key::UserID).toString();
    e.operatorName = o.value(Key::Operator).toString();
    e.bench = o.value(Key::Bench).toString();
    e.snapshot = o.value(Key::Snapshot).toObject();
    e.changes = o.value(Key::Changes).toArray();
    e.details = o.value(Key::Details).toObject();
    return e;
}
