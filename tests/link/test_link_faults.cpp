// The link when the line, the adapter or the instrument misbehave: every exchange ends, no
// failure passes for success, nothing is lost or stored twice.

#include "app/MessageTable.h"
#include "link/Frame.h"
#include "ops/DumpSequences.h"
#include "ops/InstrumentFlows.h"
#include "ops/OperationSequences.h"
#include "ops/ReadSequences.h"
#include "ops/WriteSequences.h"
#include "support/LinkTestAccess.h"
#include "support/SequenceTestSupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <random>

using linktest::reply;
using seqtest::ScriptedLink;
using seqtest::SimLink;
using seqtest::Watchdog;

namespace {

// What the operator runs while the line goes.
enum class Operation { Read, Update, Download, Clear, FramDump, Zero };

// Runs one operation on a connected link; true when it reported success.
QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool run(Operation op, SimLink& s, const QString& folder) {
    switch (op) {
    case Operation::Read:
        return ReadSequences(s.link).GetInstrument(&s.record);
    case Operation::Update:
        return WriteSequences(s.link).SetInstrument(&s.record);
    case Operation::Download:
        return DumpSequences(s.link).GetBinDump(folder + "/image.dat", 0, 1023);
    case Operation::Clear:
        return OperationSequences(s.link).BodyDataClear();
    case Operation::FramDump:
        return DumpSequences(s.link).GetRomDump2(folder + "/DumpEF.dat");
    case Operation::Zero:
        return OperationSequences(s.link).ZeroCal("11111");
    }
    return false;
}
// How the line goes.
enum class Loss { Cable, Adapter };

// A record with settings changed in three steps of the write order: BS number (first),
// user ID (second) and alarm mode (eighth).
void changeThreeSteps(clsInstrument& r) {
    r.setSpecNo(QStringLiteral("BSNO-9"));
    r.setUserID(QStringLiteral("USER-9"));
    r.setAlarmMode(qint16(r.AlarmMode() == 0 ? 1 : 0));
}

} // namespace

class TestLinkFaults : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { SetMessageLanguage("en"); }

    void lostLineFailsTheOperation_data() {
        QTest::addColumn<Operation>("op");
        QTest::addColumn<Loss>("loss");
        QTest::addColumn<int>("after"); // commands the instrument has received when it goes
        QTest::newRow("read, cable") << Operation::Read << Loss::Cable << 40;
        QTest::newRow("read, adapter") << Operation::Read << Loss::Adapter << 3;
        QTest::newRow("update, cable") << Operation::Update << Loss::Cable << 2;
        QTest::newRow("update, adapter") << Operation::Update << Loss::Adapter << 2;
        QTest::newRow("download, cable") << Operation::Download << Loss::Cable << 100;
        QTest::newRow("download, adapter") << Operation::Download << Loss::Adapter << 7;
        QTest::newRow("clear, adapter") << Operation::Clear << Loss::Adapter << 2;
        QTest::newRow("fram dump, cable") << Operation::FramDump << Loss::Cable << 1;
        QTest::newRow("zero, adapter") << Operation::Zero << Loss::Adapter << 2;
    }
    void lostLineFailsTheOperation() {
        QFETCH(Operation, op);
        QFETCH(Loss, loss);
        QFETCH(int, after);
        SimLink s;
        QVERIFY(s.connect());
        s.link.setAutoReopen(true);
        QSignalSpy down(&s.link, &uclHbif::OnDisconnect);
        QSignalSpy connected(&s.link, &uclHbif::OnConnect);
        s.port->setCommandHook([&](int n) {
            if (n != after)
                return;
            if (loss == Loss::Cable)
                s.port->setCableConnected(false);
            else
                s.port->setAdapterPresent(false);
        });
        if (op == Operation::Update)
            changeThreeSteps(s.record);

        s.link.Timings().ClearPollTicks = 3;
        Watchdog dog(s.link);
        const bool ok = run(op, s, m_dir.path());
        QVERIFY(!dog.fired());
        QVERIFY(!ok);
        QVERIFY(!s.link.Connected());
        QTRY_COMPARE(down.size(), 1); // once, though both lines went
        QCOMPARE(s.sim().commandCount(op == Operation::Download ? "EP,R" : "DW,W"),
                 op == Operation::Download ? after : 0);
        if (op == Operation::Update) {
            // The first step was confirmed; the one whose reply never came and the later
            // ones were not.
            QVERIFY(!s.record.Change_SpecNo());
            QVERIFY(s.record.Change_UserID());
            QVERIFY(s.record.Change_AlarmMode());
        }

        // Back: the program finds the line again by itself.
        connected.clear();
        s.port->setCommandHook({});
        if (loss == Loss::Cable)
            s.port->setCableConnected(true);
        else
            s.port->setAdapterPresent(true);
        QTRY_VERIFY_WITH_TIMEOUT(s.link.Connected(), seqtest::ConnectLimitMs);
        QCOMPARE(connected.size(), 1);
        if (loss == Loss::Adapter)
            QCOMPARE(s.log.count("--- Adapter back on "), 1);
        if (op == Operation::Update)
            QVERIFY(WriteSequences(s.link).SetInstrument(&s.record));
    }

    // Every fault of the simulator against every operation: each ends, reports what happened,
    // leaves its files whole and the link ready for the next command.
    void faultMatrix_data() {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<Operation>("op");
        const std::pair<const char*, Operation> ops[] = {
            {"read", Operation::Read},         {"write", Operation::Update},
            {"download", Operation::Download}, {"fram dump", Operation::FramDump},
            {"clear", Operation::Clear},       {"zero", Operation::Zero},
        };
        for (const char* f : {"drop=3", "delay=4", "corrupt=4", "split=7:1", "garbage=300:5",
                              "garbage=600:40", "noise=3000:2", "silent=30", "failfirst"})
            for (const auto& [name, op] : ops)
                QTest::addRow("%s, %s", f, name) << QString(f) << op;
    }
    void faultMatrix() {
        QFETCH(QString, faults);
        QFETCH(Operation, op);
        SimLink s;
        QVERIFY(s.connect());
        s.link.Timings().ClearPollTicks = 3;
        s.link.Timings().ZeroPollTicks = 3;
        changeThreeSteps(s.record);
        QVERIFY(s.sim().setFaults(faults));
        const QString file = m_dir.filePath(op == Operation::Download ? "image.dat" : "DumpEF.dat");
        const QByteArray before = readFile(file);
        Watchdog dog(s.link);
        const bool ok = run(op, s, m_dir.path());
        QVERIFY(!dog.fired());
        QVERIFY(!IsWaiting(s.link.Status()));
        if (op == Operation::Update)
            QCOMPARE(s.record.Change_AlarmMode(), !ok); // flags go with confirmed steps only
        // A dump's file is replaced by a complete run only; a failed one leaves it as it was.
        if ((op == Operation::Download || op == Operation::FramDump) && !ok)
            QCOMPARE(readFile(file), before);
        // A raw block carries no checksum: a corrupted byte cannot be seen, a lost or a
        // surplus one can.
        if (op == Operation::Download && ok && !faults.startsWith("corrupt"))
            QCOMPARE(readFile(file), s.sim().state().memory.bytes());
        if (op == Operation::Download && ok)
            QCOMPARE(readFile(file).size(), DumpSequences::ImageSize);
        if (op == Operation::FramDump && ok)
            QVERIFY(readFile(file).contains(";\tTotal Download Time = "));
        // The link is ready for the next command.
        QVERIFY(s.sim().setFaults(QString()));
        QVERIFY(ReadSequences(s.link).ReadSingle("VP,R,", &s.record));
        QVERIFY(!dog.fired());
    }

    void portErrorsAreFailures_data() {
        QTest::addColumn<int>("code");
        QTest::newRow("send buffer") << int(PortEvent::SendOverflow);
        QTest::newRow("device control") << int(PortEvent::DeviceControlError);
    }
    void portErrorsAreFailures() {
        QFETCH(int, code);
        ScriptedLink s;
        // Everything is acknowledged but the alarm mode and the clock, which meet the error.
        s.port->setResponder([&s, code](const QByteArray& w) -> QByteArray {
            const QString p = linksupport::Payload(w);
            if (p.startsWith("AP,W") || p.startsWith("HC,W")) {
                s.port->injectEvent(code);
                return QByteArray();
            }
            // Identity texts come back as their echo, the rest as a bare acknowledgement.
            const QByteArray data = p.mid(5).toLatin1();
            return reply(p.left(4).toLatin1(), data.isEmpty() ? QByteArray("\x06") : data);
        });
        changeThreeSteps(s.record);
        Watchdog dog(s.link);
        QVERIFY(!WriteSequences(s.link).SetInstrument(&s.record));
        QVERIFY(!s.record.Change_UserID());
        QVERIFY(s.record.Change_AlarmMode());
        QCOMPARE(s.port->countWrites("DW,W,"), 0);
        QVERIFY(!WriteSequences(s.link).SetDateTime(AppDate::now()));
        QVERIFY(!dog.fired());
    }

    void nothingIsLeftAfterATimedOutDownload() {
        SimLink s;
        QVERIFY(s.connect());
        QVERIFY(s.sim().setFaults("withhold=3"));
        QSignalSpy beep(&s.link, &uclHbif::Beep);
        Watchdog dog(s.link);
        QVERIFY(!DumpSequences(s.link).GetBinDump(m_dir.filePath("image.dat"), 0, 1023));
        QVERIFY(s.link.BinaryRetry());
        QCOMPARE(beep.size(), 1);
        // The clock and the live readings work at once, and so does a cancel-free command
        // after a cancel the host left behind.
        QVERIFY(WriteSequences(s.link).SetDateTime(AppDate::now()));
        s.link.setCancel(true);
        QVERIFY(WriteSequences(s.link).SetCheckData());
        QSignalSpy densty(&s.link, &uclHbif::Densty);
        s.link.setDenstyInterval(5);
        s.link.setRunDensty(true);
        QTRY_VERIFY_WITH_TIMEOUT(densty.size() >= 2, seqtest::OperationLimitMs);
        s.link.setRunDensty(false);
        QVERIFY(!dog.fired());
    }

    void carriageReturns() {
        ScriptedLink s;
        s.link.setTimerEnabled(false); // no time-out may resend here: only CR handling acts
        // Idle: a CR is nothing to answer.
        s.port->inject("\r");
        s.port->inject("NG\r");
        QTest::qWait(20);
        QVERIFY(s.port->writes().isEmpty());
        // Waiting: a reply whose fields are split by CR, arriving in pieces cut after a CR.
        const QByteArray whole = reply("XS,R", "0005\rPLANT-A\rEND");
        const qsizetype cut = whole.indexOf('\r') + 1;
        s.port->setResponder([&](const QByteArray&) {
            s.port->inject(whole.left(cut));
            s.port->inject(whole.mid(cut));
            return QByteArray();
        });
        Watchdog dog(s.link);
        QVERIFY(ReadSequences(s.link).ReadSingle("XS,R,0005", &s.record));
        QCOMPARE(s.port->countWrites("XS,R,"), 1);
        QCOMPARE(s.record.StationList(5).trimmed(), QString("PLANT-A"));
        // A text line ended by CR while waiting is a bad block: the command goes again.
        int sent = 0;
        s.port->setResponder([&](const QByteArray&) {
            return ++sent == 1 ? QByteArray("NG\r") : reply("VP,R", "4426");
        });
        QVERIFY(ReadSequences(s.link).ReadSingle("VP,R,", &s.record));
        QCOMPARE(s.port->countWrites("VP,R,"), 2);
        QVERIFY(!dog.fired());
    }

    void aRepeatedListingBlockIsListedOnce() {
        ScriptedLink s;
        const QByteArray hex(64, 'A');
        int acks = 0;
        s.port->setResponder([&](const QByteArray& w) -> QByteArray {
            const QString p = linksupport::Payload(w);
            if (p.startsWith("EF,R"))
                return reply("EF,R", "2,1,000000," + hex, '\x17');
            if (p.startsWith(QChar(0x06)) && ++acks == 1)
                return QByteArray(); // the PC's acknowledgement is lost on the line
            if (p.startsWith(QChar(0x15)))
                return reply("EF,R", "2,1,000000," + hex, '\x17'); // the block again
            return reply("EF,R", "2,2,000080," + hex);
        });
        const QString path = m_dir.filePath("DumpEF.dat");
        Watchdog dog(s.link);
        QVERIFY(DumpSequences(s.link).GetRomDump2(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(f.readAll());
        QCOMPARE(text.count("\r\n000000 "), 1);
        QCOMPARE(text.count("\r\n000080 "), 1);
        QCOMPARE(text.count("\r\n000040 "), 0);
    }

    void identityEchoAndEmptyStation() {
        SimLink s;
        QVERIFY(s.connect());
        s.record.setUserID(QStringLiteral("0123456789ABCDEF-TOO-LONG"));
        QVERIFY(WriteSequences(s.link).SetInstrument(&s.record));
        QVERIFY(s.commands().contains("XZ,W,0123456789ABCDEF"));
        QVERIFY(!s.record.Change_UserID());

        ScriptedLink t;
        t.port->setResponder([](const QByteArray&) { return reply("XS,R", "0005,"); });
        t.record.setStationList(5, QStringLiteral("OLD"));
        QVERIFY(ReadSequences(t.link).ReadSingle("XS,R,0005", &t.record));
        QVERIFY(t.record.StationList(5).trimmed().isEmpty());
    }

    void spanIsNeverResentAndNoResultOutlivesItsRun() {
        ScriptedLink s;
        bool answer = true;
        s.port->setResponder([&](const QByteArray& w) -> QByteArray {
            const QString p = linksupport::Payload(w);
            if (!answer)
                return QByteArray();
            if (p.startsWith("SZ,C"))
                return reply("SZ,C", "00000");
            return reply(p.left(4).toLatin1(), p.startsWith("S2") ? "00100" : "\x06");
        });
        s.link.Timings().ZeroPollTicks = 1;
        Watchdog dog(s.link);
        OperationSequences ops(s.link);
        QVERIFY(ops.ZeroCal("11111"));
        QVERIFY(ops.SpanCal("10000,25.0,50.0,100,0"));
        QVERIFY(s.link.ZeroStatus(0) && s.link.SpanStatus(0) && !s.link.SpanStatus(2));
        answer = false;
        QVERIFY(!ops.SpanCal("10000,25.0,50.0,100,0"));
        QCOMPARE(s.port->countWrites("S2,W,"), 2); // each run once: no resend
        QVERIFY(!s.link.SpanStatus(0));
        QVERIFY(s.link.ZeroStatus(0)); // the zero of this calibration is still this run's
        QVERIFY(!ops.ZeroCal("11111"));
        QVERIFY(!s.link.ZeroStatus(0));
        QVERIFY(!dog.fired());
    }

    void aGarbageBurstCostsNoResend() {
        ScriptedLink s;
        std::mt19937 rng(5800);
        QByteArray noise(100 * 1024, '\0');
        for (char& c : noise)
            c = char(rng());
        noise[0] = '\xFF';
        s.port->setResponder([&](const QByteArray&) { return noise + reply("VP,R", "4426"); });
        Watchdog dog(s.link);
        QVERIFY(ReadSequences(s.link).ReadSingle("VP,R,", &s.record));
        QCOMPARE(s.port->countWrites("VP,R,"), 1);
        QCOMPARE(s.record.RomNumber(), 4426);

        // A flood of frame starts without any end stays within the buffer and costs no resend.
        s.port->setResponder([&s](const QByteArray&) {
            s.port->inject(QByteArray(256 * 1024, '\x02')); // a receive event of its own
            return reply("VP,R", "4427");
        });
        QVERIFY(ReadSequences(s.link).ReadSingle("VP,R,", &s.record));
        QCOMPARE(s.record.RomNumber(), 4427);
        QCOMPARE(s.port->countWrites("VP,R,"), 2);

        // A babbling instrument: answers to other commands, thousands of them, fill the log
        // only up to its allowance (a burst, then a rate for the time the flood took).
        s.log.clear();
        QByteArray babble;
        for (int i = 0; i < 5000; ++i)
            babble += reply("DN,R", "1,2,3,4,5");
        QElapsedTimer took;
        took.start();
        s.port->inject(babble);
        QTRY_VERIFY(s.port->writes().size() == 2 && s.link.RxBuffer().isEmpty());
        const qint64 floodMs = took.elapsed();
        // Each stray reply makes two lines, the reply and a line saying it was dropped; what
        // was left out is counted as soon as the line is quiet, with nothing else to log.
        // Every line of the flood is either in the log or in a count.
        const auto logged = [&s] {
            return s.log.count("R : ") + s.log.count("<<< Reply to another command dropped >>>");
        };
        const auto leftOut = [&s] {
            static const QRegularExpression count(
                QStringLiteral("(\\d+) received lines not logged: the line babbles"));
            qint64 n = 0;
            for (const QString& line : s.log.lines())
                if (const QRegularExpressionMatch m = count.match(line); m.hasMatch())
                    n += m.captured(1).toLongLong();
            return n;
        };
        QTRY_COMPARE(logged() + leftOut(), qint64(2 * 5000));
        QVERIFY(logged() <=
                LinkLimits::RxLogBurst + floodMs * LinkLimits::RxLogPerSecond / 1000 + 2);
        QVERIFY(!dog.fired());
    }

    void reopenSendsOneConnectRequestPerTick() {
        // The link timer is driven by the test: the count cannot depend on the machine.
        ScriptedLink s;
        s.link.setTimerEnabled(false);
        s.port->close();
        s.port->setResponder([](const QByteArray&) { return reply("RC,R", "ok"); });
        LinkTestAccess::setLinkMode(s.link, ConnectMode::Reopen);
        s.link.tick(); // opens the port
        QVERIFY(s.port->isOpen());
        s.link.tick(); // asks
        QTRY_VERIFY(s.link.Connected());
        QCOMPARE(s.port->countWrites("RC,R,"), 1);
    }
};

QTEST_MAIN(TestLinkFaults)
#include "test_link_faults.moc"
