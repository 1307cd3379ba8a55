#pragma once

#include "cli/CliOptions.h"
#include "fleet/FleetRecorder.h"
#include "link/LinkState.h"
#include "model/CalibrationRules.h"
#include "ops/InstrumentFlows.h"
#include "ops/InstrumentSession.h"

#include <QObject>
#include <memory>

class uclHbif;
class clsInstrument;

struct SettingsReadResult;

// One run of tq5800-cli: the configuration from the current folder, the link on the chosen
// port, the connect sequence, one command, and its lines on standard output and error.
class CliSession : public QObject {
    Q_OBJECT
public:
    explicit CliSession(const CliOptions& options, QObject* parent = nullptr);
    ~CliSession() override;

    // The port --simulate opens: the program's simulated instrument.
    void setSimulatedPortFactory(InstrumentSession::SimulatedPortFactory factory) {
        m_simulatedPort = std::move(factory);
    }
    // Runs the whole session; returns the exit status.
    int run();

signals:
    // The command, run on the instrument, finished (not sent when the port or the connect
    // failed, nor when a file was refused before).
    void operationFinished(const OperationReport& report);

private:
    // Every file the command names, and what can be known of its values without the
    // instrument, checked before the port is opened (CliPreflight.cpp).
    int checkBeforeTheInstrument();
    int checkGasValues();
    int setUp();
    // The session's link events: progress and the connection on standard output, the rest on
    // standard error.
    void showLinkEvent(LinkEventKind kind, const QString& text);
    int waitForConnect();
    int runCommand();

    int read();
    int write();
    int setClock();
    int download();
    int framDump();
    int live();
    int powerOff();
    int maintenance(MaintenanceCommand command);
    int checkData();
    // The station and settings files are read and checked before the port is opened.
    int checkStationFile();
    int checkSettingsFile();
    int stationsExport();
    int stationsImport();
    int calibrateZero();
    int calibrateSpan();
    int calibrateBump();
    // The calibration commands' common steps: the output files checked before anything is
    // sent (by checkBeforeTheInstrument), the record read for identity and alarm levels, the
    // gases, the channels chosen.
    int checkRecordOutputs();
    int readForCalibration(Calibration::Flags* enabled);
    int chooseChannels(const Calibration::Flags& enabled, Calibration::Readings* values,
                       Calibration::Flags* chosen);
    // The exit status of a link that failed under a calibration: 3 with the no-response text
    // when the instrument stopped answering, else 1.
    int linkFailure(FailureCause cause);
    void printResult(const QString& resultText);

    // The record as JSON, or only the properties named.
    bool writeJson(const QStringList& only = {});
    // A settings file refused: its line and cause on standard error.
    bool settingsFileRefused(const SettingsReadResult& result);

    // A line as the log pane would show it: red lines go to standard error.
    void print(const QString& text, quint32 rgb);
    void printError(const QString& text);
    // Bytes for standard output; a failure is kept and makes the run fail at its end.
    void toStandardOutput(const QByteArray& bytes);
    FlowOutput output();

    CliOptions m_options;
    // Every command runs as one operation of the session.
    std::unique_ptr<InstrumentSession> m_session;
    std::unique_ptr<FleetRecorder> m_recorder;
    InstrumentSession::SimulatedPortFactory m_simulatedPort;
    uclHbif* m_link = nullptr; // the session's

    clsInstrument* m_record = nullptr;
    bool m_connected = false;
    bool m_gaveUp = false;
    bool m_progressToStderr = false; // standard output carries the JSON
    QString m_stdoutError;           // why standard output took not all it was given
    QStringList m_stations;          // the checked entries of a station file to import
    QString m_failureLine;           // the last line of a failed run, when it says more
};
