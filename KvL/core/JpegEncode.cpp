#include "JpegEncode.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

// libjpeg's error_exit must not return: it jumps back into the encoder.
struct TErrorJump {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

[[noreturn]] void JumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TErrorJump*>(info->err)->Jump, 1);
}

} // namespace

bool EncodeJpegAtQuality(const TKvPixels& picture, int quality, std::vector<std::uint8_t>& jpeg, TJpegDensity density)
{
    jpeg.clear();
    if (picture.Width <= 0 || picture.Height <= 0 || picture.Data == nullptr || picture.BytesPerPixel != 3)
        return false;
    jpeg_compress_struct info{};
    TErrorJump errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    info.err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = JumpOnError;
    if (setjmp(errors.Jump) != 0) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.Width);
    info.image_height = JDIMENSION(picture.Height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
    if (density.X > 0 && density.Y > 0) {
        info.density_unit = 1; // dots per inch
        info.X_density = UINT16(std::min(density.X, 65535));
        info.Y_density = UINT16(std::min(density.Y, 65535));
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = picture.Data + std::ptrdiff_t(info.next_scanline) * picture.Stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    try {
        jpeg.assign(buffer, buffer + size);
    } catch (...) {
        std::free(buffer);
        throw;
    }
    std::free(buffer);
    return true;
}
