// Writes PNGs of the calibration window for a developer to look at: before a span, the
// progress window during it, after it, the live trend settling, and the certificate PDF
// (scripts/screenshots turns its first page into a PNG).
#include "app/AppState.h"
#include "app/MessageTable.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "ui/calibration/frmCalibration.h"
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
void save(QWidget* w, const QDir& dir, const QString& name, int settleMs = 300) {
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("window %s not exposed", qPrintable(name));
    QTest::qWait(settleMs);
    w->grab().save(dir.filePath(name + QStringLiteral(".png")));
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
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    QDir().mkpath(out.path());
    QTemporaryDir work;
    appState().StartFolder = work.path();
    appState().PasswordAccepted = true;
    ScopedScriptedUi scripted;

    StartupOptions o;
    o.simulate = true;
    frmMain main(o);
    main.show();
    main.FirstActivate();
    uclHbif& link = *main.uclHB3130();
    if (!QTest::qWaitFor([&] { return link.Connected(); }, 5000))
        qWarning("the simulated instrument did not connect");
    main.cmdDown_Click(1);
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
    save(&w, out, QStringLiteral("calibration_open"));

    w.cmdCal_Click(0); // zero in clean air; the span gas is connected afterwards
    QTest::qWait(2500);
    save(&w, out, QStringLiteral("calibration_trend_settling"));
    QTest::qWait(6000);
    save(&w, out, QStringLiteral("calibration_before_span"));

    sim.setFaults(QStringLiteral("delay=700")); // a span slow enough to be seen
    grabModalLater(out, QStringLiteral("calibration_during_span"), 400);
    w.cmdCal_Click(1);
    sim.setFaults(QString());
    QTest::qWait(2500);
    save(&w, out, QStringLiteral("calibration_after_span"));
    {
        const auto& asked = scripted.services.asked;
        QMessageBox box(QMessageBox::Information, asked.isEmpty() ? QString() : asked.last().title,
                        asked.isEmpty() ? QString() : asked.last().text, QMessageBox::Ok, &w);
        save(&box, out, QStringLiteral("calibration_span_result"));
    }
    scripted.services.fileNames.enqueue(out.filePath(QStringLiteral("certificate.pdf")));
    w.cmdCertificate_Click();
    w.close();
    save(&main, out, QStringLiteral("main_after_calibration"));
    scripted.services.answers.enqueue(UiServices::AnswerYes);
    main.close();
    return 0;
}
