#include "ui/main/frmMain.h"

#include "app/AppDate.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "fleet/FleetRecorder.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "ops/InstrumentFlows.h"
#include "ops/InstrumentSession.h"
#include "sim/SimInstrument.h"
#include "state/AppState.h"
#include "state/ConfigFile.h"
#include "ui/calibration/CalibrationCommand.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/StatusLamp.h"
#include "ui/common/UiServices.h"
#include "ui/common/WindowHelpers.h"
#include "ui/common/frmUpload.h"
#include "ui/factory/frmFsDialog.h"
#include "ui/fleet/frmFleet.h"
#include "ui/main/MainCommands.h"
#include "ui/main/SettingsGrid.h"
#include "ui/shell/AboutBox.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>

namespace {

// The clocks read month/day/year with fixed separators, whatever the locale.
const QString ClockFormat = QStringLiteral("MM/dd/yyyy hh:mm:ss");

} // namespace

frmMain::frmMain(const StartupOptions& options, QWidget* parent)
    : QWidget(parent), m_options(options) {
    setObjectName(QStringLiteral("frmMain"));
    DefaultCommSettings();
    m_session = new InstrumentSession(this);
    m_session->setRecord(&appState().Instrument);
    m_session->setFallBackToInfrared(true);
    m_link = &m_session->link();
    buildControls();
    buildCommands();
    buildLayout();
    InstallAboutBox(this);
    installSimulatorActions();
    loadWindow();
    // Every operation goes into the fleet history; the configuration names where it lives.
    m_recorder = new FleetRecorder(FleetUrlOf(options), appState().StartFolder, this);
    m_recorder->attach(*m_session);
    connect(m_recorder, &FleetRecorder::notice, this,
            [this](const QString& text) { AddInfo(text, QColor::fromRgb(FlowColor::Instrument)); });
}

frmMain::~frmMain() {
    // The window's own part is gone before QWidget takes its children down: a field that loses
    // the focus then must not reach a handler of this window.
    const auto children = findChildren<QObject*>();
    for (QObject* child : children)
        disconnect(child, nullptr, this, nullptr);
}

FlexGrid* frmMain::vfgOption() const {
    return m_settings->vfgOption();
}

void frmMain::buildControls() {
    m_rtbLog = new QTextEdit(this);
    m_rtbLog->setObjectName(QStringLiteral("rtbLog"));
    m_rtbLog->setReadOnly(true);
    m_lblTitle = new QLabel(this);

    SettingsGrid::Host host;
    host.talking = [this] { return IsTalking(m_link->Status()); };
    host.connected = [this] { return m_link->Connected(); };
    host.refreshCommands = [this] { RefreshCommands(); };
    m_settings = new SettingsGrid(this, host);

    for (int i = 0; i < 8; ++i)
        m_lblOption[i] = new QLabel(this);
    for (int i = 6; i <= 9; ++i)
        m_lblInstMap[i] = new QLabel(this);
    m_settings->setRomLabels(m_lblInstMap[7], m_lblInstMap[9]);

    m_fraStatus = new QGroupBox(this);
    m_fraTransStatus = new QGroupBox(this);
    for (int i = 0; i < 4; ++i) {
        m_shpStatus[i] = new StatusLamp(this);
        m_lblStatus[i] = new QLabel(this);
    }
    for (QGroupBox*& frame : m_fraCommand)
        frame = new QGroupBox(this);
    for (const MainButtonRow& row : MainButtons) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(row.name));
        connect(b, &QPushButton::clicked, this,
                [this, which = row.button] { command_Click(which); });
        m_buttons[std::size_t(row.button)] = b;
    }
    m_txtSuffix = new QLineEdit(this);
    m_txtSuffix->setObjectName(QStringLiteral("txtSuffix"));
    connect(m_txtSuffix, &QLineEdit::editingFinished, this, &frmMain::txtSuffix_Validate);
    m_lblSuffix = new QLabel(this);
    m_tmrInter = new QTimer(this);
    connect(m_tmrInter, &QTimer::timeout, this, &frmMain::tmrInter_Timer);

    connect(m_session, &InstrumentSession::linkEvent, this, &frmMain::showLinkEvent);
    connect(m_link, &uclHbif::Densty, this, &frmMain::link_Densty);
    connect(m_link, &uclHbif::DumpMessage, this, &frmMain::link_DumpMessage);
    connect(m_link, &uclHbif::OnDisconnect, this, &frmMain::link_OnDisconnect);
    connect(m_link, &uclHbif::Beep, this, [] { ui().beep(); });
}

void frmMain::buildCommands() {
    MainCommands::Host host;
    host.window = this;
    host.link = m_link;
    host.suffix = m_txtSuffix;
    host.output = [this] { return flowOutput(); };
    host.setBusy = [this](bool busy) { setBusy(busy); };
    host.commitEdits = [this] { commitEdits(); };
    host.hasRedCell = [this] { return m_settings->HasRedCell(); };
    host.showProgress = [this](const QString& caption, const QString& label) {
        showProgress(caption, label);
    };
    host.setProgressCaption = [this](const QString& caption) {
        if (m_upload)
            m_upload->setWindowTitle(caption);
    };
    host.closeProgress = [this] { closeProgress(); };
    host.showInstrument = [this] { ShowInstrument(); };
    host.enableLockedGases = [this] { EnableLockedGases(); };
    host.refreshCommands = [this] { RefreshCommands(); };
    host.restartAfterPowerOff = [this] { restartAfterPowerOff(); };
    host.checkFilePath = [this] { return checkFilePath(); };
    host.dataFilePath = [this] { return m_dataFilePath; };
    host.dumpFilePath = [this] { return dumpFilePath(); };
    m_commands = new MainCommands(this, std::move(host));
}

void frmMain::installSimulatorActions() {
    if (!m_options.simulate)
        return;
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    auto add = [this](const char* name, int message, void (SimPortControl::*set)(bool)) {
        auto* action = new QAction(LoadMessage(message), this);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, this, [this, set](bool on) {
            if (auto* port = qobject_cast<SimPortControl*>(m_link->SerialControl()))
                (port->*set)(on);
        });
        addAction(action);
        return action;
    };
    m_actSimCable = add("actSimCable", 5793, &SimPortControl::setCableConnected);
    m_actSimAdapter = add("actSimAdapter", 5794, &SimPortControl::setAdapterPresent);
    m_session->setSimulatedPortFactory([this](QObject* parent) -> PortControl* {
        // One simulated instrument for the window's life: it keeps what was written to it and
        // wakes up again when the link reopens after a power off.
        if (!m_simInstrument) {
            SimOptions sim;
            sim.baud = m_options.simulateBaud;
            m_simInstrument = new SimInstrument(sim, this);
        }
        auto* port = new SimPortControl(m_simInstrument, parent);
        // A link reopened after a power off finds the cable and the adapter as the menu left
        // them.
        port->setCableConnected(m_actSimCable->isChecked());
        port->setAdapterPresent(m_actSimAdapter->isChecked());
        return port;
    });
}

void frmMain::loadWindow() {
    AppState& s = appState();
    for (int i = 0; i < 4; ++i)
        s.AutoCalValues[i] = -101.0f;
    s.GasDefaults.FillDefaults();
    ResetDisplay();
    s.TrendSearch = {-30, 45};
    s.CommRetry = 3;
    s.CommTimeout = 3;
    ReadConfigFile();
    ApplyAppFont(this);
    setCaptions();
    // The A/D list aligns its values on a tab after labels of 14 characters.
    m_rtbLog->setTabStopDistance(
        m_rtbLog->fontMetrics().horizontalAdvance(QStringLiteral("ch7 TEMP VOL MMM")));

    for (const MainButtonRow& row : MainButtons)
        if (!ShownBy(row.shown, s.DebugMode, s.FactoryMode))
            button(row.button)->hide();
    fitMinimumSize();

    m_link->setRetry(s.CommRetry);
    m_link->setTimeout(s.CommTimeout);
    m_link->setVerifyChecksum(s.VerifyChecksum);
    m_link->setAutoReopen(true); // an adapter pulled out and plugged back in reconnects
    m_link->setSerialComm(false);
    OpenLink();

    if (s.ExecuteCount == 1) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect g = screen->availableGeometry();
            const int w = qMax(int(g.width() * 0.8), minimumWidth());
            const int h = qMax(int(g.height() * 0.6), minimumHeight());
            resize(w, h);
            move(g.center() - QPoint(w / 2, h / 2));
        }
    } else {
        resize(qMax(TwipsToPixels(s.WindowWidth, Qt::Horizontal), minimumWidth()),
               qMax(TwipsToPixels(s.WindowHeight, Qt::Vertical), minimumHeight()));
        if (s.WindowState == 2)
            setWindowState(Qt::WindowMaximized);
    }
    m_shownTime = QDateTime::currentDateTime();
    m_fraStatus->show();

    m_session->startCommLog();

    m_txtSuffix->setText(s.FactoryRecordSuffix);
    m_dataFilePath = PathInFolder(s.StartFolder, QStringLiteral("TQ5800.DAT"));
}

void frmMain::ResetDisplay() {
    AppState& s = appState();
    m_tmrInter->setInterval(100);
    m_tmrInter->start();
    m_lampColors = {std::pair{QColor(0, 255, 0), QColor(0, 192, 0)},
                    std::pair{QColor(160, 160, 160), QColor(128, 128, 128)},
                    std::pair{QColor(255, 255, 0), QColor(192, 192, 0)},
                    std::pair{QColor(254, 0, 0), QColor(192, 0, 0)}};
    setLamp(0, LampOn);
    for (int i = 1; i < 4; ++i)
        setLamp(i, LampOff);
    m_rtbLog->clear();
    RefreshCommands();
    for (int i = 2; i < 4; ++i) {
        m_shpStatus[i]->hide();
        m_lblStatus[i]->hide();
    }
    FillEmptyGasSlots(s.Instrument);
    if (s.AccessPassword.isEmpty())
        s.AccessPassword = LoadMessage(101) == QLatin1String("EN") ? QStringLiteral("wex")
                                                                   : QStringLiteral("Dalmo");
}

void frmMain::setLamp(int index, LampState state) {
    const auto& [fill, border] = m_lampColors[size_t(state)];
    m_shpStatus[index]->setColors(fill, border);
    static const int words[] = {5852, 5853, 5854, 5855}; // On, Off, Busy, Error
    m_shpStatus[index]->setStateText(m_lblStatus[index]->text(), LoadMessage(words[state]));
}

void frmMain::AddInfo(const QString& text, const QColor& color) {
    QTextCursor c = m_rtbLog->textCursor();
    c.movePosition(QTextCursor::End);
    QTextCharFormat f;
    f.setForeground(color);
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    c.insertText(shown + u'\n', f);
    m_rtbLog->setTextCursor(c);
    m_rtbLog->ensureCursorVisible();
}

QString frmMain::logText() const {
    return m_rtbLog->toPlainText();
}

void frmMain::RefreshCommands() {
    if (!m_link || !m_commands)
        return;
    const clsInstrument& r = appState().Instrument;
    const bool connected = m_link->Connected();
    const bool data = r.CommFlags() != 0 || r.ImportFlag() != 0;
    m_settings->setIdentityEditable(data);
    m_txtSuffix->setReadOnly(!connected);
    for (const MainButtonRow& row : MainButtons)
        if (row.enabled != EnableRule::WithFrames)
            button(row.button)
                ->setEnabled(EnabledBy(row.enabled, connected, data, m_commands->identityKnown()));
    m_settings->vfgOption()->setEnabled(connected || data);
    if (m_busy)
        setBusy(true);
}

void frmMain::SetCommandFramesEnabled(bool enabled) {
    for (QGroupBox* f : m_fraCommand)
        f->setEnabled(enabled);
    for (const MainButtonRow& row : MainButtons)
        if (row.enabled == EnableRule::WithFrames)
            button(row.button)->setEnabled(enabled);
}

void frmMain::setBusy(bool busy) {
    if (busy && !m_busy) {
        commitEdits();
        ui().setBusy(true);
    } else if (!busy && m_busy) {
        ui().setBusy(false);
    }
    const bool changed = m_busy != busy;
    m_busy = busy;
    SetCommandFramesEnabled(!busy);
    QWidget* const locked[] = {m_settings->vfgOption(),
                               m_settings->txtOption(0),
                               m_settings->txtOption(1),
                               m_settings->txtOption(2),
                               m_settings->cmbInterval(),
                               m_settings->cmbStation(),
                               m_txtSuffix};
    if (busy) {
        for (QWidget* w : locked)
            w->setEnabled(false);
    } else if (changed) {
        for (QWidget* w : locked)
            w->setEnabled(true);
        RefreshCommands();
    }
}

void frmMain::commitEdits() {
    // A refused cell edit is dropped rather than left open under a locked grid.
    FlexGrid* g = m_settings->vfgOption();
    if (g->isEditing() && !g->commitEdit())
        g->cancelEdit();
    for (int i = 0; i < 3; ++i)
        if (m_settings->txtOption(i)->hasFocus())
            m_settings->txtOption_Validate(i);
    txtSuffix_Validate();
}

QString frmMain::dumpFilePath() const {
    return PathInFolder(appState().StartFolder, QStringLiteral("DumpEF.dat"));
}

QString frmMain::checkFilePath() const {
    if (!m_checkFilePath.isEmpty())
        return m_checkFilePath;
    return PathInFolder(QCoreApplication::applicationDirPath(), QStringLiteral("TQ5800_Check.DAT"));
}

FlowOutput frmMain::flowOutput() {
    FlowOutput out;
    out.addInfo = [this](const QString& text, quint32 rgb) { AddInfo(text, QColor::fromRgb(rgb)); };
    out.setProgressLabel = [this](const QString& text) {
        if (m_upload)
            m_upload->setLabel(text);
    };
    return out;
}

void frmMain::ShowInstrument() {
    m_settings->ShowInstrument();
}

void frmMain::EnableLockedGases() {
    AppState& s = appState();
    ApplyLockedGases(s.Instrument);
    m_txtSuffix->setText(s.FactoryRecordSuffix);
    ShowInstrument();
}

void frmMain::OpenLink() {
    const PortRequest request{m_options.simulate, m_options.port, m_options.irda};
    m_session->open(request, appState().CommSettings);
}

void frmMain::FirstActivate() {
    if (!m_firstActivation)
        return;
    clsInstrument& r = appState().Instrument;
    m_link->AddLog(LoadMessage(5541, {AppDate::now().general()}));
    r.SetChangeFlags(true, false);
    r.setImportFlag(-1);
    m_link->setInstrument(&r);
    m_link->markDone();
    m_commands->StartOver();
    ShowInstrument();
    m_firstActivation = false;
}

void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    QTimer::singleShot(0, this, [this] { FirstActivate(); });
}

void frmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FirstActivate();
    QWidget::changeEvent(event);
}

void frmMain::tmrInter_Timer() {
    ++m_ticks;
    const QDateTime now = QDateTime::currentDateTime();
    const clsInstrument& r = appState().Instrument;
    if (IsTalking(m_link->Status()) && r.CommFlags() != 0) {
        if (now.toSecsSinceEpoch() != m_shownTime.toSecsSinceEpoch()) {
            m_shownTime = now;
            m_lblOption[5]->setText(AppDate::fromDateTime(now).format(ClockFormat));
            // The offset is the instrument clock minus the PC clock at the last read.
            const AppDate inst =
                AppDate::fromSerial(AppDate::fromDateTime(now).serial() + r.SysDateOffset().days());
            if (inst.isValid()) {
                m_lblOption[6]->setText(inst.format(ClockFormat));
            } else {
                m_lblOption[6]->setText(AppDate::fromDateTime(now).format(ClockFormat));
                appState().Instrument.setSysDateOffset(AppDate());
            }
        }
    } else {
        m_lblOption[5]->setText(AppDate::fromDateTime(now).format(ClockFormat));
        m_lblOption[6]->clear();
    }
}

void frmMain::txtSuffix_Validate() {
    appState().FactoryRecordSuffix = m_txtSuffix->text();
}

void frmMain::showLinkEvent(LinkEventKind kind, const QString& text) {
    switch (kind) {
    case LinkEventKind::Connected:
        AddInfo(text, QColor::fromRgb(FlowColor::Connected));
        link_OnConnect();
        break;
    case LinkEventKind::Retry:
        AddInfo(text, QColor::fromRgb(FlowColor::Progress));
        break;
    case LinkEventKind::InstrumentText:
        AddInfo(text, QColor::fromRgb(FlowColor::Instrument));
        break;
    case LinkEventKind::SeveralAdapters:
        ui().message(this, text, LoadMessage(20015), UiServices::Critical, UiServices::Ok);
        break;
    case LinkEventKind::NoAdapter:
    case LinkEventKind::AdapterRemoved:
    case LinkEventKind::LogFailed:
        AddInfo(text, QColor::fromRgb(FlowColor::Failure));
        break;
    case LinkEventKind::PortProblem:
    case LinkEventKind::PortsFailed:
        // Missing, busy or not permitted: the lamp shows the error and the log says why.
        AddInfo(text, QColor::fromRgb(FlowColor::Failure));
        setLamp(0, LampError);
        setLamp(1, LampOff);
        if (kind == LinkEventKind::PortsFailed)
            ui().message(this, text, LoadMessage(5372), UiServices::NoIcon, UiServices::Ok);
        break;
    }
}

void frmMain::link_OnConnect() {
    setLamp(0, LampOn);
    setLamp(1, LampOn);
    RefreshCommands();
    // Until now only Exit and the log pane could hold the focus: the keyboard starts at the
    // read, as the mouse would.
    QWidget* focus = focusWidget();
    if (isActiveWindow() && (!focus || focus == m_rtbLog || focus == button(MainButton::Exit)))
        button(MainButton::Read)->setFocus(Qt::OtherFocusReason);
}

void frmMain::link_Densty(float v0, float v1, float v2, float v3, float v4) {
    AppState& s = appState();
    s.LiveReadings = {v0, v1, v2, v3, v4};
    s.LiveReadingsNew = true;
    emit commandRequested(QStringLiteral("LiveReadings"));
}

void frmMain::link_DumpMessage(const QString& text) {
    if (m_upload)
        m_upload->setLabel(text);
}

void frmMain::link_OnDisconnect() {
    // An adapter pulled out is a port error, not a port that is still there.
    const PortControl* port = m_link->ActivePort();
    const bool adapterGone = port && port->lost();
    setLamp(0, adapterGone ? LampError : LampOn);
    setLamp(1, LampOff);
    RefreshCommands();
    for (int i = 2; i < 4; ++i) {
        m_shpStatus[i]->hide();
        m_lblStatus[i]->hide();
    }
}

void frmMain::showProgress(const QString& caption, const QString& label) {
    closeProgress();
    m_upload = new frmUpload(this);
    m_upload->setAttribute(Qt::WA_DeleteOnClose, false);
    m_upload->setWindowTitle(caption);
    if (!label.isEmpty())
        m_upload->setLabel(label);
    connect(m_upload, &frmUpload::cancelRequested, this, [this] {
        m_link->setCancel(true);
        m_link->AddLog(QStringLiteral("= User Cancel ="));
    });
    m_upload->show();
}

void frmMain::closeProgress() {
    if (!m_upload)
        return;
    m_upload->close();
    m_upload->deleteLater();
    m_upload = nullptr;
}

void frmMain::command_Click(MainButton which) {
    switch (which) {
    case MainButton::Read:
        m_commands->Read();
        break;
    case MainButton::ReadAndSave:
        m_commands->ReadAndSave();
        break;
    case MainButton::Download:
        m_commands->DownloadLoggerData();
        break;
    case MainButton::PowerOff:
        m_commands->PowerOff();
        break;
    case MainButton::Update:
        m_commands->Update(UpdateKind::Settings);
        break;
    case MainButton::UpdateId:
        m_commands->Update(UpdateKind::Identity);
        break;
    case MainButton::DateTimeSet:
        m_commands->DateTimeSet();
        break;
    case MainButton::Calibration:
        RunCalibrationCommand(this, *m_link,
                              [this](const QString& text, const QColor& c) { AddInfo(text, c); });
        break;
    case MainButton::Defaults:
        m_commands->Maintenance(MaintenanceCommand::Defaults);
        break;
    case MainButton::ClearPowerLog:
        m_commands->Maintenance(MaintenanceCommand::ClearPowerLog);
        break;
    case MainButton::ClearLoggerData:
        m_commands->Maintenance(MaintenanceCommand::ClearLoggerData);
        break;
    case MainButton::WriteCheckData:
        m_commands->WriteCheckData();
        break;
    case MainButton::FlashCheck:
        m_commands->FlashCheck();
        break;
    case MainButton::DetailSettings:
        showFactoryDialog();
        break;
    case MainButton::FramDump:
        m_commands->FramDump();
        break;
    case MainButton::LoadSettings:
        m_commands->ImportSetting();
        break;
    case MainButton::StoreSettings:
        m_commands->ExportSetting();
        break;
    case MainButton::Fleet:
        showFleetWindow();
        break;
    case MainButton::Exit:
        close();
        break;
    }
}

void frmMain::restartAfterPowerOff() {
    AppState& s = appState();
    QString error;
    if (!WriteConfigFile(&error))
        AddInfo(LoadMessage(5780, {error}), QColor::fromRgb(FlowColor::Failure));
    ResetDisplay();
    ReadConfigFile();
    ApplyAppFont(this);
    fitMinimumSize();
    m_txtSuffix->setText(s.FactoryRecordSuffix);
    m_firstActivation = true;
    FirstActivate();
    OpenLink();
}

void frmMain::showFactoryDialog() {
    frmFsDialog dialog(m_link, this);
    dialog.setInstrument(&appState().Instrument);
    dialog.exec();
    ShowInstrument();
}

void frmMain::showFleetWindow() {
    // One Fleet window: pressed again, it comes to the front.
    if (QWidget* open = FindForm(QStringLiteral("frmFleet"))) {
        open->raise();
        open->activateWindow();
        return;
    }
    // A window of its own, beside this one, and closed with it.
    auto* fleet = new frmFleet(FleetUrlOf(m_options), this);
    fleet->setAttribute(Qt::WA_DeleteOnClose);
    // On the instrument at hand, when the history knows it.
    fleet->selectInstrument(m_session->record()->SerialNo());
    fleet->show();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!button(MainButton::Exit)->isEnabled()) {
        event->ignore();
        return;
    }
    if (ui().ask(this, LoadMessage(5373), QStringLiteral("TQ-5800")) != UiServices::AnswerYes) {
        event->ignore();
        return;
    }
    m_tmrInter->stop();
    m_link->setTimerEnabled(false);
    AppState& s = appState();
    s.WindowState = isMaximized() ? 2 : 0;
    if (!isMaximized()) {
        const QSize twips = ClientSizeTwips(this);
        s.WindowWidth = float(twips.width());
        s.WindowHeight = float(twips.height());
    }
    QString error;
    if (!WriteConfigFile(&error))
        ui().message(this, LoadMessage(5780, {error}), windowTitle(), UiServices::Critical,
                     UiServices::Ok);
    event->accept();
}
