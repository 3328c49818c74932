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
    points_.Release();
    width_ = 0;
    height_ = 0;
    width = std::max(width, 0);
    height = std::max(height, 0);
    points_ = TPageArray<TMarkedPoint>(std::size_t(width) * std::size_t(height));
    width_ = width;
    height_ = height;
}

void TMarkedPointArray::Zero()
{
    if (points_.size() != 0)
        std::memset(static_cast<void*>(points_.data()), 0, points_.size() * sizeof(TMarkedPoint));
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
    image_ = image;
    if (image->Width == width_ && image->Height == height_)
        return;
    const std::int64_t pixels = std::int64_t(std::max(image->Width, 0)) * std::max(image->Height, 0);
    if (pixels > INT_MAX)
        throw std::length_error("the picture is too large for the clipping work");
    // The old arrays go first, so that old and new never take memory at
    // once; should the new ones fail, the region is left empty.
    width_ = 0;
    height_ = 0;
    ResetCounts(committedCounts_);
    ResetCounts(currentCounts_);
    committed_.SetSize(0, 0);
    current_.SetSize(0, 0);
    fillStack_.Release();
    // Fresh arrays hold all-zero marks already.
    committed_.SetSize(image->Width, image->Height);
    current_.SetSize(image->Width, image->Height);
    fillStack_ = TPageArray<std::uint32_t>(std::size_t(pixels));
    width_ = std::max(image->Width, 0);
    height_ = std::max(image->Height, 0);
    ResetCounts(committedCounts_);
    ResetCounts(currentCounts_);
}

void TMarkedRegion::ResetAll()
{
    committed_.Zero();
    ResetCounts(committedCounts_);
    ResetCurrent();
}

void TMarkedRegion::ResetCurrent()
{
    current_.Zero();
    ResetCounts(currentCounts_);
}

void TMarkedRegion::ResetCounts(TLabelCounts& counts) const
{
    counts.fill(0);
    counts[0] = PixelCount();
}

void TMarkedRegion::SetLabelEffect(std::uint8_t label, std::uint8_t kind)
{
    if (label >= labelEffect_.size())
        return; // labels from 128 up always show the background effect
    labelEffect_[label] = kind;
    kinds_[label] = kind;
}

void TMarkedRegion::UpdateBackgroundKinds()
{
    const std::uint8_t kind = std::uint8_t(EffectColor + backgroundEffect_);
    std::fill(kinds_.begin() + 128, kinds_.end(), kind);
}

inline void TMarkedRegion::ChangeLabel(TMarkedPoint& mark, std::uint8_t* pixel, int x, int y,
                                       std::uint8_t label)
{
    if (kinds_[mark.Label] != EffectNone)
        CopyColor(pixel, Bytes(mark.Color)); // the pixel showed an effect
    else
        CopyColor(Bytes(mark.Color), pixel);
    if (const std::uint8_t kind = kinds_[label]; kind != EffectNone)
        ApplyEffect(pixel, kind, x, y);
    mark.Label = label;
}

bool TMarkedRegion::SetLabel(int x, int y, std::uint8_t label)
{
    TMarkedPoint& mark = current_.At(x, y);
    const std::uint8_t old = mark.Label;
    if (old == label)
        return false;
    ChangeLabel(mark, PixelAt(x, y), x, y, label);
    --currentCounts_[old];
    ++currentCounts_[label];
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
        CopyColor(pixel, Bytes(backgroundColor_));
        break;
    case EffectShadow:
        for (int c = 0; c < 3; ++c)
            pixel[c] = shadowTable_[pixel[c]];
        break;
    case EffectBlur: {
        EnsureMean();
        TColorTriple blurred = mean_.GetColor(x, y);
        CopyColor(pixel, Bytes(blurred));
        break;
    }
    case EffectMonochrome: {
        const std::uint8_t brightest = std::max({pixel[0], pixel[1], pixel[2]});
        for (int c = 0; c < 3; ++c)
            pixel[c] = monoTable_[c][brightest];
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
        if (currentCounts_[std::size_t(label)] != 0)
            return true;
    return false;
}

void TMarkedRegion::Relabel(std::uint8_t from, std::uint8_t to)
{
    if (from == to || !HasLabel(from))
        return;
    for (int x = 0; x < width_; ++x) {
        TMarkedPoint* column = current_.Column(x);
        for (int y = 0; y < height_; ++y)
            if (column[y].Label == from)
                ChangeLabel(column[y], PixelAt(x, y), x, y, to);
    }
    currentCounts_[to] += currentCounts_[from];
    currentCounts_[from] = 0;
}

void TMarkedRegion::ClearExcept(const TLabelSet& labels)
{
    std::array<bool, 256> keep{};
    for (std::size_t label = 0; label < keep.size(); ++label)
        keep[label] = labels.test(label) || label == 0;
    for (int x = 0; x < width_; ++x) {
        TMarkedPoint* column = current_.Column(x);
        for (int y = 0; y < height_; ++y) {
            const std::uint8_t old = column[y].Label;
            if (!keep[old]) {
                ChangeLabel(column[y], PixelAt(x, y), x, y, 0);
                --currentCounts_[old];
                ++currentCounts_[0];
            }
        }
    }
}

TRect TMarkedRegion::LabelBounds(const TLabelSet& labels) const
{
    TRect bounds{width_ - 1, height_ - 1, 0, 0};
    for (int x = 0; x < width_; ++x) {
        const TMarkedPoint* column = current_.Column(x);
        const auto inSet = [&labels](const TMarkedPoint& mark) { return labels.test(mark.Label); };
        const TMarkedPoint* first = std::find_if(column, column + height_, inSet);
        if (first == column + height_)
            continue;
        const TMarkedPoint* last = std::find_if(std::make_reverse_iterator(column + height_),
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
        const TMarkedPoint* marks = current_.Column(0);
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
    const TMarkedPoint* marks = current_.Column(0);
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
    TMarkedPoint* marks = current_.Column(0);
    const std::size_t height = std::size_t(height_);
    const std::size_t width = std::size_t(width_);
    std::uint32_t* stack = fillStack_.data();
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
    currentCounts_[seedLabel] -= filled;
    currentCounts_[newLabel] += filled;
}

// ---------------------------------------------------------------------------
// Column passes

void TMarkedRegion::ApplyObject(std::uint8_t object, int x, TRect& rect)
{
    TMarkedPoint* column = current_.Column(x);
    for (int y = 0; y < height_; ++y) {
        TMarkedPoint& mark = column[y];
        const std::uint8_t label = mark.Segment == object ? object : std::uint8_t(mark.Segment + 128);
        if (mark.Label != label) {
            --currentCounts_[mark.Label];
            ++currentCounts_[label];
            ChangeLabel(mark, PixelAt(x, y), x, y, label);
        }
    }
    rect = {x, 0, x + 1, height_};
}

void TMarkedRegion::SwapObject(std::uint8_t object, int x, TRect& rect)
{
    const std::uint8_t shownObject = std::uint8_t(object + 128);
    TMarkedPoint* column = current_.Column(x);
    for (int y = 0; y < height_; ++y) {
        TMarkedPoint& mark = column[y];
        std::uint8_t label = mark.Label;
        if (label == shownObject)
            label = object;
        else if (label < 128)
            label = std::uint8_t(label + 128);
        else
            continue;
        --currentCounts_[mark.Label];
        ++currentCounts_[label];
        ChangeLabel(mark, PixelAt(x, y), x, y, label);
    }
    rect = {x, 0, x + 1, height_};
}

void TMarkedRegion::RefreshEffects(int x, TRect& rect)
{
    rect = {x, height_ - 1, x + 1, 0};
    TMarkedPoint* column = current_.Column(x);
    for (int y = 0; y < height_; ++y) {
        TMarkedPoint& mark = column[y];
        if (mark.Label < 128)
            continue;
        std::uint8_t* pixel = PixelAt(x, y);
        CopyColor(pixel, Bytes(mark.Color));
        ApplyEffect(pixel, kinds_[mark.Label], x, y);
        IncludePoint(rect, x, y);
    }
}

void TMarkedRegion::ClearColumn(int x, TRect& rect)
{
    rect = {x, height_ - 1, x + 1, 0};
    for (int y = 0; y < height_; ++y)
        if (SetLabel(x, y, 0))
            IncludePoint(rect, x, y);
}

// ---------------------------------------------------------------------------
// Effect parameters

void TMarkedRegion::PrepareEffect(int mode)
{
    backgroundEffect_ = std::clamp(mode, int(BackgroundColor), int(BackgroundMonochrome));
    UpdateBackgroundKinds();
    if (backgroundEffect_ == BackgroundBlur)
        ComputeMean();
}

void TMarkedRegion::ComputeMean()
{
    mean_.SetSize(width_, height_);
    for (int x = 0; x < width_; ++x) {
        TColorTriple* column = mean_.Column(x);
        for (int y = 0; y < height_; ++y) {
            const std::uint8_t* color = UnaffectedColor(x, y);
            column[y] = {color[0], color[1], color[2]};
        }
    }
    mean_.Average(blurRadius_, progress_);
}

void TMarkedRegion::EnsureMean()
{
    // The blur is always prepared before it is shown; a mean of another size
    // (a picture attached since) is recomputed rather than read out of range.
    if (mean_.Width() != width_ || mean_.Height() != height_)
        ComputeMean();
}

void TMarkedRegion::SetBackgroundColor(TColor color)
{
    backgroundColor_ = {std::uint8_t(color >> 16), std::uint8_t(color >> 8), std::uint8_t(color)};
}

void TMarkedRegion::SetShadowLevel(double level)
{
    // sqrt(2) to the power n, exact for even n, so that level 2 halves and
    // level 4 quarters exactly.
    const int n = int(std::nearbyint(std::clamp(level, -4096.0, 4096.0)));
    shadowDivisor_ = n <= 0 ? 1.0 : std::ldexp(n % 2 != 0 ? std::numbers::sqrt2 : 1.0, n / 2);
    for (int value = 0; value < 256; ++value)
        shadowTable_[std::size_t(value)] = RoundToByte(value / shadowDivisor_);
}

void TMarkedRegion::SetBlurLevel(int level)
{
    // 3 to the power level; growing further once the radius exceeds any
    // picture side would change no mean, so the power stops short of overflow.
    int radius = 1;
    for (int i = 0; i < level && radius <= INT_MAX / 3; ++i)
        radius *= 3;
    blurRadius_ = radius;
}

void TMarkedRegion::SetMonochromeColor(TColor color)
{
    const std::uint8_t channels[3] = {std::uint8_t(color >> 16), std::uint8_t(color >> 8), std::uint8_t(color)};
    for (int c = 0; c < 3; ++c) {
        monoFactors_[std::size_t(c)] = channels[c] / 255.0f;
        for (int brightest = 0; brightest < 256; ++brightest)
            monoTable_[std::size_t(c)][std::size_t(brightest)] =
                RoundToByte(brightest * double(monoFactors_[std::size_t(c)]));
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
    counts = committedCounts_;
    CopyMarks(committed_, r, marks, 0, 0);
}

void TMarkedRegion::CopyCurrent(TLabelCounts& counts, const TRect& r, TMarkedPointArray& marks) const
{
    counts = currentCounts_;
    CopyMarks(current_, r, marks, 0, 0);
}

void TMarkedRegion::RestoreCurrent(const TLabelCounts& counts, const TRect& r, const TMarkedPointArray& marks)
{
    currentCounts_ = counts;
    CopyMarks(marks, r.Offset(-r.Left, -r.Top), current_, r.Left, r.Top);
}

void TMarkedRegion::Commit(const TRect& r)
{
    committedCounts_ = currentCounts_;
    CopyMarks(current_, r, committed_, r.Left, r.Top);
}
