// The calibration window on the in-process simulator: gas labels by link state, zero and span
// through the progress window with their result boxes, the concentration edits and their
// refusals, the nitrogen calibration with each way out, the certificate and its log line, the
// pump around the window, and the live trend's bound. Simulator time is moved by the test.
#include "app/MessageTable.h"
#include "model/CalibrationLog.h"
#include "state/AppState.h"
#include "support/LinkTestAccess.h"
#include "support/PdfText.h"
#include "support/SequenceTestSupport.h"
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
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>
#include <array>
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

// Typed as a hand types: the keys into the editor, then Return.
bool typeKeys(FlexGrid* g, int row, int col, const QString& text) {
    if (!g->startEdit(row, col))
        return false;
    auto* editor = qobject_cast<QLineEdit*>(g->editor());
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    return !g->isEditing();
}

void retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

// The lines of the calibration log, each split into its fields.
QList<QStringList> logLines(const QString& folder) {
    QFile f(CalibrationLogPath(folder));
    QList<QStringList> out;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& l : f.readAll().split('\n'))
            if (!l.trimmed().isEmpty())
                out << QString::fromLocal8Bit(l).trimmed().split(u',');
    return out;
}

// Everything a span's log line holds is what its certificate prints, row by row.
void certificateStatesLogLine(const QString& pdf, const QStringList& line) {
    const QString text = pdftext::extract(pdf);
    const QStringList rows = pdftext::lines(text);
    for (int f : {0, 1, 2, 3, 4, 5, 6, 7, 39}) { // date, identity, operator, lot, due, program
        // Without the mark that keeps a spreadsheet from running a typed text ("'----").
        QString value = line.value(f);
        if (value.startsWith(u'\''))
            value.remove(0, 1);
        if (!value.isEmpty())
            QVERIFY2(text.contains(value), qPrintable(value + " not in\n" + text));
    }
    for (int i = 0; i < 5; ++i) {
        const QString row = line.mid(8 + 6 * i, 6).join(u' ');
        QVERIFY2(rows.contains(row), qPrintable(row + " not in\n" + text));
    }
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
        LinkTestAccess::setStatus(b.s.link, LinkStatus::Idle); // link idle: defaults again
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
        b.window->cmdZero_Click();
        QCOMPARE(appState().ProgressTask, ProgressTask::Idle);
        QVERIFY(b.window->CalibrationOK());
        QCOMPARE(ui().asked.size(), 1);
        QCOMPARE(ui().asked[0].title, LoadMessage(5355));
        QCOMPARE(ui().asked[0].text.count(QStringLiteral("Adjustment Complete.")), 5);
        QVERIFY(b.s.link.RunDensty());
        QVERIFY(!b.window->cmdCertificate()->isEnabled());

        b.s.sim().state().sensors.advance(10000); // the span gas settles
        b.window->cmdSpan_Click();
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
        b.window->cmdSpan_Click();
        // The failed channel with the reading the span started from.
        const QString before = RecordReading(b.window->lastSpan()->channels[3].before, 0);
        QVERIFY(before.toFloat() > 35 && before.toFloat() < 45);
        QVERIFY(ui().asked.last().text.contains("CO(" + before + ") Failed\r\n"));
        QCOMPARE(ui().asked.last().text.count(QStringLiteral("Adjustment Complete.")), 4);

        // No channel selected: the box, and nothing sent.
        for (int row = 1; row <= 5; ++row)
            b.grid()->toggleCheck(row, 1);
        QCOMPARE(appState().CalibrationSelection, (std::array<bool, 5>{}));
        const int spans = b.sent("S2,W");
        b.window->cmdSpan_Click();
        QCOMPARE(ui().asked.last().text, LoadMessage(5345));
        QCOMPARE(ui().asked.last().title, LoadMessage(5346));
        QCOMPARE(b.sent("S2,W"), spans);

        // A calibration log that cannot be written: said before anything is sent.
        b.grid()->toggleCheck(4, 1);
        const int readings = b.sent("DN,R");
        appState().StartFolder = b.dir.filePath(QStringLiteral("missing"));
        b.window->cmdSpan_Click();
        QVERIFY(ui().asked.last().text.startsWith(LoadMessage(5724, {QString()})));
        QCOMPARE(b.sent("S2,W"), spans);
        QCOMPARE(b.sent("DN,R"), readings);
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
        b.window->cmdSpan_Click();
        QCOMPARE(ui().asked.last().title, LoadMessage(5346));
        QCOMPARE(b.sent("S2,W"), 0);
    }

    void failedLinkEndsTheStepInRed_data() {
        QTest::addColumn<int>("button");         // Zero, Span, the nitrogen step, the way out
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
            b.window->cmdNitrogen_Click();
        const qint16 saved = appState().Instrument.HcMode();
        if (silent)
            b.s.sim().setFaults("silent=0");
        else
            b.s.port->setCableConnected(false);
        ui().asked.clear();
        seqtest::Watchdog dog(b.s.link);
        const std::array<void (frmCalibration::*)(), 4> press{
            &frmCalibration::cmdZero_Click, &frmCalibration::cmdSpan_Click,
            &frmCalibration::cmdNitrogen_Click, &frmCalibration::cmdExit_Click};
        (b.window.get()->*press[std::size_t(button)])();
        QVERIFY(!dog.fired());
        QVERIFY(!b.window->CalibrationOK());
        if (button < 2) {
            QVERIFY(ui().asked.isEmpty()); // no result box after a failure
            QVERIFY(b.logged(5413, QColor(255, 0, 0)));
        } else {
            QCOMPARE(ui().asked.size(), 1); // one box, whichever step failed
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
        b.window->cmdNitrogen_Click(); // Set range
        QVERIFY(b.window->cmdNitrogen()->text().startsWith(LoadMessage(5235)));
        QCOMPARE(b.window->cmdExit()->text().remove(u'&'), LoadMessage(5236));
        QCOMPARE(main.HcMode(), qint16(2));
        QCOMPARE(b.window->SavedHcMode(), qint16(1));
        appState().LiveReadings = {0, 0.4f, 0, 0, 3};
        b.window->cmdNitrogen_Click(); // N2 Cal
        QCOMPARE(ui().asked.last().text, QStringLiteral("CH4  Adjustment Complete.\r\n"));
        QCOMPARE(b.s.sim().receivedPayloads().filter("SN,W").value(0),
                 QStringLiteral("SN,W,  0.4"));
        b.window->cmdExit_Click(); // N2 Cal END
        QCOMPARE(b.window->cmdNitrogen()->text().remove(u'&'), LoadMessage(5234));
        QCOMPARE(main.HcMode(), qint16(1));
        QCOMPARE(b.s.sim().state().settings.value("LP"), 1);

        // Closing the window while the range is set gives the range back.
        b.window->cmdNitrogen_Click();
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
        b.window->cmdNitrogen_Click();
        QCOMPARE(ui().asked.last().text, LoadMessage(5383));
        QCOMPARE(b.sent("LP,R"), 0);
    }

    void progressWindowRunsItsAdjustmentOnce() {
        appState().ProgressTask = ProgressTask::ZeroAdjustment;
        int runs = 0;
        frmUploadCalib d([&runs] { ++runs; });
        QCOMPARE(d.windowTitle(), QStringLiteral("Adjusting Zero"));
        QCOMPARE(d.lblUpload()->text(), QStringLiteral("Adjusting Zero"));
        QVERIFY(d.cmdUpload()->isHidden());
        QCOMPARE(d.exec(), int(QDialog::Accepted)); // closes itself
        QCOMPARE(runs, 1);
        appState().ProgressTask = ProgressTask::SpanAdjustment;
        frmUploadCalib span([] {});
        QCOMPARE(span.windowTitle(), QStringLiteral("Adjusting Span Settings."));
        appState().ProgressTask = ProgressTask::Idle;
    }

    void calibrationCommandRunsThePump() {
        Bench b;
        b.window.reset();
        // Close the window as a user would once it has read its gases.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* w = qobject_cast<frmCalibration*>(FindForm(QStringLiteral("frmCalibration")));
            if (w && !w->GasInfoPending())
                w->cmdExit()->click();
        });
        closer.start(5);
        RunCalibrationCommand(nullptr, b.s.link, {});
        const QStringList pump = b.s.sim().receivedPayloads().filter(QStringLiteral("BP,W"));
        QCOMPARE(pump, (QStringList{"BP,W,1", "BP,W,0"}));
        QCOMPARE(b.sent("GJ,R"), 1);
    }

    void gasInformationThatCannotBeReadStopsTheAdjustments() {
        Bench b;
        b.s.sim().setFaults("silent=0");
        {
            seqtest::Watchdog dog(b.s.link);
            b.window->FirstActivate();
            QVERIFY(!dog.fired());
        }
        QVERIFY(b.window->GasInfoMissing());
        QCOMPARE(ui().asked.last().text, LoadMessage(5815));
        QVERIFY(b.logged(5815, QColor(255, 0, 0)));
        for (QPushButton* p : {b.window->cmdZero(), b.window->cmdSpan(), b.window->cmdNitrogen(),
                               b.window->cmdBumpTest()})
            QVERIFY(!p->isEnabled());
        b.window->cmdZero()->click();
        QCOMPARE(b.sent("SZ,W"), 0);
        // The instrument answers again: the gases are read and the adjustments come back.
        b.s.sim().setFaults(QString());
        emit b.s.link.Densty(0, 20.9f, 0, 0, 0);
        QTRY_VERIFY(b.window->cmdZero()->isEnabled());
        QVERIFY(!b.window->GasInfoMissing());
        QCOMPARE(b.grid()->TextMatrix(1, 0), QStringLiteral("CH4(100%LEL)"));
    }

    void aClickWhileTypingAConcentrationIsNotLost() {
        Bench b;
        b.window->FirstActivate();
        b.window->show();
        QApplication::setActiveWindow(b.window.get());
        QVERIFY(QTest::qWaitForWindowActive(b.window.get()));
        FlexGrid* g = b.grid();
        QVERIFY(g->startEdit(4, 2));
        auto* editor = qobject_cast<QLineEdit*>(g->editor());
        editor->selectAll();
        QTest::keyClicks(editor, "90");
        // Press and release with the event loop between them, as a hand clicks.
        QPushButton* span = b.window->cmdSpan();
        QTest::mousePress(span, Qt::LeftButton);
        QTest::qWait(20);
        QTest::mouseRelease(span, Qt::LeftButton);
        QTRY_COMPARE(b.sent("S2,W"), 1);
        QCOMPARE(b.s.sim().receivedPayloads().filter("S2,W").value(0),
                 QStringLiteral("S2,W,11111,   50, 12.0, 10.0,   90,   50"));
    }

    void bumpTestFromTheWindow() {
        SimOptions options;
        options.bumpGas = true;
        options.cylinder = {50, 12, 20, 100, 50};
        options.faults = "deadsensor=3";
        Bench b(options);
        SimSensors& sensors = b.s.sim().state().sensors;
        const qint64 start = sensors.nowMs();
        b.window->setBumpClock(BumpClock{[&] { return (sensors.nowMs() - start) / 1000.0; },
                                         [&](double until) {
                                             sensors.advance(qint64(until * 1000) -
                                                             (sensors.nowMs() - start));
                                             return true;
                                         }});
        b.window->FirstActivate();
        QVERIFY(typeKeys(b.grid(), 3, 2, "20"));
        b.window->txtOperator()->setText("K. Tanaka");
        sensors.pumpSwitched(true);
        QVERIFY(!b.window->cmdBumpReport()->isEnabled());
        b.window->cmdBumpTest()->click();
        QCOMPARE(ui().asked.last().title, LoadMessage(5800));
        const QString text = ui().asked.last().text;
        QVERIFY2(text.contains("H2S  Passed (peak ") && text.contains("CO(") &&
                     text.contains(") Failed"),
                 qPrintable(text));
        QCOMPARE(b.sent("SZ,W") + b.sent("S2,W") + b.sent("SN,W"), 0); // nothing adjusted
        const QStringList line = logLines(b.dir.path()).last();
        QCOMPARE(line.value(38), LoadMessage(5800));
        QCOMPARE(line, CalibrationLogFields(*b.window->lastBumpTest()));
        QVERIFY(b.window->cmdBumpReport()->isEnabled());
        const QString pdf = b.dir.filePath("bump.pdf");
        ui().fileNames.enqueue(pdf);
        b.window->cmdBumpReport()->click();
        QVERIFY(pdftext::extract(pdf).contains("K. Tanaka"));
        // Nothing selected: nothing to test.
        for (int row = 1; row <= 5; ++row)
            b.grid()->toggleCheck(row, 1);
        b.window->cmdBumpTest()->click();
        QCOMPARE(ui().asked.last().text, LoadMessage(5818));
    }

    // Zero, span, typed concentrations and names, an instrument that falls silent and saving
    // the certificate, in random order: the saved certificate is always the log line of the
    // last span that ran, never the window's values nor an earlier span's.
    void savedCertificateIsTheLastSpansLogLine_data() {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u})
            QTest::addRow("seed %u", seed) << seed;
    }
    void savedCertificateIsTheLastSpansLogLine() {
        QFETCH(quint32, seed);
        SimOptions options;
        options.spanGasApplied = true;
        Bench b(options);
        b.window->FirstActivate();
        QRandomGenerator random(seed);
        // Concentrations that match the cylinder and ones that do not.
        const QList<QPair<int, QStringList>> edits{
            {1, {"50", "90"}}, {3, {"10.0", "30.0"}}, {4, {"100", "300"}}};
        int certificates = 0;
        // A passed span, an edit, a failed span: the certificate is the failed span's.
        QList<int> steps{1, 2, 1, 5};
        for (int k = 0; k < 16; ++k)
            steps << int(random.bounded(6));
        for (int k = 0; k < steps.size(); ++k) {
            seqtest::Watchdog dog(b.s.link);
            switch (steps[k]) {
            case 0:
                b.window->cmdZero()->click();
                break;
            case 1:
                retype(b.window->txtOperator(), QStringLiteral("Op%1").arg(k));
                b.window->cmdSpan()->click();
                break;
            case 2: {
                const auto& e = edits[int(random.bounded(edits.size()))];
                const bool mismatch = k == 1 || random.bounded(2);
                QVERIFY(typeKeys(b.grid(), e.first, 2, e.second[mismatch ? 1 : 0]));
                break;
            }
            case 3:
                retype(b.window->txtOperator(), QStringLiteral("Later%1").arg(k));
                retype(b.window->txtCylinderLot(), QStringLiteral("LOT-%1").arg(k));
                break;
            case 4: // the instrument falls silent somewhere in the next span
                b.s.sim().setFaults(QStringLiteral("silent=%1").arg(random.bounded(4)));
                retype(b.window->txtOperator(), QStringLiteral("Op%1").arg(k));
                b.window->cmdSpan()->click();
                b.s.sim().setFaults(QString());
                break;
            case 5: {
                const QList<QStringList> log = logLines(b.dir.path());
                QStringList lastSpan;
                for (const QStringList& l : log)
                    if (l.value(38) == LoadMessage(5219))
                        lastSpan = l;
                QCOMPARE(b.window->cmdCertificate()->isEnabled(), !lastSpan.isEmpty());
                if (lastSpan.isEmpty())
                    break;
                const QString pdf = b.dir.filePath(QStringLiteral("cert%1.pdf").arg(k));
                ui().fileNames.enqueue(pdf);
                b.window->cmdCertificate()->click();
                certificateStatesLogLine(pdf, lastSpan);
                const QString text = pdftext::extract(pdf);
                if (b.window->txtOperator()->text() != lastSpan.value(5))
                    QVERIFY(!text.contains(b.window->txtOperator()->text()));
                ++certificates;
                break;
            }
            }
            QVERIFY(!dog.fired());
        }
        QVERIFY(certificates > 0);
    }

    void trendBreaksItsLineWherePollingPaused() {
        CalibrationTrend t;
        const std::array<float, 5> scales{100, 40, 100, 500, 100};
        const std::array<float, 5> r{10, 20.9f, 0, 5, 1};
        for (double s : {0.0, 1.0, 2.0})
            t.addReadingsAt(s, r, scales);
        QCOMPARE(t.segmentCount(0), 1);
        t.markGap(); // an adjustment paused the polling
        t.addReadingsAt(3.0, r, scales);
        t.addReadingsAt(4.0, r, scales);
        QCOMPARE(t.segmentCount(0), 2);
        t.addReadingsAt(30.0, r, scales); // no readings for 26 s
        QCOMPARE(t.segmentCount(0), 3);
        QCOMPARE(t.pointCount(0), 6);
        QCOMPARE(t.data().segments(0).value(1), (QList<QPointF>{{3, 10}, {4, 10}}));
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
