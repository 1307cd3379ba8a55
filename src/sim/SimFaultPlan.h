#pragma once

#include "sim/SimReply.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <array>
#include <random>

// Misbehaviour on purpose, switched on by a text such as "drop=3,delay=200":
//   drop=N        drop every Nth reply
//   delay=MS      hold every reply back MS milliseconds more
//   corrupt=N     corrupt one byte of every Nth reply (a framed reply gets a command letter
//                 changed, so both its checksum and its key are wrong; a raw block one byte)
//   split=N:MS    send replies in chunks of N bytes, MS milliseconds apart
//   garbage=N     send N bytes of printable garbage without any terminator instead of the
//                 next reply, once; garbage=N:K does it for every Kth reply
//   noise=N:K     send N random bytes (any value) before every Kth reply
//   silent=N      answer N replies, then nothing more
//   withhold=B    withhold memory block B once: the first "EP" request for it gets only half
//                 its bytes, the first time listing block B is due it is not sent
//   failfirst     ignore the first try of every distinct command; answer its repeats
//   failcal=C     gas channel C (0..4) fails every zero, span and nitrogen adjustment; may
//                 be given for several channels
//   deadsensor=C  the sensor of channel C does not respond to gas (reads clean air)
//   slowsensor=C:S  the sensor of channel C follows the gas with a time constant of S seconds
// Every Nth counts the replies the instrument would have sent, from 1.
class SimFaultPlan {
public:
    static bool parse(const QString& faults, SimFaultPlan* out, QString* error = nullptr);
    static QString syntaxHelp();

    bool isEmpty() const;
    // The channels failcal names.
    std::array<bool, 5> failingChannels() const { return m_failCal; }
    std::array<bool, 5> deadChannels() const { return m_dead; }
    // Per channel the time constant slowsensor gives, in seconds; 0 where none.
    std::array<int, 5> slowChannels() const { return m_slow; }

    struct Outcome {
        QList<QByteArray> chunks; // empty: nothing is sent
        qint64 delayUs = 0;       // before the first chunk
        qint64 gapUs = 0;         // between chunks
    };
    Outcome apply(const SimRequest& request, const SimReply& reply, std::mt19937& rng);

    // Forget what has been counted and done so far (the settings stay).
    void restart();

private:
    int m_drop = 0;
    int m_delayMs = 0;
    int m_corrupt = 0;
    int m_splitBytes = 0;
    int m_splitGapMs = 0;
    int m_garbageBytes = 0;
    int m_garbageEvery = 0; // 0: once
    int m_noiseBytes = 0;
    int m_noiseEvery = 1;
    int m_silentAfter = -1;
    int m_withhold = -1;
    bool m_failFirst = false;
    std::array<bool, 5> m_failCal{};
    std::array<bool, 5> m_dead{};
    std::array<int, 5> m_slow{};

    int m_replies = 0; // replies produced, counted for "every Nth"
    int m_sent = 0;    // replies that went out, for "silent"
    bool m_garbageDone = false;
    bool m_withholdDone = false;
    QSet<QByteArray> m_tried;
};
