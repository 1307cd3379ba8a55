// Start-up switches, the splash window and the password dialog.
#include "app/AppState.h"
#include "app/MessageTable.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/shell/StartupOptions.h"
#include "ui/shell/frmOpen.h"
#include "ui/shell/frmPassword.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void init() {
        resetAppState();
        SetMessageLanguage(QStringLiteral("en"));
    }

    void switches() {
        auto o = ParseStartupOptions({"tq5800", "-debug"});
        QVERIFY(o.debug && !o.factory);
        o = ParseStartupOptions({"tq5800", "-SEIZO", "-Debug"});
        QVERIFY(o.debug && o.factory);
        o = ParseStartupOptions({"tq5800", "x-seizoy"});
        QVERIFY(o.factory && !o.debug);
        o = ParseStartupOptions({"tq5800", "--simulate", "--port", "ttyUSB1", "--irda=ircomm0"});
        QVERIFY(o.simulate && !o.debug);
        QCOMPARE(o.port, QStringLiteral("ttyUSB1"));
        QCOMPARE(o.irda, QStringLiteral("ircomm0"));
        // The program's own name does not count.
        o = ParseStartupOptions({"/opt/-DEBUG/tq5800"});
        QVERIFY(!o.debug);
    }

    void passwordRules() {
        ScopedScriptedUi ui;
        frmPassword dlg;
        int accepted = 0;
        connect(&dlg, &frmPassword::passwordAccepted, this, [&] { ++accepted; });
        dlg.show();
        QCOMPARE(dlg.windowTitle(), AppTitle());
        for (const char* wrong : {"", "7261 ", "726"}) {
            dlg.txtPass()->setText(QString::fromLatin1(wrong));
            dlg.cmdOK_Click();
            QVERIFY(dlg.isVisible());
        }
        QCOMPARE(ui.services.texts().count(QStringLiteral("Incorrect Password Entered")), 3);
        QCOMPARE(ui.services.asked.last().title, QStringLiteral("Password"));
        QCOMPARE(accepted, 0);
        appState().AccessPassword = QStringLiteral("Wex");
        dlg.txtPass()->setText(QStringLiteral("wEX"));
        dlg.cmdOK_Click();
        QCOMPARE(accepted, 1);
        QVERIFY(appState().PasswordAccepted);
        QVERIFY(!dlg.isVisible());
        // Accepted: no "End ?" question.
        QVERIFY(!ui.services.texts().contains(QStringLiteral("End ?")));
    }

    void cancelAsksBeforeClosing() {
        ScopedScriptedUi ui;
        frmPassword dlg;
        dlg.show();
        dlg.txtPass()->setText(QStringLiteral("12"));
        ui.services.answers.enqueue(UiServices::AnswerNo);
        dlg.cmdCancel()->click();
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.txtPass()->text(), QStringLiteral("12"));
        QCOMPARE(ui.services.asked.last().text, QStringLiteral("End ?"));
        QCOMPARE(ui.services.asked.last().title, QStringLiteral("TQ-5800"));
        QCOMPARE(ui.services.asked.last().icon, UiServices::Question);
        ui.services.answers.enqueue(UiServices::AnswerYes);
        dlg.close();
        QVERIFY(!dlg.isVisible());
    }

    void splash() {
        ScopedScriptedUi ui;
        frmOpen en(nullptr, 20);
        QCOMPARE(en.lblCompany()->text(), QStringLiteral("Norvel, Inc."));
        QCOMPARE(en.lblVersion()->text(), QStringLiteral("P.No.04765"));
        QElapsedTimer t;
        t.start();
        QCOMPARE(en.exec(), int(QDialog::Accepted)); // closed by its timer
        SetMessageLanguage(QStringLiteral("ja"));
        frmOpen ja(nullptr, 20);
        QCOMPARE(ja.lblCompany()->text(), QStringLiteral("Selvane CO.,LTD."));
        QCOMPARE(ja.lblVersion()->text(), QStringLiteral("P.No.04765"));
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
