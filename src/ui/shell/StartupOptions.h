#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. The two switches are found anywhere in the upper-cased
// command line, also inside a longer word; the port options are this program's own.
struct StartupOptions {
    bool debug = false;   // "-DEBUG"
    bool factory = false; // "-SEIZO"
    bool simulate = false;
    QString port;
    QString irda;
};

StartupOptions ParseStartupOptions(const QStringList& arguments);
