// A long run of assignments leaves the pool where it started once the
// collector has run: nothing leaks per statement or per loop turn.
#include "execution_fixture.h"
#include "memory_limit.h"

using namespace tavro;

namespace {
class Memory : public ExecutionTest {
protected:
    void SetUp() override
    {
        ExecutionTest::SetUp();
        SetEnvironment(&Sampler);
    }
    SamplingEnvironment Sampler;
};
}  // namespace

TEST_F(Memory, AMillionAssignmentsLeaveNoLiveAtomsBehind)
{
    ASSERT_TRUE(Run("make \"x [a b c]"));
    CollectGarbage();
    const int before = State->LiveCount;
    ASSERT_TRUE(Run("repeat 1000000 [make \"x [a b c]]"));
    CollectGarbage();
    const int after = State->LiveCount;
    std::printf("[ memory   ] live atoms: %d before, at most %d during the run, %d after "
                "collection (free %d)\n",
                before, Sampler.Peak, after, State->FreeCount);
    // Reassigning the same literal allocates nothing per turn.
    EXPECT_LE(Sampler.Peak, before + 32);
    // The new run's statement list and its compiled code remain; everything
    // that each turn made is gone.
    EXPECT_LE(after, before + 16);
    EXPECT_EQ(ToText(LeftOf(Resolve("x"))), "[a b c]");
}

TEST_F(Memory, ProcedureCallsAndObjectCopiesLeaveNoLiveAtomsBehind)
{
    ASSERT_TRUE(Run("to f :a\n local \"b\n make \"b :a\nend\n"
                    "ob \"o 1\nmake \"o.m 2\nmake \"r f 1"));
    CollectGarbage();
    const int before = State->LiveCount;
    ASSERT_TRUE(Run("repeat 100000 [make \"r f :o , make \"c :o]"));
    CollectGarbage();
    std::printf("[ memory   ] live atoms: %d before, at most %d during the run, %d after "
                "collection\n",
                before, Sampler.Peak, State->LiveCount);
    EXPECT_LE(State->LiveCount, before + 40);
}

// The default ceiling takes the tightest of the machine's limits.
TEST(MemoryCeiling, TakesTheTightestLimitOfTheMachine)
{
    constexpr size_t MB = size_t(1) << 20;
    EXPECT_EQ(CeilingFor(16384 * MB, 0, 0), 12288 * MB);
    EXPECT_EQ(CeilingFor(16384 * MB, 2048 * MB, 0), 1536 * MB);
    EXPECT_EQ(CeilingFor(16384 * MB, 2048 * MB, 1024 * MB), 768 * MB);
    EXPECT_EQ(CeilingFor(16384 * MB, 0, 1024 * MB), 768 * MB);
    // Nothing known: a fixed default; almost no room: a floor that still
    // lets the libraries load.
    EXPECT_EQ(CeilingFor(0, 0, 0), 4096 * MB);
    EXPECT_EQ(CeilingFor(16384 * MB, 1, 0), 16 * MB);
}

// The error of a refused allocation leaves room to report it, and an
// error inside a call does not pin the call's inputs.
TEST_F(Memory, AnErrorInsideACallLeavesItsInputsCollectable)
{
    std::string words;
    for (int i = 0; i < 5000; ++i) words += " w" + std::to_string(i);
    ASSERT_TRUE(Run("make \"l [" + words + "]"));
    ASSERT_TRUE(Run("to f :x , print :nothing , end"));
    CollectGarbage();
    const int held = State->LiveCount;
    EXPECT_FALSE(Run("f :l"));
    ASSERT_TRUE(Run("make \"l []"));
    CollectGarbage();
    EXPECT_LT(State->LiveCount, held - 4900);
}
