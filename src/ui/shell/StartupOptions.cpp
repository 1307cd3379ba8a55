#include "ui/shell/StartupOptions.h"

#include <QDir>
#include <QStandardPaths>

StartupOptions ParseStartupOptions(const QStringList& arguments) {
    StartupOptions o;
    const QStringList args = arguments.mid(1);
    const QString line = args.join(u' ').toUpper();
    o.debug = line.contains(QLatin1String("-DEBUG"));
    o.factory = line.contains(QLatin1String("-SEIZO"));
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--simulate")) {
            o.simulate = true;
        } else if (a == QLatin1String("--simulate-baud") && i + 1 < args.size()) {
            // A speed that is no positive number leaves the instrument answering at once.
            o.simulate = true;
            o.simulateBaud = qMax(0, args.at(++i).toInt());
        } else if (a == QLatin1String("--port") && i + 1 < args.size()) {
            o.port = args.at(++i);
        } else if (a.startsWith(QLatin1String("--port="))) {
            o.port = a.mid(7);
        } else if (a == QLatin1String("--irda") && i + 1 < args.size()) {
            o.irda = args.at(++i);
        } else if (a.startsWith(QLatin1String("--irda="))) {
            o.irda = a.mid(7);
        } else if (a == QLatin1String("--xdg-data")) {
            o.userDataFolder = true;
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        }
    }
    return o;
}

QString StartupUsageText() {
    return QStringLiteral(
        "Usage: tq5800 [options] [-DEBUG] [-SEIZO]\n"
        "\n"
        "The TQ-5800 Setup desktop program. After the splash window it asks for a password;\n"
        "the factory password is 7261 (letter case does not matter).\n"
        "\n"
        "Options:\n"
        "  --port NAME    serial port of the instrument (default: the USB serial adapter\n"
        "                 found by its hardware identifier)\n"
        "  --irda NAME    IrCOMM port of the infrared adapter\n"
        "  --simulate     the built-in simulated instrument\n"
        "  --simulate-baud BAUD\n"
        "                 the same, answering at this line speed as an instrument on a cable\n"
        "                 would (a pace to follow in a demonstration)\n"
        "  --xdg-data     keep the program's files in the per-user data folder\n"
        "                 $XDG_DATA_HOME/tq5800 (~/.local/share/tq5800 by default) instead of\n"
        "                 the current folder; the desktop menu entry starts the program so\n"
        "  -h, --help     this text\n"
        "  --version      the program's version (and the git commit it was built from)\n"
        "  -DEBUG         maintenance and diagnostic buttons\n"
        "  -SEIZO         the FLASH check button\n"
        "The two switches count in any letter case, anywhere in the command line.\n"
        "\n"
        "Files: the configuration file TQ5800Config.ini, the communication log SerialLog.log,\n"
        "the memory image TQ5800.DAT, the dump list DumpEF.dat and the setting records\n"
        "TQ5800_Setting<suffix>.csv live in the folder the program was started from (the\n"
        "current folder), or with --xdg-data in the per-user data folder.\n"
        "\n"
        "Environment: TQ5800_LANG=en or ja chooses the language of the texts (default: the\n"
        "user-interface language, Japanese when it starts with \"ja\", English otherwise).\n"
        "\n"
        "Opening a serial port needs permission: on Debian a user gets it as a member of the\n"
        "dialout group (sudo adduser $USER dialout, then log out and in again).\n");
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
