#include "follow_drawing.h"

#include <cstdint>

#include "configuration.h"
#include "plane_window.h"
#include "scene_host.h"

namespace tavro {

namespace {

constexpr const char* kKey = "PLANE.FOLLOW";

uint64_t gCameraSets = 0;
uint64_t gViewMoves = 0;
uint64_t gListsCompiled = 0;

}  // namespace

bool FollowsDrawing() { return desktop::ConfigValue(kKey) != "No"; }

void SetFollowsDrawing(bool on) { desktop::ConfigSetYes(kKey, on); }

void NoteRunBegins()
{
    gCameraSets = TheScene().CameraSetsByProgram();
    gViewMoves = TheScene().ViewMoves();
    gListsCompiled = TheScene().ListsCompiled();
}

void FollowDrawingAfterRun()
{
    PlaneWindow* plane = ThePlaneWindow();
    scene::Scene& scene = TheScene();
    // Only a view on the screen follows, and only when nobody chose it.
    if (!plane || !FollowsDrawing() || scene.CameraSetsByProgram() != gCameraSets ||
        scene.ViewMoves() != gViewMoves)
        return;
    // Nothing new was drawn: the view the user saw stays.
    if (scene.ListsCompiled() == gListsCompiled && !scene.HasDeferredBuilds()) return;
    if (!MakeSceneContextCurrent() || !scene.DrawingOutsideView()) return;
    scene.Fit();
    if (plane->View()) plane->View()->update();
}

}  // namespace tavro
