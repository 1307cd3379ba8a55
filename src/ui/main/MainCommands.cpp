// The write, clock and maintenance commands of the main window and the FLASH check; the
// download, power-off, dump and settings-file commands are in MainDataCommands.cpp.
#include "ui/main/MainCommands.h"

#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "model/SettingsChecks.h"
#include "model/clsInstrument.h"
#include "ops/InstrumentSession.h"
#include "ops/OperationSequences.h"
#include "ops/WriteSequences.h"
#include "state/AppState.h"
#include "ui/common/UiServices.h"
#include "ui/main/ChangedSettings.h"

#include <QFile>

MainCommands::MainCommands(QObject* parent, Host host) : QObject(parent), m_host(std::move(host)) {}

uclHbif& MainCommands::link() const {
    return *m_host.link;
}

clsInstrument& MainCommands::record() const {
    return appState().Instrument;
}

FlowOutput MainCommands::output() const {
    return m_host.output();
}

bool MainCommands::calibrationDriven() const {
    const ProgressTask task = appState().ProgressTask;
    return task == ProgressTask::SpanAdjustment || task == ProgressTask::BumpTest;
}

void MainCommands::failureBox(const QString& text) {
    ui().message(m_host.window, text, QString(), UiServices::NoIcon, UiServices::Ok);
}

void MainCommands::info(int message, quint32 rgb) {
    output().addInfo(LoadMessage(message), rgb);
}

void MainCommands::StartOver() {
    m_identityKnown = false;
    m_settingsKnown = false;
    rememberBaseline();
}

void MainCommands::rememberBaseline() {
    m_baseline = record();
}

bool MainCommands::refusedByChecks() {
    UpdateCheck check = CheckBeforeUpdate(record());
    // A red cell is a value the checks refuse, whichever way it got there.
    if (check.ok && m_host.hasRedCell()) {
        check.ok = false;
        check.message = 5361;
        check.title = 5362;
    }
    if (check.ok)
        return false;
    ui().message(m_host.window, LoadMessage(check.message, check.params), LoadMessage(check.title),
                 UiServices::Critical, UiServices::Ok);
    return true;
}

bool MainCommands::Update(UpdateKind kind) {
    const bool driven = calibrationDriven();
    clsInstrument& r = record();
    if (!driven) {
        // A cell still being edited is part of what is to be written.
        m_host.commitEdits();
        if (refusedByChecks())
            return false;
        clsInstrument marked = r;
        MarkUpdateGroups(marked, kind);
        QStringList changes = ChangedSettings(m_baseline, marked, kind);
        if (UserGasHeldBack(r, kind))
            changes << LoadMessage(5858, {r.LS_Name(0).trimmed()});
        const QString detail =
            LoadMessage(5773) + u'\n' +
            (changes.isEmpty() ? LoadMessage(5775) : changes.join(QStringLiteral("\n")));
        if (ui().askDetailed(m_host.window, LoadMessage(5309), LoadMessage(5310), detail) !=
            UiServices::AnswerYes)
            return false;
        m_host.showProgress(LoadMessage(6057), LoadMessage(6001));
    }
    m_host.setBusy(true);
    UpdateResult result;
    RunOperation(
        link(), kind == UpdateKind::Settings ? Operation::Write : Operation::WriteIdentity, [&] {
            // What the instrument held before, so that the history knows what changed.
            AttachOperationDetail(link(), QStringLiteral("settingsBefore"), m_baseline.ToJson());
            return (result = UpdateFlow(link(), r, kind, output())).written;
        });
    m_host.setBusy(false);
    if (result.written)
        rememberBaseline();
    if (!driven) {
        m_host.closeProgress();
        if (result.written && !result.recordSaved)
            ui().message(m_host.window, result.recordError, QString(), UiServices::Critical,
                         UiServices::Ok);
        if (result.written)
            ui().inform(m_host.window, LoadMessage(5311), LoadMessage(5312));
    }
    return result.written;
}

bool MainCommands::DateTimeSet() {
    return confirmedWrite(Operation::SetClock,
                          [this] { return DateTimeSetFlow(link(), record(), output()); });
}

bool MainCommands::WriteCheckData() {
    return confirmedWrite(Operation::CheckData,
                          [this] { return WriteCheckDataFlow(link(), output()); });
}

// A short write: asked, with the progress dialog and the final box, unless the calibration
// upload drives it (then none of them).
bool MainCommands::confirmedWrite(const QString& operation, const std::function<bool()>& flow) {
    const bool driven = calibrationDriven();
    if (!driven) {
        if (ui().ask(m_host.window, LoadMessage(5309), LoadMessage(5310)) != UiServices::AnswerYes)
            return false;
        m_host.showProgress(LoadMessage(6057), LoadMessage(6001));
    }
    m_host.setBusy(true);
    const bool ok = RunOperation(link(), operation, flow);
    m_host.setBusy(false);
    if (!driven) {
        m_host.closeProgress();
        if (ok)
            ui().inform(m_host.window, LoadMessage(5311), LoadMessage(5312));
        else
            ui().inform(m_host.window, LoadMessage(5772), LoadMessage(5312), UiServices::Critical);
    }
    return ok;
}

bool MainCommands::Maintenance(MaintenanceCommand command) {
    QString question, title, operation;
    switch (command) {
    case MaintenanceCommand::Defaults:
        question = LoadMessage(5374);
        title = LoadMessage(5377);
        operation = Operation::Defaults;
        break;
    case MaintenanceCommand::ClearPowerLog:
        question = QStringLiteral("Clear Power Log ?");
        title = QStringLiteral("Clear Power");
        operation = Operation::ClearPower;
        break;
    case MaintenanceCommand::ClearLoggerData:
        question = LoadMessage(5343);
        title = LoadMessage(5344);
        operation = Operation::ClearLogger;
        break;
    }
    if (ui().ask(m_host.window, question, title) != UiServices::AnswerYes)
        return false;
    m_host.setBusy(true);
    const bool ok =
        RunOperation(link(), operation, [&] { return MaintenanceFlow(link(), command, output()); });
    m_host.setBusy(false);
    return ok;
}

bool MainCommands::FlashCheck() {
    if (ui().ask(m_host.window, LoadMessage(5386), LoadMessage(5387)) != UiServices::AnswerYes)
        return false;
    m_host.setBusy(true);
    ProgressTaskScope task(ProgressTask::FlashCheck);
    m_host.showProgress(LoadMessage(6057), QString());
    SessionOperation operation(link(), Operation::FlashCheck);
    const auto finish = [this, &operation](bool ok) {
        m_host.closeProgress();
        m_host.setBusy(false);
        return operation.finish(ok);
    };
    const auto progress = [this](int message) { info(message, FlowColor::Progress); };
    OperationSequences ops(link());
    const auto clearBoth = [&] {
        if (!ops.BodyDataClear()) {
            failureBox(QStringLiteral("Clear log data failed"));
            return false;
        }
        progress(5434);
        if (!ops.PowerDataClear()) {
            failureBox(QStringLiteral("Clear power log failed"));
            return false;
        }
        progress(5471);
        return true;
    };
    if (!clearBoth())
        return finish(false);
    if (!WriteSequences(link()).SetCheckData()) {
        failureBox(QStringLiteral("Write check data failed"));
        return finish(false);
    }
    progress(5473);

    m_host.setProgressCaption(LoadMessage(6056));
    const bool downloaded = downloadInto(m_host.dataFilePath());
    m_host.setProgressCaption(LoadMessage(6057));
    if (!clearBoth())
        return finish(false);
    m_host.closeProgress();

    // An image that did not arrive whole is no proof: only a complete download is compared,
    // and nothing compared is no verdict.
    QString error;
    const QString reference = m_host.checkFilePath();
    const qint64 differing =
        downloaded ? CompareDataFiles(reference, m_host.dataFilePath(), &error) : -1;
    if (differing < 0) {
        if (!error.isEmpty())
            output().addInfo(LoadMessage(5778, {reference, error}), FlowColor::Failure);
        info(9434, FlowColor::Failure);
        return finish(false);
    }
    const bool same = differing == 0;
    output().addInfo(LoadMessage(5388, {same ? QStringLiteral("OK") : QStringLiteral("NG")}),
                     same ? FlowColor::Progress : FlowColor::Failure);
    return finish(same);
}

qint64 MainCommands::CompareDataFiles(const QString& reference, const QString& image,
                                      QString* error) {
    constexpr int Chunks = 512;
    constexpr int ChunkSize = 1024;
    QFile a(reference);
    QFile b(image);
    for (QFile* f : {&a, &b}) {
        if (!f->open(QIODevice::ReadOnly)) {
            if (error)
                *error = f->errorString();
            return -1;
        }
    }
    qint64 differing = 0;
    for (int chunk = 0; chunk < Chunks; ++chunk) {
        const QByteArray x = a.read(ChunkSize);
        const QByteArray y = b.read(ChunkSize);
        if (x.size() != ChunkSize || y.size() != ChunkSize) {
            if (error)
                *error = LoadMessage(5784, {x.size() != ChunkSize ? reference : image});
            return -1;
        }
        for (int i = 0; i < ChunkSize; ++i)
            differing += x.at(i) != y.at(i) ? 1 : 0;
    }
    return differing;
}
