#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Exit status of tq5800-cli.
namespace CliExit {
enum : int { Done = 0, Failed = 1, Usage = 2, NoInstrument = 3 };
}

enum class CliCommand {
    None,
    Read,
    Write,
    SetClock,
    Download,
    FramDump,
    Live,
    PowerOff,
    ClearLogger,
    ClearPower,
    Defaults,
    CheckData,
    StationsExport,
    StationsImport,
    CalibrateZero,
    CalibrateSpan,
    CalibrateBump,
    FleetList,
    FleetHistory,
    FleetExport,
    FleetImport,
};

// The commands that work on the fleet history alone, without an instrument.
inline bool IsFleetCommand(CliCommand c) {
    return c == CliCommand::FleetList || c == CliCommand::FleetHistory ||
           c == CliCommand::FleetExport || c == CliCommand::FleetImport;
}

// The command line, checked. Values not given stay empty; the session fills in the defaults
// from the configuration file.
struct CliOptions {
    bool help = false;
    bool version = false;
    QString port;
    QString irda;
    bool simulate = false;
    std::optional<qint16> timeoutTicks; // --timeout in link ticks of 100 ms
    std::optional<qint16> retry;
    QString settings = QStringLiteral("921600,n,8,1");
    QString json;    // file, or "-" for standard output
    QString fleetDb; // --fleet-db; empty: TQ5800_FLEET_DB, the configuration, the default file

    CliCommand command = CliCommand::None;
    QString commandName;
    QString file;                        // write, download, fram-dump, stations
    QString seqFile;                     // read --seq
    std::optional<QString> recordSuffix; // read --record
    std::optional<QDateTime> time;       // set-clock --time
    int count = 10;                      // live --count
    QStringList gas;       // calibrate span|bump --gas, five fields ("" or "-": not used)
    QString certificate;   // calibrate span|bump --certificate (bump: the test's report)
    QString operatorName;  // calibrate span|bump --operator
    QString cylinderLot;   // calibrate span|bump --lot
    int withinSeconds = 0; // calibrate bump --within (0: the default)
    int sharePercent = 0;  // calibrate bump --share (0: the alarm levels)
    QString serialNo;      // fleet history SERIAL
    QStringList files;     // fleet import FILE...
    std::optional<int> dueWithinDays; // fleet list --due-within
    bool fleetJson = false;           // fleet list|history --json
};
