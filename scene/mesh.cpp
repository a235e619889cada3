#include "mesh.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>

#include "vector_math.h"
#include "whole_file.h"

namespace tavro::scene {

int Mesh::Add(const Vector3& v)
{
    vertices.push_back(v);
    return int(vertices.size()) - 1;
}

void Mesh::Triangle(int a, int b, int c, int material)
{
    if (a == b || b == c || a == c) return;
    triangles.push_back({a, b, c});
    materialOf.push_back(material);
}

int Mesh::Material(const Colour& c)
{
    auto same = [](double a, double b) { return std::lround(a * 255) == std::lround(b * 255); };
    for (size_t i = 0; i < materials.size(); ++i)
        if (same(materials[i].r, c.r) && same(materials[i].g, c.g) && same(materials[i].b, c.b)) return int(i);
    materials.push_back({c.r, c.g, c.b, 1});
    return int(materials.size()) - 1;
}

void Mesh::Tube(const Vector3& a, const Vector3& b, double width, int material, int sides)
{
    Vector3 axis = unit(b - a);
    if (dot(axis, axis) == 0) {
        Dot(a, width, material);
        return;
    }
    // Two axes across the segment.
    Vector3 helper = std::abs(axis.z) < 0.9 ? Vector3{0, 0, 1} : Vector3{1, 0, 0};
    Vector3 u = unit(cross(axis, helper)), v = cross(axis, u);
    double r = width / 2;
    int first = int(vertices.size());
    for (int end = 0; end < 2; ++end)
        for (int k = 0; k < sides; ++k) {
            double t = 2 * kPi * k / sides;
            Add((end ? b : a) + u * (r * std::cos(t)) + v * (r * std::sin(t)));
        }
    int ca = Add(a), cb = Add(b);
    for (int k = 0; k < sides; ++k) {
        int k1 = (k + 1) % sides;
        int a0 = first + k, a1 = first + k1, b0 = first + sides + k, b1 = first + sides + k1;
        Triangle(a0, a1, b1, material);
        Triangle(a0, b1, b0, material);
        Triangle(ca, a1, a0, material);
        Triangle(cb, b0, b1, material);
    }
}

void Mesh::Dot(const Vector3& p, double width, int material)
{
    double r = width / 2;
    int px = Add(p + Vector3{r, 0, 0}), nx = Add(p + Vector3{-r, 0, 0});
    int py = Add(p + Vector3{0, r, 0}), ny = Add(p + Vector3{0, -r, 0});
    int pz = Add(p + Vector3{0, 0, r}), nz = Add(p + Vector3{0, 0, -r});
    Triangle(px, py, pz, material);
    Triangle(py, nx, pz, material);
    Triangle(nx, ny, pz, material);
    Triangle(ny, px, pz, material);
    Triangle(py, px, nz, material);
    Triangle(nx, py, nz, material);
    Triangle(ny, nx, nz, material);
    Triangle(px, ny, nz, material);
}

bool Mesh::Watertight(bool oriented) const
{
    std::map<std::pair<int, int>, int> uses;
    for (const auto& t : triangles)
        for (int k = 0; k < 3; ++k) {
            int a = t[k], b = t[(k + 1) % 3];
            if (oriented) ++uses[{a, b}];
            else ++uses[{std::min(a, b), std::max(a, b)}];
        }
    for (const auto& [edge, count] : uses) {
        if (oriented) {
            auto back = uses.find({edge.second, edge.first});
            if (count != 1 || back == uses.end() || back->second != 1) return false;
        } else if (count != 2) {
            return false;
        }
    }
    return !triangles.empty();
}

bool WriteStl(const std::string& path, const Mesh& mesh, std::string& error)
{
    std::string bytes(80, '\0');
    std::memcpy(bytes.data(), "Tavro drawing, one unit per turtle step", 39);
    auto put32 = [&](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    auto putFloat = [&](double d) {
        float f = float(d);
        bytes.append(reinterpret_cast<const char*>(&f), 4);
    };
    put32(uint32_t(mesh.triangles.size()));
    for (const auto& t : mesh.triangles) {
        const Vector3 &a = mesh.vertices[size_t(t[0])], &b = mesh.vertices[size_t(t[1])],
                      &c = mesh.vertices[size_t(t[2])];
        Vector3 n = unit(cross(b - a, c - a));
        for (const Vector3& v : {n, a, b, c}) {
            putFloat(v.x);
            putFloat(v.y);
            putFloat(v.z);
        }
        bytes.append(2, '\0');
    }
    return tavro::WriteWholeFile(path, bytes, &error);
}

bool WriteObj(const std::string& path, const Mesh& mesh, std::string& error)
{
    std::string base = path;
    size_t dot = base.find_last_of('.'), slash = base.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.resize(dot);
    std::string library = base + ".mtl";
    std::string libraryName = library.substr(library.find_last_of('/') == std::string::npos ? 0 : library.find_last_of('/') + 1);

    char line[160];
    std::string materials = "# Tavro drawing: the colours of " + libraryName.substr(0, libraryName.size() - 4) + ".obj\n";
    for (size_t i = 0; i < mesh.materials.size(); ++i) {
        const Colour& c = mesh.materials[i];
        std::snprintf(line, sizeof line, "newmtl colour%zu\nKd %.4f %.4f %.4f\nKa %.4f %.4f %.4f\n", i + 1, c.r, c.g, c.b,
                      c.r, c.g, c.b);
        materials += line;
    }
    std::string obj = "# Tavro drawing, one unit per turtle step\nmtllib " + libraryName + "\n";
    for (const Vector3& v : mesh.vertices) {
        std::snprintf(line, sizeof line, "v %.5f %.5f %.5f\n", v.x, v.y, v.z);
        obj += line;
    }
    int current = -1;
    for (size_t i = 0; i < mesh.triangles.size(); ++i) {
        if (mesh.materialOf[i] != current) {
            current = mesh.materialOf[i];
            obj += "usemtl colour" + std::to_string(current + 1) + "\n";
        }
        const auto& t = mesh.triangles[i];
        std::snprintf(line, sizeof line, "f %d %d %d\n", t[0] + 1, t[1] + 1, t[2] + 1);
        obj += line;
    }
    return tavro::WriteWholeFile(library, materials, &error) && tavro::WriteWholeFile(path, obj, &error);
}

}  // namespace tavro::scene
