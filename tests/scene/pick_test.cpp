// Picking: the dotted names of what is drawn around a pixel, in drawing
// order, a repeat of the previous name dropped; mode -1 reports members of
// root members.
#include "scene_fixture.h"
#include "state.h"

namespace {

using Names = std::vector<std::string>;

class PickTest : public SceneTest {
protected:
    Names PickAt(int x, int y, int mode = 0, int radius = 2)
    {
        Scene.Paint({255, 255, 255});
        return Words(Scene.Pick(x, y, mode, radius));
    }
};

TEST_F(PickTest, QuadricsAndTheirContainersPickWithoutCrashing)
{
    ASSERT_TRUE(
        Run("to ball.ondrawimage\n  sphere 1\n  sphere 0.5\nend\n"
            "to group.cone.ondrawimage\n  cone 1 2\n  cylinder 0.5 1\n  disk 1\nend\n"
            "to group.top.ondrawimage\n  sphere 0.7\n  torus 1 0.2\nend\n"
            "make \"group.ondrawimage [[]]\n"));
    // Drawing order: newest root member first.
    EXPECT_EQ(PickAt(kWidth / 2, kHeight / 2), (Names{"group.top", "group.cone", "ball"}));
    EXPECT_EQ(PickAt(kWidth / 2, kHeight / 2, -1), (Names{"group.top", "group.cone", "ball"}));
    EXPECT_EQ(PickAt(2, 2), Names{});
}

TEST_F(PickTest, RepeatedHitsOfOneObjectAreReportedOnce)
{
    // Two drawings of the same member through drawchild give two records
    // in a row with the same name.
    ASSERT_TRUE(
        Run("to parts.a.ondrawimage\n  cube 2\nend\n"
            "to parts.ondrawimage\n  drawchild \"parts.a\n  move 0 0 0.1\n  drawchild "
            "\"parts.a\nend\n"));
    EXPECT_EQ(PickAt(kWidth / 2, kHeight / 2), (Names{"parts.a"}));
}

TEST_F(PickTest, ModeMinusOneClimbsToTheMemberOfARootMember)
{
    ASSERT_TRUE(Run(
        "to a.b.c.d.ondrawimage\n  cube 2\nend\n"
        "make \"a.b.c.ondrawimage [[]]\nmake \"a.b.ondrawimage [[]]\nmake \"a.ondrawimage [[]]\n"));
    EXPECT_EQ(PickAt(kWidth / 2, kHeight / 2), (Names{"a.b.c.d"}));
    EXPECT_EQ(PickAt(kWidth / 2, kHeight / 2, -1), (Names{"a.b"}));
    // A root member's own drawing is reported as itself.
    ASSERT_TRUE(Run("to e.ondrawimage\n  move 0 0 -0.5\n  cube 1\nend\n"));
    EXPECT_EQ(PickAt(kWidth / 2, kHeight / 2, -1), (Names{"e", "a.b"}));
}

TEST_F(PickTest, PickingLeavesTheFrameAsItWas)
{
    ASSERT_TRUE(Run("to ball.ondrawimage\n  color 1 0 0\n  sphere 2\nend\n"));
    Rgb before = Centre();
    EXPECT_EQ(Words(Scene.Pick(kWidth / 2, kHeight / 2, 0, 0)), (Names{"ball"}));
    EXPECT_TRUE(Near(Centre(), before, 0));
    EXPECT_TRUE(Run("print pickobjects 80 60 0 3"));
    EXPECT_EQ(Env.Lines.back(), "[ball] ");
}

TEST_F(PickTest, NothingToPickWithoutAView)
{
    ASSERT_TRUE(Run("to ball.ondrawimage\n  sphere 2\nend\n"));
    Scene.CloseView();
    EXPECT_EQ(Scene.Pick(kWidth / 2, kHeight / 2, 0, 2), nullptr);
    EXPECT_TRUE(Run("print pickobjects 80 60 0 3"));
    EXPECT_EQ(Env.Lines.back(), "[] ");
}

}  // namespace
