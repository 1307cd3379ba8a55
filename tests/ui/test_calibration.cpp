// The calibration window on the in-process simulator: gas labels by link state, zero and span
// through the progress window with their result boxes, the concentration edits and their
// refusals, the nitrogen calibration with each way out, the certificate and its log line, the
// pump around the window, and the live trend's bound. Simulator time is moved by the test.
#include "app/AppState.h"
#include "app/MessageTable.h"
#include "link/SequenceTestSupport.h"
#include "model/CalibrationCertificate.h"
#include "ui/calibration/CalibrationCommand.h"
#include "ui/calibration/CalibrationTrend.h"
#include "ui/calibration/frmCalibration.h"
#include "ui/calibration/frmUploadCalib.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/common/WindowHelpers.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

// A connected simulator with test-driven time, a read main record and the window on it.
struct Bench {
    explicit Bench(const SimOptions& options = {}) : s(options) {
        QVERIFY(s.connect());
        s.sim().state().sensors.useManualClock();
        AppState& st = appState();
        st.StartFolder = dir.path();
        st.Instrument.setCommFlags(1);
        st.Instrument.setWarning(0, 10.0f);
        st.Instrument.setWarning(1, 19.5f);
        st.Instrument.setWarning(2, 10.0f);
        st.Instrument.setWarning(3, 25.0f);
        st.Instrument.setGasName(1, QStringLiteral("O2"));
        s.link.setInstrument(&st.Instrument);
        s.link.setDenstyInterval(600000); // live readings come from the test
        window = std::make_unique<frmCalibration>(
            frmCalibration::Host{&s.link, [this](const QString& t, const QColor& c) {
                                     lines.append({t, c});
                                 }});
    }
    FlexGrid* grid() const { return window->vfgCal(); }
    int sent(const QString& key) { return s.sim().commandCount(key); }
    bool logged(int message, const QColor& color) const {
        return lines.contains(qMakePair(LoadMessage(message), color));
    }

    QTemporaryDir dir;
    seqtest::SimLink s;
    std::unique_ptr<frmCalibration> window;
    QList<QPair<QString, QColor>> lines;
};

bool typeInto(FlexGrid* g, int row, int col, const QString& text) {
    if (!g->startEdit(row, col))
        return false;
    g->setEditText(text);
    return g->commitEdit();
}

} // namespace

class TestCalibrationWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<ScopedScriptedUi> m_ui;
    ScriptedUiServices& ui() { return m_ui->services; }

private slots:
    void initTestCase() { SetMessageLanguage("en"); }
    void init() { m_ui = std::make_unique<ScopedScriptedUi>(); }
    void cleanup() { m_ui.reset(); }

    void labelsFollowTheLinkAndTheRecord() {
        Bench b;
        AppState& s = appState();
        s.DefaultRecord.setGasName(0, QStringLiteral("DEF"));
        s.DefaultRecord.setGasUnit(0, QStringLiteral("%LEL"));
        s.DefaultRecord.setGasFullScale(0, 100.0f);
        b.window->FirstActivate();
        QCOMPARE(b.grid()->TextMatrix(1, 0), QStringLiteral("CH4(100%LEL)"));
        QCOMPARE(b.grid()->TextMatrix(2, 2), QStringLiteral("12.0")); // from the instrument
        QCOMPARE(b.grid()->CellChecked(3, 1), FlexGrid::Checked);
        QCOMPARE(b.grid()->TextMatrix(0, 3), QStringLiteral("Current Reading"));
        // Without data in the main record the labels come from the defaults.
        s.Instrument.setCommFlags(0);
        s.Instrument.setImportFlag(0);
        b.window->FirstActivate();
        QCOMPARE(b.grid()->TextMatrix(1, 0), QStringLiteral("DEF(100%LEL)"));
        s.Instrument.setImportFlag(1);
        b.window->FillGrid();
        QCOMPARE(b.grid()->TextMatrix(1, 0), QStringLiteral("CH4(100%LEL)"));
        b.s.link.setStatus(LinkStatus::Idle); // link idle: defaults again
        b.window->FillGrid();
        QCOMPARE(b.grid()->TextMatrix(1, 0), QStringLiteral("DEF(100%LEL)"));
    }

    void liveReadingsFillOnlyTheirColumn() {
        Bench b;
        b.window->FirstActivate();
        appState().LiveReadings = {12, 20.9f, 1.5f, 3, 7};
        appState().LiveReadingsNew = true;
        const QString concentration = b.grid()->TextMatrix(1, 2);
        emit b.s.link.Densty(12, 20.9f, 1.5f, 3, 7);
        QCOMPARE(b.grid()->TextMatrix(2, 3), QStringLiteral("20.9"));
        QCOMPARE(b.grid()->TextMatrix(1, 2), concentration);
        QCOMPARE(b.window->trend()->pointCount(1), 1);
        // Both combustible channels are CH4; the legend tells them apart.
        QVERIFY(b.grid()->TextMatrix(1, 0).startsWith(QStringLiteral("CH4(")));
        QVERIFY(b.grid()->TextMatrix(5, 0).startsWith(QStringLiteral("CH4(")));
        QCOMPARE(b.window->trend()->channelName(0), QStringLiteral("CH4 %LEL"));
        QCOMPARE(b.window->trend()->channelName(4), QStringLiteral("CH4 vol%"));
        QCOMPARE(b.window->trend()->channelName(1), QStringLiteral("O2"));
    }

    void zeroThenSpanShowTheirResults() {
        Bench b;
        b.window->FirstActivate();
        b.window->txtOperator()->setText(QStringLiteral("K. Tanaka"));
        b.window->txtCylinderLot()->setText(QStringLiteral("LOT-4471"));
        b.window->cmdCal_Click(0);
        QCOMPARE(appState().ProgressTask, 0);
        QVERIFY(b.window->CalibrationOK());
        QCOMPARE(ui().asked.size(), 1);
        QCOMPARE(ui().asked[0].title, LoadMessage(5355));
        QCOMPARE(ui().asked[0].text.count(QStringLiteral("Adjustment Complete.")), 5);
        QVERIFY(b.s.link.RunDensty());
        QVERIFY(!b.window->cmdCertificate()->isEnabled());

        b.s.sim().state().sensors.advance(10000); // the span gas settles
        b.window->cmdCal_Click(1);
        QVERIFY(b.window->CalibrationOK());
        QCOMPARE(ui().asked.size(), 2);
        QCOMPARE(ui().asked[1].text.count(QStringLiteral("Adjustment Complete.")), 5);
        QCOMPARE(b.sent("SO,R"), 1);
        QVERIFY(b.window->cmdCertificate()->isEnabled());

        // The calibration log beside the setting record got the span's line.
        QFile log(CalibrationLogPath(appState().StartFolder));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.size(), 3); // header, one line, the end
        QVERIFY(lines[1].contains("K. Tanaka,LOT-4471"));
        QVERIFY(lines[1].contains("CO,ppm,100,"));
        QVERIFY(lines[1].contains(",100,Passed"));

        const QString pdf = b.dir.filePath(QStringLiteral("cert.pdf"));
        ui().fileNames.enqueue(pdf);
        b.window->cmdCertificate_Click();
        QCOMPARE(b.window->lastCertificatePath(), pdf);
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");
        QCOMPARE(b.lines.last().first, LoadMessage(5722, {QDir::toNativeSeparators(pdf)}));
    }

    void spanFailuresAndRefusals() {
        SimOptions options;
        options.cylinder = {50, 12, 10, 40, 50};
        options.spanGasApplied = true;
        Bench b(options);
        b.window->FirstActivate();
        appState().LiveReadings = {48, 11.5f, 9.5f, 38, 47};
        b.window->cmdCal_Click(1);
        QVERIFY(ui().asked.last().text.contains(QStringLiteral("CO(38) Failed\r\n")));
        QCOMPARE(ui().asked.last().text.count(QStringLiteral("Adjustment Complete.")), 4);

        // No channel selected: the box, and nothing sent.
        for (int row = 1; row <= 5; ++row)
            b.grid()->toggleCheck(row, 1);
        QCOMPARE(appState().CalibrationSelection, (std::array<bool, 5>{}));
        const int spans = b.sent("S2,W");
        b.window->cmdCal_Click(1);
        QCOMPARE(ui().asked.last().text, LoadMessage(5345));
        QCOMPARE(ui().asked.last().title, LoadMessage(5346));
        QCOMPARE(b.sent("S2,W"), spans);
    }

    void concentrationEditsAreCheckedNeverCut() {
        Bench b;
        b.window->FirstActivate();
        FlexGrid* g = b.grid();
        QVERIFY(typeInto(g, 1, 2, QStringLiteral("60.4")));
        QCOMPARE(g->TextMatrix(1, 2), QStringLiteral("60"));
        QCOMPARE(appState().CalibrationRecord.AutoCalib(0), 60.0f);
        QVERIFY(!typeInto(g, 1, 2, QStringLiteral("101"))); // above full scale
        QCOMPARE(g->EditText(), QStringLiteral("60"));
        g->cancelEdit();
        QVERIFY(typeInto(g, 1, 2, QStringLiteral("--")));
        QCOMPARE(g->TextMatrix(1, 2), QStringLiteral("0"));
        QVERIFY(!g->startEdit(1, 3)); // readings are not edited
        // A concentration whose text would be longer than its field: refused with a message.
        appState().CalibrationRecord.setGasPoint(3, 3);
        appState().CalibrationRecord.setGasDesit(3, 0.001f);
        QVERIFY(!typeInto(g, 4, 2, QStringLiteral("100")));
        QCOMPARE(ui().asked.last().text, LoadMessage(5700, {QStringLiteral("CO(500.000ppm)")}));
        QCOMPARE(g->EditText(), QStringLiteral("100.000")); // the stored value, unchanged
        g->cancelEdit();
        // The span refuses it too, before anything is sent.
        b.window->cmdCal_Click(1);
        QCOMPARE(ui().asked.last().title, LoadMessage(5346));
        QCOMPARE(b.sent("S2,W"), 0);
    }

    void failedLinkEndsTheStepInRed_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("rangeSetFirst"); // the nitrogen range is set before the fault
        QTest::addColumn<bool>("silent");        // the instrument falls silent; else no cable
        for (bool silent : {true, false}) {
            const char* how = silent ? "silent" : "cable pulled";
            QTest::addRow("Zero, %s", how) << 0 << false << silent;
            QTest::addRow("Span, %s", how) << 1 << false << silent;
            QTest::addRow("Set range, %s", how) << 2 << false << silent;
            QTest::addRow("N2 Cal, %s", how) << 2 << true << silent;
            QTest::addRow("N2 Cal END, %s", how) << 3 << true << silent;
        }
    }
    void failedLinkEndsTheStepInRed() {
        QFETCH(int, button);
        QFETCH(bool, rangeSetFirst);
        QFETCH(bool, silent);
        Bench b;
        b.s.sim().state().settings["LP"] = 1;
        b.window->FirstActivate();
        appState().CalibrationSelection = {true, false, false, false, false};
        if (rangeSetFirst)
            b.window->cmdCal_Click(2);
        const qint16 saved = appState().Instrument.HcMode();
        if (silent)
            b.s.sim().setFaults("silent=0");
        else
            b.s.port->setCableConnected(false);
        ui().asked.clear();
        seqtest::Watchdog dog(b.s.link);
        b.window->cmdCal_Click(button);
        QVERIFY(!dog.fired());
        QVERIFY(!b.window->CalibrationOK());
        if (button < 2) {
            QVERIFY(ui().asked.isEmpty()); // no result box after a failure
            QVERIFY(b.logged(5413, QColor(255, 0, 0)));
        } else {
            // The nitrogen steps say they failed. Set range leaves the record's mode as it was;
            // with the range set, the mode to give back stays saved for the way out.
            QVERIFY(!ui().asked.isEmpty());
            QVERIFY(!ui().asked.last().text.contains(QStringLiteral("Complete")));
            if (rangeSetFirst)
                QCOMPARE(b.window->SavedHcMode(), qint16(1));
            else
                QCOMPARE(appState().Instrument.HcMode(), saved);
        }
        QVERIFY(b.s.link.RunDensty());
        // Back on line, leaving the window gives the instrument its range back.
        b.s.sim().setFaults(QString());
        b.s.port->setCableConnected(true);
        b.window->show();
        b.window->close();
        QCOMPARE(b.s.sim().state().settings.value("LP"), 1);
    }

    void nitrogenCalibrationAndItsWaysOut() {
        Bench b;
        b.s.sim().state().settings["LP"] = 1;
        b.window->FirstActivate();
        clsInstrument& main = appState().Instrument;
        b.window->cmdCal_Click(2); // Set range
        QCOMPARE(b.window->cmdCal(2)->text(), LoadMessage(5235));
        QCOMPARE(b.window->cmdCal(3)->text(), LoadMessage(5236));
        QCOMPARE(main.HcMode(), qint16(2));
        QCOMPARE(b.window->SavedHcMode(), qint16(1));
        appState().LiveReadings = {0, 0.4f, 0, 0, 3};
        b.window->cmdCal_Click(2); // N2 Cal
        QCOMPARE(ui().asked.last().text, QStringLiteral("CH4  Adjustment Complete.\r\n"));
        QCOMPARE(b.s.sim().receivedPayloads().filter("SN,W").value(0),
                 QStringLiteral("SN,W,  0.4"));
        b.window->cmdCal_Click(3); // N2 Cal END
        QCOMPARE(b.window->cmdCal(2)->text(), LoadMessage(5234));
        QCOMPARE(main.HcMode(), qint16(1));
        QCOMPARE(b.s.sim().state().settings.value("LP"), 1);

        // Closing the window while the range is set gives the range back.
        b.window->cmdCal_Click(2);
        QCOMPARE(b.s.sim().state().settings.value("LP"), 2);
        b.window->show();
        b.window->close();
        QCOMPARE(main.HcMode(), qint16(1));
        QCOMPARE(b.s.sim().state().settings.value("LP"), 1);
        QVERIFY(!b.s.link.RunDensty());
        QVERIFY(!appState().CalibrationWindowActive);
    }

    void nitrogenNeedsTheRangeChannel() {
        Bench b;
        b.s.sim().state().gases[4].enabled = false;
        b.window->FirstActivate();
        b.window->cmdCal_Click(2);
        QCOMPARE(ui().asked.last().text, LoadMessage(5383));
        QCOMPARE(b.sent("LP,R"), 0);
    }

    void progressWindowRunsItsAdjustmentOnce() {
        appState().ProgressTask = 3;
        int runs = 0;
        frmUploadCalib d([&runs] { ++runs; });
        QCOMPARE(d.windowTitle(), QStringLiteral("Adjusting Zero"));
        QCOMPARE(d.lblUpload()->text(), QStringLiteral("Adjusting Zero"));
        QVERIFY(d.cmdUpload()->isHidden());
        QCOMPARE(d.exec(), int(QDialog::Accepted)); // closes itself
        QCOMPARE(runs, 1);
        appState().ProgressTask = 4;
        frmUploadCalib span([] {});
        QCOMPARE(span.windowTitle(), QStringLiteral("Adjusting Span Settings."));
        appState().ProgressTask = 0;
    }

    void calibrationCommandRunsThePump() {
        Bench b;
        b.window.reset();
        // Close the window as a user would once it has read its gases.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* w = qobject_cast<frmCalibration*>(FindForm(QStringLiteral("frmCalibration")));
            if (w && !w->GasInfoPending())
                w->cmdCal(3)->click();
        });
        closer.start(5);
        RunCalibrationCommand(nullptr, b.s.link, {});
        const QStringList pump = b.s.sim().receivedPayloads().filter(QStringLiteral("BP,W"));
        QCOMPARE(pump, (QStringList{"BP,W,1", "BP,W,0"}));
        QCOMPARE(b.sent("GJ,R"), 1);
    }

    void trendKeepsABoundedRing() {
        CalibrationTrend t;
        const std::array<float, 5> scales{100, 40, 100, 500, 100};
        for (int k = 0; k < ReadingTrend::DefaultCapacity + 50; ++k)
            t.addReadingsAt(k, {float(k % 100), 20.9f, -101.0f, 250, 1}, scales);
        QCOMPARE(t.data().size(), ReadingTrend::DefaultCapacity);
        QCOMPARE(t.pointCount(0), ReadingTrend::DefaultCapacity);
        QCOMPARE(t.pointCount(2), 0); // no reading, no point
        const QList<QPointF> co = t.data().points(3);
        QCOMPARE(co.first(), QPointF(50, 50)); // oldest kept sample, as % of full scale
        QCOMPARE(co.last().x(), double(ReadingTrend::DefaultCapacity + 49));
    }
};

QTEST_MAIN(TestCalibrationWindow)
#include "test_calibration.moc"
