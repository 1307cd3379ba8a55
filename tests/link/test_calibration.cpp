// Zero, span and nitrogen adjustment on the in-process simulator: per-channel results and
// their texts, the history they leave, what is never sent, live polling around each step, and
// every way out of the nitrogen calibration, including a link that stops answering.
#include "SequenceTestSupport.h"
#include "app/MessageTable.h"
#include "link/CalibrationFlows.h"
#include "model/CalibrationRules.h"

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

// A connected simulator with a test-driven clock, its gases in the calibration record.
struct Bench {
    explicit Bench(const SimOptions& options = {}) : s(options) {
        QVERIFY(s.connect());
        s.sim().state().sensors.useManualClock();
        enabled = LoadCalibrationGases(s.link, cal);
    }
    int sent(const QString& key) { return s.sim().commandCount(key); }
    seqtest::SimLink s;
    clsInstrument cal;
    Calibration::Flags enabled{};
    Pane pane;
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
        const SpanOutcome span =
            SpanAdjustmentFlow(b.s.link, b.s.record, b.cal, All, b.pane.output());
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
        const SpanOutcome span =
            SpanAdjustmentFlow(b.s.link, b.s.record, b.cal, selection, b.pane.output());
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
        QCOMPARE(SpanAdjustmentFlow(b.s.link, b.s.record, b.cal, {}, b.pane.output())
                     .request.noSelection,
                 1);
        b.cal.setGasPoint(3, 3); // 100 ppm with three decimals needs seven characters
        const SpanOutcome span =
            SpanAdjustmentFlow(b.s.link, b.s.record, b.cal, All, b.pane.output());
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
            zero ? ZeroAdjustmentFlow(b.s.link, b.pane.output())
                 : SpanAdjustmentFlow(b.s.link, b.s.record, b.cal, All, b.pane.output());
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
};

QTEST_GUILESS_MAIN(TestCalibration)
#include "test_calibration.moc"
