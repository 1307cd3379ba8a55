// The read, download, power-off, FRAM dump and settings-file commands of the main window.
#include "ui/main/MainCommands.h"

#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "model/SettingRecord.h"
#include "model/SettingsFile.h"
#include "model/clsInstrument.h"
#include "ops/InstrumentSession.h"
#include "state/AppState.h"
#include "state/RecordFiles.h"
#include "ui/common/UiServices.h"

#include <QDir>
#include <QLineEdit>

namespace {

const QString SettingsFilter = QStringLiteral("All files (*.*)|*.*|Config Data (*.seq)|*.seq|");
constexpr int SettingsFilterIndex = 1; // "Config Data"

} // namespace

bool MainCommands::ReadInstrument() {
    BusyPointer busy;
    clsInstrument& r = record();
    const bool ok = RunOperation(link(), Operation::Read, [&] {
        return ReadInstrumentFlow(link(), r, output(), m_host.enableLockedGases);
    });
    // A failed read leaves the record part-read: its settings are no instrument's whole.
    m_settingsKnown = ok;
    if (ok) {
        m_identityKnown = true;
        rememberBaseline();
    } else {
        // What the grid shows must be what the record holds, part-read or not.
        m_host.showInstrument();
    }
    return ok;
}

bool MainCommands::Read() {
    return read(false);
}

bool MainCommands::ReadAndSave() {
    return read(true);
}

bool MainCommands::read(bool save) {
    QLineEdit* suffix = m_host.suffix;
    if (save && !IsValidRecordSuffix(suffix->text())) {
        ui().message(m_host.window, LoadMessage(5382), m_host.window->windowTitle(),
                     UiServices::Critical, UiServices::Ok);
        suffix->setFocus();
        return false;
    }
    clsInstrument& r = record();
    m_host.showProgress(LoadMessage(6056), QString());
    m_host.setBusy(true);
    const bool ok = ReadInstrument();
    if (ok) {
        m_host.refreshCommands();
        if (save) {
            appState().FactoryRecordSuffix = suffix->text();
            QString error;
            if (!AppendSettingRecord(r, SettingRecordMode::Read, &error))
                ui().message(m_host.window, error, m_host.window->windowTitle(),
                             UiServices::Critical, UiServices::Ok);
        }
    }
    m_host.closeProgress();
    m_host.setBusy(false);
    WarnClockOffset(r, output());
    return ok;
}

bool MainCommands::downloadInto(const QString& path) {
    return DownloadLoggerDataFlow(link(), record(), path, output());
}

bool MainCommands::DownloadLoggerData() {
    bool ok = false;
    {
        ProgressTaskScope task(ProgressTask::Download);
        m_host.showProgress(LoadMessage(6056), QString());
        m_host.setBusy(true);
        ok = RunOperation(link(), Operation::Download,
                          [this] { return downloadInto(m_host.dataFilePath()); });
        m_host.closeProgress();
        m_host.setBusy(false);
    }
    WarnClockOffset(record(), output());
    return ok;
}

bool MainCommands::PowerOff() {
    if (ui().ask(m_host.window, LoadMessage(5347), LoadMessage(5348)) != UiServices::AnswerYes)
        return false;
    m_host.setBusy(true);
    PowerOffResult result = PowerOffResult::Failed;
    RunOperation(link(), Operation::PowerOff, [&] {
        result = PowerOffFlow(link(), record(), output());
        return result == PowerOffResult::Done;
    });
    if (result == PowerOffResult::Done) {
        StartOver();
        m_host.restartAfterPowerOff();
    }
    m_host.setBusy(false);
    return result == PowerOffResult::Done;
}

bool MainCommands::FramDump() {
    if (link().RunDensty() || calibrationDriven()) {
        ui().inform(m_host.window, LoadMessage(5367), LoadMessage(5368));
        return false;
    }
    if (ui().ask(m_host.window, LoadMessage(5379), LoadMessage(5378)) != UiServices::AnswerYes)
        return false;
    ProgressTaskScope task(ProgressTask::Download);
    m_host.showProgress(LoadMessage(6019), LoadMessage(5445));
    m_host.setBusy(true);
    const bool ok = RunOperation(link(), Operation::FramDump, [this] {
        return FramDumpFlow(link(), m_host.dumpFilePath(), output());
    });
    m_host.closeProgress();
    m_host.setBusy(false);
    return ok;
}

bool MainCommands::ExportSetting() {
    // Program defaults, or a read that broke off, would pass for an instrument's settings.
    if (!m_settingsKnown) {
        ui().message(m_host.window, LoadMessage(9415), m_host.window->windowTitle(),
                     UiServices::Critical, UiServices::Ok);
        return false;
    }
    const QString path =
        ui().saveFileName(m_host.window, LoadMessage(5229), QString(),
                          FiltersFromPipeList(SettingsFilter), SettingsFilterIndex);
    if (path.isEmpty())
        return false;
    m_host.commitEdits();
    // A value the file cannot carry whole is refused with what it is, never cut.
    const QStringList problems = SettingsFileProblems(record());
    if (!problems.isEmpty()) {
        ui().message(m_host.window, LoadMessage(5777, {problems.join(QStringLiteral("\n"))}),
                     m_host.window->windowTitle(), UiServices::Critical, UiServices::Ok);
        return false;
    }
    QString error;
    const bool stored = RunOperation(link(), Operation::SettingsStore, [&] {
        const bool ok = WriteSettingsFile(record(), path, &error);
        AttachFile(link(), path);
        return ok;
    });
    if (!stored) {
        ui().message(m_host.window, LoadMessage(9416, {QDir::toNativeSeparators(path), error}),
                     m_host.window->windowTitle(), UiServices::Critical, UiServices::Ok);
        return false;
    }
    return true;
}

bool MainCommands::ImportSetting() {
    const QString path = ui().openFileName(
        m_host.window, LoadMessage(5228), FiltersFromPipeList(SettingsFilter), SettingsFilterIndex);
    if (path.isEmpty())
        return false;
    m_host.setBusy(true);
    clsInstrument& r = record();
    SettingsReadResult result;
    RunOperation(link(), Operation::SettingsLoad, [&] {
        result = ImportSettingsFile(r, path);
        AttachFile(link(), path);
        return result.ok;
    });
    if (!result.ok) {
        // Nothing of the file was taken; one message says where and why it was refused.
        m_host.setBusy(false);
        ui().message(m_host.window, SettingsRefusalText(result), m_host.window->windowTitle(),
                     UiServices::Critical, UiServices::Ok);
        return false;
    }
    // The few lines that are no settings, each as the program always said it.
    for (qsizetype i = 0; i < result.unknown.size(); ++i)
        ui().message(m_host.window, QStringLiteral("unknown"), QString(), UiServices::NoIcon,
                     UiServices::Ok);
    m_identityKnown = true;
    m_settingsKnown = true;
    link().setInstrument(&r);
    link().markDone();
    m_host.enableLockedGases();
    m_host.setBusy(false);
    return true;
}
