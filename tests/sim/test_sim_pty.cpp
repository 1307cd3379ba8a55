// The tq5800-sim program on a real pseudo-terminal, driven with plain POSIX calls.

#include "support/SimTestSupport.h"

#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int StartLimitMs = 5000;

int openPort(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        termios tio{};
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
    }
    return fd;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
    }
    return true;
}

// Reads until a block ends (EOT or ETB) or the limit passes; poll() does the waiting.
QByteArray readBlock(int fd, int limitMs = simtest::ReplyWaitMs) {
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limitMs) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(limitMs - t.elapsed())) <= 0)
            break;
        char buf[1024];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
        if (got.contains('\x04') || got.contains('\x17'))
            break;
    }
    return got;
}

// Reads whatever arrives within the limit.
QByteArray readFor(int fd, int limitMs) {
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limitMs) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(limitMs - t.elapsed())) <= 0)
            break;
        char buf[1024];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
    }
    return got;
}

class SimProcess {
public:
    explicit SimProcess(const QStringList& args) {
        m_process.setProgram(QStringLiteral(TQ5800_SIM_BINARY));
        m_process.setArguments(args);
        m_process.start();
    }
    ~SimProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(StartLimitMs);
        }
    }
    QByteArray firstLine() {
        QElapsedTimer t;
        t.start();
        while (!m_process.canReadLine() && t.elapsed() < StartLimitMs)
            m_process.waitForReadyRead(int(StartLimitMs - t.elapsed()));
        return m_process.readLine().trimmed();
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace

class tst_SimPty : public QObject {
    Q_OBJECT
private slots:
    void servesAndSurvivesReopen();
    void powerOffLastsUntilReopen();
    void pacedAtTheGivenSpeed();
    void helpDocumentsOptionsAndFaults();
    void badOptionsAreUsageErrors();
    void writesTheCheckImage();
};

void tst_SimPty::servesAndSurvivesReopen() {
    SimProcess sim({QStringLiteral("--pty")});
    const QByteArray path = sim.firstLine();
    QVERIFY2(path.startsWith("/dev/"), path.constData());

    int fd = openPort(path);
    QVERIFY(fd >= 0);
    QVERIFY(writeAll(fd, simtest::frame("VP,R,")));
    QCOMPARE(readBlock(fd), simtest::frame("VP,R,4426"));
    // A bad checksum is not answered; what follows still is.
    QByteArray bad = simtest::frame("RC,R,");
    bad[bad.size() - 2] = '0';
    QVERIFY(writeAll(fd, bad + simtest::frame("XS,R,****")));
    QVERIFY(simtest::readReply(readBlock(fd)).key == "XS,R");
    ::close(fd);

    for (int round = 0; round < 2; ++round) {
        fd = openPort(path);
        QVERIFY(fd >= 0);
        QVERIFY(writeAll(fd, simtest::frame("VP,R,")));
        QCOMPARE(readBlock(fd), simtest::frame("VP,R,4426"));
        ::close(fd);
    }

    sim.process().terminate(); // SIGTERM
    QVERIFY(sim.process().waitForFinished(StartLimitMs));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
}

void tst_SimPty::powerOffLastsUntilReopen() {
    SimProcess sim({QStringLiteral("--pty")});
    const QByteArray path = sim.firstLine();
    int fd = openPort(path);
    QVERIFY(fd >= 0);
    QVERIFY(writeAll(fd, simtest::frame("RO,W,")));
    QCOMPARE(simtest::readReply(readBlock(fd)).status, '\x06');
    QVERIFY(writeAll(fd, simtest::frame("RC,R,")));
    QVERIFY(readFor(fd, simtest::QuietWaitMs).isEmpty());
    ::close(fd);
    // Reopened at once: the simulator must still see the close and the reopen, in order.
    fd = openPort(path);
    QVERIFY(fd >= 0);
    QVERIFY(writeAll(fd, simtest::frame("RC,R,")));
    const QByteArray reply = readBlock(fd);
    QCOMPARE(simtest::readReply(reply).key, QByteArray("RC,R"));
    ::close(fd);

    ::kill(pid_t(sim.process().processId()), SIGINT);
    QVERIFY(sim.process().waitForFinished(StartLimitMs));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
}

void tst_SimPty::pacedAtTheGivenSpeed() {
    SimProcess sim({QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("38400")});
    const QByteArray path = sim.firstLine();
    const int fd = openPort(path);
    QVERIFY(fd >= 0);
    QVERIFY(writeAll(fd, simtest::frame("VP,R,"))); // let the simulator see the port open
    QCOMPARE(readBlock(fd), simtest::frame("VP,R,4426"));
    const QByteArray request = simtest::frame("EP,R,0000");
    QElapsedTimer t;
    t.start();
    QVERIFY(writeAll(fd, request));
    QByteArray got;
    while (got.size() < 512 && t.elapsed() < simtest::ReplyWaitMs)
        got += readFor(fd, 20);
    const qint64 elapsedMs = t.elapsed();
    QCOMPARE(got.size(), 512);
    const double nominalMs = double(request.size() + 512) * 10 * 1000 / 38400; // 137 ms
    QVERIFY2(elapsedMs >= nominalMs * 0.95 && elapsedMs <= nominalMs * 1.5,
             qPrintable(QString::number(elapsedMs)));
    ::close(fd);
}

void tst_SimPty::helpDocumentsOptionsAndFaults() {
    QProcess p;
    p.start(QStringLiteral(TQ5800_SIM_BINARY), {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(StartLimitMs));
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char* word : {"--pty", "--baud", "--faults", "--seed", "--write-check-image",
                             "drop=N", "split=N:MS", "failfirst", "withhold=B"})
        QVERIFY2(help.contains(QLatin1String(word)), word);
}

void tst_SimPty::badOptionsAreUsageErrors() {
    for (const QStringList& args :
         {QStringList{QStringLiteral("--pty"), QStringLiteral("--faults"),
                      QStringLiteral("drop=0")},
          QStringList{QStringLiteral("--pty"), QStringLiteral("--baud"), QStringLiteral("fast")},
          QStringList{}}) {
        QProcess p;
        p.start(QStringLiteral(TQ5800_SIM_BINARY), args);
        QVERIFY(p.waitForFinished(StartLimitMs));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(!p.readAllStandardError().isEmpty());
    }
}

void tst_SimPty::writesTheCheckImage() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("check.dat"));
    QProcess p;
    p.start(QStringLiteral(TQ5800_SIM_BINARY), {QStringLiteral("--write-check-image"), path});
    QVERIFY(p.waitForFinished(StartLimitMs));
    QCOMPARE(p.exitCode(), 0);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll() == SimLoggerMemory::checkImage());
}

QTEST_GUILESS_MAIN(tst_SimPty)
#include "test_sim_pty.moc"
