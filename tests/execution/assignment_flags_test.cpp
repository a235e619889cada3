// Assignment behaviour that only library primitives switch on (node flags
// set through the C++ API here): locks, recorded definitions, dependency
// tracking, history notifications, and the scene hooks of drawn nodes.
#include "execution_fixture.h"
#include "structure.h"

using namespace tavro;

using AssignmentFlags = ExecutionTest;

using Lines = std::vector<std::string>;

TEST_F(AssignmentFlags, LockedNodesAndTheirMembersRefuseAssignment)
{
    ASSERT_TRUE(Run("to hook :n\n print \"hook :n\nend\n"
                    "make \"x 1\nmake \"o.m 2"));
    Node("x")->Flags |= flLocked;
    Env.Drawn.insert(Node("x"));
    Run("make \"onbeforemake [hook]\nmake \"onaftermake [hook]\n"
        "make \"x 5\nprint \"unreached");
    ASSERT_EQ(Env.Messages, (Lines{"x is locked and cannot be changed"}));
    // The before-hook ran, nothing after it; the value and the display
    // list are untouched.
    EXPECT_EQ(TakeLines(), (Lines{"hook onaftermake", "hook onaftermake", "hook x"}));
    EXPECT_EQ(ToText(LeftOf(Node("x"))), "1");
    EXPECT_EQ(Env.Drawn.count(Node("x")), 1u);

    // A lock on an object covers new and existing members; the message
    // names the member.
    Env.Messages.clear();
    Node("o")->Flags |= flLocked;
    Run("make \"o.m 3");
    Run("make \"o.fresh 3");
    EXPECT_EQ(Env.Messages, (Lines{"m is locked and cannot be changed",
                                   "fresh is locked and cannot be changed"}));
    EXPECT_EQ(ToText(LeftOf(Node("o.m"))), "2");
}

TEST_F(AssignmentFlags, RecordedDefinitionKeepsTheWholeStatement)
{
    ASSERT_TRUE(Run("make \"x 1"));
    Node("x")->Flags |= flKeepDefinition;
    ASSERT_TRUE(Run("make \"x [a b]\nmake \"x.m 2"));
    Atom* definition = Node("x.definition");
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(ToText(LeftOf(definition)), "[make \" x [a b]]");
    // The member assignment is not the variable's definition.
    EXPECT_EQ(ToText(LeftOf(Node("x.definition"))), "[make \" x [a b]]");
}

TEST_F(AssignmentFlags, TrackedDependenciesWithMakeBehaveLikeOb)
{
    ASSERT_TRUE(Run("make \"a 1\nmake \"b 0"));
    Node("b")->Flags |= flTrackDependencies;
    ASSERT_TRUE(Run("make \"b :a"));
    ASSERT_NE(Node("a.onchange.b"), nullptr);
    EXPECT_EQ(ToText(LeftOf(Node("a.onchange.b"))), "[make \" b : a]");
    EXPECT_NE(Node("b.ondepend.a"), nullptr);
    // Without the flag a make records nothing.
    ASSERT_TRUE(Run("make \"c :a"));
    EXPECT_EQ(Node("a.onchange.c"), nullptr);
}

TEST_F(AssignmentFlags, HistoryHooksRunAfterTheTopLevelStatement)
{
    ASSERT_TRUE(Run("to onhistorycreate :n\n print \"create :n\nend\n"
                    "to onhistoryupdate :n\n print \"update :n\nend\n"
                    "make \"x 1\nmake \"y 1\nmake \"seen 1"));
    Node("x")->Flags |= flHistory;
    Node("seen")->Flags |= flHistory;
    TakeLines();
    ASSERT_TRUE(Run("make \"history.seen 1\n"
                    "repeat 2 [make \"x (repeat)\n print \"set :x]\n"
                    "make \"seen 2\nmake \"y 2\nprint \"last"))
        << Env.Messages.back();
    // After every statement at call depth 0 or 1, loop bodies included;
    // create only while there is no history.NAME.
    EXPECT_EQ(TakeLines(), (Lines{"create x", "update x", "set 1", "create x", "update x",
                                  "set 2", "update seen", "last"}));

    // Deeper assignments wait for the statement at depth 1, and the queue
    // is sorted and without duplicates.
    ASSERT_TRUE(Run("to setboth\n make \"x 7\n make \"seen 3\n make \"x 8\n print \"inner\nend\n"
                    "to outer\n setboth\n print \"outer\nend\nouter"));
    EXPECT_EQ(TakeLines(),
              (Lines{"inner", "update seen", "create x", "update x", "outer"}));

    // A new variable has no history; a value-less make changes nothing.
    ASSERT_TRUE(Run("make \"x\nmake \"x.m 1"));
    EXPECT_TRUE(TakeLines().empty());
}

TEST_F(AssignmentFlags, DrawnNodesAskForRedrawUnlessNotDrawn)
{
    ASSERT_TRUE(Run("make \"x 1\nmake \"hidden 1\nob \"o 1\nmake \"o.part 1"));
    Env.Drawable = {Node("x"), Node("hidden"), Node("o.part")};
    Env.Drawn = Env.Drawable;
    Node("hidden")->Flags |= flNotDrawn;
    Env.Deleted.clear();
    Env.Built.clear();
    Env.Redraws = 0;

    ASSERT_TRUE(Run("make \"hidden 2"));
    EXPECT_EQ(Env.Redraws, 0);
    EXPECT_EQ(Env.Deleted, (std::vector<Atom*>{Node("hidden")}));

    // The node and its ancestors get their lists rebuilt, innermost first;
    // the scene is redrawn after each statement that changed it.
    Env.Built.clear();
    ASSERT_TRUE(Run("repeat 3 [make \"o.part (repeat)]"));
    EXPECT_EQ(Env.Redraws, 3);
    ASSERT_GE(Env.Built.size(), 3u);
    EXPECT_EQ(Env.Built[0], Node("o.part"));
    EXPECT_EQ(Env.Built[1], Node("o"));
    EXPECT_EQ(Env.Built[2], Root);

    // Assigning a handler is no change of the drawing.
    Env.Redraws = 0;
    Env.Deleted.clear();
    Env.Drawn.insert(Node("x"));
    ASSERT_TRUE(Run("make \"x.onchange [print \"changed]"));
    EXPECT_EQ(Env.Redraws, 0);
    EXPECT_TRUE(Env.Deleted.empty());
}

TEST_F(AssignmentFlags, FlagsLeftByAFailedHandlerAreClearedByTheNextRun)
{
    ASSERT_TRUE(Run("make \"x 1\nmake \"x.onchange [print \"handler :x , print :missing]"));
    TakeLines();
    EXPECT_FALSE(Run("make \"x 2"));
    EXPECT_TRUE(HasFlag(Node("x"), flBusy | flAssigning));
    // The next top-level run starts clean: the assignment and its handler
    // work again.
    EXPECT_FALSE(Run("make \"x 3"));
    EXPECT_EQ(TakeLines(), (Lines{"handler 2", "handler 3"}));
    EXPECT_EQ(ToText(LeftOf(Node("x"))), "3");
}
