#include "KvBitmap.h"

#include "PageAllocator.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <stdexcept>
#include <utility>
#include <vector>

int MulDiv(int a, int b, int c)
{
    // As the Windows function of that name: -1 when there is no divisor or
    // the quotient does not fit, so that a degenerate size or zoom never
    // divides by zero.
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    long long quotient = product / c;
    if (2 * std::llabs(product % c) >= std::llabs(static_cast<long long>(c)))
        quotient += (product < 0) != (c < 0) ? -1 : 1;
    return quotient < INT_MIN || quotient > INT_MAX ? -1 : static_cast<int>(quotient);
}

int PaddedStride(TKvPixelFormat format, int width)
{
    if (width <= 0)
        return 0;
    const long long stride = (static_cast<long long>(BitsPerPixel(format)) * width + 31) / 32 * 4;
    return stride > INT_MAX ? -1 : static_cast<int>(stride);
}

// ---------------------------------------------------------------------------
// Colours

void BlendIntoPixel(uint8_t* pixel, uint8_t alpha, TPackedPixel packed)
{
    if (alpha == 0)
        return;
    for (int k = 0; k < 3; ++k) {
        const int c = (packed >> (8 * k)) & 0xFF;
        if (alpha == 255)
            pixel[k] = static_cast<uint8_t>(c);
        else
            pixel[k] = static_cast<uint8_t>(pixel[k] + ((alpha * (c - pixel[k])) >> 8));
    }
}

double ClampFloat(double value, double lo, double hi)
{
    if (value < lo)
        return lo;
    if (value > hi)
        return hi;
    return value;
}

uint8_t ClampToByte(double value)
{
    return static_cast<uint8_t>(std::nearbyint(ClampFloat(value, 0, 255)));
}

TColorVector ScaleVector(const TColorVector& v, float k) { return {v.x * k, v.y * k, v.z * k}; }

TColorVector TripleToVector(const TColorTriple& triple)
{
    return {float(triple.Blue), float(triple.Green), float(triple.Red)};
}

TColorVector PackedToVector(TPackedPixel packed)
{
    return {float(packed & 0xFF), float((packed >> 8) & 0xFF), float((packed >> 16) & 0xFF)};
}

TColorTriple VectorToTriple(const TColorVector& v)
{
    return {ClampToByte(v.x), ClampToByte(v.y), ClampToByte(v.z)};
}

// ---------------------------------------------------------------------------
// Points

TPointF RotatePoint(const TPointF& p, const TPointF& centre, double angle)
{
    const double dx = p.X - centre.X;
    const double dy = p.Y - centre.Y;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    return {centre.X + c * dx - s * dy, centre.Y + s * dx + c * dy};
}

double Distance(const TPointF& a, const TPointF& b) { return std::hypot(a.X - b.X, a.Y - b.Y); }

double Distance(const TPointF& a, TPoint b) { return Distance(a, ToPointF(b)); }

// ---------------------------------------------------------------------------
// Rectangles and handles

void IncludePoint(TRect& rect, int x, int y)
{
    rect.Left = std::min(rect.Left, x);
    rect.Top = std::min(rect.Top, y);
    rect.Right = std::max(rect.Right, x + 1);
    rect.Bottom = std::max(rect.Bottom, y + 1);
}

TRect NormalizeRect(const TRect& rect)
{
    return {std::min(rect.Left, rect.Right), std::min(rect.Top, rect.Bottom),
            std::max(rect.Left, rect.Right), std::max(rect.Top, rect.Bottom)};
}

namespace {

// Which edges each handle drags: Left, Top, Right, Bottom.
struct THandleEdges {
    int Left, Top, Right, Bottom;
};

constexpr THandleEdges HandleEdges[] = {
    {1, 1, 1, 1}, // HandleBody
    {0, 1, 0, 0}, // HandleTop
    {0, 1, 1, 0}, // HandleTopRight
    {0, 0, 1, 0}, // HandleRight
    {0, 0, 1, 1}, // HandleBottomRight
    {0, 0, 0, 1}, // HandleBottom
    {1, 0, 0, 1}, // HandleBottomLeft
    {1, 0, 0, 0}, // HandleLeft
    {1, 1, 0, 0}, // HandleTopLeft
};

bool IsHandle(int handle) { return handle >= HandleBody && handle <= HandleTopLeft; }

} // namespace

TPoint HandlePoint(const TRect& rect, int handle)
{
    const int midX = (rect.Left + rect.Right) / 2;
    const int midY = (rect.Top + rect.Bottom) / 2;
    switch (handle) {
    case HandleBody: return {midX, midY};
    case HandleTop: return {midX, rect.Top};
    case HandleTopRight: return {rect.Right - 1, rect.Top};
    case HandleRight: return {rect.Right - 1, midY};
    case HandleBottomRight: return {rect.Right - 1, rect.Bottom - 1};
    case HandleBottom: return {midX, rect.Bottom - 1};
    case HandleBottomLeft: return {rect.Left, rect.Bottom - 1};
    case HandleLeft: return {rect.Left, midY};
    case HandleTopLeft: return {rect.Left, rect.Top};
    default: return {};
    }
}

TRect HandleRect(TPoint point, int size)
{
    if (size == 0)
        size = DefaultHandleSize;
    return RectOfSize(point.X - size / 2, point.Y - size / 2, size, size);
}

int HitHandle(const TRect& rect, TPoint point)
{
    for (int handle = HandleTop; handle <= HandleTopLeft; ++handle)
        if (HandleRect(HandlePoint(rect, handle), DefaultHandleSize).Contains(point))
            return handle;
    return rect.Contains(point) ? int(HandleBody) : int(HandleNone);
}

TRect MoveHandle(const TRect& rect, int handle, int dx, int dy)
{
    if (!IsHandle(handle))
        return rect;
    const THandleEdges& e = HandleEdges[handle - HandleBody];
    return {rect.Left + dx * e.Left, rect.Top + dy * e.Top, rect.Right + dx * e.Right,
            rect.Bottom + dy * e.Bottom};
}

TColor CheckerColor(int x, int y, int cell)
{
    if (cell <= 0)
        cell = 1;
    return (((x / cell) & 1) ^ ((y / cell) & 1)) == 0 ? 0xA9A9A9u : 0xFFFFFEu;
}

bool FitSize(int width, int height, int boxWidth, int boxHeight, int& newWidth, int& newHeight)
{
    if (boxWidth <= 0 || boxHeight <= 0 || width <= 0 || height <= 0)
        return false;
    if (double(height) / boxHeight >= double(width) / boxWidth) {
        newHeight = boxHeight;
        newWidth = MulDiv(width, boxHeight, height);
    } else {
        newWidth = boxWidth;
        newHeight = MulDiv(height, boxWidth, width);
    }
    return true;
}

// ---------------------------------------------------------------------------
// TKvPixels

void TKvPixels::Init(const TRect& rect, uint8_t* data, TKvPixelFormat format, int stride)
{
    Left = rect.Left;
    Top = rect.Top;
    Width = rect.Width();
    Height = rect.Height();
    Format = format;
    BytesPerPixel = BitsPerPixel(format) / 8;
    Stride = stride;
    Data = data;
}

void TKvPixels::CopyFrom(int x, int y, const TRect& sourceRect, const TKvPixels& source)
{
    if (source.Format != Format || !Data || !source.Data)
        return;
    TRect r = IntersectRect(sourceRect, source.GetBounds());
    if (r.IsEmpty())
        return;
    r = IntersectRect(r.Offset(x - sourceRect.Left, y - sourceRect.Top), GetBounds());
    if (r.IsEmpty())
        return;
    const uint8_t* from = source.PixelAt(sourceRect.Left + r.Left - x, sourceRect.Top + r.Top - y);
    uint8_t* to = PixelAt(r.Left, r.Top);
    const std::size_t rowBytes = std::size_t(BytesPerPixel) * r.Width();
    std::ptrdiff_t fromStep = source.Stride;
    std::ptrdiff_t toStep = Stride;
    // Moving pixels down within the same memory: copy the bottom row first so
    // that no source row is overwritten before it is read.
    if (std::greater<const uint8_t*>()(to, from)) {
        from += fromStep * (r.Height() - 1);
        to += toStep * (r.Height() - 1);
        fromStep = -fromStep;
        toStep = -toStep;
    }
    for (int row = 0; row < r.Height(); ++row, from += fromStep, to += toStep)
        std::memmove(to, from, rowBytes);
}

void TKvPixels::Assign(const TKvPixels& source)
{
    CopyFrom(source.Left, source.Top, source.GetBounds(), source);
}

// ---------------------------------------------------------------------------
// TKvPixelBuffer

TKvPixelStorage::~TKvPixelStorage() { RecyclePages(m_block, m_size); }

bool TKvPixelStorage::Holds(const uint8_t* data, std::ptrdiff_t stride, std::size_t rowBytes, int height) const
{
    if (!data || height <= 0 || stride < std::ptrdiff_t(rowBytes) || data < m_block)
        return false;
    const std::size_t first = std::size_t(data - m_block);
    return first <= m_size && rowBytes <= m_size - first
        && std::size_t(height - 1) * std::size_t(stride) <= m_size - first - rowBytes;
}

TKvPixelBuffer::TKvPixelBuffer(TKvPixelBuffer&& other) noexcept
    : TKvPixels(other), m_storage(std::move(other.m_storage))
{
    other.Release();
}

TKvPixelBuffer& TKvPixelBuffer::operator=(TKvPixelBuffer&& other) noexcept
{
    if (this != &other) {
        static_cast<TKvPixels&>(*this) = static_cast<TKvPixels&>(other);
        m_storage = std::move(other.m_storage);
        other.Release();
    }
    return *this;
}

TKvPixelBuffer::~TKvPixelBuffer() = default;

bool TKvPixelBuffer::SetBounds(const TRect& rect, bool keepContents)
{
    return Reshape(rect, keepContents, false);
}

std::shared_ptr<TKvPixelStorage> TKvPixelBuffer::StorageFor(std::size_t size, bool forOverwrite)
{
    if (forOverwrite && m_storage && m_storage.use_count() == 1 && m_storage->Size() == size)
        return m_storage;
    uint8_t* block = forOverwrite ? AllocatePagesForOverwrite(size) : AllocatePages(size);
    if (!block)
        return nullptr;
    try {
        return std::make_shared<TKvPixelStorage>(block, size);
    } catch (const std::bad_alloc&) {
        FreePages(block, size);
        return nullptr;
    }
}

bool TKvPixelBuffer::Reshape(const TRect& rect, bool keepContents, bool forOverwrite)
{
    if (rect == GetBounds())
        return true;
    const int width = std::max(rect.Width(), 0);
    const int height = std::max(rect.Height(), 0);
    const int stride = PaddedStride(Format, width);
    std::shared_ptr<TKvPixelStorage> storage;
    if (stride != 0 && height > 0) {
        if (stride > 0)
            storage = StorageFor(std::size_t(stride) * std::size_t(height), forOverwrite && !keepContents);
        if (!storage) {
            Release();
            return false;
        }
    }
    TKvPixels fresh;
    fresh.Init(RectOfSize(rect.Left, rect.Top, width, height), storage ? storage->Block() : nullptr, Format,
               std::max(stride, 0));
    if (keepContents)
        fresh.Assign(*this);
    static_cast<TKvPixels&>(*this) = fresh;
    m_storage = std::move(storage);
    return true;
}

void TKvPixelBuffer::TakeFormat(TKvPixelFormat format)
{
    if (format == Format)
        return;
    Release(); // a new pixel size needs new storage even for the same rectangle
    Format = format;
    BytesPerPixel = BitsPerPixel(format) / 8;
}

bool TKvPixelBuffer::SetFormat(TKvPixelFormat format, const TRect& rect)
{
    TakeFormat(format);
    return Reshape(rect, false, false);
}

bool TKvPixelBuffer::SetFormatForOverwrite(TKvPixelFormat format, const TRect& rect)
{
    TakeFormat(format);
    return Reshape(rect, false, true);
}

void TKvPixelBuffer::ShrinkTo(const TRect& rect)
{
    const TRect part = IntersectRect(rect, GetBounds());
    if (part.IsEmpty() || !Data) {
        Release();
        return;
    }
    Init(RectOfSize(0, 0, part.Width(), part.Height()), PixelAt(part.Left, part.Top), Format, Stride);
}

bool TKvPixelBuffer::ShareWindow(const std::shared_ptr<TKvPixelStorage>& storage, uint8_t* data, const TRect& rect,
                                 TKvPixelFormat format, int stride)
{
    const int bytesPerPixel = BitsPerPixel(format) / 8;
    if (!storage || rect.IsEmpty() || bytesPerPixel == 0
        || !storage->Holds(data, stride, std::size_t(rect.Width()) * std::size_t(bytesPerPixel), rect.Height()))
        return false;
    Init(rect, data, format, stride);
    m_storage = storage;
    return true;
}

void TKvPixelBuffer::Release()
{
    m_storage.reset();
    Data = nullptr;
    Left = Top = Width = Height = Stride = 0;
}

// ---------------------------------------------------------------------------
// TKvPixelMask

void TKvPixelMask::SetBounds(int left, int top, int width, int height)
{
    Left = left;
    Top = top;
    Width = std::max(width, 0);
    Height = std::max(height, 0);
    Data.assign(std::size_t(Width) * std::size_t(Height), 0);
}

uint8_t* TKvPixelMask::ValueAt(int x, int y)
{
    if (Data.empty() || !GetBounds().Contains(TPoint{x, y}))
        return nullptr;
    return &Data[std::size_t(y - Top) * Width + std::size_t(x - Left)];
}

void TKvPixelMask::Include(const TRect& rect)
{
    const TRect old = GetBounds();
    const TRect target = old.IsEmpty() ? rect : UnionRect(old, rect);
    if (target == old || target.IsEmpty())
        return;
    std::vector<uint8_t> grown(std::size_t(target.Width()) * std::size_t(target.Height()), 0);
    if (!Data.empty()) {
        for (int row = 0; row < Height; ++row) {
            const std::size_t at = std::size_t(old.Top - target.Top + row) * target.Width()
                                 + std::size_t(old.Left - target.Left);
            std::copy_n(&Data[std::size_t(row) * Width], Width, &grown[at]);
        }
    }
    Data = std::move(grown);
    Left = target.Left;
    Top = target.Top;
    Width = target.Width();
    Height = target.Height();
}

void TKvPixelMask::MergeMax(const TKvPixelMask& other)
{
    Include(other.GetBounds());
    if (other.Data.empty())
        return;
    for (int row = 0; row < other.Height; ++row) {
        const uint8_t* from = &other.Data[std::size_t(row) * other.Width];
        uint8_t* to = ValueAt(other.Left, other.Top + row);
        for (int col = 0; col < other.Width; ++col)
            to[col] = std::max(to[col], from[col]);
    }
}

void TKvPixelMask::Release()
{
    Data = {};
    Left = Top = Width = Height = 0;
}

// ---------------------------------------------------------------------------
// Kernels and cluster tables

double Sinc(double x)
{
    if (x == 0)
        return 1;
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

double TWindowedSincResampler::KernelValue(double x) const
{
    x = std::fabs(x);
    if (x >= Radius)
        return 0;
    return WindowValue(x) * Sinc(x);
}

namespace {

// Round to nearest, ties to even.
int32_t RoundWeight(double w) { return static_cast<int32_t>(std::nearbyint(w)); }

TCluster MakeCluster(double centre, double scale, const TPixelResampler& kernel, int sourceLo,
                     int sourceHi)
{
    const bool enlarging = scale >= 1;
    const double radius = enlarging ? kernel.SupportRadius() : kernel.SupportRadius() / scale;
    const auto clampToSource = [&](long long j) {
        return static_cast<int32_t>(std::clamp<long long>(j, sourceLo, sourceHi - 1));
    };
    TCluster cluster;
    const auto first = static_cast<long long>(std::floor(centre - radius));
    const auto last = static_cast<long long>(std::ceil(centre + radius));
    for (long long j = first; j <= last; ++j) {
        const int32_t w = enlarging ? RoundWeight(256 * kernel.KernelValue(centre - j))
                                    : RoundWeight(256 * scale * kernel.KernelValue(scale * (centre - j)));
        if (w != 0)
            cluster.push_back({clampToSource(j), w});
    }
    if (cluster.empty())
        return {{clampToSource(static_cast<long long>(std::floor(centre))), 256}};
    int32_t sum = 0;
    for (const TClusterEntry& entry : cluster)
        sum += entry.Weight;
    cluster[(cluster.size() - 1) / 2].Weight -= sum - 256;
    return cluster;
}

} // namespace

TMappingTable MakeMappingTable(int destLo, int destHi, int clipLo, int clipHi, int sourceLo,
                               int sourceHi, const TPixelResampler& kernel)
{
    const int sourceW = sourceHi - sourceLo;
    const int destW = destHi - destLo;
    const int clipW = clipHi - clipLo;
    if (sourceW <= 0 || clipW <= 0)
        return {};
    if (sourceW == 1)
        return TMappingTable(clipW, TCluster{{sourceLo, 256}});
    const double scale = double(destW) / sourceW;
    if (scale == 0) {
        if (clipW != 1)
            throw std::logic_error("KvL/KvBitmap: an empty destination span has one clip pixel at most");
        return {TCluster{{(sourceLo + sourceHi) / 2, 256}}};
    }
    TMappingTable table(clipW);
    for (int i = 0; i < clipW; ++i) {
        const double centre = sourceLo - 0.5 + (i + clipLo - destLo + 0.5) / scale;
        table[i] = MakeCluster(centre, scale, kernel, sourceLo, sourceHi);
    }
    return table;
}

// ---------------------------------------------------------------------------
// ResamplePixels

namespace {

// Keeps every position of the table inside [lo, hi].
void ClampPositions(TMappingTable& table, int lo, int hi)
{
    for (TCluster& cluster : table)
        for (TClusterEntry& entry : cluster)
            entry.Pos = std::clamp(entry.Pos, lo, hi);
}

// The lowest and highest position in the table.
std::pair<int, int> PositionRange(const TMappingTable& table)
{
    int lo = INT_MAX;
    int hi = INT_MIN;
    for (const TCluster& cluster : table)
        for (const TClusterEntry& entry : cluster) {
            lo = std::min(lo, entry.Pos);
            hi = std::max(hi, entry.Pos);
        }
    return {lo, hi};
}

// The clusters of one axis laid out for the inner loops: cluster i is entries
// [i * Taps, (i + 1) * Taps) of Offset (the element offset of its pixel in
// the row it reads) and Weight.  Shorter clusters are padded with zero
// weights at their last position, so every cluster has the same trip count;
// a zero weight adds nothing to a sum, the bytes come out the same.
struct TFlatTable {
    std::size_t Count = 0;
    std::size_t Taps = 0;
    std::vector<int32_t> Offset;
    std::vector<int32_t> Weight;
};

TFlatTable Flatten(const TMappingTable& table, int firstPos, int step)
{
    TFlatTable flat;
    flat.Count = table.size();
    for (const TCluster& cluster : table)
        flat.Taps = std::max(flat.Taps, cluster.size());
    flat.Offset.reserve(flat.Count * flat.Taps);
    flat.Weight.reserve(flat.Count * flat.Taps);
    for (const TCluster& cluster : table)
        for (std::size_t k = 0; k < flat.Taps; ++k) {
            const bool padding = k >= cluster.size();
            const TClusterEntry& entry = cluster[padding ? cluster.size() - 1 : k];
            flat.Offset.push_back((entry.Pos - firstPos) * step);
            flat.Weight.push_back(padding ? 0 : entry.Weight);
        }
    return flat;
}

// The hot loops are compiled twice, for AVX2 and for the baseline, and the
// loader picks the one the processor runs.  Both do the same integer
// arithmetic, so the bytes never depend on the processor.
#if defined(__x86_64__) && defined(__GNUC__)
#define KV_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KV_VECTOR_CLONES
#endif

// Vertical pass, one source row: sums (+)= line * weight, byte by byte.
KV_VECTOR_CLONES
void AccumulateRow(int32_t* sums, const uint8_t* line, int32_t weight, std::size_t count, bool first)
{
    if (first)
        for (std::size_t i = 0; i < count; ++i)
            sums[i] = line[i] * weight;
    else
        for (std::size_t i = 0; i < count; ++i)
            sums[i] += line[i] * weight;
}

// Four 32-bit lanes: the three channel sums of one pixel and one lane that
// is computed and thrown away.
typedef int32_t TInt4 __attribute__((vector_size(16)));
typedef uint32_t TUInt4 __attribute__((vector_size(16)));

// Horizontal pass: one destination row from the vertical sums.  sums must
// have one readable element past its last pixel (the spare lane).  The 16.16
// sums are clamped when the kernel has negative lobes, and truncated.
KV_VECTOR_CLONES
void ResampleRow(uint8_t* out, const int32_t* sums, const TFlatTable& columns, bool clamp)
{
    const int32_t* offset = columns.Offset.data();
    const int32_t* weight = columns.Weight.data();
    const std::size_t taps = columns.Taps;
    for (std::size_t x = 0; x < columns.Count; ++x, out += 3, offset += taps, weight += taps) {
        TInt4 sum = {0, 0, 0, 0};
        for (std::size_t e = 0; e < taps; ++e) {
            TInt4 pixel;
            std::memcpy(&pixel, sums + offset[e], sizeof pixel);
            sum += pixel * weight[e];
        }
        if (clamp) {
            sum = sum < 0 ? 0 : sum;
            sum = sum > 0xFF0000 ? 0xFF0000 : sum;
        }
        const TUInt4 bytes = TUInt4(sum) >> 16;
        out[0] = uint8_t(bytes[0]);
        out[1] = uint8_t(bytes[1]);
        out[2] = uint8_t(bytes[2]);
    }
}

} // namespace

void ResamplePixels(TKvPixels& dest, const TRect& destRect, const TRect& destClip,
                    const TPixelResampler& kernel, const TRect& sourceRect, const TKvPixels& source)
{
    constexpr int Step = 3;
    if (dest.BytesPerPixel != Step || source.BytesPerPixel != Step || !dest.Data || !source.Data)
        return;
    if (destRect.IsEmpty() || sourceRect.IsEmpty())
        return;
    const TRect clip = IntersectRect(dest.GetBounds(), destClip);
    if (clip.IsEmpty())
        return;
    const TRect readable = source.GetBounds();
    if (IntersectRect(sourceRect, readable).IsEmpty())
        return;
    TMappingTable columns = MakeMappingTable(destRect.Left, destRect.Right, clip.Left, clip.Right,
                                             sourceRect.Left, sourceRect.Right, kernel);
    TMappingTable rows = MakeMappingTable(destRect.Top, destRect.Bottom, clip.Top, clip.Bottom,
                                          sourceRect.Top, sourceRect.Bottom, kernel);
    if (columns.empty() || rows.empty())
        return;
    // A source rectangle reaching past the source reuses its edge pixels.
    ClampPositions(columns, readable.Left, readable.Right - 1);
    ClampPositions(rows, readable.Top, readable.Bottom - 1);

    const auto [xLo, xHi] = PositionRange(columns); // the source columns needed
    const TFlatTable flatColumns = Flatten(columns, xLo, Step);
    const bool clamp = kernel.NeedsClamping();
    const std::size_t sumCount = std::size_t(xHi - xLo + 1) * Step;
    std::vector<int32_t> rowSums(sumCount + 1); // + the spare lane of the last pixel

    for (int y = clip.Top; y < clip.Bottom; ++y) {
        // Vertical pass over every needed source column: 8 fractional bits.
        bool first = true;
        for (const TClusterEntry& entry : rows[y - clip.Top]) {
            AccumulateRow(rowSums.data(), source.PixelAt(xLo, entry.Pos), entry.Weight, sumCount, first);
            first = false;
        }
        // Horizontal pass: 16 fractional bits, cut to whole bytes.
        ResampleRow(dest.PixelAt(clip.Left, y), rowSums.data(), flatColumns, clamp);
    }
}
