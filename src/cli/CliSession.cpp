#include "cli/CliSession.h"

#include "app/AppState.h"
#include "app/CommandLineHelp.h"
#include "app/ConfigFile.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "link/CommLog.h"
#include "link/IrCommPortControl.h"
#include "link/LinkBringUp.h"
#include "link/SerialPortControl.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"

#include <cstdio>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

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
    if (m_link && m_link->ActivePort())
        m_link->ActivePort()->close();
    SetCommLogFailureHandler({});
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
    int rc = runCommand();
    // Lines or JSON that never reached their reader are no success.
    if (!m_stdoutError.isEmpty()) {
        printError(QStringLiteral("tq5800-cli: ") + LoadMessage(5900, {m_stdoutError}));
        if (rc == CliExit::Done)
            rc = CliExit::Failed;
    }
    if (rc == CliExit::Failed)
        printError(m_failureLine.isEmpty()
                       ? QStringLiteral("tq5800-cli: %1 failed").arg(m_options.commandName)
                       : m_failureLine);
    return rc;
}

int CliSession::setUp() {
    AppState& s = appState();
    m_record = &s.Instrument;

    const CliPortChoice choice = ChooseCliPort(m_options, SystemSerialPorts());
    if (choice.kind == CliPortChoice::None) {
        printError(choice.message);
        return choice.exitCode;
    }

    m_link = std::make_unique<uclHbif>();
    uclHbif& link = *m_link;
    if (m_options.timeoutTicks)
        link.setTimeoutTicks(*m_options.timeoutTicks);
    else
        link.setTimeout(s.CommTimeout);
    link.setRetry(m_options.retry.value_or(s.CommRetry));
    link.setVerifyChecksum(s.VerifyChecksum);
    link.setInstrument(m_record);

    PortControl* serial = nullptr;
    if (choice.kind == CliPortChoice::Simulated) {
        serial = new SimPortControl(SimOptions{}, &link);
    } else {
        serial = new SerialPortControl(&link);
        if (choice.kind == CliPortChoice::Serial)
            serial->setPortName(choice.name);
    }
    auto* irda = new IrCommPortControl(&link);
    if (choice.kind == CliPortChoice::IrDA)
        irda->setPortName(choice.name);
    LinkPorts ports;
    ports.serial = serial;
    ports.irda = irda;
    ports.serialComm = choice.kind != CliPortChoice::IrDA;
    ports.settings = m_options.settings;

    connect(&link, &uclHbif::OnConnect, this, [this] {
        if (!m_link->Connected())
            return;
        m_connected = true;
        print(LoadMessage(5432, {m_link->ConnectReply()}), FlowColor::Connected);
    });
    connect(&link, &uclHbif::AlarmMessage, this, [this](const QString& text) {
        m_gaveUp = true;
        print(text, FlowColor::Failure);
    });
    connect(&link, &uclHbif::ConnectRetry, this, [this](qint16 n) {
        print(LoadMessage(5412, {QString::number(n)}), FlowColor::Progress);
    });
    // The window beeps; a terminal rings its bell.
    connect(&link, &uclHbif::Beep, this, [] {
        std::fputs("\a", stderr);
        std::fflush(stderr);
    });

    QString why;
    if (!BringUpLink(link, ports, &why)) {
        const QString name = choice.kind == CliPortChoice::Simulated
                                 ? QStringLiteral("simulator")
                                 : link.ActivePort()->portName();
        printError(QStringLiteral("tq5800-cli: cannot open port %1: %2").arg(name, why));
        if (link.ActivePort()->openRefused())
            printError(PortAccessRefusedText(name));
        printError(LoadMessage(5405));
        return CliExit::NoInstrument;
    }
    // As the program does at start: each run has a communication log of its own. A run whose
    // port did not even open leaves the earlier logs where they are.
    if (!StartCommLog())
        printError(QStringLiteral("tq5800-cli: SerialLog.log is in use by another run in this "
                                  "folder; this run logs to %1")
                       .arg(QFileInfo(SerialLogPath()).fileName()));
    SetCommLogFailureHandler([this](const QString& path, const QString& why) {
        printError(LoadMessage(9411, {QDir::toNativeSeparators(path), why}));
    });
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
