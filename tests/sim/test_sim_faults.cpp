// Each fault does what its name says, repeatably for a given seed.

#include "support/SimTestSupport.h"

#include "sim/SimFaultPlan.h"

#include <QtTest>

namespace {

SimOptions withFaults(const QString& faults, quint32 seed = 1) {
    SimOptions o;
    o.faults = faults;
    o.seed = seed;
    return o;
}

} // namespace

class tst_SimFaults : public QObject {
    Q_OBJECT
private slots:
    void parseAcceptsTheDocumentedSyntax();
    void parseRejectsBadLists_data();
    void parseRejectsBadLists();
    void helpNamesEveryFault();
    void dropEveryNth();
    void delayHoldsRepliesBack();
    void corruptBreaksChecksumAndKey();
    void splitSendsSmallChunksWithGaps();
    void garbageOnceInsteadOfTheNextReply();
    void garbageEveryKth();
    void silentAfterN();
    void withholdMemoryBlockOnce();
    void withholdListingBlockOnce();
    void failFirstIgnoresOnlyTheFirstTry();
    void setFaultsSwitchesAtRunTime();
    void seedMakesRunsRepeatable();
};

void tst_SimFaults::parseAcceptsTheDocumentedSyntax() {
    SimFaultPlan plan;
    QString error;
    QVERIFY(SimFaultPlan::parse(QStringLiteral("drop=3,delay=200,corrupt=5,split=8:2,garbage=10,"
                                               "silent=40,withhold=7,failfirst"),
                                &plan, &error));
    QVERIFY(error.isEmpty());
    QVERIFY(!plan.isEmpty());
    QVERIFY(SimFaultPlan::parse(QStringLiteral("garbage=10:4"), &plan));
    QVERIFY(SimFaultPlan::parse(QString(), &plan));
    QVERIFY(plan.isEmpty());
    QVERIFY(SimFaultPlan::parse(QStringLiteral("none"), &plan));
    QVERIFY(plan.isEmpty());
}

void tst_SimFaults::parseRejectsBadLists_data() {
    QTest::addColumn<QString>("faults");
    QTest::newRow("unknown") << QStringLiteral("explode=1");
    QTest::newRow("zero drop") << QStringLiteral("drop=0");
    QTest::newRow("not a number") << QStringLiteral("delay=soon");
    QTest::newRow("split without gap") << QStringLiteral("split=4");
    QTest::newRow("missing value") << QStringLiteral("drop");
    QTest::newRow("value on failfirst") << QStringLiteral("failfirst=1");
    QTest::newRow("negative") << QStringLiteral("silent=-1");
}

void tst_SimFaults::parseRejectsBadLists() {
    QFETCH(QString, faults);
    SimFaultPlan plan;
    QString error;
    QVERIFY(!SimFaultPlan::parse(faults, &plan, &error));
    QVERIFY(!error.isEmpty());
    SimInstrument sim;
    QVERIFY(!sim.setFaults(faults));
}

void tst_SimFaults::helpNamesEveryFault() {
    const QString help = SimFaultPlan::syntaxHelp();
    for (const char* name : {"drop=N", "delay=MS", "corrupt=N", "split=N:MS", "garbage=N",
                             "silent=N", "withhold=B", "failfirst"})
        QVERIFY2(help.contains(QLatin1String(name)), name);
}

void tst_SimFaults::dropEveryNth() {
    SimInstrument sim(withFaults(QStringLiteral("drop=3")));
    simtest::Wire wire(sim);
    QList<QByteArray> answered;
    for (int i = 1; i <= 6; ++i)
        wire.send("XS,R," + QByteArray::number(i, 16).rightJustified(4, '0'));
    for (int i = 0; i < 4; ++i)
        answered.append(simtest::readReply(wire.nextBlock()).tokens.value(0));
    QVERIFY(wire.staysQuiet());
    QCOMPARE(answered, (QList<QByteArray>{"0001", "0002", "0004", "0005"}));
    QCOMPARE(sim.commandCount(QStringLiteral("XS,R")), 6);
}

void tst_SimFaults::delayHoldsRepliesBack() {
    SimInstrument sim(withFaults(QStringLiteral("delay=60")));
    simtest::Wire wire(sim);
    QElapsedTimer t;
    t.start();
    wire.send("VP,R,");
    QVERIFY(!wire.nextBlock().isEmpty());
    QVERIFY2(t.elapsed() >= 60, qPrintable(QString::number(t.elapsed())));
}

void tst_SimFaults::corruptBreaksChecksumAndKey() {
    SimInstrument sim(withFaults(QStringLiteral("corrupt=2")));
    simtest::Wire wire(sim);
    const auto first = wire.ask("VP,R,");
    QVERIFY(first.checksumOk);
    QCOMPARE(first.key, QByteArray("VP,R"));
    const auto second = wire.ask("VP,R,");
    QVERIFY(second.wellFormed); // framing intact, so the PC reads and rejects it
    QVERIFY(!second.checksumOk);
    QVERIFY(second.key != "VP,R");
    QCOMPARE(second.raw.size(), simtest::frame("VP,R,4426").size());
    QVERIFY(wire.ask("VP,R,").checksumOk);

    // A raw memory block gets one byte changed.
    SimInstrument raw(withFaults(QStringLiteral("corrupt=1")));
    simtest::Wire rawWire(raw);
    rawWire.send("EP,R,0002");
    QVERIFY(rawWire.waitBytes(512));
    const QByteArray got = rawWire.take(512);
    const QByteArray good = raw.state().memory.block(2);
    int differing = 0;
    for (int i = 0; i < 512; ++i)
        differing += got[i] != good[i];
    QCOMPARE(differing, 1);
}

void tst_SimFaults::splitSendsSmallChunksWithGaps() {
    SimInstrument sim(withFaults(QStringLiteral("split=4:5")));
    simtest::Wire wire(sim);
    QElapsedTimer t;
    t.start();
    wire.send("VP,R,");
    const QByteArray block = wire.nextBlock();
    const qint64 elapsed = t.elapsed();
    QCOMPARE(block, simtest::frame("VP,R,4426"));
    const int chunks = int((block.size() + 3) / 4);
    QCOMPARE(wire.spy().count(), chunks);
    for (const QList<QVariant>& emission : wire.spy())
        QVERIFY(emission.at(0).toByteArray().size() <= 4);
    QVERIFY2(elapsed >= (chunks - 1) * 5, qPrintable(QString::number(elapsed)));
}

void tst_SimFaults::garbageOnceInsteadOfTheNextReply() {
    SimInstrument sim(withFaults(QStringLiteral("garbage=20")));
    simtest::Wire wire(sim);
    wire.send("VP,R,");
    wire.send("RC,R,");
    const QByteArray block = wire.nextBlock(); // garbage, then the RC reply
    const auto rc = simtest::readReply(block.mid(20));
    QCOMPARE(rc.key, QByteArray("RC,R"));
    for (char c : block.left(20)) {
        QVERIFY(quint8(c) >= 0x20 && quint8(c) <= 0x7E); // no STX, CR or terminator
    }
    QCOMPARE(wire.ask("VP,R,").tokens.value(0), QByteArray("4426"));
}

void tst_SimFaults::garbageEveryKth() {
    SimInstrument sim(withFaults(QStringLiteral("garbage=6:2")));
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("VP,R,").key, QByteArray("VP,R"));
    wire.send("VP,R,");
    QVERIFY(wire.waitBytes(6));
    QCOMPARE(wire.take(6).indexOf('\x02'), -1);
    QVERIFY(wire.staysQuiet());
    QCOMPARE(wire.ask("VP,R,").key, QByteArray("VP,R"));
}

void tst_SimFaults::silentAfterN() {
    SimInstrument sim(withFaults(QStringLiteral("silent=2")));
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("VP,R,").key, QByteArray("VP,R"));
    QCOMPARE(wire.ask("RC,R,").key, QByteArray("RC,R"));
    wire.send("VP,R,");
    QVERIFY(wire.staysQuiet());
    QCOMPARE(sim.commandCount(QStringLiteral("VP,R")), 2);
}

void tst_SimFaults::withholdMemoryBlockOnce() {
    SimInstrument sim(withFaults(QStringLiteral("withhold=5")));
    simtest::Wire wire(sim);
    const QByteArray block = sim.state().memory.block(5);
    wire.send("EP,R,0005");
    QVERIFY(wire.waitBytes(256));
    wire.spy().wait(simtest::QuietWaitMs); // the rest of the block never comes
    QCOMPARE(wire.take(1000), block.left(256));
    wire.send("EP,R,0005");
    QVERIFY(wire.waitBytes(512));
    QCOMPARE(wire.take(1000), block);
    QCOMPARE(sim.commandCount(QStringLiteral("EP,R")), 2);
}

void tst_SimFaults::withholdListingBlockOnce() {
    SimInstrument sim(withFaults(QStringLiteral("withhold=3")));
    simtest::Wire wire(sim);
    const QByteArray ack = "\x06"
                           "EF,R,";
    wire.send("EF,R,");
    QCOMPARE(simtest::readReply(wire.nextBlock()).tokens.value(1), QByteArray("1"));
    wire.send(ack, '\x17');
    QCOMPARE(simtest::readReply(wire.nextBlock()).tokens.value(1), QByteArray("2"));
    wire.send(ack, '\x17');
    QVERIFY(wire.staysQuiet()); // block 3 withheld
    wire.send("\x15"
              "EF,R,",
              '\x17');
    QCOMPARE(simtest::readReply(wire.nextBlock()).tokens.value(1), QByteArray("3"));
    QCOMPARE(sim.commandCount(QStringLiteral("NAK")), 1);
}

void tst_SimFaults::failFirstIgnoresOnlyTheFirstTry() {
    SimInstrument sim(withFaults(QStringLiteral("failfirst")));
    simtest::Wire wire(sim);
    wire.send("VP,R,");
    QVERIFY(wire.staysQuiet());
    QCOMPARE(wire.ask("VP,R,").tokens.value(0), QByteArray("4426"));
    QCOMPARE(wire.ask("VP,R,").tokens.value(0), QByteArray("4426"));
    QCOMPARE(sim.commandCount(QStringLiteral("VP,R")), 3); // proves the resend
    // Each distinct command fails its first try.
    wire.send("XS,R,0001");
    QVERIFY(wire.staysQuiet());
    QCOMPARE(wire.ask("XS,R,0001").tokens.value(0), QByteArray("0001"));
}

void tst_SimFaults::setFaultsSwitchesAtRunTime() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("VP,R,").key, QByteArray("VP,R"));
    QString error;
    QVERIFY(sim.setFaults(QStringLiteral("drop=1"), &error));
    wire.send("VP,R,");
    QVERIFY(wire.staysQuiet());
    QVERIFY(!sim.setFaults(QStringLiteral("drop=x"), &error));
    QVERIFY(error.contains(QLatin1String("drop=x")));
    wire.send("VP,R,"); // the bad list left the old plan in place
    QVERIFY(wire.staysQuiet());
    QVERIFY(sim.setFaults(QString()));
    QCOMPARE(wire.ask("VP,R,").key, QByteArray("VP,R"));
}

void tst_SimFaults::seedMakesRunsRepeatable() {
    const auto run = [](quint32 seed) {
        SimInstrument sim(withFaults(QStringLiteral("garbage=16:3"), seed));
        simtest::Wire wire(sim);
        QByteArray all;
        for (int i = 0; i < 30; ++i) {
            wire.send("DN,R,");
            if (i % 3 == 2) {
                wire.waitBytes(16);
                all += wire.take(16);
            } else {
                all += wire.nextBlock();
            }
        }
        return all;
    };
    const QByteArray a = run(7);
    QCOMPARE(run(7), a);
    QVERIFY(run(8) != a);
}

QTEST_GUILESS_MAIN(tst_SimFaults)
#include "test_sim_faults.moc"
