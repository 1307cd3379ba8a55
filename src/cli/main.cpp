// tq5800-cli: the instrument commands of the program without its windows.
#include "app/ProgramVersion.h"
#include "cli/CliOptions.h"
#include "cli/CliSession.h"

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
        if (std::strcmp(argv[i], "--certificate") == 0)
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
        std::fprintf(stderr, "tq5800-cli: %s\n\n%s", qPrintable(parsed.error),
                     qPrintable(CliUsageText()));
        return CliExit::Usage;
    }
    if (parsed.options.help) {
        std::fputs(qPrintable(CliUsageText()), stdout);
        return CliExit::Done;
    }
    if (parsed.options.version) {
        std::fputs(qPrintable(VersionLine(QStringLiteral("tq5800-cli"))), stdout);
        return CliExit::Done;
    }
    CliSession session(parsed.options);
    return session.run();
}
