// tq5800-cli: the instrument commands of the program without its windows.
#include "cli/CliOptions.h"
#include "cli/CliSession.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
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
    CliSession session(parsed.options);
    return session.run();
}
