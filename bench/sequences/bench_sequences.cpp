// What users wait for, as ratios to the line: a full read and a logger download against
// tq5800-sim on a pseudo-terminal paced at 921600 baud, each compared with the time its bytes
// need on the wire (10 bits a byte, request and reply bytes counted), and the link's own cost
// per exchange against the unpaced simulator. Where the time beyond the wire goes is printed
// beside each ratio: the simulator's share (how much later than the line allows its replies'
// last bytes left, as it reports on exit), the link's (last reply bytes read until the next
// request is written) and the rest, which the pseudo-terminal and the scheduler take in
// passing bytes between the two processes. Figures are printed; nothing passes or fails.
#include "link/SerialPortControl.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"
#include "ops/DumpSequences.h"
#include "ops/ReadSequences.h"
#include "state/AppState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Baud = 921600;
constexpr int StartLimitMs = 5000;
constexpr int ReadRuns = 7;
constexpr int DownloadRuns = 3;
constexpr int Exchanges = 2000;

// The serial port with the bytes each way and the link's turnaround time.
class MeasuredPort : public SerialPortControl {
public:
    explicit MeasuredPort(QObject* parent) : SerialPortControl(parent) { m_clock.start(); }

    qint64 write(const QByteArray& bytes) override {
        const qint64 now = m_clock.nsecsElapsed();
        if (m_lastRead >= 0 && m_lastRead > m_lastWrite)
            m_linkNs += now - m_lastRead;
        m_lastWrite = now;
        m_bytes += bytes.size();
        ++m_requests;
        return SerialPortControl::write(bytes);
    }
    QByteArray readAll() override {
        const QByteArray b = SerialPortControl::readAll();
        m_lastRead = m_clock.nsecsElapsed();
        m_bytes += b.size();
        return b;
    }

    struct Counts {
        qint64 bytes = 0;
        qint64 requests = 0;
        qint64 linkNs = 0;
    };
    Counts take() {
        const Counts c{m_bytes, m_requests, m_linkNs};
        m_bytes = m_requests = m_linkNs = 0;
        m_lastRead = -1;
        return c;
    }

private:
    QElapsedTimer m_clock;
    qint64 m_lastWrite = 0;
    qint64 m_lastRead = -1;
    qint64 m_bytes = 0;
    qint64 m_requests = 0;
    qint64 m_linkNs = 0;
};

double wireMs(qint64 bytes, int baud) {
    return double(bytes) * 10.0 * 1000.0 / baud;
}

struct Run {
    double ms = 0;
    MeasuredPort::Counts counts;
    double ratio() const { return ms / wireMs(counts.bytes, Baud); }
};

// The simulator's own share of the time, in milliseconds a reply; negative when unknown.
void report(const char* what, std::vector<Run> runs, double target, double simulatorMs) {
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.ratio() < b.ratio(); });
    const Run& m = runs[runs.size() / 2];
    const double n = double(std::max<qint64>(1, m.counts.requests));
    const double wire = wireMs(m.counts.bytes, Baud);
    const double link = m.counts.linkNs / 1e6 / n;
    std::printf("%s\n", what);
    std::printf("  %.1f ms for %lld bytes in %lld requests; wire time %.1f ms\n", m.ms,
                static_cast<long long>(m.counts.bytes), static_cast<long long>(m.counts.requests),
                wire);
    std::printf("  ratio to wire time %.3f (median of %zu, best %.3f, worst %.3f; target <= "
                "%.2f)\n",
                m.ratio(), runs.size(), runs.front().ratio(), runs.back().ratio(), target);
    const QByteArray simulator =
        simulatorMs < 0 ? QByteArray("unknown") : QByteArray::number(simulatorMs, 'f', 3) + " ms";
    std::printf("  per request: wire time %.3f ms, and beyond it %.3f ms: simulator %s (its "
                "replies' last bytes left that much later than the line allows, on average), "
                "link %.3f ms (last reply bytes read to next request written), pseudo-terminal "
                "and scheduling %.3f ms (the rest)\n",
                wire / n, (m.ms - wire) / n, simulator.constData(), link,
                (m.ms - wire) / n - link - std::max(0.0, simulatorMs));
}

bool connectLink(uclHbif& link) {
    QElapsedTimer t;
    t.start();
    link.ActivePort()->open();
    link.waitWhile([&] { return !link.Connected() && t.elapsed() < StartLimitMs; });
    return link.Connected();
}

// The simulator program on a pseudo-terminal and a link on it.
class PtySession {
public:
    explicit PtySession(const QStringList& simArgs) {
        m_sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tq5800-sim"),
                    QStringList{QStringLiteral("--pty"), QStringLiteral("--report-timing")} +
                        simArgs);
        if (!m_sim.waitForStarted(StartLimitMs) || !m_sim.waitForReadyRead(StartLimitMs))
            return;
        const QString pty = QString::fromLocal8Bit(m_sim.readLine()).trimmed();
        port = new MeasuredPort(&link);
        port->setPortName(pty);
        link.setSerialControl(port);
        port->setSettings(QStringLiteral("921600,n,8,1"));
        link.setInstrument(&record);
        m_ok = connectLink(link);
    }
    ~PtySession() { finish(); }
    bool ok() const { return m_ok; }

    // Ends the simulator; what it reported of its own time, in milliseconds a reply, or -1.
    double finish() {
        if (m_sim.state() == QProcess::NotRunning)
            return -1;
        if (port) // no port when the simulator never named its pseudo-terminal
            port->close();
        m_sim.terminate();
        if (!m_sim.waitForFinished(StartLimitMs))
            return -1;
        // "replies N, beyond the line X us each"
        static const QRegularExpression line(QStringLiteral("beyond the line ([0-9.]+) us"));
        const QRegularExpressionMatch m =
            line.match(QString::fromLocal8Bit(m_sim.readAllStandardOutput()));
        return m.hasMatch() ? m.captured(1).toDouble() / 1000.0 : -1;
    }

    std::vector<Run> measure(int runs, const std::function<bool()>& operation) {
        std::vector<Run> out;
        for (int i = 0; i < runs; ++i) {
            port->take();
            QElapsedTimer t;
            t.start();
            if (!operation())
                return {};
            const double ms = t.nsecsElapsed() / 1e6;
            out.push_back({ms, port->take()});
        }
        return out;
    }

    clsInstrument record;
    uclHbif link;
    MeasuredPort* port = nullptr;

private:
    QProcess m_sim;
    bool m_ok = false;
};

int pacedFigures(const QString& image) {
    // A simulator for each operation, so that what it reports of its own time is that
    // operation's.
    const QStringList paced{QStringLiteral("--baud"), QString::number(Baud)};
    PtySession r(paced);
    if (!r.ok()) {
        std::fprintf(stderr, "bench_sequences: tq5800-sim --baud %d did not answer\n", Baud);
        return 1;
    }
    ReadSequences reads(r.link);
    const auto readRuns = r.measure(ReadRuns, [&] { return reads.GetInstrument(&r.record); });
    const double readSimulatorMs = r.finish();
    PtySession d(paced);
    if (!d.ok()) {
        std::fprintf(stderr, "bench_sequences: tq5800-sim --baud %d did not answer\n", Baud);
        return 1;
    }
    DumpSequences dumps(d.link);
    const auto dumpRuns = d.measure(
        DownloadRuns, [&] { return dumps.GetBinDump(image, 0, DumpSequences::MemoryBlocks - 1); });
    const double dumpSimulatorMs = d.finish();
    if (readRuns.empty() || dumpRuns.empty()) {
        std::fprintf(stderr, "bench_sequences: a paced run failed\n");
        return 1;
    }
    report("Full read, tq5800-sim --pty --baud 921600", readRuns, 1.2, readSimulatorMs);
    report("Logger download, tq5800-sim --pty --baud 921600", dumpRuns, 1.05, dumpSimulatorMs);
    return 0;
}

int unpacedPtyFigures(const QString& image) {
    PtySession s({});
    if (!s.ok()) {
        std::fprintf(stderr, "bench_sequences: tq5800-sim did not answer\n");
        return 1;
    }
    ReadSequences reads(s.link);
    const auto readRuns = s.measure(ReadRuns, [&] { return reads.GetInstrument(&s.record); });
    DumpSequences dumps(s.link);
    const auto dumpRuns = s.measure(
        DownloadRuns, [&] { return dumps.GetBinDump(image, 0, DumpSequences::MemoryBlocks - 1); });
    if (readRuns.empty() || dumpRuns.empty())
        return 1;
    const Run& r = readRuns[readRuns.size() / 2];
    const Run& d = dumpRuns[dumpRuns.size() / 2];
    std::printf("Unpaced tq5800-sim --pty (link and pseudo-terminal without line time)\n");
    std::printf("  full read %.1f ms, %.3f ms per request; download %.1f ms, %.3f ms per block\n",
                r.ms, r.ms / double(r.counts.requests), d.ms, d.ms / double(d.counts.requests));
    return 0;
}

int inProcessFigures() {
    clsInstrument record;
    uclHbif link;
    link.setSerialControl(new SimPortControl(SimOptions{}, &link));
    link.setInstrument(&record);
    if (!connectLink(link)) {
        std::fprintf(stderr, "bench_sequences: the in-process simulator did not answer\n");
        return 1;
    }
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Exchanges; ++i) {
        if (!link.Exchange(QStringLiteral("VP,R,"), LinkStatus::WaitRead))
            return 1;
    }
    const double perExchange = t.nsecsElapsed() / 1e6 / Exchanges;
    ReadSequences reads(link);
    t.restart();
    if (!reads.GetInstrument(&record))
        return 1;
    const double perRead = t.nsecsElapsed() / 1e6 / 190;
    std::printf("Link cost per exchange, unpaced in-process simulator\n");
    std::printf("  %.4f ms per \"VP,R,\" exchange (%d in a row), %.4f ms per exchange of a full "
                "read (target <= 0.30)\n",
                perExchange, Exchanges, perRead);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    resetAppState();
    // The communication log is written as in the program: it is part of the cost.
    appState().StartFolder = folder.path();
    const QString image = folder.path() + QStringLiteral("/TQ5800.DAT");
    int rc = pacedFigures(image);
    if (rc == 0)
        rc = unpacedPtyFigures(image);
    if (rc == 0)
        rc = inProcessFigures();
    return rc;
}
