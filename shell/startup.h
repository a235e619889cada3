// The program entry of the desktop environment: start-up order, the
// deferred start-up work and the orderly shutdown.
#pragma once

namespace tavro::shell {

// Runs the environment: folders and configuration, the main window and
// splash, applying the configuration, the message loop, and the save of
// the configuration at exit. Returns the process's exit status.
int RunEnvironment(int argc, char** argv);

// The interpreter runs on the GUI thread and may nest deeply: restarts the
// process once with a large stack limit when the current one is smaller
// (the main thread's stack grows up to the limit in force at exec time).
// Returns only when no restart was needed or possible.
void EnsureLargeStack(char** argv);

}  // namespace tavro::shell
