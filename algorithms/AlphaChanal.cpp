#include "AlphaChanal.h"

#include <algorithm>
#include <cmath>

void TAlphaChanal::SetSize(int width, int height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    values_.assign(std::size_t(width_) * std::size_t(height_), 0);
}

void TAlphaChanal::Clear()
{
    std::fill(values_.begin(), values_.end(), 0);
}

void TAlphaChanal::Smooth()
{
    std::vector<std::uint8_t> smoothed(values_.size());
    for (int x = 0; x < width_; ++x) {
        for (int y = 0; y < height_; ++y) {
            int sum = GetAlpha(x, y);
            if (x > 0)
                sum += GetAlpha(x - 1, y);
            if (x + 1 < width_)
                sum += GetAlpha(x + 1, y);
            if (y > 0)
                sum += GetAlpha(x, y - 1);
            if (y + 1 < height_)
                sum += GetAlpha(x, y + 1);
            // sum / 5 rounded to nearest; a sum of integers never lies
            // halfway between two multiples of 5.
            smoothed[Index(x, y)] = std::uint8_t((sum + 2) / 5);
        }
    }
    values_ = std::move(smoothed);
}

void TAlphaChanal::ComputeMargins()
{
    const double cx = (width_ - 1) / 2.0;
    const double cy = (height_ - 1) / 2.0;
    double farthest = 0; // squared distance of the farthest non-transparent cell
    for (int x = 0; x < width_; ++x) {
        const std::uint8_t* column = values_.data() + Index(x, 0);
        const std::uint8_t* end = column + height_;
        // In a column the farthest cell from the centre is its first or its
        // last non-transparent one.
        const auto first = std::find_if(column, end, [](std::uint8_t v) { return v != 0; });
        if (first == end)
            continue;
        const auto last = std::find_if(std::make_reverse_iterator(end), std::make_reverse_iterator(first),
                                       [](std::uint8_t v) { return v != 0; });
        const double dx = x - cx;
        for (const double y : {double(first - column), double(last.base() - 1 - column)})
            farthest = std::max(farthest, dx * dx + (y - cy) * (y - cy));
    }
    const double radius = std::sqrt(farthest);
    marginX_ = -int(std::floor(cx - radius));
    marginY_ = -int(std::floor(cy - radius));
}
