#include "intrinsics.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <new>

#include "calls.h"
#include "errors.h"
#include "interpreter.h"
#include "log.h"
#include "native_words.h"
#include "run_control.h"
#include "stack_guard.h"
#include "structure.h"
#include "tavro_kit.h"

namespace tavro {

namespace {

// Stack the ordinary path would use beyond this one's frame, with room to
// spare: when less is left, the ordinary path decides whether to raise
// DEEPRECURSION, in its own context.
constexpr size_t kStackMargin = 64 * 1024;

// The truth words, as the library makes them: texts that are never freed.
struct {
    TTextHeader header;
    char bytes[8];
} gTrue = {{-1, 4}, "true"}, gFalse = {{-1, 5}, "false"};

// The value the library reads from an input, when reading it cannot fail
// and needs no general conversion: a number atom's own value, or a word
// of 1 to 18 digits after an optional sign, which the library converts
// through a 64-bit integer (exact). Words with a point, an exponent,
// spaces or more digits, and INF and NAN, are left to the library.
inline bool plainNumber(const Atom* v, long double& x)
{
    if (!IsObject(v)) return false;
    if (v->Kind == akNumber) {
        x = v->Number;
        return true;
    }
    if (v->Kind != akWord) return false;
    std::string_view t = TextOf(v);
    size_t i = !t.empty() && (t[0] == '+' || t[0] == '-') ? 1 : 0;
    if (t.size() == i || t.size() - i > 18) return false;
    long long whole = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        whole = whole * 10 + (t[i] - '0');
    }
    x = t[0] == '-' ? -static_cast<long double>(whole) : static_cast<long double>(whole);
    return true;
}

// The position the library reads from an index input: a word of 1 to 18
// digits, or a number atom holding a whole number of 64-bit range. Any
// other word (a sign, a point) is converted by the library itself.
bool plainIndex(const Atom* v, long long& n)
{
    if (!IsObject(v)) return false;
    if (v->Kind == akNumber) {
        long double x = v->Number;
        if (!(fabsl(x) < 9.2e18L) || static_cast<long double>(static_cast<long long>(x)) != x) return false;
        n = static_cast<long long>(x);
        return true;
    }
    std::string_view t = v->Kind == akWord ? TextOf(v) : std::string_view();
    if (t.empty() || t.size() > 18) return false;
    n = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    return true;
}

// The inputs as the library names them, in the order of `inputs` below.
struct Parameters {
    char first, second;  // lower case; 0 for none
};

Parameters parametersOf(CoreWord word)
{
    switch (word) {
    case CoreWord::Count:
    case CoreWord::First:
    case CoreWord::Last:
    case CoreWord::Butfirst:
    case CoreWord::Emptyp: return {'x', 0};
    case CoreWord::Item: return {'n', 'x'};
    case CoreWord::Uppercase:
    case CoreWord::Lowercase: return {'w', 0};
    case CoreWord::Fput: return {'x', 'l'};
    case CoreWord::Not: return {'a', 0};
    default: return {'a', 'b'};
    }
}

// 0 or 1 for the parameter of that place (as the library finds it: in
// any letter case unless names are case-sensitive), -1 for any other.
int parameterIndex(const Atom* param, Parameters names)
{
    std::string_view t = TextOf(param);
    if (t.size() != 1) return -1;
    char c = t[0];
    if (!NamesCaseSensitive() && c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    return c == names.first ? 0 : names.second && c == names.second ? 1 : -1;
}

// The library's equality of two numbers: equal, or both finite and apart
// by at most Epsilon relative to the larger magnitude (at least 1).
bool numbersEqual(long double x, long double y)
{
    if (x == y) return true;
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    long double m = fabsl(x) > fabsl(y) ? fabsl(x) : fabsl(y);
    if (m < 1) m = 1;
    return fabsl(x - y) <= State->Epsilon * m;
}

// What a call gives, decided before anything is allocated: an atom the
// inputs already hold, a number, a truth, a word from one or two pieces of
// text (in `number texts` when an input was a number), or a new list cell.
struct Answer {
    enum Kind : uint8_t { Held, Number, Truth, Text, Cell } kind = Held;
    int8_t changeCase = 0;  // +1 upper, -1 lower: ASCII letters only
    Atom* atom = nullptr;   // Held: the value; Cell: the element
    Atom* rest = nullptr;   // Cell: the list it goes in front of
    long double number = 0;
    bool truth = false;
    std::string_view pieces[2];
    char numberTexts[2][TAVRO_NUMBER_TEXT_SIZE];
};

// The text of a word or number input as the library reads it (a number
// in its printed form, kept in `buf`); false for anything else.
bool wordText(const Atom* v, std::string_view& text, char* buf)
{
    size_t len = 0;
    const char* t = tavro_word_text(v, &len, buf);
    if (!t) return false;
    text = std::string_view(t, len);
    return true;
}

// Whether every character is one byte: the library counts and cuts words
// by UTF-8 characters, and ASCII words are the ones answered here.
bool ascii(std::string_view t)
{
    for (char c : t)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The answer of a number word for the inputs; false when the library
// would raise an error or the result is not finite (those go the ordinary
// way).
bool answerNumbers(CoreWord word, bool hasA, long double a, long double b, Answer& answer)
{
    switch (word) {
    case CoreWord::Sum: answer.number = a + b; break;
    case CoreWord::Difference: answer.number = hasA ? a - b : -b; break;
    case CoreWord::Product: answer.number = a * b; break;
    case CoreWord::Quotient:
        if (b == 0) return false;
        answer.number = a / b;
        break;
    case CoreWord::Equal: answer.kind = Answer::Truth, answer.truth = numbersEqual(a, b); return true;
    case CoreWord::NotEqual: answer.kind = Answer::Truth, answer.truth = !numbersEqual(a, b); return true;
    default: {
        answer.kind = Answer::Truth;
        // An input that is NAN makes every ordered comparison false.
        if (std::isnan(a) || std::isnan(b)) {
            answer.truth = false;
            return true;
        }
        int c = numbersEqual(a, b) ? 0 : a < b ? -1 : 1;
        answer.truth = word == CoreWord::Less      ? c < 0
                       : word == CoreWord::Greater ? c > 0
                       : word == CoreWord::LessEqual ? c <= 0
                                                      : c >= 0;
        return true;
    }
    }
    answer.kind = Answer::Number;
    return std::isfinite(answer.number);
}

// The truth a logical word reads from an input: the word true or false in
// any letter case; false for anything else (an error of the library's).
bool plainTruth(const Atom* v, bool& truth)
{
    if (!IsObject(v) || v->Kind != akWord) return false;
    std::string_view t = TextOf(v);
    if (tavro_bytes_equal(t.data(), t.size(), "TRUE", 4, 1)) return truth = true, true;
    if (tavro_bytes_equal(t.data(), t.size(), "FALSE", 5, 1)) return truth = false, true;
    return false;
}

// The answer of a word or list word for its inputs, exactly as the
// library gives it; false when the library would raise an error or reads
// the input in a way not followed here (words beyond ASCII where it counts
// characters).
bool answerParts(CoreWord word, Atom* x, Atom* y, Answer& answer)
{
    std::string_view t;
    switch (word) {
    case CoreWord::Count:
        answer.kind = Answer::Number;
        if (wordText(x, t, answer.numberTexts[0])) {
            answer.number = static_cast<long double>(t.size());
            return ascii(t);
        }
        if (!tavro_is_list(x)) return false;
        for (Atom* cell = x; cell; cell = RightOf(cell)) answer.number += 1;
        return true;
    case CoreWord::Item: {
        long long n = 0;
        if (!plainIndex(x, n)) return false;
        if (wordText(y, t, answer.numberTexts[0])) {
            if (!ascii(t) || n < 1 || static_cast<unsigned long long>(n) > t.size()) return false;
            answer.kind = Answer::Text;
            answer.pieces[0] = t.substr(size_t(n) - 1, 1);
            return true;
        }
        if (!tavro_is_list(y) || n < 1) return false;
        for (; y && n > 1; --n) y = RightOf(y);
        if (!y) return false;
        answer.atom = LeftOf(y);
        return true;
    }
    case CoreWord::Word:
        answer.kind = Answer::Text;
        return wordText(x, answer.pieces[0], answer.numberTexts[0]) &&
               wordText(y, answer.pieces[1], answer.numberTexts[1]);
    case CoreWord::Uppercase:
    case CoreWord::Lowercase:
        answer.kind = Answer::Text;
        answer.changeCase = word == CoreWord::Uppercase ? 1 : -1;
        return wordText(x, answer.pieces[0], answer.numberTexts[0]);
    case CoreWord::First:
    case CoreWord::Last:
    case CoreWord::Butfirst:
        if (wordText(x, t, answer.numberTexts[0])) {
            if (t.empty() || !ascii(t)) return false;
            answer.kind = Answer::Text;
            answer.pieces[0] = word == CoreWord::First  ? t.substr(0, 1)
                               : word == CoreWord::Last ? t.substr(t.size() - 1)
                                                        : t.substr(1);
            return true;
        }
        if (!IsObject(x) || !tavro_is_list(x)) return false;
        if (word == CoreWord::Butfirst) {
            answer.atom = RightOf(x);
        } else {
            if (word == CoreWord::Last)
                while (RightOf(x)) x = RightOf(x);
            answer.atom = LeftOf(x);
        }
        return true;
    case CoreWord::Fput:
        if (wordText(y, t, answer.numberTexts[1])) {
            answer.kind = Answer::Text;
            answer.pieces[1] = t;
            return wordText(x, answer.pieces[0], answer.numberTexts[0]);
        }
        if (!tavro_is_list(y)) return false;
        answer.kind = Answer::Cell;
        answer.atom = x;
        answer.rest = y;
        return true;
    case CoreWord::Not:
    case CoreWord::And:
    case CoreWord::Or: {
        bool a = false, b = false;
        if (!plainTruth(x, a) || (word != CoreWord::Not && !plainTruth(y, b))) return false;
        answer.kind = Answer::Truth;
        answer.truth = word == CoreWord::Not ? !a : word == CoreWord::And ? a && b : a || b;
        return true;
    }
    case CoreWord::Emptyp:
        answer.kind = Answer::Truth;
        answer.truth = x == nullptr || (IsObject(x) && x->Kind == akWord && tavro_text_length(x->Text) == 0);
        return true;
    default: return false;
    }
}

// The value an answer stands for, allocated now.
Atom* valueOf(const Answer& answer)
{
    if (answer.kind == Answer::Held) return answer.atom;
    Atom* result = Allocate();
    switch (answer.kind) {
    case Answer::Number:
        result->Kind = akNumber;
        result->Number = answer.number;
        break;
    case Answer::Truth: result->Text = answer.truth ? gTrue.bytes : gFalse.bytes; break;
    case Answer::Cell:
        result->Kind = akList;
        result->Left = answer.atom;
        result->Right = answer.rest;
        break;
    default: {
        size_t a = answer.pieces[0].size(), b = answer.pieces[1].size();
        if (a + b == 0) break;
        TText text = tavro_text_make(a + b);
        if (!text) RaiseError("OUTOFMEMORY");
        if (a) std::memcpy(text, answer.pieces[0].data(), a);
        if (b) std::memcpy(text + a, answer.pieces[1].data(), b);
        if (answer.changeCase)
            for (size_t i = 0; i < a; ++i) {
                char c = text[i];
                if (answer.changeCase > 0 && c >= 'a' && c <= 'z') text[i] = char(c - 'a' + 'A');
                if (answer.changeCase < 0 && c >= 'A' && c <= 'Z') text[i] = char(c - 'A' + 'a');
            }
        result->Text = text;
    }
    }
    return result;
}

// Whether the native's value is the computed one: the same atom where the
// library gives one its inputs hold, else equal in kind and contents.
bool sameValue(const Atom* native, const Atom* computed, bool held)
{
    if (held || !IsObject(native)) return native == computed;
    if (native->Kind != computed->Kind) return false;
    switch (computed->Kind) {
    case akNumber: return std::memcmp(&native->Number, &computed->Number, 10) == 0;
    case akList: return native->Left == computed->Left && native->Right == computed->Right;
    default: return TextOf(native) == TextOf(computed);
    }
}

enum class Check { Same, Different, OutOfMemory };

// Runs the native function on a record of its own, as the ordinary path
// would, and compares its answer with the computed one.
Check checkNative(TNativeFunction fn, Atom* node, TStack& stack, int argCount, const TCodeWord* args,
                  const Atom* computed, bool held)
{
    Atom* record = AttachRecord(node);
    Hold hold(record);
    for (int i = 0; i < argCount; ++i)
        AttachParameter(record, reinterpret_cast<const Atom*>(args[2 * i + 1])->Text, stack.Peek(i));
    PushContext(record);
    Atom* native = nullptr;
    std::string failure;
    Check check = Check::Different;
    try {
        native = CallNative(fn);
        if (sameValue(native, computed, held)) check = Check::Same;
    } catch (const std::bad_alloc&) {
        check = Check::OutOfMemory;
    } catch (const LanguageError& e) {
        failure = e.what();
        if (failure == FormatMessage(ErrorFormat("OUTOFMEMORY"), {})) check = Check::OutOfMemory;
    } catch (...) {
        failure = "an error";
    }
    PopContext();
    DetachRecord(record);
    if (check == Check::Different)
        std::fprintf(stderr, "TAVRO_VERIFY_LOOKUPS: %s gave %s, computed in place %s\n",
                     std::string(TextOf(node)).c_str(), failure.empty() ? ToText(native).c_str() : failure.c_str(),
                     ToText(computed).c_str());
    return check;
}

// Checks a computed call against the native function and aborts on a
// difference. Everything the check allocated (the record, its parameters,
// the native's answer) is given back at once, newest first: checking must
// change neither the pacing of collections nor when memory runs out. The
// native needs a second copy of the answer: where memory runs out for it,
// it has run out for the program.
[[gnu::noinline, gnu::cold]] void verify(TNativeFunction fn, Atom* node, TStack& stack, int argCount,
                                          const TCodeWord* args, const Atom* computed, bool held)
{
    Atom* const newestBefore = State->AllAtoms;
    Check check = checkNative(fn, node, stack, argCount, args, computed, held);
    if (check == Check::Different) std::abort();
    while (State->AllAtoms && State->AllAtoms != newestBefore) ReleaseMostRecent(State->AllAtoms);
    if (check == Check::OutOfMemory) RaiseOutOfMemory();
}

}  // namespace

bool PlanIntrinsic(const Atom* statement, int argCount, const TCodeWord* args, IntrinsicPlan& plan)
{
    plan = IntrinsicPlan{};
    if (argCount < 1 || argCount > 2) return false;
    auto fn = reinterpret_cast<TNativeFunction>(statement->Code->Words[1]);
    CoreWord word = CoreWordOf(fn);
    if (word == CoreWord::None) return false;

    // The inputs by the library's names, passed by value.
    const Parameters names = parametersOf(word);
    bool seen[2] = {false, false};
    for (int i = 0; i < argCount; ++i) {
        int k = parameterIndex(reinterpret_cast<const Atom*>(args[2 * i + 1]), names);
        if (args[2 * i] == 1 || k < 0 || seen[k]) return false;
        plan.slot[i] = static_cast<int8_t>(k);
        seen[k] = true;
    }
    // Every input must be there, except that DIFFERENCE without a negates.
    const bool hasSecond = names.second != 0;
    if (hasSecond && !seen[1]) return false;
    if (!seen[0] && (word != CoreWord::Difference)) return false;
    if (argCount != int(seen[0]) + int(seen[1])) return false;
    plan.fn = fn;
    plan.word = word;
    plan.hasFirst = seen[0];
    return true;
}

bool CallIntrinsic(TStack& stack, Atom* node, Atom* statement, int argCount, const TCodeWord* args)
{
    IntrinsicPlan plan;
    return PlanIntrinsic(statement, argCount, args, plan) && RunIntrinsic(stack, node, statement, argCount, args, plan);
}

bool RunIntrinsic(TStack& stack, Atom* node, Atom* statement, int argCount, const TCodeWord* args,
                  const IntrinsicPlan& plan)
{
    // No objects (an object input becomes the parameter node itself).
    Atom* inputs[2] = {nullptr, nullptr};
    for (int i = 0; i < argCount; ++i) {
        Atom* v = stack.Peek(i);
        if (v == NoValue || IsVariable(v)) return false;
        inputs[plan.slot[i]] = v;
    }
    const CoreWord word = plan.word;
    const TNativeFunction fn = plan.fn;

    Answer answer;
    if (word <= CoreWord::GreaterEqual) {
        long double a = 0, b = 0;
        if ((plan.hasFirst && !plainNumber(inputs[0], a)) || !plainNumber(inputs[1], b) ||
            !answerNumbers(word, plan.hasFirst, a, b, answer))
            return false;
    } else if (!answerParts(word, inputs[0], inputs[1], answer)) {
        return false;
    }

    // What would run code, show the call or raise in its context during
    // the ordinary call: then it is made the ordinary way.
    char probe;
    if (LogWants(logTrace) || IsSteppingState(RunState) || RunState == rsStopRequested || YieldPumpsNext() ||
        (node->Flags & flBusy) || UnwindDepth != kNoUnwind || (CallDepth <= 0 && !HistoryQueue.empty()) ||
        &probe < StackLimit + kStackMargin)
        return false;

    // The ordinary call's steps around its native statement. The inputs
    // stay on the stack, held, through a collection, as the record would
    // hold them (and with them every atom and text the answer refers to).
    // BeginStatement sets the position and counts towards the next
    // pumping; it neither pumps, steps nor stops here (see above). Nothing
    // that runs code can happen in between, so what the ordinary call also
    // does is unseen: the procedure's busy flag, CallDepth, EvalDepth and
    // the context; the history queue stays empty at depth 0.
    PendingOutput = NoValue;
    CurrentCell = statement;
    CollectGarbageCheck();
    BeginStatement(statement);
    Atom* result = valueOf(answer);
    if (VerifyLookups) {
        Hold hold(result);
        verify(fn, node, stack, argCount, args, result, answer.kind == Answer::Held);
    }
    for (int i = 0; i < argCount; ++i) stack.Pop();
    stack.Push(result);
    LastPopped = result == NoValue ? nullptr : result;
    CurrentCell = nullptr;
    return true;
}

}  // namespace tavro
