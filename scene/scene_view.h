// The surface a scene is shown on: the plane window, or an off-screen
// buffer. The scene draws frames into it and reads pictures back from it;
// the view owns the GL context that draws into it.
#pragma once

namespace tavro::scene {

class FrameLayer;

class SceneView {
public:
    virtual ~SceneView() = default;

    // Makes the view's context current with the view's framebuffer bound,
    // so that the next GL calls draw into this view. False when the view
    // has no usable context (the scene then draws nothing). Display lists
    // are shared by every context of the share group, so whichever context
    // is current afterwards still sees every list.
    virtual bool MakeCurrent() = 0;

    // Shows the frame just drawn (flush and swap, or schedule the
    // composition of a toolkit widget). Called after every frame that
    // Redraw drew outside Scene::Paint; inside Paint the toolkit shows the
    // frame itself.
    virtual void Present() = 0;

    // True for a toolkit widget that shows only what its paint callback
    // draws (a QOpenGLWidget composes its framebuffer after paintGL):
    // Redraw outside Scene::Paint then asks for a paint through Present
    // instead of drawing a frame that the paint would draw again.
    virtual bool DrawsInPaintOnly() const { return false; }

    // Where the view keeps the part of a frame that the next frame starts
    // from (frame_layer.h), owned by the view and valid in its context;
    // null when every frame is drawn in full.
    virtual FrameLayer* Layer() { return nullptr; }

    // The drawing area in framebuffer pixels.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

}  // namespace tavro::scene
