// tq5800: the desktop program. Start-up order: single instance, start folder, switches, font,
// splash, then the password dialog; the main window follows an accepted password.
#include "app/CommandLineHelp.h"
#include "app/MessageTable.h"
#include "app/ProgramVersion.h"
#include "state/AppState.h"
#include "state/ConfigFile.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/UiServices.h"
#include "ui/fleet/frmFleet.h"
#include "ui/main/frmMain.h"
#include "ui/shell/StartupOptions.h"
#include "ui/shell/frmOpen.h"
#include "ui/shell/frmPassword.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>

#include <cstdio>

namespace {

int usageError(const QString& why) {
    std::fputs(qPrintable(UsageErrorText(QStringLiteral("tq5800"), why, QStringLiteral("tq5800"))),
               stderr);
    return 2;
}

// Where the program's files are: the start folder, which relative names then mean too.
void enterStartFolder(const StartupOptions& options) {
    AppState& s = appState();
    QString folderError;
    s.StartFolder = ChooseStartFolder(options, &folderError);
    if (s.StartFolder.isEmpty()) {
        std::fprintf(stderr, "tq5800: %s; using the current folder\n", qPrintable(folderError));
        s.StartFolder = QDir::currentPath();
    }
    QDir::setCurrent(s.StartFolder);
}

// --fleet: the Fleet window alone. It opens no port, so it takes neither the single-instance
// lock nor the password that guards the instrument, and may run beside the program.
int runFleetWindow(const StartupOptions& options, QApplication& app) {
    enterStartFolder(options);
    // Only read: the configuration file may name the database. The main window writes it.
    ReadConfigFile();
    auto* fleet = new frmFleet(FleetUrlOf(options));
    fleet->setAttribute(Qt::WA_DeleteOnClose);
    fleet->show();
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    // --help, --version and usage errors answer without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartupOptions given = ParseStartupOptions(arguments);
    if (given.help || given.version) {
        const QCoreApplication core(argc, argv); // the help text asks it for the options
        const QString text =
            given.help ? StartupUsageText() : VersionLine(QStringLiteral("tq5800"));
        QString error;
        if (WriteStandardOutput(text.toLocal8Bit(), &error))
            return 0;
        std::fprintf(stderr, "tq5800: %s\n", qPrintable(LoadMessage(5900, {error})));
        return 1;
    }
    if (!given.error.isEmpty() && !given.mayBeQtOption)
        return usageError(given.error);

    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...); what is left is the program's.
    const StartupOptions options = ParseStartupOptions(QApplication::arguments());
    if (!options.error.isEmpty())
        return usageError(options.error);
    QApplication::setApplicationName(QStringLiteral("TQ-5800 Setup"));
    QApplication::setApplicationVersion(ProgramVersion());
    // The desktop entry's icon and name for the window manager (Wayland matches them by this).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.norvel.tq5800setup"));
    // Message boxes and dialogs that do not take the program font still need Japanese glyphs.
    QApplication::setFont(WithJapaneseFallback(QApplication::font()));
    InstallQtTranslations(MessageLanguage());

    appState().AppFont = FontSpec{};
    appState().AppFont.Size = 9.0f;
    if (options.fleet)
        return runFleetWindow(options, app);

    // The lock lives in the user's runtime folder, which no other user can write to.
    QString lockFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (lockFolder.isEmpty())
        lockFolder = QDir::tempPath();
    const QString lockPath = QDir(lockFolder).filePath(QStringLiteral("tq5800-setup.lock"));
    QLockFile instanceLock(lockPath);
    instanceLock.setStaleLockTime(0);
    if (!instanceLock.tryLock(0)) {
        // Only a lock held by another instance means "already running". The terminal it was
        // started from hears it too.
        const bool running = instanceLock.error() == QLockFile::LockFailedError;
        std::fprintf(stderr, "tq5800: %s\n",
                     qPrintable(running ? LoadMessage(99) : LoadMessage(5781, {lockPath})));
        ui().message(nullptr, running ? LoadMessage(99) : LoadMessage(5781, {lockPath}), AppTitle(),
                     UiServices::Critical, UiServices::Ok);
        return running ? 0 : 1;
    }

    AppState& s = appState();
    enterStartFolder(options);
    s.DebugMode = options.debug;
    s.FactoryMode = options.factory;

    ui().setBusy(true);
    {
        frmOpen splash;
        splash.exec();
    }
    ui().setBusy(false);

    s.AccessPassword = QStringLiteral("7261");
    s.PasswordAccepted = false;
    auto* password = new frmPassword;
    password->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(password, &frmPassword::passwordAccepted, password, [options] {
        auto* mainWindow = new frmMain(options);
        mainWindow->setAttribute(Qt::WA_DeleteOnClose);
        mainWindow->show();
    });
    password->show();
    return app.exec();
}
