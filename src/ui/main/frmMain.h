#pragma once

#include "ops/InstrumentFlows.h"
#include "ui/main/MainButtons.h"
#include "ui/shell/StartupOptions.h"

#include <QColor>
#include <QDateTime>
#include <QWidget>
#include <array>
#include <map>

class FleetRecorder;
class FlexGrid;
class InstrumentSession;
class MainCommands;
class SimInstrument;
class PortControl;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;
class SettingsGrid;
class StatusLamp;
class frmUpload;
class uclHbif;
enum class LinkEventKind;

// The operator's main window: link lamps, the coloured log pane, both clocks, the settings
// grid and every command, enabled by whether an instrument is connected and whether the
// record holds data.
class frmMain : public QWidget {
    Q_OBJECT

public:
    enum LampState { LampOn, LampOff, LampBusy, LampError };

    explicit frmMain(const StartupOptions& options, QWidget* parent = nullptr);
    ~frmMain() override;

    uclHbif* link() const { return m_link; }
    InstrumentSession* session() const { return m_session; }
    SettingsGrid* settings() const { return m_settings; }
    MainCommands* commands() const { return m_commands; }
    FleetRecorder* fleetRecorder() const { return m_recorder; }

    void AddInfo(const QString& text, const QColor& color);
    QString logText() const;
    void RefreshCommands();
    void ShowInstrument();
    void ResetDisplay();
    void OpenLink();
    void SetCommandFramesEnabled(bool enabled);
    // A command runs: besides the command frames, the grid, identity fields, both combos and
    // the suffix are locked (an open cell edit is committed first), and the pointer is busy.
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    // Takes an edit still open in the grid or an identity field into the record.
    void commitEdits();
    void EnableLockedGases();

    QPushButton* button(MainButton which) const { return m_buttons.at(std::size_t(which)); }
    QLineEdit* txtSuffix() const { return m_txtSuffix; }
    QLabel* lblOption(int index) const { return m_lblOption.at(index); }
    QLabel* lblStatus(int index) const { return m_lblStatus.at(index); }
    StatusLamp* shpStatus(int index) const { return m_shpStatus.at(index); }
    FlexGrid* vfgOption() const;
    frmUpload* progressDialog() const { return m_upload; }
    QString dataFilePath() const { return m_dataFilePath; }
    QString dumpFilePath() const;
    // The reference image of the FLASH check; beside the program unless set.
    QString checkFilePath() const;
    void setCheckFilePath(const QString& path) { m_checkFilePath = path; }

    // Runs the first-activation steps now (the window runs them when it is first activated).
    void FirstActivate();

public slots:
    // The session's link events as coloured lines of the log pane, lamps and message boxes.
    void showLinkEvent(LinkEventKind kind, const QString& text);
    void link_OnConnect();
    void link_Densty(float v0, float v1, float v2, float v3, float v4);
    void link_DumpMessage(const QString& text);
    void link_OnDisconnect();
    // Every button lands here, and is only routed: the commands are MainCommands'.
    void command_Click(MainButton which);
    void tmrInter_Timer();
    void txtSuffix_Validate();

signals:
    // A command a later part of the program provides was pressed.
    void commandRequested(const QString& name);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void buildLayout();
    // With the simulated instrument: context-menu entries that pull and plug back its cable
    // and its adapter, for demonstrations and training.
    void installSimulatorActions();
    void setCaptions();
    void fitMinimumSize();
    void buildCommands();
    // "Detail Settings": the factory dialog on the shared record, then the record redrawn.
    void showFactoryDialog();
    // The "Fleet" window beside this one: the main window goes on working.
    void showFleetWindow();
    void loadWindow();
    void setLamp(int index, LampState state);
    void showProgress(const QString& caption, const QString& label = QString());
    void closeProgress();
    FlowOutput flowOutput();
    // After a power off: save and reread the configuration, redraw, run the first activation
    // again and reopen the link.
    void restartAfterPowerOff();

    StartupOptions m_options;
    InstrumentSession* m_session = nullptr;
    uclHbif* m_link = nullptr; // the session's
    SettingsGrid* m_settings = nullptr;
    MainCommands* m_commands = nullptr;
    FleetRecorder* m_recorder = nullptr;
    SimInstrument* m_simInstrument = nullptr;
    bool m_busy = false;
    QString m_checkFilePath;
    QTextEdit* m_rtbLog = nullptr;
    QLabel* m_lblTitle = nullptr;
    std::array<QLabel*, 8> m_lblOption{};
    std::map<int, QLabel*> m_lblInstMap;
    QGroupBox* m_fraStatus = nullptr;
    QGroupBox* m_fraTransStatus = nullptr;
    std::array<QGroupBox*, CommandFrameCaptions.size()> m_fraCommand{}; // by CommandFrame
    std::array<StatusLamp*, 4> m_shpStatus{};
    std::array<QLabel*, 4> m_lblStatus{};
    std::array<QPushButton*, MainButtonCount> m_buttons{};
    QLineEdit* m_txtSuffix = nullptr;
    QLabel* m_lblSuffix = nullptr;
    QTimer* m_tmrInter = nullptr;
    QAction* m_actSimCable = nullptr;
    QAction* m_actSimAdapter = nullptr;
    frmUpload* m_upload = nullptr;
    std::array<std::pair<QColor, QColor>, 4> m_lampColors;
    QDateTime m_shownTime;
    qint64 m_ticks = 0;
    bool m_firstActivation = true;
    bool m_closing = false;
    QString m_dataFilePath;
};
