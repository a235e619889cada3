// Calling one object's list so that what its drawing changes (matrices,
// colour, lighting and other switches, line and point sizes) does not leak
// into the objects drawn after it. Internal to the scene.
#pragma once

#include <GL/gl.h>

#include <cstdint>

namespace tavro::scene {

inline void CallListIsolated(uint32_t name)
{
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POINT_BIT |
                 GL_POLYGON_BIT);
    glPushMatrix();
    glCallList(name);
    glPopMatrix();
    glPopAttrib();
}

// The same under the list's selection name (picking reports it).
inline void CallListNamed(uint32_t name)
{
    glPushName(name);
    CallListIsolated(name);
    glPopName();
}

}  // namespace tavro::scene
