#include "executor.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "assignment.h"
#include "atom_slabs.h"
#include "environment.h"
#include "errors.h"
#include "expr.h"
#include "interpreter.h"
#include "log.h"
#include "opcodes.h"
#include "output.h"
#include "reserved_words.h"
#include "run_control.h"
#include "stack_guard.h"
#include "state.h"
#include "structure.h"
#include "translate.h"
#include "value_stack.h"

namespace tavro {

namespace {

// The first n bytes of a text, not cutting a UTF-8 character in two.
std::string firstChars(const std::string& s, size_t n)
{
    if (s.size() <= n) return s;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

// The start of a printed form, without making the rest of it.
struct PrefixSink : TextSink {
    std::string text;
    size_t limit;
    explicit PrefixSink(size_t n) : limit(n) {}
    void Put(std::string_view piece) override
    {
        if (text.size() < limit + 4) text.append(piece.substr(0, limit + 4 - text.size()));
    }
    bool Full() const override { return text.size() >= limit + 4; }
};

// The first n bytes of a value's printed form (whole characters only),
// without making the rest of it.
std::string textPrefix(const Atom* a, size_t n)
{
    PrefixSink sink(n);
    WriteText(a, sink);
    return firstChars(sink.text, n);
}

std::vector<TCodeList*> gDiscardedCode;

// The text of a name operand: a word's own text without a copy (the
// printed form of anything else goes into `buffer`).
std::string_view NameText(const Atom* a, std::string& buffer)
{
    if (IsObject(a) && a->Kind == akWord) return TextOf(a);
    buffer = ToText(a);
    return buffer;
}

std::string NameText(const Atom* a)
{
    if (IsObject(a) && a->Kind == akWord) return std::string(TextOf(a));
    return ToText(a);
}

// Runs `list` as a statement list: CurrentCell set to it; the caller's
// CurrentCell is not restored (the statement's opEnd repositions it).
void runBody(Atom* list) {
    CurrentCell = list;
    ExecuteList();
}

void requireBodyList(Atom* body, const char* keyword, int argNumber)
{
    if (!IsList(body)) RaiseError("BADARG", {std::to_string(argNumber), keyword});
}

// ------------------------------------------------------------ procedures

constexpr int kReclaimableParameters = 8;

// Native words allocate from the pool's free list themselves and ask the
// system for each atom when it is empty: the list is topped up from the
// slabs before each native call.
constexpr int kNativeFreeAtoms = 1024;

// The error a native word or a list it ran reported, raised as it was;
// kept out of line: the call path of every native word stays short.
[[noreturn, gnu::noinline, gnu::cold]] void raisePendingNativeError()
{
    NativeErrorPending = false;
    if (PendingNativeException) {
        std::exception_ptr e = PendingNativeException;
        PendingNativeException = nullptr;
        std::rethrow_exception(e);
    }
    RaiseLanguageError(PendingNativeError);
}

// Calls a native word and raises the error it reported, if any.
Atom* callNative(TNativeFunction fn)
{
    State->ServiceCallback = HostService;
    NativeErrorPending = false;
    slabs::TopUpFreeList(kNativeFreeAtoms);
    Atom* result = fn(&State);
    if (NativeErrorPending) raisePendingNativeError();
    return result;
}

// A call that gave a value leaves its activation record behind as garbage.
// Most calls are library wrappers that run one native word, so that garbage
// is most of what a program allocates; when nothing can reach the record
// and the parameter nodes the call made (no reference, no other member, not
// the value given, not the last value popped), they go back to the pool at
// once instead of waiting for the collector. They are near the head of the
// pool's list; a short walk finds them, and whatever it does not find is
// left to the collector.
// ---- spare records
//
// Better still, the record and parameter nodes of such a call are kept for
// the next call of the same procedure, which fills the same nodes with its
// own values instead of making new ones. A spare is kept only when the
// nodes are exactly as a new call would make them (no flags, code,
// position, special member or display list, and a plain value for every
// parameter), and it is trusted only while the tree epoch stays the same:
// every collection changes it, and the spare's nodes are then ordinary
// garbage. One spare per slot; a slot taken by another procedure's spare
// leaves the new one to be freed as before. Nothing reaches a kept spare,
// so its members are still the parameters it was kept with, in order.
struct SpareRecord {
    const Atom* procedure = nullptr;
    Atom* record = nullptr;
    int count = 0;
    uint64_t epoch = 0;
    Atom* params[kReclaimableParameters];
};
constexpr size_t kSpareRecords = 256;
SpareRecord gSpareRecords[kSpareRecords];

SpareRecord& spareSlot(const Atom* procedure)
{
    uint64_t h = (reinterpret_cast<uintptr_t>(procedure) >> 4) * 0x9E3779B97F4A7C15ull;
    return gSpareRecords[(h >> 40) & (kSpareRecords - 1)];
}

// Whether a node's own fields are as a new call would make them (with
// `flags`); the display list, members and references are checked apart.
bool cleanFields(const Atom* a, uint32_t flags)
{
    return a->Flags == flags && !a->Code && !a->Position && !a->ChangeChild && !a->DrawImageChild;
}

// Keeps the nodes of a finished call, whose fields are clean, as the spare
// of `procedure`; false when a node has a display list or the slot is taken.
bool keepSpare(const Atom* procedure, Atom* record, Atom* const* made, int madeCount)
{
    SpareRecord& slot = spareSlot(procedure);
    if (slot.record && slot.epoch == TreeEpoch() && slot.procedure != procedure) return false;
    Environment& env = Env();
    if (env.HasDisplayList(record)) return false;
    for (int i = 0; i < madeCount; ++i)
        if (env.HasDisplayList(made[i])) return false;
    slot.procedure = procedure;
    slot.record = record;
    slot.count = madeCount;
    slot.epoch = TreeEpoch();
    for (int i = 0; i < madeCount; ++i) {
        made[i]->Left = nullptr;
        made[i]->Stamp = 0;
        slot.params[i] = made[i];
    }
    record->Stamp = 0;
    return true;
}

// The spare record of `procedure` for a call with these parameters, taken
// out of its slot, with its parameter nodes in order in *params; null when
// there is none that fits.
Atom* takeSpare(const Atom* procedure, int argCount, const TCodeWord* args, Atom** params)
{
    SpareRecord& slot = spareSlot(procedure);
    if (!slot.record || slot.procedure != procedure || slot.epoch != TreeEpoch() || slot.count != argCount)
        return nullptr;
    for (int i = 0; i < argCount; ++i)
        if (slot.params[i]->Text != reinterpret_cast<const Atom*>(args[2 * i + 1])->Text) return nullptr;
    Atom* record = slot.record;
    slot.record = nullptr;
    slot.procedure = nullptr;
    for (int i = 0; i < argCount; ++i) params[i] = slot.params[i];
    return record;
}

void reclaimRecord(Atom* record, Atom* const* made, int madeCount, Atom* output, const Atom* procedure,
                   bool plain)
{
    Atom* const lastPopped = LastPopped;
    auto reachable = [&](const Atom* a) { return a->RefCount > 0 || a == output || a == lastPopped; };
    if (reachable(record) || record->Parent != nullptr) return;
    // The members must be the parameter nodes this call made, as their
    // attachment left them (the last made first); anything else, even the
    // same nodes in another order, is left to the collector.
    bool clean = plain && !record->Left && TextOf(record) == "[]" && cleanFields(record, flActivation);
    int k = madeCount;
    for (Atom* m = record->FirstChild; m; m = m->NextSibling) {
        if (k == 0 || m != made[--k] || m->FirstChild || reachable(m)) return;
        clean = clean && cleanFields(m, 0);
    }
    if (k != 0) return;
    if (clean && keepSpare(procedure, record, made, madeCount)) return;

    // Marks are clear outside a collection: they tag the atoms to free.
    record->Flags |= flMarked;
    for (int i = 0; i < madeCount; ++i) made[i]->Flags |= flMarked;
    int left = madeCount + 1;
    Atom* prev = nullptr;
    int budget = 32 + madeCount;
    for (Atom* a = State->AllAtoms; a && left > 0 && budget-- > 0;) {
        Atom* next = a->Next;
        if (a->Flags & flMarked) {
            if (Env().HasDisplayList(a)) Env().DeleteDisplayList(a);
            ReleaseSuccessor(prev);
            --left;
        } else {
            prev = a;
        }
        a = next;
    }
    if (left > 0) {
        record->Flags &= ~flMarked;
        for (int i = 0; i < madeCount; ++i) made[i]->Flags &= ~flMarked;
    }
}

void beginStatement(Atom* cell);

// The one statement of a body that is nothing but `output dll.LIB.FUNCTION`
// (every library wrapper), compiled already; null for any other body.
Atom* nativeBodyStatement(Atom* body)
{
    auto isComma = [](const Atom* cell) {
        const Atom* e = LeftOf(cell);
        return IsObject(e) && e->Kind == akWord && TextOf(e) == ",";
    };
    while (body && isComma(body)) body = RightOf(body);
    if (!body || !body->Code) return nullptr;
    const TCodeList* code = body->Code;
    if (code->Count != 7 || code->Words[0] != opNative || code->Words[2] != opOutput ||
        code->Words[3] != MakeCounts(1, 0) || code->Words[4] != opPop || code->Words[5] != opEnd)
        return nullptr;
    for (const Atom* rest = reinterpret_cast<const Atom*>(code->Words[6]); rest; rest = RightOf(rest))
        if (!isComma(rest)) return nullptr;
    return body;
}

// Runs such a body exactly as the statement loop and the stack machine
// would (the same collection check, position, message pumping, stepping,
// depth, native call, error, output, last popped value and current cell),
// without their set-up: library wrappers are most of the calls a program
// makes.
void runNativeBody(Atom* statement)
{
    PendingOutput = NoValue;
    CurrentCell = statement;
    CollectGarbageCheck();
    beginStatement(statement);
    struct Depth {
        Depth() { ++EvalDepth; }
        ~Depth() { --EvalDepth; }
    } depth;
    CheckStackDepth();
    Atom* result = callNative(reinterpret_cast<TNativeFunction>(statement->Code->Words[1]));
    // `output` pops the value; without one the statement's pop finds the
    // stack empty.
    PendingOutput = result;
    LastPopped = result == NoValue ? nullptr : result;
    CurrentCell = nullptr;
    if (CallDepth <= 1) ProcessHistoryQueue();
}

// A call ends with a value pending that a library word's list gave for a
// caller further out (see UnwindDepth): true when it is not this call's
// to take and the call has ended, passing it on. Otherwise the call takes
// it (a stop as no output). Out of line: it is rare.
[[gnu::noinline]] bool passedThrough(TStack& stack, Atom* record, Atom* node, std::string_view procName,
                                     bool tracing)
{
    if (CallDepth > UnwindDepth) {
        if (tracing) LogLine(logTrace, "Exit  (" + std::to_string(CallDepth) + ") " + std::string(procName));
        stack.Push(NoValue);
        DetachRecord(record);
        node->Flags &= ~flBusy;
        PopContext();
        return true;
    }
    UnwindDepth = kNoUnwind;
    if (UnwindKind == ukStop) PendingOutput = NoValue;
    return false;
}

// A name that nothing answers to. Inside a procedure whose caller gave
// fewer inputs than it has parameters, the name may be one of the missing
// ones: the learner is told which input the procedure lacks.
[[noreturn]] void raiseUnknownName(std::string_view name)
{
    Atom* record = ContextNode(TopContext());
    Atom* procedure = record && (record->Flags & flActivation) ? record->Parent : nullptr;
    Atom* value = procedure ? LeftOf(procedure) : nullptr;
    if (IsObject(value) && value->Kind == akList && IsList(LeftOf(value))) {
        auto same = [](std::string_view a, std::string_view b) {
            if (NamesCaseSensitive()) return a == b;
            return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
            });
        };
        // The right parameters, and the left ones when there are two lists.
        Atom* lists[2] = {LeftOf(value), RightOf(value) && IsList(LeftOf(RightOf(value))) ? LeftOf(RightOf(value)) : nullptr};
        for (Atom* params : lists)
            for (Atom* cell = params; cell && RightOf(cell); cell = RightOf(RightOf(cell)))
                if (Atom* param = LeftOf(RightOf(cell)); IsWordOrNumber(param) && same(TextOf(param), name))
                    RaiseError("NOINPUT", {std::string(TextOf(procedure)), std::string(name)});
    }
    RaiseError("UNKNOWNVAR", {std::string(name)});
}

void callProcedure(TStack& stack, Atom* nameAtom, int argCount, const TCodeWord* args,
                   bool wantValue)
{
    std::string spelled;
    std::string_view name;
    if (IsObject(nameAtom) && nameAtom->Kind == akWord) {
        name = TextOf(nameAtom);
    } else {
        spelled = ToText(nameAtom);
        name = spelled;
    }
    Atom* node = ResolveName(nameAtom, name);
    if (!node) raiseUnknownName(name);
    if (LambdaMayExist())
        if (Atom* lambda = FindMember(node, NormalizedReserved(rwLambda))) node = lambda;
    Atom* definition = LeftOf(node);

    if (!IsList(definition) || (node->FirstChild && definition == nullptr)) {
        // Not a procedure: the value of a variable.
        if (wantValue) {
            Atom* copy = NewAnonymous(nullptr);
            CopyInto(node, copy);
            stack.Push(copy);
        } else {
            stack.Push(NoValue);
        }
        PendingOutput = NoValue;
        return;
    }

    std::string_view procName = TextOf(node);
    // A call whose every parameter is a plain value may reuse the nodes of
    // an earlier call (see keepSpare).
    bool plain = argCount <= kReclaimableParameters;
    for (int i = 0; plain && i < argCount; ++i) plain = args[2 * i] != 1 && !IsVariable(stack.Peek(i));
    Atom* spareParams[kReclaimableParameters];
    Atom* record = plain ? takeSpare(node, argCount, args, spareParams) : nullptr;
    const bool reused = record != nullptr;
    if (reused)
        AttachRecordAgain(record, node);
    else
        record = AttachRecord(node);  // flagged before its members arrive
    Hold holdRecord(record);
    Hold holdDefinition(definition);
    bool tracing = LogWants(logTrace);
    std::string trace;
    // The parameter nodes this call makes itself (see reclaimRecord).
    Atom* made[kReclaimableParameters];
    int madeCount = 0;
    auto remember = [&](Atom* n) {
        if (madeCount < kReclaimableParameters) made[madeCount] = n;
        ++madeCount;
    };

    for (int i = 0; i < argCount; ++i) {
        TCodeWord byName = args[2 * i];
        Atom* paramAtom = reinterpret_cast<Atom*>(args[2 * i + 1]);
        std::string_view param = TextOf(paramAtom);
        Atom* arg = stack.Pop();
        if (byName == 1) {
            Atom* target = IsWordOrNumber(arg) ? Resolve(ToText(arg)) : nullptr;
            if (!target) RaiseError("UNKNOWNVAR", {ToText(arg)});
            std::string full = DottedPath(target);
            remember(CreatePath(record, param, NewWord(full), false));
            if (tracing) trace += " \"" + std::string(param) + "=" + full;
        } else {
            if (tracing) trace += " :" + std::string(param) + "=" + ToText(arg);
            if (IsVariable(arg)) {
                Detach(arg);
                SetName(arg, param);
                Attach(arg, record);
            } else {
                if (reused) {
                    spareParams[i]->Left = arg;
                    remember(spareParams[i]);
                } else {
                    remember(AttachParameter(record, paramAtom->Text, arg));
                }
            }
        }
    }

    Atom* body = definition;
    if (body && IsList(LeftOf(body))) {
        body = RightOf(body);
        if (body && IsList(LeftOf(body))) body = RightOf(body);
    }

    node->Flags |= flBusy;
    record->Flags |= flActivation;
    PushContext(record);
    if (tracing)
        LogLine(logTrace, "Enter (" + std::to_string(CallDepth) + ") " + std::string(procName) + trace);
    ++CallDepth;
    if (Atom* statement = nativeBodyStatement(body))
        runNativeBody(statement);
    else {
        CurrentCell = body;
        ExecuteList();
    }
    --CallDepth;

    if (PendingOutput != NoValue && UnwindDepth != kNoUnwind) [[unlikely]]
        if (passedThrough(stack, record, node, procName, tracing)) return;
    if (PendingOutput == NoValue) {
        Detach(record);
        Attach(record, ContextNode(ContextLink(TopContext())));
        stack.Push(record);
        if (tracing)
            LogLine(logTrace, "Exit  (" + std::to_string(CallDepth) + ") " + std::string(procName) +
                                  " with result=" + ToText(record));
        PendingOutput = NoValue;
        node->Flags &= ~flBusy;
        PopContext();
        Detach(record);
        return;
    }
    if (tracing)
        LogLine(logTrace, "Exit  (" + std::to_string(CallDepth) + ") " + std::string(procName) +
                              " with result=" + ToText(PendingOutput));
    Atom* output = PendingOutput;
    stack.Push(output);
    DetachRecord(record);
    PendingOutput = NoValue;
    node->Flags &= ~flBusy;
    PopContext();
    holdRecord.Drop();
    if (madeCount <= kReclaimableParameters) reclaimRecord(record, made, madeCount, output, node, plain);
}

// ------------------------------------------------------------------- run

// Restores the current directory when a run of a file ends.
class DirectoryKeeper {
public:
    DirectoryKeeper()
    {
        char buf[4096];
        if (getcwd(buf, sizeof buf)) saved_ = buf;
    }
    ~DirectoryKeeper()
    {
        if (!saved_.empty() && chdir(saved_.c_str()) != 0) {
        }
    }

private:
    std::string saved_;
};

void changeDirectory(const std::string& folder)
{
    if (!folder.empty() && chdir(folder.c_str()) != 0) {
    }
}

void runValue(TStack& stack)
{
    DirectoryKeeper keeper;
    Atom* arg = stack.Pop();
    Hold holdArg(arg);
    Atom* list = nullptr;
    if (IsWordOrNumber(arg)) {
        std::string name = ToText(arg);
        if (std::filesystem::path(name).extension().empty()) name += ".tvr";
        Position saved = CurrentPosition;
        if (SourceWindow* w = Env().FindSourceWindow(name)) {
            changeDirectory(w->FileFolder());
            CurrentPosition = MakePosition(w->Caption(), 0, 0, kUnexecutedDepth);
            list = TranslateText(w->EditorText());
        } else {
            std::string path = ResolveProgramPath(name);
            std::ifstream in(path, std::ios::binary);
            if (!in) return;  // a missing program runs nothing
            std::stringstream ss;
            ss << in.rdbuf();
            std::string text = ss.str();
            if (size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
            std::string folder = std::filesystem::path(path).parent_path().string();
            if (folder + "/" != InstallFolders().Executable) changeDirectory(folder);
            CurrentPosition = MakePosition(path, 0, 0, kUnexecutedDepth);
            if (RunningLibraries) LibrarySources.insert(path);
            list = TranslateText(text);
        }
    } else if (IsList(arg)) {
        list = arg;
    } else {
        return;
    }
    Hold holdList(list);
    uint8_t state = RunState;
    CurrentCell = list;
    ExecuteList();
    stack.Push(LastPopped);
    SetRunState(state);
}

// --------------------------------------------------------------- printing

void printValues(TStack& stack, int count)
{
    // The line streams out: a value of any size is never held as text.
    OutputLineWriter line;
    Atom* last = nullptr;
    for (int i = 0; i < count; ++i) {
        Atom* v = stack.Pop();
        last = v;
        if (IsVariable(v)) {
            Hold hold(v);
            WriteText(LeftOf(v), line);
            if (i < count - 1 && TextOf(v) == "[]") Detach(v);
        } else {
            Hold hold(v);
            WriteText(v, line);
        }
        line.Put(" ");
    }
    Hold holdLast(last);
    line.Finish();
    if (IsVariable(last)) {
        stack.Push(LeftOf(last));
        // Only a temporary is taken out of the tree; a named variable stays.
        if (TextOf(last) == "[]") Detach(last);
    } else {
        stack.Push(last);
    }
}

// ------------------------------------------------------------------ loops

// The state of one while loop of an evaluation, from its first test until
// it ends. The outer loop's count is restored however the loop ends.
struct WhileFrame {
    int opIndex;
    int savedCount;
    bool bodyRan = false;
    Atom* bodyValue = nullptr;
};

class WhileFrames {
public:
    ~WhileFrames()
    {
        // Innermost first, so the outermost saved count wins.
        for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
            State->WhileCount = it->savedCount;
            Release(it->bodyValue);
        }
    }
    WhileFrame& Enter(int opIndex)
    {
        for (auto& f : frames_)
            if (f.opIndex == opIndex) return f;
        frames_.push_back(WhileFrame{opIndex, State->WhileCount});
        State->WhileCount = 0;
        return frames_.back();
    }
    void Leave(int opIndex)
    {
        for (size_t i = 0; i < frames_.size(); ++i) {
            if (frames_[i].opIndex == opIndex) {
                State->WhileCount = frames_[i].savedCount;
                Release(frames_[i].bodyValue);
                frames_.erase(frames_.begin() + static_cast<long>(i));
                return;
            }
        }
    }

private:
    std::vector<WhileFrame> frames_;
};

void checkStopRequest()
{
    if (RunState == rsStopRequested) RaiseStop();
}

// Restores RepeatCount when a repeat ends, normally or not.
struct RepeatCountKeeper {
    int saved = State->RepeatCount;
    ~RepeatCountKeeper() { State->RepeatCount = saved; }
};

}  // namespace

// ===================================================================== API

namespace {

void executeList(bool dropCodeBehind)
{
    Hold hold(CurrentCell);
    PendingOutput = NoValue;
    UnwindDepth = kNoUnwind;
    if (!CurrentCell) return;
    while (PendingOutput == NoValue) {
        switch (ReadElementKind()) {
        case ekEnd:
        case ekEmptyList:  // an empty list standing as a statement ends the list
            return;
        case ekComma:
            CurrentCell = RightOf(CurrentCell);
            break;
        case ekWord:
        case ekGroup: {
            Atom* first = CurrentCell;
            ExecuteStatement();
            if (dropCodeBehind) DropCode(first);
            break;
        }
        default:
            RaiseError("BADCOMMAND", {textPrefix(CurrentCell, 80)});
        }
    }
}

}  // namespace

void ExecuteList() { executeList(false); }

void ExecuteProgram() { executeList(true); }

namespace {

// What every statement does before its code runs: its position becomes
// the current one, messages are pumped now and then, stepping may pause.
void beginStatement(Atom* cell)
{
    if (const TPosition* p = cell->Position) {
        CurrentPosition.Source.assign(p->Source);
        CurrentPosition.Line = p->Line;
        CurrentPosition.Offset = p->Offset;
        if (p->Source == RunSource && RunSource) {
            RunSourceLine = p->Line;
            RunSourceOffset = p->Offset;
        }
    } else {
        CurrentPosition.Source = Text();
        CurrentPosition.Line = 0;
        CurrentPosition.Offset = 0;
    }
    CurrentPosition.Depth = EvalDepth;
    YieldCheck();
    if (IsSteppingState(RunState)) StepCheck();
}

}  // namespace

void ExecuteStatement()
{
    CollectGarbageCheck();
    Atom* cell = CurrentCell;
    beginStatement(cell);
    if (CodeCount(cell) == 0) {
        CompileStatement();
        CurrentCell = cell;
    }
    CurrentCell = EvaluateCode(cell, false);
    if (CallDepth <= 1) ProcessHistoryQueue();
    if (SceneChanged && ContextNode(TopContext()) == RootNode()) {
        Env().RedrawScene();
        SceneChanged = false;
    }
}

Atom* EvaluateCode(Atom* cell, bool wantValue)
{
    CheckStackDepth();
    TCodeList* code = cell->Code;
    if (!code) return nullptr;
    const TCodeWord* w = code->Words;
    const int count = code->Count;

    TStack stack;
    WhileFrames whiles;
    struct Finish {
        TStack& s;
        ~Finish()
        {
            Atom* saved = LastPopped;
            s.Clear();
            LastPopped = saved;
            --EvalDepth;
        }
    } finish{stack};
    ++EvalDepth;

    int pos = 0;
    for (;;) {
        if (pos >= count || PendingOutput != NoValue) return nullptr;
        const int opIndex = pos;
        switch (w[pos++]) {
        case opPop:
            stack.Pop();
            break;
        case opPush:
            stack.Push(reinterpret_cast<Atom*>(w[pos++]));
            break;
        case opCall: {
            Atom* name = reinterpret_cast<Atom*>(w[pos++]);
            intptr_t counts = w[pos++];
            int n = LeftCountOf(counts) + RightCountOf(counts);
            const TCodeWord* args = w + pos;
            pos += 2 * n;
            bool want = wantValue || (pos < count && w[pos] != opPop);
            callProcedure(stack, name, n, args, want);
            break;
        }
        case opEnd:
            return reinterpret_cast<Atom*>(w[pos]);
        case opThing: {
            intptr_t counts = w[pos++];
            if (LeftCountOf(counts) != 0 || RightCountOf(counts) != 1) RaiseError("ARGCOUNT", {":"});
            Atom* nameAtom = stack.Pop();
            std::string spelled;
            std::string_view name = NameText(nameAtom, spelled);
            Atom* node = ResolveName(nameAtom, name);
            if (!node) raiseUnknownName(name);
            if (node->FirstChild) {
                Atom* copy = NewAnonymous(nullptr);
                CopyInto(node, copy);
                stack.Push(copy);
            } else {
                stack.Push(LeftOf(node));
            }
            break;
        }
        case opDot: {
            intptr_t counts = w[pos++];
            if (LeftCountOf(counts) != 1 || RightCountOf(counts) != 1) RaiseError("ARGCOUNT", {"."});
            std::string left = ToText(stack.Pop());
            if (!left.empty() && left.back() == '.') left.pop_back();
            std::string right = ToText(stack.Pop());
            stack.Push(NewWord(left + "." + right));
            break;
        }
        case opPrint: {
            intptr_t counts = w[pos++];
            printValues(stack, LeftCountOf(counts) + RightCountOf(counts));
            break;
        }
        case opMake:
        case opOb: {
            bool isOb = w[opIndex] == opOb;
            intptr_t counts = w[pos++];
            Atom* first = reinterpret_cast<Atom*>(w[pos++]);
            Atom* last = reinterpret_cast<Atom*>(w[pos++]);
            int r = RightCountOf(counts);
            if (LeftCountOf(counts) != 0 || r < 1 || r > 4)
                RaiseError("ARGCOUNT", {isOb ? "ob" : "make"});
            AssignArguments a;
            a.value = NoValue;
            Atom* p1 = stack.Pop();
            Hold h1(p1);
            if (r == 1) {
                a.name = NameText(p1);
                a.nameAtom = p1;
            } else if (r == 2) {
                Atom* p2 = stack.Pop();
                if (IsList(p1)) {
                    a.before = p1;
                    a.name = NameText(p2);
                    a.nameAtom = p2;
                } else {
                    a.name = NameText(p1);
                    a.nameAtom = p1;
                    a.value = p2;
                }
            } else if (r == 3) {
                Atom* p2 = stack.Pop();
                Hold h2(p2);
                Atom* p3 = stack.Pop();
                if (IsList(p1)) {
                    a.before = p1;
                    a.name = NameText(p2);
                    a.nameAtom = p2;
                    a.value = p3;
                } else {
                    a.name = NameText(p1);
                    a.nameAtom = p1;
                    a.value = p2;
                    a.after = p3;
                }
            } else {
                Atom* p2 = stack.Pop();
                Hold h2(p2);
                Atom* p3 = stack.Pop();
                Hold h3(p3);
                Atom* p4 = stack.Pop();
                a.before = p1;
                a.name = NameText(p2);
                a.nameAtom = p2;
                a.value = p3;
                a.after = p4;
            }
            a.isOb = isOb;
            a.firstCell = first;
            a.lastCell = last;
            AssignVariable(stack, a);
            break;
        }
        case opRun: {
            intptr_t counts = w[pos++];
            if (LeftCountOf(counts) != 0 || RightCountOf(counts) != 1) RaiseError("ARGCOUNT", {"run"});
            runValue(stack);
            break;
        }
        case opOutput: {
            intptr_t counts = w[pos++];
            int r = RightCountOf(counts);
            if (LeftCountOf(counts) != 0 || r >= 2) RaiseError("ARGCOUNT", {"output"});
            PendingOutput = r == 1 ? stack.Pop() : NoValue;
            break;
        }
        case opIf: {
            intptr_t counts = w[pos++];
            int r = RightCountOf(counts);
            if (LeftCountOf(counts) != 0 || (r != 2 && r != 3)) RaiseError("ARGCOUNT", {"if"});
            Atom* condition = stack.Pop();
            if (IsTrue(condition)) {
                Atom* then = stack.Pop();
                Hold hold(then);
                if (r == 3) stack.Pop();
                requireBodyList(then, "if", 2);
                runBody(then);
            } else {
                stack.Pop();
                if (r == 3) {
                    Atom* otherwise = stack.Pop();
                    Hold hold(otherwise);
                    requireBodyList(otherwise, "if", 3);
                    runBody(otherwise);
                }
            }
            stack.Push(LastPopped);
            break;
        }
        case opWhile: {
            intptr_t counts = w[pos++];
            int r = RightCountOf(counts);
            int l = LeftCountOf(counts);
            if (l == 0 && r == 0) {
                ++pos;  // the restart mark
                stack.Push(NewNumber(State->WhileCount));
                break;
            }
            // A condition without a body would loop for ever unseen.
            if (l != 0 || r != 2) RaiseError("ARGCOUNT", {"while"});
            int mark = static_cast<int>(w[pos++]);
            WhileFrame& frame = whiles.Enter(opIndex);
            Atom* condition = stack.Pop();
            if (IsTrue(condition)) {
                ++State->WhileCount;
                Atom* body = stack.Pop();
                Hold hold(body);
                requireBodyList(body, "while", 2);
                runBody(body);
                Release(frame.bodyValue);
                frame.bodyValue = AddRef(LastPopped);
                frame.bodyRan = true;
                State->InWhile = 1;
                YieldCheck();  // an empty body must still see a stop
                pos = mark;
            } else {
                Atom* result = frame.bodyRan ? frame.bodyValue : LastPopped;
                Hold hold(result);
                stack.Pop();  // the body
                whiles.Leave(opIndex);
                stack.Push(result);
            }
            break;
        }
        case opRepeat: {
            intptr_t counts = w[pos++];
            RepeatCountKeeper keeper;
            int r = RightCountOf(counts);
            if (LeftCountOf(counts) == 0 && r == 0) {
                stack.Push(NewNumber(State->RepeatCount));
                break;
            }
            if (LeftCountOf(counts) > 0 || r != 2) RaiseError("ARGCOUNT", {"repeat"});
            long double n;
            if (!ToNumberTry(stack.Pop(), n)) RaiseError("BADARG", {"1", "repeat"});
            Atom* body = stack.Pop();
            if (!IsList(body)) RaiseError("BADARG", {"2", "repeat"});
            Hold hold(body);
            long long i = 0;
            while (n > 0) {
                ++i;
                State->RepeatCount = static_cast<int32_t>(i);
                CurrentCell = body;
                ExecuteList();
                n -= 1;
                // An output inside the body ends the loop and is kept.
                if (PendingOutput != NoValue) break;
                if (i % 128 == 0 && !MessagePumpingSuppressed) Env().ProcessMessages();
                checkStopRequest();
            }
            stack.Push(LastPopped);
            break;
        }
        case opLocal: {
            intptr_t counts = w[pos++];
            int r = RightCountOf(counts);
            if (LeftCountOf(counts) != 0 || r < 1) RaiseError("ARGCOUNT", {"local"});
            for (int i = 0; i < r; ++i) {
                std::string name = ToText(stack.Pop());
                if (!ResolveInContext(name))
                    CreatePath(ContextNode(TopContext()), name, nullptr, false);
            }
            stack.Push(LastPopped);
            break;
        }
        case opNative:
            stack.Push(callNative(reinterpret_cast<TNativeFunction>(w[pos++])));
            break;
        case opDump:
            DumpStructure();
            stack.Push(nullptr);
            break;
        default:
            break;  // unknown words are skipped without operands
        }
    }
}

void RunList(Atom* list)
{
    Atom* saved = CurrentCell;
    Hold hold(saved);
    struct Restore {
        Atom* cell;
        ~Restore() { CurrentCell = cell; }
    } restore{saved};
    CurrentCell = list;
    ExecuteList();
}

bool IsTrue(const Atom* v)
{
    if (v && v == TrueMarker) return true;
    if (v && v == FalseMarker) return false;
    return v != NoValue && ToBoolean(v);  // a word "true" in any letter case
}

namespace {

void dumpLine(const Atom* node, int depth)
{
    OutputLineWriter line;
    // The indentation of a deep node goes out in pieces like long text.
    static const std::string blanks(3 * 1024, ' ');
    for (size_t left = size_t(depth) * 3; left > 0;) {
        size_t n = std::min(left, blanks.size());
        line.Put(std::string_view(blanks).substr(0, n));
        left -= n;
    }
    line.Put(TextOf(node));
    line.Put(" = ");
    line.Put(textPrefix(LeftOf(node), 50));
    line.Finish();
}

}  // namespace

void DumpStructure()
{
    OutputLine("--DUMP--");
    if (const Atom* root = RootNode()) {
        // Depth first in member order, with an explicit stack (one entry
        // per level: the next member to show there), so neither the depth
        // of the tree nor the indentation is held anywhere but in the line
        // being written.
        dumpLine(root, 0);
        std::vector<std::pair<const Atom*, int>> next;
        if (root->FirstChild) next.push_back({root->FirstChild, 1});
        unsigned lines = 0;
        while (!next.empty()) {
            auto [node, depth] = next.back();
            if (!node) {
                next.pop_back();
                continue;
            }
            next.back().first = node->NextSibling;
            dumpLine(node, depth);
            if (node->FirstChild) next.push_back({node->FirstChild, depth + 1});
            // A long listing can be stopped.
            if ((++lines & 1023) == 0) {
                if (!MessagePumpingSuppressed) Env().ProcessMessages();
                checkStopRequest();
            }
        }
    }
    OutputLine("--------");
}

Folders& InstallFolders()
{
    static Folders folders;
    return folders;
}

std::string ResolveProgramPath(const std::string& name)
{
    namespace fs = std::filesystem;
    std::string file = fs::path(name).filename().string();
    const Folders& f = InstallFolders();
    std::vector<std::string> candidates = {name, file, "../" + name, "../" + file};
    if (!f.Configuration.empty()) {
        candidates.push_back(f.Configuration + "/" + name);
        candidates.push_back(f.Configuration + "/" + file);
    }
    if (!f.Executable.empty()) {
        candidates.push_back(f.Executable + name);
        candidates.push_back(f.Executable + file);
    }
    if (!f.Parent.empty()) {
        candidates.push_back(f.Parent + name);
        candidates.push_back(f.Parent + file);
    }
    for (const auto& c : candidates) {
        std::error_code ec;
        if (!c.empty() && fs::is_regular_file(c, ec))
            return fs::absolute(c, ec).lexically_normal().string();
    }
    return name;
}

void DiscardCode(Atom* cell)
{
    if (cell && cell->Code) {
        gDiscardedCode.push_back(cell->Code);
        cell->Code = nullptr;
    }
}

void FreeDiscardedCode()
{
    for (TCodeList* c : gDiscardedCode) free(c);
    gDiscardedCode.clear();
}

}  // namespace tavro
