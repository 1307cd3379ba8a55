// Writes PNGs of the calibration window for a developer to look at: a zero and its result,
// before a span, the progress window during it, after it, a failed span, a bump test with a
// dead sensor and its progress window, the live trend settling, and the certificate and bump
// test report PDFs (scripts/screenshots turns their first pages into PNGs).
#include "app/MessageTable.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "state/AppState.h"
#include "support/ScreenshotSupport.h"
#include "ui/calibration/frmCalibration.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// The last box the window showed, as the operator saw it.
void saveLastBox(ScriptedUiServices& scripted, QWidget* parent, const QDir& dir,
                 const QString& name) {
    const auto& asked = scripted.asked;
    QMessageBox box(QMessageBox::Information, asked.isEmpty() ? QString() : asked.last().title,
                    asked.isEmpty() ? QString() : asked.last().text, QMessageBox::Ok, parent);
    shots::Save(&box, dir, name);
}

// Grabs the modal window that is up `afterMs` from now.
void grabModalLater(const QDir& dir, const QString& name, int afterMs) {
    QTimer::singleShot(afterMs, [dir, name] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->grab().save(dir.filePath(name + QStringLiteral(".png")));
        else
            qWarning("no modal window for %s", qPrintable(name));
    });
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out = shots::OutputFolder(argc, argv);
    QTemporaryDir work;
    appState().StartFolder = work.path();
    appState().PasswordAccepted = true;
    ScopedScriptedUi scripted;

    StartupOptions o;
    o.simulate = true;
    frmMain main(o);
    main.show();
    main.FirstActivate();
    uclHbif& link = *main.link();
    if (!QTest::qWaitFor([&] { return link.Connected(); }, 5000))
        qWarning("the simulated instrument did not connect");
    main.command_Click(MainButton::Read);
    auto* port = dynamic_cast<SimPortControl*>(link.SerialControl());
    if (!port) {
        qWarning("no simulated instrument");
        return 1;
    }
    SimInstrument& sim = port->instrument();

    link.setDenstyInterval(250); // a livelier trend than once a second
    frmCalibration w(frmCalibration::Host{&link, [&main](const QString& t,
                                                         const QColor& c) { main.AddInfo(t, c); }},
                     &main);
    w.txtOperator()->setText(QStringLiteral("K. Tanaka"));
    w.txtCylinderLot()->setText(QStringLiteral("LOT 4471-B"));
    w.show();
    w.FirstActivate();
    QTest::qWait(1500);
    shots::Save(&w, out, QStringLiteral("calibration_open"));

    w.cmdZero_Click(); // zero in clean air; the span gas is connected afterwards
    saveLastBox(scripted.services, &w, out, QStringLiteral("calibration_zero_result"));
    QTest::qWait(2500);
    shots::Save(&w, out, QStringLiteral("calibration_trend_settling"));
    QTest::qWait(6000);
    shots::Save(&w, out, QStringLiteral("calibration_before_span"));

    sim.setFaults(QStringLiteral("delay=700")); // a span slow enough to be seen
    grabModalLater(out, QStringLiteral("calibration_during_span"), 400);
    w.cmdSpan_Click();
    sim.setFaults(QString());
    QTest::qWait(2500);
    shots::Save(&w, out, QStringLiteral("calibration_after_span"));
    saveLastBox(scripted.services, &w, out, QStringLiteral("calibration_span_result"));

    // A span whose CO concentration is not the cylinder's: CO fails, the others pass.
    FlexGrid* grid = w.vfgCal();
    if (grid->startEdit(4, 2)) {
        grid->setEditText(QStringLiteral("300"));
        grid->commitEdit();
    }
    w.txtCylinderLot()->setText(QStringLiteral("LOT 4471-C"));
    w.cmdSpan_Click();
    QTest::qWait(1500);
    shots::Save(&w, out, QStringLiteral("calibration_after_failed_span"));
    saveLastBox(scripted.services, &w, out, QStringLiteral("calibration_failed_span_result"));
    scripted.services.fileNames.enqueue(out.filePath(QStringLiteral("certificate.pdf")));
    w.cmdCertificate_Click();

    // A bump test: fresh test gas on the sensors, the H2S sensor dead.
    if (grid->startEdit(4, 2)) {
        grid->setEditText(QStringLiteral("100"));
        grid->commitEdit();
    }
    SimSensors& sensors = sim.state().sensors;
    sensors.connectCylinder(false);
    sensors.settle();
    QTest::qWait(2000);
    sim.setFaults(QStringLiteral("deadsensor=2"));
    sensors.attachCylinder();
    sensors.pumpSwitched(true);
    grabModalLater(out, QStringLiteral("calibration_during_bump"), 3500);
    w.cmdBumpTest_Click();
    QTest::qWait(1500);
    shots::Save(&w, out, QStringLiteral("calibration_after_bump"));
    saveLastBox(scripted.services, &w, out, QStringLiteral("calibration_bump_result"));
    scripted.services.fileNames.enqueue(out.filePath(QStringLiteral("bump_report.pdf")));
    w.cmdBumpReport_Click();
    sim.setFaults(QString());
    w.close();
    shots::Save(&main, out, QStringLiteral("main_after_calibration"));
    scripted.services.answers.enqueue(UiServices::AnswerYes);
    main.close();
    return 0;
}
