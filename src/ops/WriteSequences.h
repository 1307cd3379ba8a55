#pragma once

#include "app/AppDate.h"

#include <QString>
#include <QStringList>
#include <span>

class clsInstrument;
class uclHbif;

// The write operations of the communications control. SetInstrument walks the record's change
// flags in a fixed order of steps and sends one write per changed group; the one-shot writes
// send a single frame. Each returns True when its exchanges ended with Status 6.
class WriteSequences {
public:
    // One step of SetInstrument. An identity or setting step names its command code, whose
    // row in the command set holds its change flag and encoding; a single step of its own
    // carries its functions. The step kinds that are not a single frame (the levels with their
    // echo passes, the station list entry by entry, the closing save) are walked by
    // SetInstrument itself; the table says where they come.
    enum class StepKind { Identity, Setting, Single, Levels, StationList, Save };
    struct Step {
        int order; // 1..24
        StepKind kind;
        const char* code = nullptr; // Identity and Setting
        bool (*changed)(const clsInstrument&) = nullptr;
        QString (*payload)(const clsInstrument&) = nullptr;
        void (*clearFlags)(clsInstrument&) = nullptr;
    };
    static std::span<const Step> Steps();
    // How many passes the levels step makes at most.
    static constexpr int LevelPasses = 3;

    explicit WriteSequences(uclHbif& link) : m_link(link) {}

    // Writes every group of the record whose change flag is set, logs its start and end
    // (5536, then 5537 with the elapsed time or 5538), and returns True when every step
    // succeeded and at least one was written. A failed step stops every later one, the closing save
    // included; flags of the steps that succeeded are cleared, the others stay set.
    bool SetInstrument(clsInstrument* record);
    // The command codes the last SetInstrument had confirmed ("BS", "XZ", ...), in order: what
    // the instrument holds now, also when a later step failed.
    const QStringList& Confirmed() const { return m_confirmed; }

    bool SetDateTime(const AppDate& when); // Key::ClockWrite, echoed by the instrument
    bool SetCheckData();                   // Key::CheckData
    bool Dw();                             // Key::Save
    bool Lp(const clsInstrument& record);  // the "LP" setting: HcMode
    bool LpR(clsInstrument* record);       // reads "LP" into the record (it becomes Instrument)
    // A complete payload built by the compensation tables; a read when it is a read form.
    bool sendCompensation(const QString& payload);

private:
    struct Run {
        bool allOk = true;
        bool written = false;
    };
    void writeStep(Run& run, const QString& payload);
    void levelsStep(Run& run, clsInstrument& record);

    uclHbif& m_link;
    QStringList m_confirmed;
};
