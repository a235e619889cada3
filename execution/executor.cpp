#include "executor.h"

#include "calls.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
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
[[gnu::always_inline]] inline std::string_view NameText(const Atom* a, std::string& buffer)
{
    if (IsObject(a) && a->Kind == akWord) return TextOf(a);
    buffer = ToText(a);
    return buffer;
}

// Runs `list` as a statement list: CurrentCell set to it; the caller's
// CurrentCell is not restored (the statement's opEnd repositions it).
void runBody(Atom* list) {
    CurrentCell = list;
    ExecuteList();
}

// Pushes what `:` gives for the name `nameAtom`: the value, or a copy of
// an object with members.
void pushThing(TStack& stack, Atom* nameAtom)
{
    Atom* node = ResolveProgramName(nameAtom);
    if (node->FirstChild) {
        Atom* copy = NewAnonymous(nullptr);
        CopyInto(node, copy);
        stack.Push(copy);
    } else {
        stack.Push(LeftOf(node));
    }
}

void requireBodyList(Atom* body, const char* keyword, int argNumber)
{
    if (!IsList(body)) RaiseError("BADARG", {std::to_string(argNumber), keyword});
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
        if (SourceView* w = Env().FindSourceWindow(name)) {
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
        if (!frames_) return;
        // Innermost first, so the outermost saved count wins.
        for (auto it = frames_->rbegin(); it != frames_->rend(); ++it) {
            State->WhileCount = it->savedCount;
            Release(it->bodyValue);
        }
    }
    WhileFrame& Enter(int opIndex)
    {
        // Most statements have no while loop: their frames are never made.
        if (!frames_) frames_ = std::make_unique<std::vector<WhileFrame>>();
        for (auto& f : *frames_)
            if (f.opIndex == opIndex) return f;
        frames_->push_back(WhileFrame{opIndex, State->WhileCount});
        State->WhileCount = 0;
        return frames_->back();
    }
    void Leave(int opIndex)
    {
        std::vector<WhileFrame>& frames = *frames_;
        for (size_t i = 0; i < frames.size(); ++i) {
            if (frames[i].opIndex == opIndex) {
                State->WhileCount = frames[i].savedCount;
                Release(frames[i].bodyValue);
                frames.erase(frames.begin() + static_cast<long>(i));
                return;
            }
        }
    }

private:
    std::unique_ptr<std::vector<WhileFrame>> frames_;
};

// A name made local to the innermost scope, unless it is there already.
void makeLocal(const std::string& name)
{
    if (!ResolveInContext(name)) CreatePath(ContextNode(TopContext()), name, nullptr, false);
}

// `local` with `count` names popped: a word, or a list of words (local
// [a b]) each made local. Out of line: the machine's loop stays as small.
[[gnu::noinline]] void makeLocals(TStack& stack, int count)
{
    for (int i = 0; i < count; ++i) {
        Atom* names = stack.Pop();
        if (IsObject(names) && names->Kind == akList) {
            Hold hold(names);
            for (Atom* c = names; IsObject(c); c = RightOf(c)) makeLocal(ToTextStrict(LeftOf(c)));
            LastPopped = names;
        } else {
            makeLocal(ToText(names));
        }
    }
    stack.Push(LastPopped);
}

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

void ExecuteStatement()
{
    CollectGarbageCheck();
    Atom* cell = CurrentCell;
    BeginStatement(cell);
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
        case opPush: {
            Atom* pushed = reinterpret_cast<Atom*>(w[pos++]);
            // A name pushed for `:` at once: read in place, leaving what
            // the push and the pop would (the name as the last popped).
            if (pos + 1 < count && w[pos] == opThing && w[pos + 1] == MakeCounts(1, 0)) {
                pos += 2;
                LastPopped = pushed;
                pushThing(stack, pushed);
                break;
            }
            stack.Push(pushed);
            break;
        }
        case opCall: {
            Atom* name = reinterpret_cast<Atom*>(w[pos++]);
            intptr_t counts = w[pos++];
            int n = LeftCountOf(counts) + RightCountOf(counts);
            const TCodeWord* args = w + pos;
            pos += 2 * n;
            bool want = wantValue || (pos < count && w[pos] != opPop);
            CallProcedure(stack, name, n, args, want);
            break;
        }
        case opEnd:
            return reinterpret_cast<Atom*>(w[pos]);
        case opThing: {
            intptr_t counts = w[pos++];
            if (LeftCountOf(counts) != 0 || RightCountOf(counts) != 1) RaiseError("ARGCOUNT", {":"});
            pushThing(stack, stack.Pop());
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
            // The name's text is read in place (see holdName below).
            std::string spelled;
            Atom* p1 = stack.Pop();
            Hold h1(p1);
            if (r == 1) {
                a.name = NameText(p1, spelled);
                a.nameAtom = p1;
            } else if (r == 2) {
                Atom* p2 = stack.Pop();
                if (IsList(p1)) {
                    a.before = p1;
                    a.name = NameText(p2, spelled);
                    a.nameAtom = p2;
                } else {
                    a.name = NameText(p1, spelled);
                    a.nameAtom = p1;
                    a.value = p2;
                }
            } else if (r == 3) {
                Atom* p2 = stack.Pop();
                Hold h2(p2);
                Atom* p3 = stack.Pop();
                if (IsList(p1)) {
                    a.before = p1;
                    a.name = NameText(p2, spelled);
                    a.nameAtom = p2;
                    a.value = p3;
                } else {
                    a.name = NameText(p1, spelled);
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
                a.name = NameText(p2, spelled);
                a.nameAtom = p2;
                a.value = p3;
                a.after = p4;
            }
            // The name's word is held until the assignment ends: hooks may
            // collect, and the later ones are given the name.
            Hold holdName(a.nameAtom == p1 ? nullptr : const_cast<Atom*>(a.nameAtom));
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
                if (i % 128 == 0 && !MessagePumpingSuppressed) {
                    // A frame this pump paints shows the drawings as they are.
                    Env().BuildDeferredDrawings(true);
                    Env().ProcessMessages();
                }
                checkStopRequest();
            }
            stack.Push(LastPopped);
            break;
        }
        case opLocal: {
            intptr_t counts = w[pos++];
            int r = RightCountOf(counts);
            if (LeftCountOf(counts) != 0 || r < 1) RaiseError("ARGCOUNT", {"local"});
            makeLocals(stack, r);
            break;
        }
        case opNative:
            stack.Push(CallNative(reinterpret_cast<TNativeFunction>(w[pos++])));
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
