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
    bool help = false;
    bool version = false;
};

StartupOptions ParseStartupOptions(const QStringList& arguments);
QString StartupUsageText();

// The folder the program keeps its files in: the current folder, or with --xdg-data the
// per-user data folder ($XDG_DATA_HOME/tq5800), created when missing. Empty with a reason in
// `error` when that folder cannot be created.
QString ChooseStartFolder(const StartupOptions& options, QString* error = nullptr);
