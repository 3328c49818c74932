#include "BGRArithmeticMean.h"

#include "Progress.h"

#include <algorithm>
#include <cstdint>

static_assert(sizeof(TColorVector) == 3 * sizeof(float), "colour vectors are read as runs of floats");

namespace {

// Rows averaged together in the pass along the rows: their vectors lie side by
// side in every column, so one sweep over the columns serves all of them.
constexpr int kRowsPerSweep = 16;
constexpr int kMaxFloats = 3 * kRowsPerSweep;

// Box mean of `lanes` parallel lines of `length` vectors.  Element k of lane j
// is line[k * step + j], so the lanes' vectors at one k form one run of
// 3 * lanes floats, summed channel by channel.  For every lane the sum starts
// with the first `radius` elements; at element k the element k - radius - 1
// leaves the window, then the element k + radius enters it, and the mean is
// the sum times the reciprocal of the number of elements inside.
void AverageLines(const TColorVector* source, TColorVector* target, int length, std::size_t step,
                  int lanes, int radius)
{
    const int floats = 3 * lanes;
    const auto run = [step](const TColorVector* line, std::int64_t k) {
        return reinterpret_cast<const float*>(line + std::size_t(k) * step);
    };
    float sum[kMaxFloats] = {};
    int count = 0;
    for (int k = 0; k < std::min(radius, length); ++k) {
        const float* in = run(source, k);
        for (int i = 0; i < floats; ++i)
            sum[i] += in[i];
        ++count;
    }
    for (int k = 0; k < length; ++k) {
        const std::int64_t leaving = std::int64_t(k) - radius - 1;
        if (leaving >= 0) {
            const float* out = run(source, leaving);
            for (int i = 0; i < floats; ++i)
                sum[i] -= out[i];
            --count;
        }
        const std::int64_t entering = std::int64_t(k) + radius;
        if (entering < length) {
            const float* in = run(source, entering);
            for (int i = 0; i < floats; ++i)
                sum[i] += in[i];
            ++count;
        }
        const float scale = count > 0 ? 1.0f / float(count) : 0.0f;
        float* mean = reinterpret_cast<float*>(target + std::size_t(k) * step);
        for (int i = 0; i < floats; ++i)
            mean[i] = sum[i] * scale;
    }
}

} // namespace

void TArithmeticMean::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return;
    const std::size_t cells = std::size_t(width) * std::size_t(height);
    // Release first so that the old and the new arrays never coexist.
    values_ = {};
    work_ = {};
    values_.resize(cells);
    work_.resize(cells);
    width_ = width;
    height_ = height;
}

void TArithmeticMean::Average(int radius, TProgressMeter* meter)
{
    radius = std::max(radius, 0);
    if (meter)
        meter->StartProgress(width_ + height_);
    for (int x = 0; x < width_; ++x) {
        AverageLines(values_.data() + Index(x, 0), work_.data() + Index(x, 0), height_, 1, 1, radius);
        if (meter)
            meter->StepIt();
    }
    for (int y = 0; y < height_; y += kRowsPerSweep) {
        const int rows = std::min(kRowsPerSweep, height_ - y);
        AverageLines(work_.data() + y, values_.data() + y, width_, std::size_t(height_), rows, radius);
        for (int i = 0; meter && i < rows; ++i)
            meter->StepIt();
    }
    if (meter)
        meter->StartProgress(0);
}
