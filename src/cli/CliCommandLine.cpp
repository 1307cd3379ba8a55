#include "cli/CliCommandLine.h"

#include "app/CommandLineHelp.h"
#include "app/MessageTable.h"
#include "link/PortControl.h"
#include "model/BumpTest.h"
#include "model/SettingRecord.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

const QString Program = QStringLiteral("tq5800-cli");

enum class Opt : int {
    // before or after the command
    Port,
    Irda,
    Simulate,
    Timeout,
    Retry,
    Settings,
    Json,
    FleetDb,
    // the commands' own
    Seq,
    Record,
    Time,
    Count,
    Gas,
    Certificate,
    Operator,
    Lot,
    Within,
    Share,
    DueWithin,
    JsonSwitch,
};
constexpr int GeneralCount = int(Opt::Seq);
constexpr quint32 bit(Opt o) {
    return 1u << int(o);
}

struct OptionRow {
    Opt id;
    const char* name;
    const char* value; // nullptr: a switch
    const char* description;
};

// clang-format off
constexpr OptionRow kOptions[] = {
    // id               name           value                description
    {Opt::Port,        "port",        "NAME",              "Serial port of the instrument (default: the USB serial adapter found by its hardware identifier)."},
    {Opt::Irda,        "irda",        "NAME",              "IrCOMM port of the infrared adapter."},
    {Opt::Simulate,    "simulate",    nullptr,             "The built-in simulated instrument."},
    {Opt::Timeout,     "timeout",     "S",                 "Reply time-out in seconds, 0.1 to 3276 in steps of 0.1 (default: configuration file, else 3)."},
    {Opt::Retry,       "retry",       "N",                 "Resends per exchange, and attempts to connect: 1 to 1000 (default: configuration file, else 3)."},
    {Opt::Settings,    "settings",    "TEXT",              "Port settings (default \"921600,n,8,1\")."},
    {Opt::Json,        "json",        "FILE|-",            "Also write the instrument record as JSON (read, write, download), or each reading as a line of JSON (live). With \"-\" the JSON goes to standard output and the progress lines to standard error. tq5800-cli(1) describes the keys."},
    {Opt::FleetDb,     "fleet-db",    "URL",               "The fleet history: a file path or postgresql://user@host:port/dbname (default: TQ5800_FLEET_DB, else the configuration file's \"Fleet DB\", else TQ5800_Fleet.db in the current folder). A password is best left to ~/.pgpass, PGPASSFILE or a service."},
    {Opt::Seq,         "seq",         "FILE",              "Also store the settings as a settings file."},
    {Opt::Record,      "record",      "SUFFIX",            "Also append a setting record to TQ5800_Setting<SUFFIX>.csv."},
    {Opt::Time,        "time",        "YYYY-MM-DDThh:mm:ss", "The time to set, in the years 2000 to 2099 (default: now)."},
    {Opt::Count,       "count",       "N",                 "Lines of readings to print (default 10)."},
    {Opt::Gas,         "gas",         "C0,C1,C2,C3,C4",    "Concentrations of the gas applied, one per channel; an empty field or \"-\" leaves a channel out (default: the instrument's own span-gas values)."},
    {Opt::Certificate, "certificate", "FILE",              "Also write the record as a PDF, also when a channel failed."},
    {Opt::Operator,    "operator",    "NAME",              "Who did the work, for the records."},
    {Opt::Lot,         "lot",         "LOT",               "The gas cylinder's lot, for the records."},
    {Opt::Within,      "within",      "SECONDS",           "Time a channel has to reach its pass level, 1 to 600 (default 30)."},
    {Opt::Share,       "share",       "PERCENT",           "Pass level as a share of the test gas, 1 to 100 (default: the first alarm level; oxygen: falls to it)."},
    {Opt::DueWithin,   "due-within",  "DAYS",              "Only instruments due for calibration (or overdue) within DAYS days, 0 to 3650."},
    {Opt::JsonSwitch,  "json",        nullptr,             "Print JSON instead of lines of text (tq5800-cli(1) describes the keys)."},
};

struct CommandRow {
    const char* words; // "read", "stations export"
    CliCommand command;
    const char* argument; // nullptr: none
    const char* argumentHelp;
    quint32 options;
    const char* summary;     // for the list of commands
    const char* description; // for the command's help
};

const CommandRow kCommands[] = {
    {"read", CliCommand::Read, nullptr, nullptr, bit(Opt::Seq) | bit(Opt::Record) | bit(Opt::Json),
     "full read and calibration history",
     "Reads the instrument's identity, settings, station list, gas table, coefficients and\n"
     "calibration history, as \"Information Get\" does."},
    {"write", CliCommand::Write, "FILE", "The settings file (.seq) to write.", bit(Opt::Json),
     "write a settings file to the instrument",
     "Reads the instrument, loads the settings file FILE and writes it as \"Load local file\"\n"
     "followed by \"Update\" does, checks included. A file that cannot be read, or that holds\n"
     "no setting this program knows, is refused before the instrument is touched."},
    {"set-clock", CliCommand::SetClock, nullptr, nullptr, bit(Opt::Time),
     "set the instrument clock",
     "Sets the instrument clock to the given time, or to the PC's time."},
    {"download", CliCommand::Download, "FILE", "The memory image to write (524288 bytes).", bit(Opt::Json),
     "logger data download into a memory image",
     "Downloads the logger data into the memory image FILE."},
    {"fram-dump", CliCommand::FramDump, "FILE", "The hex list file to write.", 0,
     "dump list into a hex list file",
     "Reads the instrument's dump list into the hex list file FILE."},
    {"live", CliCommand::Live, nullptr, nullptr, bit(Opt::Count) | bit(Opt::Json),
     "print live readings",
     "Prints a line of live readings a second. With --json each reading is also a JSON object\n"
     "on a line of its own."},
    {"power-off", CliCommand::PowerOff, nullptr, nullptr, 0, "switch the instrument off",
     "Switches the instrument off."},
    {"clear-logger", CliCommand::ClearLogger, nullptr, nullptr, 0, "clear the logger data",
     "Clears the instrument's logger data."},
    {"clear-power", CliCommand::ClearPower, nullptr, nullptr, 0, "clear the power log",
     "Clears the instrument's power log."},
    {"defaults", CliCommand::Defaults, nullptr, nullptr, 0, "restore the instrument's defaults",
     "Restores the instrument's default settings."},
    {"check-data", CliCommand::CheckData, nullptr, nullptr, 0, "write check data into the logger memory",
     "Fills the logger memory with check data (see TQ5800_Check.DAT)."},
    {"stations export", CliCommand::StationsExport, "FILE", "The station file to write.", 0,
     "read the station identifiers into a station file",
     "Reads the instrument's 128 station identifiers into the station file FILE\n"
     "(\"number,identifier\" lines, as the factory dialog exports them)."},
    {"stations import", CliCommand::StationsImport, "FILE", "The station file to read.", 0,
     "write a station file's identifiers to the instrument",
     "Checks the station file FILE as the factory dialog does (at most 128 lines, identifiers\n"
     "of up to 16 letters, digits, blanks and - _ / > <), then writes its entries and saves\n"
     "them. A file that fails the check sends nothing."},
    {"calibrate zero", CliCommand::CalibrateZero, nullptr, nullptr, 0,
     "zero adjustment in clean air",
     "Zero adjustment of every channel in clean air; the pump runs meanwhile."},
    {"calibrate span", CliCommand::CalibrateSpan, nullptr, nullptr,
     bit(Opt::Gas) | bit(Opt::Certificate) | bit(Opt::Operator) | bit(Opt::Lot),
     "span adjustment with the span gas applied",
     "Span adjustment with the span gas applied; the pump runs meanwhile. The concentrations\n"
     "are checked as the calibration window checks them. The result goes to\n"
     "TQ5800_Calibration.csv and, with --certificate, to a PDF certificate."},
    {"calibrate bump", CliCommand::CalibrateBump, nullptr, nullptr,
     bit(Opt::Gas) | bit(Opt::Within) | bit(Opt::Share) | bit(Opt::Certificate) |
         bit(Opt::Operator) | bit(Opt::Lot),
     "bump test with the test gas applied",
     "Bump test with the test gas applied: the live readings are watched, nothing is adjusted;\n"
     "the pump runs meanwhile. A channel passes when it reaches its first alarm level (oxygen:\n"
     "falls to it), or --share of the test gas, within --within seconds. The result goes to\n"
     "TQ5800_Calibration.csv and, with --certificate, to a PDF report."},
    {"fleet list", CliCommand::FleetList, nullptr, nullptr, bit(Opt::DueWithin) | bit(Opt::JsonSwitch),
     "the instruments of the fleet history and when each is due",
     "Lists every instrument of the fleet history: serial number, station, user, when it was\n"
     "last seen and calibrated, and when its next calibration is due (per channel, from its\n"
     "calibration dates and \"Cal.Interval(Days)\"): overdue, due within 14 days, or ok."},
    {"fleet history", CliCommand::FleetHistory, "SERIAL", "The instrument's serial number.",
     bit(Opt::JsonSwitch), "what was done to one instrument",
     "Prints the events of the instrument with serial number SERIAL, newest first: when, what,\n"
     "its outcome, who and where, and the settings a write changed."},
    {"fleet export", CliCommand::FleetExport, "FILE", "The CSV file to write.", 0,
     "the fleet history into a CSV file",
     "Writes every event of the fleet history, oldest first, as one line of the CSV file FILE."},
    {"fleet import", CliCommand::FleetImport, "FILE...",
     "Setting records (TQ5800_Setting*.csv) and calibration logs (TQ5800_Calibration.csv).", 0,
     "setting records and calibration logs into the fleet history",
     "Reads setting records and calibration logs this program wrote into the fleet history.\n"
     "Every file is checked first: one that cannot be read is refused with its line, and\n"
     "nothing is imported. An event already there is not added again."},
};
// clang-format on

// Rows in the order of Opt, so that an option's row is found by its number.
constexpr bool inOrder() {
    for (int i = 0; i < int(std::size(kOptions)); ++i)
        if (kOptions[i].id != Opt(i))
            return false;
    return true;
}
static_assert(inOrder());

const OptionRow& row(Opt o) {
    return kOptions[int(o)];
}

QCommandLineOption optionOf(Opt o) {
    const OptionRow& r = row(o);
    return r.value ? QCommandLineOption(QLatin1String(r.name), QLatin1String(r.description),
                                        QLatin1String(r.value))
                   : QCommandLineOption(QLatin1String(r.name), QLatin1String(r.description));
}

QString synopsis(const CommandRow& c) {
    QString s = QLatin1String(c.words);
    if (c.argument)
        s += u' ' + QLatin1String(c.argument);
    return s;
}

const CommandRow* findCommand(const QStringList& words, qsizetype* used) {
    for (const CommandRow& c : kCommands) {
        const QStringList w = QString::fromLatin1(c.words).split(u' ');
        if (words.mid(0, w.size()) == w) {
            *used = w.size();
            return &c;
        }
    }
    return nullptr;
}

// The commands whose first word is `family` ("calibrate"), when it names two or more.
QList<const CommandRow*> family(const QString& first) {
    QList<const CommandRow*> out;
    for (const CommandRow& c : kCommands)
        if (QString::fromLatin1(c.words).startsWith(first + u' '))
            out << &c;
    return out;
}

// A command with the --json switch has no --json FILE.
void addGeneral(QCommandLineParser& p, quint32 commandOptions = 0) {
    for (int i = 0; i < GeneralCount; ++i)
        if (!(Opt(i) == Opt::Json && (commandOptions & bit(Opt::JsonSwitch))))
            p.addOption(optionOf(Opt(i)));
    p.addOption(HelpOption());
    p.addOption(VersionOption());
}

void setUpCommand(QCommandLineParser& p, const CommandRow& c) {
    p.setApplicationDescription(QLatin1String(c.description));
    for (const OptionRow& r : kOptions)
        if (int(r.id) >= GeneralCount && (c.options & bit(r.id)))
            p.addOption(optionOf(r.id));
    addGeneral(p, c.options);
    if (c.argument)
        p.addPositionalArgument(QLatin1String(c.argument), QLatin1String(c.argumentHelp));
}

QString commandHelp(const CommandRow& c) {
    QCommandLineParser p;
    setUpCommand(p, c);
    return ParserHelpText(p, QStringLiteral("Usage: tq5800-cli %1 [options]%2")
                                 .arg(QLatin1String(c.words),
                                      c.argument ? u' ' + QLatin1String(c.argument) : QString()));
}

QString familyHelp(const QString& first) {
    QString text = QStringLiteral("Usage: tq5800-cli %1 ").arg(first);
    QStringList subs;
    for (const CommandRow* c : family(first))
        subs << QString::fromLatin1(c->words).section(u' ', 1);
    text += subs.join(u'|') + QStringLiteral(" [options]\n\n");
    for (const CommandRow* c : family(first))
        text += QStringLiteral("  %1%2\n").arg(synopsis(*c).leftJustified(24), c->summary);
    return text + QStringLiteral("\nRun 'tq5800-cli %1 %2 --help' for the options of one.\n")
                      .arg(first, subs.value(0));
}

// The link counts time in ticks of 100 ms; the time-out is the one setting given in seconds.
std::optional<qint16> timeoutTicks(const QString& text) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0.1 || seconds > 3276.0)
        return std::nullopt;
    return qint16(std::lround(seconds * 10.0));
}

// A whole number from `low` to `high`, else nothing.
std::optional<int> wholeNumber(const QString& text, int low, int high) {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= low && n <= high ? std::optional<int>(n) : std::nullopt;
}

// The option's value, from after the command when given there, else from before it. A command
// parser knows only the options of its command.
struct Values {
    const QCommandLineParser& general;
    const QCommandLineParser& command;
    quint32 commandOptions;
    bool known(Opt o) const { return int(o) < GeneralCount || (commandOptions & bit(o)); }
    bool isSet(Opt o) const {
        const QString n = QLatin1String(row(o).name);
        return known(o) && (command.isSet(n) || (int(o) < GeneralCount && general.isSet(n)));
    }
    QString value(Opt o) const {
        const QString n = QLatin1String(row(o).name);
        if (!known(o))
            return QString();
        return command.isSet(n) || int(o) >= GeneralCount ? command.value(n) : general.value(n);
    }
};

// Checks and stores the values; a usage error's text, or empty.
QString takeValues(const Values& v, const CommandRow& c, CliOptions& o) {
    const auto given = [&](Opt x) { return v.isSet(x); };
    o.simulate = given(Opt::Simulate);
    if (given(Opt::Port) && (o.port = v.value(Opt::Port)).isEmpty())
        return QStringLiteral("--port needs a port name");
    if (given(Opt::Irda) && (o.irda = v.value(Opt::Irda)).isEmpty())
        return QStringLiteral("--irda needs a port name");
    if (given(Opt::Timeout) && !(o.timeoutTicks = timeoutTicks(v.value(Opt::Timeout))))
        return QStringLiteral("--timeout needs seconds from 0.1 to 3276");
    if (given(Opt::Retry)) {
        // No resend and no connect attempt would send nothing at all.
        const auto n = wholeNumber(v.value(Opt::Retry), 1, 1000);
        if (!n)
            return QStringLiteral("--retry needs a count from 1 to 1000");
        o.retry = qint16(*n);
    }
    if (given(Opt::Settings) && !PortSettings::parse(o.settings = v.value(Opt::Settings)))
        return QStringLiteral("--settings needs port settings such as \"921600,n,8,1\"");
    if (c.options & bit(Opt::JsonSwitch)) {
        o.fleetJson = v.command.isSet(QStringLiteral("json"));
        if (v.general.isSet(QStringLiteral("json")))
            return QStringLiteral("--json of %1 follows the command and takes no file")
                .arg(QLatin1String(c.words));
    } else if (given(Opt::Json)) {
        if ((o.json = v.value(Opt::Json)).isEmpty())
            return QStringLiteral("--json needs a file name or \"-\"");
        if (!(c.options & bit(Opt::Json)))
            return QStringLiteral("--json belongs to read, write, download and live");
    }
    if (given(Opt::FleetDb) && (o.fleetDb = v.value(Opt::FleetDb)).isEmpty())
        return QStringLiteral("--fleet-db needs a file path or a postgresql:// URL");
    if (given(Opt::DueWithin)) {
        const auto n = wholeNumber(v.value(Opt::DueWithin), 0, 3650);
        if (!n)
            return QStringLiteral("--due-within needs days from 0 to 3650");
        o.dueWithinDays = *n;
    }
    if (int(o.simulate) + int(!o.port.isEmpty()) + int(!o.irda.isEmpty()) > 1)
        return QStringLiteral("choose one of --port, --irda and --simulate");

    if (given(Opt::Seq) && (o.seqFile = v.value(Opt::Seq)).isEmpty())
        return QStringLiteral("--seq needs a file name");
    if (given(Opt::Record)) {
        const QString suffix = v.value(Opt::Record);
        if (!IsValidRecordSuffix(suffix))
            return LoadMessage(InvalidSuffixMessage);
        o.recordSuffix = suffix;
    }
    if (given(Opt::Time)) {
        const QDateTime t = QDateTime::fromString(v.value(Opt::Time), Qt::ISODate);
        // The instrument keeps two digits of the year.
        if (!t.isValid() || t.date().year() < 2000 || t.date().year() > 2099)
            return QStringLiteral("--time needs YYYY-MM-DDThh:mm:ss in 2000 to 2099");
        o.time = t;
    }
    if (given(Opt::Count)) {
        const auto n = wholeNumber(v.value(Opt::Count), 1, 1000000);
        if (!n)
            return QStringLiteral("--count needs a number of lines from 1");
        o.count = *n;
    }
    if (given(Opt::Gas)) {
        o.gas = v.value(Opt::Gas).split(u',');
        if (o.gas.size() != 5)
            return QStringLiteral("--gas needs five comma-separated concentrations");
    }
    if (given(Opt::Certificate) && (o.certificate = v.value(Opt::Certificate)).isEmpty())
        return QStringLiteral("--certificate needs a file name");
    o.operatorName = v.value(Opt::Operator);
    o.cylinderLot = v.value(Opt::Lot);
    if (given(Opt::Within)) {
        const auto n = wholeNumber(v.value(Opt::Within), 1, Bump::MaxWithinSeconds);
        if (!n)
            return QStringLiteral("--within needs seconds from 1 to %1")
                .arg(Bump::MaxWithinSeconds);
        o.withinSeconds = *n;
    }
    if (given(Opt::Share)) {
        const auto n = wholeNumber(v.value(Opt::Share), 1, 100);
        if (!n)
            return QStringLiteral("--share needs a percentage from 1 to 100");
        o.sharePercent = *n;
    }
    return QString();
}

} // namespace

QString CliHelpText() {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("The TQ-5800 instrument commands without windows, for scripts and "
                       "production lines."));
    addGeneral(p);
    p.addPositionalArgument(QStringLiteral("COMMAND"),
                            QStringLiteral("One of the commands below, with its arguments."));
    QString text = ParserHelpText(p, QStringLiteral("Usage: tq5800-cli [options] COMMAND "
                                                    "[arguments] [options]"));
    text += QStringLiteral("\nCommands:\n");
    for (const CommandRow& c : kCommands)
        text += QStringLiteral("  %1%2\n").arg(synopsis(c).leftJustified(24), c.summary);
    text += QStringLiteral(
        "\nRun 'tq5800-cli COMMAND --help' for the options of a command. The options above may\n"
        "also follow the command.\n"
        "\n"
        "Progress lines go to standard output, failures to standard error. Files named on the\n"
        "command line are checked before the instrument is touched. TQ5800Config.ini is read\n"
        "from the current folder (never written). A run that reaches the instrument writes a\n"
        "new SerialLog.log there; with \"Serial Log File\" on in the configuration the earlier\n"
        "ones are kept as SerialLog1.log to SerialLog9.log.\n"
        "\n"
        "The fleet commands work on the fleet history alone and touch no instrument: a file\n"
        "(default TQ5800_Fleet.db in the current folder) or a PostgreSQL database, chosen with\n"
        "--fleet-db, TQ5800_FLEET_DB or \"Fleet DB\" in the configuration file.\n"
        "\n"
        "Exit status: 0 done, 1 the operation failed, 2 usage error or a file refused before\n"
        "the instrument was touched (also: more than one USB serial adapter connected, choose\n"
        "one with --port), 3 no instrument answered (also when it stops answering during a\n"
        "calibration)\n");
    return text;
}

QString CliCommandHelpText(const QString& command) {
    qsizetype used = 0;
    const CommandRow* c = findCommand(command.split(u' '), &used);
    return c ? commandHelp(*c) : QString();
}

CliParse ParseCliArguments(const QStringList& args) {
    CliParse p;
    CliOptions& o = p.options;
    QCommandLineParser general;
    addGeneral(general);
    // Whatever follows the command is the command's to read.
    general.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!general.parse(QStringList{Program} + args)) {
        p.error = general.errorText();
        return p;
    }
    const QStringList rest = general.positionalArguments();
    o.help = general.isSet(QStringLiteral("help"));
    o.version = general.isSet(QStringLiteral("version"));
    if (o.version && !o.help) {
        p.ok = true;
        return p;
    }
    if (rest.isEmpty()) {
        p.ok = o.help;
        p.helpText = o.help ? CliHelpText() : QString();
        p.error = o.help ? QString() : QStringLiteral("no command given");
        return p;
    }

    qsizetype used = 0;
    const CommandRow* c = findCommand(rest, &used);
    if (!c) {
        const QString first = rest.first();
        const bool helpWanted = o.help || rest.contains(QStringLiteral("--help")) ||
                                rest.contains(QStringLiteral("-h"));
        if (!family(first).isEmpty() && helpWanted) {
            o.help = true;
            p.ok = true;
            p.helpText = familyHelp(first);
            return p;
        }
        p.error =
            family(first).isEmpty() ? QStringLiteral("unknown command %1").arg(first)
            : first == QLatin1String("stations")
                ? QStringLiteral("stations needs export FILE or import FILE")
            : first == QLatin1String("fleet")
                ? QStringLiteral("fleet needs list, history SERIAL, export FILE or import FILE...")
                : QStringLiteral("calibrate needs zero, span or bump");
        return p;
    }
    o.command = c->command;
    o.commandName = QLatin1String(c->words);
    p.helpCommand = Program + u' ' + o.commandName;

    QCommandLineParser own;
    setUpCommand(own, *c);
    if (!own.parse(QStringList{Program} + rest.mid(used))) {
        p.error = own.errorText();
        return p;
    }
    if (o.help || own.isSet(QStringLiteral("help"))) {
        o.help = true;
        p.ok = true;
        p.helpText = commandHelp(*c);
        return p;
    }
    if (own.isSet(QStringLiteral("version"))) {
        o.version = true;
        p.ok = true;
        return p;
    }
    const QStringList positional = own.positionalArguments();
    const QString argument = QLatin1String(c->argument);
    const qsizetype wanted = c->argument ? 1 : 0;
    if (positional.size() < wanted) {
        p.error = QStringLiteral("%1 needs %2")
                      .arg(o.commandName, argument == u"SERIAL" ? QStringLiteral("a serial number")
                                                                : QStringLiteral("a file name"));
        return p;
    }
    // "FILE...": one or more.
    if (positional.size() > wanted && !argument.endsWith(QLatin1String("..."))) {
        p.error = QStringLiteral("unexpected argument %1").arg(positional.at(wanted));
        return p;
    }
    if (wanted)
        o.file = positional.first();
    o.files = positional;
    if (o.command == CliCommand::FleetHistory)
        o.serialNo = o.file;
    p.error = takeValues(Values{general, own, c->options}, *c, o);
    p.ok = p.error.isEmpty();
    return p;
}
