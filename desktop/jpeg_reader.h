// JPEG pictures as Qt images, read by the scene's reader: a damaged or
// truncated file is an error, never a crash or an exit.
#pragma once

#include <QImage>
#include <string>

namespace tavro::desktop {

// The picture as RGB32, or a null image with `error` set.
QImage ReadJpeg(const std::string& path, std::string* error = nullptr);

}  // namespace tavro::desktop
