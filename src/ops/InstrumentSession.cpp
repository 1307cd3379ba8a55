#include "ops/InstrumentSession.h"

#include "app/MessageTable.h"
#include "link/CommLog.h"
#include "link/IrCommPortControl.h"
#include "link/LinkBringUp.h"
#include "link/SerialPortControl.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <utility>

PortChoice ChoosePort(const PortRequest& request, const QList<PortDescriptor>& ports) {
    PortChoice c;
    if (request.simulate) {
        c.kind = PortChoice::Simulated;
    } else if (!request.port.isEmpty()) {
        c.kind = PortChoice::Serial;
        c.name = request.port;
    } else if (!request.irda.isEmpty()) {
        c.kind = PortChoice::IrDA;
        c.name = request.irda;
    } else {
        const ConverterLookup found = FindConverterPort(ports);
        if (found.matches > 1) {
            c.kind = PortChoice::SeveralAdapters;
        } else if (found.matches == 1) {
            c.kind = PortChoice::Serial;
            c.name = found.portName;
        }
    }
    return c;
}

InstrumentSession::InstrumentSession(QObject* parent) : QObject(parent) {
    m_link = new uclHbif(this);
    connect(m_link, &uclHbif::OnConnect, this, [this] {
        if (!m_link->Connected())
            return;
        m_portProblem.clear();
        emit linkEvent(LinkEventKind::Connected, LoadMessage(5432, {m_link->ConnectReply()}));
    });
    connect(m_link, &uclHbif::ConnectRetry, this, [this](qint16 count) {
        emit linkEvent(LinkEventKind::Retry, LoadMessage(5412, {QString::number(count)}));
    });
    connect(m_link, &uclHbif::AlarmMessage, this,
            [this](const QString& text) { emit linkEvent(LinkEventKind::InstrumentText, text); });
    connect(m_link, &uclHbif::OnDisconnect, this, &InstrumentSession::onDisconnect);
    connect(m_link, &uclHbif::IrDAError, this, &InstrumentSession::onIrDAError);
}

InstrumentSession::~InstrumentSession() {
    if (m_logging)
        SetCommLogFailureHandler({});
    close();
}

bool InstrumentSession::startCommLog() {
    const bool own = StartCommLog();
    // Said once when the log stops taking lines, not with every line that is lost.
    SetCommLogFailureHandler([this](const QString& path, const QString& why) {
        emit linkEvent(LinkEventKind::LogFailed,
                       LoadMessage(9411, {QDir::toNativeSeparators(path), why}));
    });
    m_logging = true;
    return own;
}

InstrumentSession* InstrumentSession::of(const uclHbif& link) {
    return qobject_cast<InstrumentSession*>(link.parent());
}

void InstrumentSession::close() {
    if (PortControl* port = m_link->ActivePort())
        port->close();
    m_link->setSerialControl(nullptr);
    m_link->setIrDAControl(nullptr);
    // The link's handlers may still be on the stack (a power off reopens from one).
    if (m_serial)
        m_serial->deleteLater();
    if (m_irda)
        m_irda->deleteLater();
    m_serial = nullptr;
    m_irda = nullptr;
}

bool InstrumentSession::open(const PortRequest& request, const QString& settings,
                             const QList<PortDescriptor>& ports) {
    close();
    m_portProblem.clear();
    m_choice = ChoosePort(request, ports);
    if (m_choice.kind == PortChoice::NoAdapter)
        emit linkEvent(LinkEventKind::NoAdapter, LoadMessage(5760));
    else if (m_choice.kind == PortChoice::SeveralAdapters)
        emit linkEvent(LinkEventKind::SeveralAdapters, LoadMessage(20014));
    const bool noPort =
        m_choice.kind == PortChoice::NoAdapter || m_choice.kind == PortChoice::SeveralAdapters;
    if (noPort && !m_fallBackToInfrared)
        return false;

    if (m_choice.kind == PortChoice::Simulated) {
        if (!m_simulatedPort) {
            portProblem(nullptr, QStringLiteral("simulator"),
                        QStringLiteral("this program has no simulated instrument"));
            return false;
        }
        m_serial = m_simulatedPort(this);
    } else {
        m_serial = new SerialPortControl(this);
        if (m_choice.kind == PortChoice::Serial)
            m_serial->setPortName(m_choice.name);
    }
    m_irda = new IrCommPortControl(this);
    if (!request.irda.isEmpty())
        m_irda->setPortName(request.irda);

    LinkPorts linkPorts;
    linkPorts.serial = m_serial;
    linkPorts.irda = m_irda;
    linkPorts.serialComm =
        m_choice.kind == PortChoice::Serial || m_choice.kind == PortChoice::Simulated;
    linkPorts.settings = settings;
    QString why;
    if (BringUpLink(*m_link, linkPorts, &why))
        return true;
    // A port without a name (the infrared path listened on for want of a converter, or the
    // simulator with its adapter pulled from the menu) has nothing the operator could change.
    const PortControl* port = m_link->ActivePort();
    if (port && port->hasPortName())
        portProblem(port, port->portName(), why);
    return false;
}

void InstrumentSession::portProblem(const PortControl* port, const QString& name,
                                    const QString& why) {
    m_portProblem = why;
    emit linkEvent(LinkEventKind::PortProblem, LoadMessage(5779, {name, why}));
    if (port && port->openRefused())
        emit linkEvent(LinkEventKind::PortProblem, PortAccessRefusedText(name));
}

void InstrumentSession::onDisconnect() {
    // An adapter pulled out is a port error, not a port that is still there.
    const PortControl* port = m_link->ActivePort();
    if (port && port->lost())
        emit linkEvent(LinkEventKind::AdapterRemoved, LoadMessage(5788, {port->portName()}));
}

void InstrumentSession::onIrDAError(qint16 code) {
    if (code == 10060 || code == 10048) {
        emit linkEvent(LinkEventKind::PortsFailed, LoadMessage(5371));
        return;
    }
    // The infrared port's own errors (missing, busy, refused, gone), once each until the link
    // is up again: the port is retried every few ticks.
    const QString why = m_irda ? m_irda->errorString() : QString();
    if (!m_irda || why == m_portProblem)
        return;
    m_portProblem = why;
    emit linkEvent(LinkEventKind::PortProblem, LoadMessage(5786, {m_irda->portName(), why}));
    if (m_irda->openRefused())
        emit linkEvent(LinkEventKind::PortProblem, PortAccessRefusedText(m_irda->portName()));
}

const clsInstrument* InstrumentSession::record() const {
    return m_record ? m_record : m_link->Instrument();
}

InstrumentIdentity InstrumentSession::identity() const {
    const clsInstrument* r = record();
    return r ? IdentityOf(*r) : InstrumentIdentity{};
}

QString InstrumentSession::portName() const {
    if (m_choice.kind == PortChoice::Simulated)
        return QStringLiteral("simulator");
    const PortControl* port = m_link->ActivePort();
    return port && !port->portName().isEmpty() ? port->portName() : m_choice.name;
}

bool InstrumentSession::begin() {
    if (m_running)
        return false;
    m_running = true;
    m_identityBefore = identity();
    m_cancelsBefore = m_link->CancelCount();
    m_details = {};
    return true;
}

void InstrumentSession::end(const QString& operation, bool ok) {
    m_running = false;
    OperationReport report;
    report.operation = operation;
    report.outcome = ok                                         ? OperationOutcome::Done
                     : m_link->CancelCount() != m_cancelsBefore ? OperationOutcome::Cancelled
                                                                : OperationOutcome::Failed;
    report.identity = identity();
    if (report.identity.serialNo.isEmpty())
        report.identity = m_identityBefore;
    report.serialNo = report.identity.serialNo;
    report.port = portName();
    report.details = std::exchange(m_details, {});
    emit operationFinished(report);
}

bool InstrumentSession::run(const QString& operation, const std::function<bool()>& body) {
    return RunOperation(*m_link, operation, body);
}

SessionOperation::SessionOperation(uclHbif& link, const QString& operation)
    : m_operation(operation) {
    InstrumentSession* session = InstrumentSession::of(link);
    if (session && session->begin())
        m_session = session;
}

SessionOperation::~SessionOperation() {
    if (m_session)
        m_session->end(m_operation, m_ok);
}

bool RunOperation(uclHbif& link, const QString& operation, const std::function<bool()>& body) {
    SessionOperation scope(link, operation);
    return scope.finish(body());
}

void AttachOperationDetail(uclHbif& link, const QString& key, const QJsonValue& value) {
    InstrumentSession* session = InstrumentSession::of(link);
    if (session && session->m_running)
        session->m_details.insert(key, value);
}

void AttachFile(uclHbif& link, const QString& path) {
    AttachOperationDetail(link, QStringLiteral("file"), QDir::toNativeSeparators(path));
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (file.open(QIODevice::ReadOnly) && hash.addData(&file))
        AttachOperationDetail(link, QStringLiteral("sha256"),
                              QString::fromLatin1(hash.result().toHex()));
}
