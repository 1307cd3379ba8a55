#include "ui/calibration/CalibrationTrend.h"

#include "app/MessageTable.h"

#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {
// Seconds of history the x axis shows; the ring holds as many samples at one a second.
constexpr double WindowSeconds = ReadingTrend::DefaultCapacity;
const QColor ChannelColors[ReadingTrend::Channels] = {QColor(200, 40, 40), QColor(30, 110, 200),
                                                      QColor(200, 150, 0), QColor(60, 60, 60),
                                                      QColor(40, 160, 80)};
} // namespace

CalibrationTrend::CalibrationTrend(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CalibrationTrend"));
    m_clock.start();
    m_chart = new QChart;
    m_chart->setTitle(LoadMessage(5725));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_axisX = new QValueAxis(m_chart);
    m_axisX->setTitleText(LoadMessage(5726));
    m_axisX->setLabelFormat(QStringLiteral("%d"));
    m_axisX->setRange(0, 60);
    m_axisY = new QValueAxis(m_chart);
    m_axisY->setRange(0, 100);
    m_axisY->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    for (int i = 0; i < ReadingTrend::Channels; ++i)
        addSeries(i);
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    // Nothing to do in the chart with the keyboard; a screen reader names it by its title.
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->viewport()->setFocusPolicy(Qt::NoFocus);
    m_view->setAccessibleName(LoadMessage(5725));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(m_view);
    setMinimumSize(320, 220);
}

QLineSeries* CalibrationTrend::addSeries(int channel) {
    auto* series = new QLineSeries(m_chart);
    series->setColor(ChannelColors[channel]);
    m_chart->addSeries(series);
    series->attachAxis(m_axisX);
    series->attachAxis(m_axisY);
    if (!m_series[channel].isEmpty()) {
        series->setName(m_series[channel].first()->name());
        series->setVisible(m_series[channel].first()->isVisible());
        for (QLegendMarker* m : m_chart->legend()->markers(series))
            m->setVisible(false);
    }
    m_series[channel].append(series);
    return series;
}

void CalibrationTrend::setChannelNames(const std::array<QString, ReadingTrend::Channels>& names) {
    for (int i = 0; i < ReadingTrend::Channels; ++i) {
        for (QLineSeries* s : m_series[i]) {
            s->setName(names[i]);
            s->setVisible(!names[i].isEmpty());
        }
        for (qsizetype k = 1; k < m_series[i].size(); ++k)
            for (QLegendMarker* m : m_chart->legend()->markers(m_series[i][k]))
                m->setVisible(false);
    }
}

void CalibrationTrend::addReadings(const std::array<float, ReadingTrend::Channels>& readings,
                                   const std::array<float, ReadingTrend::Channels>& fullScales) {
    addReadingsAt(m_clock.elapsed() / 1000.0, readings, fullScales);
}

void CalibrationTrend::addReadingsAt(double seconds,
                                     const std::array<float, ReadingTrend::Channels>& readings,
                                     const std::array<float, ReadingTrend::Channels>& fullScales) {
    m_data.append(seconds, readings, fullScales);
    double top = 100;
    for (int i = 0; i < ReadingTrend::Channels; ++i) {
        const QList<QList<QPointF>> segments = m_data.segments(i);
        while (m_series[i].size() < segments.size())
            addSeries(i);
        for (qsizetype k = 0; k < m_series[i].size(); ++k)
            m_series[i][k]->replace(k < segments.size() ? segments[k] : QList<QPointF>());
        for (const QList<QPointF>& segment : segments)
            for (const QPointF& p : segment)
                top = std::max(top, p.y());
    }
    m_axisX->setRange(std::max(0.0, seconds - WindowSeconds), std::max(60.0, seconds));
    m_axisY->setRange(0, top);
}

QString CalibrationTrend::channelName(int channel) const {
    return channel >= 0 && channel < ReadingTrend::Channels ? m_series[channel].first()->name()
                                                            : QString();
}

int CalibrationTrend::pointCount(int channel) const {
    int n = 0;
    if (channel >= 0 && channel < ReadingTrend::Channels)
        for (const QLineSeries* s : m_series[channel])
            n += int(s->count());
    return n;
}

int CalibrationTrend::segmentCount(int channel) const {
    int n = 0;
    if (channel >= 0 && channel < ReadingTrend::Channels)
        for (const QLineSeries* s : m_series[channel])
            n += s->count() > 0 ? 1 : 0;
    return n;
}
