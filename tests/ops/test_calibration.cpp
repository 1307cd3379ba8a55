// Zero, span and nitrogen adjustment on the in-process simulator: per-channel results and
// their texts, the history they leave, what is never sent, live polling around each step, and
// every way out of the nitrogen calibration, including a link that stops answering.
#include "app/MessageTable.h"
#include "model/CalibrationLog.h"
#include "model/CalibrationRules.h"
#include "ops/CalibrationFlows.h"
#include "support/SequenceTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

using seqtest::Watchdog;

namespace {

struct Pane {
    QList<QPair<QString, quint32>> lines;
    FlowOutput output() {
        return FlowOutput{[this](const QString& t, quint32 rgb) { lines.append({t, rgb}); }, {}};
    }
    bool has(int message, quint32 rgb) const {
        return lines.contains(qMakePair(LoadMessage(message), rgb));
    }
};

const Calibration::Flags All{true, true, true, true, true};

// The last line of a calibration log, split into its fields.
QStringList lastLogLine(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    return QString::fromLocal8Bit(lines.last()).trimmed().split(u',');
}

// A connected simulator with a test-driven clock, its gases in the calibration record.
struct Bench {
    explicit Bench(const SimOptions& options = {}) : s(options) {
        QVERIFY(s.connect());
        s.sim().state().sensors.useManualClock();
        enabled = LoadCalibrationGases(s.link, cal);
    }
    int sent(const QString& key) { return s.sim().commandCount(key); }
    SpanOutcome span(const Calibration::Flags& selection, const QString& logPath = {}) {
        return SpanAdjustmentFlow(s.link, s.record, cal, selection, {}, logPath, pane.output());
    }
    // The bump test on the simulator's clock: each wait moves it to the moment waited for.
    BumpClock simClock() {
        SimSensors& sensors = s.sim().state().sensors;
        const qint64 start = sensors.nowMs();
        return BumpClock{[&sensors, start] { return (sensors.nowMs() - start) / 1000.0; },
                         [&sensors, start](double until) {
                             sensors.advance(qint64(until * 1000) - (sensors.nowMs() - start));
                             return true;
                         }};
    }
    BumpOutcome bump(const Calibration::Readings& applied, int within, const QString& log = {}) {
        for (int i = 0; i < Calibration::Channels; ++i) // the instrument's first alarm levels
            s.record.setWarning(i, std::array{10.0f, 19.5f, 10.0f, 25.0f, -101.0f}[i]);
        s.sim().clearCounters();
        return BumpTestFlow(s.link, s.record, cal, applied, Bump::Criteria{within, 0}, {}, log,
                            pane.output(), simClock());
    }
    seqtest::SimLink s;
    clsInstrument cal;
    Calibration::Flags enabled{};
    Pane pane;
    QTemporaryDir dir;
};

} // namespace

class TestCalibration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage("en"); }

    void gasesAndConcentrationsComeFromTheInstrument() {
        Bench b;
        QCOMPARE(b.enabled, All);
        QCOMPARE(Calibration::GasLabel(b.cal, 1), QStringLiteral("O2(40.0vol%)"));
        QCOMPARE(b.cal.AutoCalib(3), 100.0f);
        // A silent instrument: every channel off, no concentrations.
        b.s.sim().setFaults("silent=0");
        Watchdog dog(b.s.link);
        QCOMPARE(LoadCalibrationGases(b.s.link, b.cal), Calibration::Flags{});
        QCOMPARE(b.cal.AutoCalib(0), -101.0f);
        QVERIFY(!dog.fired());
    }

    void zeroThenSpanAdjustsEveryChannel() {
        Bench b;
        Watchdog dog(b.s.link);
        b.s.link.setRunDensty(true);
        const AdjustmentOutcome zero = ZeroAdjustmentFlow(b.s.link, b.pane.output());
        QVERIFY(zero.ok);
        QCOMPARE(zero.status, All);
        QVERIFY(b.s.link.RunDensty()); // polling back on after the step
        QCOMPARE(Calibration::ResultText(b.cal, b.enabled, {}, zero.status, {}, true),
                 QStringLiteral("CH4  Adjustment Complete.\r\nO2  Adjustment Complete.\r\n"
                                "H2S  Adjustment Complete.\r\nCO  Adjustment Complete.\r\n"
                                "CH4  Adjustment Complete.\r\n"));
        // The span gas was connected after the zero; let it settle.
        b.s.sim().state().sensors.advance(10000);
        const SpanOutcome span = b.span(All);
        QVERIFY(span.ok);
        QCOMPARE(span.status, All);
        QCOMPARE(span.request.text, QStringLiteral("11111,   50, 12.0, 10.0,  100,   50"));
        QCOMPARE(b.s.record.CalibAfter(3), 100.0f); // history read back
        QVERIFY(b.s.record.CalibBefore(3) > 80.0f && b.s.record.CalibBefore(3) < 100.0f);
        QVERIFY(b.pane.lines.isEmpty());
        QVERIFY(!dog.fired());
    }

    void spanFailsTheChannelWhoseGasIsWrong() {
        SimOptions options;
        options.cylinder = {50, 12, 10, 40, 50}; // CO cylinder is not the 100 ppm asked for
        options.spanGasApplied = true;
        Bench b(options);
        Calibration::Flags selection{true, false, true, true, false};
        const SpanOutcome span = b.span(selection);
        QVERIFY(span.ok);
        QCOMPARE(span.status, (Calibration::Flags{true, false, true, false, false}));
        const Calibration::Readings live{50, 12, 10, 38, 50};
        // Only the selected channels are reported; the failed one with its reading.
        QCOMPARE(Calibration::ResultText(b.cal, b.enabled, selection, span.status, live, false),
                 QStringLiteral("CH4  Adjustment Complete.\r\nH2S  Adjustment Complete.\r\n"
                                "CO(38) Failed\r\n"));
    }

    void refusedSpanRequestsSendNothing() {
        Bench b;
        QCOMPARE(b.span({}).request.noSelection, 1);
        b.cal.setGasPoint(3, 3); // 100 ppm with three decimals needs seven characters
        const SpanOutcome span = b.span(All);
        QCOMPARE(span.request.tooLong, 3);
        QVERIFY(!span.ok);
        QCOMPARE(b.sent("S2,W"), 0);
        QCOMPARE(b.sent("SO,R"), 0);
    }

    void failedAdjustmentsAreReportedNotHung_data() {
        QTest::addColumn<bool>("zero");
        QTest::newRow("zero") << true;
        QTest::newRow("span") << false;
    }
    void failedAdjustmentsAreReportedNotHung() {
        QFETCH(bool, zero);
        Bench b;
        b.s.sim().setFaults("silent=0");
        Watchdog dog(b.s.link);
        const AdjustmentOutcome r =
            zero ? ZeroAdjustmentFlow(b.s.link, b.pane.output()) : b.span(All);
        QVERIFY(!dog.fired());
        QVERIFY(!r.ok);
        QCOMPARE(r.status, Calibration::Flags{});
        QVERIFY(b.pane.has(5413, FlowColor::Failure));
        QVERIFY(b.s.log.count("---Calibration Upload Failed---") >= 1);
    }

    void nitrogenCalibrationRestoresTheRange() {
        Bench b;
        b.s.sim().state().settings["LP"] = 1;
        b.s.link.setRunDensty(true);
        NitrogenCalibration n2;
        const auto set = n2.SetRange(b.s.link, b.s.record);
        QVERIFY(set.rangeRead && set.rangeSet);
        QCOMPARE(n2.state(), NitrogenCalibration::State::RangeSet);
        QCOMPARE(n2.SavedHcMode(), qint16(1));
        QCOMPARE(b.s.sim().state().settings.value("LP"), 2);
        QVERIFY(b.s.link.RunDensty());
        QVERIFY(n2.Calibrate(b.s.link, Calibration::NitrogenReadingText(0.4f, 1)));
        QVERIFY(n2.Calibrate(b.s.link, QStringLiteral("  0.3"))); // may be repeated
        QVERIFY(n2.End(b.s.link, b.s.record));
        QCOMPARE(n2.state(), NitrogenCalibration::State::Normal);
        QCOMPARE(b.s.record.HcMode(), qint16(1));
        QCOMPARE(b.s.sim().state().settings.value("LP"), 1);
        QCOMPARE(b.sent("DW,W"), 1);
        // Out of the range the instrument refuses the nitrogen step.
        QVERIFY(!n2.Calibrate(b.s.link, QStringLiteral(" 20.9")));
    }

    void nitrogenWaysOutUnderALinkFailure() {
        Bench b;
        b.s.sim().state().settings["LP"] = 0;
        NitrogenCalibration n2;
        // The instrument stops answering after reading the range: the range is not set and the
        // record keeps the saved mode.
        b.s.sim().setFaults("silent=1");
        Watchdog guard(b.s.link);
        auto set = n2.SetRange(b.s.link, b.s.record);
        QVERIFY(set.rangeRead && !set.rangeSet);
        QCOMPARE(n2.state(), NitrogenCalibration::State::Normal);
        QCOMPARE(b.s.record.HcMode(), qint16(0));

        // Range set, then the link fails: END fails but the record holds the saved mode;
        // leaving the window abandons the range set state.
        b.s.sim().setFaults("none");
        set = n2.SetRange(b.s.link, b.s.record);
        QVERIFY(set.rangeSet);
        b.s.sim().setFaults("silent=0");
        QVERIFY(!n2.End(b.s.link, b.s.record));
        QCOMPARE(n2.state(), NitrogenCalibration::State::RangeSet);
        QCOMPARE(b.s.record.HcMode(), qint16(0));
        QVERIFY(!n2.Calibrate(b.s.link, QStringLiteral("  0.3")));
        QVERIFY(!n2.Abandon(b.s.link, b.s.record));
        QCOMPARE(n2.state(), NitrogenCalibration::State::Normal);
        QCOMPARE(b.s.record.HcMode(), qint16(0));
        QVERIFY(!guard.fired());
        // When the instrument answers again, abandoning writes the saved mode back.
        b.s.sim().setFaults("none");
        QVERIFY(n2.SetRange(b.s.link, b.s.record).rangeSet);
        QVERIFY(n2.Abandon(b.s.link, b.s.record));
        QCOMPARE(b.s.sim().state().settings.value("LP"), 0);
    }

    void liveReadingsBeforeAnAdjustmentArrive() {
        Bench b;
        Calibration::Readings live;
        QVERIFY(ReadLiveReadings(b.s.link, &live));
        QVERIFY(qAbs(live[1] - 20.9f) < 0.5f); // oxygen in clean air, read, not left unset
        // A span whose sensor fails keeps the reading it started from.
        b.s.sim().setFaults("failcal=2");
        b.s.sim().state().sensors.connectCylinder(true);
        b.s.sim().state().sensors.settle();
        const SpanOutcome span = b.span(All);
        QCOMPARE(span.record.channels[2].result, SpanResult::Failed);
        QVERIFY(span.record.channels[2].before > 8.0f && span.record.channels[2].before < 11.0f);
        // An instrument that does not answer the reading is not adjusted.
        b.s.sim().setFaults("silent=0");
        Watchdog dog(b.s.link);
        QVERIFY(!ReadLiveReadings(b.s.link, &live));
        QVERIFY(IsUnknown(live[0]));
        const int spans = b.sent("S2,W");
        QVERIFY(!b.span(All).sent);
        QCOMPARE(b.sent("S2,W"), spans);
        QCOMPARE(b.s.link.LastFailure(), FailureCause::NoAnswer);
    }

    void spanRecordStatesOnlyWhatThisSpanSaw_data() {
        QTest::addColumn<QString>("faults");  // from the span on
        QTest::addColumn<bool>("gas");        // the span gas is on the sensors
        QTest::addColumn<int>("result");      // SpanResult of channel 3
        QTest::addColumn<QString>("before3"); // as the log line shows them
        QTest::addColumn<QString>("after3");
        QTest::newRow("passed, history read") << "" << true << int(SpanResult::Passed) << "*"
                                              << "100";
        // The reading, the request, then silence: the history read fails.
        QTest::newRow("history not read")
            << "silent=2" << true << int(SpanResult::Passed) << "unknown"
            << "unknown";
        QTest::newRow("every channel fails") << "" << false << int(SpanResult::Failed) << "*"
                                             << "-----";
        QTest::newRow("request unanswered")
            << "silent=1" << true << int(SpanResult::Unconfirmed) << "*"
            << "unknown";
    }
    void spanRecordStatesOnlyWhatThisSpanSaw() {
        QFETCH(QString, faults);
        QFETCH(bool, gas);
        QFETCH(int, result);
        QFETCH(QString, before3);
        QFETCH(QString, after3);
        Bench b;
        b.s.record.setCalibAfter(3, 77.0f); // an earlier calibration's history
        b.s.record.setCalibBefore(3, 66.0f);
        if (gas) {
            b.s.sim().state().sensors.connectCylinder(true);
            b.s.sim().state().sensors.settle();
        }
        b.s.sim().setFaults(faults);
        const QString log = CalibrationLogPath(b.dir.path());
        Watchdog dog(b.s.link);
        const SpanOutcome span = b.span(All, log);
        QVERIFY(span.sent);
        const CertificateChannel& co = span.record.channels[3];
        QCOMPARE(int(co.result), result);
        QVERIFY(co.result != SpanResult::Passed || span.status[3]);
        // The log line is the record's; an earlier history never stands in for this one's.
        const QStringList line = lastLogLine(log);
        QCOMPARE(line, CalibrationLogFields(span.record));
        QCOMPARE(line.mid(8 + 3 * 6, 6).value(5), co.resultText());
        if (before3 != "*")
            QCOMPARE(line.value(8 + 3 * 6 + 3), before3);
        QCOMPARE(line.value(8 + 3 * 6 + 4), after3);
        QVERIFY(!line.contains("77") && !line.contains("66"));
        QCOMPARE(span.record.passed(), result == int(SpanResult::Passed));
    }

    void bumpTestWatchesEachChannel_data() {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<int>("within");
        QTest::addColumn<int>("result2"); // BumpResult of H2S and CO
        QTest::addColumn<int>("result3");
        QTest::addColumn<double>("seconds2"); // H2S's time to alarm, -1: never
        const int passed = int(BumpResult::Passed), failed = int(BumpResult::Failed);
        QTest::newRow("all respond") << "" << 30 << passed << passed << 2.0;
        QTest::newRow("dead CO sensor") << "deadsensor=3" << 30 << passed << failed << 1.0;
        // H2S at 20 ppm with a 20 s time constant reaches its 10 ppm alarm after about 15 s.
        QTest::newRow("slow H2S in time") << "slowsensor=2:20" << 30 << passed << passed << 15.0;
        QTest::newRow("slow H2S too slow") << "slowsensor=2:20" << 10 << failed << passed << -1.0;
    }
    void bumpTestWatchesEachChannel() {
        QFETCH(QString, faults);
        QFETCH(int, within);
        QFETCH(int, result2);
        QFETCH(int, result3);
        QFETCH(double, seconds2);
        SimOptions options;
        options.cylinder = {50, 12, 20, 100, 50};
        options.bumpGas = true;
        options.faults = faults;
        Bench b(options);
        SimSensors& sensors = b.s.sim().state().sensors;
        sensors.pumpSwitched(true); // the test gas starts to flow
        const QString log = CalibrationLogPath(b.dir.path());
        const BumpOutcome r = b.bump({50, 12, 20, 100, -101}, within, log);
        QVERIFY(r.started && r.ok);
        const auto& ch = r.record.channels;
        QCOMPARE(int(ch[2].result), result2);
        QCOMPARE(int(ch[3].result), result3);
        QCOMPARE(ch[1].result, BumpResult::Passed); // oxygen falls to its low alarm
        QVERIFY(ch[1].peak < 19.5f);
        QCOMPARE(ch[4].result, BumpResult::NotTested);
        if (seconds2 < 0)
            QCOMPARE(ch[2].secondsToAlarm, -1.0);
        else
            QVERIFY2(qAbs(ch[2].secondsToAlarm - seconds2) <= 1.0,
                     qPrintable(QString::number(ch[2].secondsToAlarm)));
        if (result3 == int(BumpResult::Failed))
            QVERIFY(ch[3].peak < 5.0f); // the dead sensor never left clean air
        QCOMPARE(r.record.passed(),
                 result2 == int(BumpResult::Passed) && result3 == int(BumpResult::Passed));
        // Nothing but live readings was asked, and the record is the log's line.
        QCOMPARE(b.s.commands().filter(QRegularExpression("^(?!DN,R)")), QStringList{});
        QCOMPARE(lastLogLine(log), CalibrationLogFields(r.record));
    }

    void bumpTestEndedByTheLinkConfirmsNothingMore() {
        SimOptions options;
        options.bumpGas = true;
        options.faults = "deadsensor=0";
        Bench b(options);
        b.s.sim().state().sensors.pumpSwitched(true);
        b.s.sim().setFaults("deadsensor=0,silent=3");
        Watchdog dog(b.s.link);
        const BumpOutcome r = b.bump({50, 12, -101, -101, -101}, 30);
        QVERIFY(r.started && !r.ok);
        QCOMPARE(r.record.channels[0].result, BumpResult::Unconfirmed);
        QCOMPARE(r.record.channels[1].result, BumpResult::Passed);
        QVERIFY(!r.record.passed());
        QVERIFY(b.pane.has(5413, FlowColor::Failure));
        // No channel to test: nothing happens.
        QVERIFY(!b.bump({-101, -101, -101, -101, -101}, 30).started);
    }
};

QTEST_GUILESS_MAIN(TestCalibration)
#include "test_calibration.moc"
