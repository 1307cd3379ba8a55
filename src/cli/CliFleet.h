#pragma once

#include "cli/CliOptions.h"

// The fleet commands (list, history, export, import): the fleet history alone, no instrument.
// The configuration file has been read. Returns the exit status.
int RunFleetCommand(const CliOptions& options);
// The fleet history the command line records into and reads: --fleet-db, TQ5800_FLEET_DB,
// the configuration file's "Fleet DB", else the file in the start folder.
QString CliFleetUrl(const CliOptions& options);
