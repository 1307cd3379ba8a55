#pragma once

#include <QJsonArray>
#include <QJsonObject>

// The settings that differ between two snapshots of one instrument (the JSON record), in the
// record's own names: [{"setting": "Alarm[0][1]", "before": 10, "after": 12}, ...],
// in key order. A setting one side lacks is null there. The language-neutral form the
// fleet history keeps with a write and shows when two snapshots are compared.
QJsonArray SnapshotChanges(const QJsonObject& before, const QJsonObject& after);
