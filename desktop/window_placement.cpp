#include "window_placement.h"

#include <QWidget>

#include "configuration.h"

namespace tavro::desktop {

QRect WritePlacement(const std::string& key, const QWidget* w)
{
    QRect g = w->isMaximized() || w->isMinimized() ? w->normalGeometry() : w->geometry();
    if (!g.isValid()) g = w->geometry();
    ConfigSetInt(key + ".LEFT", g.left());
    ConfigSetInt(key + ".TOP", g.top());
    ConfigSetInt(key + ".WIDTH", g.width());
    ConfigSetInt(key + ".HEIGHT", g.height());
    ConfigSetInt(key + ".STATE", w->isMaximized() ? 2 : w->isMinimized() ? 1 : 0);
    return g;
}

QRect ReadPlacement(const std::string& key)
{
    return QRect(ConfigInt(key + ".LEFT"), ConfigInt(key + ".TOP"), ConfigInt(key + ".WIDTH"),
                 ConfigInt(key + ".HEIGHT"));
}

void ApplyPlacementState(const std::string& key, QWidget* w)
{
    int state = ConfigInt(key + ".STATE");
    if (state == 2)
        w->showMaximized();
    else if (state == 1)
        w->showMinimized();
}

}  // namespace tavro::desktop
