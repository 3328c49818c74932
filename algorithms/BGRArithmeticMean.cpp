#include "BGRArithmeticMean.h"

#include "Progress.h"
#include "WorkerPool.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace {

// Rows averaged in one sweep: the pass down the columns delivers them for
// every column, then the pass along the rows runs over all of them at once.
constexpr int kRowsPerSweep = 64;

// A channel mean clamped to 0..255 and rounded to nearest, ties to even.
std::uint8_t RoundChannel(float value)
{
    value = value < 0.0f ? 0.0f : value > 255.0f ? 255.0f : value;
#if defined(__SSE__) || defined(_M_X64)
    return std::uint8_t(_mm_cvtss_si32(_mm_set_ss(value))); // the default rounding mode
#else
    return std::uint8_t(std::nearbyint(value));
#endif
}

// The running sum of one column in the pass down the columns.
struct TColumnSum {
    float sum[3] = {};
    int count = 0;

    void Add(const TColorTriple& c)
    {
        sum[0] += c.Blue;
        sum[1] += c.Green;
        sum[2] += c.Red;
        ++count;
    }
    void Subtract(const TColorTriple& c)
    {
        sum[0] -= c.Blue;
        sum[1] -= c.Green;
        sum[2] -= c.Red;
        --count;
    }
};

// The box mean of lanes j0 .. j1 - 1 of `lanes` parallel lines of `length`
// colours: the three channels of element k of lane j are
// source[(k * lanes + j) * 3 ...], so the lanes' colours at one k form one
// run of floats.  For every lane the sum starts with the first `radius`
// elements; at element k the element k - radius - 1 leaves the window, then
// the element k + radius enters it, and the mean is the sum times the
// reciprocal of the number inside.  Every lane is summed on its own, so that
// lanes done apart give the same means as lanes done together.
void AverageLines(const float* source, float* target, int length, int lanes, int j0, int j1, int radius)
{
    const std::size_t stride = std::size_t(3 * lanes);
    const std::size_t floats = std::size_t(3 * (j1 - j0));
    source += std::size_t(3 * j0);
    target += std::size_t(3 * j0);
    const auto run = [&](const float* line, std::int64_t k) { return line + std::size_t(k) * stride; };
    float sum[3 * kRowsPerSweep] = {};
    int count = 0;
    for (int k = 0; k < std::min(radius, length); ++k) {
        const float* in = run(source, k);
        for (std::size_t i = 0; i < floats; ++i)
            sum[i] += in[i];
        ++count;
    }
    for (int k = 0; k < length; ++k) {
        const std::int64_t leaving = std::int64_t(k) - radius - 1;
        if (leaving >= 0) {
            const float* out = run(source, leaving);
            for (std::size_t i = 0; i < floats; ++i)
                sum[i] -= out[i];
            --count;
        }
        const std::int64_t entering = std::int64_t(k) + radius;
        if (entering < length) {
            const float* in = run(source, entering);
            for (std::size_t i = 0; i < floats; ++i)
                sum[i] += in[i];
            ++count;
        }
        const float scale = count > 0 ? 1.0f / float(count) : 0.0f;
        float* mean = target + std::size_t(k) * stride;
        for (std::size_t i = 0; i < floats; ++i)
            mean[i] = sum[i] * scale;
    }
}

} // namespace

void TArithmeticMean::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_width && height == m_height)
        return;
    // Release first so that the old and the new arrays never coexist.
    m_values.Release();
    m_source.Release();
    m_width = 0;
    m_height = 0;
    m_values = TPageArray<TColorTriple>(std::size_t(width) * std::size_t(height));
    m_width = width;
    m_height = height;
}

// The pass down the columns runs with one running sum per column, a sweep of
// rows at a time, in exactly the order of additions and subtractions of a
// whole-column pass; its results for the sweep's rows go straight into the
// pass along the rows.  So no intermediate picture of sums is kept.
void TArithmeticMean::Average(int radius, TProgressMeter* meter, TWorkerPool* pool)
{
    radius = std::max(radius, 0);
    const int width = m_width;
    const int height = m_height;
    if (meter)
        meter->StartProgress(width + height);
    std::swap(m_values, m_source);
    if (m_values.size() != m_source.size())
        m_values = TPageArray<TColorTriple>(m_source.size());

    // The columns of a sweep are shared among the workers in the pass down
    // the columns, its rows in the pass along the rows: every running sum
    // takes its additions and subtractions in the same order either way.
    std::vector<TColumnSum> columns(static_cast<std::size_t>(width));
    ForRangesOn(pool, width, std::min(radius, height), [&](std::int64_t x0, std::int64_t x1) {
        for (std::int64_t x = x0; x < x1; ++x) {
            const TColorTriple* column = m_source.data() + Index(int(x), 0);
            for (int y = 0; y < std::min(radius, height); ++y)
                columns[std::size_t(x)].Add(column[y]);
        }
    });
    std::vector<float> down(std::size_t(width) * kRowsPerSweep * 3);
    std::vector<float> along(down.size());
    std::int64_t columnSteps = 0;
    for (int top = 0; top < height; top += kRowsPerSweep) {
        const int rows = std::min(kRowsPerSweep, height - top);
        ForRangesOn(pool, width, rows, [&](std::int64_t x0, std::int64_t x1) {
            for (std::int64_t x = x0; x < x1; ++x) {
                const TColorTriple* column = m_source.data() + Index(int(x), 0);
                TColumnSum& columnSum = columns[std::size_t(x)];
                float* means = down.data() + std::size_t(x) * std::size_t(rows) * 3;
                for (int y = top; y < top + rows; ++y) {
                    const std::int64_t leaving = std::int64_t(y) - radius - 1;
                    if (leaving >= 0)
                        columnSum.Subtract(column[leaving]);
                    const std::int64_t entering = std::int64_t(y) + radius;
                    if (entering < height)
                        columnSum.Add(column[entering]);
                    const float scale = columnSum.count > 0 ? 1.0f / float(columnSum.count) : 0.0f;
                    for (int c = 0; c < 3; ++c)
                        *means++ = columnSum.sum[c] * scale;
                }
            }
        });
        ForRangesOn(pool, rows, width,
                    [&](std::int64_t j0, std::int64_t j1) {
                        AverageLines(down.data(), along.data(), width, rows, int(j0), int(j1), radius);
                        for (int x = 0; x < width; ++x) {
                            TColorTriple* column = m_values.data() + Index(x, top);
                            const float* means = along.data() + std::size_t(x) * std::size_t(rows) * 3;
                            for (std::int64_t j = j0; j < j1; ++j)
                                column[j] = {RoundChannel(means[3 * j]), RoundChannel(means[3 * j + 1]),
                                             RoundChannel(means[3 * j + 2])};
                        }
                    });
        // One step per row of the sweep, and the columns' share of the pass
        // down the columns so far.
        for (int j = 0; meter && j < rows; ++j)
            meter->StepIt();
        for (const std::int64_t done = std::int64_t(width) * (top + rows) / height; meter && columnSteps < done;
             ++columnSteps)
            meter->StepIt();
    }
    for (; meter && columnSteps < width; ++columnSteps)
        meter->StepIt();
    if (meter)
        meter->StartProgress(0);
}
