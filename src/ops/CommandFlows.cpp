// The write, clock, maintenance, power-off and FRAM dump flows of InstrumentFlows.h.
#include "ops/InstrumentFlows.h"

#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "model/SettingRecord.h"
#include "model/clsInstrument.h"
#include "ops/DumpSequences.h"
#include "ops/InstrumentSession.h"
#include "ops/OperationSequences.h"
#include "ops/WriteSequences.h"
#include "state/RecordFiles.h"

#include <QDateTime>

namespace {

QString nowText() {
    return AppDate::now().general();
}

void info(const FlowOutput& out, int message, quint32 rgb, const QStringList& params = {}) {
    if (out.addInfo)
        out.addInfo(LoadMessage(message, params), rgb);
}

// The start line every upload shares.
void uploadStarted(uclHbif& link, const FlowOutput& out) {
    link.AddLog(LoadMessage(5535, {nowText()}));
    info(out, 5428, FlowColor::Progress);
}

// The closing line of an upload: "Complete" only when it was.
void uploadEnded(const FlowOutput& out, bool ok) {
    if (ok)
        info(out, 5429, FlowColor::Progress);
    else
        info(out, 5771, FlowColor::Failure);
}

} // namespace

namespace {

bool userGasInUse(const clsInstrument& r) {
    return r.GasName(0).trimmed() == r.LS_Name(0).trimmed() ||
           r.GasName(4).trimmed() == r.LS_Name(1).trimmed();
}

} // namespace

void MarkUpdateGroups(clsInstrument& r, UpdateKind kind) {
    if (kind == UpdateKind::Identity) {
        r.SetChangeFlags(false, true);
        return;
    }
    const bool userGasChanged = r.Change_LSData(0) || r.Change_LSData(1);
    r.SetChangeFlags(true, false);
    // The user gas tables go only when they changed and a combustible slot uses one of them.
    const bool inUse = userGasInUse(r);
    r.setChange_LSData(0, userGasChanged && inUse);
    r.setChange_LSData(1, userGasChanged && inUse);
}

bool UserGasHeldBack(const clsInstrument& r, UpdateKind kind) {
    return kind == UpdateKind::Settings && (r.Change_LSData(0) || r.Change_LSData(1)) &&
           !userGasInUse(r);
}

UpdateResult UpdateFlow(uclHbif& link, clsInstrument& record, UpdateKind kind,
                        const FlowOutput& out) {
    // User gas edits that this write does not carry keep their flags, so that they are not
    // lost: a later update writes them once a slot uses the gas.
    const bool userGas[] = {record.Change_LSData(0), record.Change_LSData(1)};
    if (UserGasHeldBack(record, kind))
        info(out, 5858, FlowColor::Failure, {record.LS_Name(0).trimmed()});
    MarkUpdateGroups(record, kind);
    uploadStarted(link, out);
    UpdateResult result;
    WriteSequences writes(link);
    result.written = writes.SetInstrument(&record);
    for (int e = 0; e < 2; ++e)
        if (userGas[e] && (kind == UpdateKind::Identity || !userGasInUse(record)))
            record.setChange_LSData(e, true);
    if (!result.written && !writes.Confirmed().isEmpty()) {
        // A write that broke off has changed the instrument all the same: say how far.
        const QString done = writes.Confirmed().join(QStringLiteral(", "));
        info(out, 9417, FlowColor::Failure, {done});
        link.AddLog(LoadMessage(9417, {done}));
    }
    if (result.written) {
        const SettingRecordMode mode =
            kind == UpdateKind::Identity ? SettingRecordMode::WriteID : SettingRecordMode::Write;
        result.recordSaved = AppendSettingRecord(record, mode, &result.recordError);
    }
    uploadEnded(out, result.written);
    return result;
}

bool DateTimeSetFlow(uclHbif& link, clsInstrument& record, const FlowOutput& out,
                     const AppDate& when) {
    record.setSysDateOffset(AppDate());
    uploadStarted(link, out);
    const bool ok = WriteSequences(link).SetDateTime(when);
    uploadEnded(out, ok);
    return ok;
}

bool WriteCheckDataFlow(uclHbif& link, const FlowOutput& out) {
    uploadStarted(link, out);
    const bool ok = WriteSequences(link).SetCheckData();
    uploadEnded(out, ok);
    return ok;
}

bool MaintenanceFlow(uclHbif& link, MaintenanceCommand command, const FlowOutput& out) {
    struct Lines {
        int start, success, failure;
    };
    Lines lines{};
    switch (command) {
    case MaintenanceCommand::Defaults:
        lines = {5466, 5467, 5468};
        break;
    case MaintenanceCommand::ClearPowerLog:
        lines = {5470, 5471, 5472};
        break;
    case MaintenanceCommand::ClearLoggerData:
        lines = {5433, 5434, 5435};
        break;
    }
    if (!link.Connected()) {
        info(out, 5436, FlowColor::Failure);
        link.AddLog(LoadMessage(5559));
        return false;
    }
    info(out, lines.start, FlowColor::Progress);
    OperationSequences ops(link);
    bool ok = false;
    switch (command) {
    case MaintenanceCommand::Defaults:
        ok = ops.DefaultInstrument();
        break;
    case MaintenanceCommand::ClearPowerLog:
        ok = ops.PowerDataClear();
        break;
    case MaintenanceCommand::ClearLoggerData:
        ok = ops.BodyDataClear();
        break;
    }
    if (ok)
        info(out, lines.success, FlowColor::Progress);
    else
        info(out, lines.failure, FlowColor::Failure);
    return ok;
}

PowerOffResult PowerOffFlow(uclHbif& link, clsInstrument& record, const FlowOutput& out) {
    if (!link.Connected()) {
        info(out, 5409, FlowColor::Failure);
        return PowerOffResult::NotConnected;
    }
    info(out, 5406, FlowColor::Progress);
    if (OperationSequences(link).BodyPowerOff()) {
        info(out, 5407, FlowColor::Progress);
        record.setCommFlags(0);
        record.setImportFlag(0);
        record.ClearDatas();
        return PowerOffResult::Done;
    }
    info(out, 5408, FlowColor::Failure);
    return PowerOffResult::Failed;
}

bool FramDumpFlow(uclHbif& link, const QString& path, const FlowOutput& out) {
    info(out, 5463, FlowColor::Dump, {QString()});
    const QDateTime start = QDateTime::currentDateTime();
    link.AddLog(LoadMessage(5569, {nowText()}));
    DumpSequences dumps(link);
    const bool ok = dumps.GetRomDump2(path);
    const QString elapsed = FormatElapsed(start.secsTo(QDateTime::currentDateTime()));
    if (ok) {
        AttachFile(link, path);
        link.AddLog(LoadMessage(5570, {nowText(), elapsed}));
        info(out, 5464, FlowColor::Dump, {QString()});
        return true;
    }
    // A listing that did not complete is not announced as finished, in the log or the pane.
    const QStringList why = DumpSequences::Describe(dumps.LastOutcome(), path);
    link.AddLog(LoadMessage(9429, {nowText(), elapsed, why.join(u' ')}));
    info(out, 9435, FlowColor::Failure, {QString()});
    for (const QString& line : why)
        if (out.addInfo)
            out.addInfo(line, FlowColor::Failure);
    return false;
}
