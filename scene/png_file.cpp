#include "png_file.h"

#include <png.h>

#include "whole_file.h"

namespace tavro::scene {

bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, int bytesPerLine,
              std::string& error)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    // Encoded in memory first, then written as every user file is: the
    // previous file stays whole when the write fails.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb, bytesPerLine, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb, bytesPerLine, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    bytes.resize(size);
    return tavro::WriteWholeFile(path, bytes, &error);
}

bool ReadPng(const std::string& path, RgbImage& out, std::string& error)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    RgbImage result;
    result.width = int(image.width);
    result.height = int(image.height);
    result.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.pixels.data(), 0, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    out = std::move(result);
    return true;
}

}  // namespace tavro::scene
