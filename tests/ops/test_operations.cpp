// The instrument operations: the clears and the default restore with their polls, the zero
// adjustment with its SUB polls, the bounds on those polls and Cancel, span and nitrogen
// adjustment, the pump and power off.
#include "app/MessageTable.h"
#include "ops/OperationSequences.h"
#include "sim/SimLoggerMemory.h"
#include "support/SequenceTestSupport.h"

#include <QSignalSpy>
#include <QtTest>

using linksupport::Payload;
using seqtest::Watchdog;

namespace {

// A scripted instrument for the polls: acknowledges the start, answers the polls with SUB
// until `busyPolls` have passed (forever when negative), and notes the link's state at each
// poll.
struct PollingInstrument {
    seqtest::ScriptedLink& s;
    QString code;
    int busyPolls = -1;
    QList<LinkStatus> statusAtPoll;
    QList<int> ticksAtPoll;
    std::function<void(int)> onPoll; // called with the poll's number, from 1

    explicit PollingInstrument(seqtest::ScriptedLink& link, const QString& c, int busy)
        : s(link), code(c), busyPolls(busy) {
        s.port->setResponder([this](const QByteArray& written) -> QByteArray {
            const QString p = Payload(written);
            const QByteArray key = p.left(4).toLatin1();
            if (p == code + ",C,") {
                statusAtPoll << s.link.Status();
                ticksAtPoll << s.link.TickCount();
                const int n = int(statusAtPoll.size());
                if (onPoll)
                    onPoll(n);
                const bool busy = busyPolls < 0 || n <= busyPolls;
                if (code == "SZ")
                    return linktest::reply(key, busy ? "\x1A" : "00100");
                return linktest::reply(key, busy ? "\x1A" : "\x06");
            }
            return linktest::reply(key, "\x06");
        });
    }
};

} // namespace

class TestOperations : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage("en"); }

    void clearsPollUntilTheInstrumentAcknowledges_data() {
        QTest::addColumn<QString>("code");
        QTest::newRow("logger") << "XC";
        QTest::newRow("power log") << "XY";
    }
    void clearsPollUntilTheInstrumentAcknowledges() {
        QFETCH(QString, code);
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.link.Timings().ClearPollTicks = 5;
        Watchdog dog(s.link);
        OperationSequences ops(s.link);
        QVERIFY(code == "XC" ? ops.BodyDataClear() : ops.PowerDataClear());
        QVERIFY(!dog.fired());
        // The simulator answers two polls busy, the third with ACK.
        QCOMPARE(s.commands(),
                 (QStringList{code + ",W,", code + ",C,", code + ",C,", code + ",C,"}));
        const QByteArray& memory = s.sim().state().memory.bytes();
        const int powerStart = SimLoggerMemory::PowerLogFirstBlock * SimLoggerMemory::BlockSize;
        const int cleared = code == "XC" ? 0 : powerStart;
        QCOMPARE(quint8(memory.at(cleared)), quint8(0xFF));
        QCOMPARE(memory.at(code == "XC" ? powerStart : 0) == char(0xFF), false);
        QCOMPARE(s.log.count("--- Data Remove Start Sequence---"), 1);
        QCOMPARE(s.log.count("--- Data Remove Finished---."), 1);
    }

    void pollsComeAtTheirIntervalAndDefaultsPollAsReads() {
        seqtest::ScriptedLink s;
        s.link.Timings().ClearPollTicks = 7;
        PollingInstrument instrument(s, "UX", 2);
        QVERIFY(OperationSequences(s.link).DefaultInstrument());
        QCOMPARE(s.payloads(), (QStringList{"UX,W,", "UX,C,", "UX,C,", "UX,C,"}));
        QCOMPARE(instrument.statusAtPoll, (QList<LinkStatus>(3, LinkStatus::WaitRead)));
        QCOMPARE(instrument.ticksAtPoll, (QList<int>{7, 7, 7}));
        QCOMPARE(s.log.count("DEFAULT finished"), 1);
        QCOMPARE(s.log.count("--- Data Remove Start Sequence---"), 0);

        seqtest::ScriptedLink c;
        c.link.Timings().ClearPollTicks = 3;
        PollingInstrument clear(c, "XC", 1);
        QVERIFY(OperationSequences(c.link).BodyDataClear());
        QCOMPARE(clear.statusAtPoll, (QList<LinkStatus>(2, LinkStatus::WaitWrite)));
        QCOMPARE(clear.ticksAtPoll, (QList<int>{3, 3}));
    }

    void aStartThatIsNotAcknowledgedFailsWithoutResend() {
        seqtest::SimLink s(SimOptions{0, "silent=1", 1});
        QVERIFY(s.connect());
        Watchdog dog(s.link);
        QVERIFY(!OperationSequences(s.link).BodyDataClear());
        QVERIFY(!OperationSequences(s.link).DefaultInstrument());
        QVERIFY(!dog.fired());
        QCOMPARE(s.commands(), (QStringList{"XC,W,", "UX,W,"}));
        QCOMPARE(s.log.count("--- Data Remove Failed---."), 1);
        QCOMPARE(s.log.count("DEFAULT failed"), 1);
    }

    void aClearThatNeverEndsGivesUpAtItsLimit() {
        seqtest::ScriptedLink s;
        s.link.Timings().ClearPollTicks = 2;
        s.link.Timings().PollLimitMs = 150;
        PollingInstrument instrument(s, "XC", -1);
        QElapsedTimer t;
        t.start();
        Watchdog dog(s.link);
        QVERIFY(!OperationSequences(s.link).BodyDataClear());
        QVERIFY(!dog.fired());
        QVERIFY(t.elapsed() >= 150);
        QVERIFY(instrument.statusAtPoll.size() >= 2);
        QCOMPARE(s.log.count(OperationSequences::PollLimitLogText("XC")), 1);
        QCOMPARE(s.log.count("--- Data Remove Failed---."), 1);
    }

    void cancelEndsThePolls() {
        seqtest::ScriptedLink s;
        s.link.Timings().ClearPollTicks = 2;
        PollingInstrument instrument(s, "UX", -1);
        instrument.onPoll = [&s](int n) {
            if (n == 3)
                s.link.setCancel(true);
        };
        Watchdog dog(s.link);
        QVERIFY(!OperationSequences(s.link).DefaultInstrument());
        QVERIFY(!dog.fired());
        QCOMPARE(instrument.statusAtPoll.size(), 3);
        QCOMPARE(s.log.count(OperationSequences::PollCancelledLogText("UX")), 1);
        QCOMPARE(s.log.count("DEFAULT failed"), 1);
    }

    void aCancelLeftOverFromEarlierDoesNotEndAClear() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.link.Timings().ClearPollTicks = 2;
        s.link.setCancel(true);
        QVERIFY(OperationSequences(s.link).PowerDataClear());
    }

    void zeroAdjustmentPollsWhileSub() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.link.Timings().ZeroPollTicks = 3;
        Watchdog dog(s.link);
        QVERIFY(OperationSequences(s.link).ZeroCal("11111"));
        QCOMPARE(s.commands(), (QStringList{"SZ,W,11111", "SZ,C,", "SZ,C,", "SZ,C,"}));
        // Every fitted sensor was adjusted.
        for (int sensor = 0; sensor < 5; ++sensor)
            QCOMPARE(s.link.ZeroStatus(sensor), s.sim().state().gases[sensor].enabled);

        seqtest::ScriptedLink c;
        c.link.Timings().ZeroPollTicks = 4;
        PollingInstrument instrument(c, "SZ", 3);
        QVERIFY(OperationSequences(c.link).ZeroCal("10000"));
        QCOMPARE(instrument.ticksAtPoll, (QList<int>{4, 4, 4, 4}));
        QVERIFY(c.link.ZeroStatus(0));
        QVERIFY(!c.link.ZeroStatus(2));
    }

    void zeroAdjustmentFailures() {
        // A refused start is logged as a failed calibration upload.
        seqtest::SimLink s;
        QVERIFY(s.connect());
        Watchdog dog(s.link);
        QVERIFY(!OperationSequences(s.link).ZeroCal("bad"));
        QCOMPARE(s.log.count("---Calibration Upload Failed---"), 1);
        QCOMPARE(s.commands(), QStringList{"SZ,W,bad"});

        // An adjustment that stays busy gives up at the limit; Cancel ends it early.
        seqtest::ScriptedLink c;
        c.link.Timings().ZeroPollTicks = 2;
        c.link.Timings().PollLimitMs = 100;
        PollingInstrument busy(c, "SZ", -1);
        QVERIFY(!OperationSequences(c.link).ZeroCal("11111"));
        QCOMPARE(c.log.count(OperationSequences::PollLimitLogText("SZ")), 1);
        QCOMPARE(c.log.count("---Calibration Upload Failed---"), 1);

        seqtest::ScriptedLink k;
        k.link.Timings().ZeroPollTicks = 2;
        PollingInstrument cancelled(k, "SZ", -1);
        cancelled.onPoll = [&k](int n) {
            if (n == 2)
                k.link.setCancel(true);
        };
        QVERIFY(!OperationSequences(k.link).ZeroCal("11111"));
        QCOMPARE(cancelled.statusAtPoll.size(), 2);
        QCOMPARE(k.log.count(OperationSequences::PollCancelledLogText("SZ")), 1);
        QVERIFY(!dog.fired());
    }

    void spanAndNitrogenAdjustment() {
        SimOptions spanGas;
        spanGas.spanGasApplied = true; // the instrument only adjusts to the gas it sees
        seqtest::SimLink s(spanGas);
        QVERIFY(s.connect());
        s.sim().state().settings["LP"] = 2; // the range the nitrogen zero needs
        OperationSequences ops(s.link);
        QVERIFY(ops.SpanCal("10000,   50,*****,*****,*****,*****"));
        QVERIFY(s.link.SpanStatus(0));
        QVERIFY(!s.link.SpanStatus(1));
        QVERIFY(ops.zCal(" 20.9"));
        QCOMPARE(s.link.ReturnedText().trimmed(), QString("20.9"));
        Watchdog dog(s.link);
        // The instrument refuses an empty oxygen value.
        QVERIFY(!ops.zCal(""));
        QVERIFY(s.link.ReturnedText().isEmpty());
        QCOMPARE(s.log.count("---Calibration Upload Failed---"), 1);
        s.sim().setFaults("silent=0");
        QVERIFY(!ops.SpanCal("10000,   50"));
        QCOMPARE(s.log.count("---Calibration Upload Failed---"), 2);
        QVERIFY(!dog.fired());
    }

    void pumpOnAndOff() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        OperationSequences ops(s.link);
        QVERIFY(ops.SetPump(false));
        QVERIFY(!s.sim().state().pumpOn);
        QVERIFY(ops.SetPump(true));
        QVERIFY(s.sim().state().pumpOn);
        QCOMPARE(s.commands(), (QStringList{"BP,W,0", "BP,W,1"}));
    }

    void powerOffClosesThePortAndResetsTheLink() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.link.Timings().PowerOffTicks = 20;
        QElapsedTimer t;
        t.start();
        QVERIFY(OperationSequences(s.link).BodyPowerOff());
        QVERIFY(t.elapsed() >= 20 * seqtest::TickMs * 9 / 10);
        QCOMPARE(s.commands(), QStringList{"RO,W,"});
        QVERIFY(!s.port->isOpen());
        QCOMPARE(s.link.LinkMode(), ConnectMode::NotConnected);
        QCOMPARE(s.link.Status(), LinkStatus::Idle);
        QVERIFY(!s.link.Connected());
        QCOMPARE(s.log.count("---Auto Power OFF Start Sequence---."), 1);
        QCOMPARE(s.log.count("---Auto Power OFF Finished---."), 1);
    }

    void powerOffWithoutAnswerStillEnds() {
        seqtest::SimLink s(SimOptions{0, "silent=1", 1});
        QVERIFY(s.connect());
        s.link.Timings().PowerOffTicks = 5;
        Watchdog dog(s.link);
        QVERIFY(OperationSequences(s.link).BodyPowerOff());
        QVERIFY(!dog.fired());
        // The instrument took the first one and went silent; the link sent it four times.
        QCOMPARE(s.commands(), QStringList{"RO,W,"});
        QCOMPARE(s.log.count("W : [STX]0001RO,W,[ETX]"), 4);
        QCOMPARE(s.link.LinkMode(), ConnectMode::NotConnected);
    }
};

QTEST_MAIN(TestOperations)
#include "test_operations.moc"
