#include "ui/calibration/CalibrationTrend.h"

#include "app/MessageTable.h"

#include <QChart>
#include <QChartView>
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
    for (int i = 0; i < ReadingTrend::Channels; ++i) {
        m_series[i] = new QLineSeries(m_chart);
        m_series[i]->setColor(ChannelColors[i]);
        m_chart->addSeries(m_series[i]);
        m_series[i]->attachAxis(m_axisX);
        m_series[i]->attachAxis(m_axisY);
    }
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    // Nothing to do in the chart with the keyboard; a screen reader names it by its title.
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setAccessibleName(LoadMessage(5725));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(m_view);
    setMinimumSize(320, 220);
}

void CalibrationTrend::setChannelNames(const std::array<QString, ReadingTrend::Channels>& names) {
    for (int i = 0; i < ReadingTrend::Channels; ++i) {
        m_series[i]->setName(names[i]);
        m_series[i]->setVisible(!names[i].isEmpty());
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
        const QList<QPointF> points = m_data.points(i);
        m_series[i]->replace(points);
        for (const QPointF& p : points)
            top = std::max(top, p.y());
    }
    m_axisX->setRange(std::max(0.0, seconds - WindowSeconds), std::max(60.0, seconds));
    m_axisY->setRange(0, top);
}

QString CalibrationTrend::channelName(int channel) const {
    return channel >= 0 && channel < ReadingTrend::Channels ? m_series[channel]->name() : QString();
}

int CalibrationTrend::pointCount(int channel) const {
    return channel >= 0 && channel < ReadingTrend::Channels ? int(m_series[channel]->count()) : 0;
}
