#include "calls.h"

#include "executor.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
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
#include "intrinsics.h"
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

constexpr int kReclaimableParameters = 8;

inline bool isCommaCell(const Atom* cell)
{
    const Atom* e = LeftOf(cell);
    return IsObject(e) && e->Kind == akWord && TextOf(e) == ",";
}

// The first statement of a body: past the "," cells before it.
inline const Atom* firstStatement(const Atom* body)
{
    while (body && isCommaCell(body)) body = RightOf(body);
    return body;
}

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
}  // namespace

Atom* CallNative(TNativeFunction fn)
{
    State->ServiceCallback = HostService;
    NativeErrorPending = false;
    slabs::TopUpFreeList(kNativeFreeAtoms);
    Atom* result = fn(&State);
    if (NativeErrorPending) raisePendingNativeError();
    return result;
}

namespace {

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
    // The whole array: a copy of known size needs no library call.
    std::memcpy(params, slot.params, sizeof slot.params);
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

// Runs a wrapper's native statement (see NativeBodyStatement) exactly as
// the statement loop and the stack machine would (the same collection
// check, position, message pumping, stepping, depth, native call, error,
// output, last popped value and current cell), without their set-up:
// library wrappers are most of the calls a program makes.
void runNativeBody(Atom* statement)
{
    PendingOutput = NoValue;
    CurrentCell = statement;
    CollectGarbageCheck();
    BeginStatement(statement);
    struct Depth {
        Depth() { ++EvalDepth; }
        ~Depth() { --EvalDepth; }
    } depth;
    CheckStackDepth();
    Atom* result = CallNative(reinterpret_cast<TNativeFunction>(statement->Code->Words[1]));
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

}  // namespace

// A name that nothing answers to. Inside a procedure whose caller gave
// fewer inputs than it has parameters, the name may be one of the missing
// ones: the learner is told which input the procedure lacks.
[[noreturn]] void RaiseUnknownName(std::string_view name)
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

namespace {

// Whether `procedure` belongs to the library programs: it, or the object
// it is a member of, was defined under the root by them.
bool isLibraryProcedure(const Atom* procedure)
{
    const Atom* root = RootNode();
    const Atom* top = procedure;
    while (top->Parent && top->Parent != root) top = top->Parent;
    return top->Parent == root && ((top->Flags & flLibraryWord) || LibraryNames.count(std::string(TextOf(top))));
}

}  // namespace

Atom* ResolveUnknownName(std::string_view name)
{
    if (TemplateRuns > 0 && name.find('.') == std::string_view::npos) {
        const std::string normal = Normalize(name);
        for (TContext* c = TopContext(); c; c = ContextLink(c)) {
            Atom* record = ContextNode(c);
            // The library's own inputs (map's template and data) are not
            // the program's names.
            if (!record || !(record->Flags & flActivation)) continue;
            Atom* procedure = record->Parent;
            if (procedure && !(procedure->Flags & flActivation) && isLibraryProcedure(procedure)) continue;
            if (Atom* found = FindMember(record, normal)) return found;
        }
    }
    RaiseUnknownName(name);
}

// Out of line: programs name words.
Atom* ResolveSpelledName(Atom* nameAtom)
{
    std::string name = ToText(nameAtom);
    Atom* node = ResolveName(nameAtom, name);
    return node ? node : ResolveUnknownName(name);
}

std::string WordUserCalled(std::string_view word)
{
    std::string name(word);
    for (TContext* c = TopContext(); c; c = ContextLink(c)) {
        Atom* record = ContextNode(c);
        Atom* procedure = record && (record->Flags & flActivation) ? record->Parent : nullptr;
        // A template's scope, or the program's own code, ends the search.
        if (!procedure || (procedure->Flags & flActivation) || !isLibraryProcedure(procedure)) break;
        name = TextOf(procedure);
    }
    return name;
}

Atom* NativeBodyStatement(Atom* body)
{
    body = const_cast<Atom*>(firstStatement(body));
    if (!body || !body->Code) return nullptr;
    const TCodeList* code = body->Code;
    if (code->Count != 7 || code->Words[0] != opNative || code->Words[2] != opOutput ||
        code->Words[3] != MakeCounts(1, 0) || code->Words[4] != opPop || code->Words[5] != opEnd)
        return nullptr;
    for (const Atom* rest = reinterpret_cast<const Atom*>(code->Words[6]); rest; rest = RightOf(rest))
        if (!isCommaCell(rest)) return nullptr;
    return body;
}

namespace {

// The body of a procedure's definition: what follows its parameter lists.
inline Atom* bodyAfterParameters(Atom* definition)
{
    Atom* body = definition;
    if (body && IsList(LeftOf(body))) {
        body = RightOf(body);
        if (body && IsList(LeftOf(body))) body = RightOf(body);
    }
    return body;
}

// A call of a node that holds no procedure: the variable's value.
[[gnu::noinline]] void pushVariableValue(TStack& stack, Atom* node, bool wantValue)
{
    if (wantValue) {
        Atom* copy = NewAnonymous(nullptr);
        CopyInto(node, copy);
        stack.Push(copy);
    } else {
        stack.Push(NoValue);
    }
    PendingOutput = NoValue;
}

// ---- call sites
//
// A call site (the operand words of one opCall) remembers what its last
// call found past the name: the procedure's definition list and body, the
// wrapper's native statement, and for a core word answered in place which
// of the function's inputs each of its inputs is. The name is resolved at
// every call (ResolveName remembers that answer exactly, with its own
// checks); the rest only follows from the definition, the body's compiled
// code and the site's operand words, and is trusted while those are the
// ones it was found with: the body's first statement is found at every
// call, past the "," cells before it, and must have the same code. Atoms
// and code are only freed by collections and by changes of the tree that
// change its epoch: a site is trusted within the epoch it was found in, so
// that no address it compares can have been given to another atom since.
struct CallSite {
    const TCodeWord* args = nullptr;
    const Atom* nameAtom = nullptr;
    int argCount = -1;
    uint64_t epoch = 0;
    bool caseSensitive = true;
    const Atom* node = nullptr;
    const Atom* definition = nullptr;
    const Atom* first = nullptr;  // the body's first statement
    const TCodeList* firstCode = nullptr;
    TCodeWord operands[4] = {};
    Atom* nativeStatement = nullptr;
    IntrinsicPlan plan;
    // The operand words by the names the procedure has now, when they are
    // not those its call was compiled with (to sub :b :a, made after a
    // caller of sub was compiled): each input takes the name of the
    // parameter at its place. Empty when the compiled words hold.
    std::vector<TCodeWord> renamed;
};
constexpr size_t kCallSites = 1024;
CallSite gCallSites[kCallSites];

// Each site has two places side by side (see ResolveName's): a site found
// in neither takes the first, whose site moves to the second.
CallSite& callSiteOf(const TCodeWord* args)
{
    uint64_t h = (reinterpret_cast<uintptr_t>(args) >> 3) * 0x9E3779B97F4A7C15ull;
    CallSite* pair = &gCallSites[(h >> 40) & (kCallSites - 2)];
    if (pair[0].args == args) [[likely]]
        return pair[0];
    if (pair[1].args == args) return pair[1];
    pair[1] = std::move(pair[0]);
    pair[0].args = nullptr;
    return pair[0];
}

// The operand words a site's plan depends on: those of its first two inputs.
inline int plannedWords(int argCount) { return argCount < 2 ? 2 * argCount : 4; }

// Whether `site` holds what a call of `node` with this definition and
// body from these operand words would find.
inline bool siteHolds(const CallSite& site, const Atom* nameAtom, int argCount, const TCodeWord* args,
                      const Atom* node, const Atom* definition, const Atom* body)
{
    if (site.args != args || site.epoch != TreeEpoch() || site.nameAtom != nameAtom || site.argCount != argCount ||
        site.node != node || site.definition != definition || site.caseSensitive != NamesCaseSensitive())
        return false;
    const Atom* first = firstStatement(body);
    if (first != site.first || (first && first->Code != site.firstCode))
        return false;
    for (int i = 0, n = plannedWords(argCount); i < n; ++i)
        if (site.operands[i] != args[i]) return false;
    return true;
}

// A word that lives as long as compiled code does.
Atom* keptWord(const std::string& text)
{
    Atom* word = NewWord(text);
    KeepAtom(word);
    return word;
}

// The operand words of a call by the parameters `definition` has now, into
// `renamed`; left empty when the compiled words name them already. Inputs
// past the parameters are "#1", "#2" ... as the compiler names them; a
// procedure with parameters on its left keeps the compiled words.
void renameOperands(const Atom* definition, int argCount, const TCodeWord* args, std::vector<TCodeWord>& renamed)
{
    renamed.clear();
    if (!definition || !IsList(LeftOf(definition))) return;
    const Atom* rest = RightOf(definition);
    if (rest && IsList(LeftOf(rest))) return;
    const Atom* cell = LeftOf(definition);
    for (int i = 0, extra = 0; i < argCount; ++i) {
        TCodeWord byName = 0;
        Atom* name = nullptr;
        std::string extraName;
        if (cell && RightOf(cell)) {
            const Atom* marker = LeftOf(cell);
            name = LeftOf(RightOf(cell));
            if (!IsWordOrNumber(name)) return;
            byName = IsWordOrNumber(marker) && TextOf(marker) == ":" ? 0 : 1;
            cell = RightOf(RightOf(cell));
        } else {
            extraName = "#" + std::to_string(++extra);
        }
        const Atom* compiled = reinterpret_cast<const Atom*>(args[2 * i + 1]);
        const std::string_view wanted = name ? TextOf(name) : std::string_view(extraName);
        if (args[2 * i] == byName && (compiled == name || TextOf(compiled) == wanted)) continue;
        if (renamed.empty()) renamed.assign(args, args + 2 * argCount);
        renamed[size_t(2 * i)] = byName;
        renamed[size_t(2 * i + 1)] = reinterpret_cast<TCodeWord>(name ? name : keptWord(extraName));
    }
}

// Finds afresh what a site remembers.
void findForSite(CallSite& site, const Atom* nameAtom, int argCount, const TCodeWord* args, const Atom* node,
                 const Atom* definition, Atom* body)
{
    renameOperands(definition, argCount, args, site.renamed);
    site.nativeStatement = NativeBodyStatement(body);
    site.plan = IntrinsicPlan{};
    if (site.nativeStatement)
        PlanIntrinsic(site.nativeStatement, argCount, site.renamed.empty() ? args : site.renamed.data(),
                      site.plan);
    site.args = args;
    site.nameAtom = nameAtom;
    site.argCount = argCount;
    site.epoch = TreeEpoch();
    site.caseSensitive = NamesCaseSensitive();
    site.node = node;
    site.definition = definition;
    site.first = firstStatement(body);
    site.firstCode = site.first ? site.first->Code : nullptr;
    for (int i = 0, n = plannedWords(argCount); i < n; ++i) site.operands[i] = args[i];
}

// Under TAVRO_VERIFY_LOOKUPS: a remembered site must say what finding
// afresh says.
[[gnu::noinline, gnu::cold]] void verifySite(const CallSite& site, int argCount, const TCodeWord* args, Atom* body)
{
    Atom* statement = NativeBodyStatement(body);
    IntrinsicPlan plan;
    if (statement) PlanIntrinsic(statement, argCount, args, plan);
    if (statement != site.nativeStatement || plan.fn != site.plan.fn || plan.word != site.plan.word ||
        plan.slot[0] != site.plan.slot[0] || plan.slot[1] != site.plan.slot[1] ||
        plan.hasFirst != site.plan.hasFirst) {
        std::fprintf(stderr, "tavro: remembered call site of %s is stale\n", std::string(TextOf(site.node)).c_str());
        std::abort();
    }
}

}  // namespace

void CallProcedure(TStack& stack, Atom* nameAtom, int argCount, const TCodeWord* args,
                   bool wantValue)
{
    Atom* node = ResolveProgramName(nameAtom);
    if (LambdaMayExist())
        if (Atom* lambda = FindMember(node, NormalizedReserved(rwLambda))) node = lambda;
    Atom* definition = LeftOf(node);

    if (!IsList(definition) || (node->FirstChild && definition == nullptr)) {
        pushVariableValue(stack, node, wantValue);
        return;
    }

    Atom* body = bodyAfterParameters(definition);
    // The native statement and the plan of the site (see CallSite).
    CallSite& site = callSiteOf(args);
    if (!siteHolds(site, nameAtom, argCount, args, node, definition, body)) [[unlikely]]
        findForSite(site, nameAtom, argCount, args, node, definition, body);
    // A caller compiled before the procedure was defined anew names the
    // inputs by the parameters it has now (copied: a call inside may move
    // the site).
    std::vector<TCodeWord> renamed;
    if (!site.renamed.empty()) [[unlikely]] {
        renamed = site.renamed;
        args = renamed.data();
    }
    if (VerifyLookups) verifySite(site, argCount, args, body);
    Atom* nativeStatement = site.nativeStatement;
    if (nativeStatement && site.plan.word != CoreWord::None &&
        RunIntrinsic(stack, node, nativeStatement, argCount, args, site.plan))
        return;

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

    node->Flags |= flBusy;
    record->Flags |= flActivation;
    PushContext(record);
    if (tracing)
        LogLine(logTrace, "Enter (" + std::to_string(CallDepth) + ") " + std::string(procName) + trace);
    ++CallDepth;
    // The body's code is as it was: nothing compiles or drops code between.
    if (nativeStatement)
        runNativeBody(nativeStatement);
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

}  // namespace tavro
