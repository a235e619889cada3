#include "plane_window.h"

#include <QMdiArea>
#include <QCloseEvent>
#include <QInputDialog>
#include <QLineEdit>
#include <QWheelEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <ctime>

#include <GL/gl.h>

#include "configuration.h"
#include "environment.h"
#include "file_dialogs.h"
#include "follow_drawing.h"
#include "interpreter.h"
#include "languages.h"
#include "application.h"
#include "message_dialog.h"
#include "picture_format.h"
#include "pixel_formats.h"
#include "run_scope.h"
#include "run_control.h"
#include "scene.h"
#include "scene_host.h"
#include "skin.h"
#include "state.h"
#include "structure.h"

namespace tavro {

namespace {

QPointer<PlaneWindow> gPlane;

scene::WindowColour workspaceColour()
{
    QColor c = desktop::CurrentSkin().Colours.Workspace;
    return {c.red(), c.green(), c.blue()};
}

int shiftState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons, bool doubleClick)
{
    int s = 0;
    if (modifiers & Qt::ShiftModifier) s |= 1;
    if (modifiers & Qt::AltModifier) s |= 2;
    if (modifiers & Qt::ControlModifier) s |= 4;
    if (buttons & Qt::LeftButton) s |= 8;
    if (buttons & Qt::RightButton) s |= 16;
    if (buttons & Qt::MiddleButton) s |= 32;
    if (doubleClick) s |= 64;
    return s & 0x7F;
}

// A frame is asked for no sooner than this after the last one, and no
// sooner than this many times its cost: a frame composes the whole main
// window, and the GL rasterises on threads of its own, which share the
// processors with the running program. Ten frames a second are enough to
// watch a drawing grow, and the program keeps most of the processors: a
// frame that costs more (a software GL composes the window in some 15 to
// 20 ms) comes after six times its cost.
constexpr int kFrameMilliseconds = 100;
constexpr int kFrameCostShare = 6;
// However slow the frames, a growing drawing is shown six times a second.
constexpr qint64 kLongestFrameMilliseconds = 150 / kFrameCostShare;
// Degrees of orbit per pixel dragged.
constexpr double kOrbitPerPixel = 0.5;

// The press that starts an orbit: middle button, or Alt with the left one.
bool startsOrbit(const QMouseEvent* e)
{
    return e->button() == Qt::MiddleButton ||
           (e->button() == Qt::LeftButton && (e->modifiers() & Qt::AltModifier));
}

}  // namespace

PlaneWindow* ThePlaneWindow() { return gPlane; }

// ---- the drawing area

PlaneView::PlaneView(PlaneWindow* plane, QWidget* parent) : QOpenGLWidget(parent), plane_(plane)
{
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    if (std::optional<PixelFormat> used = ChoosePlaneFormat()) {
        // The widget draws into its own framebuffer object, which takes
        // the depth and stencil sizes; its colours stay those of the
        // window it is composed into.
        if (used->DepthBits > 0) format.setDepthBufferSize(used->DepthBits);
        format.setStencilBufferSize(used->StencilBits);
    }
    setFormat(format);
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, &PlaneView::askPaint);
    // A frame costs from its paint until the window shows it, the
    // composition of the window included: the longer of the time that
    // passed and the processor time the process spent meanwhile (a
    // software GL rasterises on threads of its own, beside this one).
    connect(this, &QOpenGLWidget::frameSwapped, this, [this] {
        // The window shows itself for other widgets' paints too: only a
        // frame of this view counts. The first frames of a window cost far
        // more than the later ones (the GL compiles its shaders): a cost
        // counts capped, and half of the last one is kept.
        if (!paintStart_.isValid()) return;
        qint64 processor = qint64((std::clock() - paintClock_) * 1000 / CLOCKS_PER_SEC);
        qint64 cost = std::max(paintStart_.elapsed(), processor);
        frameCostMs_ = (frameCostMs_ + std::min<qint64>(cost, kLongestFrameMilliseconds)) / 2;
        paintStart_.invalidate();
        sincePaint_.start();
    });
}

bool PlaneView::MakeCurrent()
{
    if (!context() || !isValid()) return false;
    makeCurrent();
    return true;
}

namespace {

// A paint asked for but not seen for this long is taken as lost (a view
// that was hidden meanwhile gets none).
constexpr qint64 kLostPaintMilliseconds = 500;

}  // namespace

qint64 PlaneView::untilNextFrame() const
{
    qint64 gap = std::max<qint64>(kFrameMilliseconds, kFrameCostShare * frameCostMs_);
    qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : gap;
    return std::max<qint64>(0, gap - since);
}

bool PlaneView::paintWaiting() const
{
    return paintAsked_.isValid() && paintAsked_.elapsed() < kLostPaintMilliseconds;
}

void PlaneView::Present()
{
    if (frameTimer_.isActive()) return;
    qint64 wait = untilNextFrame();
    if (wait > 0) {
        frameTimer_.start(int(wait));
        return;
    }
    askPaint();
}

void PlaneView::askPaint()
{
    if (!paintWaiting()) {
        paintAsked_.start();
        paintHasDeferred_ = false;
    }
    update();
}

// A paint asked for by a new piece of the drawing comes with the next
// pump: the drawings put off are recorded before it, so that the frame
// shows the turtle where it is, not where the last frame left it.
bool PlaneView::FrameDue() const
{
    if (!isVisible()) return false;
    if (paintWaiting()) return !paintHasDeferred_;
    return !frameTimer_.isActive() && untilNextFrame() == 0;
}

void PlaneView::DeferredDrawingsBuilt()
{
    Present();
    if (paintWaiting()) paintHasDeferred_ = true;
}

int PlaneView::Width() const { return int(width() * devicePixelRatioF()); }
int PlaneView::Height() const { return int(height() * devicePixelRatioF()); }

PlaneView::~PlaneView()
{
    if (QOpenGLContext* c = context()) disconnect(c, nullptr, this, nullptr);
    releaseLayer();
}

void PlaneView::releaseLayer()
{
    QOpenGLContext* c = context();
    if (!c) return;
    // A context about to go is current already.
    if (QOpenGLContext::currentContext() != c) {
        if (!isValid()) return;
        makeCurrent();
    }
    layer_.Release();
}

void PlaneView::initializeGL()
{
    // A widget moved to another window gets a new context: the old one's
    // objects go with it.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &PlaneView::releaseLayer, Qt::UniqueConnection);
    TheScene().OpenView(this, workspaceColour());
    QTimer::singleShot(0, this, &PlaneView::prepareGL);
}

void PlaneView::prepareGL()
{
    if (RunScope::Depth() > 0 || !MakeCurrent()) return;
    // A software GL compiles the copy on first use, which takes tens of
    // milliseconds: the first frame of the first run would pay for it.
    if (layer_.Prepare(Width(), Height())) {
        layer_.Bind();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        layer_.CopyToTarget();
    }
    update();
}

void PlaneView::resizeGL(int w, int h)
{
    TheScene().Resize(int(w * devicePixelRatioF()), int(h * devicePixelRatioF()));
}

void PlaneView::paintGL()
{
    if (TheApplication() && TheApplication()->Closing()) return;
    paintAsked_.invalidate();
    if (plane_->IsMoving()) return;
    paintStart_.start();
    paintClock_ = std::clock();
    TheScene().Paint(workspaceColour());
}

void PlaneView::mousePressEvent(QMouseEvent* e)
{
    QPoint p = e->position().toPoint();
    if (startsOrbit(e) || orbiting_) {
        orbiting_ = true;
        dragFrom_ = p;
        return;
    }
    plane_->pressPoint_ = p;
    plane_->lastShift_ = shiftState(e->modifiers(), e->buttons(), false);
    plane_->DispatchMouseEvent("onmousedown", plane_->lastShift_, p.x(), p.y());
}

void PlaneView::mouseReleaseEvent(QMouseEvent* e)
{
    QPoint p = e->position().toPoint();
    if (orbiting_) {
        if (!(e->buttons() & (Qt::LeftButton | Qt::MiddleButton))) orbiting_ = false;
        return;
    }
    int shift = shiftState(e->modifiers(), e->buttons() | e->button(), false);
    plane_->DispatchMouseEvent("onmouseup", shift, p.x(), p.y());
    // A press and release at one place is a click.
    if (p == plane_->pressPoint_ && e->button() == Qt::LeftButton)
        plane_->DispatchMouseEvent("onmouseclick", shift, p.x(), p.y());
}

void PlaneView::mouseDoubleClickEvent(QMouseEvent* e)
{
    QPoint p = e->position().toPoint();
    plane_->DispatchMouseEvent("onmousedown", shiftState(e->modifiers(), e->buttons(), true), p.x(), p.y());
}

void PlaneView::mouseMoveEvent(QMouseEvent* e)
{
    QPoint p = e->position().toPoint();
    if (orbiting_) {
        QPoint d = p - dragFrom_;
        dragFrom_ = p;
        TheScene().Orbit(d.x() * kOrbitPerPixel, d.y() * kOrbitPerPixel);
        update();
        return;
    }
    if (p == plane_->lastMove_) return;
    plane_->lastMove_ = p;
    plane_->lastShift_ = shiftState(e->modifiers(), e->buttons(), false);
    plane_->DispatchMouseEvent("onmousemove", plane_->lastShift_, p.x(), p.y());
}

void PlaneView::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Home) return plane_->FitView();
    if (e->key() == Qt::Key_End) return plane_->RestoreCamera();
    if (!e->text().isEmpty()) AppendKey(e->text().toStdString());
}

void PlaneView::wheelEvent(QWheelEvent* e)
{
    // One notch (120) is one zoom step; towards the screen zooms in.
    double steps = e->angleDelta().y() / 120.0;
    if (steps == 0) return;
    TheScene().Zoom(steps);
    update();
    e->accept();
}

void PlaneView::contextMenuEvent(QContextMenuEvent* e)
{
    if (!plane_->popup_->actions().isEmpty()) plane_->popup_->popup(e->globalPos());
}

// ---- the window

PlaneWindow::PlaneWindow(QWidget* parent) : ToolWindow(parent)
{
    // The initial bounds are fitted into the workspace.
    QRect b = InitialBounds();
    if (QMdiArea* area = Workspace()) {
        QSize client = area->viewport()->size();
        if (b.left() + b.width() > client.width()) b.moveLeft(0);
        if (b.left() < 0) b = QRect(0, b.top(), b.width() + b.left(), b.height());
        if (b.top() + b.height() > client.height()) b.moveTop(0);
        if (b.top() < 0) b = QRect(b.left(), 0, b.width(), b.height() + b.top());
        SetInitialBounds(b.left(), b.top(), b.width(), b.height());
    }
    InitToolWindow();
    AddButton("clear.bmp", "PLANE.CLEAR", [this] { ClearPlane(); });
    AddButton("print.bmp", "PLANE.PRINT", [this] { PrintPlane(); });
    AddButton("save.bmp", "PLANE.SAVE", [this] { SavePictureAs(); });
    AddButton("fit.bmp", "PLANE.FIT", [this] { FitView(); });
    AddButton("camera.bmp", "PLANE.CAMERA", [this] { RestoreCamera(); });
    AddButton("follow.bmp", "PLANE.FOLLOW", [] {
        SetFollowsDrawing(!FollowsDrawing());
        Env().WriteLine(desktop::Tr(FollowsDrawing() ? "PLANE.FOLLOW.ON" : "PLANE.FOLLOW.OFF"));
    });
    view_ = new PlaneView(this, Body());
    view_->setObjectName("Panel");
    auto* layout = new QVBoxLayout(Body());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    popup_ = new QMenu(this);
    gPlane = this;
    RefreshSettings();
}

void PlaneWindow::RefreshSettings()
{
    ApplySettings();
    SetCaption(QString::fromStdString(desktop::Tr("PLANE")));
    RefreshView();
}

QSize PlaneWindow::MinimumArrangedSize() const
{
    constexpr int kLeastWidth = 320, kLeastHeight = 240;
    QSize frame = view_ ? size() - view_->size() : QSize(0, 0);
    return {kLeastWidth + std::max(0, frame.width()), kLeastHeight + std::max(0, frame.height())};
}

void PlaneWindow::RefreshView()
{
    if (IsMoving() || !view_) return;
    view_->update();
}

void PlaneWindow::RecreateView()
{
    RecreateFrame();
    RefreshView();
}

void PlaneWindow::ClearPlane()
{
    // The eraser clears the drawing as `cs` does and keeps every name:
    // procedures typed so far stay (the main popup resets the memory).
    if (IsRunActive(RunState) && RunState != rsPaused) return;
    if (RootNode() && ResolveFrom(RootNode(), "clearscreen")) {
        RunScope scope;
        RunSystemCommand("clearscreen");
    }
    RefreshView();
}

void PlaneWindow::FitView()
{
    if (MakeSceneContextCurrent()) TheScene().Fit();
    view_->update();
}

void PlaneWindow::RestoreCamera()
{
    TheScene().RestoreProgramCamera();
    view_->update();
}

void PlaneWindow::PrintPlane()
{
    setFocus();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName("Tavro plane");
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    QPainter painter(&printer);
    QRect page = painter.viewport();
    // The picture is drawn at the printer's resolution, in the plane's
    // shape, as large as the page allows (within the largest picture).
    QSize size = view_->size().scaled(page.size(), Qt::KeepAspectRatio);
    double shrink = std::sqrt(std::min(1.0, double(scene::kMaxPicturePixels) /
                                                (double(size.width()) * size.height())));
    size = QSize(std::max(1, int(size.width() * shrink)), std::max(1, int(size.height() * shrink)));
    size = size.boundedTo(QSize(scene::kMaxPictureSide, scene::kMaxPictureSide));
    if (!MakeSceneContextCurrent()) return;
    scene::RgbImage picture = TheScene().RenderPicture(size.width(), size.height());
    view_->update();
    if (picture.pixels.empty()) return;
    QImage image(picture.pixels.data(), picture.width, picture.height, picture.width * 3, QImage::Format_RGB888);
    painter.drawImage(QRect(page.topLeft(), size), image);
}

void PlaneWindow::SavePictureAs()
{
    setFocus();
    QString file = desktop::AskPictureFileName(this);
    if (file.isEmpty()) return;
    int width = 0, height = 0;
    scene::PictureFormat format = scene::PictureFormatOf(file.toStdString());
    if (format == scene::PictureFormat::Png || format == scene::PictureFormat::Jpeg) {
        // Twice the window's size by default: sharp in a document.
        QSize pixels = view_->size() * view_->devicePixelRatio() * 2;
        bool ok = false;
        QString answer = QInputDialog::getText(this, "Save picture", "Size in pixels (width x height):",
                                               QLineEdit::Normal,
                                               QString("%1 x %2").arg(pixels.width()).arg(pixels.height()), &ok);
        if (!ok) return;
        QStringList parts = answer.split('x', Qt::SkipEmptyParts, Qt::CaseInsensitive);
        if (parts.size() != 2 || (width = parts[0].trimmed().toInt()) < 1 || (height = parts[1].trimmed().toInt()) < 1) {
            desktop::ShowMessageDialog("Give the size as two whole numbers, such as 1600 x 1200.");
            return;
        }
    }
    view_->update();
    try {
        MakeSceneContextCurrent();
        TheScene().SavePicture(file.toStdString(), width, height);
    } catch (const std::exception& e) {
        desktop::ShowMessageDialog(e.what());
    }
}

void PlaneWindow::FillPopupMenu(Atom* list)
{
    if (list && !IsList(list)) return;
    popup_->clear();
    for (Atom* cell = list; cell; cell = RightOf(cell)) popup_->addAction(QString::fromStdString(ToText(LeftOf(cell))));
}

std::string PlaneWindow::HookCommand(const std::string& hook, int shift, int x, int y, int w, int h)
{
    auto number = [](double v) { return QString::number(v, 'f', 5).toStdString(); };
    return "(" + hook + " (" + number(x - w / 2.0) + ") (" + number(h / 2.0 - y) + ") (" + number(x) + ") (" +
           number(y) + ") (" + std::to_string(shift & 0x7F) + "))";
}

bool PlaneWindow::DispatchMouseEvent(const std::string& hook, int shift, int x, int y)
{
    if (reentrancy_ >= 1 || TheScene().MouseBlocked() || RunState == rsPaused) return false;
    ++reentrancy_;
    Atom* savedCell = CurrentCell;
    uint8_t savedState = RunState;
    MessagePumpingSuppressed = true;
    bool ran = false;
    try {
        Atom* root = RootNode();
        if (root && FindMember(root, hook)) {
            RunScope scope;
            RunSystemCommand(HookCommand(hook, shift, x, y, view_->width(), view_->height()));
            ran = true;
        }
    } catch (...) {
        // Errors of mouse hooks are swallowed.
    }
    MessagePumpingSuppressed = false;
    --reentrancy_;
    CurrentCell = savedCell;
    SetRunState(savedState);
    return ran;
}

void PlaneWindow::closeEvent(QCloseEvent* event)
{
    StoreSize("PLANE");
    if (view_) {
        view_->makeCurrent();
        TheScene().CloseView();
        view_->doneCurrent();
    }
    if (gPlane == this) gPlane = nullptr;
    ToolWindow::closeEvent(event);
}

}  // namespace tavro
