// The mark-and-sweep collector: what survives, what returns to the pool,
// and which display lists it asks the scene to delete.
#include <algorithm>

#include "execution_fixture.h"
#include "atom_slabs.h"
#include "member_cache.h"
#include "structure.h"

using namespace tavro;

using Collector = ExecutionTest;

namespace {
bool InUse(const Atom* atom)
{
    for (const Atom* a = State->AllAtoms; a; a = a->Next)
        if (a == atom) return true;
    return false;
}
}  // namespace

TEST_F(Collector, ReachableStaysAndUnreachableReturnsToThePool)
{
    Atom* list = NewCell(NewWord("a"), NewCell(NewWord("b"), nullptr));
    Atom* x = CreatePath(Root, "x", list, true);
    Atom* member = CreatePath(x, "m", NewNumber(3), true);
    CollectGarbage();
    const int live = State->LiveCount;
    const int free = State->FreeCount;

    // Nothing holds these: a word, a two-cell list, a detached node and its
    // value.
    NewWord("loose");
    NewCell(NewWord("c"), NewCell(NewWord("d"), nullptr));
    Atom* gone = CreatePath(Root, "gone", NewWord("value"), true);
    Detach(gone);
    EXPECT_EQ(State->LiveCount, live + 7);

    CollectGarbage();
    EXPECT_EQ(State->LiveCount, live);
    EXPECT_EQ(State->FreeCount, free + 7);
    EXPECT_FALSE(InUse(gone));
    for (const Atom* a : {Root, x, list, RightOf(list), LeftOf(list), member, LeftOf(member)})
        EXPECT_TRUE(InUse(a));
    EXPECT_EQ(ToText(LeftOf(x)), "[a b]");
    EXPECT_EQ(Resolve("x.m"), member);

    // Freed atoms are handed out again before the pool grows.
    NewWord("reuse");
    EXPECT_EQ(State->FreeCount, free + 6);
}

TEST_F(Collector, HeldAtomsAndTheirContentsSurvive)
{
    CollectGarbage();
    const int live = State->LiveCount;
    Atom* held = AddRef(NewCell(NewWord("kept"), nullptr));
    Atom* node = AddRef(NewVariable("solo", NewWord("v")));
    CreatePath(node, "child", NewWord("w"), true);
    CollectGarbage();
    EXPECT_EQ(State->LiveCount, live + 6);
    EXPECT_EQ(ToText(held), "[kept]");
    EXPECT_EQ(ToText(LeftOf(FindMember(node, "child"))), "w");
    Release(held);
    Release(node);
    CollectGarbage();
    EXPECT_EQ(State->LiveCount, live);
}

TEST_F(Collector, CyclesOfDetachedNodesAreFreed)
{
    CollectGarbage();
    const int live = State->LiveCount;
    // A node whose value is a list that holds the node itself.
    Atom* node = CreatePath(Root, "loop", nullptr, true);
    node->Left = NewCell(node, nullptr);
    Detach(node);
    CollectGarbage();
    EXPECT_EQ(State->LiveCount, live);
}

TEST_F(Collector, TemporariesUnderTheRootGoWhenNothingHoldsThem)
{
    Atom* named = CreatePath(Root, "named", NewWord("stay"), true);
    Atom* temp = NewAnonymous(NewWord("copy"));
    Atom* heldTemp = AddRef(NewAnonymous(NewWord("held")));
    CollectGarbage();
    EXPECT_FALSE(InUse(temp));
    EXPECT_TRUE(InUse(heldTemp));
    EXPECT_EQ(heldTemp->Parent, Root);
    EXPECT_EQ(Resolve("named"), named);
    Release(heldTemp);
}

TEST_F(Collector, DisplayListsAreDeletedForFreedNodesOnly)
{
    Atom* kept = CreatePath(Root, "kept", NewWord("k"), true);
    Atom* dropped = CreatePath(Root, "dropped", NewWord("d"), true);
    Atom* droppedChild = CreatePath(dropped, "part", NewWord("p"), true);
    Atom* plain = CreatePath(Root, "plain", nullptr, true);
    Detach(dropped);
    Detach(plain);
    Env.Drawn = {kept, dropped, droppedChild};
    CollectGarbage();
    std::vector<Atom*> deleted = Env.Deleted;
    std::sort(deleted.begin(), deleted.end());
    std::vector<Atom*> expected = {dropped, droppedChild};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(deleted, expected);
    EXPECT_EQ(Env.Drawn.count(kept), 1u);
    EXPECT_FALSE(InUse(plain));
}

TEST_F(Collector, ARunLeavesItsVariablesAndCollectsItsTemporaries)
{
    ASSERT_TRUE(Run("make \"x [a b c]\nto f :p\nend\nmake \"r f 1\nprint :x"));
    CollectGarbage();
    const int live = State->LiveCount;
    ASSERT_TRUE(Run("repeat 50 [make \"y :x , f 2 , print :r]"));
    EXPECT_EQ(ToText(LeftOf(Node("x"))), "[a b c]");
    EXPECT_EQ(ToText(LeftOf(Node("r.p"))), "1");
    // What the second run kept: y and its statement; every copy, record
    // and word of the loop is gone.
    EXPECT_LT(State->LiveCount, live + 60);
    EXPECT_TRUE(Env.Messages.empty());
}

TEST_F(Collector, FreedSlabsGoBackWholeAndTheRestIsReused)
{
    // Three slabs' worth of loose words, then nothing holds them.
    const int n = 3 * slabs::kSlabAtoms;
    Atom* first = NewWord("w");
    for (int i = 1; i < n; ++i) NewWord("w");
    CollectGarbage();
    const int freed = State->FreeCount;
    EXPECT_GE(freed, n);
    EXPECT_TRUE(slabs::Contains(first));

    // Whole slabs leave the free list and the process; what is left on the
    // list is still good for allocation, and so is a new slab.
    ReleaseFreeAtoms();
    EXPECT_LT(State->FreeCount, freed);
    EXPECT_LE(freed - State->FreeCount, n);
    for (int i = 0; i < n; ++i) ASSERT_EQ(TextOf(NewWord("again")), "again");
    Atom* kept = CreatePath(Root, "kept", NewWord("value"), true);
    CollectGarbage();
    EXPECT_EQ(ToText(LeftOf(kept)), "value");
}

TEST_F(Collector, IndexesOfManyMembersStayExactAcrossCollections)
{
    // Owners of many members are indexed: the index of one that survives a
    // collection keeps answering, and one that is freed leaves nothing a
    // new owner in its atom could find.
    auto fill = [](Atom* owner, const char* prefix) {
        for (int i = 0; i < 2 * member_index::kIndexedMembers; ++i)
            CreatePath(owner, prefix + std::to_string(i), NewNumber(i), true);
        FindMember(owner, "absent");  // a long scan builds the index
    };
    Atom* kept = CreatePath(Root, "kept", nullptr, true);
    fill(kept, "k");
    for (int round = 0; round < 4; ++round) {
        Atom* gone = CreatePath(Root, "gone" + std::to_string(round), nullptr, true);
        fill(gone, "g");
        Detach(gone);
        CollectGarbage();
        Atom* fresh = CreatePath(Root, "fresh" + std::to_string(round), nullptr, true);
        fill(fresh, "f");
        EXPECT_EQ(FindMember(fresh, "g3"), nullptr);
        ASSERT_NE(FindMember(fresh, "f3"), nullptr);
        EXPECT_EQ(FindMember(fresh, "f3")->Parent, fresh);
    }
    Atom* k5 = FindMember(kept, "k5");
    ASSERT_NE(k5, nullptr);
    EXPECT_EQ(k5->Parent, kept);
    Detach(k5);
    EXPECT_EQ(FindMember(kept, "k5"), nullptr);
    CreatePath(kept, "late", NewNumber(1), true);
    CollectGarbage();
    ASSERT_NE(FindMember(kept, "late"), nullptr);
    EXPECT_EQ(FindMember(kept, "k5"), nullptr);
}
