// FrameLayer: the colour and depth of a frame kept from one frame to the
// next in a framebuffer object of the view's context, so that a frame can
// start from the last one's pixels instead of replaying every list (the
// scene keeps there the part of the drawing that no longer changes).
//
// Every call needs the owning view's context current. Framebuffer objects
// belong to one context: the view that owns a layer releases it while its
// context is still current (before the context goes), and never hands it
// to another context.
#pragma once

#include <cstdint>

namespace tavro::scene {

class FrameLayer {
public:
    // Makes the layer width x height, with a depth buffer of as many bits
    // as the framebuffer bound now (the one the layer is copied onto).
    // False when the context has no framebuffer objects or the layer cannot
    // be made (the scene then draws every frame in full).
    bool Prepare(int width, int height);
    // Draws go into the layer until CopyToTarget.
    void Bind();
    // Copies colour and depth onto the framebuffer that was bound before
    // Bind and binds that one again. False when the copy failed: the layer
    // is then given up for good.
    bool CopyToTarget();
    // Deletes the GL objects; the next Prepare makes new ones.
    void Release();
    // Changes whenever the layer's storage is made anew: pixels kept under
    // an older serial are gone.
    uint64_t Serial() const { return serial_; }

private:
    bool supported();
    bool create(int width, int height);

    uint32_t framebuffer_ = 0;
    uint32_t colour_ = 0;
    uint32_t depth_ = 0;
    int width_ = 0;
    int height_ = 0;
    int depthBits_ = 0;
    int drawTarget_ = 0;
    int readTarget_ = 0;
    // 0 not known yet, 1 usable, -1 given up.
    int usable_ = 0;
    uint64_t serial_ = 0;
};

}  // namespace tavro::scene
