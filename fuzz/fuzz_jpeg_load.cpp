// Feeds arbitrary bytes to the lossless JPEG codec's load path: header check,
// decoding to pixels, and for pictures that decode, a quarter turn and a save
// with one changed pixel (coefficient reading, block turning, re-encoding).
#include "JpegCodec.h"
#include "KvBitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    JpegCodec codec;
    codec.SetPixelLimit(1 << 18); // keeps every run quick; the limit itself is checked too
    if (!codec.LoadFromMemory(std::vector<std::uint8_t>(data, data + size)))
        return 0;
    TKvPixelBuffer picture;
    if (!picture.SetFormat(PixelFormatBGR24, {0, 0, codec.Width(), codec.Height()}) || !codec.CopyPixels(picture))
        return 0;

    codec.RotateRight();
    TKvPixelBuffer image;
    TKvPixelBuffer original;
    for (TKvPixelBuffer* buffer : {&image, &original})
        if (!buffer->SetFormat(PixelFormatBGR24, {0, 0, codec.Width(), codec.Height()}) || !codec.CopyPixels(*buffer))
            return 0;
    image.PixelAt(0, 0)[0] ^= 0xFF;
    TJpegSaveParameters parameters;
    parameters.Picture = image;
    parameters.Original = original;
    std::vector<std::uint8_t> output;
    codec.SaveToMemory(output, parameters);
    codec.FinishSave();
    return 0;
}
