#include "run_control.h"

#include <chrono>
#include <algorithm>
#include <cstdint>
#include <climits>
#include <cstdlib>
#include <new>

#include "assignment.h"
#include "environment.h"
#include "errors.h"
#include "executor.h"
#include "expr.h"
#include "interpreter.h"
#include "log.h"
#include "member_cache.h"
#include "memory_limit.h"
#include "stack_guard.h"
#include "state.h"
#include "structure.h"
#include "translate.h"

namespace tavro {

Position LastPause;
int LastPauseDepth = -1;
Position RunToTarget;

namespace {

unsigned gYieldCounter = 0;
constexpr auto kPumpInterval = std::chrono::milliseconds(3);
std::chrono::steady_clock::time_point gLastPump;
int gRunNesting = 0;  // runs in progress (RunCommandText, RunSystemCommand)

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long long gLastCollection = nowMs();

// A statement long enough to take a while to compile can be stopped.
void pollWhileCompiling()
{
    if (!MessagePumpingSuppressed) Env().ProcessMessages();
    if (RunState == rsStopRequested) RaiseStop();
}

struct CompilerPollInstaller {
    CompilerPollInstaller() { CompilerPoll = pollWhileCompiling; }
} gCompilerPollInstaller;

constexpr int32_t kMinCollectThreshold = 50000;
// The collector's work stack is made this large at once (512 KB), so that
// marking seldom needs memory, least of all right after memory ran out.
constexpr size_t kCollectorWorkStart = size_t(1) << 16;
int32_t gCollectThreshold = kMinCollectThreshold;

// TAVRO_COLLECT_EVERY_STATEMENT=1 collects before every statement: a
// developer's check that every value in use is reachable or held.
const bool gCollectAlways = [] {
    const char* v = std::getenv("TAVRO_COLLECT_EVERY_STATEMENT");
    return v && *v == '1';
}();

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

// Atoms allocated between two looks at the memory the process maps.
constexpr int32_t kRoomCheckAtoms = 16384;
int32_t gNextRoomCheck = kMinCollectThreshold;

// True when the process is about to reach the program's ceiling while the
// free list could not serve what comes next: garbage must go before it can
// stand between the program and its ceiling. The pacing by atom counts
// cannot see this, since atoms are not all a program's memory.
bool nearCeiling()
{
    if (State->LiveCount < gNextRoomCheck) return false;
    gNextRoomCheck = State->LiveCount + kRoomCheckAtoms;
    size_t limit = ProgramLimit();
    if (!limit || State->FreeCount >= kRoomCheckAtoms) return false;
    return DataInUse() + MemoryCeiling() / 8 > limit;
}

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

// An atom the pool can take back as it is: no text, code, position or
// resource of its own, and no node (whose display list the scene may hold).
inline bool holdsNothing(const Atom* a)
{
    return !a->Text && !a->Code && !a->Position &&
           (a->Kind == akList || a->Kind == akNumber || a->Kind == akGroup || a->Kind == akWord);
}

// A word or number without members holds nothing else: marked where it is
// met, never pushed.
inline bool markLeaf(Atom* a)
{
    if ((a->Kind == akWord || a->Kind == akNumber) && !a->FirstChild) {
        a->Flags |= flMarked;
        return true;
    }
    return false;
}

void markFrom(Atom* start, std::vector<Atom*>& work)
{
    work.push_back(start);
    while (!work.empty()) {
        Atom* a = work.back();
        work.pop_back();
        while (IsObject(a) && !(a->Flags & flMarked)) {
            a->Flags |= flMarked;
            for (Atom* m = a->FirstChild; m; m = m->NextSibling)
                if (!(m->Flags & flMarked)) work.push_back(m);
            if (a->Kind == akVariable) {
                a = LeftOf(a);
            } else if (a->Kind == akList || a->Kind == akGroup) {
                // The element first, the rest kept on the stack: the stack
                // grows with the nesting of lists, not with their length.
                // A leaf element is marked at once and the walk goes on
                // along the list.
                Atom* element = LeftOf(a);
                Atom* rest = RightOf(a);
                if (IsObject(element) && !(element->Flags & flMarked) && !markLeaf(element)) {
                    work.push_back(rest);
                    a = element;
                } else {
                    a = rest;
                }
            } else {
                break;  // a widget's Left and a block's Right are no atoms
            }
        }
    }
}

}  // namespace

namespace {

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
        for (Atom* m = root->FirstChild; m; m = m->NextSibling) LibraryNames.emplace(TextOf(m));
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

bool pumpDue() { return std::chrono::steady_clock::now() - gLastPump >= kPumpInterval; }

}  // namespace

void YieldCheck()
{
    // Every 16th statement the clock is read, and messages are pumped when
    // a few milliseconds have passed: a pump costs a GUI a look at its
    // display connection, and a few hundred a second keep it responsive.
    if ((++gYieldCounter & 15) == 0 && !MessagePumpingSuppressed) {
        bool due = gPumpDecided ? gPumpDecision : pumpDue();
        gPumpDecided = false;
        if (due) {
            gLastPump = std::chrono::steady_clock::now();
            Env().BuildDeferredDrawings(true);
            Env().ProcessMessages();
        }
    }
    if (RunState == rsStopRequested) RaiseStop();
}

bool YieldPumpsNext()
{
    if (((gYieldCounter + 1) & 15) != 0 || MessagePumpingSuppressed) return false;
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

void CollectGarbageCheck()
{
    // The clock is read every 64th statement; the allocation count always.
    static unsigned statements = 0;
    if (gCollectAlways) {
        CollectGarbage();
        return;
    }
    if ((++statements & 63) != 0 && State->LiveCount < gCollectThreshold) return;
    long long now = nowMs();
    // Besides the clock, the amount allocated since the last collection
    // decides, so a program that allocates fast cannot exhaust memory
    // between two ticks.
    if (now - gLastCollection >= 5000 || State->LiveCount >= gCollectThreshold || nearCeiling()) CollectGarbage();
}

void CollectGarbage()
{
    if (!State) return;
    // Anonymous copies that nothing holds any more are temporaries, even
    // while they hang under the root.
    if (Atom* root = RootNode()) {
        for (Atom* m = root->FirstChild; m;) {
            Atom* next = m->NextSibling;
            if (m->RefCount <= 0 && TextOf(m) == "[]") Detach(m);
            m = next;
        }
    }
    // Marks are clear between collections (the sweep clears them on every
    // survivor), so one pass finds the held atoms and the sweep is the
    // second and last.
    // The collector must not need memory in proportion to the heap: it
    // runs right after a command ran out of memory. Held atoms are marked
    // as they are met, and the work stack keeps its capacity.
    static std::vector<Atom*> work;
    work.clear();
    try {
        if (work.capacity() < kCollectorWorkStart) work.reserve(kCollectorWorkStart);
        markFrom(CurrentCell, work);
        markFrom(RootNode(), work);
        markFrom(TrueMarker, work);
        markFrom(FalseMarker, work);
        markFrom(PendingOutput, work);
        for (TContext* c = TopContext(); c; c = c->Link) markFrom(c->Node, work);
        for (Atom* a = State->AllAtoms; a; a = a->Next)
            if (a->RefCount > 0) markFrom(a, work);
    } catch (const std::bad_alloc&) {
        // Lists nested deeper than the work stack could grow: nothing is
        // swept on half a marking. The marks go, so the next collection
        // walks everything again.
        for (Atom* a = State->AllAtoms; a; a = a->Next) a->Flags &= ~flMarked;
        if (RootNode()) RootNode()->Flags &= ~flMarked;
        return;
    }

    // The indexes of owners the sweep frees go: their atoms will serve
    // other nodes. Every other index stays exact (its members survive with
    // their owner) and need not be built again.
    member_index::DropUnless([](const Atom* owner) { return (owner->Flags & flMarked) || owner->RefCount > 0; });

    // Releasing a widget may pump messages; nothing may run mid-sweep.
    bool suppressed = MessagePumpingSuppressed;
    MessagePumpingSuppressed = true;
    Atom* prev = nullptr;
    for (Atom* a = State->AllAtoms; a;) {
        Atom* next = a->Next;
        if (!(a->Flags & flMarked) && a->RefCount <= 0) {
            if (holdsNothing(a)) {
                // Most garbage is list cells and numbers: unlinked here and
                // given to the pool's own reset.
                if (prev)
                    prev->Next = next;
                else
                    State->AllAtoms = next;
                tavro_pool_push_free(State, a);
            } else {
                if (a->Kind == akVariable && Env().HasDisplayList(a)) Env().DeleteDisplayList(a);
                ReleaseSuccessor(prev);
            }
        } else {
            a->Flags &= ~flMarked;
            prev = a;
        }
        a = next;
    }
    MessagePumpingSuppressed = suppressed;
    // Freed atoms will be reused: nothing remembered about them may
    // survive, whatever they become next.
    member_cache::Clear();
    ForgetGlobalScopes();
    gLastCollection = nowMs();
    gNextRoomCheck = State->LiveCount + kRoomCheckAtoms;
    // The next collection comes when the atoms in use have grown to three
    // times what survived this one, so that each collection frees at least
    // twice what it walked through alive. Where that much garbage would
    // take more than half the memory ceiling, the growth allowed falls back
    // to twice: garbage must not stand between a program and its ceiling.
    const int64_t live = State->LiveCount;
    const size_t ceiling = MemoryCeiling();
    const int64_t room = ceiling ? int64_t(ceiling / sizeof(Atom) / 2) : INT64_MAX;
    const int64_t next = std::max(2 * live, std::min(3 * live, room));
    gCollectThreshold = int32_t(std::clamp<int64_t>(next, kMinCollectThreshold, INT32_MAX));
}

void AppendKey(std::string_view character)
{
    if (!State) return;
    std::string buffer(View(State->KeyBuffer));
    buffer += character;
    SetText(&State->KeyBuffer, buffer);
}

}  // namespace tavro
