// The read and download flows; the write and maintenance flows are in CommandFlows.cpp.
#include "ops/InstrumentFlows.h"

#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "link/uclHbif.h"
#include "model/CommandSet.h"
#include "model/GasDefaults.h"
#include "model/clsInstrument.h"
#include "ops/DumpSequences.h"
#include "ops/ReadSequences.h"
#include "state/AppState.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <cmath>

namespace {

QString nowText() {
    return AppDate::now().general();
}

void info(const FlowOutput& out, int message, quint32 rgb, const QStringList& params = {}) {
    if (out.addInfo)
        out.addInfo(LoadMessage(message, params), rgb);
}

} // namespace

bool ReadInstrumentFlow(uclHbif& link, clsInstrument& record, const FlowOutput& out,
                        const std::function<void()>& enableLockedGases) {
    if (!link.Connected()) {
        info(out, 5417, FlowColor::Failure);
        link.AddLog(LoadMessage(5522, {nowText()}));
        return false;
    }
    info(out, 5414, FlowColor::Progress);
    link.AddLog(LoadMessage(5517, {nowText()}));
    const QDateTime start = QDateTime::currentDateTime();
    const auto elapsed = [&start] {
        return FormatElapsed(start.secsTo(QDateTime::currentDateTime()));
    };

    ReadSequences reads(link);
    bool historyLost = false;
    if (reads.GetInstrument(&record)) {
        record.setCommFlags(-1);
        record.setImportFlag(0);
        if (enableLockedGases)
            enableLockedGases();
        if (reads.GetLatestHistory(&record)) {
            ListAnalogValues(record, out);
            info(out, 5415, FlowColor::Progress);
            link.AddLog(LoadMessage(5519, {nowText(), elapsed()}));
            return true;
        }
        // The history the record holds is an earlier read's: it must not pass for this one's.
        ForgetCalibrationHistory(record);
        historyLost = true;
    }
    if (link.WasCancelled()) {
        info(out, 5462, FlowColor::Failure);
        link.AddLog(LoadMessage(5589, {nowText()}));
        return false;
    }
    info(out, 5416, FlowColor::Failure);
    link.AddLog(LoadMessage(5520));
    if (historyLost) {
        info(out, 9414, FlowColor::Failure);
        link.AddLog(LoadMessage(9414));
    }
    if (record.FailLine() == QLatin1String(KeyText(Key::ClockRead)))
        info(out, 5590, FlowColor::Failure);
    link.AddLog(LoadMessage(5521, {nowText(), elapsed()}));
    return false;
}

void ForgetCalibrationHistory(clsInstrument& record) {
    for (int gas = 0; gas < clsInstrument::GasCount; ++gas) {
        record.setCalibDate(gas, AppDate(-101.0));
        record.setCalibBefore(gas, -101.0f);
        record.setCalibAfter(gas, -101.0f);
    }
}

void ListAnalogValues(const clsInstrument& record, const FlowOutput& out) {
    if (!out.addInfo)
        return;
    static const char* const labels[] = {"ch0 -         ", "ch1 PRES.     ", "ch2 O2 AMP    ",
                                         "ch3 TEMP LEL  ", "ch4 RI LEL    ", "ch5 TEMP VOL  ",
                                         "ch6 BATT.     ", "ch7 RI VOL    "};
    out.addInfo(QStringLiteral("TQ-5800 Analog to Digital Converter Values List"),
                FlowColor::Analog);
    out.addInfo(QLatin1String(labels[0]), FlowColor::Analog);
    for (int ch = 1; ch <= 7; ++ch) {
        const double volts = record.AnalogValue(ch) / 1000.0;
        out.addInfo(QLatin1String(labels[ch]) + QStringLiteral("\t: ") +
                        FormatNumber(volts, QStringLiteral("0.000V")),
                    FlowColor::Analog);
    }
}

void WarnClockOffset(const clsInstrument& record, const FlowOutput& out) {
    if (std::abs(record.SysDateOffset().days()) > 1.0)
        info(out, 5591, FlowColor::Failure);
}

void FillEmptyGasSlots(clsInstrument& r) {
    // Gas code 0 of the built-in table: the detector's usual sensors in their usual slots.
    const GasDefaultTable& defaults = BuiltInGasDefaults();
    AppState& s = appState();
    for (int i = 0; i < clsInstrument::GasCount; ++i) {
        if (r.GasFullScale(i) > 0)
            continue;
        const GasDefaultEntry& g = defaults.at(0, i);
        r.setGasName(i, g.Name);
        r.setGasUnit(i, g.Unit);
        r.setGasPoint(i, g.Point);
        r.setWarning(i, g.Warning);
        r.setAlarm(i, g.Alarm);
        r.setStel(i, g.STEL);
        r.setTwa(i, g.TWA);
        r.setGasDesit(i, g.Digit);
        r.setGasFullScale(i, g.FullScale);
        r.setAutoCalib(i, g.AutoCal);
        r.setGasEnabled(i, true);
        s.GasLocked[std::size_t(i)] = false;
    }
}

void ApplyLockedGases(clsInstrument& record) {
    const AppState& s = appState();
    for (int gas = 0; gas < 4; ++gas) {
        if (!record.GasEnabled(gas) && s.GasLocked[std::size_t(gas)])
            record.setGasEnabled(gas, true);
    }
}

bool DownloadLoggerDataFlow(uclHbif& link, clsInstrument& record, const QString& path,
                            const FlowOutput& out) {
    if (!link.Connected()) {
        info(out, 5422, FlowColor::Failure);
        link.AddLog(LoadMessage(5528, {nowText()}));
        return false;
    }
    info(out, 5465, FlowColor::Progress);
    link.AddLog(LoadMessage(5523, {nowText()}));
    const QDateTime start = QDateTime::currentDateTime();
    const auto elapsed = [&start] {
        return FormatElapsed(start.secsTo(QDateTime::currentDateTime()));
    };
    // Every way out names its cause, on the pane and in the log's closing line.
    const auto failed = [&](int headline, const QStringList& why) {
        info(out, headline, FlowColor::Failure);
        for (const QString& line : why)
            if (out.addInfo)
                out.addInfo(line, FlowColor::Failure);
        link.AddLog(LoadMessage(9428, {nowText(), elapsed(), why.join(u' ')}));
        return false;
    };

    ReadSequences reads(link);
    DumpSequences dumps(link);
    QString ownPartial;   // kept by this run's first try
    QStringList firstTry; // and what happened to it
    for (bool retried = false;; retried = true) {
        if (!reads.GetRomNo(&record)) {
            QStringList why = firstTry.mid(0, 1);
            why << LoadMessage(link.WasCancelled() ? 9421 : 9433);
            return failed(5469, why + firstTry.mid(1));
        }
        if (dumps.GetBinDump(path, 0, DumpSequences::MemoryBlocks - 1)) {
            // What the broken try kept is superseded by the whole image.
            if (!ownPartial.isEmpty())
                QFile::remove(ownPartial);
            // The operator sees that the download ended, and where the data went.
            info(out, 5787, FlowColor::Progress, {QDir::toNativeSeparators(path)});
            return true;
        }
        const DumpSequences::Outcome& o = dumps.LastOutcome();
        const QStringList why = DumpSequences::Describe(o, path);
        // Only a block that timed out is tried again, and only once.
        if (o.end == DumpSequences::Outcome::End::Cancelled)
            return failed(5462, why.mid(1));
        if (o.end != DumpSequences::Outcome::End::NoReply || retried)
            return failed(5469, why);
        ownPartial = o.partialPath;
        firstTry = why;
        if (out.setProgressLabel)
            out.setProgressLabel(QStringLiteral("One more time !"));
        // Late bytes of the broken block arrive while the link rests and are thrown away.
        link.waitTicks(link.Timings().RetryQuietTicks);
    }
}
