#pragma once

#include "model/BumpTest.h"
#include "model/CalibrationCertificate.h"
#include "model/CalibrationRules.h"
#include "ops/InstrumentFlows.h"

#include <QtGlobal>
#include <functional>

class clsInstrument;
class uclHbif;

// Zero, span and nitrogen adjustment as the calibration window and tq5800-cli share them: what
// is sent, logged and kept. Live polling is off while a step talks to the instrument and back
// as it was afterwards. Each step is bounded by the link's time-outs: a link that fails ends
// the step with its failure text.

// Live-reading polling off for the life of the guard; the previous state afterwards.
class LivePollingPause {
public:
    explicit LivePollingPause(uclHbif& link);
    ~LivePollingPause();
    Q_DISABLE_COPY_MOVE(LivePollingPause)

private:
    uclHbif& m_link;
    bool m_wasOn;
};

// The calibration record for a session: cleared, then the gases fitted (Key::GasTableRead) and the
// span gas concentrations the instrument holds (the "SA" levels). Returns the enabled channels; all
// false when the gas information could not be read. `read` tells whether both reads succeeded.
Calibration::Flags LoadCalibrationGases(uclHbif& link, clsInstrument& calibration,
                                        bool* read = nullptr);

// One live reading of the five channels (Key::LiveRead), for a host that does not poll. A channel
// whose value did not come is unknown, never the reading before.
bool ReadLiveReadings(uclHbif& link, Calibration::Readings* readings);

struct AdjustmentOutcome {
    bool ok = false;              // the instrument accepted the adjustment
    Calibration::Flags status{};  // per channel: adjusted
    Calibration::Readings before; // the live readings just before it; unknown where not read
    AdjustmentOutcome() { before.fill(UnknownReading); }
};

// Zero adjustment of all five channels, after reading the live readings it starts from. A
// failure logs 5413 in red and 5516 to the communication log; an instrument that does not
// answer the reading is not adjusted.
AdjustmentOutcome ZeroAdjustmentFlow(uclHbif& link, const FlowOutput& out);

// Who signs a record and which gas cylinder they used.
struct RecordAuthor {
    QString operatorName;
    QString cylinderLot;
};
// States the author to the operation that runs on `link`, for the fleet history: zero and the
// nitrogen step keep no record of their own, yet were done by someone.
void AttachAuthor(uclHbif& link, const RecordAuthor& author);

struct SpanOutcome : AdjustmentOutcome {
    Calibration::SpanRequest request; // refused requests are not sent
    bool sent = false;                // the span request went to the instrument
    CalibrationCertificate record;    // when sent: what the span did, made once at its end
    QString logError;                 // why the calibration log did not take the record
};
// Span adjustment of the selected channels with the calibration record's concentrations: the
// live readings before it, the request, then the calibration history (also into the main
// record). Nothing is sent when the request cannot be built (no channel selected, a
// concentration too long for its field) or the instrument does not answer the reading before.
// A span that was sent ends with its record, appended to the calibration log at `logPath`
// (none when empty) whatever its outcome.
SpanOutcome SpanAdjustmentFlow(uclHbif& link, clsInstrument& main, const clsInstrument& calibration,
                               const Calibration::Flags& selection, const RecordAuthor& author,
                               const QString& logPath, const FlowOutput& out);

// Time as the bump test sees it: seconds since it started, and a wait until a moment of it
// that is false when cancelled. By default the PC clock and the link's waits; tests move the
// simulator's clock instead.
struct BumpClock {
    std::function<double()> seconds;
    std::function<bool(double until)> waitUntil;
};

struct BumpOutcome {
    bool started = false; // a channel was tested: the test ran and has its record
    bool ok = false;      // it ran to its end (every channel passed or the time was up)
    BumpTestRecord record;
    QString logError;
};
// The bump test of the channels with an applied concentration (below 0: not tested): the live
// readings once a second until every tested channel reached its pass level or the time limit
// passed; nothing is written to the instrument. Cancel, or an instrument that stops
// answering, ends it early with the channels not yet passed unconfirmed. Its record goes to
// the calibration log at `logPath` (none when empty).
BumpOutcome BumpTestFlow(uclHbif& link, const clsInstrument& main, const clsInstrument& calibration,
                         const Calibration::Readings& applied, const Bump::Criteria& criteria,
                         const RecordAuthor& author, const QString& logPath, const FlowOutput& out,
                         BumpClock clock = {});

// The nitrogen calibration of the vol% range: the range is set for it ("Set range": HcMode 2
// written with the instrument's mode saved), calibrated any number of times ("N2 Cal") and
// given back ("N2 Cal END": the saved mode written back, then saved in the instrument). Every
// way out of the Range set state, a failed one included, leaves the main record holding the
// saved mode; Abandon is the way out when the window closes.
class NitrogenCalibration {
public:
    enum class State { Normal, RangeSet };

    State state() const { return m_state; }
    qint16 SavedHcMode() const { return m_saved; }

    struct RangeResult {
        bool rangeRead = false; // "LP" read answered
        bool rangeSet = false;  // "LP" written as 2 answered: now in RangeSet
    };
    // "Set range". Nothing is written when the instrument's mode could not be read. When the
    // instrument does not take the range the main record gets its saved mode back and the
    // instrument is asked to keep it.
    RangeResult SetRange(uclHbif& link, clsInstrument& main);
    // "N2 Cal" with the oxygen reading text; true when the instrument calibrated.
    bool Calibrate(uclHbif& link, const QString& oxygenText);
    // "N2 Cal END". False when the instrument did not take the saved mode back; the state
    // stays RangeSet then, so the operator can try again.
    bool End(uclHbif& link, clsInstrument& main);
    // Leaves RangeSet whatever happens: the saved mode into the record, written back when the
    // instrument answers. False when it did not (the record still holds the saved mode).
    bool Abandon(uclHbif& link, clsInstrument& main);

private:
    State m_state = State::Normal;
    qint16 m_saved = 0;
};
