// PNG files, written and read with libpng: the plane's lossless pictures.
#pragma once

#include <string>

#include "jpeg.h"

namespace tavro::scene {

// Writes `height` rows of `width` RGB pixels, top row first, each row
// `bytesPerLine` bytes after the previous one (negative for a bottom-up
// buffer walked from its last row). False with a reason in `error` when
// the file cannot be written.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, int bytesPerLine,
              std::string& error);

// Reads a PNG file as RGB (alpha dropped, grey expanded). False with a
// reason for a missing or damaged file.
bool ReadPng(const std::string& path, RgbImage& image, std::string& error);

}  // namespace tavro::scene
