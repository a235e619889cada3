#include "interpreter.h"

#include "environment.h"
#include "message_table.h"

namespace tavro {

uint8_t RunState = rsIdle;
Atom* PendingOutput = NoValue;
int UnwindDepth = kNoUnwind;
uint8_t UnwindKind = ukOutput;
int CallDepth = 0;
int EvalDepth = 0;
bool SceneChanged = false;
std::set<std::string> HistoryQueue;
Atom* TrueMarker = nullptr;
Atom* FalseMarker = nullptr;
std::string LibraryCommandText;
bool MessagePumpingSuppressed = false;
bool LastRunStopped = false;
TText RunSource = nullptr;
std::set<std::string> LibrarySources;
std::set<std::string> LibraryNames;
bool RunningLibraries = false;
int RunSourceLine = 0;
int RunSourceOffset = 0;
int TemplateRuns = 0;
TServiceCallback HostService = FallbackServiceEntry;
std::string PendingNativeError;
bool NativeErrorPending = false;
std::exception_ptr PendingNativeException;

void SetRunState(uint8_t state)
{
    RunState = state;
    Env().ShowRunState(state);
}

namespace {
Environment gNullEnvironment;
Environment* gEnvironment = &gNullEnvironment;

void releaseWidgetThroughEnvironment(Atom* widget) { gEnvironment->ReleaseWidget(widget); }
}  // namespace

Environment& Env() { return *gEnvironment; }

void SetEnvironment(Environment* environment)
{
    gEnvironment = environment ? environment : &gNullEnvironment;
    SetWidgetReleaser(&releaseWidgetThroughEnvironment);
}

}  // namespace tavro
