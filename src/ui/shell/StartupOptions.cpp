#include "ui/shell/StartupOptions.h"

#include "app/CommandLineHelp.h"
#include "fleet/FleetStore.h"
#include "state/AppState.h"

#include <QCommandLineParser>
#include <QDir>
#include <QStandardPaths>

namespace {

// The program's options, with Qt's parser.
struct ProgramOptions {
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Serial port of the instrument (default: the USB "
                                           "serial adapter found by its hardware identifier)."),
                            QStringLiteral("NAME")};
    QCommandLineOption irda{QStringLiteral("irda"),
                            QStringLiteral("IrCOMM port of the infrared adapter."),
                            QStringLiteral("NAME")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("The built-in simulated instrument.")};
    QCommandLineOption simulateBaud{
        QStringLiteral("simulate-baud"),
        QStringLiteral("The same, answering at this line speed as an instrument on a cable "
                       "would (a pace to follow in a demonstration)."),
        QStringLiteral("BAUD")};
    QCommandLineOption xdgData{
        QStringLiteral("xdg-data"),
        QStringLiteral("Keep the program's files in the per-user data folder "
                       "$XDG_DATA_HOME/tq5800 (~/.local/share/tq5800 by default) instead of the "
                       "current folder; the desktop menu entry starts the program so.")};
    QCommandLineOption fleet{
        QStringLiteral("fleet"),
        QStringLiteral("Only the Fleet window: every instrument the fleet history knows, when "
                       "each is next due, and what was done to it. No instrument is needed and "
                       "no port is opened.")};
    QCommandLineOption fleetDb{
        QStringLiteral("fleet-db"),
        QStringLiteral("The fleet history database: a file path, or "
                       "postgresql://user@host:port/dbname (the password from ~/.pgpass). "
                       "Default: TQ5800_FLEET_DB, else the configuration file's \"Fleet DB\", "
                       "else TQ5800_Fleet.db in the program's folder."),
        QStringLiteral("URL")};
    QCommandLineOption help = HelpOption();
    QCommandLineOption version = VersionOption();
    QCommandLineParser parser;

    ProgramOptions() {
        parser.setApplicationDescription(
            QStringLiteral("The TQ-5800 Setup desktop program. After the splash window it asks "
                           "for a password;\nthe factory password is 7261 (letter case does "
                           "not matter)."));
        parser.addOptions(
            {port, irda, simulate, simulateBaud, xdgData, fleet, fleetDb, help, version});
    }
    bool takesValue(const QString& name) const {
        for (const QCommandLineOption* o : {&port, &irda, &simulateBaud, &fleetDb})
            if (o->names().contains(name))
                return true;
        return false;
    }
};

// "-DEBUG" and "-SEIZO" count in any letter case, also inside a longer word.
bool holdsSwitch(const QString& word) {
    const QString upper = word.toUpper();
    return upper.contains(QLatin1String("-DEBUG")) || upper.contains(QLatin1String("-SEIZO"));
}

} // namespace

StartupOptions ParseStartupOptions(const QStringList& arguments) {
    StartupOptions o;
    const QStringList args = arguments.mid(1);
    const QString line = args.join(u' ').toUpper();
    o.debug = line.contains(QLatin1String("-DEBUG"));
    o.factory = line.contains(QLatin1String("-SEIZO"));

    // The switches are no options of the parser: a word that holds one is taken out first,
    // unless it is the value of an option ("--port /dev/x-debug", "--port=/dev/x-debug").
    ProgramOptions options;
    QStringList words{arguments.value(0)};
    bool value = false;
    for (const QString& a : args) {
        const bool isValue = value || (a.startsWith(QLatin1String("--")) && a.contains(u'=') &&
                                       options.takesValue(a.mid(2).section(u'=', 0, 0)));
        value = a.startsWith(QLatin1String("--")) && options.takesValue(a.mid(2));
        if (isValue || !holdsSwitch(a))
            words << a;
    }
    QCommandLineParser& p = options.parser;
    if (!p.parse(words)) {
        o.error = p.errorText();
        o.mayBeQtOption = !p.unknownOptionNames().isEmpty();
    }
    o.help = p.isSet(options.help);
    o.version = p.isSet(options.version);
    o.simulate = p.isSet(options.simulate) || p.isSet(options.simulateBaud);
    o.port = p.value(options.port);
    o.irda = p.value(options.irda);
    o.userDataFolder = p.isSet(options.xdgData);
    o.fleet = p.isSet(options.fleet);
    o.fleetDb = p.value(options.fleetDb);
    if (o.error.isEmpty() && p.isSet(options.simulateBaud)) {
        bool ok = false;
        o.simulateBaud = p.value(options.simulateBaud).toInt(&ok);
        if (!ok || o.simulateBaud <= 0)
            o.error = QStringLiteral("--simulate-baud needs a positive number of bits per second");
    }
    if (o.error.isEmpty() && !p.positionalArguments().isEmpty()) {
        // Qt's own options may leave their values behind until the application takes them.
        o.error = QStringLiteral("unexpected argument %1").arg(p.positionalArguments().first());
        o.mayBeQtOption = true;
    }
    return o;
}

QString StartupUsageText() {
    ProgramOptions options;
    return ParserHelpText(options.parser,
                          QStringLiteral("Usage: tq5800 [options] [-DEBUG] [-SEIZO]")) +
           QStringLiteral(
               "\n"
               "Switches:\n"
               "  -DEBUG             maintenance and diagnostic buttons\n"
               "  -SEIZO             the FLASH check button\n"
               "The two switches count in any letter case, anywhere in the command line.\n"
               "\n"
               "Files: the configuration file TQ5800Config.ini, the communication log\n"
               "SerialLog.log, the memory image TQ5800.DAT, the dump list DumpEF.dat, the setting\n"
               "records TQ5800_Setting<suffix>.csv and the calibration log\n"
               "TQ5800_Calibration.csv live in the folder the program was started from (the\n"
               "current folder), or with --xdg-data in the per-user data folder.\n"
               "\n"
               "Environment: TQ5800_LANG=en or ja chooses the language of the texts (default:\n"
               "the user-interface language, Japanese when it starts with \"ja\", English\n"
               "otherwise).\n"
               "\n"
               "Opening a serial port needs permission: on Debian a user gets it as a member of\n"
               "the dialout group (sudo adduser $USER dialout, then log out and in again).\n");
}

QString ChooseStartFolder(const StartupOptions& options, QString* error) {
    if (!options.userDataFolder)
        return QDir::currentPath();
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString folder = base.isEmpty() ? QString() : base + QStringLiteral("/tq5800");
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        if (error)
            *error = folder.isEmpty() ? QStringLiteral("no per-user data folder")
                                      : QStringLiteral("cannot create %1").arg(folder);
        return QString();
    }
    return folder;
}

QString FleetUrlOf(const StartupOptions& options) {
    return ChooseFleetUrl(options.fleetDb, appState().FleetDb, appState().StartFolder);
}
