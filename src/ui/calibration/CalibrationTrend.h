#pragma once

#include "model/ReadingTrend.h"

#include <QElapsedTimer>
#include <QWidget>
#include <array>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

// The live trend beside the calibration grid: the last minutes of each channel's readings as a
// share of its full scale, so the technician sees them settle before pressing Span. The points
// live in a bounded ring; each new reading replaces the series' points in one step.
class CalibrationTrend : public QWidget {
    Q_OBJECT
public:
    explicit CalibrationTrend(QWidget* parent = nullptr);

    // Names shown in the legend; an empty name hides the channel.
    void setChannelNames(const std::array<QString, ReadingTrend::Channels>& names);
    // One set of readings at `seconds` (by default the time since the trend was made).
    void addReadings(const std::array<float, ReadingTrend::Channels>& readings,
                     const std::array<float, ReadingTrend::Channels>& fullScales);
    void addReadingsAt(double seconds, const std::array<float, ReadingTrend::Channels>& readings,
                       const std::array<float, ReadingTrend::Channels>& fullScales);

    // Polling was paused: the next readings start a new stretch of line.
    void markGap() { m_data.markGap(); }
    const ReadingTrend& data() const { return m_data; }
    // The stretches of line drawn for a channel.
    int segmentCount(int channel) const;
    int pointCount(int channel) const;
    QString channelName(int channel) const;

private:
    ReadingTrend m_data;
    QElapsedTimer m_clock;
    QChart* m_chart;
    QChartView* m_view;
    QValueAxis* m_axisX;
    QValueAxis* m_axisY;
    QLineSeries* addSeries(int channel);
    // Per channel its stretches of line; the first carries the legend entry.
    std::array<QList<QLineSeries*>, ReadingTrend::Channels> m_series{};
};
