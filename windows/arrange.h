// Automatic arrangement of the tool windows inside the workspace: windows
// are kept inside it, at least their minimum size (100 x 100 unless a
// window asks for more), and apart from each other where that leaves them
// their minimum size.
//
// This is the pure part, over a table of rectangles; the tool-window code
// fills the table from the open windows and moves the ones that changed.
#pragma once

#include <vector>

namespace tavro {

struct WindowRect {
    int Left = 0, Right = 0, Top = 0, Bottom = 0;  // Right = Left + width, Bottom = Top + height
    // The window is never made smaller than this; where keeping windows
    // apart would need it smaller, they overlap instead.
    int MinWidth = 100, MinHeight = 100;
    bool operator==(const WindowRect& o) const
    {
        return Left == o.Left && Right == o.Right && Top == o.Top && Bottom == o.Bottom;
    }
};

// The table holds at most this many windows; windows beyond it are left
// where they are.
constexpr int kMaxArrangedWindows = 128;

// Relaxes the table for a workspace of clientWidth x clientHeight in two
// phases: up to 32 passes of keep-inside, minimum size, separation and
// shrinking, then up to 500 passes without separation. Each pass applies
// the first adjustment that changes something. Entries beyond
// kMaxArrangedWindows are not touched.
void RelaxWindowTable(std::vector<WindowRect>& table, int clientWidth, int clientHeight);

// Where a window that opens goes, in a workspace of clientWidth x
// clientHeight: the place (and size, between `least` and `wanted`) that
// covers none of `avoid` (the active source window, the plane) and is as
// large as it can be, then covers the least of `others`, then lies
// highest and leftmost. Rectangles here are [Left, Right) x [Top, Bottom).
// When no such place holds `least`, the window goes on top at `wanted`
// (cut to the workspace), where it covers the least of `avoid`.
WindowRect FreePlace(int clientWidth, int clientHeight, int leastWidth, int leastHeight, int wantedWidth,
                     int wantedHeight, const std::vector<WindowRect>& avoid, const std::vector<WindowRect>& others);

}  // namespace tavro
