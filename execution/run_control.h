// Entry points through which an environment runs text, the run-state
// machine's checks, error reporting, reset; the collector's entry points
// (collector.h) come with them.
#pragma once

#include <string>
#include <string_view>

#include "atom.h"
#include "collector.h"
#include "errors.h"
#include "interpreter.h"
#include "text.h"

namespace tavro {

// The top-level run of a program text (Run, Step, Run-by-command, Run-to):
// translates `text` from the 1-based character `from` with `sourceName` on
// every position and runs it. Errors are reported (ReportError), never
// thrown. Returns false when the run ended with an error (a user stop is
// not an error).
bool RunCommandText(std::string_view text, std::string_view sourceName, int from = 1);
// The same for a text the caller holds as a Text, which is shared instead of
// copied: a long program is then held once while it is translated.
bool RunSharedCommandText(const Text& text, std::string_view sourceName, int from = 1);

enum RunSystemResult { rscRan = 0, rscTranslationFailed = 1, rscRunFailed = 2 };
// Runs a command text nested inside whatever is running (command window,
// widget clicks, mouse hooks, the library command text). A text that does
// not translate gives 1 and is not reported (LastErrorText holds the
// message); a run error gives 2 and is shown as a message.
int RunSystemCommand(std::string_view text);

// Takes the names now under the root as the library programs' names
// (LibraryNames); run after the library command text.
void NoteLibraryNames();

// Forgets the whole program state and runs the library command text.
void Reset();

namespace detail {
extern unsigned gYieldCounter;
// The 16th statement's part of YieldCheck and of YieldPumpsNext.
void PumpIfDue();
bool DecidePumpNext();
}  // namespace detail

// Called before every statement: pumps messages every 16th call and raises
// the stop interruption when a stop was requested. Inline: the other 15
// calls cost a count and two tests.
inline void YieldCheck()
{
    if ((++detail::gYieldCounter & 15) == 0 && !MessagePumpingSuppressed) detail::PumpIfDue();
    if (RunState == rsStopRequested) RaiseStop();
}
// True when the next YieldCheck will pump messages: decided now, and that
// YieldCheck keeps to the decision.
inline bool YieldPumpsNext()
{
    if (((detail::gYieldCounter + 1) & 15) != 0 || MessagePumpingSuppressed) return false;
    return detail::DecidePumpNext();
}
// Called before every statement in the stepping states: may pause.
void StepCheck();
void ReportError(const std::string& message);

// Appends a typed character to the state's key buffer.
void AppendKey(std::string_view character);

// Stepping state (exposed for the IDE's run commands).
extern Position LastPause;
extern int LastPauseDepth;
extern Position RunToTarget;

}  // namespace tavro
