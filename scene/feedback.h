// The scene as GL's feedback mode reports it: the primitives that a
// drawing produces after transformation, lighting and clipping, in window
// coordinates. The vector and model exports read the scene through it.
// Internal to the scene.
#pragma once

#include <functional>
#include <vector>

namespace tavro::scene {

struct FeedbackVertex {
    float x, y, z;     // window coordinates, z the depth 0 (near) to 1
    float r, g, b, a;  // the colour after lighting
};

struct FeedbackPrimitive {
    enum Kind { Point, Line, Polygon } kind;
    // A line that starts a new strip (GL's line reset token); later
    // segments of the same strip continue from the previous end.
    bool startsStrip = false;
    // The line width in pixels that the drawing announced.
    float width = 1;
    std::vector<FeedbackVertex> vertices;
};

// Runs `draw` in feedback mode (GL_3D_COLOR) with the current matrices and
// viewport and returns what it produced. The buffer grows until it holds
// everything, up to `maxFloats`; false when even that is too small.
bool CaptureFeedback(const std::function<void()>& draw, std::vector<FeedbackPrimitive>& out,
                     size_t maxFloats = size_t(1) << 28);

}  // namespace tavro::scene
