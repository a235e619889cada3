// The painted frame of a tool window: the skin's border pictures blended
// with the desktop picture, the caption and the buttons, and where a point
// of the frame lies (caption, edges, a button).
#include "tool_window.h"

#include <QFontMetrics>
#include <QFrame>
#include <QPainter>

#include "skin.h"

namespace tavro {

using namespace desktop;

namespace {

// Copies of `tile` down the first column, then along the first row.
QImage tileAlong(const QImage& tile, int w, int h)
{
    QImage out(w, h, QImage::Format_RGB32);
    out.fill(Qt::black);
    if (tile.isNull() || tile.width() == 0 || tile.height() == 0) return out;
    QPainter p(&out);
    for (int k = 0; k <= h / tile.height(); ++k) p.drawImage(0, k * tile.height(), tile);
    for (int k = 1; k <= w / tile.width(); ++k) p.drawImage(k * tile.width(), 0, tile);
    return out;
}

}  // namespace

QImage TransparentByBottomLeft(const QImage& source)
{
    if (source.isNull()) return source;
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    QRgb key = image.pixel(0, image.height() - 1) | 0xFF000000u;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((row[x] | 0xFF000000u) == key) row[x] = 0;
    }
    return image;
}

int ToolWindow::LayoutFrameButtons()
{
    const Skin& s = CurrentSkin();
    int x = width() - s.Right;
    for (auto& b : buttons_) {
        x -= b.Width;
        b.Y = 0;
        b.X = x > s.Left ? x : -100;
    }
    return x;
}

ToolWindow::HitArea ToolWindow::HitTest(QPoint p) const
{
    if (!painted()) {
        // The plain title bar: the panel moves the window, the edge sizes it.
        int W = width(), H = height(), x = p.x(), y = p.y();
        bool right = x >= W - kPlainEdge - 8, bottom = y >= H - kPlainEdge - 8;
        if ((right && bottom) || (right && y >= H - kPlainEdge) || (bottom && x >= W - kPlainEdge)) return hitBottomRight;
        if ((x < kPlainEdge + 8 && y >= H - kPlainEdge) || (x < kPlainEdge && y >= H - kPlainEdge - 8))
            return hitBottomLeft;
        if (x >= W - kPlainEdge) return hitRightEdge;
        if (y >= H - kPlainEdge) return hitBottomEdge;
        if (x < kPlainEdge && y >= kPlainEdge) return hitLeftEdge;
        // The panel lies on the frame surface, the sub-window's widget.
        if (toolbar_->isVisible() && toolbar_->geometry().contains(widget()->mapFrom(this, p))) return hitCaption;
        return x < kPlainEdge || y < kPlainEdge ? hitCaption : hitClient;
    }
    const Skin& s = CurrentSkin();
    int W = width(), H = height(), x = p.x(), y = p.y();
    if (ButtonAt(p) >= 0) return hitClient;
    if (x > s.Left && x < W - s.Right && y > s.Top && y < H - s.Bottom) return hitClient;
    if (y >= H - s.Bottom) {
        if (x <= s.Left) return hitBottomLeft;
        if (x >= W - s.Right) return hitBottomRight;
        return hitBottomEdge;
    }
    if (y <= s.Top) return hitCaption;
    if (x <= s.Left) return hitLeftEdge;
    return hitRightEdge;
}

int ToolWindow::ButtonAt(QPoint p) const
{
    if (!painted()) return -1;  // the panel's own buttons take their clicks
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const auto& b = buttons_[i];
        if (b.X == -100) continue;
        if (p.x() >= b.X && p.x() <= b.X + b.Width && p.y() >= b.Y && p.y() <= b.Y + b.Height) return int(i);
    }
    return -1;
}

QImage ToolWindow::ComposeFrame()
{
    const Skin& s = CurrentSkin();
    int W = width(), H = height(), T = s.Top, B = s.Bottom, L = s.Left, R = s.Right;
    QImage frame(W, H, QImage::Format_RGB32);
    frame.fill(s.Colours.Desktop);
    QPainter p(&frame);
    const QImage& desktop = s.Slots[slotDesktop];
    QPoint origin = pos();
    auto piece = [&](int x, int y, int w, int h, int image, int mask) {
        if (w <= 0 || h <= 0 || s.Slots[image].isNull()) return;  // a missing picture is skipped
        int px = 0, py = 0;
        if (!desktop.isNull()) {
            px = ((origin.x() + x) % desktop.width() + desktop.width()) % desktop.width();
            py = ((origin.y() + y) % desktop.height() + desktop.height()) % desktop.height();
        }
        p.drawImage(x, y, BlendFill(s.Slots[image], s.Slots[mask], desktop, w, h, px, py));
    };
    piece(W - R, T, R, H - T - B, slotR, slotRShade);
    piece(L, 0, W - L - R, T, slotT, slotTShade);
    piece(W - R, 0, R, T, slotTR, slotTRShade);
    int x = LayoutFrameButtons();
    for (const auto& b : buttons_)
        if (b.X != -100) p.drawImage(b.X, b.Y, b.Image);
    piece(L, H - B, W - L - R, B, slotB, slotBShade);
    piece(0, H - B, L, B, slotBL, slotBLShade);
    piece(W - R, H - B, R, B, slotBR, slotBRShade);
    piece(0, 0, L, T, slotTL, slotTLShade);
    piece(0, T, L, H - T - B, slotL, slotLShade);
    // The caption, shortened to the room left of the buttons.
    p.setFont(font());
    p.setPen(s.Colours.Caption);
    QFontMetrics fm(font());
    QString text = ShortenCaption(caption_ + captionMark_, fm, x - L);
    p.drawText(QRect(s.CaptionLeft, s.CaptionTop, std::max(0, W - s.CaptionLeft), std::max(T, fm.height())),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    if (moving_) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, W - 1, H - 1);
        p.setBrush(Qt::black);
        p.setPen(Qt::NoPen);
        for (QPoint c : {QPoint(0, 0), QPoint(W, 0), QPoint(0, H), QPoint(W, H)}) p.drawEllipse(c, 7, 7);
    }
    return frame;
}

QString ShortenCaption(const QString& caption, const QFontMetrics& metrics, int room)
{
    if (metrics.horizontalAdvance(caption) <= room) return caption;
    QString text = caption;
    while (!text.isEmpty() && metrics.horizontalAdvance(text + "...") > room) text.chop(1);
    return text + "...";
}

QImage BlendFill(const QImage& image, const QImage& mask, const QImage& desktop, int w, int h, int phaseX,
                 int phaseY)
{
    QImage picture = tileAlong(image, w, h);
    if (desktop.isNull() || mask.isNull() || desktop.width() == 0 || desktop.height() == 0) return picture;
    QImage shade = tileAlong(mask, w, h);
    QImage background(w, h, QImage::Format_RGB32);
    {
        QPainter p(&background);
        int tw = desktop.width(), th = desktop.height();
        for (int r = 0; r <= h / th + 1; ++r)
            for (int c = 0; c <= w / tw + 1; ++c) p.drawImage(c * tw - phaseX, r * th - phaseY, desktop);
    }
    for (int y = 0; y < h; ++y) {
        auto* out = picture.scanLine(y);
        const auto* m = shade.constScanLine(y);
        const auto* bg = background.constScanLine(y);
        for (int i = 0; i < w * 4; ++i) {
            int mv = m[i];
            if (mv == 0) continue;
            if (mv == 255) {
                out[i] = bg[i];
                continue;
            }
            out[i] = uchar(mv * (int(bg[i]) - int(out[i])) / 255 + out[i]);
        }
    }
    return picture;
}

}  // namespace tavro
