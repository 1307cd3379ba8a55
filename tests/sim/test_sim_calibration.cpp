// Calibration as the simulated instrument does it: the gas reaching the sensors with a lag,
// zero and span per channel judged against the gas present, the nitrogen step, and the fault
// that fails a channel. Time is moved by the test.

#include "support/SimTestSupport.h"

#include <QtTest>

namespace {
constexpr char NAK = '\x15';

// Zero in clean air: answers SUB while adjusting, then the result.
QByteArray zeroAll(simtest::Wire& wire) {
    wire.ask("SZ,W,11111");
    for (int i = 0; i < 5; ++i) {
        const auto r = wire.ask("SZ,C,");
        if (r.tokens.size() == 1 && r.tokens[0].size() == 5)
            return r.tokens[0];
    }
    return {};
}
} // namespace

class tst_SimCalibration : public QObject {
    Q_OBJECT
private slots:
    void readingsSettleTowardsTheAppliedGas();
    void zeroAdjustsCleanAirAndConnectsTheSpanGas();
    void spanJudgesTheGasPresentPerChannel_data();
    void spanJudgesTheGasPresentPerChannel();
    void spanRecordsReadingsBeforeAndAfter();
    void failcalFaultFailsOneChannel();
    void nitrogenZeroNeedsTheRangeSet();
    void pumpOffReturnsToRoomAir();
    void deadAndSlowSensorsAnswerTheGasTheirWay();
};

void tst_SimCalibration::readingsSettleTowardsTheAppliedGas() {
    SimInstrument sim;
    SimSensors& s = sim.state().sensors;
    s.useManualClock();
    s.connectCylinder(true);
    QCOMPARE(s.exposure(0), 0.0f);
    s.advance(1500); // one time constant: about 63 %
    QVERIFY(s.exposure(0) > 30.0f && s.exposure(0) < 33.0f);
    QVERIFY(s.exposure(1) < 20.9f && s.exposure(1) > 12.0f); // oxygen falls towards 12
    s.advance(6000);
    QVERIFY(qAbs(s.exposure(0) - 50.0f) < 0.5f);
    QVERIFY(qAbs(s.exposure(3) - 100.0f) < 1.0f);
    // The live readings on the wire follow, uncalibrated (the sensor reads 94 %).
    simtest::Wire wire(sim);
    const float ch4 = wire.ask("DN,R,").tokens.value(0).trimmed().toFloat();
    QVERIFY2(ch4 > 44 && ch4 < 51, qPrintable(QString::number(ch4)));
}

void tst_SimCalibration::zeroAdjustsCleanAirAndConnectsTheSpanGas() {
    SimInstrument sim;
    SimSensors& s = sim.state().sensors;
    s.useManualClock();
    QVERIFY(qAbs(s.reading(3) - 2.0f) < 0.01f); // CO reads 2 ppm in clean air before zero
    simtest::Wire wire(sim);
    QCOMPARE(zeroAll(wire), QByteArray("00000"));
    QVERIFY(qAbs(s.reading(3)) < 0.01f);
    QVERIFY(qAbs(s.reading(1) - 20.9f) < 0.01f);
    QVERIFY(s.cylinderConnected());
    // Zero again with the span gas flowing: every channel is far from clean air.
    s.advance(10000);
    QCOMPARE(zeroAll(wire), QByteArray("11111"));
    // A disabled slot is never adjusted.
    s.connectCylinder(false);
    s.settle();
    sim.state().gases[2].enabled = false;
    QCOMPARE(zeroAll(wire), QByteArray("00100"));
}

void tst_SimCalibration::spanJudgesTheGasPresentPerChannel_data() {
    QTest::addColumn<qint64>("waitMs");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("result");
    // Cylinder 50 %LEL, 12 vol%, 10 ppm, 100 ppm, 50 vol%.
    QTest::newRow("settled") << qint64(10000) << QByteArray("11111,   50, 12.0, 10.0,  100,   50")
                             << QByteArray("00000");
    QTest::newRow("not settled yet")
        << qint64(1000) << QByteArray("11111,   50, 12.0, 10.0,  100,   50") << QByteArray("11111");
    QTest::newRow("label far from the gas")
        << qint64(10000) << QByteArray("11111,   50, 12.0, 10.0,  200,   50")
        << QByteArray("00010");
    QTest::newRow("unselected and unset")
        << qint64(10000) << QByteArray("10101,   50,*****,*****,  100,   50")
        << QByteArray("01110");
    QTest::newRow("above full scale")
        << qint64(10000) << QByteArray("00010,*****,*****,*****,  600,*****")
        << QByteArray("11111");
}

void tst_SimCalibration::spanJudgesTheGasPresentPerChannel() {
    QFETCH(qint64, waitMs);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, result);
    SimInstrument sim;
    SimSensors& s = sim.state().sensors;
    s.useManualClock();
    s.connectCylinder(true);
    s.advance(waitMs);
    simtest::Wire wire(sim);
    const auto r = wire.ask("S2,W," + request);
    QCOMPARE(r.key, QByteArray("S2,W"));
    QCOMPARE(r.tokens.value(0), result);
    QCOMPARE(wire.ask("S1,R,").tokens.value(0), result);
}

void tst_SimCalibration::spanRecordsReadingsBeforeAndAfter() {
    SimInstrument sim;
    SimSensors& s = sim.state().sensors;
    s.useManualClock();
    s.connectCylinder(true);
    s.settle();
    sim.state().setClock(QDateTime(QDate(2026, 5, 4), QTime(10, 0)));
    const float before = s.reading(0);
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("S2,W,10000,   50,*****,*****,*****,*****").tokens.value(0),
             QByteArray("01111"));
    QVERIFY(qAbs(s.reading(0) - 50.0f) < 0.01f);
    const auto history = wire.ask("SO,R,").tokens;
    QCOMPARE(history.size(), 5);
    QVERIFY(history[0].startsWith("260504100"));
    QCOMPARE(history[0].mid(12, 5).trimmed().toFloat(), std::round(before));
    QCOMPARE(history[0].right(5), QByteArray("   50"));
    QVERIFY(history[3].startsWith("250312")); // not adjusted: unchanged
    QCOMPARE(wire.ask("SA,R,").tokens.value(0), QByteArray("   50"));
    QCOMPARE(wire.ask("S2,W,2").status, NAK);
}

void tst_SimCalibration::failcalFaultFailsOneChannel() {
    SimOptions options;
    options.faults = QStringLiteral("failcal=2");
    options.spanGasApplied = true;
    SimInstrument sim(options);
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("S2,W,11111,   50, 12.0, 10.0,  100,   50").tokens.value(0),
             QByteArray("00100"));
    SimFaultPlan plan;
    QVERIFY(!SimFaultPlan::parse(QStringLiteral("failcal=5"), &plan));
    QVERIFY(SimFaultPlan::parse(QStringLiteral("failcal=0,failcal=4"), &plan));
    QCOMPARE(plan.failingChannels(), (std::array<bool, 5>{true, false, false, false, true}));
}

void tst_SimCalibration::nitrogenZeroNeedsTheRangeSet() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("SN,W, 20.9").status, NAK);
    QVERIFY(wire.ask("LP,W,2").status != NAK);
    const auto r = wire.ask("SN,W, 20.9");
    QCOMPARE(r.key, QByteArray("SN,W"));
    QVERIFY(r.status != NAK);
    QCOMPARE(r.tokens, QList<QByteArray>{"20.9"});
    QCOMPARE(wire.ask("SN,W,").status, NAK);
    QCOMPARE(wire.ask("SN,W,abc").status, NAK);
    sim.setFaults(QStringLiteral("failcal=4"));
    QCOMPARE(wire.ask("SN,W, 20.9").status, NAK);
}

void tst_SimCalibration::pumpOffReturnsToRoomAir() {
    SimOptions options;
    options.spanGasApplied = true;
    SimInstrument sim(options);
    SimSensors& s = sim.state().sensors;
    QVERIFY(s.cylinderConnected());
    s.useManualClock();
    simtest::Wire wire(sim);
    wire.ask("BP,W,0");
    QVERIFY(!s.cylinderConnected());
    s.advance(10000);
    QVERIFY(qAbs(s.exposure(0)) < 0.5f);
}

void tst_SimCalibration::deadAndSlowSensorsAnswerTheGasTheirWay() {
    SimOptions options;
    options.faults = QStringLiteral("deadsensor=3,slowsensor=2:20");
    options.bumpGas = true;
    SimInstrument sim(options);
    SimSensors& s = sim.state().sensors;
    s.useManualClock();
    QVERIFY(!s.cylinderConnected()); // on the inlet, not yet drawn
    simtest::Wire wire(sim);
    wire.ask("BP,W,1"); // the pump draws the test gas
    QVERIFY(s.cylinderConnected());
    s.advance(6000);
    QVERIFY(s.reading(0) > 40.0f);                       // a sound sensor: most of its 50 %LEL
    QCOMPARE(s.reading(3), 2.0f);                        // dead: clean air and its offset
    QVERIFY(s.reading(2) > 1.0f && s.reading(2) < 4.0f); // slow: on its way to 10 ppm
    s.advance(60000);
    QVERIFY(s.reading(2) > 9.0f); // slow, but it gets there
    // A dead sensor passes a zero in clean air and fails every span.
    QCOMPARE(wire.ask("S2,W,00010,*****,*****,*****,  100,*****").tokens.value(0),
             QByteArray("11111"));
    wire.ask("BP,W,0");
    QVERIFY(!s.cylinderConnected() && s.cylinderAttached());
    SimFaultPlan plan;
    for (const char* bad : {"slowsensor=2", "slowsensor=2:0", "deadsensor=5", "slowsensor=5:3"})
        QVERIFY2(!SimFaultPlan::parse(QString::fromLatin1(bad), &plan), bad);
}

QTEST_GUILESS_MAIN(tst_SimCalibration)
#include "test_sim_calibration.moc"
