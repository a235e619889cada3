#include "main_window.h"

#include <QComboBox>
#include <QLineEdit>

#include "command_window.h"
#include "configuration.h"
#include "environment.h"
#include "info_window.h"
#include "languages.h"
#include "main_window_parts.h"
#include "memory_window.h"
#include "output_window.h"
#include "plane_window.h"
#include "program_files.h"
#include "skin.h"
#include "tool_window.h"

namespace tavro::shell {

using namespace desktop;

// ---- windows

OutputWindow* MainWindow::OpenOutput(bool place)
{
    return openSingle(TheOutputWindow(), place, keepInside, [](OutputWindow*) {});
}

CommandWindow* MainWindow::OpenCommands(bool place)
{
    return openSingle(TheCommandWindow(), place, keepInside, [](CommandWindow* w) { w->CommandLine()->setFocus(); });
}

PlaneWindow* MainWindow::OpenPlane(int left, int top, bool place)
{
    if (!ThePlaneWindow()) SetInitialBounds(left, top, ConfigInt("PLANE.WIDTH"), ConfigInt("PLANE.HEIGHT"));
    return openSingle(ThePlaneWindow(), place, keepInside, [](PlaneWindow* w) { w->RefreshView(); });
}

// The memory and info windows open readable, beside the program the user
// works on, the plane and the command line where there is room.
MemoryWindow* MainWindow::OpenMemory(bool place)
{
    auto placer = [](MemoryWindow* w) {
        PlaceReadable(w, w->Tree(), {ConfigInt("MEMORY.WIDTH"), ConfigInt("MEMORY.HEIGHT")},
                      {FrontSourceWindow(), ThePlaneWindow(), TheCommandWindow()});
    };
    return openSingle(TheMemoryWindow(), place, placer, [](MemoryWindow* w) { w->RebuildTree(); });
}

InfoWindow* MainWindow::OpenInfo(bool place)
{
    auto placer = [](InfoWindow* w) {
        PlaceReadable(w, w->View(), {ConfigInt("WEB.WIDTH"), ConfigInt("WEB.HEIGHT")},
                      {FrontSourceWindow(), ThePlaneWindow(), TheCommandWindow()});
    };
    return openSingle(TheInfoWindow(), place, placer, [](InfoWindow* w) { w->AddressBox()->setFocus(); });
}

void MainWindow::toggleWindow(ToolWindow* open, const std::string& key, const std::function<void()>& opener)
{
    if (open) {
        open->close();
        return;
    }
    SetInitialBounds(popupPoint_.x(), popupPoint_.y(), ConfigInt(key + ".WIDTH"), ConfigInt(key + ".HEIGHT"));
    opener();
}

void MainWindow::ToggleMemory() { toggleWindow(TheMemoryWindow(), "MEMORY", [this] { OpenMemory(); }); }

void MainWindow::ToggleInfo() { toggleWindow(TheInfoWindow(), "WEB", [this] { OpenInfo(); }); }

void MainWindow::TogglePlane()
{
    if (PlaneWindow* p = ThePlaneWindow()) {
        p->close();
        return;
    }
    OpenPlane(popupPoint_.x(), popupPoint_.y());
}

void MainWindow::ToggleOutput() { toggleWindow(TheOutputWindow(), "OUTPUT", [this] { OpenOutput(); }); }

void MainWindow::ToggleCommands() { toggleWindow(TheCommandWindow(), "COMMAND", [this] { OpenCommands(); }); }

}  // namespace tavro::shell
