// The collector and the pool's two lists: atoms a native library made
// itself when the free list ran dry, resources released exactly once, the
// lists' counts, and the order the lists come out in.
#include <vector>

#include "execution_fixture.h"
#include "atom_slabs.h"

using namespace tavro;

namespace {

int gBlockReleases = 0;
intptr_t countBlockRelease(TAtom*)
{
    ++gBlockReleases;
    return 0;
}

// Releasing a widget calls out; this one allocates while it is called.
class WidgetEnvironment : public RecordingEnvironment {
public:
    void ReleaseWidget(Atom* widget) override
    {
        Released.push_back(widget);
        if (AllocateOnRelease) Made.push_back(AddRef(NewWord("made while released")));
    }
    std::vector<Atom*> Released;
    std::vector<Atom*> Made;
    bool AllocateOnRelease = false;
};

class CollectorPool : public ExecutionTest {
protected:
    void SetUp() override
    {
        ExecutionTest::SetUp();
        SetEnvironment(&Widgets);
        gBlockReleases = 0;
    }

    // What a native library's allocation gives when the free list is
    // empty: an atom of the system allocator, at the head of the list.
    static Atom* strayAtom()
    {
        Atom* saved = State->FreeAtoms;
        int32_t savedCount = State->FreeCount;
        State->FreeAtoms = nullptr;
        State->FreeCount = 0;
        Atom* a = tavro_pool_allocate(State);
        State->FreeAtoms = saved;
        State->FreeCount = savedCount;
        return a;
    }

    static int length(const Atom* list)
    {
        int n = 0;
        for (; list; list = list->Next) ++n;
        return n;
    }

    static bool onList(const Atom* list, const Atom* atom)
    {
        for (; list; list = list->Next)
            if (list == atom) return true;
        return false;
    }

    // Both lists hold what they count, and only slab atoms.
    static void expectWholeSlabPool()
    {
        EXPECT_EQ(length(State->AllAtoms), State->LiveCount);
        EXPECT_EQ(length(State->FreeAtoms), State->FreeCount);
        EXPECT_EQ(State->LiveCount + State->FreeCount, slabs::TakenCount());
    }

    static Atom* memoryBlock()
    {
        Atom* block = NewWord("");
        block->Kind = akMemoryBlock;
        block->Right = reinterpret_cast<void*>(&countBlockRelease);
        return block;
    }

    WidgetEnvironment Widgets;
};

}  // namespace

TEST_F(CollectorPool, StraysOnEitherListGoBackAndHeldOnesStay)
{
    CollectGarbage();
    const int live = State->LiveCount;

    // A held stray list of two slab words; a garbage stray; a stray given
    // back to the free list.
    Atom* held = AddRef(strayAtom());
    held->Kind = akList;
    held->Left = NewWord("a");
    held->Right = NewCell(NewWord("b"), nullptr);
    NewCell(NewWord("garbage"), nullptr);
    Atom* loose = strayAtom();
    loose->Kind = akNumber;
    tavro_pool_release_most_recent(State, strayAtom());
    EXPECT_EQ(State->LiveCount + State->FreeCount, slabs::TakenCount() + 3);

    CollectGarbage();
    EXPECT_EQ(State->LiveCount, live + 4);
    EXPECT_EQ(ToText(held), "[a b]");
    EXPECT_FALSE(onList(State->AllAtoms, loose));
    // Only the held stray is left of the three.
    EXPECT_EQ(State->LiveCount + State->FreeCount, slabs::TakenCount() + 1);
    EXPECT_EQ(length(State->AllAtoms), State->LiveCount);
    EXPECT_EQ(length(State->FreeAtoms), State->FreeCount);

    // Once nothing holds it, the last stray goes too and the pool is all
    // slabs again; what was held is free, and collections go on alike.
    Release(held);
    CollectGarbage();
    EXPECT_EQ(State->LiveCount, live);
    expectWholeSlabPool();
    Atom* list = nullptr;
    for (int i = 0; i < 100; ++i) list = NewCell(NewNumber(i), list);
    Atom* kept = CreatePath(Root, "kept", list, true);
    NewCell(NewWord("y"), nullptr);
    // More in use than free: the collection reads the slabs.
    ASSERT_LE(State->FreeCount, State->LiveCount);
    CollectGarbage();
    EXPECT_EQ(Length(LeftOf(kept)), 100);
    EXPECT_EQ(State->LiveCount, live + 201);
    expectWholeSlabPool();
}

TEST_F(CollectorPool, ResourcesOfGarbageAreReleasedOnce)
{
    // A memory block, a widget and a drawn node go, first from a pool of
    // slab atoms only, then with a held stray about (the sweep along the
    // list).
    for (bool stray : {false, true}) {
        SCOPED_TRACE(stray ? "a stray about" : "slab atoms only");
        gBlockReleases = 0;
        Widgets.Released.clear();
        Widgets.Deleted.clear();
        Atom* block = memoryBlock();
        Atom* widget = NewWidget(reinterpret_cast<void*>(1));
        Atom* node = CreatePath(Root, "drawn", NewWord("v"), true);
        Detach(node);
        Widgets.Drawn = {node};
        // A held stray keeps the collector on the list.
        Atom* held = stray ? AddRef(strayAtom()) : nullptr;
        CollectGarbage();
        CollectGarbage();
        EXPECT_EQ(gBlockReleases, 1);
        EXPECT_EQ(Widgets.Released, std::vector<Atom*>{widget});
        EXPECT_EQ(Widgets.Deleted, std::vector<Atom*>{node});
        for (const Atom* a : {block, widget, node}) EXPECT_FALSE(onList(State->AllAtoms, a));
        Release(held);
        CollectGarbage();
        expectWholeSlabPool();
    }
}

TEST_F(CollectorPool, WhatAReleaseAllocatesIsKept)
{
    Widgets.AllocateOnRelease = true;
    for (int i = 0; i < 3; ++i) NewWidget(reinterpret_cast<void*>(1));
    CollectGarbage();
    ASSERT_EQ(Widgets.Made.size(), 3u);
    for (Atom* made : Widgets.Made) {
        EXPECT_TRUE(onList(State->AllAtoms, made));
        EXPECT_EQ(TextOf(made), "made while released");
    }
    expectWholeSlabPool();
    Widgets.AllocateOnRelease = false;
    CollectGarbage();
    for (Atom* made : Widgets.Made) EXPECT_TRUE(onList(State->AllAtoms, made));
    for (Atom* made : Widgets.Made) Release(made);
    CollectGarbage();
    for (Atom* made : Widgets.Made) EXPECT_FALSE(onList(State->AllAtoms, made));
    expectWholeSlabPool();
}

TEST_F(CollectorPool, TheNewestSurvivorsKeepTheHeadAndFreeAtomsRunUpward)
{
    // Garbage first, then what survives: the survivors made last head the
    // list afterwards, the newest first, as a call's own reclaiming of its
    // record expects.
    for (int i = 0; i < 2 * slabs::kSlabAtoms; ++i) NewNumber(i);
    Atom* older = AddRef(NewWord("o"));
    for (int i = 0; i < 100; ++i) NewNumber(i);
    Atom* newer = AddRef(NewWord("n"));
    Atom* newest = AddRef(NewWord("m"));
    CollectGarbage();
    ASSERT_NE(State->AllAtoms, nullptr);
    EXPECT_EQ(State->AllAtoms, newest);
    EXPECT_EQ(State->AllAtoms->Next, newer);
    EXPECT_EQ(State->AllAtoms->Next->Next, older);
    expectWholeSlabPool();

    // The free atoms are handed out in ascending address order.
    for (const Atom* a = State->FreeAtoms; a && a->Next; a = a->Next) ASSERT_LT(a, a->Next);
    Atom* first = NewWord("first");
    Atom* second = NewWord("second");
    EXPECT_LT(first, second);
    for (Atom* a : {older, newer, newest}) Release(a);
}

// A heap that once held many values serves the garbage of later, smaller
// work in full before anything is collected, and does not grow for it: a
// collection while free atoms remain would free nothing the program could
// use, and one that fell at a moment of many survivors would grow the
// heap to three times that moment.
TEST_F(CollectorPool, AGrownHeapIsUsedUpBeforeTheNextCollection)
{
    // A program's lasting values, and many more for a moment.
    auto list = [](int length) {
        Atom* head = nullptr;
        for (int i = 0; i < length; ++i) {
            Atom* cell = Allocate();
            cell->Kind = akList;
            cell->Right = head;
            head = cell;
        }
        return AddRef(head);
    };
    Atom* lasting = list(12000);
    Atom* momentary = list(60000);
    CollectGarbage();
    Release(momentary);
    CollectGarbage();
    const int32_t survivors = State->LiveCount;
    const int32_t taken = slabs::TakenCount();
    ASSERT_GT(taken, 3 * survivors);
    ASSERT_LE(taken, 8 * survivors) << "the test needs a heap within eight times the survivors";

    // Garbage up to the heap's size: no collection comes before the free
    // atoms are used up, and the heap stays as it was.
    int32_t lowestFree = State->FreeCount;
    for (int32_t i = survivors + 1; i < taken; ++i) {
        Allocate();
        CollectGarbageCheck();
        lowestFree = std::min(lowestFree, State->FreeCount);
        ASSERT_GE(State->LiveCount, survivors);
    }
    EXPECT_LT(lowestFree, 8);
    EXPECT_EQ(slabs::TakenCount(), taken);
    Release(lasting);
}
