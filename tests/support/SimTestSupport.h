#pragma once

// Test-side frame code, written apart from the simulator's on purpose: the checks below must
// not share a mistake with the code they check.

#include "sim/SimInstrument.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QSignalSpy>
#include <QTest>

namespace simtest {

// Named limits for waits; replies arrive within a few event-loop turns when unpaced.
constexpr int ReplyWaitMs = 2000;
constexpr int QuietWaitMs = 150;

inline QByteArray frame(const QByteArray& payload, char terminator = '\x04') {
    QByteArray f = "\x02"
                   "0001" +
                   payload + "\x03";
    int sum = 0;
    for (unsigned char c : f)
        sum += c;
    f += QByteArray::number((256 - sum % 256) % 256, 16).toUpper().rightJustified(2, '0');
    f += terminator;
    return f;
}

// A reply block read the way the PC reads it.
struct Reply {
    bool wellFormed = false;
    bool checksumOk = false;
    char terminator = 0;
    char status = 0; // position 11
    QByteArray key;
    QList<QByteArray> tokens;
    QByteArray raw;
};

inline Reply readReply(const QByteArray& block) {
    Reply r;
    r.raw = block;
    if (block.size() < 15 || block.at(0) != '\x02' || block.mid(1, 4) != "0001")
        return r;
    r.terminator = block.back();
    const qsizetype etx = block.size() - 4;
    if (block.at(etx) != '\x03' || (r.terminator != '\x04' && r.terminator != '\x17'))
        return r;
    int sum = 0;
    for (qsizetype i = 0; i <= etx; ++i)
        sum += quint8(block.at(i));
    r.checksumOk = block.mid(etx + 1, 2) ==
                   QByteArray::number((256 - sum % 256) % 256, 16).toUpper().rightJustified(2, '0');
    r.status = block.at(10);
    QByteArray text = block;
    text.replace('\r', ',');
    QByteArray printable;
    for (char c : text) {
        if (quint8(c) >= 32 && quint8(c) <= 127)
            printable += c;
    }
    printable = printable.mid(4, printable.size() - 6);
    r.key = printable.left(4);
    for (const QByteArray& t : printable.mid(5).split(',')) {
        if (!t.isEmpty())
            r.tokens.append(t);
    }
    r.wellFormed = true;
    return r;
}

// Collects what the simulator sends and cuts it into blocks at ETB or EOT.
class Wire {
public:
    explicit Wire(SimInstrument& sim) : m_sim(sim), m_spy(&sim, &SimInstrument::transmit) {
        QObject::connect(&sim, &SimInstrument::transmit,
                         [this](const QByteArray& b) { m_bytes += b; });
    }

    void send(const QByteArray& payload, char terminator = '\x04') {
        m_sim.receive(frame(payload, terminator));
    }
    void sendRaw(const QByteArray& bytes) { m_sim.receive(bytes); }

    bool waitBytes(qsizetype n, int limitMs = ReplyWaitMs) {
        QElapsedTimer t;
        t.start();
        while (m_bytes.size() < n && t.elapsed() < limitMs)
            m_spy.wait(int(std::max<qint64>(1, limitMs - t.elapsed())));
        return m_bytes.size() >= n;
    }

    // The next complete block, or empty when none arrives in time.
    QByteArray nextBlock(int limitMs = ReplyWaitMs) {
        QElapsedTimer t;
        t.start();
        for (;;) {
            const qsizetype end = endOfBlock();
            if (end >= 0) {
                const QByteArray block = m_bytes.left(end + 1);
                m_bytes.remove(0, end + 1);
                return block;
            }
            const qint64 left = limitMs - t.elapsed();
            if (left <= 0)
                return {};
            m_spy.wait(int(left));
        }
    }

    Reply ask(const QByteArray& payload) {
        send(payload);
        return readReply(nextBlock());
    }

    // True when nothing at all arrives within the quiet limit.
    bool staysQuiet(int limitMs = QuietWaitMs) {
        if (!m_bytes.isEmpty())
            return false;
        m_spy.wait(limitMs);
        return m_bytes.isEmpty();
    }

    QByteArray take(qsizetype n) {
        const QByteArray out = m_bytes.left(n);
        m_bytes.remove(0, n);
        return out;
    }
    QByteArray& bytes() { return m_bytes; }
    QSignalSpy& spy() { return m_spy; }

private:
    qsizetype endOfBlock() const {
        for (qsizetype i = 0; i < m_bytes.size(); ++i) {
            if (m_bytes.at(i) == '\x04' || m_bytes.at(i) == '\x17')
                return i;
        }
        return -1;
    }

    SimInstrument& m_sim;
    QSignalSpy m_spy;
    QByteArray m_bytes;
};

} // namespace simtest
