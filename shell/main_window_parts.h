// What the main window's files share: the defaults of its caption and
// font, and small helpers of its menus and files. Only the main window's
// own files include this.
#pragma once

#include <QMenu>
#include <filesystem>
#include <string>

#include <QMdiArea>
#include <algorithm>

#include "arrange.h"
#include "tool_window.h"
#include "configuration.h"
#include "menu_style.h"

namespace tavro::shell {

inline constexpr const char* kDefaultTitle = "Tavro " TAVRO_VERSION;
inline constexpr int kDefaultFontSize = 10;

inline std::string upper(std::string s)
{
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A path inside the executable's folder, as the libraries menu shows it:
// relative to that folder.
inline std::string relativeToExecutable(std::string path)
{
    const std::string& exe = desktop::Folders().Executable;
    if (path.compare(0, exe.size(), exe) == 0) path = path.substr(exe.size());
    return path;
}

inline bool fileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// The open window of a single-instance kind, or a new one: shown (placed
// by `place` when opened while the environment runs), then made ready. No
// other window moves.
template <class Window, class Place, class Ready>
Window* openSingle(Window* open, bool place, Place placer, Ready ready)
{
    if (open) return open;
    auto* w = new Window();
    w->show();
    if (place) placer(w);
    ready(w);
    return w;
}

// Moves a window that opened partly outside the workspace in, so that it
// shows whole (as far as the workspace holds it).
inline void keepInside(QWidget* w)
{
    QMdiArea* area = Workspace();
    if (!area) return;
    QSize room = area->viewport()->size();
    QRect g = w->geometry();
    g.setSize(g.size().boundedTo(room));
    g.moveLeft(std::max(0, std::min(g.left(), room.width() - g.width())));
    g.moveTop(std::max(0, std::min(g.top(), room.height() - g.height())));
    w->setGeometry(g);
}

inline desktop::MenuStyle* menuStyle()
{
    static desktop::MenuStyle* style = new desktop::MenuStyle();
    return style;
}

inline QMenu* newMenu(QWidget* parent)
{
    auto* m = new QMenu(parent);
    m->setStyle(menuStyle());
    m->setSeparatorsCollapsible(false);
    return m;
}

}  // namespace tavro::shell
