// The scene's solids for 3D printing: the triangles of every drawing in
// the scene's coordinates (no camera), read back through GL feedback under
// an orthogonal projection of the drawing's box; lines become closed tubes
// and points small closed solids, so that a turtle's path prints.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "feedback.h"
#include "mesh.h"
#include "scene.h"

namespace tavro::scene {

bool Scene::MeshOf(Mesh& mesh)
{
    Vector3 low, high;
    if (!DrawingBounds(low, high)) return false;
    double extent = std::max({high.x - low.x, high.y - low.y, high.z - low.z, 1e-3});
    // Room around the box, so that no vertex is clipped.
    double slack = extent * 0.01;
    low = {low.x - slack, low.y - slack, low.z - slack};
    high = {high.x + slack, high.y + slack, high.z + slack};

    std::vector<FeedbackPrimitive> primitives;
    bool captured = false;
    ExportScope exporting(exporting_);
    worldProjection(low, high, [&] { captured = CaptureFeedback([&] { drawRootLists(); }, primitives); });
    if (!captured) throw std::bad_alloc();

    auto toSteps = [&](const FeedbackVertex& v) {
        return Vector3{(low.x + (high.x - low.x) * v.x / kWorldGrid) / kSceneUnitsPerStep,
                       (low.y + (high.y - low.y) * v.y / kWorldGrid) / kSceneUnitsPerStep,
                       (low.z + (high.z - low.z) * v.z) / kSceneUnitsPerStep};
    };
    // The faces of one solid share their corners: corners closer than the
    // feedback's precision are one vertex.
    double quantum = extent / kSceneUnitsPerStep * 1e-6;
    std::map<std::tuple<long long, long long, long long>, int> corners;
    auto corner = [&](const Vector3& p) {
        auto key = std::make_tuple(std::llround(p.x / quantum), std::llround(p.y / quantum),
                                   std::llround(p.z / quantum));
        auto [at, added] = corners.try_emplace(key, 0);
        if (added) at->second = mesh.Add(p);
        return at->second;
    };
    auto material = [&](const FeedbackVertex& v) { return mesh.Material({v.r, v.g, v.b, 1}); };

    for (const FeedbackPrimitive& p : primitives) {
        const FeedbackVertex& first = p.vertices.front();
        switch (p.kind) {
        case FeedbackPrimitive::Point: mesh.Dot(toSteps(first), std::max(1.0f, p.width), material(first)); break;
        case FeedbackPrimitive::Line:
            mesh.Tube(toSteps(first), toSteps(p.vertices[1]), std::max(1.0f, p.width), material(first));
            break;
        case FeedbackPrimitive::Polygon: {
            if (p.vertices.size() < 3) break;
            int m = material(first);
            int a = corner(toSteps(first));
            for (size_t k = 1; k + 1 < p.vertices.size(); ++k)
                mesh.Triangle(a, corner(toSteps(p.vertices[k])), corner(toSteps(p.vertices[k + 1])), m);
            break;
        }
        }
    }
    return !mesh.triangles.empty();
}

}  // namespace tavro::scene
