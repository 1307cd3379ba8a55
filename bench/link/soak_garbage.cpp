// A babbling instrument for as long as asked: the port delivers random bytes (with the frame
// control characters among them) far faster than any line rate while the link keeps starting
// read exchanges, and the process's resident memory, the bytes fed and the communication log's
// size are printed every few seconds. A measurement, not a test: the figures should stay flat.
//   soak_garbage [SECONDS=60] [BYTES_PER_10MS=16384]
#include "ProcessMemory.h"
#include "link/ScriptedPortControl.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"
#include "support/LinkTestAccess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

QByteArray garbage(QRandomGenerator& rng, int size) {
    static const char controls[] = {'\x02', '\x03', '\x04', '\x06', '\x0d', '\x15', '\x17'};
    QByteArray out(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        const quint32 r = rng.generate();
        // One byte in 64 a frame control character, the rest anything.
        out[i] = (r & 63) == 0 ? controls[(r >> 8) % sizeof controls] : char(r >> 16);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    const int chunk = argc > 2 ? QByteArray(argv[2]).toInt() : 16384;

    QTemporaryDir dir;
    resetAppState();
    appState().StartFolder = dir.path();
    const QString logPath = dir.filePath(QStringLiteral("SerialLog.log"));

    clsInstrument record;
    uclHbif link;
    auto* port = new ScriptedPortControl(&link);
    link.setSerialControl(port);
    port->open();
    link.setInstrument(&record);
    link.setLinkTickInterval(10);
    link.setTimeout(1);
    LinkTestAccess::setLinkMode(link, ConnectMode::Connected);

    QRandomGenerator rng(5800);
    qint64 fed = 0;
    QTimer flood;
    QObject::connect(&flood, &QTimer::timeout, [&] {
        port->inject(garbage(rng, chunk));
        fed += chunk;
    });
    flood.start(10);

    QElapsedTimer clock;
    clock.start();
    qint64 exchanges = 0, nextReport = 0, logRemoved = 0;
    std::printf("seconds  rss_kb  fed_mb  exchanges  rx_buffer  log_kb (written in all)\n");
    while (clock.elapsed() < qint64(seconds) * 1000) {
        link.Exchange(QStringLiteral("VP,R,"), LinkStatus::WaitRead);
        ++exchanges;
        port->clearWrites(); // the test port's own record of writes is not the link's memory
        if (clock.elapsed() >= nextReport) {
            std::printf("%7lld  %6lld  %6.1f  %9lld  %9lld  %6lld\n", clock.elapsed() / 1000,
                        ProcessStatusKb(), double(fed) / 1e6, exchanges,
                        qlonglong(link.RxBuffer().size()),
                        (logRemoved + QFileInfo(logPath).size()) / 1024);
            std::fflush(stdout);
            nextReport += 10000;
            // The log is measured, not kept: the disk of the machine running this is shared.
            const qint64 logSize = QFileInfo(logPath).size();
            if (logSize > 256LL * 1024 * 1024 && QFile::remove(logPath))
                logRemoved += logSize;
        }
    }
    flood.stop();
    std::printf("end: %lld s, rss %lld kB, %.1f MB fed, %lld exchanges\n", clock.elapsed() / 1000,
                ProcessStatusKb(), double(fed) / 1e6, exchanges);
    return 0;
}
