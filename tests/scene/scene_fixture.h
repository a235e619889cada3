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

class SceneEnvironment : public tavro::Environment {
public:
    explicit SceneEnvironment(tavro::scene::Scene& scene) : scene_(scene) {}
    void WriteLine(std::string_view text, int, bool) override { Lines.emplace_back(text); }
    void ShowMessage(std::string_view message, std::string_view) override
    {
        Messages.emplace_back(message);
    }
    bool HasDisplayList(tavro::Atom* node) override { return scene_.HasDisplayList(node); }
    void DeleteDisplayList(tavro::Atom* node) override { scene_.DeleteDisplayList(node); }
    void BuildDisplayList(tavro::Atom* node) override { scene_.BuildDisplayList(node); }
    void RedrawScene() override { scene_.Redraw(); }
    intptr_t SceneService(int code, TText* text, long double n1, long double n2, long double n3,
                          long double n4) override
    {
        return tavro::scene::Scene::HandlesService(code) ? scene_.Service(code, text, n1, n2, n3, n4)
                                                         : 0;
    }
    void SetModelMatrix(const float m[16]) override { scene_.SetModelMatrix(m); }

    std::vector<std::string> Lines;
    std::vector<std::string> Messages;

private:
    tavro::scene::Scene& scene_;
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
    SceneEnvironment Env{Scene};
};

// Components equal within the JPEG's and the rasteriser's tolerance.
::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance = 24);
