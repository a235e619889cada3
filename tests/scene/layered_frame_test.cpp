// Frames of a running program start from the pixels kept from the last
// one: each must show exactly what a full replay of every list shows, and
// whatever the kept pixels cannot stand for starts a frame afresh.
#include <string>

#include "interpreter.h"
#include "scene_fixture.h"

namespace {

using tavro::scene::RgbImage;

class LayeredFrameTest : public TurtleSceneTest {
protected:
    // A frame painted while a program runs (kept pixels may be used).
    RgbImage runningFrame()
    {
        uint8_t saved = tavro::RunState;
        tavro::RunState = tavro::rsRunning;
        Scene.Paint({255, 255, 255});
        tavro::RunState = saved;
        return View.Read();
    }
    // A frame painted after the run: every list replayed.
    RgbImage fullFrame()
    {
        Scene.Paint({255, 255, 255});
        return View.Read();
    }
    // The running frame after `change`, and whether it started from kept
    // pixels; it must equal the full replay that follows.
    bool runningFrameMatches(const std::string& change, bool& kept)
    {
        if (!Run(change)) return false;
        uint64_t before = Scene.FramesFromKept();
        RgbImage running = runningFrame();
        kept = Scene.FramesFromKept() != before;
        RgbImage full = fullFrame();
        return running.pixels == full.pixels;
    }
};

int reds(const RgbImage& image)
{
    int n = 0;
    for (size_t i = 0; i + 2 < image.pixels.size(); i += 3)
        if (image.pixels[i] > 180 && image.pixels[i + 1] < 80 && image.pixels[i + 2] < 80) ++n;
    return n;
}

// A growing trail: each frame adds the new pieces to the kept ones; where a
// new red piece crosses the older black ones the newest ink shows, as in a
// full replay; the turtle and its open piece are drawn afresh each time.
TEST_F(LayeredFrameTest, GrowingTrailDrawsOnlyItsNewPiecesAndMatchesAFullReplay)
{
    ASSERT_TRUE(Run("repeat 150 [fd 1 rt 3]"));
    runningFrame();
    bool kept = false;
    EXPECT_TRUE(runningFrameMatches("setpencolor 1 0 0\nrepeat 150 [fd 1 lt 3]", kept));
    EXPECT_TRUE(kept);
    EXPECT_GT(reds(fullFrame()), 40);
    EXPECT_TRUE(runningFrameMatches("setpencolor 0 0 1\nsetpensize 3\nrepeat 130 [fd 1 rt 5]", kept));
    EXPECT_TRUE(kept);
    // Nothing new: the frame is the kept pixels and the turtle.
    EXPECT_TRUE(runningFrameMatches("hideturtle", kept));
    EXPECT_TRUE(kept);
}

// A camera move, a new background, a cleared trail and a viewport of
// another size each draw the next frame in full, right from the first.
TEST_F(LayeredFrameTest, ChangesBehindTheKeptPixelsStartAFrameAfresh)
{
    ASSERT_TRUE(Run("repeat 250 [fd 2 rt 2]"));
    runningFrame();
    bool kept = true;
    // (A new background shows at once: the run draws the fresh frame.)
    for (const char* change : {"eye 3 -5 30", "background 0.2 0.2 0.3 1", "clean\nrepeat 120 [fd 1 lt 3]"}) {
        EXPECT_TRUE(runningFrameMatches(change, kept)) << change;
        // The frame after the change is kept from again.
        EXPECT_TRUE(runningFrameMatches("fd 1", kept)) << change;
        EXPECT_TRUE(kept) << change;
    }
    Scene.Resize(kWidth / 2, kHeight / 2);
    EXPECT_TRUE(runningFrameMatches("fd 1", kept));
    EXPECT_FALSE(kept);
    Scene.Resize(kWidth, kHeight);
    EXPECT_TRUE(runningFrameMatches("fd 1", kept));
}

// Objects beside the trail: one that changes is drawn afresh over the kept
// trail and hides it where it is nearer; one that calls another object's
// drawing changes with it, so it is never kept.
TEST_F(LayeredFrameTest, ObjectsThatChangeShowOverTheKeptTrail)
{
    ASSERT_TRUE(Run("repeat 200 [fd 2 rt 3]"));
    ASSERT_TRUE(Run("make \"ball.size 0.3\nto ball.ondrawimage\n color 1 0 0\n sphere :size\nend"));
    ASSERT_TRUE(Run("make \"spot.ondrawimage [[]]\nto spot.dot.ondrawimage\n color 0 1 0\n move 1 0 0\n cube 0.3\nend\n"
                    "make \"copy.size 1\nto copy.ondrawimage\n move -1 0 0\n drawchild \"spot\nend"));
    runningFrame();
    bool kept = false;
    for (const char* change : {"make \"ball.size 0.5", "repeat 120 [fd 2 lt 3]", "make \"ball.size 0.2",
                               "to spot.dot.ondrawimage\n color 0 0 1\n move 1 0 0\n cube 0.3\nend"}) {
        EXPECT_TRUE(runningFrameMatches(change, kept)) << change;
    }
    EXPECT_GT(reds(fullFrame()), 10);
}

}  // namespace
