// Operations with their polling, the two memory dumps, power off, and what is not answered.

#include "support/SimTestSupport.h"

#include "sim/SimLoggerMemory.h"

#include <QFile>
#include <QtTest>

namespace {
constexpr char ACK = '\x06';
constexpr char NAK = '\x15';
constexpr char SUB = '\x1A';
} // namespace

class tst_SimOperations : public QObject {
    Q_OBJECT
private slots:
    void neverAnswersFromInsideReceive();
    void badFramesGetNoAnswer_data();
    void badFramesGetNoAnswer();
    void countersRecordEveryWellFormedFrame();
    void clearPollsAnswerWithoutAckThenWithAck_data();
    void clearPollsAnswerWithoutAckThenWithAck();
    void clearsEraseTheirAreas();
    void defaultsRestoreSettings();
    void zeroAdjustmentPollsSubThenResult();
    void zeroAdjustmentRefusesABadMask();
    void memoryBlockIsExactly512RawBytes();
    void checkDataMatchesTheReferenceImage();
    void dumpListingOneBlockPerAcknowledgement();
    void dumpListingNegativeAcknowledgementResends();
    void powerOffSilencesUntilPortOpened();
    void portClosedDropsPendingOutput();
};

void tst_SimOperations::neverAnswersFromInsideReceive() {
    SimInstrument sim;
    QSignalSpy spy(&sim, &SimInstrument::transmit);
    sim.receive(simtest::frame("VP,R,"));
    QCOMPARE(spy.count(), 0);
    QVERIFY(spy.wait(simtest::ReplyWaitMs));
}

void tst_SimOperations::badFramesGetNoAnswer_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray badSum = simtest::frame("VP,R,");
    badSum[badSum.size() - 2] = 'B';
    QByteArray lower = simtest::frame("VP,R,");
    lower[lower.size() - 3] = 'e';
    lower[lower.size() - 2] = 'a';
    QTest::newRow("wrong checksum") << badSum;
    QTest::newRow("lower-case checksum") << lower;
    QTest::newRow("no command") << simtest::frame("VP");
    QTest::newRow("unterminated") << simtest::frame("VP,R,").chopped(1);
}

void tst_SimOperations::badFramesGetNoAnswer() {
    QFETCH(QByteArray, bytes);
    SimInstrument sim;
    simtest::Wire wire(sim);
    // A good frame after the bad one: the first reply must be the good one's.
    wire.sendRaw(bytes);
    wire.send("RC,R,");
    const auto r = simtest::readReply(wire.nextBlock());
    QCOMPARE(r.key, QByteArray("RC,R"));
    QVERIFY(wire.staysQuiet(0));
    QCOMPARE(sim.commandCount(QStringLiteral("VP,R")), 0);
}

void tst_SimOperations::countersRecordEveryWellFormedFrame() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    wire.sendRaw("line noise " + simtest::frame("XS,R,****") + simtest::frame("XS,R,0001") +
                 simtest::frame("XS,R,****"));
    QVERIFY(wire.waitBytes(1));
    QTRY_COMPARE_WITH_TIMEOUT(sim.receivedPayloads().size(), 3, simtest::ReplyWaitMs);
    QCOMPARE(sim.commandCount(QStringLiteral("XS,R")), 3);
    QCOMPARE(sim.receivedPayloads(), (QStringList{"XS,R,****", "XS,R,0001", "XS,R,****"}));
    QCOMPARE(sim.commandCount(QStringLiteral("VP,R")), 0);
}

void tst_SimOperations::clearPollsAnswerWithoutAckThenWithAck_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("logger") << QByteArray("XC");
    QTest::newRow("power log") << QByteArray("XY");
    QTest::newRow("defaults") << QByteArray("UX");
}

void tst_SimOperations::clearPollsAnswerWithoutAckThenWithAck() {
    QFETCH(QByteArray, code);
    SimInstrument sim;
    simtest::Wire wire(sim);
    const auto w = wire.ask(code + ",W,");
    QCOMPARE(w.key, code + ",W");
    QCOMPARE(w.status, ACK);
    QList<char> statuses;
    for (int i = 0; i < 4; ++i) {
        const auto c = wire.ask(code + ",C,");
        QCOMPARE(c.key, code + ",C");
        statuses.append(c.status);
    }
    QCOMPARE(statuses, (QList<char>{SUB, SUB, ACK, ACK}));
}

void tst_SimOperations::clearsEraseTheirAreas() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    const SimLoggerMemory& m = sim.state().memory;
    const int powerAt = SimLoggerMemory::PowerLogFirstBlock * SimLoggerMemory::BlockSize;
    QVERIFY(m.block(0) != QByteArray(512, char(0xFF)));
    QVERIFY(m.block(SimLoggerMemory::PowerLogFirstBlock) != QByteArray(512, char(0xFF)));
    QCOMPARE(wire.ask("XC,W,").status, ACK);
    QCOMPARE(m.bytes().left(powerAt), QByteArray(powerAt, char(0xFF)));
    QVERIFY(m.block(SimLoggerMemory::PowerLogFirstBlock) != QByteArray(512, char(0xFF)));
    QCOMPARE(wire.ask("XY,W,").status, ACK);
    QCOMPARE(m.bytes(), QByteArray(SimLoggerMemory::Size, char(0xFF)));
}

void tst_SimOperations::defaultsRestoreSettings() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("AP,W,3").tokens.value(0), QByteArray("3"));
    wire.ask("A1,W,   20, 19.0, 12.0,   30,*****");
    wire.ask("XZ,W,KEPT USER ID   ");
    QCOMPARE(wire.ask("UX,W,").status, ACK);
    QCOMPARE(wire.ask("AP,R,").tokens.value(0), QByteArray("1"));
    QCOMPARE(wire.ask("A1,R,").tokens.value(0), QByteArray("   10"));
    QCOMPARE(wire.ask("XZ,R,").tokens.value(0), QByteArray("KEPT USER ID    "));
}

void tst_SimOperations::zeroAdjustmentPollsSubThenResult() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    const auto w = wire.ask("SZ,W,11111");
    QCOMPARE(w.key, QByteArray("SZ,W"));
    QCOMPARE(w.status, ACK);
    for (int i = 0; i < 2; ++i) {
        const auto busy = wire.ask("SZ,C,");
        QCOMPARE(busy.status, SUB);
        QVERIFY(busy.tokens.isEmpty());
    }
    const auto done = wire.ask("SZ,C,");
    QCOMPARE(done.key, QByteArray("SZ,C"));
    QVERIFY(done.status != SUB);
    QCOMPARE(done.tokens, QList<QByteArray>{"00000"});

    // With a slot empty, that sensor is reported as not adjusted.
    sim.state().gases[4].enabled = false;
    wire.ask("SZ,W,11111");
    wire.ask("SZ,C,");
    wire.ask("SZ,C,");
    QCOMPARE(wire.ask("SZ,C,").tokens, QList<QByteArray>{"00001"});
    const auto summary = wire.ask("SZ,R,");
    QCOMPARE(summary.tokens.size(), 4);
    QCOMPARE(summary.tokens[0], QByteArray("00001"));
    QCOMPARE(summary.tokens[2], QByteArray("2"));
}

void tst_SimOperations::zeroAdjustmentRefusesABadMask() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("SZ,W,12").status, NAK);
}

void tst_SimOperations::memoryBlockIsExactly512RawBytes() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    wire.send("EP,R,001F");
    wire.send("RC,R,"); // marks the end of the block's bytes
    const QByteArray rc = simtest::frame("RC,R," + sim.state().connectText);
    QVERIFY(wire.waitBytes(512 + rc.size()));
    QCOMPARE(wire.bytes().size(), 512 + rc.size());
    QCOMPARE(wire.take(512), sim.state().memory.block(31));
    QCOMPARE(wire.bytes(), rc);
    QCOMPARE(sim.state().memory.block(31), SimLoggerMemory::sampleImage().mid(31 * 512, 512));

    wire.bytes().clear();
    wire.send("EP,R,0400"); // past the last block: no bytes at all
    wire.send("RC,R,");
    QCOMPARE(wire.nextBlock(), rc);
}

void tst_SimOperations::checkDataMatchesTheReferenceImage() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QVERIFY(SimLoggerMemory::sampleImage() != SimLoggerMemory::checkImage());
    QCOMPARE(wire.ask("XC,W,").status, ACK);
    QCOMPARE(wire.ask("XY,W,").status, ACK);
    QCOMPARE(wire.ask("XH,E,").status, ACK);
    QByteArray image;
    for (int block = 0; block < SimLoggerMemory::Blocks; ++block) {
        wire.send("EP,R," + QByteArray::number(block, 16).toUpper().rightJustified(4, '0'));
        QVERIFY(wire.waitBytes(512));
        image += wire.take(512);
    }
    QCOMPARE(image.size(), SimLoggerMemory::Size);
    QVERIFY(image == SimLoggerMemory::checkImage());
    // Each line names its own address.
    QCOMPARE(image.mid(0x1230, 9), QByteArray("CHK001230"));

    QFile reference(QStringLiteral(TQ5800_CHECK_IMAGE));
    QVERIFY2(reference.open(QIODevice::ReadOnly), TQ5800_CHECK_IMAGE);
    QVERIFY(reference.readAll() == image);
}

void tst_SimOperations::dumpListingOneBlockPerAcknowledgement() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    wire.send("EF,R,");
    QList<int> numbers;
    QByteArray listed;
    for (;;) {
        const QByteArray block = wire.nextBlock();
        const auto r = simtest::readReply(block);
        QVERIFY2(r.wellFormed && r.checksumOk, block.toHex().constData());
        QCOMPARE(r.key, QByteArray("EF,R"));
        QCOMPARE(r.tokens.size(), 4);
        numbers.append(r.tokens[1].toInt());
        QCOMPARE(r.tokens[3].size(), 256);
        listed += QByteArray::fromHex(r.tokens[3]);
        if (r.terminator == '\x04')
            break;
        QCOMPARE(r.terminator, '\x17');
        QVERIFY(wire.staysQuiet(20)); // the next block waits for the acknowledgement
        wire.send("\x06"
                  "EF,R,",
                  '\x17');
    }
    QCOMPARE(numbers, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    QCOMPARE(listed, sim.state().memory.bytes().left(8 * 128));
    QCOMPARE(sim.commandCount(QStringLiteral("ACK")), 7);
    // Nothing more once the EOT block went out.
    wire.send("\x06"
              "EF,R,",
              '\x17');
    QVERIFY(wire.staysQuiet());
}

void tst_SimOperations::dumpListingNegativeAcknowledgementResends() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    wire.send("EF,R,");
    QCOMPARE(simtest::readReply(wire.nextBlock()).tokens.value(1), QByteArray("1"));
    wire.send("\x06"
              "EF,R,",
              '\x17');
    const QByteArray second = wire.nextBlock();
    QCOMPARE(simtest::readReply(second).tokens.value(1), QByteArray("2"));
    wire.send("\x15"
              "EF,R,",
              '\x17');
    QCOMPARE(wire.nextBlock(), second);
    wire.send("\x06"
              "EF,R,",
              '\x17');
    QCOMPARE(simtest::readReply(wire.nextBlock()).tokens.value(1), QByteArray("3"));
    // A new command ends the listing; a late acknowledgement gets nothing.
    QCOMPARE(wire.ask("VP,R,").key, QByteArray("VP,R"));
    wire.send("\x06"
              "EF,R,",
              '\x17');
    QVERIFY(wire.staysQuiet());
}

void tst_SimOperations::powerOffSilencesUntilPortOpened() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    const auto off = wire.ask("RO,W,");
    QCOMPARE(off.key, QByteArray("RO,W"));
    QCOMPARE(off.status, ACK);
    wire.send("RC,R,");
    QVERIFY(wire.staysQuiet());
    sim.portClosed();
    wire.send("RC,R,");
    QVERIFY(wire.staysQuiet());
    sim.portOpened();
    QCOMPARE(wire.ask("RC,R,").key, QByteArray("RC,R"));
}

void tst_SimOperations::portClosedDropsPendingOutput() {
    SimOptions opts;
    opts.baud = 9600; // slow enough that the block is still going out
    SimInstrument sim(opts);
    simtest::Wire wire(sim);
    wire.send("EP,R,0000");
    sim.portClosed();
    QVERIFY(wire.staysQuiet(50));
    sim.portOpened();
    QCOMPARE(wire.ask("VP,R,").tokens.value(0), QByteArray("4426"));
}

QTEST_GUILESS_MAIN(tst_SimOperations)
#include "test_sim_operations.moc"
