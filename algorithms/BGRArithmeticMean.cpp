#include "BGRArithmeticMean.h"

#include "Prefetch.h"
#include "Progress.h"
#include "WorkerPool.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

// Rows of a band taken down the columns before they are taken along the
// rows: their sums down the columns (12 bytes a pixel) stay in the core's
// cache until the pass along the rows reads them, and 3 x 32 lanes keep the
// pass along the rows wide enough for vector instructions.
constexpr int kChunkRows = 32;

// The progress meter advances after each round of the bands' rows.
constexpr int kRounds = 16;

// The longest window down a column whose running sums of bytes single
// precision holds exactly at every step: whole numbers up to 2^24.
constexpr std::int64_t kExactWindow = (std::int64_t(1) << 24) / 255;

// Columns ahead whose cells the pass down the columns asks the memory for.
constexpr int kPrefetchColumns = 8;

// A channel mean clamped to 0..255 and rounded to nearest, ties to even.
std::uint8_t RoundChannel(float value)
{
    value = value < 0.0f ? 0.0f : value > 255.0f ? 255.0f : value;
#if defined(__SSE2__) || defined(_M_X64)
    return std::uint8_t(_mm_cvtss_si32(_mm_set_ss(value))); // the default rounding mode
#else
    return std::uint8_t(std::nearbyint(value));
#endif
}

// RoundChannel of count values, sixteen at a time where the processor can.
void RoundChannels(const float* values, int count, std::uint8_t* bytes)
{
    int i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128 low = _mm_setzero_ps();
    const __m128 high = _mm_set1_ps(255.0f);
    const auto rounded = [&](int at) {
        return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(_mm_loadu_ps(values + at), low), high));
    };
    for (; i + 16 <= count; i += 16) {
        const __m128i first = _mm_packs_epi32(rounded(i), rounded(i + 4));
        const __m128i second = _mm_packs_epi32(rounded(i + 8), rounded(i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + i), _mm_packus_epi16(first, second));
    }
#endif
    for (; i < count; ++i)
        bytes[i] = RoundChannel(values[i]);
}

// 1 / the number of cells of each window along a line of `length` cells,
// the window of cell k being k - radius .. k + radius clipped to the line.
std::vector<float> WindowScales(int length, int radius)
{
    std::vector<float> scales(static_cast<std::size_t>(length));
    for (int k = 0; k < length; ++k) {
        const std::int64_t first = std::max<std::int64_t>(std::int64_t(k) - radius, 0);
        const std::int64_t last = std::min<std::int64_t>(std::int64_t(k) + radius, length - 1);
        scales[std::size_t(k)] = 1.0f / float(last - first + 1);
    }
    return scales;
}

// Buffers of one size handed to the parts running at once, so that a run
// of many parts allocates only as many buffers as it has threads.
class TBufferStock {
public:
    explicit TBufferStock(std::size_t floats) : m_floats(floats) {}

    std::unique_ptr<float[]> Take()
    {
        {
            const std::lock_guard lock(m_mutex);
            if (!m_free.empty()) {
                std::unique_ptr<float[]> buffer = std::move(m_free.back());
                m_free.pop_back();
                return buffer;
            }
        }
        return std::make_unique_for_overwrite<float[]>(m_floats);
    }
    void Give(std::unique_ptr<float[]> buffer)
    {
        const std::lock_guard lock(m_mutex);
        m_free.push_back(std::move(buffer));
    }

private:
    std::size_t m_floats;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<float[]>> m_free;
};

// The box mean of a picture stored column after column, done band of rows
// by band of rows.  Down the columns every band keeps one running sum per
// column, started with the window above the band's first row; along the
// rows every row is summed whole, front to back, by the band that holds it.
// Sum is the type of the sums down the columns: whole numbers when the
// windows are short enough for single precision to hold every sum exactly,
// so that a band may start its sums anywhere, else floats taken from the
// top of the picture in one band.
template <typename Sum>
class TBandedMean {
public:
    TBandedMean(const TColorTriple* source, TColorTriple* target, int width, int height, int radius)
        : m_source(source)
        , m_target(target)
        , m_width(width)
        , m_height(height)
        , m_radius(radius)
        , m_rowScales(WindowScales(height, radius))
        , m_columnScales(WindowScales(width, radius))
        , m_chunks(std::size_t(width) * kChunkRows * 3)
    {
    }

    // The running sums of a band whose first row is `top`: the window of
    // the row above it, as a pass from the top leaves them there.
    void StartSums(int top, std::vector<Sum>& sums) const
    {
        sums.assign(std::size_t(m_width) * 3, Sum(0));
        const std::int64_t first = std::max<std::int64_t>(std::int64_t(top) - 1 - m_radius, 0);
        const std::int64_t last = std::min<std::int64_t>(std::int64_t(top) - 1 + m_radius, m_height - 1);
        for (int x = 0; x < m_width; ++x) {
            const TColorTriple* column = Column(x);
            Sum* sum = sums.data() + std::size_t(x) * 3;
            for (std::int64_t y = first; y <= last; ++y)
                Add(sum, column[y]);
        }
    }

    // Rows top .. bottom - 1, the sums standing at the row above top.
    void Rows(int top, int bottom, std::vector<Sum>& sums)
    {
        std::unique_ptr<float[]> chunk = m_chunks.Take();
        for (int rows = 0; top < bottom; top += rows) {
            rows = std::min(kChunkRows, bottom - top);
            DownColumns(top, rows, sums, chunk.get());
            AlongRows(top, rows, chunk.get());
        }
        m_chunks.Give(std::move(chunk));
    }

private:
    const TColorTriple* Column(int x) const { return m_source + std::size_t(x) * std::size_t(m_height); }

    static void Add(Sum* sum, const TColorTriple& c)
    {
        sum[0] += Sum(c.Blue);
        sum[1] += Sum(c.Green);
        sum[2] += Sum(c.Red);
    }
    static void Subtract(Sum* sum, const TColorTriple& c)
    {
        sum[0] -= Sum(c.Blue);
        sum[1] -= Sum(c.Green);
        sum[2] -= Sum(c.Red);
    }

    // The means down the columns of rows top .. top + rows - 1 into chunk,
    // row j of column x at (x * rows + j) * 3: the rows of one column lie
    // together, as lanes the pass along the rows sums side by side.
    void DownColumns(int top, int rows, std::vector<Sum>& sums, float* chunk) const
    {
        const float* scales = m_rowScales.data() + top;
        const std::int64_t leaving = std::int64_t(top) - m_radius - 1;
        const std::int64_t entering = std::int64_t(top) + m_radius;
        for (int x = 0; x < m_width; ++x) {
            if (x + kPrefetchColumns < m_width) {
                // The columns lie far apart: their rows are asked for ahead.
                const TColorTriple* ahead = Column(x + kPrefetchColumns);
                if (leaving + rows > 0)
                    PrefetchRange(ahead + std::max<std::int64_t>(leaving, 0), rows);
                if (entering < m_height)
                    PrefetchRange(ahead + entering, std::min<std::int64_t>(rows, m_height - entering));
            }
            const TColorTriple* column = Column(x);
            Sum* stored = sums.data() + std::size_t(x) * 3;
            Sum sum[3] = {stored[0], stored[1], stored[2]};
            float* means = chunk + std::size_t(x) * std::size_t(rows) * 3;
            for (int j = 0; j < rows; ++j) {
                const std::int64_t y = std::int64_t(top) + j;
                if (y - m_radius - 1 >= 0)
                    Subtract(sum, column[y - m_radius - 1]);
                if (y + m_radius < m_height)
                    Add(sum, column[y + m_radius]);
                for (int c = 0; c < 3; ++c)
                    means[3 * j + c] = float(sum[c]) * scales[j];
            }
            std::copy(sum, sum + 3, stored);
        }
    }

    // The means along rows top .. top + rows - 1 of the chunk, each row's
    // sum taken front to back, rounded into the target.
    void AlongRows(int top, int rows, const float* chunk) const
    {
        const int floats = 3 * rows;
        const auto at = [&](std::int64_t x) { return chunk + std::size_t(x) * std::size_t(floats); };
        float sum[3 * kChunkRows] = {};
        float mean[3 * kChunkRows];
        for (int x = 0; x < std::min(m_radius, m_width); ++x) {
            const float* in = at(x);
            for (int i = 0; i < floats; ++i)
                sum[i] += in[i];
        }
        for (int x = 0; x < m_width; ++x) {
            if (std::int64_t(x) - m_radius - 1 >= 0) {
                const float* out = at(x - m_radius - 1);
                for (int i = 0; i < floats; ++i)
                    sum[i] -= out[i];
            }
            if (std::int64_t(x) + m_radius < m_width) {
                const float* in = at(x + m_radius);
                for (int i = 0; i < floats; ++i)
                    sum[i] += in[i];
            }
            const float scale = m_columnScales[std::size_t(x)];
            for (int i = 0; i < floats; ++i)
                mean[i] = sum[i] * scale;
            TColorTriple* target = m_target + std::size_t(x) * std::size_t(m_height) + std::size_t(top);
            if (x + kPrefetchColumns < m_width)
                PrefetchRange(target + std::size_t(kPrefetchColumns) * std::size_t(m_height), rows);
            RoundChannels(mean, floats, reinterpret_cast<std::uint8_t*>(target));
        }
    }

    const TColorTriple* m_source;
    TColorTriple* m_target;
    int m_width;
    int m_height;
    int m_radius;
    std::vector<float> m_rowScales;
    std::vector<float> m_columnScales;
    TBufferStock m_chunks;
};

// A band of rows and its running sums down the columns.
template <typename Sum>
struct TBand {
    int top = 0;
    int bottom = 0;
    std::vector<Sum> sums;
};

// Bands for the pool's threads: a few per thread, so that threads held up
// by other work on the machine are evened out, but each several windows
// tall, so that starting its sums costs little beside its rows.
int BandCount(TWorkerPool* pool, int width, int height, int radius, bool exact)
{
    if (!exact || !pool || !pool->Shares(std::int64_t(width) * height))
        return 1;
    const int threads = pool->Threads();
    const std::int64_t windowsTall = height / (4 * (2 * std::int64_t(radius) + 1));
    const std::int64_t bands = std::clamp<std::int64_t>(windowsTall, threads, std::int64_t(threads) * 4);
    return int(std::min<std::int64_t>(bands, height));
}

template <typename Sum>
void AverageInBands(const TColorTriple* source, TColorTriple* target, int width, int height, int radius,
                    int bandCount, TProgressMeter* meter, TWorkerPool* pool)
{
    TBandedMean<Sum> mean(source, target, width, height, radius);
    std::vector<TBand<Sum>> bands(static_cast<std::size_t>(bandCount));
    for (int b = 0; b < bandCount; ++b) {
        bands[std::size_t(b)].top = int(std::int64_t(height) * b / bandCount);
        bands[std::size_t(b)].bottom = int(std::int64_t(height) * (b + 1) / bandCount);
    }
    const auto runBands = [&](const std::function<void(TBand<Sum>&)>& work) {
        if (bandCount == 1)
            work(bands.front());
        else
            pool->Run(bandCount, [&](int b) { work(bands[std::size_t(b)]); });
    };
    // Every band does its rows in rounds of whole chunks; the meter makes one
    // step per row done, and the columns' share of the pass down the columns
    // so far, between the rounds.
    const int rounds = std::clamp(height / kChunkRows, 1, kRounds);
    const auto rowAfter = [&](const TBand<Sum>& band, int round) {
        const std::int64_t chunks = (band.bottom - band.top + kChunkRows - 1) / kChunkRows;
        return std::min(band.top + int(chunks * round / rounds) * kChunkRows, band.bottom);
    };
    std::int64_t rowsDone = 0;
    std::int64_t columnSteps = 0;
    for (int round = 0; round < rounds; ++round) {
        runBands([&](TBand<Sum>& band) {
            if (round == 0)
                mean.StartSums(band.top, band.sums);
            mean.Rows(rowAfter(band, round), rowAfter(band, round + 1), band.sums);
        });
        if (!meter)
            continue;
        const std::int64_t rowsNow = std::int64_t(height) * (round + 1) / rounds;
        for (; rowsDone < rowsNow; ++rowsDone)
            meter->StepIt();
        for (; columnSteps < std::int64_t(width) * rowsNow / height; ++columnSteps)
            meter->StepIt();
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

// The colours set become the source and the means go into a second array.
// Whole bands of rows are shared among the pool's threads when the sums down
// the columns are whole numbers: then where a band starts them does not
// change them, and every sum along a row is still taken by one thread in
// one pass's order.
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
    if (width > 0 && height > 0) {
        const bool exact = std::min<std::int64_t>(2 * std::int64_t(radius) + 1, height) <= kExactWindow;
        const int bands = BandCount(pool, width, height, radius, exact);
        if (exact)
            AverageInBands<std::int32_t>(m_source.data(), m_values.data(), width, height, radius, bands, meter, pool);
        else
            AverageInBands<float>(m_source.data(), m_values.data(), width, height, radius, bands, meter, pool);
    } else {
        for (int step = 0; meter && step < width + height; ++step)
            meter->StepIt();
    }
    if (meter)
        meter->StartProgress(0);
}
