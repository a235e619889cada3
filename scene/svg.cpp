// The scene as an SVG drawing: the primitives the camera sees, read back
// through GL feedback, painted back to front. Lines of one strip in one
// colour become one path, so a turtle drawing is a path per stroke piece.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "feedback.h"
#include "scene.h"

namespace tavro::scene {

namespace {

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

int channel(float c) { return std::clamp(int(std::lround(c * 255)), 0, 255); }

std::string colourOf(float r, float g, float b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", channel(r), channel(g), channel(b));
    return buf;
}

std::string opacityOf(const char* attribute, float a)
{
    return a < 0.999f ? std::string(" ") + attribute + "=\"" + number(std::max(0.0f, a)) + "\"" : "";
}

bool sameEnd(const FeedbackVertex& a, const FeedbackVertex& b)
{
    return std::abs(a.x - b.x) < 1e-3f && std::abs(a.y - b.y) < 1e-3f;
}

struct Item {
    double depth;
    std::string text;
};

}  // namespace

std::string Scene::svgOf(int width, int height)
{
    std::vector<FeedbackPrimitive> primitives;
    ExportScope exporting(exporting_);
    if (!CaptureFeedback([&] { drawTile(0, 0, width, height, width, height); }, primitives))
        throw std::bad_alloc();
    auto x = [](const FeedbackVertex& v) { return number(v.x); };
    auto y = [height](const FeedbackVertex& v) { return number(height - v.y); };

    std::vector<Item> items;
    for (size_t i = 0; i < primitives.size();) {
        const FeedbackPrimitive& p = primitives[i];
        const FeedbackVertex& c = p.vertices.front();
        if (p.kind == FeedbackPrimitive::Line) {
            // A strip: the segments that continue it in the same colour.
            std::string d = "M" + x(c) + " " + y(c) + " L" + x(p.vertices[1]) + " " + y(p.vertices[1]);
            double depth = c.z + p.vertices[1].z;
            int n = 2;
            size_t j = i + 1;
            for (; j < primitives.size(); ++j) {
                const FeedbackPrimitive& q = primitives[j];
                if (q.kind != FeedbackPrimitive::Line || q.startsStrip || q.width != p.width ||
                    !sameEnd(q.vertices[0], primitives[j - 1].vertices[1]) ||
                    colourOf(q.vertices[0].r, q.vertices[0].g, q.vertices[0].b) !=
                        colourOf(c.r, c.g, c.b))
                    break;
                d += " " + x(q.vertices[1]) + " " + y(q.vertices[1]);
                depth += q.vertices[1].z;
                ++n;
            }
            items.push_back({depth / n, "<path d=\"" + d + "\" fill=\"none\" stroke=\"" + colourOf(c.r, c.g, c.b) +
                                            "\" stroke-width=\"" + number(p.width) + "\"" +
                                            opacityOf("stroke-opacity", c.a) +
                                            " stroke-linecap=\"round\" stroke-linejoin=\"round\"/>"});
            i = j;
            continue;
        }
        if (p.kind == FeedbackPrimitive::Point) {
            items.push_back({c.z, "<circle cx=\"" + x(c) + "\" cy=\"" + y(c) + "\" r=\"1\" fill=\"" +
                                      colourOf(c.r, c.g, c.b) + "\"" + opacityOf("fill-opacity", c.a) + "/>"});
        } else if (p.vertices.size() >= 3) {
            // The lit colours of the corners, averaged: one colour a face.
            float r = 0, g = 0, b = 0, a = 0;
            double depth = 0;
            std::string points;
            for (const FeedbackVertex& v : p.vertices) {
                r += v.r;
                g += v.g;
                b += v.b;
                a += v.a;
                depth += v.z;
                points += (points.empty() ? "" : " ") + x(v) + "," + y(v);
            }
            float n = float(p.vertices.size());
            std::string colour = colourOf(r / n, g / n, b / n);
            // A hairline of the same colour closes the seams between faces.
            std::string seam = a / n < 0.999f ? "" : " stroke=\"" + colour + "\" stroke-width=\"0.5\" stroke-linejoin=\"round\"";
            items.push_back({depth / n, "<polygon points=\"" + points + "\" fill=\"" + colour + "\"" +
                                            opacityOf("fill-opacity", a / n) + seam + "/>"});
        }
        ++i;
    }
    // Back to front: the farthest first (window depth 1 is the far plane).
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.depth > b.depth; });

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
                      std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
                      std::to_string(width) + " " + std::to_string(height) + "\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"" +
           colourOf(float(background_.r), float(background_.g), float(background_.b)) + "\"/>\n";
    for (const Item& item : items) svg += item.text + "\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace tavro::scene
