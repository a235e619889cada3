// The little vector arithmetic the camera and the model export share.
// Internal to the scene.
#pragma once

#include <cmath>

#include "scene_settings.h"

namespace tavro::scene {

constexpr double kPi = 3.14159265358979323846;

inline Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator*(Vector3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 cross(Vector3 a, Vector3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vector3 a) { return std::sqrt(dot(a, a)); }
// The vector of length 1 along a; the zero vector stays zero.
inline Vector3 unit(Vector3 a)
{
    double n = length(a);
    return n > 0 ? a * (1 / n) : a;
}

}  // namespace tavro::scene
