#include "expr.h"

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <set>

#include "errors.h"
#include "position.h"
#include "stack_guard.h"
#include "native_words.h"
#include "reserved_words.h"
#include "state.h"
#include "structure.h"

namespace tavro {

Atom* CodeTarget = nullptr;
void (*CompilerPoll)() = nullptr;
void (*DefinitionCompiled)(std::string_view, Atom*) = nullptr;

namespace {

std::vector<Atom*> keepList;

constexpr std::string_view kQuote = "\"";
constexpr std::string_view kThing = ":";
// The member of a procedure that says how many inputs it reads.
constexpr std::string_view kOnInputs = "oninputs";

// Priorities of the fixed forms.
constexpr int kLiteralPriority = 150;
constexpr int kQuotePriority = 145;
constexpr int kThingPriority = 140;
constexpr int kDotPriority = 149;
constexpr int kCallPriority = 20;
constexpr int kPrintOperands = 200;

// Keeps priority * 1000 + index well inside an int.
constexpr long double kPriorityLimit = 2000000;

void Put(TCodeWord word) { CodeAppend(CodeTarget, word); }
void PutAtom(const Atom* atom) { Put(reinterpret_cast<TCodeWord>(atom)); }

}  // namespace

bool IsSlotName(std::string_view text)
{
    if (text.empty() || text[0] != '?') return false;
    for (size_t i = 1; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

namespace {

bool IsWordText(const Atom* a, std::string_view text)
{
    return IsObject(a) && a->Kind == akWord && TextOf(a) == text;
}

// A fixed form: opcode, operands and priority; right-associative.
struct Form {
    int reserved;  // index into the reserved-word table, or -1
    std::string_view word;
    int opcode;
    int right;
};

const Form kForms[] = {
    {rwPrint, {}, opPrint, kPrintOperands},
    {rwMake, {}, opMake, 4},
    {rwOb, {}, opOb, 4},
    {rwRun, {}, opRun, 1},
    {rwOutput, {}, opOutput, 1},
    {rwIf, {}, opIf, 3},
    {rwWhile, {}, opWhile, 2},
    {rwRepeat, {}, opRepeat, 2},
    {rwLocal, {}, opLocal, 1},
    {-1, "DUMP", opDump, 0},
};

Atom* Member(const Atom* node, int reserved)
{
    return FindMember(node, NormalizedReserved(reserved));
}

Atom* NewKeptWord(std::string_view text)
{
    Atom* word = NewWord(text);
    KeepAtom(word);
    return word;
}

}  // namespace

// ---------------------------------------------------------------- keeping

void KeepAtom(Atom* atom)
{
    keepList.push_back(AddRef(atom));
}

const std::vector<Atom*>& KeptAtoms() { return keepList; }

void ReleaseKeepList()
{
    for (Atom* a : keepList) Release(a);
    keepList.clear();
}

void ForgetKeepList() { keepList.clear(); }

// --------------------------------------------------------- element reader

int ReadElementKind()
{
    for (;;) {
        if (!CurrentCell) return ekEnd;
        Atom* e = LeftOf(CurrentCell);
        if (!e) return ekEmptyList;
        if (e == NoValue) return ekOther;
        switch (e->Kind) {
        case akNumber: return ekWord;
        case akGroup: return ekGroup;
        case akWord: {
            std::string_view text = TextOf(e);
            if (text == ",") return ekComma;
            if (!text.empty() && (text[0] == ';' || text[0] == '{')) {
                CurrentCell = RightOf(CurrentCell);
                continue;
            }
            return ekWord;
        }
        default: return ekOther;
        }
    }
}

// ----------------------------------------------------------- classifying

void TExpr::Classify(TExprItem& item)
{
    Atom* e = item.Element;
    if (IsGroup(e)) {
        afterMarker_ = false;
        return;  // the defaults: a non-literal word item of priority 150
    }
    long double unused;
    if (IsList(e) || (IsObject(e) && e->Kind == akNumber) || ToNumberTry(e, unused)) {
        item.IsLiteral = true;
        afterMarker_ = false;
        return;
    }
    std::string text = ToTextStrict(e);
    item.IsLiteral = afterMarker_;
    afterMarker_ = afterMarker_ ? false : (text == kThing || text == kQuote);
    item.Priority = 0;
    item.LeftAssociative = false;
    if (item.IsLiteral) {
        item.Priority = kLiteralPriority;
        return;
    }
    if (text == kQuote) {
        item.OpCode = opQuote;
        item.RightCount = 1;
        item.Priority = kQuotePriority;
        return;
    }
    if (text == kThing) {
        item.OpCode = opThing;
        item.RightCount = 1;
        item.Priority = kThingPriority;
        return;
    }
    if (text == ".") {
        item.OpCode = opDot;
        item.LeftCount = item.RightCount = 1;
        item.Priority = kDotPriority;
        item.LeftAssociative = true;
        return;
    }
    if (IsSlotName(text)) {
        // A template's slot reads the item whatever it holds: a list item
        // must not be called as if it were a definition.
        item.OpCode = opSlot;
        item.Priority = kLiteralPriority;
        item.LeftAssociative = true;
        return;
    }
    std::string upper = UpperCase(text);
    for (const Form& f : kForms) {
        if (upper != (f.reserved >= 0 ? std::string_view(UpperReserved(f.reserved)) : f.word))
            continue;
        item.OpCode = f.opcode;
        item.RightCount = f.right;
        return;
    }
    ClassifyName(item, text);
}

void TExpr::ClassifyName(TExprItem& item, const std::string& text)
{
    item.Priority = kCallPriority;
    item.LeftAssociative = true;
    Atom* node = Resolve(text);
    if (!node) {
        // A property: "x" at the start of a statement may mean put_x (an
        // assignment through a setter), anywhere else get_x.
        bool put = items_.empty() && statementStart_;
        std::string property = NormalizedReserved(put ? rwPut : rwGet) + text;
        node = Resolve(property);
        if (!node) {
            // Unknown: a call without operands that binds like a value, so
            // that `show nothing` and `3 + nothing` run it and say that
            // nothing is named so, instead of blaming show or +. At the
            // head of a group it takes the rest as inputs: (f 1 2).
            if (!items_.empty() || statementStart_) item.Priority = kLiteralPriority;
            return;
        }
        item.Element = NewKeptWord(property);
    }
    if (node->Flags & flLibraryWord) item.Library = true;
    if (Atom* lambda = Member(node, rwLambda)) node = lambda;

    long double priority;
    Atom* declared = Member(node, rwOnPriority);
    if (declared && ToNumberTry(LeftOf(declared), priority)) {
        if (std::isnan(priority)) priority = 0;
        priority = std::clamp(std::nearbyint(priority), -kPriorityLimit, kPriorityLimit);
        item.Priority = static_cast<int>(priority);
    } else {
        item.Priority = kCallPriority;
        item.LeftAssociative = false;
    }
    if (Atom* association = Member(node, rwOnLeftAssociation))
        item.LeftAssociative = ToBoolean(LeftOf(association));
    // [least most]: how many inputs the word reads, most -1 for any number.
    if (Atom* counts = node->FirstChild ? FindMember(node, Normalize(kOnInputs)) : nullptr) {
        Atom* range = LeftOf(counts);
        long double least, most;
        if (IsObject(range) && range->Kind == akList && RightOf(range) && ToNumberTry(LeftOf(range), least) &&
            ToNumberTry(LeftOf(RightOf(range)), most)) {
            item.LeastInputs = int(least);
            item.MostInputs = int(most);
        }
    }

    Atom* value = LeftOf(node);
    if (IsObject(value) && value->Kind == akList && IsList(LeftOf(value))) {
        Atom* first = LeftOf(value);
        Atom* second = RightOf(value);
        if (second && IsList(LeftOf(second))) {
            item.LeftParams = first;
            item.LeftCount = Length(first) / 2;
            item.Params = LeftOf(second);
        } else {
            item.Params = first;
        }
        item.RightCount = Length(item.Params) / 2;
    } else {
        // A plain variable or object: read, not called with operands.
        item.IsLiteral = false;
        item.Priority = kLiteralPriority;
        item.LeftAssociative = true;
    }
}

namespace {
// More than any statement's number of items.
constexpr int64_t kPriorityStep = int64_t(1) << 32;
}  // namespace

void TExpr::AddItem()
{
    TExprItem item;
    item.SourceCell = CurrentCell;
    item.Element = LeftOf(CurrentCell);
    Classify(item);
    int index = static_cast<int>(items_.size());
    // The position only orders items of one priority: it must never reach
    // the next priority, however long the statement.
    item.Key = int64_t(item.Priority) * kPriorityStep + (item.LeftAssociative ? -index : index);
    items_.push_back(std::move(item));
    CurrentCell = RightOf(CurrentCell);
}

// --------------------------------------------------------------- linking

void TExpr::Detach(int item)
{
    if (items_[item].ParentIndex < 0) return;
    unlink(item);
    updateBound(item);
}

void TExpr::unlink(int item)
{
    int parent = items_[item].ParentIndex;
    for (Side side : {Side::Left, Side::Right}) {
        auto& list = side == Side::Left ? items_[parent].LeftChildren : items_[parent].RightChildren;
        auto end = std::remove(list.begin(), list.end(), item);
        if (end == list.end()) continue;
        list.erase(end, list.end());
        // The owner lacks an operand again: its seek on that side is due.
        if (needs(parent, side)) schedule(2 * parent + (side == Side::Right ? 1 : 0));
    }
    items_[item].ParentIndex = -1;
}

void TExpr::Attach(int owner, int item, Side side)
{
    // Moved from one owner to the other at once: its bound never passes
    // through "free" on the way.
    if (items_[item].ParentIndex >= 0) unlink(item);
    TExprItem& o = items_[owner];
    (side == Side::Left ? o.LeftChildren : o.RightChildren).push_back(item);
    items_[item].ParentIndex = owner;
    updateBound(item);
}

// ---- the search tree of Seek
//
// Seek(i) looks outward from item i for the first item j that either binds
// at most as tightly (Key[j] <= Key[i]: the search stops) or is free to be
// taken (no parent, or a parent with a smaller key). Both are "a value
// below Key[i]" for Bound[j] = min(Key[j] - 1, key of j's parent, or
// -infinity without one), so the first such j is found in a tree of
// minima in logarithmic time instead of a scan, which made a long
// statement quadratic. Bound changes only when an item's parent does.

int64_t TExpr::bound(int j) const
{
    const TExprItem& item = items_[j];
    int64_t own = int64_t(item.Key) - 1;
    int64_t parent = item.ParentIndex < 0 ? INT64_MIN : int64_t(items_[item.ParentIndex].Key);
    return std::min(own, parent);
}

void TExpr::buildBounds()
{
    const int n = static_cast<int>(items_.size());
    leaves_ = 1;
    while (leaves_ < n) leaves_ *= 2;
    bounds_.assign(size_t(2 * leaves_), INT64_MAX);
    for (int j = 0; j < n; ++j) bounds_[size_t(leaves_ + j)] = bound(j);
    for (int p = leaves_ - 1; p >= 1; --p) bounds_[size_t(p)] = std::min(bounds_[size_t(2 * p)], bounds_[size_t(2 * p + 1)]);
}

void TExpr::updateBound(int j)
{
    if (bounds_.empty() || j >= leaves_) return;
    size_t p = size_t(leaves_ + j);
    const int64_t old = bounds_[p];
    bounds_[p] = bound(j);
    if (linking_ && bounds_[p] < old) boundLowered(j, bounds_[p]);
    for (p /= 2; p >= 1; p /= 2) bounds_[p] = std::min(bounds_[2 * p], bounds_[2 * p + 1]);
}

int TExpr::firstBelow(int from, int64_t limit, Side side) const
{
    const int n = static_cast<int>(items_.size());
    if (from < 0 || from >= n) return -1;
    const bool right = side == Side::Right;
    size_t p = size_t(leaves_ + from);
    // Up and across until a subtree holds a value below the limit ...
    while (bounds_[p] >= limit) {
        while (p > 1 && (p & 1) == (right ? 1u : 0u)) p /= 2;
        if (p == 1) return -1;
        p += right ? 1 : -1;
    }
    // ... then down to its nearest leaf that does.
    while (p < size_t(leaves_)) {
        p = 2 * p + (right ? 0 : 1);
        if (bounds_[p] >= limit) p += right ? 1 : -1;
    }
    int j = int(p) - leaves_;
    return j < n ? j : -1;
}

bool TExpr::Seek(int index, Side side)
{
    const int64_t key = items_[index].Key;
    if (bounds_.size() != size_t(2 * leaves_) || leaves_ < int(items_.size())) buildBounds();
    int j = firstBelow(index + (side == Side::Left ? -1 : 1), key, side);
    if (j < 0 || items_[j].Key <= key) return false;
    Attach(index, j, side);
    return true;
}

void TExpr::CollectLocalQuotes()
{
    // Every free local takes every free quote to its right; the first one
    // leaves none for those after it (taking quotes frees no local), so
    // one pass from the first does it.
    const int n = static_cast<int>(items_.size());
    for (int i = 0; i < n; ++i) {
        const TExprItem& local = items_[i];
        if (local.ParentIndex >= 0 || local.OpCode != opLocal || !IsObject(local.Element) ||
            local.Element->Kind != akWord)
            continue;
        for (int j = i + 1; j < n; ++j)
            if (items_[j].ParentIndex < 0 && IsWordText(items_[j].Element, kQuote))
                Attach(i, j, Side::Right);
        return;
    }
}

// ---- the passes of LinkItems
//
// The linking rule is a sequence of passes: in each, every item that still
// lacks operands seeks once on its left, then once on its right, in item
// order, until a pass takes nothing. Most of those seeks fail the same way
// pass after pass, and a long statement can take as many passes as it has
// items. The loop below makes exactly the same seeks succeed in the same
// order, but repeats a failed seek only when something in the stretch it
// searched changed: a failed seek watches its stretch, and when an item
// there gets a bound below the seeker's key (it was freed, or taken by a
// looser owner) the seek is due again, in this pass if its place is still
// ahead, else in the next one. A seek that succeeded, and an owner that
// lost an operand, are due in the next pass (or this one, if still ahead).
// Seeks are numbered 2 * item + side, which is also their order in a pass.

bool TExpr::needs(int item, Side side) const
{
    const TExprItem& it = items_[item];
    return side == Side::Left ? int(it.LeftChildren.size()) < it.LeftCount
                              : int(it.RightChildren.size()) < it.RightCount;
}

void TExpr::schedule(int seek)
{
    if (!linking_) return;
    ++watchVersion_[size_t(seek)];  // its watch, if any, is void
    (seek > cursor_ ? due_ : dueNext_).insert(seek);
}

void TExpr::watch(int seek, int lo, int hi)
{
    // The stretch [lo, hi] as O(log n) nodes of the tree of minima.
    const int version = watchVersion_[size_t(seek)];
    for (int l = lo + leaves_, h = hi + leaves_ + 1; l < h; l /= 2, h /= 2) {
        if (l & 1) watchers_[size_t(l++)].push_back({seek, version});
        if (h & 1) watchers_[size_t(--h)].push_back({seek, version});
    }
}

void TExpr::boundLowered(int j, int64_t value)
{
    // Every watch over j whose seeker's key is above the new bound is due.
    for (size_t p = size_t(leaves_ + j); p >= 1; p /= 2) {
        auto& list = watchers_[p];
        for (size_t k = 0; k < list.size();) {
            const int seek = list[k].first;
            bool stale = list[k].second != watchVersion_[size_t(seek)];
            if (!stale && value < int64_t(items_[size_t(seek / 2)].Key)) {
                schedule(seek);
                stale = true;
            }
            if (stale) {
                list[k] = list.back();
                list.pop_back();
            } else {
                ++k;
            }
        }
    }
}

void TExpr::LinkItems()
{
    const int n = static_cast<int>(items_.size());
    if (n <= kShortStatement) {
        // Few items: the passes themselves, each seek a short scan.
        bool changed;
        do {
            changed = false;
            for (int i = 0; i < n; ++i)
                for (Side side : {Side::Left, Side::Right})
                    if (needs(i, side)) changed = seekByScan(i, side) || changed;
        } while (changed);
        finishLinking();
        return;
    }
    buildBounds();
    watchers_.assign(size_t(2 * leaves_), {});
    watchVersion_.assign(size_t(2 * n), 0);
    due_.clear();
    dueNext_.clear();
    for (int i = 0; i < n; ++i)
        for (Side side : {Side::Left, Side::Right})
            if (needs(i, side)) due_.insert(2 * i + (side == Side::Right ? 1 : 0));
    linking_ = true;
    cursor_ = -1;
    struct LinkingScope {
        bool& flag;
        ~LinkingScope() { flag = false; }
    } scope{linking_};
    for (unsigned seeks = 1;; ++seeks) {
        if ((seeks & 4095) == 0 && CompilerPoll) CompilerPoll();
        if (due_.empty()) {
            if (dueNext_.empty()) break;
            std::swap(due_, dueNext_);
            cursor_ = -1;
            continue;
        }
        const int seek = *due_.begin();
        due_.erase(due_.begin());
        cursor_ = seek;
        const int i = seek / 2;
        const Side side = seek % 2 ? Side::Right : Side::Left;
        if (!needs(i, side)) continue;
        if (Seek(i, side)) {
            if (needs(i, side)) schedule(seek);
            continue;
        }
        // Failed: watch the stretch searched, up to where it stopped.
        const int64_t key = items_[size_t(i)].Key;
        int stop = firstBelow(i + (side == Side::Left ? -1 : 1), key, side);
        if (side == Side::Right) {
            int hi = stop < 0 ? n - 1 : stop;
            if (i + 1 <= hi) watch(seek, i + 1, hi);
        } else {
            int lo = stop < 0 ? 0 : stop;
            if (lo <= i - 1) watch(seek, lo, i - 1);
        }
    }
    linking_ = false;
    watchers_.clear();
    finishLinking();
}

bool TExpr::seekByScan(int index, Side side)
{
    const int step = side == Side::Left ? -1 : 1;
    const int64_t key = items_[index].Key;
    const int n = static_cast<int>(items_.size());
    for (int j = index + step; j >= 0 && j < n; j += step) {
        const TExprItem& candidate = items_[j];
        if (candidate.Key <= key) return false;
        int parent = candidate.ParentIndex;
        if (parent < 0 || items_[parent].Key < key) {
            Attach(index, j, side);
            return true;
        }
    }
    return false;
}

void TExpr::finishLinking()
{
    CollectLocalQuotes();
    for (TExprItem& item : items_) {
        std::sort(item.LeftChildren.begin(), item.LeftChildren.end());
        std::sort(item.RightChildren.begin(), item.RightChildren.end());
    }
}

std::pair<int, int> TExpr::SubtreeRange(int index) const
{
    // Iterative: a chain of operators may be as long as the statement.
    std::pair<int, int> range{index, index};
    std::vector<int> work{index};
    while (!work.empty()) {
        const TExprItem& item = items_[work.back()];
        work.pop_back();
        for (const auto* list : {&item.LeftChildren, &item.RightChildren}) {
            for (int child : *list) {
                range.first = std::min(range.first, child);
                range.second = std::max(range.second, child);
                work.push_back(child);
            }
        }
    }
    return range;
}

// -------------------------------------------------------------- emitting

void TExpr::EmitOperandNames(const OperandList& children, Atom* params, bool left)
{
    Atom* cell = params;
    int extra = 0;
    for (size_t k = 0; k < children.size(); ++k) {
        if (cell && RightOf(cell)) {
            Atom* marker = LeftOf(cell);
            Atom* name = LeftOf(RightOf(cell));
            // A definition made as a list may name a parameter with
            // anything: the call needs a word to name the input.
            if (!IsWordOrNumber(name)) RaiseError("BADSTRING", {ToText(name)});
            Put(IsWordOrNumber(marker) && TextOf(marker) == kThing ? 0 : 1);
            PutAtom(name);
            cell = RightOf(RightOf(cell));
            continue;
        }
        // More operands than declared parameters: #1, #2 ... on the right,
        // #-1, #-2 ... on the left.
        ++extra;
        Put(0);
        PutAtom(NewKeptWord("#" + std::to_string(left ? -extra : extra)));
    }
}

void TExpr::CheckInputCount(const TExprItem& item) const
{
    const int declared = item.LeftCount + item.RightCount;
    const int given = int(item.LeftChildren.size() + item.RightChildren.size());
    const bool counted = item.LeastInputs >= 0;
    const int most = counted ? item.MostInputs : declared;
    if (most >= 0 && given > most)
        RaiseError(most == 0 ? "NOINPUTS" : most == 1 ? "ONEINPUT" : "MOREINPUTS",
                   {ToText(item.Element), std::to_string(most), std::to_string(given)});
    // A word that reads fewer inputs in parentheses, (list 5), needs them
    // all without: the missing one is named as the word itself would.
    if (!counted || int(item.RightChildren.size()) >= item.RightCount) return;
    if (item.Parenthesised && given >= item.LeastInputs) return;
    Atom* cell = item.Params;
    for (size_t k = 0; k < item.RightChildren.size() && cell && RightOf(cell); ++k) cell = RightOf(RightOf(cell));
    if (cell && RightOf(cell)) RaiseError("NOINPUT", {ToText(item.Element), ToText(LeftOf(RightOf(cell)))});
}

std::pair<int, int> TExpr::Emit(int index)
{
    // Nesting costs machine stack: input nested without end ends with the
    // language error of deep recursion.
    CheckStackDepth();
    const int mark = CodeCount(CodeTarget);
    // Emitting never adds or relinks items, so the reference stays valid.
    const TExprItem& item = items_[index];
    // The subtree's item range, gathered on the way (make and ob record
    // their first and last source cells).
    std::pair<int, int> range{index, index};
    auto widen = [&range](std::pair<int, int> sub) {
        range.first = std::min(range.first, sub.first);
        range.second = std::max(range.second, sub.second);
    };
    for (auto it = item.RightChildren.rbegin(); it != item.RightChildren.rend(); ++it) widen(Emit(*it));
    for (auto it = item.LeftChildren.rbegin(); it != item.LeftChildren.rend(); ++it) widen(Emit(*it));
    Atom* e = item.Element;
    const TCodeWord counts = MakeCounts(int(item.RightChildren.size()), int(item.LeftChildren.size()));

    if (IsGroup(e)) {
        Atom* saved = CurrentCell;
        CurrentCell = e;
        TExpr group(false);
        group.Compile(true);
        CurrentCell = saved;
        return range;
    }
    if (item.IsLiteral) {
        Put(opPush);
        PutAtom(e);
        return range;
    }
    switch (item.OpCode) {
    case opWord:
        if (IsObject(e) && e->Kind == akWord && IsNativeWord(TextOf(e))) {
            Put(opNative);
            Put(reinterpret_cast<TCodeWord>(ResolveNativeWord(TextOf(e))));
            return range;
        }
        if (item.Library) CheckInputCount(item);
        Put(opCall);
        PutAtom(e);
        Put(counts);
        EmitOperandNames(item.LeftChildren, item.LeftParams, true);
        EmitOperandNames(item.RightChildren, item.Params, false);
        return range;
    case opSlot:
        Put(opPush);
        PutAtom(e);
        Put(opThing);
        Put(MakeCounts(1, 0));
        return range;
    case opQuote:
        // A lone quote stands for the empty word; otherwise its operand,
        // the quoted name, was pushed already.
        if (item.RightChildren.empty()) {
            Put(opPush);
            PutAtom(NewKeptWord(""));
        }
        return range;
    default:
        Put(item.OpCode);
        Put(counts);
        if (item.OpCode == opWhile) Put(mark);
        if (item.OpCode == opMake || item.OpCode == opOb) {
            PutAtom(items_[range.first].SourceCell);
            PutAtom(items_[range.second].SourceCell);
        }
        return range;
    }
}

// ------------------------------------------------- mistakes of reading
//
// Statements that link into trees their writers cannot have meant, as a
// reader used to another Logo writes them. Each is an error before the
// statement runs, with the statement as it should be written.

// The elements of items lo..hi as written: blanks between them, none after
// ":" or the quote.
std::string TExpr::ItemsText(int lo, int hi, int comma) const
{
    std::string out;
    bool glue = true;
    for (int k = lo; k <= hi; ++k) {
        if (k == comma) out += " ,";
        if (!glue || k == comma) out += ' ';
        std::string t = ToText(items_[k].Element);
        out += t;
        glue = !items_[k].IsLiteral && (t == kThing || t == kQuote);
    }
    return out;
}

namespace {

// Forms that do something rather than give a value: as an operand of
// another form they run before it, out of their written order.
bool isCommandForm(int opcode)
{
    return opcode == opPrint || opcode == opMake || opcode == opOb || opcode == opLocal || opcode == opRepeat ||
           opcode == opIf || opcode == opWhile || opcode == opOutput;
}

// The cell's position, and whether it has one.
bool positionOf(const Atom* cell, Position& p)
{
    if (!HasPosition(cell)) return false;
    p = GetPosition(cell);
    return true;
}

}  // namespace

bool TExpr::IsCall(int k) const
{
    const TExprItem& it = items_[k];
    return !it.IsLiteral && !IsGroup(it.Element) && (it.OpCode == opWord || isCommandForm(it.OpCode));
}

void TExpr::CheckReading() const
{
    const int n = static_cast<int>(items_.size());
    // A definition: make local " NAME [[...] ...].
    if (DefinitionCompiled && n == 5 && items_[0].OpCode == opMake && items_[1].OpCode == opLocal &&
        items_[3].IsLiteral && items_[4].IsLiteral) {
        Atom* value = items_[4].Element;
        if (IsObject(value) && value->Kind == akList && IsList(LeftOf(value)) && IsWordOrNumber(items_[3].Element))
            DefinitionCompiled(TextOf(items_[3].Element), value);
    }
    for (int i = 0; i < n; ++i) {
        const TExprItem& it = items_[i];
        // An infix operator beside a call, which it never takes as its
        // operand: 3 + sqrt 16, :n * fact :n - 1, pi * 2.
        const bool infix = it.OpCode == opWord && it.LeftCount > 0;
        auto beside = [&](int k) { return IsCall(k) && items_[k].OpCode == opWord && items_[k].Key <= it.Key; };
        if (infix && int(it.RightChildren.size()) < it.RightCount && i + 1 < n && beside(i + 1)) {
            auto right = SubtreeRange(i + 1);
            std::string left = it.LeftChildren.empty() ? std::string()
                                                       : ItemsText(SubtreeRange(it.LeftChildren[0]).first, i - 1) + " ";
            RaiseError("OPERANDTAKEN", {ToText(it.Element), ToText(items_[i + 1].Element),
                                        left + ToText(it.Element) + " (" + ItemsText(i + 1, right.second) + ")"});
        }
        if (infix && int(it.LeftChildren.size()) < it.LeftCount && i >= 1 && beside(i - 1) &&
            items_[i - 1].RightChildren.empty()) {
            std::string right = it.RightChildren.empty()
                                    ? std::string()
                                    : " " + ItemsText(i + 1, SubtreeRange(it.RightChildren[it.RightChildren.size() - 1]).second);
            RaiseError("OPERANDLEFT", {ToText(it.Element), ToText(items_[i - 1].Element),
                                       "(" + ToText(items_[i - 1].Element) + ") " + ToText(it.Element) + right});
        }
        // A quoted word with a minus inside: "coming-from-another-logo.
        if (it.OpCode == opWord && IsWordText(it.Element, "-") && i >= 2 && i + 1 < n &&
            items_[i - 2].OpCode == opQuote && items_[i - 1].IsLiteral) {
            Position before, minus, after;
            auto glued = [](const Position& a, int length, const Position& b) {
                return a.Line == b.Line && a.Offset + length == b.Offset;
            };
            if (positionOf(items_[i - 1].SourceCell, before) && positionOf(it.SourceCell, minus) &&
                positionOf(items_[i + 1].SourceCell, after) &&
                glued(before, int(ToText(items_[i - 1].Element).size()), minus) && glued(minus, 1, after)) {
                std::string word = ToText(items_[i - 1].Element);
                Position last = before;
                int lastLength = int(word.size());
                for (int k = i; k < n; ++k) {
                    Position p;
                    std::string t = ToText(items_[k].Element);
                    if (!positionOf(items_[k].SourceCell, p) || !glued(last, lastLength, p)) break;
                    word += t;
                    last = p;
                    lastLength = int(t.size());
                }
                RaiseError("MINUSWORD", {word, word});
            }
        }
        // A second statement taken as an operand that reads the name the
        // statement assigns, and so runs before it: make "d 8 print :d.
        if ((it.OpCode == opMake || it.OpCode == opOb) && it.RightChildren.size() >= 3) {
            const auto& right = it.RightChildren;
            const bool beforeHooks = items_[right[0]].IsLiteral && IsList(items_[right[0]].Element);
            const int quote = right[beforeHooks ? 1 : 0];
            if (items_[quote].OpCode != opQuote || items_[quote].RightChildren.empty()) continue;
            const std::string name = ToText(items_[items_[quote].RightChildren[0]].Element);
            for (size_t k = beforeHooks ? 3 : 2; k < right.size(); ++k) {
                if (!IsCall(right[k]) || !ReadsName(right[k], name)) continue;
                auto whole = SubtreeRange(i);
                auto part = SubtreeRange(right[k]);
                RaiseError("ONESTATEMENT", {ToText(it.Element), ItemsText(part.first, part.second),
                                            ItemsText(whole.first, whole.second, part.first)});
            }
        }
    }
}

bool TExpr::ReadsName(int index, const std::string& name) const
{
    auto range = SubtreeRange(index);
    for (int k = range.first; k < range.second; ++k)
        if (items_[k].OpCode == opThing && items_[k + 1].IsLiteral &&
            Normalize(ToText(items_[k + 1].Element)) == Normalize(name))
            return true;
    return false;
}

// ------------------------------------------------------------- compiling

void TExpr::CompileRoot()
{
    const int n = static_cast<int>(items_.size());
    if (n == 0) RaiseError("EMPTYGROUP");
    int root = -1;
    for (int i = 0; i < n; ++i)
        if (items_[i].ParentIndex < 0 && (root < 0 || items_[i].Key < items_[root].Key)) root = i;
    if (items_[root].IsLiteral) {
        for (int i = 0; i < n; ++i) {
            if (items_[i].ParentIndex >= 0) continue;
            if (i != 0) Put(opPop);
            Emit(i);
        }
        return;
    }
    items_[root].Parenthesised = true;
    // The loosest-binding tree takes every other tree as an extra operand.
    for (int i = 0; i < n; ++i)
        if (i != root && items_[i].ParentIndex < 0)
            Attach(root, i, i < root ? Side::Left : Side::Right);
    std::sort(items_[root].LeftChildren.begin(), items_[root].LeftChildren.end());
    std::sort(items_[root].RightChildren.begin(), items_[root].RightChildren.end());
    Emit(root);
}

void TExpr::Compile(bool single)
{
    afterMarker_ = false;
    // Most statements have a few items: no growing by one, two, four.
    items_.reserve(16);
    for (;;) {
        int kind = ReadElementKind();
        if (kind == ekEnd || kind == ekComma) break;
        AddItem();
    }
    LinkItems();
    CheckReading();
    if (single) {
        CompileRoot();
        return;
    }
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
        if (items_[i].ParentIndex >= 0) continue;
        Emit(i);
        Put(opPop);
    }
    Put(opEnd);
    PutAtom(CurrentCell);
}

void CompileStatement()
{
    Atom* start = CurrentCell;
    if (!start) return;
    Atom* savedTarget = CodeTarget;
    CodeTarget = start;
    try {
        TExpr expr(true);
        expr.Compile(false);
    } catch (...) {
        // A half-written code list would pass for a compiled statement.
        DropCode(start);
        CodeTarget = savedTarget;
        throw;
    }
    CodeTarget = savedTarget;
}

// --------------------------------------------------------------- listing

namespace {

std::string NativeName(TCodeWord address)
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(address), &info) && info.dli_sname && info.dli_fname) {
        std::string file = info.dli_fname;
        size_t slash = file.rfind('/');
        if (slash != std::string::npos) file.erase(0, slash + 1);
        return file + ":" + info.dli_sname;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%#lx", static_cast<unsigned long>(address));
    return buffer;
}

std::string CountsText(TCodeWord counts)
{
    return std::to_string(RightCountOf(counts)) + "," + std::to_string(LeftCountOf(counts));
}

const Atom* AsAtom(TCodeWord word) { return reinterpret_cast<const Atom*>(word); }

std::string CellText(TCodeWord word)
{
    const Atom* cell = AsAtom(word);
    return cell ? "[" + ToText(LeftOf(cell)) + "]" : "nil";
}

}  // namespace

std::string CodeListing(const Atom* cell)
{
    std::string out;
    const int n = cell ? CodeCount(cell) : 0;
    int pos = 0;
    auto field = [&out](const std::string& text) {
        if (!out.empty()) out += ' ';
        out += text;
    };
    // Each reader returns false when the code ends before the operand.
    auto next = [&](TCodeWord& word) {
        if (pos >= n) return false;
        word = CodeAt(cell, pos++);
        return true;
    };
    TCodeWord op, w;
    while (next(op)) {
        std::string_view name = OpcodeName(int(op));
        if (name.empty() || op == opWord || op == opQuote || op == opSlot) {
            field(std::to_string(op));
            continue;
        }
        field(std::string(name));
        switch (op) {
        case opPop: break;
        case opPush:
            if (next(w)) field(ToText(AsAtom(w)));
            break;
        case opCall: {
            if (!next(w)) break;
            field(ToText(AsAtom(w)));
            if (!next(w)) break;
            field(CountsText(w));
            int operands = RightCountOf(w) + LeftCountOf(w);
            for (int k = 0; k < operands; ++k) {
                TCodeWord flag, param;
                if (!next(flag) || !next(param)) break;
                field(std::to_string(flag));
                field(ToText(AsAtom(param)));
            }
            break;
        }
        case opEnd:
            if (next(w)) field(w ? ToText(LeftOf(AsAtom(w))) : "nil");
            break;
        case opNative:
            if (next(w)) field(NativeName(w));
            break;
        case opMake:
        case opOb:
            if (next(w)) field(CountsText(w));
            if (next(w)) field(CellText(w));
            if (next(w)) field(CellText(w));
            break;
        case opWhile:
            if (next(w)) field(CountsText(w));
            if (next(w)) field(std::to_string(w));
            break;
        default:
            if (next(w)) field(CountsText(w));
            break;
        }
    }
    return out;
}

}  // namespace tavro
