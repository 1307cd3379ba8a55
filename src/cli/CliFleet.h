#pragma once

#include "cli/CliOptions.h"

// The fleet commands (list, history, export, import): the fleet history alone, no instrument.
// The configuration file has been read. Returns the exit status.
int RunFleetCommand(const CliOptions& options);
