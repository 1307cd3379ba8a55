#pragma once

#include "cli/CliOptions.h"

#include <QString>
#include <QStringList>

// The command line of tq5800-cli, read with Qt's parser: one parser for the options before the
// command, and one per command for what follows it (its own options, and the general ones
// again, so that they may stand on either side of the command).
struct CliParse {
    bool ok = false;
    QString error;                                      // a usage error, one line
    QString helpCommand = QStringLiteral("tq5800-cli"); // its --help tells more ("... read")
    QString helpText;                                   // with --help: what to print
    CliOptions options;
};

// `args` without the program name. Needs the application object (the help texts ask it).
CliParse ParseCliArguments(const QStringList& args);
QString CliHelpText();
// The help of one command ("read", "calibrate span"); empty for a name that is none.
QString CliCommandHelpText(const QString& command);
