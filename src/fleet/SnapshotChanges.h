#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

// One setting of two snapshots, by its path in the record: "Key", "Key[2]", "Key.Inner".
// A value a snapshot lacks is null there.
struct SnapshotSetting {
    QString setting;
    QJsonValue before, after;
    bool changed() const { return before != after; }
};
// Every setting either snapshot holds, the first's keys first, the record's own state (its
// layout, where its data came from) left out: what the Fleet window lays side by side.
QList<SnapshotSetting> SnapshotSettings(const QJsonObject& before, const QJsonObject& after);

// The settings that differ between two snapshots of one instrument (the JSON record), in the
// record's own names: [{"setting": "Alarm[0][1]", "before": 10, "after": 12}, ...],
// in key order. A setting one side lacks is null there. The language-neutral form the
// fleet history keeps with a write and shows when two snapshots are compared.
QJsonArray SnapshotChanges(const QJsonObject& before, const QJsonObject& after);
