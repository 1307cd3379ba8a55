#pragma once

#include "fleet/FleetEvent.h"
#include "model/CalibrationRules.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <optional>

struct CalibrationCertificate;

// One setting as two snapshots hold it, by its path in the record ("GasName[2]").
struct SettingComparison {
    QString setting;
    QString first, second; // empty where that snapshot does not hold the setting
    bool changed = false;
};
// Every setting either snapshot holds (SnapshotSettings), its values as texts.
QList<SettingComparison> CompareSnapshots(const QJsonObject& first, const QJsonObject& second);

// A change list of a write as one line: "setting: before -> after; ...".
QString ChangesText(const QJsonArray& changes);
// "done", "failed" or "cancelled" in the current language.
QString OutcomeText(FleetOutcome outcome);
// An operation's name in the current language; a name this program does not know, as it is.
QString KindText(const QString& kind);
// "<local time> <kind>": how a history entry is named in a choice list.
QString EventTitle(const FleetEvent& event);

// The certificate an event keeps (a span's); none when it holds none this program can read.
std::optional<CalibrationCertificate> StoredCertificate(const FleetEvent& event);

// One span's readings of one channel: before and after the adjustment.
struct SpanReading {
    QDateTime when;
    double before = 0;
    double after = 0;
};
struct ChannelSpans {
    QString gas, unit;           // from the latest span that names them
    QList<SpanReading> readings; // oldest first
};
// Each channel's span readings over an instrument's life, from its history (any order): a span
// counts for a channel it adjusted or tried to, and only with both readings known.
std::array<ChannelSpans, Calibration::Channels> SpanReadings(const QList<FleetEvent>& history);
