// Display lists follow the name tree: built on assignment, rebuilt only
// along the changed path, deleted with their node, deferred on request.
#include "run_control.h"
#include "scene_fixture.h"
#include "structure.h"

namespace {

const char* kSolarSystem =
    "make \"sun.size 2\n"
    "to sun.ondrawimage\n  color 1 1 0\n  sphere :size\nend\n"
    "make \"system.planet.size 1\n"
    "to system.planet.ondrawimage\n  color 0 0 1\n  sphere :size\nend\n"
    "make \"system.moon.size 0.5\n"
    "to system.moon.ondrawimage\n  move 4 0 0\n  sphere :size\nend\n"
    "make \"system.ondrawimage [[]]\n";

TEST_F(SceneTest, AssignmentRebuildsTheNodeAndItsAncestorsOnly)
{
    ASSERT_TRUE(Run(kSolarSystem));
    for (const char* name : {"sun", "system", "system.planet", "system.moon"})
        EXPECT_TRUE(Scene.HasDisplayList(Node(name))) << name;
    EXPECT_FALSE(Scene.HasDisplayList(Node("system.planet.size")));

    uint64_t before = Scene.ListsCompiled();
    ASSERT_TRUE(Run("make \"system.planet.size 3"));
    // planet.size draws nothing; planet and the system container do.
    EXPECT_EQ(Scene.ListsCompiled() - before, 2u);
    EXPECT_TRUE(Scene.HasDisplayList(Node("sun")));
}

TEST_F(SceneTest, ContainerShowsItsMembersRebuiltAlone)
{
    ASSERT_TRUE(
        Run("make \"shade 1\nto box.ball.ondrawimage\n  color :shade 0 0\n  sphere 0.5\nend\n"
            "make \"box.ondrawimage [[]]\n"));
    uint32_t container = Scene.ListOf(Node("box"));
    ASSERT_NE(container, 0u);
    EXPECT_TRUE(Near(Centre(), {255, 0, 0}));
    // A global the ball reads changes: nothing is rebuilt by itself.
    ASSERT_TRUE(Run("make \"shade 0"));
    EXPECT_TRUE(Near(Centre(), {255, 0, 0}));
    // Service 10 rebuilds the ball alone, under its old list name, and
    // the container's call still reaches it.
    uint32_t ball = Scene.ListOf(Node("box.ball"));
    uint64_t before = Scene.ListsCompiled();
    ASSERT_TRUE(Run("rebuild \"box.ball"));
    EXPECT_EQ(Scene.ListsCompiled() - before, 1u);
    EXPECT_EQ(Scene.ListOf(Node("box.ball")), ball);
    EXPECT_EQ(Scene.ListOf(Node("box")), container);
    EXPECT_TRUE(Near(Centre(), {0, 0, 0}));
}

TEST_F(SceneTest, NodesThatNeverDraw)
{
    // A container without drawing members has no list.
    ASSERT_TRUE(Run("make \"empty.x 1\nmake \"empty.ondrawimage [[]]"));
    EXPECT_FALSE(Scene.HasDisplayList(Node("empty")));
    // Hidden nodes draw nothing.
    ASSERT_TRUE(Run("make \"h.x 1\nhide \"h\nto h.ondrawimage\n  sphere 2\nend\n"));
    EXPECT_FALSE(Scene.HasDisplayList(Node("h")));
    EXPECT_TRUE(Near(Centre(), {255, 255, 255}));
    // An anonymous temporary "[]" is never drawn.
    tavro::Atom* anon = tavro::CreatePath(tavro::RootNode(), "[]", nullptr, false);
    tavro::Atom* draw = tavro::CreatePath(anon, "ondrawimage", nullptr, true);
    draw->Left = Node("h.ondrawimage")->Left;
    Scene.BuildDisplayList(anon);
    EXPECT_FALSE(Scene.HasDisplayList(anon));
}

TEST_F(SceneTest, CollectorDeletesTheListsOfFreedNodes)
{
    ASSERT_TRUE(Run(kSolarSystem));
    tavro::Atom* sun = Node("sun");
    uint32_t name = Scene.ListOf(sun);
    ASSERT_NE(name, 0u);
    ASSERT_TRUE(Run("erase \"sun"));
    tavro::CollectGarbage();
    EXPECT_FALSE(Scene.HasDisplayList(sun));
    EXPECT_EQ(Scene.NodeOfList(name), nullptr);
    EXPECT_TRUE(Scene.HasDisplayList(Node("system")));
}

TEST_F(SceneTest, ResetLeavesNoListBehind)
{
    ASSERT_TRUE(Run(kSolarSystem));
    tavro::Atom* planet = Node("system.planet");
    tavro::Reset();
    tavro::CollectGarbage();
    EXPECT_FALSE(Scene.HasDisplayList(planet));
    EXPECT_TRUE(Near(Centre(), {255, 255, 255}));
}

TEST_F(SceneTest, FrozenSceneBuildsNothingUntilThawedThenEverythingOnce)
{
    ASSERT_TRUE(Run(kSolarSystem));
    uint64_t frames = Scene.FramesDrawn();
    uint64_t before = Scene.ListsCompiled();
    ASSERT_TRUE(Run("freezescene\nmake \"sun.size 3\nmake \"system.planet.size 2\nredraw"));
    EXPECT_EQ(Scene.ListsCompiled(), before);
    EXPECT_EQ(Scene.FramesDrawn(), frames);
    ASSERT_TRUE(Run("unfreezescene"));
    // sun, system, planet, moon
    EXPECT_EQ(Scene.ListsCompiled() - before, 4u);
    EXPECT_EQ(Scene.FramesDrawn(), frames + 1);
    EXPECT_TRUE(Scene.HasDisplayList(Node("sun")));
}

TEST_F(SceneTest, ErrorInADrawingClosesTheListAndRestoresTheContext)
{
    int depth = tavro::ContextDepth();
    EXPECT_FALSE(Run("to bad.ondrawimage\n  sphere 1\n  nosuchword 3\nend\n"));
    EXPECT_EQ(tavro::ContextDepth(), depth);
    // The GL state is sane: further lists compile and draw.
    ASSERT_TRUE(Run("erase \"bad\nto good.ondrawimage\n  color 1 0 0\n  sphere 0.5\nend\n"));
    EXPECT_TRUE(Near(Centre(), {255, 0, 0}));
}

TEST_F(SceneTest, ListChangesInsideADrawingAreNotNested)
{
    // The drawing assigns another drawn object: that build would nest a
    // list compilation and is skipped instead of breaking this one.
    ASSERT_TRUE(
        Run("to other.ondrawimage\n  sphere 1\nend\n"
            "to outer.ondrawimage\n  make \"other.x 1\n  color 1 0 0\n  sphere 2\nend\n"));
    EXPECT_TRUE(Scene.HasDisplayList(Node("outer")));
    EXPECT_TRUE(Near(Centre(), {255, 0, 0}));
}

}  // namespace
