#include "cli/CliOptions.h"

#include "app/MessageTable.h"
#include "link/PortControl.h"
#include "model/BumpTest.h"
#include "model/SettingRecord.h"

#include <cmath>

namespace {

struct CommandName {
    const char* name;
    CliCommand command;
    bool takesFile;
};
const CommandName kCommands[] = {
    {"read", CliCommand::Read, false},
    {"write", CliCommand::Write, true},
    {"set-clock", CliCommand::SetClock, false},
    {"download", CliCommand::Download, true},
    {"fram-dump", CliCommand::FramDump, true},
    {"live", CliCommand::Live, false},
    {"power-off", CliCommand::PowerOff, false},
    {"clear-logger", CliCommand::ClearLogger, false},
    {"clear-power", CliCommand::ClearPower, false},
    {"defaults", CliCommand::Defaults, false},
    {"check-data", CliCommand::CheckData, false},
    {"calibrate", CliCommand::CalibrateZero, true}, // its argument is zero, span or bump
};

const CommandName* findCommand(const QString& name) {
    for (const CommandName& c : kCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

// The link counts time in ticks of 100 ms; the time-out is the one setting given in seconds.
std::optional<qint16> timeoutTicks(const QString& text) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0.1 || seconds > 3276.0)
        return std::nullopt;
    return qint16(std::lround(seconds * 10.0));
}

} // namespace

QString CliUsageText() {
    return QStringLiteral(
        "Usage: tq5800-cli [options] COMMAND [arguments]\n"
        "\n"
        "Options:\n"
        "  --port NAME       serial port of the instrument (default: the USB serial adapter\n"
        "                    found by its hardware identifier)\n"
        "  --irda NAME       IrCOMM port of the infrared adapter\n"
        "  --simulate        the built-in simulated instrument\n"
        "  --timeout S       reply time-out in seconds, in steps of 0.1 (default: configuration\n"
        "                    file, else 3)\n"
        "  --retry N         resends per exchange (default: configuration file, else 3)\n"
        "  --settings TEXT   port settings (default \"921600,n,8,1\")\n"
        "  --json FILE|-     also write the instrument record as JSON (after read, write and\n"
        "                    download); with \"-\" the JSON alone goes to standard output and\n"
        "                    the progress lines to standard error\n"
        "  -h, --help        this text\n"
        "  --version         the program's version (and the git commit it was built from)\n"
        "\n"
        "Commands:\n"
        "  read [--seq FILE] [--record SUFFIX]   full read and calibration history; optionally\n"
        "                                        store a settings file and append a setting\n"
        "                                        record to TQ5800_Setting<SUFFIX>.csv\n"
        "  write FILE                            read the instrument, load the settings file\n"
        "                                        and write it as \"Load local file\" followed\n"
        "                                        by \"Update\" does, checks included\n"
        "  set-clock [--time YYYY-MM-DDThh:mm:ss]  set the instrument clock (default: now)\n"
        "  download FILE                         logger data download into a memory image\n"
        "  fram-dump FILE                        dump list into a hex list file\n"
        "  live [--count N]                      print N lines of live readings (default 10)\n"
        "  power-off | clear-logger | clear-power | defaults | check-data\n"
        "  stations export FILE                  read the instrument's 128 station identifiers\n"
        "                                        into a station file (\"number,identifier\"\n"
        "                                        lines, as the factory dialog exports them)\n"
        "  stations import FILE                  check a station file as the factory dialog\n"
        "                                        does (at most 128 lines, identifiers of up to\n"
        "                                        16 letters, digits, blanks and - _ / > <),\n"
        "                                        then write its entries and save them; a file\n"
        "                                        that fails the check sends nothing\n"
        "  calibrate zero                        zero adjustment of every channel in clean air\n"
        "  calibrate span [--gas C0,C1,C2,C3,C4] [--certificate FILE] [--operator NAME]\n"
        "                 [--lot LOT]            span adjustment with the span gas applied;\n"
        "                                        --gas gives the concentrations (an empty\n"
        "                                        field or \"-\" leaves a channel out; default:\n"
        "                                        the instrument's own span-gas values), checked\n"
        "                                        as the calibration window checks them; the\n"
        "                                        result goes to TQ5800_Calibration.csv and,\n"
        "                                        with --certificate, to a PDF certificate\n"
        "                                        (written also when a channel failed)\n"
        "  calibrate bump [--gas C0,C1,C2,C3,C4] [--within SECONDS] [--share PERCENT]\n"
        "                 [--certificate FILE] [--operator NAME] [--lot LOT]\n"
        "                                        bump test with the test gas applied: the\n"
        "                                        live readings are watched, nothing is\n"
        "                                        adjusted; a channel passes when it reaches\n"
        "                                        its first alarm level (oxygen: falls to it),\n"
        "                                        or PERCENT of the test gas, within SECONDS\n"
        "                                        (default 30); --gas as for span; the result\n"
        "                                        goes to TQ5800_Calibration.csv and, with\n"
        "                                        --certificate, to a PDF report\n"
        "  The instrument's pump runs during calibrate zero, span and bump. Output files\n"
        "  are checked before the instrument is touched.\n"
        "\n"
        "Progress lines go to standard output, failures to standard error. TQ5800Config.ini\n"
        "is read from the current folder (never written). Each run writes a new SerialLog.log\n"
        "there; with \"Serial Log File\" on in the configuration the earlier ones are kept as\n"
        "SerialLog1.log to SerialLog9.log.\n"
        "\n"
        "Exit status: 0 done, 1 the operation failed, 2 usage error (also: more than one USB\n"
        "serial adapter connected, choose one with --port), 3 no instrument answered (also\n"
        "when it stops answering during a calibration)\n");
}

CliParse ParseCliArguments(const QStringList& args) {
    CliParse p;
    CliOptions& o = p.options;
    QStringList positional;
    const auto fail = [&p](const QString& why) {
        p.ok = false;
        p.error = why;
        return p;
    };
    int i = 0;
    const auto value = [&](QString* out) {
        if (i + 1 >= args.size())
            return false;
        *out = args.at(++i);
        return true;
    };
    bool seenSeq = false, seenTime = false, seenCount = false, seenCalib = false, seenBump = false;
    for (; i < args.size(); ++i) {
        const QString a = args.at(i);
        QString v;
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (a == QLatin1String("--simulate")) {
            o.simulate = true;
        } else if (a == QLatin1String("--port")) {
            if (!value(&o.port) || o.port.isEmpty())
                return fail(QStringLiteral("--port needs a port name"));
        } else if (a == QLatin1String("--irda")) {
            if (!value(&o.irda) || o.irda.isEmpty())
                return fail(QStringLiteral("--irda needs a port name"));
        } else if (a == QLatin1String("--timeout")) {
            if (!value(&v) || !(o.timeoutTicks = timeoutTicks(v)))
                return fail(QStringLiteral("--timeout needs seconds from 0.1 to 3276"));
        } else if (a == QLatin1String("--retry")) {
            bool ok = false;
            const int n = value(&v) ? v.toInt(&ok) : -1;
            if (!ok || n < 0 || n > 1000)
                return fail(QStringLiteral("--retry needs a count from 0 to 1000"));
            o.retry = qint16(n);
        } else if (a == QLatin1String("--settings")) {
            if (!value(&o.settings) || !PortSettings::parse(o.settings))
                return fail(QStringLiteral("--settings needs port settings such as "
                                           "\"921600,n,8,1\""));
        } else if (a == QLatin1String("--json")) {
            if (!value(&o.json) || o.json.isEmpty())
                return fail(QStringLiteral("--json needs a file name or \"-\""));
        } else if (a == QLatin1String("--seq")) {
            if (!value(&o.seqFile) || o.seqFile.isEmpty())
                return fail(QStringLiteral("--seq needs a file name"));
            seenSeq = true;
        } else if (a == QLatin1String("--record")) {
            if (!value(&v))
                return fail(QStringLiteral("--record needs a suffix"));
            if (!IsValidRecordSuffix(v))
                return fail(LoadMessage(InvalidSuffixMessage));
            o.recordSuffix = v;
        } else if (a == QLatin1String("--time")) {
            const QDateTime t = value(&v) ? QDateTime::fromString(v, Qt::ISODate) : QDateTime();
            // The instrument keeps two digits of the year.
            if (!t.isValid() || t.date().year() < 2000 || t.date().year() > 2099)
                return fail(QStringLiteral("--time needs YYYY-MM-DDThh:mm:ss in 2000 to 2099"));
            o.time = t;
            seenTime = true;
        } else if (a == QLatin1String("--count")) {
            bool ok = false;
            const int n = value(&v) ? v.toInt(&ok) : 0;
            if (!ok || n < 1 || n > 1000000)
                return fail(QStringLiteral("--count needs a number of lines from 1"));
            o.count = n;
            seenCount = true;
        } else if (a == QLatin1String("--gas")) {
            if (!value(&v) || v.split(u',').size() != 5)
                return fail(QStringLiteral("--gas needs five comma-separated concentrations"));
            o.gas = v.split(u',');
            seenCalib = true;
        } else if (a == QLatin1String("--certificate")) {
            if (!value(&o.certificate) || o.certificate.isEmpty())
                return fail(QStringLiteral("--certificate needs a file name"));
            seenCalib = true;
        } else if (a == QLatin1String("--operator")) {
            if (!value(&o.operatorName))
                return fail(QStringLiteral("--operator needs a name"));
            seenCalib = true;
        } else if (a == QLatin1String("--lot")) {
            if (!value(&o.cylinderLot))
                return fail(QStringLiteral("--lot needs the cylinder's lot"));
            seenCalib = true;
        } else if (a == QLatin1String("--within")) {
            bool ok = false;
            const int n = value(&v) ? v.toInt(&ok) : 0;
            if (!ok || n < 1 || n > Bump::MaxWithinSeconds)
                return fail(QStringLiteral("--within needs seconds from 1 to %1")
                                .arg(Bump::MaxWithinSeconds));
            o.withinSeconds = n;
            seenBump = true;
        } else if (a == QLatin1String("--share")) {
            bool ok = false;
            const int n = value(&v) ? v.toInt(&ok) : 0;
            if (!ok || n < 1 || n > 100)
                return fail(QStringLiteral("--share needs a percentage from 1 to 100"));
            o.sharePercent = n;
            seenBump = true;
        } else if (a.startsWith(QLatin1String("-")) && a.size() > 1) {
            return fail(QStringLiteral("unknown option %1").arg(a));
        } else {
            positional << a;
        }
    }
    if (o.help || o.version) {
        p.ok = true;
        return p;
    }
    if (int(o.simulate) + int(!o.port.isEmpty()) + int(!o.irda.isEmpty()) > 1)
        return fail(QStringLiteral("choose one of --port, --irda and --simulate"));
    if (positional.isEmpty())
        return fail(QStringLiteral("no command given"));
    if (positional.first() == QLatin1String("stations")) {
        const QString action = positional.value(1);
        if (action == QLatin1String("export"))
            o.command = CliCommand::StationsExport;
        else if (action == QLatin1String("import"))
            o.command = CliCommand::StationsImport;
        else
            return fail(QStringLiteral("stations needs export FILE or import FILE"));
        o.commandName = QStringLiteral("stations ") + action;
        if (positional.size() < 3)
            return fail(QStringLiteral("%1 needs a file name").arg(o.commandName));
        if (positional.size() > 3)
            return fail(QStringLiteral("unexpected argument %1").arg(positional.at(3)));
        o.file = positional.at(2);
        if (seenSeq || o.recordSuffix || seenTime || seenCount || seenCalib)
            return fail(QStringLiteral("%1 takes no options of other commands").arg(o.commandName));
        p.ok = true;
        return p;
    }
    const CommandName* c = findCommand(positional.first());
    if (!c)
        return fail(QStringLiteral("unknown command %1").arg(positional.first()));
    o.command = c->command;
    o.commandName = positional.first();
    const int wanted = c->takesFile ? 2 : 1;
    if (positional.size() < wanted)
        return fail(c->command == CliCommand::CalibrateZero
                        ? QStringLiteral("calibrate needs zero, span or bump")
                        : QStringLiteral("%1 needs a file name").arg(o.commandName));
    if (positional.size() > wanted)
        return fail(QStringLiteral("unexpected argument %1").arg(positional.at(wanted)));
    if (o.command == CliCommand::CalibrateZero) {
        const QString mode = positional.value(1);
        if (mode == QLatin1String("span"))
            o.command = CliCommand::CalibrateSpan;
        else if (mode == QLatin1String("bump"))
            o.command = CliCommand::CalibrateBump;
        else if (mode != QLatin1String("zero"))
            return fail(QStringLiteral("calibrate needs zero, span or bump"));
        o.commandName = QStringLiteral("calibrate ") + mode;
    } else if (c->takesFile) {
        o.file = positional.at(1);
    }
    if (seenCalib && o.command != CliCommand::CalibrateSpan &&
        o.command != CliCommand::CalibrateBump)
        return fail(QStringLiteral("--gas, --certificate, --operator and --lot belong to "
                                   "calibrate span and calibrate bump"));
    if (seenBump && o.command != CliCommand::CalibrateBump)
        return fail(QStringLiteral("--within and --share belong to calibrate bump"));
    if ((seenSeq || o.recordSuffix) && o.command != CliCommand::Read)
        return fail(QStringLiteral("--seq and --record belong to read"));
    if (seenTime && o.command != CliCommand::SetClock)
        return fail(QStringLiteral("--time belongs to set-clock"));
    if (seenCount && o.command != CliCommand::Live)
        return fail(QStringLiteral("--count belongs to live"));
    p.ok = true;
    return p;
}

CliPortChoice ChooseCliPort(const CliOptions& o, const QList<PortDescriptor>& ports) {
    CliPortChoice c;
    if (o.simulate) {
        c.kind = CliPortChoice::Simulated;
    } else if (!o.port.isEmpty()) {
        c.kind = CliPortChoice::Serial;
        c.name = o.port;
    } else if (!o.irda.isEmpty()) {
        c.kind = CliPortChoice::IrDA;
        c.name = o.irda;
    } else {
        const ConverterLookup found = FindConverterPort(ports);
        if (found.matches > 1) {
            c.exitCode = CliExit::Usage;
            c.message = LoadMessage(20014) + QStringLiteral(" (choose one with --port NAME)");
        } else if (found.matches == 1) {
            c.kind = CliPortChoice::Serial;
            c.name = found.portName;
        } else {
            c.exitCode = CliExit::NoInstrument;
            c.message = LoadMessage(5760);
        }
    }
    return c;
}
