// Library entries written for tests: an object of a given size whose colour
// and matte are given per pixel, saved as the clipping tool saves one (JPEG
// colours, compressed matte, thumbnail). Header-only.
#pragma once

#include "AlphaChanal.h"
#include "BGRAlpha.h"
#include "Files.h"
#include "JpegEncode.h"
#include "Thumbnail.h"

#include <filesystem>
#include <string>

// Writes the entry into folder; its name, empty when the write failed.
template <typename Color, typename Alpha>
std::string WriteTestEntry(const std::filesystem::path& folder, int width, int height, Color color, Alpha alpha,
                           TColorTriple thumbnailColor = {0, 0, 255})
{
    TKvPixelBuffer picture;
    picture.SetFormat(PixelFormatBGR24, {0, 0, width, height});
    TAlphaChanal matte;
    matte.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TColorTriple c = color(x, y);
            std::uint8_t* p = picture.PixelAt(x, y);
            p[0] = c.Blue;
            p[1] = c.Green;
            p[2] = c.Red;
            matte.SetAlpha(x, y, std::uint8_t(alpha(x, y)));
        }
    TObjectEntryFiles files;
    if (!EncodeJpegAtQuality(picture, 95, files.Jpeg))
        return {};
    files.Alp = CompressMatte(matte);
    TThumbnail thumbnail(TThumbnail::StandardSize, TThumbnail::StandardSize);
    for (int x = 0; x < TThumbnail::StandardSize; ++x)
        for (int y = 0; y < TThumbnail::StandardSize; ++y)
            thumbnail.SetPixel(x, y, thumbnailColor);
    files.Tmb = thumbnail.FileBytes();
    const TEntryWriteResult written = WriteObjectEntry(folder, files);
    return written.Status == TEntryWriteResult::Written ? written.Name : std::string();
}

// An opaque orange disc on a transparent ground, with a soft rim.
inline std::string WriteDiscEntry(const std::filesystem::path& folder, int size = 40,
                                  TColorTriple thumbnailColor = {0, 0, 255})
{
    const double centre = (size - 1) / 2.0;
    return WriteTestEntry(
        folder, size, size, [](int x, int y) { return TColorTriple{20, std::uint8_t(120 + x % 8), std::uint8_t(230 - y % 8)}; },
        [=](int x, int y) {
            const double r = std::hypot(x - centre, y - centre) / (size / 2.0);
            return r < 0.8 ? 255 : r < 1 ? int((1 - r) * 5 * 255) : 0;
        },
        thumbnailColor);
}
