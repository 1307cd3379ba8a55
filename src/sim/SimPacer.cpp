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
    if (!m_timer.isActive())
        m_timer.start(0); // never emit from inside the caller
}

void SimPacer::clear() {
    ++m_generation;
    m_queue.clear();
    m_timer.stop();
    m_started = false;
    m_sent = 0;
    m_lineFreeUs = nowUs();
}

void SimPacer::armAt(qint64 dueUs) {
    const qint64 waitUs = dueUs - nowUs();
    m_timer.start(waitUs <= 0 ? 0 : waitUs);
}

void SimPacer::pump() {
    while (!m_queue.isEmpty()) {
        const Segment& head = m_queue.front();
        const qint64 now = nowUs();
        if (!m_started) {
            m_startUs = std::max(m_lineFreeUs + head.gapUs, head.notBeforeUs);
            m_started = true;
            m_sent = 0;
        }
        if (now < m_startUs) {
            armAt(m_startUs);
            return;
        }
        const qint64 size = head.bytes.size();
        qint64 due = size;
        if (m_baud > 0)
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
            // Wake when about a millisecond's worth more is due, or the rest.
            const qint64 chunkBytes = std::max<qint64>(1, m_baud / 10 / 1000);
            armAt(m_startUs + wireTimeUs(std::min(size, m_sent + chunkBytes), m_baud));
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
