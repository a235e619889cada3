#include "tool_window.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "configuration.h"
#include "environment_font.h"
#include "languages.h"
#include "skin.h"

namespace tavro {

using namespace shell;

namespace {

QRect gInitialBounds(0, 0, 400, 300);
QPointer<QMdiArea> gWorkspace;
bool gStartupComplete = false;
bool gArranging = false;
QPointer<ToolWindow> gCurrentTool;
QPointer<ToolWindow> gCurrentSource;
constexpr int kMaxButtons = 16;

// BUTTONS as read at start-up.
bool buttonsFlag()
{
    static const bool yes = shell::ConfigYes("BUTTONS");
    return yes;
}

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

// The surface fills the sub-window: it paints the frame into its margins
// and turns presses there into moves, resizes and button clicks.
class ToolWindow::FrameSurface : public QWidget {
public:
    explicit FrameSurface(ToolWindow* form) : QWidget(form), form_(form) { setMouseTracking(true); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter p(this);
        if (!form_->painted()) {
            p.fillRect(rect(), palette().window());
            return;
        }
        const Skin& s = CurrentSkin();
        int W = width(), H = height();
        // Only the four strips; the interior belongs to the controls. A
        // repaint under a control (a scroll bar moving, say) needs no frame.
        const QRect strips[] = {QRect(0, 0, W, s.Top), QRect(W - s.Right, s.Top, s.Right, H - s.Top - s.Bottom),
                                QRect(0, H - s.Bottom, W, s.Bottom), QRect(0, s.Top, s.Left, H - s.Top - s.Bottom)};
        bool reached = false;
        for (const QRect& r : strips) reached = reached || event->region().intersects(r);
        if (!reached) return;
        QImage frame = form_->ComposeFrame();
        for (const QRect& r : strips) p.drawImage(r, frame, r);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (!form_->selfFramed() || e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
        HitArea area = form_->HitTest(e->position().toPoint());
        form_->activateWindow();
        if (auto* area_ = form_->mdiArea()) area_->setActiveSubWindow(form_);
        if (area != hitClient) form_->beginDrag(area, e->globalPosition().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!form_->selfFramed()) return;
        QPoint p = e->position().toPoint();
        if (form_->moving_) {
            form_->dragTo(e->globalPosition().toPoint());
            return;
        }
        int b = form_->ButtonAt(p);
        if (b >= 0) {
            setCursor(Qt::PointingHandCursor);
            QToolTip::showText(e->globalPosition().toPoint(), form_->buttons_[size_t(b)].Hint, this);
            return;
        }
        QToolTip::hideText();
        switch (form_->HitTest(p)) {
        case hitCaption: setCursor(Qt::SizeAllCursor); break;
        case hitRightEdge: setCursor(Qt::SizeHorCursor); break;
        case hitBottomEdge: setCursor(Qt::SizeVerCursor); break;
        case hitBottomRight: setCursor(Qt::SizeFDiagCursor); break;
        default: setCursor(Qt::ArrowCursor); break;
        }
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (!form_->selfFramed() || e->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(e);
        if (form_->moving_) {
            form_->endDrag();
            return;
        }
        int b = form_->ButtonAt(e->position().toPoint());
        if (b >= 0) form_->ClickButton(b);
    }

private:
    ToolWindow* form_;
};

ToolWindow::ToolWindow(QWidget* parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    surface_ = new FrameSurface(this);
    auto* layout = new QVBoxLayout(surface_);
    layout->setSpacing(0);
    toolbar_ = new QFrame(surface_);
    toolbar_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* bar = new QHBoxLayout(toolbar_);
    bar->setContentsMargins(2, 2, 2, 2);
    bar->setSpacing(1);
    captionPanel_ = new QLabel(toolbar_);
    bar->addWidget(captionPanel_, 1);
    layout->addWidget(toolbar_);
    body_ = new QWidget(surface_);
    layout->addWidget(body_, 1);
    setWidget(surface_);
}

ToolWindow::~ToolWindow()
{
    destroying_ = true;
    if (gCurrentSource == this) gCurrentSource = nullptr;
}

bool ToolWindow::painted() const { return !CurrentSkin().Plain; }

bool ToolWindow::selfFramed() const { return painted() || buttonsFlag(); }

QMargins ToolWindow::frameMargins() const
{
    const Skin& s = CurrentSkin();
    if (painted()) return QMargins(s.Left, s.Top, s.Right, s.Bottom);
    // The plain look with the button panel: the panel is the one title bar
    // (caption and buttons), a thin edge around it sizes the window.
    if (selfFramed()) return QMargins(kPlainEdge, kPlainEdge, kPlainEdge, kPlainEdge);
    return QMargins();
}

void ToolWindow::InitToolWindow()
{
    hide();
    buttons_.clear();
    moving_ = false;
    QRect b = gInitialBounds;
    if (gWorkspace) gWorkspace->addSubWindow(this);
    setGeometry(b);
    applyFrameMode();
    AddButton("close.bmp", "CLOSE", [this] { close(); });
}

void ToolWindow::applyFrameMode()
{
    const Skin& s = CurrentSkin();
    bool wasVisible = isVisible();
    QRect g = geometry();
    // Without the button panel the platform's title bar carries the caption.
    if (selfFramed())
        setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
    else
        setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QMargins m = frameMargins();
    surface_->layout()->setContentsMargins(m);
    setMinimumSize(m.left() + m.right() + 32, m.top() + m.bottom() + 32);
    setGeometry(g);
    if (wasVisible) show();
}

void ToolWindow::loadButtonImage(ToolButton& b)
{
    QImage image = shell::LoadPicture(CurrentSkin().Folder + b.ImageFile.toStdString());
    if (image.isNull()) {
        // A skin without this picture still gets a clickable button.
        image = QImage(16, 16, QImage::Format_RGB32);
        image.fill(CurrentSkin().Colours.Menu);
        QPainter p(&image);
        p.setPen(CurrentSkin().Colours.Text);
        p.drawRect(2, 2, 11, 11);
    }
    b.Image = TransparentByBottomLeft(image);
    b.Width = b.Image.width();
    b.Height = b.Image.height();
    b.Hint = HintDisplayForm(QString::fromStdString(shell::Tr(b.Key)));
}

void ToolWindow::AddButton(const QString& imageFile, const std::string& key, std::function<void()> handler)
{
    if (int(buttons_.size()) >= kMaxButtons) return;
    ToolButton b;
    b.ImageFile = imageFile;
    b.Key = key;
    b.Handler = std::move(handler);
    loadButtonImage(b);
    auto* push = new QToolButton(toolbar_);
    push->setIcon(QIcon(QPixmap::fromImage(b.Image)));
    push->setIconSize(b.Image.size());
    push->setToolTip(b.Hint);
    push->setCursor(Qt::PointingHandCursor);
    push->setAutoRaise(true);
    size_t index = buttons_.size();
    connect(push, &QToolButton::clicked, this, [this, index] { ClickButton(int(index)); });
    // Buttons line up from the right edge in the order of addition.
    static_cast<QHBoxLayout*>(toolbar_->layout())->insertWidget(1, push);
    b.PushButton = push;
    buttons_.push_back(std::move(b));
    toolbar_->setFixedHeight(buttons_.back().Height + 8);
}

void ToolWindow::SetCaption(const QString& caption)
{
    caption_ = caption;
    showCaption();
}

void ToolWindow::SetCaptionMark(const QString& mark)
{
    captionMark_ = mark;
    showCaption();
}

void ToolWindow::showCaption()
{
    QString shown = caption_ + captionMark_;
    captionPanel_->setText("  " + shown);
    // The platform frame shows the caption only when the toolbar panel,
    // which carries it, is hidden: a window always has a visible title.
    setWindowTitle(toolbar_->isVisibleTo(this) ? QString() : shown);
    RepaintFrame();
}

void ToolWindow::ApplySettings()
{
    toolbar_->setVisible(!painted() && buttonsFlag());
    setWindowTitle(toolbar_->isVisibleTo(this) ? QString() : caption_ + captionMark_);
    const Skin& s = CurrentSkin();
    QMargins m = frameMargins();
    setMinimumSize(m.left() + m.right() + 32, m.top() + m.bottom() + 32);
    setFont(shell::EnvironmentFont());
    captionPanel_->setFont(shell::EnvironmentFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, s.Colours.Desktop);
    setPalette(pal);
    int tallest = 0;
    for (auto& b : buttons_) {
        loadButtonImage(b);
        if (b.PushButton) {
            b.PushButton->setIcon(QIcon(QPixmap::fromImage(b.Image)));
            b.PushButton->setIconSize(b.Image.size());
            b.PushButton->setToolTip(b.Hint);
            b.PushButton->setFixedWidth(b.Width + 10);
        }
        tallest = std::max(tallest, b.Height);
    }
    toolbar_->setFixedHeight(tallest + 10);
    surface_->layout()->setContentsMargins(m);
    RepaintFrame();
}

void ToolWindow::RepaintFrame()
{
    if (painted()) surface_->update();
}

void ToolWindow::RecreateFrame()
{
    applyFrameMode();
    ApplySettings();
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
        if (x >= W - kPlainEdge) return hitRightEdge;
        if (y >= H - kPlainEdge) return hitBottomEdge;
        if (toolbar_->isVisible() && toolbar_->geometry().contains(surface_->mapFrom(this, p))) return hitCaption;
        return x < kPlainEdge || y < kPlainEdge ? hitCaption : hitClient;
    }
    const Skin& s = CurrentSkin();
    int W = width(), H = height(), x = p.x(), y = p.y();
    if (ButtonAt(p) >= 0) return hitClient;
    if (x > s.Left && x < W - s.Right && y > s.Top && y < H - s.Bottom) return hitClient;
    if (y >= H - s.Bottom) {
        if (x <= s.Left) return hitCaption;
        if (x >= W - s.Right) return hitBottomRight;
        return hitBottomEdge;
    }
    if (y <= s.Top) return hitCaption;
    if (x <= s.Left) return hitCaption;
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

void ToolWindow::ClickButton(int index)
{
    if (index < 0 || size_t(index) >= buttons_.size() || !buttons_[size_t(index)].Handler) return;
    try {
        buttons_[size_t(index)].Handler();
    } catch (...) {
        // A failing button does nothing more.
    }
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

void ToolWindow::beginDrag(HitArea area, QPoint globalPos)
{
    moving_ = true;
    dragArea_ = area;
    dragStart_ = globalPos;
    dragGeometry_ = geometry();
    RepaintFrame();
}

void ToolWindow::dragTo(QPoint globalPos)
{
    QPoint d = globalPos - dragStart_;
    QRect g = dragGeometry_;
    switch (dragArea_) {
    case hitCaption: g.moveTopLeft(g.topLeft() + d); break;
    case hitRightEdge: g.setWidth(g.width() + d.x()); break;
    case hitBottomEdge: g.setHeight(g.height() + d.y()); break;
    case hitBottomRight: g.setSize(g.size() + QSize(d.x(), d.y())); break;
    default: break;
    }
    g.setSize(g.size().expandedTo(minimumSize()));
    setGeometry(g);
}

void ToolWindow::endDrag()
{
    moving_ = false;
    ArrangeWindows();
    RepaintFrame();
}

void ToolWindow::StoreSize(const std::string& key)
{
    shell::ConfigSetInt(key + ".WIDTH", width());
    shell::ConfigSetInt(key + ".HEIGHT", height());
}

void ToolWindow::resizeEvent(QResizeEvent* event)
{
    QMdiSubWindow::resizeEvent(event);
    RepaintFrame();
}

void ToolWindow::moveEvent(QMoveEvent* event)
{
    QMdiSubWindow::moveEvent(event);
    RepaintFrame();  // the desktop picture's phase follows the position
}

// ---- shared state

void SetInitialBounds(int left, int top, int width, int height) { gInitialBounds = QRect(left, top, width, height); }
QRect InitialBounds() { return gInitialBounds; }
void SetWorkspace(QMdiArea* workspace) { gWorkspace = workspace; }
QMdiArea* Workspace() { return gWorkspace; }
void SetStartupComplete(bool complete) { gStartupComplete = complete; }
bool StartupComplete() { return gStartupComplete; }
ToolWindow* CurrentToolWindow() { return gCurrentTool; }
ToolWindow* CurrentSourceWindow() { return gCurrentSource; }

void ToolWindowActivated(ToolWindow* window)
{
    gCurrentSource = window && window->IsSourceWindow() ? window : nullptr;
    gCurrentTool = window;
}

QSize ToolWindow::MinimumArrangedSize() const
{
    constexpr int kLeast = 100, kSourceLines = 12;
    if (!IsSourceWindow()) return {kLeast, kLeast};
    int frame = Body() ? height() - Body()->height() : 0;
    return {kLeast, std::max(kLeast, frame + kSourceLines * fontMetrics().lineSpacing() + 8)};
}

void ArrangeWindows()
{
    if (CurrentSkin().Plain || gArranging || !gWorkspace) return;
    gArranging = true;
    std::vector<ToolWindow*> windows;
    std::vector<WindowRect> table;
    for (QMdiSubWindow* w : gWorkspace->subWindowList(QMdiArea::CreationOrder)) {
        auto* form = qobject_cast<ToolWindow*>(w);
        if (!form || form->IsDestroying() || form->isMinimized() || form->isMaximized()) continue;
        if (int(windows.size()) >= kMaxArrangedWindows) break;
        QRect g = form->geometry();
        windows.push_back(form);
        QSize least = form->MinimumArrangedSize();
        table.push_back({g.left(), g.left() + g.width(), g.top(), g.top() + g.height(), least.width(),
                         least.height()});
    }
    std::vector<WindowRect> before = table;
    if (gStartupComplete) {
        QSize client = gWorkspace->viewport()->size();
        RelaxWindowTable(table, client.width(), client.height());
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        if (table[i] == before[i]) continue;
        const WindowRect& r = table[i];
        windows[i]->setGeometry(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
        windows[i]->RepaintFrame();
    }
    gArranging = false;
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

QString HintDisplayForm(const QString& text)
{
    int bar = text.indexOf("||");
    if (bar < 0) return text;
    return text.left(bar) + "  (" + text.mid(bar + 2) + ")";
}

}  // namespace tavro
