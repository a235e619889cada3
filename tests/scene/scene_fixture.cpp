#include "scene_fixture.h"

#include <cstdlib>

#include "executor.h"
#include "host_services.h"
#include "installation.h"
#include "interpreter.h"
#include "run_control.h"
#include "state.h"
#include "structure.h"

using namespace tavro;

void SceneTest::SetUp()
{
    std::string error;
    ASSERT_TRUE(View.Create(kWidth, kHeight, error)) << error;
    DestroyState();
    CreateState();
    InstallHostServices();
    Env.AttachScene(&Scene);
    SetEnvironment(&Env);
    DeriveFolders();
    TrueMarker = nullptr;
    FalseMarker = nullptr;
    CurrentCell = nullptr;
    PendingOutput = NoValue;
    LibraryCommandText = BuildLibraryCommandText(Libraries());
    Scene.OpenView(&View, {255, 255, 255});
    Reset();
    ASSERT_TRUE(Env.Messages.empty()) << Env.Messages.front();
}

void SceneTest::TearDown()
{
    SetEnvironment(nullptr);
    TrueMarker = nullptr;
    FalseMarker = nullptr;
    CurrentCell = nullptr;
    DestroyState();
}

bool SceneTest::Run(const std::string& text)
{
    Env.Messages.clear();
    return RunSystemCommand(text) == rscRan && Env.Messages.empty();
}

Rgb SceneTest::PixelAt(int x, int y)
{
    Scene.Paint({255, 255, 255});
    scene::RgbImage image = View.Read();
    const uint8_t* p = image.At(x, y);
    return {p[0], p[1], p[2]};
}

Atom* SceneTest::Node(const std::string& name)
{
    return ResolveFrom(RootNode(), name);
}

std::vector<std::string> SceneTest::Words(Atom* list)
{
    std::vector<std::string> out;
    for (Atom* c = list; c; c = RightOf(c)) out.push_back(ToText(LeftOf(c)));
    return out;
}

::testing::AssertionResult Near(Rgb a, Rgb e, int tolerance)
{
    if (std::abs(a.r - e.r) <= tolerance && std::abs(a.g - e.g) <= tolerance &&
        std::abs(a.b - e.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << a.r << " " << a.g << " " << a.b
                                         << ", expected " << e.r << " " << e.g << " " << e.b;
}
