// tq5800-cli: the instrument commands of the program without its windows.
#include "app/CommandLineHelp.h"
#include "app/MessageTable.h"
#include "app/ProgramVersion.h"
#include "cli/CliCommandLine.h"
#include "cli/CliSession.h"
#include "link/SimPortControl.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A certificate's PDF needs fonts, which only a GUI application has; the command line never
// shows a window, so it draws on the offscreen platform.
bool wantsCertificate(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--certificate") == 0 ||
            std::strncmp(argv[i], "--certificate=", 14) == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    std::unique_ptr<QCoreApplication> application;
    if (wantsCertificate(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("tq5800-cli"));

    const CliParse parsed = ParseCliArguments(app.arguments().mid(1));
    if (!parsed.ok) {
        std::fputs(qPrintable(UsageErrorText(QStringLiteral("tq5800-cli"), parsed.error,
                                             parsed.helpCommand)),
                   stderr);
        return CliExit::Usage;
    }
    if (parsed.options.help || parsed.options.version) {
        const QString text =
            parsed.options.help ? parsed.helpText : VersionLine(QStringLiteral("tq5800-cli"));
        QString error;
        if (WriteStandardOutput(text.toLocal8Bit(), &error))
            return CliExit::Done;
        std::fprintf(stderr, "tq5800-cli: %s\n", qPrintable(LoadMessage(5900, {error})));
        return CliExit::Failed;
    }
    CliSession session(parsed.options);
    session.setSimulatedPortFactory(
        [](QObject* parent) -> PortControl* { return new SimPortControl(SimOptions{}, parent); });
    return session.run();
}
