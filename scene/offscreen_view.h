// A view without a display: Mesa's off-screen context drawing into a
// buffer in memory. The runner's pictures and the scene tests use it.
//
// Link order matters: the process must take its gl* functions from
// OSMesa, so link this library before any libGL (the runner links no
// libGL at all). Native libraries loaded later resolve their gl* calls
// through the process and draw into this context too.
#pragma once

#include <memory>
#include <string>

#include "frame_layer.h"
#include "jpeg.h"
#include "scene_view.h"

namespace tavro::scene {

class OffscreenView : public SceneView {
public:
    // A lazy view draws no frame when the program asks for a redraw, only
    // when the host paints (Scene::Paint) or saves a picture: a runner
    // that shows nothing spends no time on frames. A view that draws
    // frames keeps a layer that the next frame starts from.
    explicit OffscreenView(bool lazy = false);
    ~OffscreenView() override;

    // Creates an RGBA context with a 24-bit depth buffer drawing into a
    // width x height buffer and makes it current. False with a reason.
    bool Create(int width, int height, std::string& error);

    bool MakeCurrent() override;
    void Present() override;
    bool DrawsInPaintOnly() const override { return lazy_; }
    FrameLayer* Layer() override { return lazy_ ? nullptr : &layer_; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }

    // The buffer's current content, top row first.
    RgbImage Read() const;

private:
    struct Context;
    std::unique_ptr<Context> context_;
    FrameLayer layer_;
    bool lazy_ = false;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace tavro::scene
