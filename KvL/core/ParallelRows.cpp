#include "ParallelRows.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

void ForEachRowBand(int height, long long pixels, const std::function<void(int y0, int y1)>& work)
{
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    if (pixels < ParallelRowsMinimum || cores < 2 || height < 8) {
        work(0, height);
        return;
    }
    const int band = (height / int(cores) + 3) / 4 * 4;
    std::vector<std::jthread> helpers;
    for (int y = band; y < height; y += band) {
        const int end = std::min(y + band, height);
        try {
            helpers.emplace_back(work, y, end);
        } catch (const std::system_error&) {
            work(y, end);
        }
    }
    work(0, std::min(band, height));
}

void AssignInBands(TKvPixels& target, const TKvPixels& source)
{
    const TRect overlap = IntersectRect(target.GetBounds(), source.GetBounds());
    if (overlap.IsEmpty())
        return;
    ForEachRowBand(overlap.Height(), (long long)overlap.Width() * overlap.Height(), [&](int y0, int y1) {
        const TRect band{overlap.Left, overlap.Top + y0, overlap.Right, overlap.Top + y1};
        target.CopyFrom(band.Left, band.Top, band, source);
    });
}
