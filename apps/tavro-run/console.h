// The interactive console: the command window's behaviour on a terminal.
#pragma once

#include "console_environment.h"

namespace tavro::runner {

// Reads command lines until end of input (or a second Ctrl+C at the
// prompt); returns the exit status (1 when any command failed).
int RunConsole(ConsoleEnvironment& env);

}  // namespace tavro::runner
