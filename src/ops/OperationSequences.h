#pragma once

#include "link/LinkState.h"
#include "model/CommandSet.h"

#include <QString>

class uclHbif;

// The instrument operations of the communications control: clearing the logger and the power
// log, restoring the defaults, switching the instrument off, the pump, and zero, span and
// nitrogen adjustment. Each blocks its caller in the link's waits and returns a success flag.
//
// The clears, the default restore and the zero adjustment start with one command and then poll
// until the instrument reports the end. Those polls are bounded by the link's
// Timings().PollLimitMs and end early when Cancel is set, so an instrument that never reports
// the end cannot hang the program; either way the operation fails with a log line saying why.
class OperationSequences {
public:
    explicit OperationSequences(uclHbif& link) : m_link(link) {}

    bool BodyDataClear();     // "XC": the logged data
    bool PowerDataClear();    // "XY": the power log
    bool DefaultInstrument(); // "UX": the factory defaults
    // Key::PowerOff, then the port is closed for Timings().PowerOffTicks; LinkMode 0 and Status 0
    // afterwards, so the connect sequence starts again when the port is opened. Always True.
    bool BodyPowerOff();
    bool SetPump(bool on); // Key::Pump with "1" or "0"

    // Key::ZeroStart with data, then Key::ZeroPoll every Timings().ZeroPollTicks until the
    // instrument stops answering SUB. The per-sensor results are the link's ZeroStatus.
    bool ZeroCal(const QString& data);
    // Key::Span with data; the per-sensor results are the link's SpanStatus.
    bool SpanCal(const QString& data);
    // Key::Nitrogen with the oxygen value; True when the instrument returned a text.
    bool zCal(const QString& o2);

    // The log lines of a poll that gave up.
    static QString PollLimitLogText(const QString& code);
    static QString PollCancelledLogText(const QString& code);

private:
    enum class PollEnd { Done, Failed, Limit, Cancelled };
    // Sends `start`, then polls with `poll` (at pollStatus) until the instrument reports the end.
    PollEnd startAndPoll(Key start, Key poll, LinkStatus pollStatus);
    // Waits `ticks` link ticks; false when Cancel was set meanwhile.
    bool pause(int ticks);
    void logGiveUp(PollEnd end, const QString& code);
    bool clearSequence(Key start, Key poll);

    uclHbif& m_link;
};
