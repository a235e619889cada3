// An interpreter whose environment draws into an off-screen scene, with
// the core and graphics libraries loaded: programs run as in the IDE and
// their pictures are read back as pixels.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "environment.h"
#include "jpeg.h"
#include "offscreen_view.h"
#include "scene.h"
#include "scene_environment.h"

// The scene environment, recording what a program printed and raised.
class RecordingSceneEnvironment : public tavro::scene::SceneEnvironment<> {
public:
    void WriteLine(std::string_view text, int, bool) override { Lines.emplace_back(text); }
    void ShowMessage(std::string_view message, std::string_view) override
    {
        Messages.emplace_back(message);
    }
    std::vector<std::string> Lines;
    std::vector<std::string> Messages;
};

struct Rgb {
    int r, g, b;
};

class SceneTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    void SetUp() override;
    void TearDown() override;
    // The library programs run after each reset: core and graphics; the
    // turtle's fixture adds the turtle, which draws from the start.
    virtual const char* Libraries() const { return "core.tvr,graphics.tvr,"; }

    // Runs program text like a command typed into the command window;
    // true when it ran without error.
    bool Run(const std::string& text);
    // Draws a frame and reads the pixel at (x, y), y from the top.
    Rgb PixelAt(int x, int y);
    Rgb Centre() { return PixelAt(kWidth / 2, kHeight / 2); }
    tavro::Atom* Node(const std::string& name);
    // The printed forms of a list's elements.
    static std::vector<std::string> Words(tavro::Atom* list);

    tavro::scene::OffscreenView View;
    tavro::scene::Scene Scene;
    RecordingSceneEnvironment Env;
};

class TurtleSceneTest : public SceneTest {
protected:
    const char* Libraries() const override { return "core.tvr,graphics.tvr,turtle.tvr,"; }
};

// Components equal within the JPEG's and the rasteriser's tolerance.
::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance = 24);
