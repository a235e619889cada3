#include "jpeg_reader.h"

#include "jpeg.h"

namespace tavro::desktop {

QImage ReadJpeg(const std::string& path, std::string* error)
{
    scene::RgbImage rgb;
    std::string why;
    if (!scene::ReadJpeg(path, rgb, why)) {
        if (error) *error = path + ": " + why;
        return {};
    }
    // The conversion copies the pixels out of `rgb` before it goes.
    return QImage(rgb.pixels.data(), rgb.width, rgb.height, rgb.width * 3, QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

}  // namespace tavro::desktop
