// The main window as a user drives it: a full read and a logger download through the
// window's own buttons, against tq5800-sim on a pseudo-terminal paced at 921600 baud. A 1 ms
// timer on the window's event loop records the longest gap between its ticks (the longest the
// window could not repaint or take a click), and the process's resident memory is read before,
// after and at its peak. Figures are printed; nothing passes or fails.
#include "ProcessMemory.h"
#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "state/AppState.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/main/frmMain.h"
#include "ui/shell/StartupOptions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int StartLimitMs = 5000;
constexpr int Runs = 3;

// The longest gap between ticks of a 1 ms timer while `work` runs.
struct Stall {
    double ms = 0;
    double longestGapMs = 0;
    double gapEndsAtMs = 0; // when the longest gap ended, from the command's start
};
template <typename F> Stall measure(F work) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestEnd = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (now - last > longest) {
            longest = now - last;
            longestEnd = now;
        }
        last = now;
    });
    tick.start(1);
    clock.start();
    work();
    const qint64 end = clock.nsecsElapsed();
    if (end - last > longest) {
        longest = end - last;
        longestEnd = end;
    }
    return {end / 1e6, longest / 1e6, longestEnd / 1e6};
}

void report(const char* what, std::vector<Stall> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Stall& a, const Stall& b) { return a.longestGapMs < b.longestGapMs; });
    std::printf("%s (%zu runs)\n", what, runs.size());
    std::printf("  longest event-loop gap: worst %.1f ms, median %.1f ms (target < 20 ms); "
                "ratio worst/target %.2f\n",
                runs.back().longestGapMs, runs[runs.size() / 2].longestGapMs,
                runs.back().longestGapMs / 20.0);
    std::printf("  command time: median %.0f ms; the worst gap ended %.0f ms after the start\n",
                runs[runs.size() / 2].ms, runs.back().gapEndsAtMs);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tq5800-sim"),
              {QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("921600")});
    if (!sim.waitForStarted(StartLimitMs) || !sim.waitForReadyRead(StartLimitMs)) {
        std::fprintf(stderr, "bench_mainwindow: tq5800-sim did not start\n");
        return 1;
    }
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QTemporaryDir dir;
    resetAppState();
    SetMessageLanguage(QStringLiteral("en"));
    AppState& s = appState();
    s.StartFolder = dir.path();
    s.DebugMode = true;
    ScopedScriptedUi scripted;
    const double rssStart = ProcessStatusMiB("VmRSS");

    int rc = 0;
    {
        StartupOptions o;
        o.port = pty;
        frmMain w(o);
        w.show();
        w.FirstActivate();
        uclHbif* link = w.link();
        QElapsedTimer t;
        t.start();
        while (!link->Connected() && t.elapsed() < StartLimitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!link->Connected()) {
            std::fprintf(stderr, "bench_mainwindow: no connection on %s\n", qPrintable(pty));
            rc = 1;
        } else {
            std::vector<Stall> reads, downloads;
            for (int i = 0; i < Runs; ++i)
                reads.push_back(measure([&] { w.command_Click(MainButton::Read); }));
            for (int i = 0; i < Runs; ++i)
                downloads.push_back(measure([&] { w.command_Click(MainButton::Download); }));
            if (QFileInfo(dir.filePath(QStringLiteral("TQ5800.DAT"))).size() != 524288) {
                std::fprintf(stderr, "bench_mainwindow: the download did not complete\n");
                rc = 1;
            }
            report("Full read through the window", reads);
            report("Logger download through the window (512 KiB)", downloads);
        }
        std::printf("Resident memory: %.1f MiB at start, %.1f MiB with the window after the "
                    "commands, peak %.1f MiB (target < 80 MiB); ratio peak/target %.2f\n",
                    rssStart, ProcessStatusMiB("VmRSS"), ProcessStatusMiB("VmHWM"),
                    ProcessStatusMiB("VmHWM") / 80.0);
    }
    sim.terminate();
    sim.waitForFinished(StartLimitMs);
    return rc;
}
