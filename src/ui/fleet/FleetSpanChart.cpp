#include "ui/fleet/FleetSpanChart.h"

#include "app/MessageTable.h"
#include "ui/common/WindowHelpers.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

FleetSpanChart::FleetSpanChart(QWidget* parent) : QWidget(parent) {
    m_cmbChannel = new QComboBox(this);
    m_cmbChannel->setObjectName(QStringLiteral("cmbChannel"));
    m_cmbChannel->setAccessibleName(LoadMessage(9733));
    auto* label = new QLabel(WithMnemonic(LoadMessage(9733), u'A'), this);
    label->setBuddy(m_cmbChannel);

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_before = new QLineSeries(m_chart);
    m_before->setName(LoadMessage(9734));
    m_before->setPointsVisible(true);
    m_after = new QLineSeries(m_chart);
    m_after->setName(LoadMessage(9735));
    m_after->setPointsVisible(true);
    m_chart->addSeries(m_before);
    m_chart->addSeries(m_after);
    auto* time = new QDateTimeAxis(m_chart);
    time->setFormat(QStringLiteral("yyyy/MM/dd"));
    auto* value = new QValueAxis(m_chart);
    m_chart->addAxis(time, Qt::AlignBottom);
    m_chart->addAxis(value, Qt::AlignLeft);
    for (QLineSeries* s : {m_before, m_after}) {
        s->attachAxis(time);
        s->attachAxis(value);
    }
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setMinimumHeight(160);

    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(m_cmbChannel);
    top->addStretch();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(top);
    outer->addWidget(m_view, 1);

    connect(m_cmbChannel, &QComboBox::currentIndexChanged, this, &FleetSpanChart::showChannel);
}

void FleetSpanChart::clear() {
    setHistory({});
}

void FleetSpanChart::setHistory(const QList<FleetEvent>& history) {
    m_spans = SpanReadings(history);
    const QSignalBlocker block(m_cmbChannel);
    const int kept = std::max(0, m_cmbChannel->currentIndex());
    m_cmbChannel->clear();
    for (int i = 0; i < Calibration::Channels; ++i) {
        const ChannelSpans& s = m_spans[std::size_t(i)];
        m_cmbChannel->addItem(s.gas.isEmpty() ? LoadMessage(9751, {QString::number(i + 1)})
                                              : QStringLiteral("%1: %2").arg(i + 1).arg(s.gas));
    }
    // The channel chosen before, else the first with readings.
    int channel = kept;
    if (m_spans[std::size_t(channel)].readings.isEmpty())
        for (int i = 0; i < Calibration::Channels; ++i)
            if (!m_spans[std::size_t(i)].readings.isEmpty()) {
                channel = i;
                break;
            }
    m_cmbChannel->setCurrentIndex(channel);
    showChannel(channel);
}

void FleetSpanChart::showChannel(int channel) {
    if (channel < 0 || channel >= Calibration::Channels)
        return;
    const ChannelSpans& spans = m_spans[std::size_t(channel)];
    QList<QPointF> before, after;
    double low = 0, high = 1;
    QDateTime first = QDateTime::currentDateTimeUtc().addDays(-1), last = first.addDays(2);
    if (!spans.readings.isEmpty()) {
        first = spans.readings.first().when;
        last = spans.readings.last().when;
        low = high = spans.readings.first().before;
    }
    for (const SpanReading& r : spans.readings) {
        const auto x = double(r.when.toMSecsSinceEpoch());
        before.append({x, r.before});
        after.append({x, r.after});
        low = std::min({low, r.before, r.after});
        high = std::max({high, r.before, r.after});
    }
    m_before->replace(before);
    m_after->replace(after);
    // Room around the points, so that a single span or a flat line still shows.
    const double pad = std::max((high - low) * 0.1, 1.0);
    const auto axes = m_chart->axes();
    for (QAbstractAxis* axis : axes) {
        if (auto* v = qobject_cast<QValueAxis*>(axis)) {
            v->setRange(low - pad, high + pad);
            v->setTitleText(spans.unit);
        } else if (auto* t = qobject_cast<QDateTimeAxis*>(axis)) {
            const qint64 span = std::max<qint64>(first.msecsTo(last), 86'400'000);
            t->setRange(first.addMSecs(-span / 10).toLocalTime(),
                        last.addMSecs(span / 10).toLocalTime());
        }
    }
    m_chart->setTitle(m_cmbChannel->currentText());
}
