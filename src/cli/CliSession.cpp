#include "cli/CliSession.h"

#include "app/CommandLineHelp.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "cli/CliFleet.h"
#include "link/CommLog.h"
#include "link/uclHbif.h"
#include "ops/InstrumentSession.h"
#include "state/AppState.h"
#include "state/ConfigFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

// How long a run waits at its end for its events to reach the fleet database.
constexpr int FleetFlushMs = 5000;

// The log pane's texts end in a line break of their own ("~c"); a terminal line needs none.
QString terminalLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return text;
}

void writeTo(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

QByteArray outputLine(const QString& text) {
    return text.toLocal8Bit() + '\n';
}

} // namespace

CliSession::CliSession(const CliOptions& options, QObject* parent)
    : QObject(parent), m_options(options), m_progressToStderr(options.json == u"-") {}

CliSession::~CliSession() {
    m_session.reset(); // closes the port and the log's failure handler
}

void CliSession::print(const QString& text, quint32 rgb) {
    const QString line = terminalLine(text);
    if (rgb == FlowColor::Failure || m_progressToStderr)
        writeTo(stderr, line);
    else
        toStandardOutput(outputLine(line));
}

void CliSession::toStandardOutput(const QByteArray& bytes) {
    QString error;
    if (!WriteStandardOutput(bytes, &error) && m_stdoutError.isEmpty())
        m_stdoutError = error;
}

void CliSession::printError(const QString& text) {
    writeTo(stderr, terminalLine(text));
}

FlowOutput CliSession::output() {
    FlowOutput out;
    out.addInfo = [this](const QString& text, quint32 rgb) { print(text, rgb); };
    out.setProgressLabel = [this](const QString& text) { print(text, FlowColor::Progress); };
    return out;
}

int CliSession::run() {
    AppState& s = appState();
    s.StartFolder = QDir::currentPath();
    ReadConfigFile(); // a missing file leaves the defaults
    if (IsFleetCommand(m_options.command))
        return RunFleetCommand(m_options);
    if (const int rc = checkBeforeTheInstrument(); rc != CliExit::Done)
        return rc;
    // Files that are read are checked before the instrument is touched.
    if (m_options.command == CliCommand::StationsImport) {
        if (const int rc = checkStationFile(); rc != CliExit::Done)
            return rc;
    }
    if (m_options.command == CliCommand::Write) {
        if (const int rc = checkSettingsFile(); rc != CliExit::Done)
            return rc;
    }
    if (const int rc = setUp(); rc != CliExit::Done)
        return rc;
    if (const int rc = waitForConnect(); rc != CliExit::Done)
        return rc;
    int rc = CliExit::Failed;
    m_session->run(m_options.commandName, [&] {
        rc = runCommand();
        // Lines or JSON that never reached their reader are no success.
        if (!m_stdoutError.isEmpty()) {
            printError(QStringLiteral("tq5800-cli: ") + LoadMessage(5900, {m_stdoutError}));
            if (rc == CliExit::Done)
                rc = CliExit::Failed;
        }
        return rc == CliExit::Done;
    });
    // The history waits in the spool for a later run when the database is away.
    m_recorder->flush(FleetFlushMs);
    if (rc == CliExit::Failed)
        printError(m_failureLine.isEmpty()
                       ? QStringLiteral("tq5800-cli: %1 failed").arg(m_options.commandName)
                       : m_failureLine);
    return rc;
}

void CliSession::showLinkEvent(LinkEventKind kind, const QString& text) {
    switch (kind) {
    case LinkEventKind::Connected:
        m_connected = true;
        print(text, FlowColor::Connected);
        break;
    case LinkEventKind::Retry:
        print(text, FlowColor::Progress);
        break;
    case LinkEventKind::InstrumentText:
        m_gaveUp = true;
        print(text, FlowColor::Failure);
        break;
    case LinkEventKind::SeveralAdapters:
        printError(text + QStringLiteral(" (choose one with --port NAME)"));
        break;
    default:
        printError(text);
        break;
    }
}

int CliSession::setUp() {
    AppState& s = appState();
    m_record = &s.Instrument;

    m_session = std::make_unique<InstrumentSession>();
    m_link = &m_session->link();
    uclHbif& link = *m_link;
    if (m_options.timeoutTicks)
        link.setTimeoutTicks(*m_options.timeoutTicks);
    else
        link.setTimeout(s.CommTimeout);
    link.setRetry(m_options.retry.value_or(s.CommRetry));
    link.setVerifyChecksum(s.VerifyChecksum);
    link.setInstrument(m_record);
    m_session->setRecord(m_record);
    m_session->setSimulatedPortFactory(m_simulatedPort);
    m_recorder = std::make_unique<FleetRecorder>(CliFleetUrl(m_options), s.StartFolder);
    m_recorder->attach(*m_session);
    connect(m_recorder.get(), &FleetRecorder::notice, this,
            [this](const QString& text) { printError(QStringLiteral("tq5800-cli: ") + text); });
    connect(m_session.get(), &InstrumentSession::linkEvent, this, &CliSession::showLinkEvent);
    connect(m_session.get(), &InstrumentSession::operationFinished, this,
            &CliSession::operationFinished);
    // The window beeps; a terminal rings its bell.
    connect(&link, &uclHbif::Beep, this, [] {
        std::fputs("\a", stderr);
        std::fflush(stderr);
    });

    const PortRequest request{m_options.simulate, m_options.port, m_options.irda};
    if (!m_session->open(request, m_options.settings)) {
        switch (m_session->choice().kind) {
        case PortChoice::SeveralAdapters:
            return CliExit::Usage;
        case PortChoice::NoAdapter:
            return CliExit::NoInstrument;
        default:
            printError(LoadMessage(5405));
            return CliExit::NoInstrument;
        }
    }
    // As the program does at start: each run has a communication log of its own. A run whose
    // port did not even open leaves the earlier logs where they are.
    if (!m_session->startCommLog())
        printError(QStringLiteral("tq5800-cli: SerialLog.log is in use by another run in this "
                                  "folder; this run logs to %1")
                       .arg(QFileInfo(SerialLogPath()).fileName()));
    return CliExit::Done;
}

int CliSession::waitForConnect() {
    uclHbif& link = *m_link;
    // The connect sequence gives up by itself after Retry attempts of about a second each;
    // the bound covers a port whose lines never come up, where it would not even start.
    const qint64 limitMs = (qint64(link.Retry()) + 3) * 1500;
    QElapsedTimer clock;
    clock.start();
    link.waitWhile([&] { return !m_connected && !m_gaveUp && clock.elapsed() < limitMs; });
    if (m_connected)
        return CliExit::Done;
    if (!m_gaveUp)
        printError(LoadMessage(5405));
    return CliExit::NoInstrument;
}

bool CliSession::writeJson(const QStringList& only) {
    if (m_options.json.isEmpty())
        return true;
    QJsonObject record = m_record->ToJson();
    if (!only.isEmpty()) {
        QJsonObject kept{{QStringLiteral("FormatVersion"), record.value("FormatVersion")}};
        for (const QString& key : only)
            kept.insert(key, record.value(key));
        record = kept;
    }
    const QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Indented);
    if (m_options.json == u"-") {
        toStandardOutput(text);
        return m_stdoutError.isEmpty();
    }
    QString error;
    if (WriteFileAtomically(m_options.json, text, &error))
        return true;
    printError(QStringLiteral("tq5800-cli: cannot write %1: %2").arg(m_options.json, error));
    return false;
}
