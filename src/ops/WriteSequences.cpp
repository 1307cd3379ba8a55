#include "ops/WriteSequences.h"

#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "model/CommandSet.h"
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

// Identity and setting steps name their command code: the code's row in the command set gives
// the change flag that starts the step and is cleared by it, and the payload.
// clang-format off
const WriteSequences::Step kSteps[] = {
    {1, K::Identity, "BS"},
    {2, K::Identity, "XZ"},
    {3, K::Single, nullptr, [](const R& r) { return r.Change_StationID(); },
     [](const R& r) { return StationIdWritePayload(r); },
     [](R& r) { r.setChange_StationID(false); }},
    {4, K::Identity, "IN"},
    {5, K::Identity, "HN"},
    {6, K::Single, nullptr, anyGasEnableChanged, [](const R& r) { return GasTableWritePayload(r); },
     clearGasEnableFlags},
    {7, K::Single, nullptr, [](const R& r) { return r.Change_LSData(0) || r.Change_LSData(1); },
     [](const R& r) { return UserGasWritePayload(r); },
     [](R& r) {
         r.setChange_LSData(0, false);
         r.setChange_LSData(1, false);
     }},
    {8, K::Setting, "AP"},
    {9, K::Setting, "SD"},
    {10, K::Setting, "SM"},
    {11, K::Setting, "XB"},
    {12, K::Setting, "XW"},
    {13, K::Setting, "XT"},
    {14, K::Setting, "UQ"},
    {15, K::Setting, "AF"},
    {16, K::Setting, "AT"},
    {17, K::Levels, nullptr},
    {18, K::Setting, "SC"},
    {19, K::Setting, "XP"},
    {20, K::Setting, "UJ"},
    {21, K::Setting, "SJ"},
    {22, K::Setting, "SG"},
    {23, K::StationList, nullptr},
    {24, K::Save, nullptr},
};
// clang-format on

// The two level groups of step 17, in the order they are written.
const char* const kLevelGroups[] = {"A1", "A2"};

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
        for (const char* code : kLevelGroups) {
            const LevelCommand& g = *FindLevelCommand(QString::fromLatin1(code));
            bool changed = false;
            for (int gas = 0; gas < R::GasCount; ++gas)
                changed = changed || g.flag(r, gas);
            if (!changed)
                continue;
            writeStep(run, LevelsWritePayload(QString::fromLatin1(code), r));
            // The instrument echoes the levels it took; only a faithful echo clears the flags,
            // otherwise the next pass writes them again.
            if (run.allOk && m_link.LastBlock() == m_link.LastFrame()) {
                for (int gas = 0; gas < R::GasCount; ++gas)
                    g.setFlag(r, gas, false);
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
        case StepKind::Identity: {
            const IdentityCommand& c = *FindIdentityCommand(QString::fromLatin1(step.code));
            if (!(r.*c.flag)())
                break;
            writeStep(run, IdentityWritePayload(QString::fromLatin1(step.code), r));
            if (run.allOk)
                (r.*c.setFlag)(false);
            break;
        }
        case StepKind::Setting: {
            const NumericSetting& s = *FindNumericSetting(QString::fromLatin1(step.code));
            if (!s.flag(r))
                break;
            writeStep(run, SettingWritePayload(QString::fromLatin1(step.code), r));
            if (run.allOk)
                s.setFlag(r, false);
            break;
        }
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
                writeStep(run, CommandPayload(Key::Save));
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
    return m_link.Exchange(CommandPayload(Key::CheckData), LinkStatus::WaitWrite);
}

bool WriteSequences::Dw() {
    const OperationScope scope(m_link);
    return m_link.Exchange(CommandPayload(Key::Save), LinkStatus::WaitWrite);
}

bool WriteSequences::Lp(const clsInstrument& record) {
    const OperationScope scope(m_link);
    return m_link.Exchange(SettingWritePayload(u"LP", record), LinkStatus::WaitWrite);
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
