#include "core_fixture.h"
#include "errors.h"
#include "expr.h"
#include "reserved_words.h"
#include "translate.h"
#include "stack_guard.h"
#include "tavro_kit.h"
#include "value_stack.h"

#include <pthread.h>

#include <string>

using namespace tavro;

namespace {

class ExprTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        ForgetKeepList();  // whatever an earlier test kept died with its pool
    }
    void TearDown() override
    {
        ReleaseKeepList();
        CoreTest::TearDown();
    }

    // Compiles the first statement of `text` and lists its code.
    std::string Code(std::string_view text)
    {
        Atom* program = TranslateText(text);
        CurrentCell = program;
        CompileStatement();
        return CodeListing(program);
    }

    // A procedure `name` under the root whose value is the list `definition`.
    Atom* Define(std::string_view name, std::string_view definition)
    {
        return CreatePath(Root, name, LeftOf(TranslateText(definition)), true);
    }

    // A procedure with one left and one right parameter and a priority.
    Atom* Infix(std::string_view name, std::string_view priority)
    {
        Atom* node = Define(name, "[[: a] [: b] x]");
        SetMember(node, "onpriority", priority);
        return node;
    }

    static void SetMember(Atom* node, std::string_view name, std::string_view value)
    {
        CreatePath(node, name, NewWord(value), true);
    }
};

// A group chain of words, as the parser builds one.
Atom* GroupOf(std::initializer_list<std::string_view> words)
{
    Atom *head = nullptr, *tail = nullptr;
    for (auto w : words) Append(head, tail, NewWord(w));
    for (Atom* c = head; c; c = RightOf(c)) c->Kind = akGroup;
    return head;
}

}  // namespace

TEST_F(ExprTest, WorkedExamples)
{
    EXPECT_EQ(Code("make \"x 5"), "push 5 push x make 2,0 [make] [5] pop end nil");
    EXPECT_EQ(Code("print :x"), "push x thing 1,0 print 1,0 pop end nil");
    EXPECT_EQ(Code("local \"a \"b"), "push b push a local 2,0 pop end nil");
}

TEST_F(ExprTest, FixedFormsTakeTheirOperands)
{
    EXPECT_EQ(Code("if :c [print 1] [print 2]"),
              "push [print 2] push [print 1] push c thing 1,0 if 3,0 pop end nil");
    EXPECT_EQ(Code("repeat 3 [x]"), "push [x] push 3 repeat 2,0 pop end nil");
    EXPECT_EQ(Code("output 1 2"), "push 1 output 1,0 pop push 2 pop end nil");
    EXPECT_EQ(Code("run [a]"), "push [a] run 1,0 pop end nil");
    EXPECT_EQ(Code("ob \"p 5"), "push 5 push p ob 2,0 [ob] [5] pop end nil");
    EXPECT_EQ(Code("DUMP 1"), "dump 0,0 pop push 1 pop end nil");
    // A quote with nothing to quote stands for the empty word.
    EXPECT_EQ(Code("print \""), "push  print 1,0 pop end nil");
}

TEST_F(ExprTest, ReservedWordsMatchInAnyCase)
{
    EXPECT_EQ(Code("PRINT 1"), "push 1 print 1,0 pop end nil");
    EXPECT_EQ(Code("Make \"x 1"), "push 1 push x make 2,0 [Make] [1] pop end nil");
    EXPECT_EQ(Code("dump"), "dump 0,0 pop end nil");
    // A word right after ":" or the quote is a name, even a reserved one.
    EXPECT_EQ(Code("print :print"), "push print thing 1,0 print 1,0 pop end nil");
}

TEST_F(ExprTest, DotJoinsItsNeighboursAndStealsFromLooserOwners)
{
    // print takes 1 first; "." (149) binds tighter than print and takes it.
    EXPECT_EQ(Code("print 1 . 2"), "push 2 push 1 dot 1,1 print 1,0 pop end nil");
}

TEST_F(ExprTest, UnknownWordIsACallWithoutOperands)
{
    EXPECT_EQ(Code("nothing 1 2"),
              "call nothing 0,0 pop push 1 pop push 2 pop end nil");
    EXPECT_EQ(Code("print nothing"), "call nothing 0,0 print 1,0 pop end nil");
}

TEST_F(ExprTest, ProcedureParametersGiveOperandCountsAndFlags)
{
    Define("f", "[[: a : b] print :a]");
    Define("g", "[[\" n : m] x]");
    Define("plus", "[[: a] [: b] x]");
    EXPECT_EQ(Code("f 1 2"), "push 2 push 1 call f 2,0 0 a 0 b pop end nil");
    EXPECT_EQ(Code("g \"x 2"), "push 2 push x call g 2,0 1 n 0 m pop end nil");
    EXPECT_EQ(Code("plus 2"), "push 2 call plus 1,0 0 b pop end nil");
    EXPECT_EQ(Code("1 plus 2"), "push 2 push 1 call plus 1,1 0 a 0 b pop end nil");
    // An empty parameter list: a procedure without operands.
    Define("h", "[[] x]");
    EXPECT_EQ(Code("h 1"), "call h 0,0 pop push 1 pop end nil");
}

TEST_F(ExprTest, PlainVariablesAndLambdaMembers)
{
    CreatePath(Root, "v", NewWord("5"), true);
    // A variable binds at 150 and takes nothing.
    EXPECT_EQ(Code("print v 1"), "push 1 call v 0,0 print 2,0 pop end nil");
    Atom* w = CreatePath(Root, "w", NewWord("5"), true);
    CreatePath(w, "lambda", LeftOf(TranslateText("[[: a] x]")), true);
    EXPECT_EQ(Code("w 1"), "push 1 call w 1,0 0 a pop end nil");
}

TEST_F(ExprTest, UserPrioritiesAndAssociativity)
{
    Define("f", "[[: a] x]");
    Atom* plus = Infix("plus", "100");
    Infix("times", "110.4");  // rounds to 110
    Infix("loose", "5");
    const std::string op = " 1,1 0 a 0 b";
    // Left association by default once a priority is declared.
    EXPECT_EQ(Code("print 1 plus 2 plus 3"),
              "push 3 push 2 push 1 call plus" + op + " call plus" + op + " print 1,0 pop end nil");
    EXPECT_EQ(Code("print 1 plus 2 times 3"),
              "push 3 push 2 call times" + op + " push 1 call plus" + op + " print 1,0 pop end nil");
    // Priority 5 binds more loosely than f (20), 100 more tightly.
    EXPECT_EQ(Code("print f 1 loose 2"),
              "push 2 push 1 call f 1,0 0 a call loose" + op + " print 1,0 pop end nil");
    EXPECT_EQ(Code("print f 1 plus 2"),
              "push 2 push 1 call plus" + op + " call f 1,0 0 a print 1,0 pop end nil");
    // Without onpriority a procedure is right-associative at 20.
    EXPECT_EQ(Code("f f 1"), "push 1 call f 1,0 0 a call f 1,0 0 a pop end nil");

    SetMember(plus, "onleftassociation", "false");
    EXPECT_EQ(Code("print 1 plus 2 plus 3"),
              "push 3 push 2 call plus" + op + " push 1 call plus" + op + " print 1,0 pop end nil");
    // 4.5 rounds to even, 4: looser than loose (5), so plus takes loose.
    SetMember(plus, "onpriority", "4.5");
    EXPECT_EQ(Code("print 1 plus 2 loose 3"),
              "push 3 push 2 call loose" + op + " push 1 call plus" + op + " print 1,0 pop end nil");
}

TEST_F(ExprTest, ExtraOperandsGetNumberedNames)
{
    Define("f", "[[: a] x]");
    Infix("plus", "100");
    EXPECT_EQ(Code("print (f 1 2 3)"),
              "push 3 push 2 push 1 call f 3,0 0 a 0 #1 0 #2 print 1,0 pop end nil");
    EXPECT_EQ(Code("print (1 2 plus 3)"),
              "push 3 push 2 push 1 call plus 1,2 0 a 0 #-1 0 b print 1,0 pop end nil");
    // The names are compiler-made words held by the keep list.
    ASSERT_FALSE(KeptAtoms().empty());
    Atom* last = KeptAtoms().back();
    EXPECT_EQ(ToText(last), "#-1");
    EXPECT_EQ(last->RefCount, 1);
    ReleaseKeepList();
    EXPECT_EQ(last->RefCount, 0);
    EXPECT_TRUE(KeptAtoms().empty());
}

TEST_F(ExprTest, PropertyNames)
{
    Define("put_size", "[[: v] x]");
    Define("get_size", "[[] x]");
    // At the start of a statement the setter, elsewhere the getter.
    EXPECT_EQ(Code("size 5"), "push 5 call put_size 1,0 0 v pop end nil");
    EXPECT_EQ(Code("print size"), "call get_size 0,0 print 1,0 pop end nil");
    // A group inside an expression never starts a statement.
    EXPECT_EQ(Code("(size)"), "call get_size 0,0 pop end nil");
    // A name that exists is not replaced.
    CreatePath(Root, "size", NewWord("1"), true);
    EXPECT_EQ(Code("size"), "call size 0,0 pop end nil");
}

TEST_F(ExprTest, PropertyPrefixFollowsTheNamingMode)
{
    SetCaseSensitive(false);
    Define("PUT_SIZE", "[[: v] x]");
    EXPECT_EQ(Code("size 5"), "push 5 call PUT_SIZE 1,0 0 V pop end nil");
}

TEST_F(ExprTest, LocalCollectsEveryFreeQuote)
{
    EXPECT_EQ(Code("local \"a \"b \"c"), "push c push b push a local 3,0 pop end nil");
    // A quote that make owns stays with make.
    EXPECT_EQ(Code("local \"a make \"b 1"),
              "push a local 1,0 pop push 1 push b make 2,0 [make] [1] pop end nil");
}

TEST_F(ExprTest, GroupsCompileInPlace)
{
    EXPECT_EQ(Code("print (nothing 1 2) 3"),
              "push 3 push 2 push 1 call nothing 2,0 0 #1 0 #2 print 2,0 pop end nil");
    // A group led by a literal evaluates its trees in turn.
    EXPECT_EQ(Code("print (1 2)"), "push 1 pop push 2 print 1,0 pop end nil");
    EXPECT_EQ(Code("print ((1))"), "push 1 print 1,0 pop end nil");
}

TEST_F(ExprTest, EmptyGroupIsAnErrorAndLeavesNoCode)
{
    // The parser never builds one; a group holding only a comment is empty
    // once the comment is skipped.
    Atom *head = nullptr, *tail = nullptr;
    Append(head, tail, NewWord("print"));
    Append(head, tail, GroupOf({";note"}));
    CurrentCell = head;
    EXPECT_THROW(CompileStatement(), LanguageError);
    EXPECT_EQ(LastErrorText, ErrorFormat("EMPTYGROUP"));
    EXPECT_EQ(CodeCount(head), 0);
}

TEST_F(ExprTest, PrintTakesAtMostTwoHundredOperands)
{
    std::string text = "print";
    for (int i = 1; i <= 203; ++i) text += " " + std::to_string(i);
    std::string code = Code(text);
    EXPECT_NE(code.find("push 1 print 200,0 pop push 201 pop push 202 pop push 203 pop end nil"),
              std::string::npos)
        << code;
}

TEST_F(ExprTest, WhileMarksWhereItsOperandsStart)
{
    // "call nothing 0,0" and "pop" take words 0 to 3.
    EXPECT_EQ(Code("nothing while [c] [b]"),
              "call nothing 0,0 pop push [b] push [c] while 2,0 4 pop end nil");
    EXPECT_EQ(Code("while"), "while 0,0 0 pop end nil");
}

TEST_F(ExprTest, MakeRecordsTheOuterCellsOfItsTree)
{
    Define("f", "[[: a] x]");
    Atom* program = TranslateText("nothing make \"x f 7");
    CurrentCell = program;
    CompileStatement();
    EXPECT_EQ(CodeListing(program),
              "call nothing 0,0 pop push 7 call f 1,0 0 a push x make 2,0 [make] [7] pop end nil");
    Atom* makeCell = RightOf(program);
    Atom* lastCell = LastCell(program);
    int n = CodeCount(program);
    EXPECT_EQ(CodeAt(program, n - 5), reinterpret_cast<TCodeWord>(makeCell));
    EXPECT_EQ(CodeAt(program, n - 4), reinterpret_cast<TCodeWord>(lastCell));
}

TEST_F(ExprTest, StatementEndsAtCommaWithItsContinuation)
{
    Atom* program = TranslateText("print 1, print 2");
    CurrentCell = program;
    CompileStatement();
    ASSERT_NE(CurrentCell, nullptr);
    EXPECT_EQ(ToText(LeftOf(CurrentCell)), ",");
    EXPECT_EQ(CodeAt(program, CodeCount(program) - 1), reinterpret_cast<TCodeWord>(CurrentCell));
    EXPECT_EQ(CodeListing(program), "push 1 print 1,0 pop end ,");
    // The second statement's code sits on its own first cell.
    CurrentCell = RightOf(CurrentCell);
    Atom* second = CurrentCell;
    CompileStatement();
    EXPECT_EQ(CodeListing(second), "push 2 print 1,0 pop end nil");
    EXPECT_EQ(CurrentCell, nullptr);
}

TEST_F(ExprTest, ElementReader)
{
    Atom *head = nullptr, *tail = nullptr;
    Append(head, tail, NewWord(";comment"));
    Append(head, tail, NewWord("{brace}"));
    Append(head, tail, NewWord(","));
    Append(head, tail, NewNumber(3));
    Append(head, tail, GroupOf({"a"}));
    Append(head, tail, nullptr);
    Append(head, tail, NewCell(NewWord("x"), nullptr));
    Append(head, tail, NewVariable("v", nullptr));
    const int expected[] = {ekComma, ekWord, ekGroup, ekEmptyList, ekOther, ekOther};
    CurrentCell = head;
    for (int kind : expected) {
        EXPECT_EQ(ReadElementKind(), kind) << ToText(CurrentCell);
        CurrentCell = RightOf(CurrentCell);
    }
    EXPECT_EQ(ReadElementKind(), ekEnd);
}

TEST_F(ExprTest, NodeElementIsNotAWord)
{
    Atom *head = nullptr, *tail = nullptr;
    Append(head, tail, NewWord("print"));
    Append(head, tail, NewVariable("v", nullptr));
    CurrentCell = head;
    EXPECT_THROW(CompileStatement(), LanguageError);
    EXPECT_EQ(CodeCount(head), 0);
}

TEST_F(ExprTest, ValueStackCountsReferences)
{
    Atom* a = NewWord("a");
    TStack stack;
    stack.Push(a);
    stack.Push(NoValue);
    stack.Push(nullptr);
    EXPECT_EQ(stack.Count(), 3);
    EXPECT_EQ(a->RefCount, 1);
    EXPECT_EQ(stack.Peek(2), a);
    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(stack.Pop(), NoValue);
    EXPECT_EQ(LastPopped, NoValue);
    EXPECT_EQ(stack.Pop(), a);
    EXPECT_EQ(a->RefCount, 0);
    EXPECT_EQ(LastPopped, a);
    // An empty stack pops null and records it.
    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(LastPopped, nullptr);

    stack.Push(a);
    stack.Push(a);
    LastPopped = NoValue;
    stack.Clear();
    EXPECT_EQ(a->RefCount, 0);
    EXPECT_EQ(stack.Count(), 0);
    EXPECT_EQ(LastPopped, NoValue);
    {
        TStack scoped;
        scoped.Push(a);
    }
    EXPECT_EQ(a->RefCount, 0);
}

namespace {

// Runs `body` on a thread with a small machine stack and the stack guard
// set up for it, so input nested deeper than that stack allows is cheap to
// make. Returns the message of the language error it raised, or "".
std::string OnSmallStack(void (*body)())
{
    struct Call {
        void (*body)();
        std::string error;
    } call{body, {}};
    auto run = [](void* p) -> void* {
        auto* c = static_cast<Call*>(p);
        InitStackGuard();
        try {
            c->body();
        } catch (const LanguageError& e) {
            c->error = e.what();
        }
        return nullptr;
    };
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, size_t(8) << 20);
    pthread_t thread;
    EXPECT_EQ(pthread_create(&thread, &attr, run, &call), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    return call.error;
}

std::string Repeated(std::string_view piece, int times)
{
    std::string s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

}  // namespace

TEST_F(ExprTest, InputNestedWithoutEndIsALanguageErrorNotACrash)
{
    const std::string deep = "Too many nested calls";
    // Brackets and parentheses, closed or not, stop the parser.
    EXPECT_EQ(OnSmallStack([] { TranslateText("print " + Repeated("[", 500000)); }).find(deep), 0u);
    EXPECT_EQ(OnSmallStack([] {
                  TranslateText("print " + Repeated("(", 500000) + "1" + Repeated(")", 500000));
              }).find(deep),
              0u);
    // Chains of prefix and infix words stop the compiler's emission.
    Define("f", "[[: a] x]");
    Infix("plus", "100");
    for (std::string_view chain : {"f ", "1 plus "}) {
        static std::string text;
        text = "print " + Repeated(chain, 300000) + "1";
        EXPECT_EQ(OnSmallStack([] {
                      CurrentCell = TranslateText(text);
                      CompileStatement();
                  }).find(deep),
                  0u)
            << chain;
    }
    // What fits compiles as before.
    EXPECT_EQ(OnSmallStack([] {
                  CurrentCell = TranslateText("print " + Repeated("f ", 1000) + "1");
                  CompileStatement();
              }),
              "");
}

TEST_F(ExprTest, ValuesNestedWithoutEndPrintWithoutTheMachineStack)
{
    // 300,000 nested lists: far deeper than the small stack allows for a
    // recursive printer. Both the host's printed form and the kit's.
    static Atom* deep;
    deep = NewCell(NewWord("x"), nullptr);
    for (int i = 0; i < 300000; ++i) deep = NewCell(deep, nullptr);
    static std::string host, kit;
    EXPECT_EQ(OnSmallStack([] {
                  host = ToText(deep);
                  TKitBuffer b = {nullptr, 0, 0};
                  tavro_buffer_append_atom(&b, deep);
                  kit.assign(tavro_buffer_cstr(&b), b.length);
                  tavro_buffer_free(&b);
              }),
              "");
    EXPECT_EQ(host, Repeated("[", 300001) + "x" + Repeated("]", 300001));
    EXPECT_EQ(kit, host);
}
