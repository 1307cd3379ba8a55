#include "link/WriteSequences.h"

#include "app/MessageTable.h"
#include "link/CommandSet.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"

#include <QDateTime>

namespace {

using R = clsInstrument;
using K = WriteSequences::StepKind;

bool anyGasEnableChanged(const R& r) {
    // The fifth slot follows the others: its own flag does not start the write.
    for (int gas = 0; gas < 4; ++gas)
        if (r.Change_GasEnable(gas))
            return true;
    return false;
}

void clearGasEnableFlags(R& r) {
    for (int gas = 0; gas < R::GasCount; ++gas)
        r.setChange_GasEnable(gas, false);
}

// A numeric setting: its flag starts the step and is cleared by it.
#define TQ_SETTING_STEP(order, code, flag)                                                         \
    WriteSequences::Step {                                                                         \
        order, K::Single, [](const R& r) { return r.flag(); },                                     \
            [](const R& r) { return SettingWritePayload(QStringLiteral(code), r); },               \
            [](R& r) { r.set##flag(false); }                                                       \
    }
#define TQ_IDENTITY_STEP(order, code, flag)                                                        \
    WriteSequences::Step {                                                                         \
        order, K::Single, [](const R& r) { return r.flag(); },                                     \
            [](const R& r) { return IdentityWritePayload(QStringLiteral(code), r); },              \
            [](R& r) { r.set##flag(false); }                                                       \
    }

const WriteSequences::Step kSteps[] = {
    TQ_IDENTITY_STEP(1, "BS", Change_SpecNo),
    TQ_IDENTITY_STEP(2, "XZ", Change_UserID),
    {3, K::Single, [](const R& r) { return r.Change_StationID(); },
     [](const R& r) { return StationIdWritePayload(r); },
     [](R& r) { r.setChange_StationID(false); }},
    TQ_IDENTITY_STEP(4, "IN", Change_SerialNo),
    TQ_IDENTITY_STEP(5, "HN", Change_DummySerial),
    {6, K::Single, anyGasEnableChanged, [](const R& r) { return GasTableWritePayload(r); },
     clearGasEnableFlags},
    {7, K::Single, [](const R& r) { return r.Change_LSData(0) || r.Change_LSData(1); },
     [](const R& r) { return UserGasWritePayload(r); },
     [](R& r) {
         r.setChange_LSData(0, false);
         r.setChange_LSData(1, false);
     }},
    TQ_SETTING_STEP(8, "AP", Change_AlarmMode),
    TQ_SETTING_STEP(9, "SD", Change_DispCalLimit),
    TQ_SETTING_STEP(10, "SM", Change_CalCheck),
    TQ_SETTING_STEP(11, "XB", Change_Confirmation),
    TQ_SETTING_STEP(12, "XW", Change_LogOverWrite),
    TQ_SETTING_STEP(13, "XT", Change_LcdBackLight),
    TQ_SETTING_STEP(14, "UQ", Change_autoBackLight),
    TQ_SETTING_STEP(15, "AF", Change_AlarmOnOff),
    TQ_SETTING_STEP(16, "AT", Change_AlarmO2),
    {17, K::Levels, nullptr, nullptr, nullptr},
    TQ_SETTING_STEP(18, "SC", Change_CalLimit),
    TQ_SETTING_STEP(19, "XP", Change_Interval),
    TQ_SETTING_STEP(20, "UJ", Change_SpecType),
    TQ_SETTING_STEP(21, "SJ", Change_AutoZero),
    TQ_SETTING_STEP(22, "SG", Change_DemandZero),
    {23, K::StationList, nullptr, nullptr, nullptr},
    {24, K::Save, nullptr, [](const R&) { return QStringLiteral("DW,W,"); }, nullptr},
};

#undef TQ_SETTING_STEP
#undef TQ_IDENTITY_STEP

// The two level groups of step 17, written with "A1,W," and "A2,W,".
struct LevelGroup {
    const char* code;
    bool (R::*flag)(int) const;
    void (R::*setFlag)(int, bool);
};
const LevelGroup kLevelGroups[] = {
    {"A1", &R::Change_Warn, &R::setChange_Warn},
    {"A2", &R::Change_Alarm, &R::setChange_Alarm},
};

QString nowText() {
    return AppDate::now().general();
}

} // namespace

std::span<const WriteSequences::Step> WriteSequences::Steps() {
    return kSteps;
}

void WriteSequences::writeStep(Run& run, const QString& payload) {
    if (!run.allOk)
        return;
    if (m_link.Exchange(payload, LinkStatus::WaitWrite)) {
        run.written = true;
        const QString code = payload.left(2);
        if (!m_confirmed.contains(code))
            m_confirmed << code;
    } else {
        run.allOk = false;
    }
}

void WriteSequences::levelsStep(Run& run, clsInstrument& r) {
    for (int pass = 0; pass < LevelPasses; ++pass) {
        for (const LevelGroup& g : kLevelGroups) {
            bool changed = false;
            for (int gas = 0; gas < R::GasCount; ++gas)
                changed = changed || (r.*g.flag)(gas);
            if (!changed)
                continue;
            writeStep(run, LevelsWritePayload(QString::fromLatin1(g.code), r));
            // The instrument echoes the levels it took; only a faithful echo clears the flags,
            // otherwise the next pass writes them again.
            if (run.allOk && m_link.LastBlock() == m_link.LastFrame()) {
                for (int gas = 0; gas < R::GasCount; ++gas)
                    (r.*g.setFlag)(gas, false);
            }
        }
    }
}

bool WriteSequences::SetInstrument(clsInstrument* record) {
    if (!record)
        return false;
    clsInstrument& r = *record;
    const OperationScope scope(m_link);
    m_link.setInstrument(record);
    m_confirmed.clear();
    const QDateTime start = QDateTime::currentDateTime();
    m_link.AddLog(LoadMessage(5536, {nowText()}));

    Run run;
    for (const Step& step : kSteps) {
        switch (step.kind) {
        case StepKind::Single:
            if (!step.changed(r))
                break;
            writeStep(run, step.payload(r));
            if (run.allOk)
                step.clearFlags(r);
            break;
        case StepKind::Levels:
            levelsStep(run, r);
            break;
        case StepKind::StationList:
            for (int i = 0; i < R::StationCount; ++i) {
                if (!r.Change_StationList(i))
                    continue;
                writeStep(run, StationWritePayload(r, i));
                if (run.allOk)
                    r.setChange_StationList(i, false);
            }
            break;
        case StepKind::Save:
            if (run.written)
                writeStep(run, step.payload(r));
            break;
        }
    }

    if (run.allOk) {
        const qint64 elapsed = start.secsTo(QDateTime::currentDateTime());
        m_link.AddLog(LoadMessage(5537, {nowText(), FormatElapsed(elapsed)}));
    } else {
        m_link.AddLog(LoadMessage(5538, {nowText()}));
    }
    return run.allOk && run.written;
}

bool WriteSequences::SetDateTime(const AppDate& when) {
    const OperationScope scope(m_link);
    return m_link.Exchange(ClockWritePayload(when), LinkStatus::WaitWrite);
}

bool WriteSequences::SetCheckData() {
    const OperationScope scope(m_link);
    return m_link.Exchange(QStringLiteral("XH,E,"), LinkStatus::WaitWrite);
}

bool WriteSequences::Dw() {
    const OperationScope scope(m_link);
    return m_link.Exchange(QStringLiteral("DW,W,"), LinkStatus::WaitWrite);
}

bool WriteSequences::Lp(const clsInstrument& record) {
    const OperationScope scope(m_link);
    return m_link.Exchange(QStringLiteral("LP,W,") + QString::number(record.HcMode()),
                           LinkStatus::WaitWrite);
}

bool WriteSequences::LpR(clsInstrument* record) {
    if (!record)
        return false;
    const OperationScope scope(m_link);
    m_link.setInstrument(record);
    return m_link.Exchange(ReadPayload(u"LP"), LinkStatus::WaitRead);
}

bool WriteSequences::sendCompensation(const QString& payload) {
    const OperationScope scope(m_link);
    return m_link.Exchange(payload, payload.contains(QStringLiteral(",R,"))
                                        ? LinkStatus::WaitRead
                                        : LinkStatus::WaitWrite);
}
