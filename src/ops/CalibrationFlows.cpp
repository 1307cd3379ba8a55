#include "ops/CalibrationFlows.h"

#include "app/AppDate.h"
#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "model/CalibrationLog.h"
#include "model/CommandSet.h"
#include "model/clsInstrument.h"
#include "ops/InstrumentSession.h"
#include "ops/OperationSequences.h"
#include "ops/ReadSequences.h"
#include "ops/WriteSequences.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <cmath>
#include <memory>

namespace {

void info(const FlowOutput& out, int message, quint32 rgb, const QStringList& params = {}) {
    if (out.addInfo)
        out.addInfo(LoadMessage(message, params), rgb);
}

// The range mode the nitrogen calibration works in.
constexpr qint16 NitrogenRangeMode = 2;
// The bump test reads the live readings this often, as the live-reading poll does.
constexpr double BumpPollSeconds = 1.0;

void adjustmentFailed(uclHbif& link, const FlowOutput& out) {
    info(out, 5413, FlowColor::Failure);
    link.AddLog(LoadMessage(5516, {AppDate::now().general()}));
}

// The history the span left, read into a record of its own so that nothing older can pass
// for it; what came is copied into the main record as the history read always was.
bool readHistoryAfterSpan(uclHbif& link, clsInstrument& main, SpanFacts& facts) {
    clsInstrument history;
    for (int i = 0; i < Calibration::Channels; ++i) {
        history.setCalibBefore(i, UnknownReading);
        history.setCalibAfter(i, UnknownReading);
    }
    if (!ReadSequences(link).ReadSingle(CommandPayload(Key::History), &history)) {
        link.release();
        return false;
    }
    for (int i = 0; i < Calibration::Channels; ++i) {
        facts.historyBefore[i] = history.CalibBefore(i);
        facts.historyAfter[i] = history.CalibAfter(i);
        if (IsUnknown(history.CalibBefore(i)))
            continue; // the instrument sent no entry for this channel
        main.setCalibDate(i, history.CalibDate(i));
        main.setCalibBefore(i, history.CalibBefore(i));
        main.setCalibAfter(i, history.CalibAfter(i));
    }
    return true;
}

void logRecordFailure(const QString& error, const FlowOutput& out) {
    if (!error.isEmpty())
        info(out, 5724, FlowColor::Failure, {error});
}

QString bumpResultName(BumpResult result) {
    switch (result) {
    case BumpResult::Passed:
        return QStringLiteral("passed");
    case BumpResult::Failed:
        return QStringLiteral("failed");
    case BumpResult::Unconfirmed:
        return QStringLiteral("unconfirmed");
    case BumpResult::NotTested:
        break;
    }
    return QStringLiteral("not-tested");
}

QJsonObject bumpTestJson(const BumpTestRecord& record) {
    QJsonArray channels;
    for (const BumpChannel& c : record.channels)
        channels.append(QJsonObject{{QStringLiteral("gas"), c.gas},
                                    {QStringLiteral("unit"), c.unit},
                                    {QStringLiteral("result"), bumpResultName(c.result)},
                                    {QStringLiteral("applied"), ReadingToJson(c.applied)},
                                    {QStringLiteral("passLevel"), ReadingToJson(c.passLevel)},
                                    {QStringLiteral("peak"), ReadingToJson(c.peak)},
                                    {QStringLiteral("secondsToAlarm"), c.secondsToAlarm}});
    return QJsonObject{{QStringLiteral("passed"), record.passed()},
                       {QStringLiteral("channels"), channels}};
}

BumpClock linkClock(uclHbif& link) {
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    const auto seconds = [started] { return started->elapsed() / 1000.0; };
    return BumpClock{seconds, [&link, seconds](double until) {
                         link.waitWhile([&] { return seconds() < until && !link.Cancel(); });
                         return !link.Cancel();
                     }};
}

} // namespace

void AttachAuthor(uclHbif& link, const RecordAuthor& author) {
    AttachOperationDetail(link, QStringLiteral("operator"), author.operatorName.trimmed());
    AttachOperationDetail(link, QStringLiteral("cylinderLot"), author.cylinderLot.trimmed());
}

LivePollingPause::LivePollingPause(uclHbif& link) : m_link(link), m_wasOn(link.RunDensty()) {
    m_link.setRunDensty(false);
}

LivePollingPause::~LivePollingPause() {
    m_link.setRunDensty(m_wasOn);
}

Calibration::Flags LoadCalibrationGases(uclHbif& link, clsInstrument& cal, bool* read) {
    LivePollingPause pause(link);
    cal.ClearDatas();
    Calibration::Flags enabled{};
    ReadSequences reads(link);
    const bool gases = reads.GetGasInfo(&cal);
    const bool concentrations = gases && reads.GetAutoCalDensty(&cal);
    if (read)
        *read = concentrations;
    if (!gases)
        return enabled;
    for (int i = 0; i < Calibration::Channels; ++i)
        enabled[i] = cal.GasEnabled(i);
    return enabled;
}

bool ReadLiveReadings(uclHbif& link, Calibration::Readings* readings) {
    LivePollingPause pause(link);
    // A record of its own: the decoder keeps a channel's last value when a field is no number.
    clsInstrument live;
    for (int i = 0; i < Calibration::Channels; ++i)
        live.setLimitValue(i, UnknownReading);
    const bool ok = ReadSequences(link).ReadSingle(CommandPayload(Key::LiveRead), &live);
    for (int i = 0; i < Calibration::Channels; ++i)
        (*readings)[i] = ok ? live.LimitValue(i) : UnknownReading;
    if (!ok)
        link.release();
    return ok;
}

AdjustmentOutcome ZeroAdjustmentFlow(uclHbif& link, const FlowOutput& out) {
    LivePollingPause pause(link);
    AdjustmentOutcome result;
    if (!ReadLiveReadings(link, &result.before)) {
        adjustmentFailed(link, out);
        return result;
    }
    result.ok = OperationSequences(link).ZeroCal(QStringLiteral("11111"));
    if (result.ok) {
        for (int i = 0; i < Calibration::Channels; ++i)
            result.status[i] = link.ZeroStatus(i);
    } else {
        adjustmentFailed(link, out);
    }
    QJsonArray channels;
    for (int i = 0; i < Calibration::Channels; ++i)
        channels.append(QJsonObject{{QStringLiteral("adjusted"), result.status[i]},
                                    {QStringLiteral("before"), ReadingToJson(result.before[i])}});
    AttachOperationDetail(link, QStringLiteral("channels"), channels);
    return result;
}

SpanOutcome SpanAdjustmentFlow(uclHbif& link, clsInstrument& main, const clsInstrument& cal,
                               const Calibration::Flags& selection, const RecordAuthor& author,
                               const QString& logPath, const FlowOutput& out) {
    SpanOutcome result;
    result.request = Calibration::BuildSpanRequest(cal, selection);
    if (!result.request.ok())
        return result;
    LivePollingPause pause(link);
    SpanFacts facts;
    facts.selection = selection;
    if (!ReadLiveReadings(link, &facts.before)) {
        adjustmentFailed(link, out);
        return result;
    }
    result.before = facts.before;
    facts.when = QDateTime::currentDateTime();
    link.AddLog(LoadMessage(5515, {AppDate::fromDateTime(facts.when).general()}));
    result.sent = true;
    result.ok = facts.answered = OperationSequences(link).SpanCal(result.request.text);
    if (result.ok) {
        for (int i = 0; i < Calibration::Channels; ++i)
            result.status[i] = facts.status[i] = link.SpanStatus(i);
    } else {
        info(out, 5413, FlowColor::Failure);
    }
    facts.historyRead = readHistoryAfterSpan(link, main, facts);
    if (!facts.historyRead && result.ok)
        info(out, 5820, FlowColor::Failure);
    result.record = MakeCertificate(main, cal, facts, author.operatorName, author.cylinderLot);
    AttachAuthor(link, author);
    AttachOperationDetail(link, QStringLiteral("certificate"), CertificateToJson(result.record));
    if (!logPath.isEmpty())
        AppendCalibrationLog(logPath, result.record, &result.logError);
    logRecordFailure(result.logError, out);
    return result;
}

BumpOutcome BumpTestFlow(uclHbif& link, const clsInstrument& main, const clsInstrument& cal,
                         const Calibration::Readings& applied, const Bump::Criteria& criteria,
                         const RecordAuthor& author, const QString& logPath, const FlowOutput& out,
                         BumpClock clock) {
    BumpOutcome result;
    BumpTest test(main, cal, applied, criteria);
    if (!test.anyTested())
        return result;
    result.started = true;
    LivePollingPause pause(link);
    if (!clock.seconds)
        clock = linkClock(link);
    const QDateTime when = QDateTime::currentDateTime();
    link.AddLog(LoadMessage(5823, {AppDate::fromDateTime(when).general()}));
    double now = clock.seconds();
    for (double next = now;; next += BumpPollSeconds) {
        Calibration::Readings readings;
        const bool read = ReadLiveReadings(link, &readings);
        now = clock.seconds();
        if (!read) {
            if (!link.WasCancelled())
                info(out, 5413, FlowColor::Failure);
            break;
        }
        test.addReadings(now, readings);
        if (out.setProgressLabel)
            out.setProgressLabel(LoadMessage(5814, {QString::number(std::floor(now), 'f', 0),
                                                    QString::number(criteria.withinSeconds)}));
        if (test.finished(now)) {
            result.ok = true;
            break;
        }
        if (!clock.waitUntil(next + BumpPollSeconds)) {
            link.setCancel(false); // the cancel was this test's; the live readings go on
            break;
        }
    }
    result.record =
        test.finish(now, IdentityOf(main), when, author.operatorName, author.cylinderLot);
    link.AddLog(LoadMessage(result.record.passed() ? 5824 : 5825, {AppDate::now().general()}));
    AttachAuthor(link, author);
    AttachOperationDetail(link, QStringLiteral("bumpTest"), bumpTestJson(result.record));
    if (!logPath.isEmpty())
        AppendCalibrationLog(logPath, result.record, &result.logError);
    logRecordFailure(result.logError, out);
    return result;
}

NitrogenCalibration::RangeResult NitrogenCalibration::SetRange(uclHbif& link, clsInstrument& main) {
    LivePollingPause pause(link);
    RangeResult result;
    WriteSequences writes(link);
    result.rangeRead = writes.LpR(&main);
    // Without the instrument's own mode there is nothing sound to give back later: the range
    // is left alone.
    if (!result.rangeRead)
        return result;
    m_saved = main.HcMode();
    main.setHcMode(NitrogenRangeMode);
    result.rangeSet = writes.Lp(main);
    if (result.rangeSet) {
        m_state = State::RangeSet;
    } else {
        // The write may have reached the instrument with only its reply lost.
        main.setHcMode(m_saved);
        writes.Lp(main);
    }
    return result;
}

bool NitrogenCalibration::Calibrate(uclHbif& link, const QString& oxygenText) {
    LivePollingPause pause(link);
    AttachOperationDetail(link, QStringLiteral("oxygen"), oxygenText);
    return OperationSequences(link).zCal(oxygenText);
}

bool NitrogenCalibration::End(uclHbif& link, clsInstrument& main) {
    LivePollingPause pause(link);
    main.setHcMode(m_saved);
    WriteSequences writes(link);
    if (!writes.Lp(main))
        return false;
    writes.Dw();
    m_state = State::Normal;
    return true;
}

bool NitrogenCalibration::Abandon(uclHbif& link, clsInstrument& main) {
    if (m_state != State::RangeSet)
        return true;
    const bool ok = End(link, main);
    m_state = State::Normal;
    return ok;
}
