#include "model/ReadingTrend.h"

#include <algorithm>

ReadingTrend::ReadingTrend(int capacity) : m_samples(size_t(std::max(capacity, 1))) {}

void ReadingTrend::append(double seconds, const std::array<float, Channels>& readings,
                          const std::array<float, Channels>& fullScales) {
    Sample& s = m_samples[size_t(m_next)];
    s.t = seconds;
    s.gapBefore = m_gapPending || (m_count > 0 && seconds - m_lastT > MaxStepSeconds);
    m_gapPending = false;
    m_lastT = seconds;
    for (int i = 0; i < Channels; ++i) {
        s.valid[i] = readings[i] >= 0 && fullScales[i] > 0;
        s.percent[i] = s.valid[i] ? 100.0f * readings[i] / fullScales[i] : 0.0f;
    }
    m_next = (m_next + 1) % capacity();
    m_count = std::min(m_count + 1, capacity());
}

QList<QPointF> ReadingTrend::points(int channel) const {
    QList<QPointF> out;
    for (const QList<QPointF>& segment : segments(channel))
        out += segment;
    return out;
}

QList<QList<QPointF>> ReadingTrend::segments(int channel) const {
    QList<QList<QPointF>> out;
    if (channel < 0 || channel >= Channels)
        return out;
    const int first = (m_next - m_count + capacity()) % capacity();
    bool broken = true;
    for (int k = 0; k < m_count; ++k) {
        const Sample& s = m_samples[size_t((first + k) % capacity())];
        if (!s.valid[channel] || s.gapBefore)
            broken = true;
        if (!s.valid[channel])
            continue;
        if (broken)
            out.append(QList<QPointF>());
        out.last().append(QPointF(s.t, s.percent[channel]));
        broken = false;
    }
    return out;
}
