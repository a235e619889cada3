// The scene's host services and the picture of the view.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "errors.h"
#include "host_services.h"
#include "interpreter.h"
#include "scene.h"

namespace tavro::scene {

bool Scene::HandlesService(int code)
{
    static constexpr int kCodes[] = {3, 4, 5, 6, 9, 10, 14, 27, 28, 31, 32, 33, 34, TAVRO_SVC_SCENE_GET};
    return std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes);
}

bool Scene::ServiceNeedsContext(int code, long double n1, long double n2) const
{
    return !(code == TAVRO_SVC_REBUILD && n2 == 1 && HasDisplayList(ServiceAtom(n1)));
}

intptr_t Scene::Service(int code, TText* text, long double n1, long double n2, long double n3,
                        long double n4)
{
    switch (code) {
    case TAVRO_SVC_EYE:
        if (!RunningLibraries) ++cameraSetsByProgram_;
        eye_ = programEye_ = {double(n1), double(n2), double(n3)};
        return 0;
    case TAVRO_SVC_LOOKAT:
        if (!RunningLibraries) ++cameraSetsByProgram_;
        lookAt_ = programLookAt_ = {double(n1), double(n2), double(n3)};
        return 0;
    case TAVRO_SVC_UPVECTOR:
        if (!RunningLibraries) ++cameraSetsByProgram_;
        up_ = programUp_ = {double(n1), double(n2), double(n3)};
        return 0;
    case TAVRO_SVC_BACKGROUND:
        background_ = {double(n1), double(n2), double(n3), double(n4)};
        backgroundSet_ = true;
        // The new colour shows at once, not with the next change.
        Redraw();
        return 0;
    case TAVRO_SVC_REDRAW:
        Redraw();
        return 0;
    case TAVRO_SVC_REBUILD: {
        Atom* node = ServiceAtom(n1);
        if (!IsVariable(node)) return 0;
        if (n2 == 1) {
            BuildLater(node);
            return 0;
        }
        DeleteDisplayList(node);
        BuildDisplayList(node);
        return 0;
    }
    case TAVRO_SVC_CALL_LIST:
        if (compiling_ > 0) DrawChild(ServiceAtom(n1));
        return 0;
    case TAVRO_SVC_SAVE_PICTURE:
        // Pictures and picks see every drawing as it is now.
        if (BuildDeferred()) Redraw();
        SavePicture(text ? std::string(View(*text)) : std::string(), int(ServiceWhole(n1)),
                    int(ServiceWhole(n2)));
        return 0;
    case TAVRO_SVC_PICK:
        BuildDeferred();
        return reinterpret_cast<intptr_t>(
            Pick(int(ServiceWhole(n1)), int(ServiceWhole(n2)), int(ServiceWhole(n3)), int(ServiceWhole(n4))));
    case TAVRO_SVC_DEFER_DRAWING:
        deferred_ = true;
        return 0;
    case TAVRO_SVC_RESUME_DRAWING:
        deferred_ = false;
        // The rebuild draws a frame: requests made meanwhile are served.
        redrawPending_ = false;
        deferredBuilds_.clear();
        RebuildScene();
        return 0;
    case TAVRO_SVC_BLOCK_MOUSE:
        mouseBlocked_ = true;
        return 0;
    case TAVRO_SVC_UNBLOCK_MOUSE:
        mouseBlocked_ = false;
        return 0;
    case TAVRO_SVC_SCENE_GET:
        return reinterpret_cast<intptr_t>(sceneValue(int(ServiceWhole(n1))));
    default:
        return 0;
    }
}

// The camera and the background as the program reads them back.
Atom* Scene::sceneValue(int which) const
{
    return SceneReading(which, eye_, lookAt_, up_, background_);
}

}  // namespace tavro::scene
