// PlaneWindow: the tool window that shows the 3D scene. Its drawing area is a
// GL widget that the scene draws into; mouse events become calls of the
// global hook procedures onmousedown, onmousemove, onmouseup and
// onmouseclick with centred coordinates; typed characters go to the key
// buffer; the Clear, Print and Save buttons reset, print and save the
// picture. At most one plane window exists.
#pragma once

#include <QElapsedTimer>
#include <QOpenGLWidget>
#include <QTimer>
#include <ctime>
#include <string>

#include "atom.h"
#include "frame_layer.h"
#include "scene_view.h"
#include "tool_window.h"

class QMenu;

namespace tavro {

class PlaneWindow;

// The drawing area: a view of the scene. Redraw requests are coalesced:
// a frame is painted at most once per display frame, and never sooner
// after the last one than that one took to paint, so a running program
// keeps at least half of the time however slow the painting is; the paint
// itself happens from the message pumping that the run does anyway.
//
// Gestures the view keeps for itself (no mouse hook sees them): the
// wheel zooms, dragging with the middle button or with Alt and the left
// button orbits the eye around the look-at point; the Home key frames the
// whole drawing, the End key brings back the program's camera.
class PlaneView : public QOpenGLWidget, public scene::SceneView {
    Q_OBJECT
public:
    explicit PlaneView(PlaneWindow* plane, QWidget* parent);
    ~PlaneView() override;
    bool MakeCurrent() override;
    // Asks for a frame, coalesced as above.
    void Present() override;
    // Whether the drawings put off to the next frame should be recorded
    // now: the view is shown, and either a paint is waiting that has not
    // had them recorded yet, or a frame asked for now would be painted at
    // once (the gap after the last one has passed).
    bool FrameDue() const;
    // The drawings put off were recorded: a frame shows them.
    void DeferredDrawingsBuilt();
    // A frame is drawn by the widget's own paint: Redraw only asks for one.
    bool DrawsInPaintOnly() const override { return true; }
    scene::FrameLayer* Layer() override { return &layer_; }
    int Width() const override;
    int Height() const override;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Milliseconds until the coalescing rule allows the next frame.
    qint64 untilNextFrame() const;
    bool paintWaiting() const;
    // update(), remembering when a paint was first asked for.
    void askPaint();

    // The layer lives in the widget's context and goes before it does.
    void releaseLayer();
    // Once the view can draw: the GL's first copy of a layer (which
    // compiles code of its own) happens while the user has not started a
    // program yet.
    void prepareGL();

    PlaneWindow* plane_;
    scene::FrameLayer layer_;
    QTimer frameTimer_;
    QElapsedTimer sincePaint_;
    QElapsedTimer paintStart_;
    std::clock_t paintClock_ = 0;
    // What a frame costs, from its paint until the window shows it.
    qint64 frameCostMs_ = 0;
    // A paint was asked for (update) and has not happened yet.
    QElapsedTimer paintAsked_;
    // The waiting paint will show the drawings put off until it.
    bool paintHasDeferred_ = false;
    // An orbit drag is under way from this point.
    bool orbiting_ = false;
    QPoint dragFrom_;
};

class PlaneWindow : public ToolWindow {
    Q_OBJECT
public:
    PlaneWindow(QWidget* parent = nullptr);
    void RefreshSettings() override;
    // The drawing area stays at least 320 x 240 when windows are arranged.
    QSize MinimumArrangedSize() const override;
    // Viewport, projection and a frame (once start-up has completed).
    void RefreshView();
    // After a skin switch: a fresh frame and drawing surface.
    void RecreateView();
    // The eraser button: clears the drawing (as cs), not the memory.
    void ClearPlane();
    // The Fit button and the Home key: frame everything drawn.
    void FitView();
    // The Camera button and the End key: the program's own camera.
    void RestoreCamera();
    void PrintPlane();
    void SavePictureAs();
    // Service 17: one item per element, captioned with its text form.
    void FillPopupMenu(Atom* list);
    PlaneView* View() const { return view_; }
    // Calls the root's hook procedure `hook` with the centred and the
    // window coordinates and the shift state, unless a hook runs already,
    // the scene blocks mouse events or the run is paused. True when the
    // hook was run.
    bool DispatchMouseEvent(const std::string& hook, int shift, int x, int y);
    // The command text of a hook call for a drawing area of w x h.
    static std::string HookCommand(const std::string& hook, int shift, int x, int y, int w, int h);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class PlaneView;
    PlaneView* view_ = nullptr;
    QMenu* popup_ = nullptr;
    int reentrancy_ = 0;
    QPoint lastMove_{-1, -1};
    QPoint pressPoint_{-1, -1};
    int lastShift_ = 0;
};

PlaneWindow* ThePlaneWindow();

}  // namespace tavro
