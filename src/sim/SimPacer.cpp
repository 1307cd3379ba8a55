#include "sim/SimPacer.h"

#include <algorithm>

SimPacer::SimPacer(QObject* parent) : QObject(parent) {
    m_clock.start();
    connect(&m_timer, &SimMicroTimer::timeout, this, &SimPacer::pump);
}

qint64 SimPacer::wireTimeUs(qint64 bytes, int baud) {
    if (baud <= 0 || bytes <= 0)
        return 0;
    return (bytes * 10 * 1000000 + baud - 1) / baud;
}

void SimPacer::enqueue(const QByteArray& bytes, qint64 notBeforeUs, qint64 gapUs) {
    if (m_queue.isEmpty())
        m_lineFreeUs = std::max(m_lineFreeUs, nowUs());
    m_queue.append(Segment{bytes, notBeforeUs, gapUs});
    // Never emit from inside the caller.
    if (!m_timer.isActive())
        armNext();
}

void SimPacer::clear() {
    ++m_generation;
    m_queue.clear();
    m_timer.stop();
    m_started = false;
    m_sent = 0;
    m_lineFreeUs = nowUs();
}

void SimPacer::startHead() {
    if (m_started)
        return;
    const Segment& head = m_queue.front();
    m_startUs = std::max(m_lineFreeUs + head.gapUs, head.notBeforeUs);
    m_started = true;
    m_sent = 0;
}

void SimPacer::armNext() {
    startHead();
    if (m_baud <= 0) {
        armAt(m_startUs, false);
        return;
    }
    // Wake when about a millisecond's worth more has left, or the rest: each wake-up costs
    // the event loop and the system more than the bytes it sends. Only the last bytes need
    // to leave on the dot, since the PC can do nothing with a block before it has them all.
    const qint64 size = m_queue.front().bytes.size();
    const qint64 chunkBytes = std::max<qint64>(1, m_baud / 10 / 1000);
    const qint64 upTo = std::min(size, m_sent + chunkBytes);
    armAt(m_startUs + wireTimeUs(upTo, m_baud), upTo == size);
}

void SimPacer::armAt(qint64 dueUs, bool punctual) {
    const qint64 waitUs = dueUs - nowUs();
    m_timer.start(waitUs <= 0 ? 0 : waitUs, punctual);
}

void SimPacer::pump() {
    while (!m_queue.isEmpty()) {
        startHead();
        const Segment& head = m_queue.front();
        const qint64 now = nowUs();
        const qint64 size = head.bytes.size();
        qint64 due = now < m_startUs ? 0 : size;
        if (m_baud > 0 && due > 0)
            due = std::min(size, (now - m_startUs) * m_baud / 10 / 1000000);
        if (due > m_sent) {
            const QByteArray chunk = head.bytes.mid(m_sent, due - m_sent);
            m_sent = due;
            const quint64 generation = m_generation;
            emit transmit(chunk);
            if (generation != m_generation) // a receiver reset the line; enqueue() re-armed
                return;
        }
        if (m_sent < size) {
            armNext();
            return;
        }
        const qint64 lineEndUs = m_baud > 0 ? m_startUs + wireTimeUs(size, m_baud) : m_startUs;
        ++m_lateness.segments;
        m_lateness.totalUs += now - lineEndUs;
        m_lineFreeUs = m_baud > 0 ? lineEndUs : now;
        m_queue.removeFirst();
        m_started = false;
    }
}
