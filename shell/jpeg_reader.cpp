#include "jpeg_reader.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace tavro::shell {

namespace {

// libjpeg reports fatal errors through error_exit, which by default ends
// the process; ours jumps back to the reader instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info)
{
    auto* e = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

void onMessage(j_common_ptr) {}  // warnings are not shown

}  // namespace

QImage ReadJpeg(const std::string& path, std::string* error)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (error) *error = "cannot open " + path;
        return {};
    }
    jpeg_decompress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.output_message = onMessage;
    // Everything the jump may skip over lives outside this frame's
    // registers: the image is filled only after setjmp returned 0.
    QImage* volatile image = new QImage();
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        if (error) *error = path + ": " + err.message;
        delete image;
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    *image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    QImage result = image->convertToFormat(QImage::Format_RGB32);
    delete image;
    return result;
}

}  // namespace tavro::shell
