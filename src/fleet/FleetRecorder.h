#pragma once

#include "fleet/FleetEvent.h"

#include <QObject>
#include <QString>
#include <memory>

class InstrumentSession;
struct OperationReport;

// Keeps the fleet history of one program run: every operation the session finishes becomes an
// event. Recording happens after the operation and never holds up the window or fails a
// command: an event is first put in the spool (one file per event in the data folder, written
// whole), then moved into the database by a worker; an event the database cannot take stays
// in the spool until it can, and is never taken twice (the event's id).
class FleetRecorder : public QObject {
    Q_OBJECT
public:
    FleetRecorder(const QString& fleetUrl, const QString& dataFolder, QObject* parent = nullptr);
    ~FleetRecorder() override;

    // Records every operation `session` reports from now on.
    void attach(InstrumentSession& session);
    // An event that is not an instrument operation (a settings file loaded or stored, a station
    // list imported), or one a front end completes itself.
    void record(FleetEvent event);
    // Waits up to `msecs` for the spool to reach the database (the command line before it
    // exits); false when events are left in the spool.
    bool flush(int msecs);

signals:
    // The database could not be reached and events wait in the spool, or it is back: a line
    // for the log pane or standard error. Never holds a password.
    void notice(const QString& text);

private:
    void recordOperation(const InstrumentSession& session, const OperationReport& report);
    struct Private;
    std::unique_ptr<Private> d;
};

// The event of one finished operation: identity, operator (the calibration's, else the login
// name), bench, and for a read or a write that went through the settings after it; a write
// that stated the settings it started from ("settingsBefore") gets the settings it changed.
FleetEvent EventOfOperation(const OperationReport& report, const QJsonObject& settingsAfter);
