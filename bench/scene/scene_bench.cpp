// scene_bench - figures of the scene without a window, in Mesa's
// off-screen GL (llvmpipe):
//   - frames per second redrawing N coloured cubes, each its own object
//     with its own display list;
//   - the time to rebuild after one cube of the N changes (it should not
//     grow with N: only the cube and its ancestors are rebuilt), as a
//     whole command and as the scene's part alone.
//
//   scene_bench [N ...]      (default: 1000 10000)
//
// Run from the build tree (bin/scene_bench) so that the libraries are
// found beside it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_services.h"
#include "installation.h"
#include "interpreter.h"
#include "offscreen_view.h"
#include "run_control.h"
#include "scene.h"
#include "scene_environment.h"
#include "state.h"
#include "structure.h"

using namespace tavro;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void run(const std::string& text)
{
    if (RunSystemCommand(text) != rscRan) {
        std::fprintf(stderr, "failed: %s\n%s\n", text.c_str(), LastErrorText.c_str());
        std::exit(1);
    }
}

// N cubes on a square grid in the XY plane, each an object c1, c2, ...
// with its position and colour as members.
const char* kCubes =
    "to drawcube\n  color :r :g :b\n  move :x :y 0\n  cube 0.08\nend\n"
    "to makecube :i :side\n"
    "  local \"n\n  make \"n word \"c :i\n"
    "  make word :n \".x ((remainder :i :side) - :side / 2) * 0.1\n"
    "  make word :n \".y ((int :i / :side) - :side / 2) * 0.1\n"
    "  make word :n \".r (remainder :i 7) / 7\n"
    "  make word :n \".g (remainder :i 5) / 5\n"
    "  make word :n \".b (remainder :i 3) / 3\n"
    "  make word :n \".ondrawimage :drawcube\n"
    "end\n";

void measure(int n)
{
    scene::OffscreenView view;
    std::string error;
    if (!view.Create(640, 480, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    scene::Scene scene;
    scene::SceneEnvironment<> env;
    env.AttachScene(&scene);
    SetEnvironment(&env);
    scene.OpenView(&view, {255, 255, 255});
    Reset();
    run(kCubes);
    int side = 1;
    while (side * side < n) ++side;
    auto start = Clock::now();
    run("freezescene\nrepeat " + std::to_string(n) + " [makecube (repeat) " + std::to_string(side) +
        "]\nunfreezescene");
    double build = secondsSince(start);
    run("eye 0 -12 14");

    scene.Redraw();  // warm up
    int frames = 0;
    start = Clock::now();
    while (frames < 10 || secondsSince(start) < 2.0) {
        scene.Redraw();
        ++frames;
    }
    double fps = frames / secondsSince(start);

    std::string one = "c" + std::to_string(n / 2);
    uint64_t lists = scene.ListsCompiled();
    const int changes = 200;
    start = Clock::now();
    for (int i = 0; i < changes; ++i) run("make \"" + one + ".r " + std::to_string(i % 2));
    double command = secondsSince(start) / changes;
    lists = scene.ListsCompiled() - lists;

    // The scene's part alone: what an assignment asks of it.
    Atom* node = ResolveFrom(RootNode(), one);
    start = Clock::now();
    for (int i = 0; i < changes; ++i) {
        scene.DeleteDisplayList(node);
        for (Atom* a = node; a; a = a->Parent) scene.BuildDisplayList(a);
    }
    double rebuild = secondsSince(start) / changes;
    std::printf(
        "%6d cubes: built in %.2f s, %.1f frames/s; one cube changed: command %.3f ms, "
        "its rebuild %.3f ms (%llu lists compiled for %d changes)\n",
        n, build, fps, command * 1000, rebuild * 1000, (unsigned long long)lists, changes);
    SetEnvironment(nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 10000};
    DeriveFolders();
    CreateState();
    InstallHostServices();
    LibraryCommandText = BuildLibraryCommandText("core.tvr,graphics.tvr,");
    for (int n : sizes) measure(n);
    return 0;
}
