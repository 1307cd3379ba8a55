// Start-up switches, the splash window and the password dialog.
#include "app/AppState.h"
#include "app/MessageTable.h"
#include "app/ProgramVersion.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/shell/AboutBox.h"
#include "ui/shell/StartupOptions.h"
#include "ui/shell/frmOpen.h"
#include "ui/shell/frmPassword.h"

#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
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

    void programOptions() {
        auto o = ParseStartupOptions({"tq5800", "--xdg-data", "--version"});
        QVERIFY(o.userDataFolder && o.version && !o.help && !o.debug);
        o = ParseStartupOptions({"tq5800", "-h"});
        QVERIFY(o.help && !o.userDataFolder && !o.simulate && o.simulateBaud == 0);
        o = ParseStartupOptions({"tq5800", "--simulate-baud", "115200"});
        QVERIFY(o.simulate && o.simulateBaud == 115200);
        QCOMPARE(ParseStartupOptions({"tq5800", "--simulate-baud", "fast"}).simulateBaud, 0);
        // Every option the program takes is in its --help (the manual page is written from it).
        for (const char* option : {"--port", "--irda", "--simulate-baud", "--xdg-data", "--help",
                                   "--version", "-DEBUG", "-SEIZO", "TQ5800_LANG", "dialout"})
            QVERIFY2(StartupUsageText().contains(QLatin1String(option)), option);
    }

    // Started from a terminal the files live in the current folder; with --xdg-data (the
    // desktop entry) in $XDG_DATA_HOME/tq5800, created on the way.
    void startFolder() {
        QTemporaryDir home;
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
        StartupOptions o;
        QCOMPARE(ChooseStartFolder(o), QDir::currentPath());
        o.userDataFolder = true;
        QString error;
        QCOMPARE(ChooseStartFolder(o, &error), home.filePath("data/tq5800"));
        QVERIFY(QFileInfo(home.filePath("data/tq5800")).isDir());
        // A folder that cannot be made is reported, never silently replaced.
        QFile blocker(home.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        qputenv("XDG_DATA_HOME", home.filePath("file").toLocal8Bit());
        QCOMPARE(ChooseStartFolder(o, &error), QString());
        QVERIFY(error.contains(home.filePath("file")));
        if (saved.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", saved);
    }

    void aboutBoxShowsTheVersion() {
        ScopedScriptedUi ui;
        QWidget window;
        InstallAboutBox(&window);
        auto* about = window.findChild<QAction*>(QStringLiteral("actAbout"));
        QVERIFY(about && window.actions().contains(about));
        QCOMPARE(about->shortcut(), QKeySequence(QKeySequence::HelpContents));
        about->trigger();
        QCOMPARE(ui.services.asked.size(), 1);
        QCOMPARE(ui.services.asked.last().title, QStringLiteral("About"));
        QVERIFY(ui.services.asked.last().text.contains(ProgramVersion()));
        QVERIFY(ui.services.asked.last().text.startsWith(AppTitle()));
    }

    // A font without Japanese glyphs gets a Japanese family behind it; one with them stays.
    void japaneseFallbackFont() {
        const QString fallback = JapaneseFallbackFamily();
        if (fallback.isEmpty())
            QSKIP("no Japanese font installed (scripts/install-deps installs one)");
        QString latinOnly;
        for (const QString& family : QFontDatabase::families(QFontDatabase::Latin))
            if (!QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese)) {
                latinOnly = family;
                break;
            }
        if (latinOnly.isEmpty())
            QSKIP("every installed font has Japanese glyphs");
        FontSpec font;
        font.Name = latinOnly;
        QCOMPARE(ToQFont(font).families(), (QStringList{latinOnly, fallback}));
        font.Name = fallback;
        QCOMPARE(ToQFont(font).families(), QStringList{fallback});
    }

    // Qt's own buttons speak the program's language when Qt's translations are installed.
    void qtButtonsTranslated() {
        if (!InstallQtTranslations(QStringLiteral("ja")))
            QSKIP("Qt's translations are not installed (scripts/install-deps installs them)");
        const QString yes =
            QMessageBox(QMessageBox::Question, QString(), QString(), QMessageBox::Yes)
                .button(QMessageBox::Yes)
                ->text();
        QVERIFY2(yes.contains(QStringLiteral("はい")), qPrintable(yes));
        InstallQtTranslations(QStringLiteral("en"));
        QCOMPARE(QMessageBox(QMessageBox::Question, QString(), QString(), QMessageBox::Yes)
                     .button(QMessageBox::Yes)
                     ->text(),
                 QStringLiteral("&Yes"));
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
