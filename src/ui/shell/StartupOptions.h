#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. The two switches are found anywhere in the upper-cased
// command line, also inside a longer word; the other options are this program's own.
struct StartupOptions {
    bool debug = false;   // "-DEBUG"
    bool factory = false; // "-SEIZO"
    bool simulate = false;
    int simulateBaud = 0; // the simulated instrument answers at this line speed; 0: at once
    QString port;
    QString irda;
    bool userDataFolder = false; // --xdg-data: files in the per-user data folder
    bool fleet = false;          // --fleet: the Fleet window alone, no instrument
    QString fleetDb;             // --fleet-db URL
    bool help = false;
    bool version = false;
    QString error; // a usage error, one line; empty when there is none
    // The error may be an option of Qt's own (-platform, -style, ...), which only the
    // application object knows: read the arguments again once it has taken them.
    bool mayBeQtOption = false;
};

// `arguments` with the program's name first.
StartupOptions ParseStartupOptions(const QStringList& arguments);
// Needs the application object.
QString StartupUsageText();

// The folder the program keeps its files in: the current folder, or with --xdg-data the
// per-user data folder ($XDG_DATA_HOME/tq5800), created when missing. Empty with a reason in
// `error` when that folder cannot be created.
QString ChooseStartFolder(const StartupOptions& options, QString* error = nullptr);

// The fleet database this run uses: --fleet-db, else TQ5800_FLEET_DB, else the configuration
// file's, else the file in the start folder.
QString FleetUrlOf(const StartupOptions& options);
