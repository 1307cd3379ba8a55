// The download, power-off, FRAM dump and settings-file commands of the main window.
#include "ui/main/MainCommands.h"

#include "app/AppState.h"
#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "model/SettingsFile.h"
#include "model/clsInstrument.h"
#include "ui/common/UiServices.h"
#include "ui/common/frmUpload.h"
#include "ui/main/frmMain.h"

#include <QDir>
#include <QPushButton>

namespace {

const QString SettingsFilter = QStringLiteral("All files (*.*)|*.*|Config Data (*.seq)|*.seq|");
constexpr int SettingsFilterIndex = 1; // "Config Data"

class TaskScope {
public:
    explicit TaskScope(int task) { appState().ProgressTask = task; }
    ~TaskScope() { appState().ProgressTask = 0; }
    TaskScope(const TaskScope&) = delete;
    TaskScope& operator=(const TaskScope&) = delete;
};

} // namespace

bool MainCommands::downloadInto(const QString& path) {
    return DownloadLoggerDataFlow(link(), record(), path, output());
}

bool MainCommands::DownloadLoggerData() {
    TaskScope task(1);
    m_w.showProgress(LoadMessage(6056));
    m_w.setBusy(true);
    const bool ok = downloadInto(m_w.dataFilePath());
    m_w.closeProgress();
    m_w.setBusy(false);
    return ok;
}

bool MainCommands::PowerOff() {
    if (ui().ask(&m_w, LoadMessage(5347), LoadMessage(5348)) != UiServices::AnswerYes)
        return false;
    m_w.setBusy(true);
    const PowerOffResult result = PowerOffFlow(link(), record(), output());
    if (result == PowerOffResult::Done) {
        m_w.m_identityKnown = false;
        m_w.m_settingsKnown = false;
        m_w.restartAfterPowerOff();
    }
    m_w.setBusy(false);
    return result == PowerOffResult::Done;
}

bool MainCommands::FramDump() {
    if (link().RunDensty() || calibrationDriven()) {
        ui().inform(&m_w, LoadMessage(5367), LoadMessage(5368));
        return false;
    }
    if (ui().ask(&m_w, LoadMessage(5379), LoadMessage(5378)) != UiServices::AnswerYes)
        return false;
    TaskScope task(1);
    m_w.showProgress(LoadMessage(6019), LoadMessage(5445));
    m_w.setBusy(true);
    const bool ok = FramDumpFlow(link(), m_w.dumpFilePath(), output());
    m_w.closeProgress();
    m_w.setBusy(false);
    return ok;
}

bool MainCommands::ExportSetting() {
    // Program defaults, or a read that broke off, would pass for an instrument's settings.
    if (!m_w.m_settingsKnown) {
        ui().message(&m_w, LoadMessage(9415), m_w.windowTitle(), UiServices::Critical,
                     UiServices::Ok);
        return false;
    }
    const QString path =
        ui().saveFileName(&m_w, LoadMessage(5229), QString(), FiltersFromPipeList(SettingsFilter),
                          SettingsFilterIndex);
    if (path.isEmpty())
        return false;
    m_w.commitEdits();
    // A value the file cannot carry whole is refused with what it is, never cut.
    const QStringList problems = SettingsFileProblems(record());
    if (!problems.isEmpty()) {
        ui().message(&m_w, LoadMessage(5777, {problems.join(QStringLiteral("\n"))}),
                     m_w.windowTitle(), UiServices::Critical, UiServices::Ok);
        return false;
    }
    QString error;
    if (!WriteSettingsFile(record(), path, &error)) {
        ui().message(&m_w, LoadMessage(9416, {QDir::toNativeSeparators(path), error}),
                     m_w.windowTitle(), UiServices::Critical, UiServices::Ok);
        return false;
    }
    return true;
}

bool MainCommands::ImportSetting() {
    const QString path = ui().openFileName(
        &m_w, LoadMessage(5228), FiltersFromPipeList(SettingsFilter), SettingsFilterIndex);
    if (path.isEmpty())
        return false;
    m_w.setBusy(true);
    clsInstrument& r = record();
    const SettingsReadResult result = ImportSettingsFile(r, path);
    if (!result.ok) {
        // Nothing of the file was taken; one message says where and why it was refused.
        m_w.setBusy(false);
        ui().message(&m_w, SettingsRefusalText(result), m_w.windowTitle(), UiServices::Critical,
                     UiServices::Ok);
        return false;
    }
    // The few lines that are no settings, each as the program always said it.
    for (qsizetype i = 0; i < result.unknown.size(); ++i)
        ui().message(&m_w, QStringLiteral("unknown"), QString(), UiServices::NoIcon,
                     UiServices::Ok);
    m_w.m_identityKnown = true;
    m_w.m_settingsKnown = true;
    link().setInstrument(&r);
    link().markDone();
    m_w.EnableLockedGases();
    m_w.setBusy(false);
    return true;
}
