// The entry points that run text: their results, what they report, and the
// state they leave for the next run.
#include "execution_fixture.h"
#include "errors.h"
#include "structure.h"

using namespace tavro;

using RunEntry = ExecutionTest;
using Lines = std::vector<std::string>;

TEST_F(RunEntry, SystemCommandsTellTranslationFromRunFailures)
{
    SetRunState(rsStopped);
    EXPECT_EQ(RunSystemCommand("make \"x 1"), rscRan);
    EXPECT_EQ(RunSystemCommand("print [unclosed"), rscTranslationFailed);
    EXPECT_TRUE(Env.Messages.empty());  // the command window asks for more
    EXPECT_EQ(LastErrorText, "Unmatched [");
    EXPECT_EQ(RunSystemCommand("print :nothing"), rscRunFailed);
    EXPECT_EQ(Env.Messages, (Lines{"Nothing is named nothing"}));
    EXPECT_EQ(RunState, rsStopped);
    EXPECT_EQ(CurrentCell, nullptr);
}

TEST_F(RunEntry, AFailedSystemCommandLeavesNoCallBehind)
{
    ASSERT_EQ(RunSystemCommand("make \"x \"root\nto f :x\n print :x\n print :missing\nend"),
              rscRan);
    EXPECT_EQ(RunSystemCommand("f \"param"), rscRunFailed);
    EXPECT_EQ(ContextDepth(), 1);
    EXPECT_EQ(CallDepth, 0);
    EXPECT_EQ(EvalDepth, 0);
    ASSERT_EQ(RunSystemCommand("print :x"), rscRan);
    EXPECT_EQ(TakeLines(), (Lines{"param", "root"}));
}

TEST_F(RunEntry, RunawayRecursionIsAnErrorAndTheNextRunWorks)
{
    EXPECT_FALSE(Run("to down :n\n down :n\nend\ndown 1"));
    EXPECT_EQ(Env.Messages, (Lines{ErrorFormat("DEEPRECURSION")}));
    EXPECT_EQ(ContextDepth(), 1);
    EXPECT_TRUE(Run("to up :n\n output :n\nend\nprint up 3"));
    EXPECT_EQ(TakeLines(), (Lines{"3"}));
}

namespace {
// Requests a stop the first time the running program pumps messages.
class StoppingEnvironment : public RecordingEnvironment {
public:
    void ProcessMessages() override
    {
        ++Pumps;
        if (tavro::RunState == tavro::rsRunning) tavro::SetRunState(tavro::rsStopRequested);
    }
    int Pumps = 0;
};
}  // namespace

TEST_F(RunEntry, AStopEndsTheRunWithoutAMessage)
{
    StoppingEnvironment stopper;
    SetEnvironment(&stopper);
    SetRunState(rsRunning);
    EXPECT_TRUE(Run("make \"go \"true\nwhile :go [make \"x 1]\nprint \"unreached"));
    EXPECT_GE(stopper.Pumps, 1);
    EXPECT_TRUE(stopper.Messages.empty());
    EXPECT_TRUE(stopper.Lines.empty());
    SetRunState(rsIdle);
}
