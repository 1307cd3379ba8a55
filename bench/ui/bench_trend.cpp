// The calibration window's live trend over a long session: one set of five readings a second
// for two hours of simulated time, each added and the chart painted, as the window does on
// every poll. Printed: the cost of one poll (add and paint) once the ring is full, as a share
// of the one-second poll interval, and resident memory after the first ring and at the end
// (a bounded ring keeps both flat). Nothing passes or fails.
#include "ProcessMemory.h"
#include "ui/calibration/CalibrationTrend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int Seconds = 2 * 3600;
constexpr double PollMs = 1000.0;

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CalibrationTrend trend;
    trend.resize(480, 320);
    trend.setChannelNames({QStringLiteral("CH4"), QStringLiteral("O2"), QStringLiteral("H2S"),
                           QStringLiteral("CO"), QStringLiteral("CO2")});
    const std::array<float, 5> scales{100, 25, 100, 500, 5};
    QPixmap canvas(trend.size());
    std::vector<double> steadyMs;
    double rssAfterRing = 0;
    QElapsedTimer clock;
    for (int t = 0; t < Seconds; ++t) {
        std::array<float, 5> readings{};
        for (int i = 0; i < 5; ++i)
            readings[i] = float(scales[i] * (0.5 + 0.4 * std::sin(t / 30.0 + i)));
        clock.start();
        trend.addReadingsAt(t, readings, scales);
        trend.render(&canvas);
        const double ms = clock.nsecsElapsed() / 1e6;
        if (t >= ReadingTrend::DefaultCapacity)
            steadyMs.push_back(ms);
        if (t == ReadingTrend::DefaultCapacity)
            rssAfterRing = ProcessStatusMiB();
    }
    std::sort(steadyMs.begin(), steadyMs.end());
    const double median = steadyMs[steadyMs.size() / 2];
    const double worst = steadyMs.back();
    std::printf("Live trend, %d s of readings at one a second (ring of %d)\n", Seconds,
                ReadingTrend::DefaultCapacity);
    std::printf("  one poll (add and paint): median %.2f ms, worst %.2f ms; ratio median/poll "
                "interval %.4f\n",
                median, worst, median / PollMs);
    std::printf("  points kept per channel %d; resident memory %.1f MiB after the first ring, "
                "%.1f MiB at the end (ratio %.3f)\n",
                trend.pointCount(0), rssAfterRing, ProcessStatusMiB(),
                ProcessStatusMiB() / rssAfterRing);
    return 0;
}
