// The turtle as the plane shows it: nothing before the first command, then
// its arrow head, its trail in the pen's colour, one rebuild per step.
#include "scene_fixture.h"

namespace {

int redPixels(const tavro::scene::RgbImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.At(x, y)[0] > 180 && image.At(x, y)[1] < 80 && image.At(x, y)[2] < 80) ++n;
    return n;
}

TEST_F(SceneTest, TurtleAppearsWithItsFirstCommand)
{
    EXPECT_TRUE(Near(Centre(), {255, 255, 255}));
    EXPECT_TRUE(Run("showturtle"));
    EXPECT_TRUE(Near(Centre(), {0, 153, 0}, 40));
    EXPECT_EQ(Words(Scene.Pick(kWidth / 2, kHeight / 2, 0, 1)), std::vector<std::string>{"turtle"});
    EXPECT_TRUE(Run("hideturtle"));
    EXPECT_TRUE(Near(Centre(), {255, 255, 255}));
}

TEST_F(SceneTest, TrailTakesThePenColourAndStopsWithThePen)
{
    ASSERT_TRUE(Run("hideturtle\nsetpencolor 1 0 0\nrepeat 4 [fd 40 rt 90]"));
    Scene.Paint({255, 255, 255});
    int square = redPixels(View.Read());
    EXPECT_GT(square, 40);
    ASSERT_TRUE(Run("penup\nbk 60\npendown\nsetpencolor 0 0 1\nfd 10"));
    Scene.Paint({255, 255, 255});
    EXPECT_EQ(redPixels(View.Read()), square);
    ASSERT_TRUE(Run("clean"));
    Scene.Paint({255, 255, 255});
    EXPECT_EQ(redPixels(View.Read()), 0);
}

TEST_F(SceneTest, EachTurtleStepRebuildsOneDrawing)
{
    ASSERT_TRUE(Run("fd 1"));
    uint64_t before = Scene.ListsCompiled();
    ASSERT_TRUE(Run("repeat 10 [fd 5 rt 36]"));
    EXPECT_EQ(Scene.ListsCompiled() - before, 20u);
}

}  // namespace
