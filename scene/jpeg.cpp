// libjpeg's default error handler ends the process; ours jumps back to the
// caller with the library's message, so a bad path or a damaged file is an
// ordinary failure.
#include "jpeg.h"

#include <jpeglib.h>

#include <cerrno>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace tavro::scene {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jumpBack(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Corrupt-data warnings would otherwise go to standard error.
void keepQuiet(j_common_ptr, int) {}

void installHandler(ErrorManager& manager, jpeg_error_mgr*& slot)
{
    slot = jpeg_std_error(&manager.base);
    manager.base.error_exit = jumpBack;
    manager.base.emit_message = keepQuiet;
    manager.message[0] = '\0';
}

}  // namespace

bool WriteJpeg(const std::string& path, const uint8_t* rgb, int width, int height, int bytesPerLine,
               int quality, std::string& error)
{
    if (width <= 0 || height <= 0) {
        error = "empty picture";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    jpeg_compress_struct info;
    ErrorManager manager;
    installHandler(manager, info.err);
    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        std::fclose(file);
        error = manager.message;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(rgb + std::ptrdiff_t(info.next_scanline) * bytesPerLine);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    // A full disk shows only when the buffered bytes are flushed.
    bool written = !std::ferror(file);
    if (std::fclose(file) != 0) written = false;
    if (!written) error = std::strerror(errno);
    return written;
}

bool ReadJpeg(const std::string& path, RgbImage& image, std::string& error)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    jpeg_decompress_struct info;
    ErrorManager manager;
    installHandler(manager, info.err);
    if (setjmp(manager.jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        error = manager.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image.width = int(info.output_width);
    image.height = int(info.output_height);
    image.pixels.assign(size_t(image.width) * image.height * 3, 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &image.pixels[size_t(info.output_scanline) * image.width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return true;
}

}  // namespace tavro::scene
