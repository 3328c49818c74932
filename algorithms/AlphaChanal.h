// The matte of a cut-out object: one byte of opacity per pixel of the
// object's bounding rectangle, with room to turn it about its centre.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Opacity per cell (0 transparent, 255 opaque), stored column after column
// ([x][y]), and the margins that make room for rotating the opaque part.
class TAlphaChanal {
public:
    // Discards the cells and makes width x height transparent ones; the
    // margins stay as they are.
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    int MarginX() const { return marginX_; }
    int MarginY() const { return marginY_; }

    std::uint8_t GetAlpha(int x, int y) const { return values_[Index(x, y)]; }
    void SetAlpha(int x, int y, std::uint8_t value) { values_[Index(x, y)] = value; }
    // Makes every cell transparent.
    void Clear();
    // Softens the edge once: every cell becomes the rounded fifth of the sum of
    // itself and its 4-neighbours inside the matte (missing neighbours count 0).
    void Smooth();
    // Sets the margins so that a matte enlarged by twice them holds the circle
    // about the centre through the farthest non-transparent cell.
    void ComputeMargins();

private:
    std::size_t Index(int x, int y) const { return std::size_t(x) * std::size_t(height_) + std::size_t(y); }

    int width_ = 0;
    int height_ = 0;
    int marginX_ = 0;
    int marginY_ = 0;
    std::vector<std::uint8_t> values_;
};
