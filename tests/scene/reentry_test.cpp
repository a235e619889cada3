// Re-entry: requests made while a frame or a rebuild runs are served by one
// more pass, never by nesting and never for ever; mouse events are blocked
// meanwhile.
#include "scene_fixture.h"

namespace {

// A view whose presentation lets the toolkit run events that ask for
// another frame (as a paint or a mouse hook would).
class EagerView : public tavro::scene::OffscreenView {
public:
    tavro::scene::Scene* scene = nullptr;
    int requests = 0;
    bool blockedDuringFrame = false;
    void Present() override
    {
        blockedDuringFrame = scene->MouseBlocked();
        if (requests > 0) {
            --requests;
            scene->Redraw();
        }
    }
};

TEST_F(SceneTest, RedrawRequestedDuringAFrameIsOneMorePass)
{
    EagerView view;
    std::string error;
    ASSERT_TRUE(view.Create(kWidth, kHeight, error)) << error;
    view.scene = &Scene;
    Scene.OpenView(&view, {255, 255, 255});
    view.requests = 3;
    uint64_t frames = Scene.FramesDrawn();
    Scene.Redraw();
    EXPECT_EQ(Scene.FramesDrawn(), frames + 4);
    EXPECT_TRUE(view.blockedDuringFrame);
    EXPECT_FALSE(Scene.MouseBlocked());
    EXPECT_FALSE(Scene.Drawing());
}

// A widget that shows only what its paint draws is asked for a paint.
class PaintOnlyView : public tavro::scene::OffscreenView {
public:
    int paintsAskedFor = 0;
    bool DrawsInPaintOnly() const override { return true; }
    void Present() override { ++paintsAskedFor; }
};

TEST_F(SceneTest, PaintOnlyViewIsAskedForAPaintInsteadOfAFrame)
{
    PaintOnlyView view;
    std::string error;
    ASSERT_TRUE(view.Create(kWidth, kHeight, error)) << error;
    Scene.OpenView(&view, {255, 255, 255});
    uint64_t frames = Scene.FramesDrawn();
    ASSERT_TRUE(Run("to ball.ondrawimage\n  color 1 0 0\n  sphere 0.5\nend\nredraw"));
    EXPECT_EQ(Scene.FramesDrawn(), frames);
    EXPECT_EQ(view.paintsAskedFor, 1);
    Scene.Paint({255, 255, 255});
    EXPECT_EQ(Scene.FramesDrawn(), frames + 1);
    EXPECT_EQ(view.paintsAskedFor, 1);
    const uint8_t* p = view.Read().At(kWidth / 2, kHeight / 2);
    EXPECT_TRUE(Near({p[0], p[1], p[2]}, {255, 0, 0}));
}

TEST_F(SceneTest, MouseBlockingByTheProgramOutlivesFrames)
{
    ASSERT_TRUE(Run("to ball.ondrawimage\n  sphere 0.5\nend\n"));
    Scene.Service(TAVRO_SVC_BLOCK_MOUSE, nullptr, 0, 0, 0, 0);
    Scene.Redraw();
    Scene.RebuildScene();
    EXPECT_TRUE(Scene.MouseBlocked());
    Scene.Service(TAVRO_SVC_UNBLOCK_MOUSE, nullptr, 0, 0, 0, 0);
    EXPECT_FALSE(Scene.MouseBlocked());
}

TEST_F(SceneTest, DrawingThatAsksForAFullRebuildDoesNotLoop)
{
    ASSERT_TRUE(
        Run("to ball.ondrawimage\n  unfreezescene\n  redraw\n  color 1 0 0\n  sphere 0.5\nend\n"));
    // The frame it asked for was not recorded into its own drawing: the
    // wall drawn before the ball is not cleared away.
    ASSERT_TRUE(Run("to wall.ondrawimage\n  color 0 0 1\n  move 0 -6 0\n  cube 3\nend\n"));
    EXPECT_TRUE(Near(Centre(), {255, 0, 0}));
    EXPECT_TRUE(Near(PixelAt(2, 2), {0, 0, 255}));
    uint64_t before = Scene.ListsCompiled();
    Scene.RebuildScene();
    // ball and wall, once each
    EXPECT_EQ(Scene.ListsCompiled() - before, 2u);
}

TEST_F(SceneTest, OverflowingSelectionBufferStillReportsTheHitsThatFit)
{
    ASSERT_TRUE(
        Run("repeat 400 [make word \"ball (repeat) 1]\n"
            "to draw.ondrawimage\n  sphere 0.5\nend\n"
            "repeat 400 [make word word \"ball (repeat) \".ondrawimage :draw.ondrawimage]"));
    std::vector<std::string> names = Words(Scene.Pick(kWidth / 2, kHeight / 2, 0, 2));
    // Each record takes four words of the 1024.
    EXPECT_GT(names.size(), 200u);
    EXPECT_LE(names.size(), 256u);
}

}  // namespace
