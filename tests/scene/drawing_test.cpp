// What a frame shows: shapes in their colours, the background, the camera,
// the model matrix, the perspective rule and "ONBEFOREDRAW".
#include "scene_fixture.h"

namespace {

const Rgb kWhite{255, 255, 255};
const Rgb kRed{255, 0, 0};

// The view is 120 pixels high: a field of view of 7.2 degrees, in which a
// ball of radius 0.5 at the camera's distance is about 40 pixels wide.
const char* kRedBall =
    "make \"ball.size 0.5\n"
    "to ball.ondrawimage\n  color 1 0 0\n  sphere :size\nend\n";

TEST_F(SceneTest, ShapeAtTheCentreShowsItsColourOnTheWindowColour)
{
    EXPECT_TRUE(Near(Centre(), kWhite));
    ASSERT_TRUE(Run(kRedBall));
    EXPECT_TRUE(Near(Centre(), kRed));
    EXPECT_TRUE(Near(PixelAt(2, 2), kWhite));
}

TEST_F(SceneTest, EachShapeDrawsAtTheOrigin)
{
    for (const char* shape :
         {"cube 0.6", "box 0.6 0.6 0.6", "sphere 0.3", "cylinder 0.3 0.2", "cone 0.4 0.3",
          "torus 0.3 0.2", "polygon [[ -0.5 -0.5 0] [0.5 -0.5 0] [0.5 0.5 0] [ -0.5 0.5 0]]",
          "quad [ -0.5 -0.5 0] [0.5 -0.5 0] [0.5 0.5 0] [ -0.5 0.5 0]"}) {
        ASSERT_TRUE(Run(std::string("to s.ondrawimage\n color 0 0 1\n ") + shape + "\nend\n"))
            << shape;
        EXPECT_TRUE(Near(Centre(), {0, 0, 255})) << shape;
        EXPECT_TRUE(Near(PixelAt(2, 2), kWhite)) << shape;
        ASSERT_TRUE(Run("erase \"s")) << shape;
        EXPECT_TRUE(Near(Centre(), kWhite)) << shape;
    }
}

TEST_F(SceneTest, BackgroundSetByTheProgramOutlivesRepaints)
{
    ASSERT_TRUE(Run("background 0 0 1 1"));
    EXPECT_TRUE(Scene.BackgroundSet());
    EXPECT_TRUE(Near(Centre(), {0, 0, 255}));
    // A repaint with another window colour keeps the program's background.
    Scene.Paint({0, 255, 0});
    EXPECT_TRUE(Near(Centre(), {0, 0, 255}));
    // A new plane window starts from the window colour again.
    Scene.OpenView(&View, {0, 255, 0});
    EXPECT_FALSE(Scene.BackgroundSet());
    Scene.Paint({0, 255, 0});
    const uint8_t* p = View.Read().At(1, 1);
    EXPECT_TRUE(Near({p[0], p[1], p[2]}, {0, 255, 0}));
}

TEST_F(SceneTest, CameraAndModelMatrixMoveTheScene)
{
    ASSERT_TRUE(Run(kRedBall));
    ASSERT_TRUE(Run("lookat 0 0 20"));
    EXPECT_TRUE(Near(Centre(), kWhite));
    ASSERT_TRUE(Run("lookat 0 0 0"));
    EXPECT_TRUE(Near(Centre(), kRed));
    // Looking from far away makes the ball small.
    ASSERT_TRUE(Run("eye 50 150 50"));
    EXPECT_TRUE(Near(Centre(), kRed));
    EXPECT_TRUE(Near(PixelAt(kWidth / 2 + 10, kHeight / 2), kWhite));
    ASSERT_TRUE(Run("eye 5 15 5"));
    // A model matrix that moves everything far along Z (OpenGL's column
    // order: the last four numbers are the translation).
    ASSERT_TRUE(Run("modelmatrix [[1 0 0 0] [0 1 0 0] [0 0 1 0] [0 0 40 1]]"));
    EXPECT_TRUE(Near(Centre(), kWhite));
    EXPECT_FALSE(Run("modelmatrix [[1 0 0 0] [0 1 0 0]]"));
}

// The vertical field of view grows with the height, so an object keeps its
// size in pixels when the window gets taller.
TEST_F(SceneTest, ObjectsKeepTheirPixelSizeWhenTheHeightChanges)
{
    ASSERT_TRUE(Run(kRedBall));
    auto redWidth = [&](int w, int h) {
        tavro::scene::OffscreenView view;
        std::string error;
        EXPECT_TRUE(view.Create(w, h, error));
        Scene.OpenView(&view, {255, 255, 255});
        Scene.RebuildScene();
        Scene.Paint({255, 255, 255});
        tavro::scene::RgbImage image = view.Read();
        int n = 0;
        for (int x = 0; x < w; ++x)
            if (image.At(x, h / 2)[0] > 200 && image.At(x, h / 2)[1] < 60) ++n;
        Scene.CloseView();
        return n;
    };
    int small = redWidth(300, 150);
    int tall = redWidth(300, 300);
    EXPECT_GT(small, 20);
    EXPECT_NEAR(small, tall, 2);
    EXPECT_DOUBLE_EQ(tavro::scene::FieldOfView(500), 30.0);
}

TEST_F(SceneTest, BeforeDrawStateHoldsForTheWholeFrame)
{
    // The ball sets no colour: it takes the frame's current colour.
    ASSERT_TRUE(Run("to ball.ondrawimage\n  sphere 0.5\nend\n"));
    EXPECT_TRUE(Near(Centre(), kWhite));
    ASSERT_TRUE(Run("background 0 0 0 1"));
    EXPECT_TRUE(Near(Centre(), kWhite));
    ASSERT_TRUE(Run("to ONBEFOREDRAW.ondrawimage\n  color 1 0 0\nend\n"));
    EXPECT_TRUE(Near(Centre(), kRed));
}

TEST_F(SceneTest, WhatOneObjectChangesDoesNotLeakIntoTheNext)
{
    // Members are drawn newest first: c, then b, then a.
    ASSERT_TRUE(Run("background 0 0 0 1"));
    ASSERT_TRUE(Run("to a.ondrawimage\n  move 0 0 50\n  color 0 1 0\nend\n"));
    ASSERT_TRUE(Run("to b.ondrawimage\n  sphere 0.5\nend\n"));
    ASSERT_TRUE(Run("to c.ondrawimage\n  move 0 0 50\n  color 0 1 0\n  lighting \"true\nend\n"));
    EXPECT_TRUE(Near(Centre(), kWhite));
}

TEST_F(SceneTest, DrawingWordsOutsideADrawingDoNothing)
{
    uint64_t before = Scene.ListsCompiled();
    ASSERT_TRUE(Run("color 1 0 0\nsphere 30\nmove 1 2 3\npushmatrix\npopmatrix\ncube \"x"));
    EXPECT_TRUE(Near(Centre(), kWhite));
    EXPECT_EQ(Scene.ListsCompiled(), before);
}

TEST_F(SceneTest, WrongInputsInsideADrawingAreErrors)
{
    EXPECT_FALSE(Run("to a.ondrawimage\n  sphere \"big\nend\n"));
    ASSERT_EQ(Env.Messages.size(), 1u);
    EXPECT_EQ(Env.Messages[0], "sphere doesn't like big as input");
    EXPECT_FALSE(Run("to b.ondrawimage\n  triangle [1 2] [0 0 0] [1 1 1]\nend\n"));
    EXPECT_FALSE(Run("to c.ondrawimage\n  drawchild \"nothing\nend\n"));
}

}  // namespace

namespace {

// A drawing built again starts from white and opaque, whatever the last
// build of the same object ended with.
TEST_F(SceneTest, EveryBuildOfADrawingStartsFromTheDefaultStyle)
{
    ASSERT_TRUE(
        Run("background 0 0 0 1\nmake \"ball.size 0.5\n"
            "to ball.ondrawimage\n  color 1 0 0\n  sphere :size\n  opacity 0\nend\n"));
    EXPECT_TRUE(Near(Centre(), kRed));
    ASSERT_TRUE(Run("make \"ball.size 0.6"));
    EXPECT_TRUE(Near(Centre(), kRed));
}

}  // namespace
