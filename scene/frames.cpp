// Frames: camera, projection and the replay of the root members' lists.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstring>

#include "list_call.h"
#include "scene.h"
#include "structure.h"

namespace tavro::scene {

namespace {

Colour opaque(WindowColour c)
{
    return {c.r / 255.0, c.g / 255.0, c.b / 255.0, 1.0};
}

}  // namespace

double FieldOfView(int height)
{
    return height / 500.0 * 30.0;
}

Scene::Scene()
{
    std::fill(std::begin(modelMatrix_), std::end(modelMatrix_), 0.0f);
    for (int i = 0; i < 4; ++i) modelMatrix_[5 * i] = 1.0f;
}

void Scene::SetModelMatrix(const float matrix[16])
{
    std::memcpy(modelMatrix_, matrix, sizeof modelMatrix_);
}

void Scene::OpenView(SceneView* view, WindowColour workspace)
{
    view_ = view;
    backgroundSet_ = false;
    background_ = opaque(workspace);
    if (!view_ || !view_->MakeCurrent()) return;
    width_ = std::max(1, view_->Width());
    height_ = std::max(1, view_->Height());
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    applyProjection();
}

void Scene::CloseView()
{
    view_ = nullptr;
}

void Scene::applyProjection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, width_, height_);
    gluPerspective(FieldOfView(height_), double(width_) / height_, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void Scene::Resize(int width, int height)
{
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    if (view_ && view_->MakeCurrent()) applyProjection();
}

void Scene::Paint(WindowColour workspace)
{
    if (!backgroundSet_)
        background_ = opaque(workspace);
    if (!view_ || !view_->MakeCurrent()) return;
    applyProjection();
    redrawAsPaint();
}

// Inside a paint the toolkit shows the frame itself: no Present.
void Scene::redrawAsPaint()
{
    inPaint_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inPaint_};
    Redraw();
}

void Scene::SetCameraTransform()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMultMatrixf(modelMatrix_);
    Vector3 up = ViewUp();
    gluLookAt(eye_.x, eye_.y, eye_.z, lookAt_.x, lookAt_.y, lookAt_.z, up.x, up.y, up.z);
}

void Scene::Redraw()
{
    // GL would record the frame into the list being compiled: the frame
    // after the running statement shows the change instead.
    if (!view_ || compiling_ > 0) return;
    if (drawing_ || deferred_) {
        redrawPending_ = true;
        return;
    }
    if (!inPaint_ && view_->DrawsInPaintOnly()) {
        view_->Present();
        return;
    }
    do {
        redrawPending_ = false;
        drawFrame();
    } while (redrawPending_);
}

void Scene::drawScene()
{
    beginScene(true);
    drawRootLists();
}

void Scene::beginScene(bool clear)
{
    glEnable(GL_LIGHT0);
    SetCameraTransform();

    // The background is the clear colour of this very frame (set before
    // the hook list, which may still change it).
    glClearColor(float(background_.r), float(background_.g), float(background_.b),
                 float(background_.a));
    Atom* root = RootNode();
    if (Atom* before = root ? ResolveFrom(root, kBeforeDraw) : nullptr)
        if (uint32_t name = ListOf(before)) glCallList(name);
    if (clear) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Scene::drawFrame()
{
    BusyScope busy(*this, drawing_);
    if (!view_->MakeCurrent()) return;

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    if (!drawLayered()) drawScene();
    glFlush();
    ++framesDrawn_;
    if (!inPaint_) view_->Present();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

}  // namespace tavro::scene
