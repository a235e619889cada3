#include "scene_settings.h"

#include "host_services.h"

namespace tavro::scene {

Atom* SceneReading(int which, const Vector3& eye, const Vector3& lookAt, const Vector3& up,
                   const Colour& background)
{
    Atom* head = nullptr;
    Atom* tail = nullptr;
    auto add = [&](double v) { Append(head, tail, NewNumber(v)); };
    auto vector = [&](const Vector3& v) {
        add(v.x);
        add(v.y);
        add(v.z);
    };
    switch (which) {
    case 1: vector(eye); break;
    case 2: vector(lookAt); break;
    case 3: vector(up); break;
    case 4:
        add(background.r);
        add(background.g);
        add(background.b);
        add(background.a);
        break;
    default: break;
    }
    return head;
}

bool SceneSettings::Answer(int code, long double n1, long double n2, long double n3, long double n4,
                           intptr_t& result)
{
    result = 0;
    Vector3 v{double(n1), double(n2), double(n3)};
    switch (code) {
    case TAVRO_SVC_EYE: eye = v; return true;
    case TAVRO_SVC_LOOKAT: lookAt = v; return true;
    case TAVRO_SVC_UPVECTOR: up = v; return true;
    case TAVRO_SVC_BACKGROUND: background = {v.x, v.y, v.z, double(n4)}; return true;
    case TAVRO_SVC_SCENE_GET:
        result = reinterpret_cast<intptr_t>(
            SceneReading(int(ServiceWhole(n1)), eye, lookAt, up, background));
        return true;
    default: return false;
    }
}

}  // namespace tavro::scene
