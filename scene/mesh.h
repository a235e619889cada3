// The scene's solids as a triangle mesh for 3D printing, and its STL and
// OBJ files. Coordinates are turtle steps: one unit of the files is one
// step of the turtle (0.05 units of the scene).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "scene_settings.h"

namespace tavro::scene {

// Scene units per unit of the exported files.
constexpr double kSceneUnitsPerStep = 0.05;

struct Mesh {
    std::vector<Vector3> vertices;
    // Corners counter-clockwise seen from outside, and a material each.
    std::vector<std::array<int, 3>> triangles;
    std::vector<int> materialOf;
    // Colours 0..1 (alpha ignored).
    std::vector<Colour> materials;

    // Adds a vertex without sharing it; its index.
    int Add(const Vector3& v);
    void Triangle(int a, int b, int c, int material);
    // The index of a material of this colour (colours are told apart to
    // 1/255).
    int Material(const Colour& c);
    // A closed tube of `sides` sides and diameter `width` around the
    // segment a-b, with flat ends.
    void Tube(const Vector3& a, const Vector3& b, double width, int material, int sides = 8);
    // A closed octahedron of diameter `width` around p.
    void Dot(const Vector3& p, double width, int material);
    // Whether every edge is an edge of exactly two triangles (that use it
    // in opposite directions when `oriented`).
    bool Watertight(bool oriented = false) const;
};

// Binary STL. False with the system's reason.
bool WriteStl(const std::string& path, const Mesh& mesh, std::string& error);
// OBJ with its colours in a material file beside it (the same name with
// ".mtl"). False with the system's reason.
bool WriteObj(const std::string& path, const Mesh& mesh, std::string& error);

}  // namespace tavro::scene
