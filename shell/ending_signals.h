// The signals that ask the environment to end: SIGTERM (a logout, a
// shutdown, kill), SIGINT (Ctrl+C in the terminal) and SIGHUP (the
// terminal closed).
//
// On the first of them the recovery file is written at once (the same
// file the fatal signals write), then `close` runs on the GUI thread: the
// main window closes as its close button does, asking about changed
// programs when there is time. A second one, or a GUI thread that does not
// get to the request within kEndingGrace seconds, ends the process at once
// with the signal's status; the recovery file has been written either way.
#pragma once

#include <functional>

namespace tavro::shell {

constexpr unsigned kEndingGrace = 10;

void InstallEndingSignals(std::function<void()> close);

}  // namespace tavro::shell
