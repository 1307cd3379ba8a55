#pragma once

#include "fleet/FleetEvent.h"

#include <QList>
#include <QString>
#include <QStringList>

// The files this program wrote before it kept a fleet history, read back as events: the
// setting record ("TQ5800_Setting*.csv": a read or a write per line, with the settings it
// shows as a snapshot) and the calibration log ("TQ5800_Calibration.csv": a span or a bump
// test per line). The files are taken whole or not at all. An event's id is made from the
// file's kind and the line's text, so a file imported twice, or a copy of it, adds nothing.
struct FleetImport {
    bool ok = false;
    QString error; // the file, the line and what is wrong with it
    QList<FleetEvent> events;
};
FleetImport ReadFleetImportFiles(const QStringList& paths);
