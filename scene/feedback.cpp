#include "feedback.h"

#include <GL/gl.h>

#include "tavro.h"

namespace tavro::scene {

bool CaptureFeedback(const std::function<void()>& draw, std::vector<FeedbackPrimitive>& out,
                     size_t maxFloats)
{
    std::vector<GLfloat> buffer(size_t(1) << 18);
    GLint count = -1;
    for (;;) {
        glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw();
        count = glRenderMode(GL_RENDER);
        if (count >= 0) break;
        if (buffer.size() * 4 > maxFloats) return false;
        buffer.resize(buffer.size() * 4);
    }

    // Each vertex is x, y, z and r, g, b, a in GL_3D_COLOR with RGBA.
    constexpr int kVertex = 7;
    float width = 1;
    bool markerNext = false;
    auto vertex = [&](GLint at) {
        const GLfloat* v = &buffer[size_t(at)];
        return FeedbackVertex{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
    };
    out.clear();
    for (GLint i = 0; i < count;) {
        auto token = GLint(buffer[size_t(i++)]);
        switch (token) {
        case GL_POINT_TOKEN:
            out.push_back({FeedbackPrimitive::Point, false, width, {vertex(i)}});
            i += kVertex;
            break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            out.push_back({FeedbackPrimitive::Line, token == GL_LINE_RESET_TOKEN, width,
                           {vertex(i), vertex(i + kVertex)}});
            i += 2 * kVertex;
            break;
        case GL_POLYGON_TOKEN: {
            auto n = GLint(buffer[size_t(i++)]);
            FeedbackPrimitive p{FeedbackPrimitive::Polygon, false, width, {}};
            for (GLint k = 0; k < n; ++k, i += kVertex) p.vertices.push_back(vertex(i));
            out.push_back(std::move(p));
            break;
        }
        case GL_BITMAP_TOKEN:
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN: i += kVertex; break;
        case GL_PASS_THROUGH_TOKEN: {
            float value = buffer[size_t(i++)];
            if (markerNext) {
                width = value > 0 ? value : 1;
                markerNext = false;
            } else {
                markerNext = value == TAVRO_PASS_LINE_WIDTH;
            }
            break;
        }
        default: i = count; break;
        }
    }
    return true;
}

}  // namespace tavro::scene
