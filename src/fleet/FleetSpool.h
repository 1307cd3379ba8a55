#pragma once

#include "fleet/FleetEvent.h"

#include <QString>

class FleetStore;

// Events on their way to the database: one file per event in a folder of the data folder,
// each written whole (a crash leaves a file whole or not there). An event leaves the spool
// only after the database has it, and the database takes an id once, so a crash between the
// two is harmless. A file that is no event is moved aside into "rejected", not retried.
class FleetSpool {
public:
    explicit FleetSpool(const QString& dataFolder);

    QString folder() const { return m_folder; }
    bool put(const FleetEvent& event, QString* error = nullptr);

    struct Drained {
        int stored = 0;   // taken by the database and removed
        int setAside = 0; // no event: moved into rejected/
        int left = 0;     // still waiting (the database failed)
        QString error;    // why the database failed
    };
    // Oldest first; stops at the first event the database refuses.
    Drained drain(FleetStore& store);
    int pending() const;

private:
    QStringList files() const;
    bool setAside(const QString& path);

    QString m_folder;
};
