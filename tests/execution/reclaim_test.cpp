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
