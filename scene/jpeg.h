// JPEG files: the plane's pictures are written as JPEG whatever the file
// name's extension; skins and tests read them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavro::scene {

// An RGB picture, top row first, 3 bytes per pixel, rows without padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    const uint8_t* At(int x, int y) const { return &pixels[(size_t(y) * width + x) * 3]; }
};

// Writes `height` rows of `width` RGB pixels, top row first; each row
// starts `bytesPerLine` bytes after the previous one (a toolkit image pads
// its rows; a negative stride walks a bottom-up buffer from its last
// row). Quality 1..100. False with a reason in `error` when the file
// cannot be opened or written; never exits the process.
bool WriteJpeg(const std::string& path, const uint8_t* rgb, int width, int height, int bytesPerLine,
               int quality, std::string& error);

// Reads a JPEG file as RGB (greyscale pictures are expanded). False with a
// reason in `error` for a missing, damaged or truncated file.
bool ReadJpeg(const std::string& path, RgbImage& image, std::string& error);

}  // namespace tavro::scene
