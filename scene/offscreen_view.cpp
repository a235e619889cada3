#include "offscreen_view.h"

#include <GL/osmesa.h>

#include <vector>

namespace tavro::scene {

struct OffscreenView::Context {
    OSMesaContext handle = nullptr;
    std::vector<unsigned char> buffer;
    ~Context()
    {
        if (handle) OSMesaDestroyContext(handle);
    }
};

OffscreenView::OffscreenView(bool lazy) : lazy_(lazy) {}
OffscreenView::~OffscreenView() = default;

bool OffscreenView::Create(int width, int height, std::string& error)
{
    if (width < 1 || height < 1 || width > 16384 || height > 16384) {
        error = "the size must be between 1x1 and 16384x16384";
        return false;
    }
    auto context = std::make_unique<Context>();
    context->handle = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (!context->handle) {
        error = "no off-screen GL context";
        return false;
    }
    context->buffer.assign(size_t(width) * height * 4, 0);
    if (!OSMesaMakeCurrent(context->handle, context->buffer.data(), GL_UNSIGNED_BYTE, width,
                           height)) {
        error = "the off-screen GL context cannot be made current";
        return false;
    }
    // The old context's objects went with it (it shares none).
    layer_ = FrameLayer();
    context_ = std::move(context);
    width_ = width;
    height_ = height;
    return true;
}

bool OffscreenView::MakeCurrent()
{
    if (!context_) return false;
    if (OSMesaGetCurrentContext() == context_->handle) return true;
    return OSMesaMakeCurrent(context_->handle, context_->buffer.data(), GL_UNSIGNED_BYTE, width_,
                             height_);
}

void OffscreenView::Present()
{
    if (!lazy_) glFinish();
}

RgbImage OffscreenView::Read() const
{
    RgbImage image;
    if (!context_) return image;
    image.width = width_;
    image.height = height_;
    image.pixels.resize(size_t(width_) * height_ * 3);
    // The buffer holds RGBA rows bottom-up.
    for (int y = 0; y < height_; ++y) {
        const unsigned char* from = &context_->buffer[size_t(height_ - 1 - y) * width_ * 4];
        unsigned char* to = &image.pixels[size_t(y) * width_ * 3];
        for (int x = 0; x < width_; ++x) {
            to[3 * x] = from[4 * x];
            to[3 * x + 1] = from[4 * x + 1];
            to[3 * x + 2] = from[4 * x + 2];
        }
    }
    return image;
}

}  // namespace tavro::scene
