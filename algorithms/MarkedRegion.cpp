#include "MarkedRegion.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>

// ---------------------------------------------------------------------------
// TMarkedPointArray

void TMarkedPointArray::SetSize(int width, int height)
{
    m_points.Release();
    m_width = 0;
    m_height = 0;
    width = std::max(width, 0);
    height = std::max(height, 0);
    m_points = TPageArray<TMarkedPoint>(std::size_t(width) * std::size_t(height));
    m_width = width;
    m_height = height;
}

void TMarkedPointArray::Zero()
{
    m_points.Zero();
}

TLabelSet LabelRange(int lo, int hi)
{
    TLabelSet labels;
    for (int label = std::max(lo, 0); label <= std::min(hi, 255); ++label)
        labels.set(std::size_t(label));
    return labels;
}

// ---------------------------------------------------------------------------
// TMarkedRegion: labels and their effects

namespace {

void CopyColor(std::uint8_t* to, const std::uint8_t* from)
{
    std::memcpy(to, from, 3);
}

std::uint8_t* Bytes(TColorTriple& color)
{
    return reinterpret_cast<std::uint8_t*>(&color);
}

// Round to nearest, ties to even (the default floating-point rounding mode).
std::uint8_t RoundToByte(double value)
{
    return std::uint8_t(std::nearbyint(value));
}

} // namespace

TMarkedRegion::TMarkedRegion()
{
    SetShadowLevel(0);
    SetMonochromeColor(0);
    UpdateBackgroundKinds();
}

TMarkedRegion::~TMarkedRegion() = default;

void TMarkedRegion::AttachImage(TKvPixels* image)
{
    if (image->BytesPerPixel != 3)
        throw std::invalid_argument("the clipping work needs a 24-bit picture");
    m_image = image;
    if (image->Width == m_width && image->Height == m_height)
        return;
    const std::int64_t pixels = std::int64_t(std::max(image->Width, 0)) * std::max(image->Height, 0);
    if (pixels > INT_MAX)
        throw std::length_error("the picture is too large for the clipping work");
    // The old arrays go first, so that old and new never take memory at
    // once; should the new ones fail, the region is left empty.
    m_width = 0;
    m_height = 0;
    ResetCounts(m_committedCounts);
    ResetCounts(m_currentCounts);
    m_committed.SetSize(0, 0);
    m_current.SetSize(0, 0);
    m_fillStack.Release();
    // Fresh arrays hold all-zero marks already.
    m_committed.SetSize(image->Width, image->Height);
    m_current.SetSize(image->Width, image->Height);
    m_fillStack = TPageArray<std::uint32_t>(std::size_t(pixels));
    m_width = std::max(image->Width, 0);
    m_height = std::max(image->Height, 0);
    ResetCounts(m_committedCounts);
    ResetCounts(m_currentCounts);
}

void TMarkedRegion::ResetAll()
{
    m_committed.Zero();
    ResetCounts(m_committedCounts);
    ResetCurrent();
}

void TMarkedRegion::ResetCurrent()
{
    m_current.Zero();
    ResetCounts(m_currentCounts);
}

void TMarkedRegion::ResetCounts(TLabelCounts& counts) const
{
    counts.fill(0);
    counts[0] = PixelCount();
}

void TMarkedRegion::SetLabelEffect(std::uint8_t label, std::uint8_t kind)
{
    if (label >= m_labelEffect.size())
        return; // labels from 128 up always show the background effect
    m_labelEffect[label] = kind;
    m_kinds[label] = kind;
}

void TMarkedRegion::UpdateBackgroundKinds()
{
    const std::uint8_t kind = std::uint8_t(EffectColor + m_backgroundEffect);
    std::fill(m_kinds.begin() + 128, m_kinds.end(), kind);
}

inline void TMarkedRegion::ChangeLabel(TMarkedPoint& mark, std::uint8_t* pixel, int x, int y,
                                       std::uint8_t label)
{
    if (m_kinds[mark.Label] != EffectNone)
        CopyColor(pixel, Bytes(mark.Color)); // the pixel showed an effect
    else
        CopyColor(Bytes(mark.Color), pixel);
    if (const std::uint8_t kind = m_kinds[label]; kind != EffectNone)
        ApplyEffect(pixel, kind, x, y);
    mark.Label = label;
}

bool TMarkedRegion::SetLabel(int x, int y, std::uint8_t label)
{
    TMarkedPoint& mark = m_current.At(x, y);
    const std::uint8_t old = mark.Label;
    if (old == label)
        return false;
    ChangeLabel(mark, PixelAt(x, y), x, y, label);
    --m_currentCounts[old];
    ++m_currentCounts[label];
    return true;
}

void TMarkedRegion::ApplyEffect(std::uint8_t* pixel, std::uint8_t kind, int x, int y)
{
    switch (kind) {
    case EffectThreshold:
        for (int c = 0; c < 3; ++c)
            pixel[c] = pixel[c] >= 128 ? 0 : 255;
        break;
    case EffectRed:
        pixel[0] = 0;
        pixel[1] = 0;
        pixel[2] = 255;
        break;
    case EffectColor:
        CopyColor(pixel, Bytes(m_backgroundColor));
        break;
    case EffectShadow:
        for (int c = 0; c < 3; ++c)
            pixel[c] = m_shadowTable[pixel[c]];
        break;
    case EffectBlur: {
        EnsureMean();
        TColorTriple blurred = m_mean.GetColor(x, y);
        CopyColor(pixel, Bytes(blurred));
        break;
    }
    case EffectMonochrome: {
        const std::uint8_t brightest = std::max({pixel[0], pixel[1], pixel[2]});
        for (int c = 0; c < 3; ++c)
            pixel[c] = m_monoTable[c][brightest];
        break;
    }
    default:
        break; // kind 0 and kinds no label is given leave the pixel
    }
}

// ---------------------------------------------------------------------------
// Questions and whole-picture relabelling

bool TMarkedRegion::HasLabelIn(int lo, int hi) const
{
    for (int label = std::max(lo, 0); label <= std::min(hi, 255); ++label)
        if (m_currentCounts[std::size_t(label)] != 0)
            return true;
    return false;
}

void TMarkedRegion::Relabel(std::uint8_t from, std::uint8_t to)
{
    if (from == to || !HasLabel(from))
        return;
    for (int x = 0; x < m_width; ++x) {
        TMarkedPoint* column = m_current.Column(x);
        for (int y = 0; y < m_height; ++y)
            if (column[y].Label == from)
                ChangeLabel(column[y], PixelAt(x, y), x, y, to);
    }
    m_currentCounts[to] += m_currentCounts[from];
    m_currentCounts[from] = 0;
}

void TMarkedRegion::ClearExcept(const TLabelSet& labels)
{
    std::array<bool, 256> keep{};
    for (std::size_t label = 0; label < keep.size(); ++label)
        keep[label] = labels.test(label) || label == 0;
    for (int x = 0; x < m_width; ++x) {
        TMarkedPoint* column = m_current.Column(x);
        for (int y = 0; y < m_height; ++y) {
            const std::uint8_t old = column[y].Label;
            if (!keep[old]) {
                ChangeLabel(column[y], PixelAt(x, y), x, y, 0);
                --m_currentCounts[old];
                ++m_currentCounts[0];
            }
        }
    }
}

TRect TMarkedRegion::LabelBounds(const TLabelSet& labels) const
{
    TRect bounds{m_width - 1, m_height - 1, 0, 0};
    for (int x = 0; x < m_width; ++x) {
        const TMarkedPoint* column = m_current.Column(x);
        const auto inSet = [&labels](const TMarkedPoint& mark) { return labels.test(mark.Label); };
        const TMarkedPoint* first = std::find_if(column, column + m_height, inSet);
        if (first == column + m_height)
            continue;
        const TMarkedPoint* last = std::find_if(std::make_reverse_iterator(column + m_height),
                                                std::make_reverse_iterator(first + 1), inSet)
                                       .base() - 1;
        IncludePoint(bounds, x, int(first - column));
        IncludePoint(bounds, x, int(last - column));
    }
    return bounds;
}

// ---------------------------------------------------------------------------
// Flood fill

bool TMarkedRegion::FillComponent(std::uint8_t seedLabel, std::uint8_t newLabel)
{
    if (seedLabel != newLabel && HasLabel(seedLabel)) {
        // The count says a seed pixel exists, so the scan ends inside.
        const TMarkedPoint* marks = m_current.Column(0);
        std::size_t start = 0;
        while (marks[start].Label != seedLabel)
            ++start;
        FillFrom(start, seedLabel, newLabel);
    }
    return HasLabel(newLabel);
}

int TMarkedRegion::NumberComponents(std::uint8_t seedLabel, std::uint8_t firstLabel, std::uint8_t lastLabel)
{
    if (seedLabel >= firstLabel && seedLabel <= lastLabel)
        return 0; // the numbering would refill its own components
    const TMarkedPoint* marks = m_current.Column(0);
    int numbered = 0;
    std::size_t next = 0;
    for (int label = firstLabel; label <= lastLabel && HasLabel(seedLabel); ++label) {
        // Components numbered so far lie wholly behind their first pixels, so
        // the scan for the next one goes on from the last start.
        while (marks[next].Label != seedLabel)
            ++next;
        FillFrom(next, seedLabel, std::uint8_t(label));
        ++numbered;
    }
    return numbered;
}

void TMarkedRegion::FillFrom(std::size_t start, std::uint8_t seedLabel, std::uint8_t newLabel)
{
    TMarkedPoint* marks = m_current.Column(0);
    const std::size_t height = std::size_t(m_height);
    const std::size_t width = std::size_t(m_width);
    std::uint32_t* stack = m_fillStack.data();
    std::size_t depth = 0;
    std::int64_t filled = 0;

    const auto take = [&](std::size_t index, std::size_t x) {
        const int y = int(index - x * height);
        ChangeLabel(marks[index], PixelAt(int(x), y), int(x), y, newLabel);
        ++filled;
    };
    // Takes the first pixel of every run of seed pixels in indices lo..hi of
    // one column and pushes it; the rest of each run follows when it is popped.
    const auto takeRunStarts = [&](std::size_t lo, std::size_t hi, std::size_t x) {
        bool inRun = false;
        for (std::size_t i = lo; i <= hi; ++i) {
            if (marks[i].Label != seedLabel) {
                inRun = false;
            } else if (!inRun) {
                take(i, x);
                stack[depth++] = std::uint32_t(i);
                inRun = true;
            }
        }
    };

    take(start, start / height);
    stack[depth++] = std::uint32_t(start);
    // Every pixel is relabelled when it is pushed, so it is pushed once and
    // width x height entries always suffice.
    while (depth > 0) {
        const std::size_t index = stack[--depth];
        const std::size_t x = index / height;
        const std::size_t top = x * height;
        std::size_t lo = index;
        std::size_t hi = index;
        while (lo > top && marks[lo - 1].Label == seedLabel)
            take(--lo, x);
        while (hi + 1 < top + height && marks[hi + 1].Label == seedLabel)
            take(++hi, x);
        if (x > 0)
            takeRunStarts(lo - height, hi - height, x - 1);
        if (x + 1 < width)
            takeRunStarts(lo + height, hi + height, x + 1);
    }
    m_currentCounts[seedLabel] -= filled;
    m_currentCounts[newLabel] += filled;
}

// ---------------------------------------------------------------------------
// Column passes

void TMarkedRegion::ApplyObject(std::uint8_t object, int x, TRect& rect)
{
    TMarkedPoint* column = m_current.Column(x);
    for (int y = 0; y < m_height; ++y) {
        TMarkedPoint& mark = column[y];
        const std::uint8_t label = mark.Segment == object ? object : std::uint8_t(mark.Segment + 128);
        if (mark.Label != label) {
            --m_currentCounts[mark.Label];
            ++m_currentCounts[label];
            ChangeLabel(mark, PixelAt(x, y), x, y, label);
        }
    }
    rect = {x, 0, x + 1, m_height};
}

void TMarkedRegion::SwapObject(std::uint8_t object, int x, TRect& rect)
{
    const std::uint8_t shownObject = std::uint8_t(object + 128);
    TMarkedPoint* column = m_current.Column(x);
    for (int y = 0; y < m_height; ++y) {
        TMarkedPoint& mark = column[y];
        std::uint8_t label = mark.Label;
        if (label == shownObject)
            label = object;
        else if (label < 128)
            label = std::uint8_t(label + 128);
        else
            continue;
        --m_currentCounts[mark.Label];
        ++m_currentCounts[label];
        ChangeLabel(mark, PixelAt(x, y), x, y, label);
    }
    rect = {x, 0, x + 1, m_height};
}

void TMarkedRegion::RefreshEffects(int x, TRect& rect)
{
    rect = {x, m_height - 1, x + 1, 0};
    TMarkedPoint* column = m_current.Column(x);
    for (int y = 0; y < m_height; ++y) {
        TMarkedPoint& mark = column[y];
        if (mark.Label < 128)
            continue;
        std::uint8_t* pixel = PixelAt(x, y);
        CopyColor(pixel, Bytes(mark.Color));
        ApplyEffect(pixel, m_kinds[mark.Label], x, y);
        IncludePoint(rect, x, y);
    }
}

void TMarkedRegion::ClearColumn(int x, TRect& rect)
{
    rect = {x, m_height - 1, x + 1, 0};
    for (int y = 0; y < m_height; ++y)
        if (SetLabel(x, y, 0))
            IncludePoint(rect, x, y);
}

// ---------------------------------------------------------------------------
// Effect parameters

void TMarkedRegion::PrepareEffect(int mode)
{
    m_backgroundEffect = std::clamp(mode, int(BackgroundColor), int(BackgroundMonochrome));
    UpdateBackgroundKinds();
    if (m_backgroundEffect == BackgroundBlur)
        ComputeMean();
}

void TMarkedRegion::ComputeMean()
{
    m_mean.SetSize(m_width, m_height);
    for (int x = 0; x < m_width; ++x) {
        TColorTriple* column = m_mean.Column(x);
        for (int y = 0; y < m_height; ++y) {
            const std::uint8_t* color = UnaffectedColor(x, y);
            column[y] = {color[0], color[1], color[2]};
        }
    }
    m_mean.Average(m_blurRadius, m_progress);
}

void TMarkedRegion::EnsureMean()
{
    // The blur is always prepared before it is shown; a mean of another size
    // (a picture attached since) is recomputed rather than read out of range.
    if (m_mean.Width() != m_width || m_mean.Height() != m_height)
        ComputeMean();
}

void TMarkedRegion::SetBackgroundColor(TColor color)
{
    m_backgroundColor = {std::uint8_t(color >> 16), std::uint8_t(color >> 8), std::uint8_t(color)};
}

void TMarkedRegion::SetShadowLevel(double level)
{
    // sqrt(2) to the power n, exact for even n, so that level 2 halves and
    // level 4 quarters exactly.
    const int n = int(std::nearbyint(std::clamp(level, -4096.0, 4096.0)));
    m_shadowDivisor = n <= 0 ? 1.0 : std::ldexp(n % 2 != 0 ? std::numbers::sqrt2 : 1.0, n / 2);
    for (int value = 0; value < 256; ++value)
        m_shadowTable[std::size_t(value)] = RoundToByte(value / m_shadowDivisor);
}

void TMarkedRegion::SetBlurLevel(int level)
{
    // 3 to the power level; growing further once the radius exceeds any
    // picture side would change no mean, so the power stops short of overflow.
    int radius = 1;
    for (int i = 0; i < level && radius <= INT_MAX / 3; ++i)
        radius *= 3;
    m_blurRadius = radius;
}

void TMarkedRegion::SetMonochromeColor(TColor color)
{
    const std::uint8_t channels[3] = {std::uint8_t(color >> 16), std::uint8_t(color >> 8), std::uint8_t(color)};
    for (int c = 0; c < 3; ++c) {
        m_monoFactors[std::size_t(c)] = channels[c] / 255.0f;
        for (int brightest = 0; brightest < 256; ++brightest)
            m_monoTable[std::size_t(c)][std::size_t(brightest)] =
                RoundToByte(brightest * double(m_monoFactors[std::size_t(c)]));
    }
}

// ---------------------------------------------------------------------------
// Snapshots

void TMarkedRegion::CopyMarks(const TMarkedPointArray& from, const TRect& fromRect, TMarkedPointArray& to,
                              int toLeft, int toTop)
{
    const int rows = fromRect.Height();
    if (fromRect.IsEmpty())
        return;
    for (int x = fromRect.Left; x < fromRect.Right; ++x)
        std::memcpy(to.Column(toLeft + x - fromRect.Left) + toTop, from.Column(x) + fromRect.Top,
                    std::size_t(rows) * sizeof(TMarkedPoint));
}

void TMarkedRegion::CopyCommitted(TLabelCounts& counts, const TRect& r, TMarkedPointArray& marks) const
{
    counts = m_committedCounts;
    CopyMarks(m_committed, r, marks, 0, 0);
}

void TMarkedRegion::CopyCurrent(TLabelCounts& counts, const TRect& r, TMarkedPointArray& marks) const
{
    counts = m_currentCounts;
    CopyMarks(m_current, r, marks, 0, 0);
}

void TMarkedRegion::RestoreCurrent(const TLabelCounts& counts, const TRect& r, const TMarkedPointArray& marks)
{
    m_currentCounts = counts;
    CopyMarks(marks, r.Offset(-r.Left, -r.Top), m_current, r.Left, r.Top);
}

void TMarkedRegion::Commit(const TRect& r)
{
    m_committedCounts = m_currentCounts;
    CopyMarks(m_current, r, m_committed, r.Left, r.Top);
}
