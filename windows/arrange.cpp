#include "arrange.h"

#include <algorithm>

namespace tavro {

namespace {

bool keepInside(WindowRect& w, int cw, int ch)
{
    bool changed = false;
    auto shiftX = [&](int d) { w.Left += d; w.Right += d; changed = true; };
    auto shiftY = [&](int d) { w.Top += d; w.Bottom += d; changed = true; };
    if (w.Left < 0) shiftX(-w.Left);
    if (w.Top < 0) shiftY(-w.Top);
    if (int d = w.Right - cw + 5; d > 0) shiftX(-d);
    if (int d = w.Bottom - ch + 5; d > 0) shiftY(-d);
    return changed;
}

bool minimumSize(WindowRect& w)
{
    bool changed = false;
    if (int d = w.MinWidth - (w.Right - w.Left); d > 0) {
        w.Left -= d / 2;
        w.Right += d - d / 2;
        changed = true;
    }
    if (int d = w.MinHeight - (w.Bottom - w.Top); d > 0) {
        w.Top -= d / 2;
        w.Bottom += d - d / 2;
        changed = true;
    }
    return changed;
}

bool overlap(const WindowRect& a, const WindowRect& b)
{
    return !(a.Right < b.Left || b.Right < a.Left || a.Bottom < b.Top || b.Bottom < a.Top);
}

// The cheapest way apart: 0 = i right, 1 = i left, 2 = i down, 3 = i up.
int cheapestDirection(const WindowRect& i, const WindowRect& j, int& distance)
{
    const int d[4] = {j.Right - i.Left + 1, i.Right - j.Left + 1, j.Bottom - i.Top + 1, i.Bottom - j.Top + 1};
    int best = 0;
    for (int k = 1; k < 4; ++k)
        if (d[k] < d[best]) best = k;
    distance = d[best];
    return best;
}

bool separate(WindowRect& i, WindowRect& j)
{
    if (!overlap(i, j)) return false;
    int d = 0;
    int dir = cheapestDirection(i, j, d);
    int mi = d - d / 2, mj = d / 2;
    switch (dir) {
    case 0: i.Left += mi; i.Right += mi; j.Left -= mj; j.Right -= mj; break;
    case 1: i.Left -= mi; i.Right -= mi; j.Left += mj; j.Right += mj; break;
    case 2: i.Top += mi; i.Bottom += mi; j.Top -= mj; j.Bottom -= mj; break;
    default: i.Top -= mi; i.Bottom -= mi; j.Top += mj; j.Bottom += mj; break;
    }
    return true;
}

bool shrink(WindowRect& i, WindowRect& j)
{
    if (!overlap(i, j)) return false;
    int d = 0;
    int dir = cheapestDirection(i, j, d);
    // Windows at their minimum size stay as they are, overlapping.
    bool across = dir < 2;
    if (across ? (i.Right - i.Left <= i.MinWidth || j.Right - j.Left <= j.MinWidth)
               : (i.Bottom - i.Top <= i.MinHeight || j.Bottom - j.Top <= j.MinHeight))
        return false;
    switch (dir) {
    case 0: i.Left += 1; j.Right -= 1; break;
    case 1: i.Right -= 1; j.Left += 1; break;
    case 2: i.Top += 1; j.Bottom -= 1; break;
    default: i.Bottom -= 1; j.Top += 1; break;
    }
    return true;
}

bool pass(std::vector<WindowRect>& t, size_t n, int cw, int ch, bool withSeparation)
{
    for (size_t k = 0; k < n; ++k)
        if (keepInside(t[k], cw, ch)) return true;
    for (size_t k = 0; k < n; ++k)
        if (minimumSize(t[k])) return true;
    if (withSeparation)
        for (size_t i = 0; i < n; ++i)
            for (size_t j = i + 1; j < n; ++j)
                if (separate(t[i], t[j])) return true;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (shrink(t[i], t[j])) return true;
    return false;
}

}  // namespace

void RelaxWindowTable(std::vector<WindowRect>& table, int clientWidth, int clientHeight)
{
    size_t n = std::min(table.size(), size_t(kMaxArrangedWindows));
    for (int p = 0; p < 32 && pass(table, n, clientWidth, clientHeight, true); ++p) {
    }
    for (int p = 0; p < 500 && pass(table, n, clientWidth, clientHeight, false); ++p) {
    }
}

namespace {

long long coveredArea(const WindowRect& a, const WindowRect& b)
{
    long long w = std::min(a.Right, b.Right) - std::max(a.Left, b.Left);
    long long h = std::min(a.Bottom, b.Bottom) - std::max(a.Top, b.Top);
    return w > 0 && h > 0 ? w * h : 0;
}

long long coveredArea(const WindowRect& a, const std::vector<WindowRect>& list)
{
    long long sum = 0;
    for (const WindowRect& r : list) sum += coveredArea(a, r);
    return sum;
}

WindowRect rectAt(int x, int y, int w, int h) { return {x, x + w, y, y + h}; }

}  // namespace

WindowRect FreePlace(int cw, int ch, int leastW, int leastH, int wantW, int wantH,
                     const std::vector<WindowRect>& avoid, const std::vector<WindowRect>& others)
{
    wantW = std::max(1, std::min(wantW, cw));
    wantH = std::max(1, std::min(wantH, ch));
    leastW = std::min(leastW, wantW);
    leastH = std::min(leastH, wantH);
    // Corners to try: the workspace's, and those next to every window.
    std::vector<int> xs{0, cw - wantW, cw - leastW}, ys{0, ch - wantH, ch - leastH};
    for (const auto* list : {&avoid, &others})
        for (const WindowRect& r : *list) {
            xs.insert(xs.end(), {r.Right + 1, r.Left - wantW - 1, r.Left - leastW - 1});
            ys.insert(ys.end(), {r.Bottom + 1, r.Top - wantH - 1, r.Top - leastH - 1});
        }
    bool found = false;
    WindowRect best;
    long long bestArea = 0, bestCover = 0;
    for (int y : ys) {
        if (y < 0 || y + leastH > ch) continue;
        for (int x : xs) {
            if (x < 0 || x + leastW > cw) continue;
            // As wide, then as high, as the workspace and the windows to
            // avoid let it be.
            int w = std::min(wantW, cw - x), h = std::min(wantH, ch - y);
            for (const WindowRect& r : avoid)
                if (coveredArea(rectAt(x, y, w, leastH), r) > 0) w = std::min(w, r.Left - 1 - x);
            if (w < leastW) continue;
            for (const WindowRect& r : avoid)
                if (coveredArea(rectAt(x, y, w, h), r) > 0) h = std::min(h, r.Top - 1 - y);
            if (h < leastH) continue;
            WindowRect place = rectAt(x, y, w, h);
            if (coveredArea(place, avoid) > 0) continue;
            long long area = (long long)w * h, cover = coveredArea(place, others);
            bool better = !found || area > bestArea || (area == bestArea && cover < bestCover) ||
                          (area == bestArea && cover == bestCover &&
                           (y < best.Top || (y == best.Top && x < best.Left)));
            if (better) {
                found = true;
                best = place;
                bestArea = area;
                bestCover = cover;
            }
        }
    }
    if (found) return best;
    // No room beside them: on top, where it hides the least of them.
    WindowRect onTop = rectAt(cw - wantW, 0, wantW, wantH);
    long long least = coveredArea(onTop, avoid);
    for (int y : ys)
        for (int x : xs) {
            if (x < 0 || y < 0 || x + wantW > cw || y + wantH > ch) continue;
            WindowRect r = rectAt(x, y, wantW, wantH);
            if (long long c = coveredArea(r, avoid); c < least) {
                least = c;
                onTop = r;
            }
        }
    return onTop;
}

}  // namespace tavro
