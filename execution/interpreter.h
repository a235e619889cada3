// Process-wide state of the executor and run control, in one place.
// Reset() (run_control.h) and the run entry points reset it.
#pragma once

#include <cstdint>
#include <exception>
#include <set>
#include <string>

#include "atom.h"

namespace tavro {

// The run state byte shared by the executor and the windows.
enum RunStateValue : uint8_t {
    rsIdle = 0,
    rsStopRequested = 1,
    rsRunByCommand = 2,
    rsStep = 3,
    rsRunTo = 4,
    rsStopped = 5,
    rsRunning = 6,
    rsPaused = 7,
};

extern uint8_t RunState;
// Changes the run state and lets the environment show it.
void SetRunState(uint8_t state);
inline bool IsSteppingState(uint8_t s) { return s >= rsRunByCommand && s <= rsRunTo; }
// A run is under way, paused or not.
inline bool IsRunActive(uint8_t s) { return s != rsIdle && s != rsStopped; }

// The value given by `output`; NoValue when none is pending.
extern Atom* PendingOutput;

// A pending value that must leave more than the nearest procedure: an
// `output` or `stop` run from a list that a library word ran for its
// caller (`foreach`, `ifelse`, ...), `stop` itself, and `throw`. Procedure
// calls returning to a depth above UnwindDepth pass PendingOutput on; the
// call returning at UnwindDepth takes it (a stop as "no output"). A throw
// passes every call and is taken by its catch. kNoUnwind: the nearest
// procedure takes PendingOutput, as plain `output` always does. A new
// statement list (ExecuteList) forgets it together with PendingOutput.
enum UnwindKindValue : uint8_t { ukOutput, ukStop, ukThrow };
constexpr int kNoUnwind = 0x7FFFFFFF;
extern int UnwindDepth;
extern uint8_t UnwindKind;
// Nesting of procedure bodies and assignments (shown in traces).
extern int CallDepth;
// Nesting of code evaluations (used by stepping).
extern int EvalDepth;
// A drawn variable changed: redraw after the statement.
extern bool SceneChanged;
// Full names of variables whose history hooks are due (sorted, unique).
extern std::set<std::string> HistoryQueue;
// The truth markers, made afresh at the start of every command run.
extern Atom* TrueMarker;
extern Atom* FalseMarker;
// Run after every reset: the run commands of the library program files.
extern std::string LibraryCommandText;
// Set by the environment while a mouse hook runs: no message pumping.
extern bool MessagePumpingSuppressed;

// The source name of the program that RunCommandText is running, and the
// line and offset of the last statement executed from it: an error raised
// inside a procedure of a library program is reported where the program
// called it.
extern TText RunSource;
// Paths of the library program files that the last reset ran.
extern std::set<std::string> LibrarySources;
// The names the library programs defined under the root at the last reset.
extern std::set<std::string> LibraryNames;
// Set while the reset runs the library command text.
extern bool RunningLibraries;
extern int RunSourceLine;
extern int RunSourceOffset;

// How many templates (map, filter, foreach ... with ? or named inputs)
// are running; names they do not find are looked for in the procedures
// that are running (ResolveUnknownName, calls.h).
extern int TemplateRuns;

// Set when the last run (RunCommandText or RunSystemCommand) ended because
// the user asked it to stop; cleared at the start of every run.
extern bool LastRunStopped;

// The host service entry stored in the state before every native call.
extern TServiceCallback HostService;
// A language error that a native function or a service reported; the
// executor raises it when the native call returns.
extern std::string PendingNativeError;
extern bool NativeErrorPending;
// An exception a list run by a service raised (list_runs.h), raised again
// as it was when the native function returns; null when none.
extern std::exception_ptr PendingNativeException;

}  // namespace tavro
