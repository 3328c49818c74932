#include "AlphaChanal.h"

#include <algorithm>
#include <cmath>

void TAlphaChanal::SetSize(int width, int height)
{
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_values.assign(std::size_t(m_width) * std::size_t(m_height), 0);
}

void TAlphaChanal::Clear()
{
    std::fill(m_values.begin(), m_values.end(), 0);
}

void TAlphaChanal::Smooth()
{
    std::vector<std::uint8_t> smoothed(m_values.size());
    for (int x = 0; x < m_width; ++x) {
        for (int y = 0; y < m_height; ++y) {
            int sum = GetAlpha(x, y);
            if (x > 0)
                sum += GetAlpha(x - 1, y);
            if (x + 1 < m_width)
                sum += GetAlpha(x + 1, y);
            if (y > 0)
                sum += GetAlpha(x, y - 1);
            if (y + 1 < m_height)
                sum += GetAlpha(x, y + 1);
            // sum / 5 rounded to nearest; a sum of integers never lies
            // halfway between two multiples of 5.
            smoothed[Index(x, y)] = std::uint8_t((sum + 2) / 5);
        }
    }
    m_values = std::move(smoothed);
}

void TAlphaChanal::ComputeMargins()
{
    const double cx = (m_width - 1) / 2.0;
    const double cy = (m_height - 1) / 2.0;
    double farthest = 0; // squared distance of the farthest non-transparent cell
    for (int x = 0; x < m_width; ++x) {
        const std::uint8_t* column = m_values.data() + Index(x, 0);
        const std::uint8_t* end = column + m_height;
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
    m_marginX = -int(std::floor(cx - radius));
    m_marginY = -int(std::floor(cy - radius));
}
