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
#include <algorithm>

#include "configuration.h"
#include "environment_font.h"
#include "languages.h"
#include "skin.h"

namespace tavro {

using namespace desktop;

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
    static const bool yes = desktop::ConfigYes("BUTTONS");
    return yes;
}

}  // namespace

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
        case hitLeftEdge: setCursor(Qt::SizeHorCursor); break;
        case hitBottomLeft: setCursor(Qt::SizeBDiagCursor); break;
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
    QImage image = desktop::LoadPicture(CurrentSkin().Folder + b.ImageFile.toStdString());
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
    b.Hint = HintDisplayForm(QString::fromStdString(desktop::Tr(b.Key)));
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
    setFont(desktop::EnvironmentFont());
    captionPanel_->setFont(desktop::EnvironmentFont());
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

void ToolWindow::ClickButton(int index)
{
    if (index < 0 || size_t(index) >= buttons_.size() || !buttons_[size_t(index)].Handler) return;
    try {
        buttons_[size_t(index)].Handler();
    } catch (...) {
        // A failing button does nothing more.
    }
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
    case hitLeftEdge: g.setLeft(std::min(g.left() + d.x(), g.right() - minimumWidth())); break;
    case hitBottomLeft:
        g.setLeft(std::min(g.left() + d.x(), g.right() - minimumWidth()));
        g.setHeight(g.height() + d.y());
        break;
    default: break;
    }
    g.setSize(g.size().expandedTo(minimumSize()));
    setGeometry(g);
}

void ToolWindow::endDrag()
{
    // The window stays where the user put it.
    moving_ = false;
    RepaintFrame();
}

void ToolWindow::StoreSize(const std::string& key)
{
    desktop::ConfigSetInt(key + ".WIDTH", width());
    desktop::ConfigSetInt(key + ".HEIGHT", height());
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

namespace {

WindowRect tableRect(const QRect& g) { return {g.left(), g.left() + g.width(), g.top(), g.top() + g.height()}; }

}  // namespace

void PlaceReadable(ToolWindow* window, const QWidget* text, QSize wanted, const std::vector<const QWidget*>& avoid,
                   int lines, int columns)
{
    if (!gWorkspace || !window || !text) return;
    // The frame around the text as the window is laid out now.
    if (QLayout* layout = window->widget() ? window->widget()->layout() : nullptr) layout->activate();
    if (QLayout* layout = window->Body()->layout()) layout->activate();
    QSize frame = window->size() - text->size();
    QFontMetrics fm(text->font());
    QSize least(frame.width() + columns * fm.averageCharWidth() + 8, frame.height() + lines * fm.lineSpacing() + 8);
    QSize room = gWorkspace->viewport()->size();
    std::vector<WindowRect> keepClear, others;
    for (const QWidget* w : avoid)
        if (w && w != window && w->isVisible()) keepClear.push_back(tableRect(w->geometry()));
    for (QMdiSubWindow* w : gWorkspace->subWindowList()) {
        bool avoided = std::find(avoid.begin(), avoid.end(), w) != avoid.end();
        if (w != window && w->isVisible() && !avoided) others.push_back(tableRect(w->geometry()));
    }
    WindowRect r = FreePlace(room.width(), room.height(), least.width(), least.height(),
                             std::max(wanted.width(), least.width()), std::max(wanted.height(), least.height()),
                             keepClear, others);
    window->setGeometry(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    window->raise();
}

ToolWindow* FrontSourceWindow()
{
    if (!gWorkspace) return nullptr;
    if (auto* active = qobject_cast<ToolWindow*>(gWorkspace->activeSubWindow()); active && active->IsSourceWindow())
        return active;
    QList<QMdiSubWindow*> stack = gWorkspace->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if (auto* form = qobject_cast<ToolWindow*>(*it); form && form->IsSourceWindow() && form->isVisible())
            return form;
    return nullptr;
}

QString HintDisplayForm(const QString& text)
{
    int bar = text.indexOf("||");
    if (bar < 0) return text;
    return text.left(bar) + "  (" + text.mid(bar + 2) + ")";
}

}  // namespace tavro
