// Box-mean averages of a whole picture's colours, the source of the blur
// background effect.
#pragma once

#include "KvBitmap.h"
#include "PageArray.h"

#include <cstddef>

class TProgressMeter;
class TWorkerPool;

// Holds one colour per pixel and replaces them by their box mean, computed
// in single precision and rounded to bytes.  Stored column after column
// ([x][y]).
class TArithmeticMean {
public:
    // Resizes to width x height (black); nothing happens when the size is
    // unchanged.
    void SetSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    void SetColor(int x, int y, TPackedPixel packed)
    {
        m_values[Index(x, y)] = {std::uint8_t(packed), std::uint8_t(packed >> 8), std::uint8_t(packed >> 16)};
    }
    // The colour at (x, y): the one set, and after Average the mean, each
    // channel clamped to 0..255 and rounded to nearest, ties to even.
    TColorTriple GetColor(int x, int y) const { return m_values[Index(x, y)]; }
    // The colours of column x, Height() of them, for loading a whole picture.
    TColorTriple* Column(int x) { return m_values.data() + Index(x, 0); }

    // Replaces every colour by the mean of the colours within radius in both
    // directions, clipped to the picture: a box mean separated into a pass
    // down the columns and a pass along the rows, each with running sums in
    // single precision.  The meter, when given, advances once per column and
    // once per row.  The pool, when given, shares the work among its
    // threads, with the same results.
    void Average(int radius, TProgressMeter* meter, TWorkerPool* pool = nullptr);

private:
    std::size_t Index(int x, int y) const { return std::size_t(x) * std::size_t(m_height) + std::size_t(y); }

    TPageArray<TColorTriple> m_values; // the colours set, then their means
    TPageArray<TColorTriple> m_source; // while averaging, the colours set
    int m_width = 0;
    int m_height = 0;
};
