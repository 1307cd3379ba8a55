// Start-up switches, the splash window and the password dialog.
#include "app/MessageTable.h"
#include "app/ProgramVersion.h"
#include "state/AppState.h"
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
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// The program starts in well under this, even on a busy machine.
constexpr int StartLimitMs = 10000;
} // namespace

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
        // A speed that is no number is a usage error, not a silent "at once".
        o = ParseStartupOptions({"tq5800", "--simulate-baud=fast"});
        QVERIFY(!o.error.isEmpty() && !o.mayBeQtOption);
        // An option the program does not know may be Qt's, which the application takes.
        o = ParseStartupOptions({"tq5800", "--bogus"});
        QCOMPARE(o.error, QStringLiteral("Unknown option 'bogus'."));
        QVERIFY(o.mayBeQtOption);
        // A switch inside an option's value counts, and the value stays whole.
        o = ParseStartupOptions({"tq5800", "--port=/dev/x-debug", "--irda", "ir-Seizo", "-V"});
        QVERIFY(o.error.isEmpty() && o.debug && o.factory && o.version);
        QCOMPARE(o.port, QStringLiteral("/dev/x-debug"));
        QCOMPARE(o.irda, QStringLiteral("ir-Seizo"));
        // The Fleet window alone, on a database named on the command line.
        o = ParseStartupOptions({"tq5800", "--fleet", "--fleet-db", "/srv/fleet.sqlite"});
        QVERIFY(o.fleet && o.error.isEmpty() && !o.debug);
        QCOMPARE(o.fleetDb, QStringLiteral("/srv/fleet.sqlite"));
        // Every option the program takes is in its --help (the manual page is written from it).
        for (const char* option :
             {"--port", "--irda", "--simulate-baud", "--xdg-data", "--fleet", "--fleet-db",
              "--help", "--version", "-DEBUG", "-SEIZO", "TQ5800_LANG", "dialout"})
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

    // Started twice, the program's own lock step ends the second at once and leaves the first
    // running with its lock.
    void aSecondInstanceEndsAtOnce() {
        QTemporaryDir runtime; // the user's runtime folder, 0700 as it must be
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TQ5800_LANG", "en");
        const QString program = QCoreApplication::applicationDirPath() + "/tq5800";
        const QString lock = runtime.filePath("tq5800-setup.lock");
        QProcess first;
        QProcess second;
        for (QProcess* p : {&first, &second}) {
            p->setProcessEnvironment(env);
            p->setWorkingDirectory(runtime.path());
        }
        first.start(program, {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), StartLimitMs);
        second.start(program, {});
        QVERIFY(second.waitForStarted());
        QString said;
        QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromLocal8Bit(second.readAllStandardError()))
                                     .contains("tq5800: It has already started."),
                                 StartLimitMs);
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(QFile::exists(lock));
        // The second waits on its message box, the first at its password: both are ended here.
        for (QProcess* p : {&second, &first}) {
            p->kill();
            p->waitForFinished();
        }
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
