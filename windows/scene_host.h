// The desktop environment's side of the 3D scene: the one Scene, the GL
// context that display lists are compiled in while no plane window is
// open (an off-screen surface sharing lists with every plane window), and
// the window services of the libraries: the plane's pop-up menu, the skin's
// border sizes, opening the plane, widgets on the plane and sound.
#pragma once

#include <cstdint>
#include <string>

#include "atom.h"
#include "scene.h"

namespace tavro {

scene::Scene& TheScene();

// Makes a context of the scene's share group current (the open plane
// window's, else the off-screen one); false when GL is not available.
bool MakeSceneContextCurrent();

// The window services: 17 (plane menu), 29/30 (skin borders), 35 (show
// the plane), 106/107 (widget properties). Other codes: 0.
intptr_t WindowService(int code, TText* text, long double n1, long double n2, long double n3, long double n4);

// Widgets on the plane window (services 18-23, 26). Null when no plane
// window could be opened.
Atom* CreatePlaneWidget(int serviceCode);
void ReleasePlaneWidget(Atom* widget);

// Service 24: plays a media file on player 1 or 2.
void PlayMedia(const std::string& file, int player);

}  // namespace tavro
