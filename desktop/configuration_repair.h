// A configuration made usable before the environment applies it.
//
// A configuration file that is missing, empty, damaged or written by hand
// may lack keys the environment needs (without LIBRARIES every command
// would fail) or hold values no window can take (MAIN.WIDTH=-5,
// FONT.SIZE=0, a width of a billion pixels). RepairConfiguration fills
// what is missing or not a number from the shipped default configuration
// and says which keys it replaced; ClampConfiguredGeometry brings sizes,
// positions and the font size into the range the screen allows, in the
// list itself, so nothing out of range is ever written back.
#pragma once

#include <QRect>
#include <string>
#include <vector>

namespace tavro::desktop {

// Every key of the shipped configuration `shippedPath` that the loaded
// configuration lacks (or holds as a malformed number where the shipped
// value is one) is set to the shipped value. Returns the keys so set, in
// the shipped file's order; empty when the shipped file cannot be read.
std::vector<std::string> RepairConfiguration(const std::string& shippedPath);

// The smallest window the configuration may ask for, and the font sizes it
// may give.
constexpr int kSmallestWindowSide = 100;
constexpr int kSmallestFontSize = 6;
constexpr int kLargestFontSize = 72;

// Clamps, in the configuration list, every KEY.WIDTH and KEY.HEIGHT to
// kSmallestWindowSide .. the side of `screen`, every KEY.LEFT and KEY.TOP
// so that the window keeps a corner on `screen`, and FONT.SIZE to the
// font range. Values that are no number are left for their readers.
void ClampConfiguredGeometry(const QRect& screen);

// The message listing the replaced keys (at most ten named, then how many
// more), empty when none were.
std::string RepairMessage(const std::string& configurationName, const std::vector<std::string>& keys);

}  // namespace tavro::desktop
