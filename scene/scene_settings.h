// The camera and the background as a program sets and reads them, without
// GL: the scene keeps them for its frames, and a host that has no view (the
// runner without --picture) keeps them here, so that a program reads back
// what it set in every environment.
#pragma once

#include "atom.h"

namespace tavro::scene {

struct Vector3 {
    double x, y, z;
};

// A colour with components 0..1.
struct Colour {
    double r, g, b, a;
};

// The camera defaults: eye (5, 15, 5) looking at the origin, Z up.
constexpr Vector3 kDefaultEye{5, 15, 5};
constexpr Vector3 kDefaultLookAt{0, 0, 0};
constexpr Vector3 kDefaultUp{0, 0, 1};

// What `geteye`, `getlookat`, `getupvector` and `getbackground` read
// (service 112 with N1 = 1, 2, 3, 4): a new list of numbers, or the empty
// list for any other N1.
Atom* SceneReading(int which, const Vector3& eye, const Vector3& lookAt, const Vector3& up,
                   const Colour& background);

struct SceneSettings {
    Vector3 eye = kDefaultEye;
    Vector3 lookAt = kDefaultLookAt;
    Vector3 up = kDefaultUp;
    // A host without a skin shows a white plane.
    Colour background{1, 1, 1, 1};

    // Services 3 to 6 (eye, look-at point, up vector, background) and 112
    // (the readings). False, and nothing changed, for any other code.
    bool Answer(int code, long double n1, long double n2, long double n3, long double n4,
                intptr_t& result);
};

}  // namespace tavro::scene
