#include "run_control.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "assignment.h"
#include "environment.h"
#include "errors.h"
#include "executor.h"
#include "expr.h"
#include "hiding_notes.h"
#include "interpreter.h"
#include "log.h"
#include "memory_limit.h"
#include "stack_guard.h"
#include "state.h"
#include "structure.h"
#include "translate.h"

namespace tavro {

Position LastPause;
int LastPauseDepth = -1;
Position RunToTarget;

namespace detail {
unsigned gYieldCounter = 0;
}  // namespace detail

namespace {

using detail::gYieldCounter;
constexpr auto kPumpInterval = std::chrono::milliseconds(3);
std::chrono::steady_clock::time_point gLastPump;
int gRunNesting = 0;  // runs in progress (RunCommandText, RunSystemCommand)

// A statement long enough to take a while to compile can be stopped.
void pollWhileCompiling()
{
    if (!MessagePumpingSuppressed) Env().ProcessMessages();
    if (RunState == rsStopRequested) RaiseStop();
}

struct CompilerPollInstaller {
    CompilerPollInstaller() { CompilerPoll = pollWhileCompiling; }
} gCompilerPollInstaller;

// A run in progress. The program's memory ceiling applies while any run
// is in progress; when the outermost ends, the environment's margin is
// open again. A nested run (a click's procedure while a program pumps
// messages) that ran out of memory puts the program's ceiling back for the
// run around it.
struct NestingScope {
    NestingScope()
    {
        if (++gRunNesting == 1) EnterProgramLimit();
    }
    ~NestingScope()
    {
        if (--gRunNesting == 0)
            LeaveProgramLimit();
        else
            EnterProgramLimit();
    }
};

// Pops the contexts that an error left above `keep`. The activation
// records of the calls the error ended leave the tree as well: left under
// their procedures, they would hold the calls' inputs for good.
void dropContextsTo(int keep)
{
    while (ContextDepth() > keep && ContextDepth() > 1) {
        Atom* node = PopContext();
        if (IsObject(node) && (node->Flags & flActivation)) DetachRecord(node);
    }
}

// The message of OUTOFMEMORY for a refusal that came as std::bad_alloc:
// room is made first, so that formatting it finds memory.
std::string outOfMemoryMessage()
{
    try {
        RaiseOutOfMemory();
    } catch (const LanguageError& e) {
        return e.what();
    } catch (const std::bad_alloc&) {
    }
    return std::string();
}

// Runs a step of the clean-up after a run. A step that finds no memory is
// left undone: the clean-up must never end the process.
template <typename Step>
void bestEffort(Step step)
{
    try {
        step();
    } catch (const std::bad_alloc&) {
        GiveRoomForError();
    } catch (const LanguageError&) {
    }
}

// Flags that an error inside a procedure or a hook may leave behind would
// make later calls and assignments silently do nothing; a run that is not
// nested in another starts without them.
void clearLeftoverFlags()
{
    if (RootNode()) ClearFlagsInTree(RootNode(), flBusy | flAssigning);
}

// Drawings put off until the next frame show the state the run ended in.
// A stop asked for ends the program, not these drawings.
void buildDeferredDrawings()
{
    uint8_t state = RunState;
    if (RunState == rsStopRequested) RunState = rsRunning;
    bestEffort([] { Env().BuildDeferredDrawings(false); });
    RunState = state;
}

// An error of a command, shown however little memory is left.
void showMessage(const std::string& message)
{
    bestEffort([&] { Env().ShowMessage(message, ""); });
}

// The text is `shared` when the caller gave it as a Text, else `text`.
bool runCommandText(std::string_view text, const Text* shared, std::string_view sourceName, int from)
{
    InitStackGuard();
    ForgetGlobalScopes();
    NestingScope nesting;
    bool ok = true;
    LastRunStopped = false;
    HistoryQueue.clear();
    SceneChanged = false;
    CallDepth = 0;
    EvalDepth = 0;
    TrueMarker = NewWord("TRUE");
    FalseMarker = NewWord("FALSE");
    Env().WriteRunStartLine();
    if (gRunNesting == 1) clearLeftoverFlags();
    Text source(sourceName);
    TText outerSource = RunSource;
    int outerLine = RunSourceLine, outerOffset = RunSourceOffset;
    RunSource = source.raw();
    RunSourceLine = 0;
    RunSourceOffset = 0;
    try {
        CurrentPosition = Position{source, 0, 0, kUnexecutedDepth};
        CurrentCell = shared ? TranslateSharedText(*shared, from) : TranslateText(text, from);
        ExecuteProgram();
    } catch (const LanguageError& e) {
        ok = e.IsStop();
        LastRunStopped = e.IsStop();
        // An error inside a library procedure is shown at the statement of
        // this program that called it.
        if (RunSourceLine > 0 && LibrarySources.count(CurrentPosition.Source.str())) {
            CurrentPosition.Source = source;
            CurrentPosition.Line = RunSourceLine;
            CurrentPosition.Offset = RunSourceOffset;
        }
        ReportError(e.what());
        if (e.IsStop() && gRunNesting == 1) Env().ShowRunStopped();
    } catch (const std::bad_alloc&) {
        // The system refused memory (the ceiling, or a limit of the
        // process): an error of the program like any other.
        ok = false;
        ReportError(outOfMemoryMessage());
    }
    RunSource = outerSource;
    RunSourceLine = outerLine;
    RunSourceOffset = outerOffset;
    CurrentCell = nullptr;
    // Contexts left by an error inside a procedure go as well.
    dropContextsTo(1);
    CallDepth = 0;
    EvalDepth = 0;
    PendingOutput = NoValue;
    buildDeferredDrawings();
    bestEffort([] {
        if (SourceView* w = Env().FindSourceWindow(CurrentPosition.Source.view())) w->HideStepMarker();
    });
    if (gRunNesting == 1) FreeDiscardedCode();
    CollectGarbage();
    // After a failure (out of memory among them) the atoms freed go back
    // to the system, for whatever needs memory next.
    if (!ok) ReleaseFreeAtoms();
    bestEffort([] { Env().RebuildTree(); });
    return ok;
}

}  // namespace

bool RunCommandText(std::string_view text, std::string_view sourceName, int from)
{
    return runCommandText(text, nullptr, sourceName, from);
}

bool RunSharedCommandText(const Text& text, std::string_view sourceName, int from)
{
    return runCommandText(text.view(), &text, sourceName, from);
}

int RunSystemCommand(std::string_view text)
{
    InitStackGuard();
    ForgetGlobalScopes();
    NestingScope nesting;
    Atom* savedCell = AddRef(CurrentCell);
    uint8_t savedState = RunState;
    int savedContexts = ContextDepth();
    int savedCallDepth = CallDepth;
    int savedEvalDepth = EvalDepth;
    // A command typed while a program runs must not end the program's
    // procedures with an output or stop of its own.
    Atom* savedOutput = PendingOutput;
    int savedUnwind = UnwindDepth;
    bool topLevel = gRunNesting == 1;
    if (topLevel) clearLeftoverFlags();
    int result = rscRan;
    LastRunStopped = false;

    auto restore = [&] {
        PendingOutput = savedOutput;
        UnwindDepth = savedUnwind;
        CurrentCell = savedCell;
        Release(savedCell);
        SetRunState(savedState);
    };

    try {
        CurrentPosition = MakePosition("$SYS$", 0, 0, kUnexecutedDepth);
        CurrentPosition.Source = Text();
        CurrentCell = TranslateText(text);
    } catch (const LanguageError&) {
        restore();
        return rscTranslationFailed;
    } catch (const std::bad_alloc&) {
        LastErrorText = outOfMemoryMessage();
        restore();
        return rscTranslationFailed;
    }
    try {
        SetRunState(rsRunning);
        ExecuteList();
    } catch (const LanguageError& e) {
        result = rscRunFailed;
        // Leave no dead call behind: later commands must not run inside it.
        dropContextsTo(savedContexts);
        CallDepth = savedCallDepth;
        EvalDepth = savedEvalDepth;
        PendingOutput = NoValue;
        LastRunStopped = e.IsStop();
        if (!e.IsStop()) showMessage(e.what());
        else if (topLevel) bestEffort([] { Env().ShowRunStopped(); });
    } catch (const std::bad_alloc&) {
        result = rscRunFailed;
        dropContextsTo(savedContexts);
        CallDepth = savedCallDepth;
        EvalDepth = savedEvalDepth;
        PendingOutput = NoValue;
        showMessage(outOfMemoryMessage());
    }
    // An event's procedure runs while no program pumps messages.
    if (topLevel) buildDeferredDrawings();
    restore();
    if (topLevel) {
        FreeDiscardedCode();
        // The garbage of a failed run goes at once, as after a program
        // run: a command that ran out of memory leaves the memory for the
        // next one.
        if (result == rscRunFailed) {
            CollectGarbage();
            ReleaseFreeAtoms();
        }
    }
    return result;
}

void NoteLibraryNames()
{
    LibraryNames.clear();
    if (Atom* root = RootNode())
        for (Atom* m = root->FirstChild; m; m = m->NextSibling) {
            LibraryNames.emplace(TextOf(m));
            // The library's procedures are kept from being replaced by
            // mistake (make "count 3), and their input counts are checked.
            Atom* value = LeftOf(m);
            if (IsObject(value) && value->Kind == akList && IsList(LeftOf(value))) m->Flags |= flLibraryWord;
        }
}

void Reset()
{
    if (!State) return;
    try {
        while (TopContext()) PopContext();
        CurrentCell = nullptr;
        ClearRoot();
        Atom* root = CreatePath(nullptr, "[Root]", nullptr, false);
        PushContext(root);
        // A view of the tree lets go of the old nodes before they can be
        // collected.
        Env().RebuildTree();
        HistoryQueue.clear();
        SceneChanged = false;
        ReleaseKeepList();
        ResetAssignmentState();
        Env().RepaintPlane();
        CallDepth = 0;
        EvalDepth = 0;
        PendingOutput = NoValue;
        ForgetMembers(root);
        if (gRunNesting == 0) FreeDiscardedCode();
        LibrarySources.clear();
        LibraryNames.clear();
        ForgetHidingNotes();
        if (!LibraryCommandText.empty()) {
            struct Flag {
                Flag() { RunningLibraries = true; }
                ~Flag() { RunningLibraries = false; }
            } flag;
            RunSystemCommand(LibraryCommandText);
            NoteLibraryNames();
            Env().RebuildTree();
        }
        Env().RedrawScene();
    } catch (const std::exception&) {
        // A reset never fails; whatever the library text did is dropped.
    }
    CollectGarbage();
}

namespace {

// Whether a pump is due at a statement whose count comes round: a few
// milliseconds since the last. YieldPumpsNext decides it ahead of
// YieldCheck, which then keeps to that decision.
bool gPumpDecided = false;
bool gPumpDecision = false;

// The gap to the next pump: three times what the last one took, within
// bounds. A pump that paints a heavy window (thousands of widgets on the
// plane, whose every frame the GL composes whole) would otherwise take
// most of a run's time, more the more the program has made.
std::chrono::steady_clock::duration gPumpGap = kPumpInterval;
constexpr auto kLongestPumpGap = std::chrono::milliseconds(150);

bool pumpDue() { return std::chrono::steady_clock::now() - gLastPump >= gPumpGap; }

}  // namespace

void detail::PumpIfDue()
{
    // Every 16th statement the clock is read, and messages are pumped when
    // a few milliseconds have passed: a pump costs a GUI a look at its
    // display connection, and a few hundred a second keep it responsive.
    bool due = gPumpDecided ? gPumpDecision : pumpDue();
    gPumpDecided = false;
    if (due) {
        const auto started = std::chrono::steady_clock::now();
        Env().BuildDeferredDrawings(true);
        Env().ProcessMessages();
        gLastPump = std::chrono::steady_clock::now();
        gPumpGap = std::clamp<std::chrono::steady_clock::duration>(3 * (gLastPump - started), kPumpInterval,
                                                                    kLongestPumpGap);
    }
}

bool detail::DecidePumpNext()
{
    gPumpDecision = pumpDue();
    gPumpDecided = true;
    return gPumpDecision;
}

void StepCheck()
{
    CurrentPosition.Depth = EvalDepth;
    std::string_view source = CurrentPosition.Source.view();
    if (source.size() == 1 && source[0] == '\x01') return;
    if (LastPauseDepth >= 0) {
        switch (RunState) {
        case rsRunByCommand:
            if (EvalDepth > LastPauseDepth ||
                (EvalDepth == LastPauseDepth && CurrentPosition.Line == LastPause.Line))
                return;
            break;
        case rsStep:
            if (source == LastPause.Source.view() && CurrentPosition.Offset == LastPause.Offset)
                return;
            break;
        case rsRunTo:
            if (!(source == RunToTarget.Source.view() && CurrentPosition.Line == RunToTarget.Line))
                return;
            break;
        default:
            return;
        }
    }
    SourceView* window = Env().FindSourceWindow(source);
    if (!window) return;
    LastPause = CurrentPosition;
    LastPauseDepth = EvalDepth;
    window->BringToFront();
    window->ShowStepAt(CurrentPosition.Offset);
    int markedLine = window->FirstVisibleLine();
    Env().RebuildTree();
    SetRunState(rsPaused);
    Env().BuildDeferredDrawings(false);
    Env().RedrawScene();
    while (RunState == rsPaused) {
        window = Env().FindSourceWindow(source);
        if (!window) break;
        if (window->FirstVisibleLine() != markedLine) {
            window->PlaceStepMarker(CurrentPosition.Offset - 1);
            markedLine = window->FirstVisibleLine();
        }
        YieldCheck();
        Env().SleepMilliseconds(100);
        Env().ProcessMessages();
    }
    // A stop while paused ends the run before the paused statement.
    if (RunState == rsStopRequested) RaiseStop();
}

namespace {
void reportError(const std::string& message);
}

void ReportError(const std::string& message)
{
    if (message.empty()) return;
    // Reporting needs memory of its own; a report that finds none is lost
    // rather than ending the process.
    bestEffort([&] { reportError(message); });
}

namespace {

void reportError(const std::string& message)
{
    std::string_view source = CurrentPosition.Source.view();
    if (SourceView* w = Env().FindSourceWindow(source)) {
        int offset = CurrentPosition.Offset;
        if (offset > 0 && w->LineOfIndex(offset) == w->LineOfIndex(offset - 1))
            w->ShowErrorAt(offset - 1);
        else
            w->ShowErrorAt(offset);
        // The marker stays until its line is edited or the next run starts.
        Env().ShowMessage(message, source);
    } else {
        Env().ShowMessage(message, source);
    }
    LogLine(logErrors, "Error: " + message);
}

}  // namespace

void AppendKey(std::string_view character)
{
    if (!State) return;
    std::string buffer(View(State->KeyBuffer));
    buffer += character;
    SetText(&State->KeyBuffer, buffer);
}

}  // namespace tavro
