#include "intrinsics.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "calls.h"
#include "interpreter.h"
#include "log.h"
#include "native_words.h"
#include "run_control.h"
#include "stack_guard.h"
#include "structure.h"

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
bool plainNumber(const Atom* v, long double& x)
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

// 0 for the parameter a, 1 for b (as the library finds them: in any letter
// case unless names are case-sensitive), -1 for any other.
int parameterIndex(const Atom* param)
{
    std::string_view t = TextOf(param);
    if (t.size() != 1) return -1;
    char c = t[0];
    if (!NamesCaseSensitive()) c = static_cast<char>(c | 0x20);
    return c == 'a' ? 0 : c == 'b' ? 1 : -1;
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

// The answer of `word` for the inputs, as a number in *number or a truth
// in *truth; false when the library would raise an error or the result is
// not finite (those go the ordinary way).
bool compute(CoreNumberWord word, bool hasA, long double a, long double b, long double& number, int& truth)
{
    truth = -1;
    switch (word) {
    case CoreNumberWord::Sum: number = a + b; break;
    case CoreNumberWord::Difference: number = hasA ? a - b : -b; break;
    case CoreNumberWord::Product: number = a * b; break;
    case CoreNumberWord::Quotient:
        if (b == 0) return false;
        number = a / b;
        break;
    case CoreNumberWord::Equal: truth = numbersEqual(a, b); break;
    case CoreNumberWord::NotEqual: truth = !numbersEqual(a, b); break;
    default: {
        // An input that is NAN makes every ordered comparison false.
        if (std::isnan(a) || std::isnan(b)) {
            truth = 0;
            break;
        }
        int c = numbersEqual(a, b) ? 0 : a < b ? -1 : 1;
        truth = word == CoreNumberWord::Less      ? c < 0
                : word == CoreNumberWord::Greater ? c > 0
                : word == CoreNumberWord::LessEqual ? c <= 0
                                                     : c >= 0;
    }
    }
    return truth >= 0 || std::isfinite(number);
}

// Runs the native function on a record of its own, as the ordinary path
// would, and aborts unless it gives what the computation gave.
[[gnu::noinline, gnu::cold]] void verify(TNativeFunction fn, Atom* node, TStack& stack, int argCount,
                                          const TCodeWord* args, const Atom* computed)
{
    Atom* record = AttachRecord(node);
    Hold hold(record);
    for (int i = 0; i < argCount; ++i)
        AttachParameter(record, reinterpret_cast<const Atom*>(args[2 * i + 1])->Text, stack.Peek(i));
    PushContext(record);
    Atom* native = nullptr;
    std::string failure;
    try {
        native = CallNative(fn);
    } catch (...) {
        failure = "an error";
    }
    PopContext();
    DetachRecord(record);
    bool same = failure.empty() && IsObject(native) && native->Kind == computed->Kind &&
                (computed->Kind == akNumber ? std::memcmp(&native->Number, &computed->Number, 10) == 0
                                            : TextOf(native) == TextOf(computed));
    if (same) return;
    std::fprintf(stderr, "TAVRO_VERIFY_LOOKUPS: %s gave %s, computed in place %s\n", std::string(TextOf(node)).c_str(),
                 failure.empty() ? ToText(native).c_str() : failure.c_str(), ToText(computed).c_str());
    std::abort();
}

}  // namespace

bool CallIntrinsic(TStack& stack, Atom* node, Atom* statement, int argCount, const TCodeWord* args)
{
    if (argCount < 1 || argCount > 2) return false;
    auto fn = reinterpret_cast<TNativeFunction>(statement->Code->Words[1]);
    CoreNumberWord word = CoreNumberWordOf(fn);
    if (word == CoreNumberWord::None) return false;

    long double inputs[2] = {0, 0};
    bool seen[2] = {false, false};
    for (int i = 0; i < argCount; ++i) {
        int k = parameterIndex(reinterpret_cast<const Atom*>(args[2 * i + 1]));
        if (args[2 * i] == 1 || k < 0 || seen[k] || !plainNumber(stack.Peek(i), inputs[k])) return false;
        seen[k] = true;
    }
    // Without a, only DIFFERENCE gives a value (the negation of b).
    if (!seen[1] || (!seen[0] && word != CoreNumberWord::Difference)) return false;

    // What would run code, show the call or raise in its context during
    // the ordinary call: then it is made the ordinary way.
    char probe;
    if (LogWants(logTrace) || IsSteppingState(RunState) || RunState == rsStopRequested || YieldPumpsNext() ||
        (node->Flags & flBusy) || UnwindDepth != kNoUnwind || (CallDepth <= 0 && !HistoryQueue.empty()) ||
        &probe < StackLimit + kStackMargin)
        return false;

    long double number = 0;
    int truth = -1;
    if (!compute(word, seen[0], inputs[0], inputs[1], number, truth)) return false;

    // The ordinary call's steps around its native statement. The inputs
    // stay on the stack, held, through a collection, as the record would
    // hold them. BeginStatement sets the position and counts towards the
    // next pumping; it neither pumps, steps nor stops here (see above).
    // Nothing that runs code can happen in between, so what the ordinary
    // call also does is unseen: the procedure's busy flag, CallDepth,
    // EvalDepth and the context; the history queue stays empty at depth 0.
    PendingOutput = NoValue;
    CurrentCell = statement;
    CollectGarbageCheck();
    BeginStatement(statement);
    Atom* result = Allocate();
    if (truth >= 0) {
        result->Text = truth ? gTrue.bytes : gFalse.bytes;
    } else {
        result->Kind = akNumber;
        result->Number = number;
    }
    if (VerifyLookups) {
        Hold hold(result);
        verify(fn, node, stack, argCount, args, result);
    }
    for (int i = 0; i < argCount; ++i) stack.Pop();
    stack.Push(result);
    LastPopped = result;
    CurrentCell = nullptr;
    return true;
}

}  // namespace tavro
