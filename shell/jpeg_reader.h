// Reading JPEG pictures with libjpeg. A damaged or truncated file is an
// error (the library's fatal errors are caught), never a crash or an exit.
#pragma once

#include <QImage>
#include <string>

namespace tavro::shell {

// The picture as RGB32, or a null image with `error` set.
QImage ReadJpeg(const std::string& path, std::string* error = nullptr);

}  // namespace tavro::shell
