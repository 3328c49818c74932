// Box-mean averages of a whole picture's colours, the source of the blur
// background effect.
#pragma once

#include "KvBitmap.h"

#include <cstddef>
#include <vector>

class TProgressMeter;

// Holds one colour vector per pixel and replaces them by their box mean.
// Both arrays are stored column after column ([x][y]).
class TArithmeticMean {
public:
    // Resizes both arrays to width x height (zero vectors); nothing happens
    // when the size is unchanged.
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }

    void SetColor(int x, int y, TPackedPixel packed) { values_[Index(x, y)] = PackedToVector(packed); }
    // The colour at (x, y), each channel clamped to 0..255 and rounded.
    TColorTriple GetColor(int x, int y) const { return VectorToTriple(values_[Index(x, y)]); }
    // The vectors of column x, Height() of them, for loading a whole picture.
    TColorVector* Column(int x) { return values_.data() + Index(x, 0); }

    // Replaces every value by the mean of the values within radius in both
    // directions, clipped to the array: a box mean separated into a pass down
    // the columns and a pass along the rows, each with running sums in single
    // precision.  The meter, when given, advances once per column and row.
    void Average(int radius, TProgressMeter* meter);

private:
    std::size_t Index(int x, int y) const { return std::size_t(x) * std::size_t(height_) + std::size_t(y); }

    std::vector<TColorVector> values_; // input colours, then the averages
    std::vector<TColorVector> work_;   // the result of the pass down the columns
    int width_ = 0;
    int height_ = 0;
};
