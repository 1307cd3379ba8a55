// tq5800: the desktop program. Start-up order: single instance, start folder, switches, font,
// splash, then the password dialog; the main window follows an accepted password.
#include "app/AppState.h"
#include "app/MessageTable.h"
#include "ui/common/UiServices.h"
#include "ui/main/frmMain.h"
#include "ui/shell/StartupOptions.h"
#include "ui/shell/frmOpen.h"
#include "ui/shell/frmPassword.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QPointer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TQ-5800 Setup"));
    const StartupOptions options = ParseStartupOptions(QApplication::arguments());

    QLockFile instanceLock(QDir::temp().filePath(QStringLiteral("tq5800-setup.lock")));
    instanceLock.setStaleLockTime(0);
    if (!instanceLock.tryLock(0)) {
        ui().message(nullptr, LoadMessage(99), AppTitle(), UiServices::Critical, UiServices::Ok);
        return 0;
    }

    AppState& s = appState();
    s.StartFolder = QDir::currentPath();
    s.DebugMode = options.debug;
    s.FactoryMode = options.factory;
    s.AppFont = FontSpec{};
    s.AppFont.Size = 9.0f;

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
