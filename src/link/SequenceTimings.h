#pragma once

#include <QtGlobal>

// The waits and bounds of the link and of the instrument operations. The instrument's own
// rhythm is counted in link ticks (100 ms in the program), so a test that shortens the tick
// shortens these waits too; the bounds on operations that poll for their end are wall-clock.
struct SequenceTimings {
    qint32 ClearPollTicks = 50; // between the polls of a clear or a default restore (5 s)
    qint32 ZeroPollTicks = 10;  // between the polls of a zero adjustment (1 s)
    qint32 PowerOffTicks = 50;  // the port stays closed this long after a power off (5 s)
    // A clear, default restore or zero adjustment that has not finished by then has failed:
    // an instrument that never answers ACK (or keeps answering SUB) must not hang the program.
    qint64 PollLimitMs = 10 * 60 * 1000;
    // A connect request unanswered this long is sent again (one second).
    qint32 ConnectReplyTicks = 10;
    // The infrared control wants its service call every sixth tick.
    qint32 IrDAServiceTicks = 5;
    // How often a lost adapter is looked for again (one second).
    qint32 ReopenPollTicks = 10;
    // Before a download is tried again, late bytes of the failed try must have arrived and
    // been thrown away, or they would land in the new image (half a second).
    qint32 RetryQuietTicks = 5;
    // How long the line must stay quiet after a memory block for its reply to have ended: a
    // reply still going sends its next byte at once, and adapters hand bytes on within a few
    // milliseconds.
    int BlockQuietMs = 20;
};

// The link's own rhythm in the program (tests shorten the intervals).
namespace LinkDefaults {
inline constexpr int TickMs = 100;          // time-outs and resends are counted in these ticks
inline constexpr int DenstyMs = 1000;       // one live reading a second
inline constexpr int TicksPerSecond = 10;   // a time-out in seconds as ticks
inline constexpr int ConnectRetryEvery = 5; // the host hears of every fifth connect attempt
} // namespace LinkDefaults

// Bounds of what the link keeps of the wire.
struct LinkLimits {
    // A frame in progress longer than this is no frame: the link drops it and looks for the
    // next STX. No reply of the instrument comes near it.
    static constexpr qsizetype RxBufferLimit = 4096;
    // Lines about noise and stray replies the communication log takes at once, and per second
    // after that: a babbling line must not fill the disk. Replies to the exchange are always
    // logged.
    static constexpr int RxLogBurst = 200;
    static constexpr int RxLogPerSecond = 20;
};
