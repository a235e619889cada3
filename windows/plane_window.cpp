#include "plane_window.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>

#include "configuration.h"
#include "file_dialogs.h"
#include "interpreter.h"
#include "languages.h"
#include "main_window.h"
#include "message_dialog.h"
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

QPointer<TPlane> gPlane;

scene::WindowColour workspaceColour()
{
    QColor c = shell::CurrentSkin().Colours.Workspace;
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

}  // namespace

TPlane* PlaneWindow() { return gPlane; }

// ---- the drawing area

PlaneView::PlaneView(TPlane* plane, QWidget* parent) : QOpenGLWidget(parent), plane_(plane)
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
}

bool PlaneView::MakeCurrent()
{
    if (!context() || !isValid()) return false;
    makeCurrent();
    return true;
}

void PlaneView::Present() { update(); }

int PlaneView::Width() const { return int(width() * devicePixelRatioF()); }
int PlaneView::Height() const { return int(height() * devicePixelRatioF()); }

void PlaneView::initializeGL() { shell::TheScene().OpenView(this, workspaceColour()); }

void PlaneView::resizeGL(int w, int h)
{
    shell::TheScene().Resize(int(w * devicePixelRatioF()), int(h * devicePixelRatioF()));
}

void PlaneView::paintGL()
{
    if (shell::MainForm() && shell::MainForm()->Closing()) return;
    if (plane_->IsMoving()) return;
    shell::TheScene().Paint(workspaceColour());
}

void PlaneView::mousePressEvent(QMouseEvent* e)
{
    QPoint p = e->position().toPoint();
    plane_->pressPoint_ = p;
    plane_->lastShift_ = shiftState(e->modifiers(), e->buttons(), false);
    plane_->DispatchMouseEvent("onmousedown", plane_->lastShift_, p.x(), p.y());
}

void PlaneView::mouseReleaseEvent(QMouseEvent* e)
{
    QPoint p = e->position().toPoint();
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
    if (p == plane_->lastMove_) return;
    plane_->lastMove_ = p;
    plane_->lastShift_ = shiftState(e->modifiers(), e->buttons(), false);
    plane_->DispatchMouseEvent("onmousemove", plane_->lastShift_, p.x(), p.y());
}

void PlaneView::keyPressEvent(QKeyEvent* e)
{
    if (!e->text().isEmpty()) AppendKey(e->text().toStdString());
}

void PlaneView::contextMenuEvent(QContextMenuEvent* e)
{
    if (!plane_->popup_->actions().isEmpty()) plane_->popup_->popup(e->globalPos());
}

// ---- the window

TPlane::TPlane(QWidget* parent) : TTavroForm(parent)
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
    view_ = new PlaneView(this, Body());
    view_->setObjectName("Panel");
    auto* layout = new QVBoxLayout(Body());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    popup_ = new QMenu(this);
    gPlane = this;
    RefreshSettings();
}

void TPlane::RefreshSettings()
{
    ApplySettings();
    SetCaption(QString::fromStdString(shell::Tr("PLANE")));
    RefreshView();
}

void TPlane::RefreshView()
{
    if (IsMoving() || !view_) return;
    view_->update();
}

void TPlane::RecreateView()
{
    RecreateFrame();
    RefreshView();
}

void TPlane::ClearPlane()
{
    if (IsRunActive(RunState) && RunState != rsPaused) return;
    {
        shell::RunScope scope;
        Reset();
    }
    if (shell::TMainForm* main = shell::MainForm()) main->ApplySkin(true);
}

void TPlane::PrintPlane()
{
    setFocus();
    QPrinter printer;
    printer.setDocName("Tavro plane");
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    QImage picture = view_->grabFramebuffer();
    QPainter painter(&printer);
    QRect page = painter.viewport();
    QSize size = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), picture);
}

void TPlane::SavePictureAs()
{
    setFocus();
    QString file = shell::AskSaveFileName(this, shell::kJpegFilterIndex);
    if (file.isEmpty()) return;
    view_->update();
    try {
        shell::MakeSceneContextCurrent();
        shell::TheScene().SavePicture(file.toStdString());
    } catch (const std::exception& e) {
        shell::ShowMessageDialog(e.what());
    }
}

void TPlane::FillPopupMenu(Atom* list)
{
    if (list && !IsList(list)) return;
    popup_->clear();
    for (Atom* cell = list; cell; cell = RightOf(cell)) popup_->addAction(QString::fromStdString(ToText(LeftOf(cell))));
}

std::string TPlane::HookCommand(const std::string& hook, int shift, int x, int y, int w, int h)
{
    auto number = [](double v) { return QString::number(v, 'f', 5).toStdString(); };
    return "(" + hook + " (" + number(x - w / 2.0) + ") (" + number(h / 2.0 - y) + ") (" + number(x) + ") (" +
           number(y) + ") (" + std::to_string(shift & 0x7F) + "))";
}

bool TPlane::DispatchMouseEvent(const std::string& hook, int shift, int x, int y)
{
    if (reentrancy_ >= 1 || shell::TheScene().MouseBlocked() || RunState == rsPaused) return false;
    ++reentrancy_;
    Atom* savedCell = CurrentCell;
    uint8_t savedState = RunState;
    MessagePumpingSuppressed = true;
    bool ran = false;
    try {
        Atom* root = RootNode();
        if (root && FindMember(root, hook)) {
            shell::RunScope scope;
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

void TPlane::closeEvent(QCloseEvent* event)
{
    StoreSize("PLANE");
    if (view_) {
        view_->makeCurrent();
        shell::TheScene().CloseView();
        view_->doneCurrent();
    }
    if (gPlane == this) gPlane = nullptr;
    TTavroForm::closeEvent(event);
}

}  // namespace tavro
