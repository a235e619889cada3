// Looking around: zoom, orbit, fit and restore move the one camera that
// the program's eye, lookat and upvector words set.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "list_call.h"
#include "tavro.h"
#include "scene.h"
#include "vector_math.h"
#include "structure.h"

namespace tavro::scene {

namespace {

constexpr double kZoomFactor = 0.85;
// The eye stays this far from the look-at point at least.
constexpr double kClosest = 1e-3;
// Fitting leaves this much room around the drawing.
constexpr double kFitMargin = 1.08;

// Rodrigues' rotation of v about the unit axis k by `degrees`.
Vector3 rotate(Vector3 v, Vector3 k, double degrees)
{
    double a = degrees * kPi / 180, c = std::cos(a), s = std::sin(a);
    return v * c + cross(k, v) * s + k * (dot(k, v) * (1 - c));
}

}  // namespace

Vector3 Scene::ViewUp() const
{
    Vector3 view = unit(lookAt_ - eye_);
    // Parallel within about a hundredth of a degree: the transform would
    // have no sideways axis to speak of.
    auto usable = [&](Vector3 up) { return length(cross(view, unit(up))) > 2e-4; };
    if (length(view) == 0 || usable(up_)) return up_;
    for (Vector3 axis : {Vector3{0, 0, 1}, Vector3{0, 1, 0}, Vector3{1, 0, 0}})
        if (usable(axis)) return axis;
    return up_;
}

void Scene::Zoom(double steps)
{
    Vector3 offset = eye_ - lookAt_;
    double distance = length(offset);
    if (distance <= 0) return;
    double wanted = std::max(kClosest, distance * std::pow(kZoomFactor, steps));
    eye_ = lookAt_ + offset * (wanted / distance);
    ++viewMoves_;
}

void Scene::Orbit(double across, double upward)
{
    Vector3 up = unit(ViewUp());
    if (length(up) == 0) return;
    Vector3 offset = eye_ - lookAt_;
    if (length(offset) == 0) return;
    offset = rotate(offset, up, -across);
    // The elevation of the eye over the plane across the up vector, kept
    // within 1 degree of straight above or below.
    double distance = length(offset);
    double elevation = std::asin(std::clamp(dot(offset, up) / distance, -1.0, 1.0)) * 180 / kPi;
    double target = std::clamp(elevation + upward, -89.0, 89.0);
    Vector3 side = cross(up, offset);
    if (length(side) > 1e-12) offset = rotate(offset, unit(side), -(target - elevation));
    eye_ = lookAt_ + offset;
    ++viewMoves_;
}

void Scene::RestoreProgramCamera()
{
    eye_ = programEye_;
    lookAt_ = programLookAt_;
    up_ = programUp_;
    ++viewMoves_;
}

// One pass of GL feedback over the root members' lists with an orthogonal
// projection of the box [low, high]: the box of the vertices that land in
// it. A pass is as precise as the box is small against the viewport, so
// DrawingBounds narrows the box pass by pass.
void Scene::worldProjection(const Vector3& low, const Vector3& high, const std::function<void()>& draw)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(low.x, high.x, low.y, high.y, -low.z, -high.z);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, kWorldGrid, kWorldGrid);
    glDepthRange(0, 1);
    draw();
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void Scene::drawRootLists()
{
    Atom* root = RootNode();
    if (!root) return;
    for (Atom* m = root->FirstChild; m; m = m->NextSibling)
        if (uint32_t name = ListOf(m)) {
            // An export reads line widths from pass-through markers: each
            // object starts with the width GL starts it with.
            if (exporting_) {
                glPassThrough(TAVRO_PASS_LINE_WIDTH);
                glPassThrough(1);
            }
            CallListIsolated(name);
        }
}

bool Scene::feedbackBounds(const Vector3& low, const Vector3& high, Vector3& outLow, Vector3& outHigh)
{
    constexpr int kGrid = kWorldGrid;
    if (!RootNode()) return false;
    static std::vector<GLfloat> buffer(1 << 20);
    GLint count = -1;
    for (;;) {
        worldProjection(low, high, [&] {
            glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
            glRenderMode(GL_FEEDBACK);
            drawRootLists();
            count = glRenderMode(GL_RENDER);
        });
        if (count >= 0 || buffer.size() >= (size_t(1) << 27)) break;
        buffer.resize(buffer.size() * 4);
    }
    if (count <= 0) return false;

    bool any = false;
    auto take = [&](const GLfloat* v) {
        Vector3 p{low.x + (high.x - low.x) * v[0] / kGrid, low.y + (high.y - low.y) * v[1] / kGrid,
                  low.z + (high.z - low.z) * v[2]};
        if (!any) {
            outLow = outHigh = p;
            any = true;
            return;
        }
        outLow = {std::min(outLow.x, p.x), std::min(outLow.y, p.y), std::min(outLow.z, p.z)};
        outHigh = {std::max(outHigh.x, p.x), std::max(outHigh.y, p.y), std::max(outHigh.z, p.z)};
    };
    // Tokens: a point, a line (two vertices), a polygon (a count, then
    // vertices), bitmaps and pixel copies (one vertex each), pass-through
    // markers (one value); each vertex is three floats in GL_3D.
    for (GLint i = 0; i < count;) {
        auto token = GLint(buffer[i++]);
        switch (token) {
        case GL_POINT_TOKEN:
        case GL_BITMAP_TOKEN:
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN:
            take(&buffer[i]);
            i += 3;
            break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            take(&buffer[i]);
            take(&buffer[i + 3]);
            i += 6;
            break;
        case GL_POLYGON_TOKEN: {
            auto n = GLint(buffer[i++]);
            for (GLint k = 0; k < n; ++k, i += 3) take(&buffer[i]);
            break;
        }
        case GL_PASS_THROUGH_TOKEN: i += 1; break;
        default: i = count; break;
        }
    }
    return any;
}

bool Scene::DrawingBounds(Vector3& low, Vector3& high)
{
    if (compiling_ > 0 || drawing_) return false;
    Vector3 a{-1e6, -1e6, -1e6}, b{1e6, 1e6, 1e6};
    for (int pass = 0; pass < 4; ++pass) {
        Vector3 l, h;
        if (!feedbackBounds(a, b, l, h)) return pass > 0;
        low = l;
        high = h;
        // The next pass looks at the box found, widened by this pass's
        // resolution so that no vertex falls outside it.
        Vector3 slack = (b - a) * (2.0 / 4096);
        slack = {std::max(slack.x, 1e-9), std::max(slack.y, 1e-9), std::max(slack.z, 1e-9)};
        a = l - slack;
        b = h + slack;
    }
    return true;
}

bool Scene::Fit()
{
    Vector3 low, high;
    if (!DrawingBounds(low, high)) return false;
    Vector3 centre = (low + high) * 0.5;
    double radius = std::max(length(high - low) * 0.5, 1e-3);
    Vector3 direction = unit(eye_ - lookAt_);
    if (length(direction) == 0) direction = unit(ViewUp());
    // The sphere around the box fits the narrower of the two fields of view.
    double fovY = FieldOfView(height_) * kPi / 180;
    double fovX = 2 * std::atan(std::tan(fovY / 2) * width_ / height_);
    double half = std::min(fovY, fovX) / 2;
    double distance = radius * kFitMargin / std::sin(half);
    lookAt_ = centre;
    eye_ = centre + direction * distance;
    ++viewMoves_;
    return true;
}

bool Scene::DrawingOutsideView()
{
    Vector3 low, high;
    if (!DrawingBounds(low, high)) return false;
    // The corners of the box in eye coordinates, against the view volume.
    Vector3 forward = unit(lookAt_ - eye_);
    Vector3 side = unit(cross(forward, ViewUp()));
    Vector3 up = cross(side, forward);
    double tanY = std::tan(FieldOfView(height_) * kPi / 360);
    double tanX = tanY * width_ / height_;
    for (int i = 0; i < 8; ++i) {
        Vector3 corner{i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z};
        Vector3 v = corner - eye_;
        double depth = dot(v, forward);
        if (depth <= kNearPlane) return true;
        if (std::abs(dot(v, side)) > depth * tanX || std::abs(dot(v, up)) > depth * tanY) return true;
    }
    return false;
}

}  // namespace tavro::scene
