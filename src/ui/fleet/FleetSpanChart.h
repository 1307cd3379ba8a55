#pragma once

#include "ui/fleet/FleetHistoryData.h"

#include <QWidget>

class QChart;
class QChartView;
class QComboBox;
class QLineSeries;

// One channel's span readings over an instrument's life, "before" and "after" each span: a
// sensor losing sensitivity shows as a falling "before" line. The channel is chosen above it.
class FleetSpanChart : public QWidget {
    Q_OBJECT
public:
    explicit FleetSpanChart(QWidget* parent = nullptr);

    void setHistory(const QList<FleetEvent>& history);
    void clear();
    QComboBox* cmbChannel() const { return m_cmbChannel; }
    QLineSeries* beforeSeries() const { return m_before; }
    QLineSeries* afterSeries() const { return m_after; }

private:
    void showChannel(int channel);

    std::array<ChannelSpans, Calibration::Channels> m_spans;
    QComboBox* m_cmbChannel = nullptr;
    QChartView* m_view = nullptr;
    QChart* m_chart = nullptr;
    QLineSeries* m_before = nullptr;
    QLineSeries* m_after = nullptr;
};
