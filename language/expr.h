// The expression compiler: turns one statement, a flat run of elements read
// through CurrentCell, into stack-machine code words on the statement's
// first cell.
//
// Statements have no fixed grammar. Every element becomes an item with a
// declared number of left and right operands and a key (the priority in
// the high bits, then minus the item's index when left-associative, plus it
// otherwise; lower keys bind more loosely). LinkItems lets each item seek
// its operands among its neighbours by key, which builds operator trees;
// Emit writes each tree in postfix order (operands before their operator;
// see opcodes.h for the code words and their operands).
//
// Classification (Classify):
//   group                        no operands, priority 150
//   list, number, numeric word   pushed as a literal, priority 150
//   word after ":" or "          pushed as a literal (the name)
//   "  :  .                      0/1, 0/1, 1/1 operands; priority 145, 140,
//                                149 ("." left-associative)
//   ? ?1 ?2 ...                  a template slot: no operands, priority
//                                150, emitted as push of the name and ":"
//   print make ob run output if  0/200, 0/4, 0/4, 0/1, 0/1, 0/3 operands,
//   while repeat local DUMP      0/2, 0/2, 0/1, 0/0; priority 0. "local"
//                                also takes every free " to its right.
//                                Compared in any letter case.
//   any other word               a call. Unknown names are tried as
//                                properties ("put_" + word at the start of
//                                a statement, "get_" + word elsewhere); a
//                                name that resolves to nothing is a call
//                                with no operands, priority 150 (so that
//                                an operator or call beside it takes it and
//                                the run says that nothing is named so).
//                                A resolved node (or its "lambda" member)
//                                gives the priority from its "onpriority"
//                                member (rounded half to even; left-assoc),
//                                else 20 and right-assoc; "onleftassociation"
//                                overrides the associativity; a definition
//                                list value [[params] ...] or
//                                [[left params] [right params] ...] gives
//                                the operand counts (pairs of marker and
//                                name). A node whose value is no definition
//                                list: no operands, priority 150, left-assoc.
//
// Errors: "BADSTRING" for an element that is not a word, number, list or
// group; "EMPTYGROUP" for (); the native-word errors of native_loader.h.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "atom.h"
#include "opcodes.h"
#include "operand_list.h"

namespace tavro {

// ---- the element reader shared with the statement loop
enum ElementKind : int {
    ekEnd = 0,        // CurrentCell is null
    ekComma = 1,      // the word ","
    ekWord = 2,       // any other word, or a number
    ekGroup = 3,      // a parenthesised group
    ekEmptyList = 4,  // the empty list as an element
    ekOther = 5,      // a list, widget, node or memory block
};

// True for the slot names of templates, ? and ?1, ?2 ...: wherever they
// stand (not after : or ") they read the slot's value, as :? would.
bool IsSlotName(std::string_view text);

// Classifies the element at CurrentCell. Comment words (text starting with
// ";" or "{") are skipped first: CurrentCell moves past them.
int ReadElementKind();

// The atom whose code list receives the words being emitted (the first
// cell of the statement being compiled).
extern Atom* CodeTarget;

// ---- atoms the compiler made (property words, extra operand names, empty
// words); the list holds one reference on each.
void KeepAtom(Atom* atom);
const std::vector<Atom*>& KeptAtoms();
// Releases the references and empties the list (interpreter reset).
void ReleaseKeepList();
// Empties the list without touching the atoms: for when the pool that
// held them has been destroyed.
void ForgetKeepList();

// Called now and then while a long statement is linked, so the environment
// can process messages and a stop request can end the compilation (it
// raises). Installed by run control; null: nothing is called.
extern void (*CompilerPoll)();

// Called when a definition statement (make local "NAME [[...] ...], what
// "to" becomes) is compiled, with the name and the definition list, just
// before the statement first runs. Installed by the executor; null:
// nothing is called.
extern void (*DefinitionCompiled)(std::string_view name, Atom* definition);

// ---- the compiler
enum class Side { Left, Right };

struct TExprItem {
    Atom* Element = nullptr;     // the element, or the property word
    Atom* SourceCell = nullptr;  // the cell it was read from
    int LeftCount = 0;           // declared operands
    int RightCount = 0;
    int Priority = 150;
    bool LeftAssociative = true;
    int64_t Key = 0;
    int ParentIndex = -1;        // the item that took this one, or -1
    OperandList LeftChildren;   // operands taken (item indices)
    OperandList RightChildren;
    Atom* LeftParams = nullptr;  // parameter lists of a procedure
    Atom* Params = nullptr;
    bool IsLiteral = false;
    int OpCode = opWord;
    // A procedure the library programs defined: its input count is
    // checked (CheckInputCount). LeastInputs and MostInputs come from its
    // "oninputs" member ([least most], most -1 for any number); -1 when
    // it has none, and then it reads exactly its parameters.
    bool Library = false;
    int LeastInputs = -1;
    int MostInputs = -1;
    // The loosest-binding item of a parenthesised group, (sum 1 2 3).
    bool Parenthesised = false;
};

class TExpr {
public:
    // statementStart: the elements begin a statement (false for a group
    // compiled inside an expression); it decides "put_" versus "get_".
    explicit TExpr(bool statementStart = true) : statementStart_(statementStart) {}

    // Reads elements from CurrentCell up to the end of the list or a ","
    // (CurrentCell is left there), links them and emits into CodeTarget.
    // single false: a statement; every tree is followed by opPop, then
    // opEnd and the cell where reading stopped. single true: one
    // expression (a group): the loosest-binding tree takes the others as
    // operands, or, when it is a literal, the trees are emitted in turn
    // with opPop between them.
    void Compile(bool single);

    // Classifies the element at CurrentCell into a new item and advances.
    void AddItem();
    // Links the items into trees (operand seeking, then "local"'s extra
    // quotes, then children sorted by index).
    void LinkItems();
    // Lets item `index` take at most one operand on `side`; true if taken.
    bool Seek(int index, Side side);
    void Attach(int owner, int item, Side side);
    void Detach(int item);
    // The smallest and largest item index in the item's subtree.
    std::pair<int, int> SubtreeRange(int index) const;
    // Appends the code of the item's tree to CodeTarget and returns the
    // tree's smallest and largest item index. A tree too deep for the
    // machine stack raises "DEEPRECURSION".
    std::pair<int, int> Emit(int index);

    const std::vector<TExprItem>& Items() const { return items_; }

private:
    void Classify(TExprItem& item);
    void ClassifyName(TExprItem& item, const std::string& text);
    void CollectLocalQuotes();
    void EmitOperandNames(const OperandList& children, Atom* params, bool left);
    void CompileRoot();
    // Raises NOINPUTS, ONEINPUT or MOREINPUTS for a library word given more
    // inputs than it reads, and NOINPUT for a word with "oninputs" given
    // fewer than its parameters outside parentheses (or fewer than its
    // least inside them).
    void CheckInputCount(const TExprItem& item) const;
    // Raises what a statement linked against its writer's intent:
    // OPERANDTAKEN and OPERANDLEFT for an infix operator left without an
    // operand beside a call, which it never takes (3 + sqrt 16, pi * 2), MINUSWORD for a quoted word with a minus inside,
    // ONESTATEMENT for a command taken as a further input (a hook list) of
    // make or ob that reads the name they assign (make "d 8 print :d).
    // Each message shows the fix.
    void CheckReading() const;
    // Whether item k runs something: a call or a command form.
    bool IsCall(int k) const;
    // Whether the tree of item `index` reads :name.
    bool ReadsName(int index, const std::string& name) const;
    // Items lo..hi as written; " ," before item `comma` (-1: none).
    std::string ItemsText(int lo, int hi, int comma = -1) const;
    // The tree of minima behind Seek (see expr.cpp).
    int64_t bound(int j) const;
    void buildBounds();
    void updateBound(int j);
    int firstBelow(int from, int64_t limit, Side side) const;
    // The passes of LinkItems (see expr.cpp).
    bool needs(int item, Side side) const;
    // Statements up to this many items link by plain scans.
    static constexpr int kShortStatement = 64;
    bool seekByScan(int index, Side side);
    void finishLinking();
    void unlink(int item);
    void schedule(int seek);
    void watch(int seek, int lo, int hi);
    void boundLowered(int j, int64_t value);

    bool statementStart_;
    std::vector<int64_t> bounds_;  // 2 * leaves_ nodes, leaves from leaves_
    int leaves_ = 0;
    bool linking_ = false;
    int cursor_ = -1;                      // the seek being made
    std::set<int> due_, dueNext_;          // seeks due in this and the next pass
    std::vector<std::vector<std::pair<int, int>>> watchers_;  // per tree node: seek, version
    std::vector<int> watchVersion_;
    bool afterMarker_ = false;  // the previous element was ":" or "
    std::vector<TExprItem> items_;
};

// Compiles the statement that starts at CurrentCell onto that cell and
// leaves CurrentCell where the statement ends (a "," cell or null). On an
// error the cell keeps no partial code. Nothing happens when CurrentCell
// is null.
void CompileStatement();

// A readable listing of the code words on `cell`, one space between
// fields: opcode names ("push", "make" ...); a counts word as
// "right,left"; a pushed atom, a call's name and operand names in printed
// form; each call operand as its flag and name ("0 a"); the source cells
// of make and ob as "[element]"; while's restart mark as a number; a
// native address as "FILE:SYMBOL" (or hex when the symbol is unknown);
// end's continuation as its printed element, or "nil". Unknown words are
// listed as numbers.
std::string CodeListing(const Atom* cell);

}  // namespace tavro
