// tq5800-sim: a simulated TQ-5800 served on a pseudo-terminal.

#include "app/CommandLineHelp.h"
#include "app/ProgramVersion.h"
#include "sim/SimFaultPlan.h"
#include "sim/SimInstrument.h"
#include "sim/SimLoggerMemory.h"
#include "sim/SimPtyServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM end the event loop, so the pseudo-terminal is closed properly.
bool installQuitOnSignal(QCoreApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        app.quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

int writeCheckImage(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(SimLoggerMemory::checkImage()) != SimLoggerMemory::Size || !file.commit()) {
        std::fprintf(stderr, "tq5800-sim: cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

int usageError(const QString& why) {
    std::fputs(
        qPrintable(UsageErrorText(QStringLiteral("tq5800-sim"), why, QStringLiteral("tq5800-sim"))),
        stderr);
    return 2;
}

// --help and --version; 1 when standard output did not take the text.
int answer(const QString& text) {
    QString error;
    if (WriteStandardOutput(text.toLocal8Bit(), &error))
        return 0;
    std::fprintf(stderr, "tq5800-sim: cannot write to standard output: %s\n", qPrintable(error));
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tq5800-sim"));
    QCoreApplication::setApplicationVersion(ProgramVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated TQ-5800 gas detector on a pseudo-terminal.\n"
                       "Prints the device path of the pseudo-terminal as the first line of\n"
                       "standard output and answers as the instrument until stopped.\n\n") +
        SimFaultPlan::syntaxHelp());
    const QCommandLineOption help = HelpOption();
    // -v as well: the simulator took it before -V was the programs' common spelling.
    const QCommandLineOption version = VersionOption({QStringLiteral("v")});
    const QCommandLineOption pty(QStringLiteral("pty"),
                                 QStringLiteral("Serve on a pseudo-terminal."));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Pace replies at B bits per second (10 bits a "
                                                 "byte); without it replies leave at once."),
                                  QStringLiteral("B"));
    const QCommandLineOption faults(QStringLiteral("faults"),
                                    QStringLiteral("Misbehave as LIST says (see above)."),
                                    QStringLiteral("LIST"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed for faults and readings (default 1)."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption checkImage(
        QStringLiteral("write-check-image"),
        QStringLiteral("Write the memory image that check data leaves (524288 bytes) to PATH "
                       "and exit."),
        QStringLiteral("PATH"));
    const QCommandLineOption cylinder(
        QStringLiteral("cylinder"),
        QStringLiteral("Span gas concentrations of the five channels (default 50,12,10,100,50); "
                       "the cylinder is connected after a zero adjustment."),
        QStringLiteral("C0,C1,C2,C3,C4"));
    const QCommandLineOption spanGas(
        QStringLiteral("span-gas"),
        QStringLiteral("The span gas flows from the start, readings already settled."));
    const QCommandLineOption bumpGas(
        QStringLiteral("bump-gas"),
        QStringLiteral("The cylinder is on the inlet and its gas reaches the sensors when the "
                       "pump is switched on (\"BP,W,1\"), as for a bump test."));
    const QCommandLineOption timing(
        QStringLiteral("report-timing"),
        QStringLiteral("On exit, print how many replies were sent and how much later, on "
                       "average, their last bytes left than the line allows."));
    // The identity fields as wide as the instrument keeps them.
    const struct IdentityOption {
        QCommandLineOption option;
        QByteArray SimOptions::*field;
        int width;
    } identity[] = {
        {{QStringLiteral("serial"),
          QStringLiteral("Answer with this serial number (up to 20 characters)."),
          QStringLiteral("TEXT")},
         &SimOptions::serialNo,
         20},
        {{QStringLiteral("station"),
          QStringLiteral("Answer with this station ID (up to 16 characters)."),
          QStringLiteral("TEXT")},
         &SimOptions::stationId,
         16},
        {{QStringLiteral("user"), QStringLiteral("Answer with this user ID (up to 16 characters)."),
          QStringLiteral("TEXT")},
         &SimOptions::userId,
         16},
    };
    parser.addOptions({pty, baud, faults, seed, cylinder, spanGas, bumpGas});
    for (const IdentityOption& id : identity)
        parser.addOption(id.option);
    parser.addOptions({checkImage, timing, help, version});
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return answer(ParserHelpText(parser, QStringLiteral("Usage: tq5800-sim [options]")));
    if (parser.isSet(version))
        return answer(VersionLine(QStringLiteral("tq5800-sim")));
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    if (parser.isSet(checkImage))
        return writeCheckImage(parser.value(checkImage));
    if (!parser.isSet(pty))
        return usageError(QStringLiteral("nothing to do; use --pty"));

    SimOptions opts;
    bool ok = true;
    if (parser.isSet(baud)) {
        opts.baud = parser.value(baud).toInt(&ok);
        if (!ok || opts.baud <= 0) {
            return usageError(QStringLiteral("bad --baud value"));
        }
    }
    opts.seed = parser.value(seed).toUInt(&ok);
    if (!ok) {
        return usageError(QStringLiteral("bad --seed value"));
    }
    opts.faults = parser.value(faults);
    if (parser.isSet(cylinder)) {
        const QStringList values = parser.value(cylinder).split(QLatin1Char(','));
        for (const QString& v : values) {
            const float c = v.trimmed().toFloat(&ok);
            if (!ok || c < 0 || values.size() != 5) {
                return usageError(QStringLiteral("bad --cylinder value"));
            }
            opts.cylinder.append(c);
        }
    }
    for (const IdentityOption& id : identity) {
        const QString text = parser.value(id.option);
        // Printable ASCII without the field separator: what the instrument's fields can carry.
        static const QRegularExpression fieldText(QStringLiteral("^[ -+\\--~]*$"));
        if (text.size() > id.width || !fieldText.match(text).hasMatch())
            return usageError(QStringLiteral("bad --%1 value").arg(id.option.names().first()));
        opts.*id.field = text.toLatin1();
    }
    opts.spanGasApplied = parser.isSet(spanGas);
    opts.bumpGas = parser.isSet(bumpGas);
    QString error;
    SimFaultPlan probe;
    if (!SimFaultPlan::parse(opts.faults, &probe, &error))
        return usageError(error);

    SimInstrument instrument(opts);
    SimPtyServer server(&instrument);
    if (!server.open(&error)) {
        std::fprintf(stderr, "tq5800-sim: %s\n", qPrintable(error));
        return 1;
    }
    if (!installQuitOnSignal(app))
        std::fprintf(stderr, "tq5800-sim: signals will not stop the simulator cleanly\n");

    std::printf("%s\n", qPrintable(server.slavePath()));
    std::fflush(stdout);
    const int rc = app.exec();
    if (parser.isSet(timing)) {
        const SimPacer::Lateness late = instrument.pacer().lateness();
        std::printf("replies %lld, beyond the line %.1f us each\n",
                    static_cast<long long>(late.segments),
                    late.segments > 0 ? double(late.totalUs) / double(late.segments) : 0.0);
    }
    return rc;
}
