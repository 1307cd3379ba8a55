#pragma once

#include <QList>
#include <QPointF>
#include <array>
#include <vector>

// The last readings of the five channels for the live trend: a ring of a fixed number of
// samples, so a window left open for hours neither grows nor slows down. Each sample keeps the
// time in seconds and each channel's reading as a share of its full scale (percent), so that
// gases of different ranges share one axis; a channel without a reading has no point. Time
// without readings (polling paused for an adjustment, an instrument that stopped answering)
// is a gap: the line is broken there rather than drawn straight across it.
class ReadingTrend {
public:
    static constexpr int Channels = 5;
    static constexpr int DefaultCapacity = 300; // five minutes of one reading a second
    // Readings further apart than this have a gap between them (the poll is once a second).
    static constexpr double MaxStepSeconds = 3.0;

    explicit ReadingTrend(int capacity = DefaultCapacity);

    int capacity() const { return int(m_samples.size()); }
    int size() const { return m_count; }
    void clear() {
        m_count = 0;
        m_next = 0;
    }
    // The next reading starts a new stretch of line.
    void markGap() { m_gapPending = true; }

    // Readings below 0 (no value, instrument states) and full scales of 0 or less give no point.
    void append(double seconds, const std::array<float, Channels>& readings,
                const std::array<float, Channels>& fullScales);
    // Oldest first.
    QList<QPointF> points(int channel) const;
    // The same points as unbroken stretches, oldest first.
    QList<QList<QPointF>> segments(int channel) const;

private:
    struct Sample {
        double t = 0;
        std::array<float, Channels> percent{};
        std::array<bool, Channels> valid{};
        bool gapBefore = false;
    };
    std::vector<Sample> m_samples;
    int m_count = 0;
    int m_next = 0;
    bool m_gapPending = false;
    double m_lastT = 0;
};
