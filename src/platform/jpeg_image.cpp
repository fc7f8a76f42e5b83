#include "platform/jpeg_image.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace platform {

namespace {
struct ErrorTrap {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->escape, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}
}  // namespace

QImage DecodeJpeg(const std::string& bytes) {
    if (bytes.empty()) return QImage();
    jpeg_decompress_struct info{};
    ErrorTrap trap{};
    info.err = jpeg_std_error(&trap.base);
    trap.base.error_exit = OnJpegError;
    trap.base.output_message = IgnoreJpegMessage;
    // Everything that must survive the longjmp lives outside this frame's registers.
    QImage* volatile image = nullptr;
    if (setjmp(trap.escape) != 0) {
        jpeg_destroy_decompress(&info);
        delete image;
        return QImage();
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = new QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                       QImage::Format_RGB888);
    if (image->isNull()) longjmp(trap.escape, 1);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    QImage result = *image;
    delete image;
    return result;
}

}  // namespace platform
