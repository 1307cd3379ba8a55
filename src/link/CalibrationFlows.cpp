#include "link/CalibrationFlows.h"

#include "app/AppDate.h"
#include "app/MessageTable.h"
#include "link/OperationSequences.h"
#include "link/ReadSequences.h"
#include "link/WriteSequences.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"

namespace {

void info(const FlowOutput& out, int message, quint32 rgb, const QStringList& params = {}) {
    if (out.addInfo)
        out.addInfo(LoadMessage(message, params), rgb);
}

// The range mode the nitrogen calibration works in.
constexpr qint16 NitrogenRangeMode = 2;

} // namespace

LivePollingPause::LivePollingPause(uclHbif& link) : m_link(link), m_wasOn(link.RunDensty()) {
    m_link.setRunDensty(false);
}

LivePollingPause::~LivePollingPause() {
    m_link.setRunDensty(m_wasOn);
}

Calibration::Flags LoadCalibrationGases(uclHbif& link, clsInstrument& cal) {
    LivePollingPause pause(link);
    cal.ClearDatas();
    Calibration::Flags enabled{};
    ReadSequences reads(link);
    if (!reads.GetGasInfo(&cal))
        return enabled;
    reads.GetAutoCalDensty(&cal);
    for (int i = 0; i < Calibration::Channels; ++i)
        enabled[i] = cal.GasEnabled(i);
    return enabled;
}

bool ReadLiveReadings(uclHbif& link, Calibration::Readings* readings) {
    LivePollingPause pause(link);
    bool got = false;
    const QMetaObject::Connection c = QObject::connect(
        &link, &uclHbif::Densty, [&](float v0, float v1, float v2, float v3, float v4) {
            *readings = {v0, v1, v2, v3, v4};
            got = true;
        });
    const bool ok = link.Exchange(QStringLiteral("DN,R,"), LinkStatus::WaitRead);
    QObject::disconnect(c);
    return ok && got;
}

AdjustmentOutcome ZeroAdjustmentFlow(uclHbif& link, const FlowOutput& out) {
    LivePollingPause pause(link);
    AdjustmentOutcome result;
    result.ok = OperationSequences(link).ZeroCal(QStringLiteral("11111"));
    if (result.ok) {
        for (int i = 0; i < Calibration::Channels; ++i)
            result.status[i] = link.ZeroStatus(i);
    } else {
        info(out, 5413, FlowColor::Failure);
        link.AddLog(LoadMessage(5516, {AppDate::now().general()}));
    }
    return result;
}

SpanOutcome SpanAdjustmentFlow(uclHbif& link, clsInstrument& main, const clsInstrument& cal,
                               const Calibration::Flags& selection, const FlowOutput& out) {
    SpanOutcome result;
    result.request = Calibration::BuildSpanRequest(cal, selection);
    if (!result.request.ok())
        return result;
    LivePollingPause pause(link);
    link.AddLog(LoadMessage(5515, {AppDate::now().general()}));
    result.ok = OperationSequences(link).SpanCal(result.request.text);
    if (result.ok) {
        for (int i = 0; i < Calibration::Channels; ++i)
            result.status[i] = link.SpanStatus(i);
    } else {
        info(out, 5413, FlowColor::Failure);
    }
    ReadSequences(link).GetLatestHistory(&main);
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
