#include "program_files.h"

#include <QMdiArea>
#include <algorithm>
#include <filesystem>

#include "configuration.h"
#include "executor.h"
#include "source_window.h"
#include "tool_window.h"
#include "window_placement.h"

namespace tavro::shell {

using namespace desktop;

namespace fs = std::filesystem;

namespace {

HelpLookup gHelpLookup;
WindowBatch* gBatch = nullptr;

std::string normalPath(const std::string& path)
{
    std::error_code ec;
    return fs::absolute(path, ec).lexically_normal().string();
}

}  // namespace

SourceWindow* OpenSourceWindow(const QRect& bounds, const std::string& path)
{
    // A window opened near the workspace's far edges moves in so that it
    // shows whole, at its size; no other window moves.
    QRect place = bounds;
    if (QMdiArea* area = Workspace()) {
        QSize room = area->viewport()->size();
        place.moveLeft(std::max(0, std::min(place.left(), room.width() - place.width() - 5)));
        place.moveTop(std::max(0, std::min(place.top(), room.height() - place.height() - 5)));
    }
    SetInitialBounds(place.left(), place.top(), place.width(), place.height());
    auto* w = new SourceWindow();
    // A file that cannot be read gives its message and no window at all.
    if (path.empty()) {
        w->NewFile();
    } else if (!w->LoadFile(path)) {
        delete w;
        return nullptr;
    }
    if (gBatch) {
        gBatch->opened_.push_back(w);
        return w;
    }
    w->show();
    w->BringToFront();
    return w;
}

WindowBatch::WindowBatch() : outer_(gBatch) { gBatch = this; }

WindowBatch::~WindowBatch()
{
    gBatch = outer_;
    QMdiArea* area = Workspace();
    const bool hide = area && area->isVisible() && opened_.size() > 1;
    if (hide) area->hide();
    SourceWindow* last = nullptr;
    for (const QPointer<SourceWindow>& w : opened_)
        if (w) {
            w->show();
            last = w;
        }
    if (hide) area->show();
    if (last) last->BringToFront();
}

bool SamePath(const std::string& a, const std::string& b) { return normalPath(a) == normalPath(b); }

SourceWindow* WindowOfFile(const std::string& path)
{
    if (path.empty()) return nullptr;
    for (SourceWindow* w : SourceWindows())
        if (!w->FileName().empty() && SamePath(w->FileName(), path)) return w;
    return nullptr;
}

std::string FileOfWord(const std::string& word)
{
    if (word.empty()) return {};
    std::string candidate = word;
    if (fs::path(candidate).extension().empty()) candidate += ".tvr";
    candidate = ResolveProgramPath(candidate);
    std::error_code ec;
    return fs::is_regular_file(candidate, ec) ? candidate : std::string();
}

void SetHelpLookup(HelpLookup lookup) { gHelpLookup = std::move(lookup); }
bool HelpLookupAvailable() { return bool(gHelpLookup); }

void LookUpHelp(const std::string& topic)
{
    if (gHelpLookup) gHelpLookup(topic);
}

void RestoreSourceWindows(int count)
{
    WindowBatch batch;

    for (int n = 1; n <= count; ++n) {
        std::string key = "USER" + std::to_string(n);
        std::string file = ConfigValue(key + ".FILENAME");
        if (SourceWindow* w = OpenSourceWindow(ReadPlacement(key), file.empty() ? std::string() : normalPath(file)))
            ApplyPlacementState(key, w);
    }
}

void SaveSourceWindows()
{
    const auto& windows = SourceWindows();
    ConfigSetInt("USERS", int(windows.size()));
    int n = 0;
    for (SourceWindow* w : windows) {
        std::string key = "USER" + std::to_string(++n);
        ConfigSet(key + ".FILENAME", w->FileName());  // empty: the line goes
        QRect g = WritePlacement(key, w);
        ConfigSetInt("SOURCE.WIDTH", g.width());
        ConfigSetInt("SOURCE.HEIGHT", g.height());
    }
}

bool QuerySourceWindowsAtExit()
{
    std::vector<SourceWindow*> windows = SourceWindows();
    for (SourceWindow* w : windows)
        if (!w->QueryClose()) return false;
    return true;
}

}  // namespace tavro::shell
