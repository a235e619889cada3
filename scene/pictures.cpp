// Pictures of the scene at any size and in the format the file name asks
// for. A raster picture larger than the view is drawn tile by tile into
// the view's own buffer, each tile with the part of the view volume it
// covers, so that no off-screen buffer of the picture's size is needed.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "errors.h"
#include "whole_file.h"
#include "mesh.h"
#include "picture_format.h"
#include "png_file.h"
#include "scene.h"
#include "vector_math.h"

namespace tavro::scene {

namespace {

constexpr int kJpegQuality = 90;

}  // namespace

// Runs `make` as a frame is drawn: mouse events wait, a redraw asked for
// meanwhile comes after it, and the view's projection is restored.
template <class Make>
auto Scene::withPictureState(Make make)
{
    BusyScope busy(*this, drawing_);
    struct Reproject {
        Scene* s;
        ~Reproject() { s->applyProjection(); }
    } reproject{this};
    return make();
}

// One tile of a picture of width x height pixels: the tile's corner (x, y)
// counts from the picture's bottom left, as GL does.
void Scene::drawTile(int x, int y, int tileWidth, int tileHeight, int width, int height)
{
    // The view volume of the whole picture: the view's vertical field, and
    // at least the view's horizontal one.
    double top = kNearPlane * std::tan(FieldOfView(height_) * kPi / 360);
    double right = top * width_ / height_;
    double aspect = double(width) / height;
    if (aspect >= double(width_) / height_)
        right = top * aspect;
    else
        top = right / aspect;
    double l = -right + 2 * right * x / width, r = -right + 2 * right * (x + tileWidth) / width;
    double b = -top + 2 * top * y / height, t = -top + 2 * top * (y + tileHeight) / height;

    glViewport(0, 0, tileWidth, tileHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(l, r, b, t, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    drawScene();
    glFinish();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

RgbImage Scene::RenderPicture(int width, int height)
{
    if (!view_ || !view_->MakeCurrent()) return {};
    return withPictureState([&] {
        RgbImage image;
        image.width = width;
        image.height = height;
        image.pixels.resize(size_t(width) * height * 3);
        std::vector<uint8_t> tile(size_t(width_) * height_ * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        for (int y = 0; y < height; y += height_)
            for (int x = 0; x < width; x += width_) {
                int w = std::min(width_, width - x), h = std::min(height_, height - y);
                drawTile(x, y, w, h, width, height);
                glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, tile.data());
                // GL's rows come bottom-up; the picture's top row is first.
                for (int row = 0; row < h; ++row)
                    std::copy_n(&tile[size_t(row) * w * 3], size_t(w) * 3,
                                &image.pixels[(size_t(height - 1 - y - row) * width + x) * 3]);
            }
        return image;
    });
}

void Scene::SavePicture(const std::string& fileName, int width, int height)
{
    PictureFormat format = PictureFormatOf(fileName);
    bool raster = format == PictureFormat::Png || format == PictureFormat::Jpeg;
    if (format == PictureFormat::None) RaiseError("PICTUREFORMAT", {fileName, kPictureFormats});
    if (!view_ || !view_->MakeCurrent()) return;
    if (width <= 0 || height <= 0) {
        width = width_;
        height = height_;
    }
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        (long long)width * height > kMaxPicturePixels)
        RaiseError("PICTURESIZE", {std::to_string(width), std::to_string(height)});

    std::string error;
    bool written = false;
    if (raster) {
        RgbImage image;
        try {
            image = RenderPicture(width, height);
        } catch (const std::bad_alloc&) {
            RaiseError("PICTURESIZE", {std::to_string(width), std::to_string(height)});
        }
        // The view shows what it showed before.
        if (view_->DrawsInPaintOnly()) view_->Present();
        else Redraw();
        const uint8_t* top = image.pixels.data();
        written = format == PictureFormat::Png
                      ? WritePng(fileName, top, width, height, width * 3, error)
                      : WriteJpeg(fileName, top, width, height, width * 3, kJpegQuality, error);
    } else if (format == PictureFormat::Svg) {
        std::string svg;
        try {
            svg = withPictureState([&] { return svgOf(width, height); });
        } catch (const std::bad_alloc&) {
            RaiseError("PICTURESIZE", {std::to_string(width), std::to_string(height)});
        }
        written = tavro::WriteWholeFile(fileName, svg, &error);
    } else {
        Mesh mesh;
        bool any = false;
        try {
            any = MeshOf(mesh);
        } catch (const std::bad_alloc&) {
            RaiseError("OUTOFMEMORY", {});
        }
        if (!any) RaiseError("PICTUREEMPTY", {fileName});
        written = format == PictureFormat::Stl ? WriteStl(fileName, mesh, error) : WriteObj(fileName, mesh, error);
    }
    if (!written) RaiseError("PICTUREFILE", {fileName, error});
}

}  // namespace tavro::scene
