#pragma once

#include "link/ConverterLookup.h"
#include "model/CalibrationCertificate.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class PortControl;
class clsInstrument;
class uclHbif;

// How the operator asked to reach the instrument (the program's and the command line's
// --simulate, --port and --irda).
struct PortRequest {
    bool simulate = false;
    QString port; // a serial port by name
    QString irda; // the infrared adapter's port by name
};

// Where a request leads: a named port, the simulator, or the one USB serial converter found
// among the ports. Without a name, none found or more than one is no port.
struct PortChoice {
    enum Kind { Serial, IrDA, Simulated, NoAdapter, SeveralAdapters } kind = NoAdapter;
    QString name;
};
PortChoice ChoosePort(const PortRequest& request, const QList<PortDescriptor>& ports);

// What the link did, as a line of text and its kind; each front end shows it its own way (a
// coloured line of the log pane, standard output or error).
enum class LinkEventKind {
    Connected,       // the connect sequence found the instrument
    Retry,           // the connect sequence tries again
    InstrumentText,  // a text of the instrument or of the connect sequence giving up
    NoAdapter,       // no port named and no converter found
    SeveralAdapters, // no port named and more than one converter found
    PortProblem,     // the port cannot be opened or reports an error
    AdapterRemoved,  // the adapter in use was pulled out
    PortsFailed,     // the infrared stack failed as a whole
    LogFailed,       // the communication log stopped taking lines
};

enum class OperationOutcome { Done, Failed, Cancelled };

// One operation on the instrument, finished.
struct OperationReport {
    QString operation; // the command line's command words: "read", "calibrate span", ...
    OperationOutcome outcome = OperationOutcome::Failed;
    QString serialNo; // the instrument's identity; empty when it was never read
    // Who the instrument is (as at the start when the operation cleared the record: a power off).
    InstrumentIdentity identity;
    QString port; // the port's name; "simulator" for the simulated instrument
    // What the operation stated while it ran (AttachOperationDetail), by key.
    QJsonObject details;
};

// The operation names both front ends report under.
namespace Operation {
inline const QString Read = QStringLiteral("read"), Write = QStringLiteral("write"),
                     WriteIdentity = QStringLiteral("write-id"),
                     SetClock = QStringLiteral("set-clock"), Download = QStringLiteral("download"),
                     FramDump = QStringLiteral("fram-dump"), PowerOff = QStringLiteral("power-off"),
                     ClearLogger = QStringLiteral("clear-logger"),
                     ClearPower = QStringLiteral("clear-power"),
                     Defaults = QStringLiteral("defaults"),
                     CheckData = QStringLiteral("check-data"),
                     FlashCheck = QStringLiteral("flash-check"),
                     CalibrateZero = QStringLiteral("calibrate zero"),
                     CalibrateSpan = QStringLiteral("calibrate span"),
                     CalibrateBump = QStringLiteral("calibrate bump"),
                     Nitrogen = QStringLiteral("calibrate nitrogen"),
                     Compensation = QStringLiteral("compensation"),
                     // Files, not the instrument; recorded with the instrument they belong to.
    SettingsLoad = QStringLiteral("settings load"),
                     SettingsStore = QStringLiteral("settings store"),
                     StationsImport = QStringLiteral("stations import");
} // namespace Operation

// One instrument as the program or the command line reaches it: the link and its ports, opened
// as the operator asked, every operation run on it, and what happened reported through
// linkEvent and operationFinished. The simulated instrument is not part of the core: a program
// that offers --simulate gives the session a factory for its port.
class InstrumentSession : public QObject {
    Q_OBJECT
public:
    using SimulatedPortFactory = std::function<PortControl*(QObject* parent)>;

    explicit InstrumentSession(QObject* parent = nullptr);
    ~InstrumentSession() override;

    // The session an operation on `link` belongs to; null for a link no session owns.
    static InstrumentSession* of(const uclHbif& link);

    uclHbif& link() const { return *m_link; }
    // The record whose identity the reports carry.
    void setRecord(clsInstrument* record) { m_record = record; }
    // The record the reports' identity comes from (the link's when none was set).
    const clsInstrument* record() const;
    void setSimulatedPortFactory(SimulatedPortFactory factory) { m_simulatedPort = factory; }
    // The program keeps listening on the infrared path when no converter is found; the command
    // line stops there.
    void setFallBackToInfrared(bool on) { m_fallBackToInfrared = on; }

    // Chooses the port, makes the port controls (those of an earlier open are closed and
    // deleted) and opens the active one. True when it opened; the choice says where it led.
    bool open(const PortRequest& request, const QString& settings,
              const QList<PortDescriptor>& ports = SystemSerialPorts());
    const PortChoice& choice() const { return m_choice; }
    // The run's communication log (StartCommLog): false when another run holds it and this
    // one logs to a file of its own. A line it cannot take is told once as a link event.
    bool startCommLog();
    void close();
    PortControl* serialPort() const { return m_serial; }
    PortControl* irdaPort() const { return m_irda; }

    // Runs one operation and reports it finished exactly once: done when `body` succeeded,
    // cancelled when it failed after the link's Cancel was set, failed otherwise. An operation
    // run inside another is part of it and not reported apart.
    bool run(const QString& operation, const std::function<bool()>& body);

signals:
    void linkEvent(LinkEventKind kind, const QString& text);
    void operationFinished(const OperationReport& report);

private:
    friend class SessionOperation;
    friend void AttachOperationDetail(uclHbif& link, const QString& key, const QJsonValue& value);
    bool begin();
    void end(const QString& operation, bool ok);
    void portProblem(const PortControl* port, const QString& name, const QString& why);
    void onDisconnect();
    void onIrDAError(qint16 code);
    InstrumentIdentity identity() const;
    QString portName() const;

    uclHbif* m_link = nullptr;
    clsInstrument* m_record = nullptr;
    SimulatedPortFactory m_simulatedPort;
    bool m_fallBackToInfrared = false;
    PortChoice m_choice;
    PortControl* m_serial = nullptr;
    PortControl* m_irda = nullptr;
    // The last port problem told, so a port retried every few ticks is not reported each time.
    QString m_portProblem;
    bool m_logging = false; // the log's failure handler is this session's
    bool m_running = false; // an operation that runs another reports once, as itself
    // At the start of the operation that runs:
    InstrumentIdentity m_identityBefore; // a power off clears the record, not the identity
    quint32 m_cancelsBefore = 0;
    QJsonObject m_details;
};

// One operation of the session that owns `link` as a scope, for a body with several ways out:
// reported when the scope ends, with what finish() was last given (failed without it). On a
// link no session owns nothing is reported.
class SessionOperation {
public:
    SessionOperation(uclHbif& link, const QString& operation);
    ~SessionOperation();
    SessionOperation(const SessionOperation&) = delete;
    SessionOperation& operator=(const SessionOperation&) = delete;
    bool finish(bool ok) { return m_ok = ok; }

private:
    InstrumentSession* m_session = nullptr; // null: nested, or no session
    QString m_operation;
    bool m_ok = false;
};

// Runs `body` as a SessionOperation.
bool RunOperation(uclHbif& link, const QString& operation, const std::function<bool()>& body);

// States `value` under `key` in the report of the operation running on `link` (the outer one
// when operations nest); nothing when no operation of a session runs there.
void AttachOperationDetail(uclHbif& link, const QString& key, const QJsonValue& value);
// States the file an operation wrote or read: its path and its SHA-256 as the disk holds it
// ("file", "sha256"; no checksum when it cannot be read).
void AttachFile(uclHbif& link, const QString& path);
