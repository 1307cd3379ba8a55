#pragma once

#include "sim/SimMicroTimer.h"
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

// Puts the instrument's bytes on the line no faster than a real line of the set speed
// carries them: each byte leaves when its last bit would have, in small timed chunks, never
// by sleeping. Without a speed, bytes leave on the next turn of the event loop.
class SimPacer : public QObject {
    Q_OBJECT
public:
    explicit SimPacer(QObject* parent = nullptr);

    // The one place that turns bytes into line time: 10 bits a byte (start, 8 data, stop).
    static qint64 wireTimeUs(qint64 bytes, int baud);

    void setBaud(int baud) { m_baud = baud; }
    int baud() const { return m_baud; }
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    // Queues bytes to leave after the previous ones, no earlier than notBeforeUs (on the
    // nowUs() clock) and at least gapUs after the previous bytes have left.
    void enqueue(const QByteArray& bytes, qint64 notBeforeUs = 0, qint64 gapUs = 0);
    void clear();
    bool isIdle() const { return m_queue.isEmpty(); }

    // How much later than the line allows the last bytes of each queued segment (a reply, or
    // a piece of one) left: the simulator's own share of the time a reply takes.
    struct Lateness {
        qint64 segments = 0;
        qint64 totalUs = 0;
    };
    Lateness lateness() const { return m_lateness; }

signals:
    void transmit(const QByteArray& bytes);

private:
    struct Segment {
        QByteArray bytes;
        qint64 notBeforeUs = 0;
        qint64 gapUs = 0;
    };

    void pump();
    // Gives the head segment its start time on the line, once.
    void startHead();
    // Sets the timer for when the head's next bytes will have left the line.
    void armNext();
    void armAt(qint64 dueUs, bool punctual);

    int m_baud = 0;
    QElapsedTimer m_clock;
    SimMicroTimer m_timer;
    QList<Segment> m_queue;
    bool m_started = false;   // head segment has a start time
    qint64 m_startUs = 0;     // when the head's first bit went out
    qint64 m_sent = 0;        // bytes of the head already emitted
    qint64 m_lineFreeUs = 0;  // when the previous bytes finished
    quint64 m_generation = 0; // bumped by clear(), so pump() notices a reset from a receiver
    Lateness m_lateness;
};
