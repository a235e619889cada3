// Calls that give a value hand their own activation nodes back to the pool
// at once; everything the program can still reach must survive that.
#include "execution_fixture.h"

using namespace tavro;

using Reclaim = ExecutionTest;

TEST_F(Reclaim, ValueGivingCallsDoNotAccumulateTheirRecords)
{
    SamplingEnvironment sampler;
    SetEnvironment(&sampler);
    ASSERT_TRUE(Run("to pick :a :b\n output :b\nend\nmake \"v pick 1 2"));
    CollectGarbage();
    const int before = State->LiveCount;
    // Each turn makes a record and two parameter nodes; none may pile up
    // between collections.
    ASSERT_TRUE(Run("repeat 10000 [make \"v pick 1 2]"));
    EXPECT_LE(sampler.Peak, before + 256);
    SetEnvironment(&Env);
    EXPECT_EQ(ToText(LeftOf(Node("v"))), "2");
}

TEST_F(Reclaim, WhatTheProgramCanReachIsKept)
{
    ASSERT_TRUE(Run(
        "to self :a\n output make \"a [given node]\nend\n"      // the value is a parameter node
        "to withlocal :a\n local \"t\n make \"t :a\n output :t\nend\n"  // a member the call did not make
        "to nothing :a\nend\n"                                  // no value: the record is the result
        "make \"r self 1\n"
        "make \"l withlocal [x y]\n"
        "make \"n nothing 5\n"
        "repeat 3 [make \"q self 2]"));
    CollectGarbage();
    ASSERT_TRUE(Run("print :r\nprint :l\nprint :n.a\nprint :q"));
    EXPECT_EQ(TakeLines(), (std::vector<std::string>{"[given node]", "[x y]", "5", "[given node]"}));
    // The node that self gave became r itself, whole and in the tree.
    Atom* r = Node("r");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Parent, RootNode());
}

TEST_F(Reclaim, ReusedNodesCarryEachCallsOwnInputsInOrder)
{
    // The nodes of one call serve the next call of the same procedure: each
    // must see its own inputs, by name and in order, also after the
    // procedure is defined again with other parameters.
    ASSERT_TRUE(Run("to three :a :b :c\n make \"ra :a\n make \"rb :b\n output :c\nend\n"
                    "make \"c1 three 1 2 3"));
    ASSERT_TRUE(Run("make \"c2 three 4 5 6\nmake \"c3 three 7 8 9"));
    ASSERT_TRUE(Run("print :ra\nprint :rb\nprint :c2\nprint :c3"));
    EXPECT_EQ(TakeLines(), (std::vector<std::string>{"7", "8", "6", "9"}));
    ASSERT_TRUE(Run("to three :x :b :a\n make \"ra :a\n make \"rb :b\n output :x\nend\n"
                    "make \"c4 three 1 2 3\nmake \"c5 three 4 5 6\n"
                    "print :ra\nprint :rb\nprint :c4\nprint :c5"));
    EXPECT_EQ(TakeLines(), (std::vector<std::string>{"6", "5", "1", "4"}));
}
