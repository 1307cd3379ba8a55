#include "fleet/FleetStore.h"

#include <QJsonArray>

namespace {

// The instrument's "Cal.Interval(Days)" ranges over these days; anything else is no interval.
constexpr int MinIntervalDays = 1;
constexpr int MaxIntervalDays = 365;
constexpr int DueSoonDays = 14;

} // namespace

QList<ChannelDue> DueDates(const QJsonObject& snapshot, const QDate& today) {
    QList<ChannelDue> out;
    const QJsonArray enabled = snapshot.value(QStringLiteral("GasEnabled")).toArray();
    const QJsonArray names = snapshot.value(QStringLiteral("GasName")).toArray();
    const QJsonArray dates = snapshot.value(QStringLiteral("CalibDate")).toArray();
    const int interval = snapshot.value(QStringLiteral("CalLimit")).toInt(0);
    const bool hasInterval = interval >= MinIntervalDays && interval <= MaxIntervalDays;
    for (qsizetype channel = 0; channel < enabled.size(); ++channel) {
        if (!enabled.at(channel).toBool())
            continue;
        ChannelDue due;
        due.channel = int(channel);
        due.gas = names.at(channel).toString();
        // The record writes its dates with their offset; the day is the one the instrument
        // showed.
        due.calibrated = QDateTime::fromString(dates.at(channel).toString(), Qt::ISODate).date();
        if (hasInterval && due.calibrated.isValid()) {
            due.due = due.calibrated.addDays(interval);
            due.status = DueStatusOn(due.due, today);
        }
        out << due;
    }
    return out;
}

QDate NextDue(const QList<ChannelDue>& channels) {
    QDate earliest;
    for (const ChannelDue& c : channels)
        if (c.due.isValid() && (!earliest.isValid() || c.due < earliest))
            earliest = c.due;
    return earliest;
}

DueStatus WorstDue(const QList<ChannelDue>& channels) {
    DueStatus worst = DueStatus::Unknown;
    for (const ChannelDue& c : channels)
        worst = std::max(worst, c.status);
    return worst;
}

DueStatus DueStatusOn(const QDate& due, const QDate& today) {
    if (!due.isValid())
        return DueStatus::Unknown;
    if (due < today)
        return DueStatus::Overdue;
    return due <= today.addDays(DueSoonDays) ? DueStatus::DueSoon : DueStatus::Ok;
}
