#pragma once

#include <QtGlobal>

// The waits and bounds of the instrument operations. The instrument's own rhythm is counted in
// link ticks (100 ms in the program), so a test that shortens the tick shortens these waits
// too; the bounds on operations that poll for their end are wall-clock time.
struct SequenceTimings {
    qint32 ClearPollTicks = 50; // between the polls of a clear or a default restore (5 s)
    qint32 ZeroPollTicks = 10;  // between the polls of a zero adjustment (1 s)
    qint32 PowerOffTicks = 50;  // the port stays closed this long after a power off (5 s)
    // A clear, default restore or zero adjustment that has not finished by then has failed:
    // an instrument that never answers ACK (or keeps answering SUB) must not hang the program.
    qint64 PollLimitMs = 10 * 60 * 1000;
};
