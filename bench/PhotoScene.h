// The photo-like 24-megapixel scene the extraction benchmarks work on: a
// textured object (an ellipse with a wavy rim, warm) on a textured
// background (cool), and the band over the object's edge that the user
// would paint: the pixels within 20 pixels of the edge.
#pragma once

#include "KvBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace photo_scene {

constexpr int Width = 6000;
constexpr int Height = 4000;
constexpr double BandHalfWidth = 20;

inline unsigned Hash(int x, int y)
{
    unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

// The approximate signed distance of (x, y) from the object's edge in
// pixels, negative inside.
inline double EdgeDistance(int x, int y)
{
    const double cx = Width * 0.52;
    const double cy = Height * 0.47;
    const double dx = x - cx;
    const double dy = y - cy;
    const double angle = std::atan2(dy, dx);
    const double a = Width * 0.3 * (1 + 0.06 * std::sin(5 * angle));
    const double b = Height * 0.36 * (1 + 0.06 * std::sin(5 * angle));
    const double rho = std::hypot(dx / a, dy / b);
    const double gradient = std::hypot(dx / (a * a), dy / (b * b)) / std::max(rho, 1e-9);
    return (rho - 1) / std::max(gradient, 1e-9);
}

// Photo-like: smooth shading, a pattern and grain, the object warm and the
// background cool.
inline void MakeScene(TKvPixelBuffer& picture, TKvPixelMask& band)
{
    picture.SetFormat(PixelFormatBGR24, {0, 0, Width, Height});
    band.SetBounds(0, 0, Width, Height);
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            const double edge = EdgeDistance(x, y);
            const int grain = int(Hash(x, y) % 21) - 10;
            const double shade = 40 * std::sin(x * 0.003) * std::cos(y * 0.004);
            const int pattern = ((x / 37 + y / 53) % 4) * 6;
            int b, g, r;
            if (edge < 0) {
                b = 60 + int(shade) + pattern;
                g = 150 + int(shade);
                r = 200 + int(shade / 2);
            } else {
                b = 170 + int(shade);
                g = 120 + int(shade) + pattern;
                r = 60 + int(shade);
            }
            std::uint8_t* pixel = picture.PixelAt(x, y);
            pixel[0] = std::uint8_t(std::clamp(b + grain, 0, 255));
            pixel[1] = std::uint8_t(std::clamp(g + grain, 0, 255));
            pixel[2] = std::uint8_t(std::clamp(r + grain, 0, 255));
            band.Data[std::size_t(y) * Width + std::size_t(x)] = std::abs(edge) <= BandHalfWidth ? 255 : 0;
        }
    }
}

} // namespace photo_scene
