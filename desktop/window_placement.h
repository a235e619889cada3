// A tool window's placement in the configuration: KEY.LEFT, KEY.TOP,
// KEY.WIDTH, KEY.HEIGHT (its normal geometry, also while it is maximized
// or minimized) and KEY.STATE (0 normal, 1 minimized, 2 maximized).
#pragma once

#include <QRect>
#include <string>

class QWidget;

namespace tavro::desktop {

// Writes the placement keys of `window` and returns the geometry written.
QRect WritePlacement(const std::string& key, const QWidget* window);
// The geometry the placement keys of `key` hold.
QRect ReadPlacement(const std::string& key);
// Maximizes or minimizes `window` as KEY.STATE says.
void ApplyPlacementState(const std::string& key, QWidget* window);

}  // namespace tavro::desktop
