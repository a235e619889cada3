// The turtle as the plane shows it: at home from the start, its trail in
// the pen's colour, steps that cost the same however long the trail is,
// a pen that shows on a dark plane; and the plane's own camera gestures.
#include <cmath>
#include <cstdio>
#include <string>

#include "scene_fixture.h"
#include "run_control.h"
#include "structure.h"

namespace {

using tavro::scene::RgbImage;

// The turtle library's camera: this high above the plane, looking down.
constexpr double kEyeHeight = 40;

// Pixels per turtle step at the default camera (eye 40 above the plane)
// in a view kHeight pixels high: half the height over the half-height the
// field of view shows at that distance, one step being 0.05 units.
double pixelsPerStep(int height)
{
    double half = kEyeHeight * std::tan(tavro::scene::FieldOfView(height) / 2 * M_PI / 180);
    return height / 2.0 / half * 0.05;
}

bool darkNear(const RgbImage& image, int x, int y)
{
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const uint8_t* p = image.At(x + dx, y + dy);
            if (p[0] < 100 && p[1] < 100 && p[2] < 100) return true;
        }
    return false;
}

int countPixels(const RgbImage& image, bool (*match)(const uint8_t*))
{
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (match(image.At(x, y))) ++n;
    return n;
}

bool red(const uint8_t* p) { return p[0] > 180 && p[1] < 80 && p[2] < 80; }
bool bright(const uint8_t* p) { return p[0] > 180 && p[1] > 180 && p[2] > 150; }

TEST_F(TurtleSceneTest, TurtleIsAtHomeFromTheStartUntilHidden)
{
    EXPECT_TRUE(Near(Centre(), {0, 153, 0}, 40));
    EXPECT_EQ(Words(Scene.Pick(kWidth / 2, kHeight / 2, tavro::scene::kPickTopMembers, 1)),
              std::vector<std::string>{"turtle.now"});
    EXPECT_TRUE(Run("hideturtle"));
    EXPECT_TRUE(Near(Centre(), {255, 255, 255}));
    EXPECT_TRUE(Run("showturtle"));
    EXPECT_TRUE(Near(Centre(), {0, 153, 0}, 40));
}

// fd goes up the screen and rt turns clockwise: the square's four sides
// lie where the default camera puts them.
TEST_F(TurtleSceneTest, SquareShowsItsFourSides)
{
    ASSERT_TRUE(Run("hideturtle\nrepeat 4 [fd 30 rt 90]"));
    Scene.Paint({255, 255, 255});
    RgbImage image = View.Read();
    double side = 30 * pixelsPerStep(kHeight);
    int cx = kWidth / 2, cy = kHeight / 2;
    int half = int(std::lround(side / 2)), full = int(std::lround(side));
    EXPECT_TRUE(darkNear(image, cx, cy - half)) << "left side";
    EXPECT_TRUE(darkNear(image, cx + half, cy - full)) << "top side";
    EXPECT_TRUE(darkNear(image, cx + full, cy - half)) << "right side";
    EXPECT_TRUE(darkNear(image, cx + half, cy)) << "bottom side";
    EXPECT_FALSE(darkNear(image, cx - half, cy + half)) << "nothing below left";
}

TEST_F(TurtleSceneTest, TrailTakesThePenColourAndStopsWithThePen)
{
    ASSERT_TRUE(Run("hideturtle\nsetpencolor 1 0 0\nrepeat 4 [fd 20 rt 90]"));
    Scene.Paint({255, 255, 255});
    int square = countPixels(View.Read(), red);
    EXPECT_GT(square, 40);
    ASSERT_TRUE(Run("penup\nbk 30\npendown\nsetpencolor 0 0 1\nfd 5"));
    Scene.Paint({255, 255, 255});
    EXPECT_EQ(countPixels(View.Read(), red), square);
    ASSERT_TRUE(Run("clean"));
    Scene.Paint({255, 255, 255});
    EXPECT_EQ(countPixels(View.Read(), red), 0);
}

// A label's capitals stand 10 steps tall on the turtle's place, its text
// running to the right.
TEST_F(TurtleSceneTest, LabelWritesAtTheTurtlesPlace)
{
    ASSERT_TRUE(Run("hideturtle\npenup\nfd 20\nsetpencolor 1 0 0"));
    Scene.Paint({255, 255, 255});
    EXPECT_EQ(countPixels(View.Read(), red), 0);
    ASSERT_TRUE(Run("turtlelabel [Hi]"));
    Scene.Paint({255, 255, 255});
    RgbImage image = View.Read();
    double step = pixelsPerStep(kHeight);
    int x0 = kWidth / 2, y0 = int(std::lround(kHeight / 2 - 20 * step));
    int inBox = 0, all = countPixels(image, red);
    for (int y = int(y0 - 10 * step) - 1; y <= y0 + 1; ++y)
        for (int x = x0 - 1; x <= int(x0 + 16 * step) + 1; ++x)
            if (red(image.At(x, y))) ++inBox;
    EXPECT_GT(all, 20);
    EXPECT_EQ(inBox, all);
}

// At full speed the steps of a run record the open piece with the arrow
// head once, when a frame shows them or the run ends, however long the
// trail: finished pieces keep the list they got once. A slowed turtle
// records every step, to be watched.
TEST_F(TurtleSceneTest, StepsCostTheSameHoweverLongTheTrail)
{
    ASSERT_TRUE(Run("fd 1"));
    uint64_t before = Scene.ListsCompiled();
    ASSERT_TRUE(Run("repeat 10 [fd 5 rt 36]"));
    EXPECT_EQ(Scene.ListsCompiled() - before, 1u);

    ASSERT_TRUE(Run("repeat 1009 [fd 1 rt 1]"));
    ASSERT_EQ(Run("print :turtlestate.pieces"), true);
    EXPECT_EQ(Env.Lines.back(), "10 ");
    uint32_t first = Scene.ListOf(Node("turtle.trail.c1.p1"));
    ASSERT_NE(first, 0u);
    before = Scene.ListsCompiled();
    ASSERT_TRUE(Run("repeat 10 [fd 1 rt 1]"));
    EXPECT_EQ(Scene.ListsCompiled() - before, 1u);
    EXPECT_EQ(Scene.ListOf(Node("turtle.trail.c1.p1")), first);

    before = Scene.ListsCompiled();
    ASSERT_TRUE(Run("speed 10\nrepeat 2 [fd 1 rt 1]\nspeed 0"));
    EXPECT_EQ(Scene.ListsCompiled() - before, 4u);

    // A finished piece records as many lists in the third chapter of the
    // trail as in the first.
    auto oneMorePiece = [&] {
        uint64_t start = Scene.ListsCompiled();
        EXPECT_TRUE(Run("repeat 100 [fd 1 rt 1]"));
        return Scene.ListsCompiled() - start;
    };
    uint64_t early = oneMorePiece();
    ASSERT_TRUE(Run("repeat 12000 [fd 1 rt 1]"));
    ASSERT_TRUE(Run("print :turtlestate.pieces"));
    EXPECT_EQ(Env.Lines.back(), "131 ");
    ASSERT_NE(Node("turtle.trail.c3.p131"), nullptr);
    EXPECT_EQ(oneMorePiece(), early);
}

// A drawing put off until the run's end whose node is erased meanwhile is
// dropped, and the collector may take the node.
TEST_F(TurtleSceneTest, ErasedTurtleDrawsNothingAtTheRunsEnd)
{
    ASSERT_TRUE(Run("fd 10\nerase \"turtle"));
    EXPECT_EQ(Node("turtle.now"), nullptr);
    tavro::CollectGarbage();
    ASSERT_TRUE(Run("print 1"));
    EXPECT_EQ(Env.Lines.back(), "1 ");
    EXPECT_TRUE(Near(Centre(), {255, 255, 255}));
}

// A picture taken in the middle of a run shows the turtle's latest step,
// not the state the last frame showed.
TEST_F(TurtleSceneTest, PictureInARunShowsTheLatestStep)
{
    std::string file = ::testing::TempDir() + "tavro-turtle-mid.jpg";
    ASSERT_TRUE(Run("hideturtle\nsetpencolor 1 0 0\nsetpensize 4\nrepeat 4 [fd 40 rt 90]\nsavepicture \"'" + file +
                    "'\nclean"));
    RgbImage mid;
    std::string error;
    ASSERT_TRUE(tavro::scene::ReadJpeg(file, mid, error)) << error;
    EXPECT_GT(countPixels(mid, red), 40);
    std::remove(file.c_str());
}

TEST_F(TurtleSceneTest, DefaultPenShowsOnADarkPlane)
{
    ASSERT_TRUE(Run("setbackground 0 0 0.2\nhideturtle\nrepeat 4 [fd 20 rt 90]"));
    Scene.Paint({255, 255, 255});
    EXPECT_GT(countPixels(View.Read(), bright), 40);
    ASSERT_TRUE(Run("print pencolor"));
    EXPECT_EQ(Env.Lines.back(), "[0.95 0.95 0.85] ");
}

TEST_F(TurtleSceneTest, BackgroundRepaintsAtOnce)
{
    ASSERT_TRUE(Run("background 1 0 0 1"));
    // No paint in between: the view holds the frame the word drew.
    const uint8_t* p = View.Read().At(3, 3);
    EXPECT_TRUE(Near({p[0], p[1], p[2]}, {255, 0, 0}));
}

TEST_F(TurtleSceneTest, WheelAndOrbitMoveTheCameraTheProgramReads)
{
    Scene.Zoom(1);
    ASSERT_TRUE(Run("print geteye"));
    EXPECT_EQ(Env.Lines.back(), "[0 0 34] ");
    Scene.Zoom(-1);
    EXPECT_NEAR(Scene.Eye().z, kEyeHeight, 1e-9);

    // A quarter turn across, about the up vector Y: the eye goes to -X.
    Scene.Orbit(90, 0);
    EXPECT_NEAR(Scene.Eye().x, -kEyeHeight, 1e-9);
    EXPECT_NEAR(Scene.Eye().z, 0, 1e-9);
    // Upwards the orbit stops short of the up vector.
    Scene.Orbit(0, 120);
    double elevation = std::asin(Scene.Eye().y / kEyeHeight) * 180 / M_PI;
    EXPECT_NEAR(elevation, 89, 1e-6);
    ASSERT_TRUE(Run("make \"e geteye\nprint (item 2 :e) > 39.99"));
    EXPECT_EQ(Env.Lines.back(), "true ");

    Scene.RestoreProgramCamera();
    ASSERT_TRUE(Run("print geteye"));
    EXPECT_EQ(Env.Lines.back(), "[0 0 40] ");
}

// Fit frames a drawing far larger than the view: afterwards it lies
// inside the view on every side, and fills most of it.
TEST_F(TurtleSceneTest, FitFramesEveryCornerOfALargeDrawing)
{
    ASSERT_TRUE(Run("hideturtle\nsetpencolor 1 0 0\nrt 30\nrepeat 4 [fd 3000 rt 90]"));
    ASSERT_TRUE(Scene.Fit());
    Scene.Paint({255, 255, 255});
    RgbImage image = View.Read();
    int left = kWidth, right = -1, top = kHeight, bottom = -1;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (red(image.At(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GT(left, 0);
    EXPECT_GT(top, 0);
    EXPECT_LT(right, kWidth - 1);
    EXPECT_LT(bottom, kHeight - 1);
    EXPECT_GT(bottom - top, kHeight / 2);
    // The look-at point moved to the middle of the drawing, and the
    // program reads it.
    tavro::scene::Vector3 low, high;
    ASSERT_TRUE(Scene.DrawingBounds(low, high));
    EXPECT_NEAR(Scene.LookAt().x, (low.x + high.x) / 2, 1e-6);
    EXPECT_NEAR(high.x - low.x, 0.05 * 3000 * (std::cos(M_PI / 6) + std::sin(M_PI / 6)), 0.01);
}

}  // namespace
