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
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int MarginX() const { return m_marginX; }
    int MarginY() const { return m_marginY; }

    std::uint8_t GetAlpha(int x, int y) const { return m_values[Index(x, y)]; }
    void SetAlpha(int x, int y, std::uint8_t value) { m_values[Index(x, y)] = value; }
    // Makes every cell transparent.
    void Clear();
    // Softens the edge once: every cell becomes the rounded fifth of the sum of
    // itself and its 4-neighbours inside the matte (missing neighbours count 0).
    void Smooth();
    // Sets the margins so that a matte enlarged by twice them holds the circle
    // about the centre through the farthest non-transparent cell.
    void ComputeMargins();

private:
    std::size_t Index(int x, int y) const { return std::size_t(x) * std::size_t(m_height) + std::size_t(y); }

    int m_width = 0;
    int m_height = 0;
    int m_marginX = 0;
    int m_marginY = 0;
    std::vector<std::uint8_t> m_values;
};
