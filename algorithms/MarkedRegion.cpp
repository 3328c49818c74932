#include "MarkedRegion.h"

#include "Prefetch.h"
#include "WorkerPool.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace {

// The column passes take this many rows of every column before the next
// rows: the picture's rows they touch stay in the cache from one column to
// the next.
constexpr int kRowsAtOnce = 64;
// Columns lie far apart in the marks: the passes ask for the rows of the
// column this far ahead while they work on one.
constexpr int kColumnsAhead = 8;
// The picture's rows hold a cache line for 21 columns: every this many
// columns the passes ask for the pixels of the column as far ahead.
constexpr int kPictureColumnsAhead = 16;

} // namespace

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
    return SetLabel(x, y, label, m_currentCounts);
}

bool TMarkedRegion::SetLabel(int x, int y, std::uint8_t label, TLabelCounts& countChanges)
{
    TMarkedPoint& mark = m_current.At(x, y);
    const std::uint8_t old = mark.Label;
    if (old == label)
        return false;
    ChangeLabel(mark, PixelAt(x, y), x, y, label);
    --countChanges[old];
    ++countChanges[label];
    return true;
}

void TMarkedRegion::AddCounts(const TLabelCounts& countChanges)
{
    for (std::size_t label = 0; label < countChanges.size(); ++label)
        m_currentCounts[label] += countChanges[label];
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
    const std::int64_t moved = m_currentCounts[from];
    EnsureMeanFor(m_kinds[to]);
    ForColumns(0, m_width, [&](int x, int top, int bottom, TColumnChanges&) {
        TMarkedPoint* column = m_current.Column(x);
        for (int y = top; y < bottom; ++y)
            if (column[y].Label == from)
                ChangeLabel(column[y], PixelAt(x, y), x, y, to);
    });
    m_currentCounts[to] += moved;
    m_currentCounts[from] = 0;
}

void TMarkedRegion::ClearExcept(const TLabelSet& labels)
{
    std::array<bool, 256> keep{};
    for (std::size_t label = 0; label < keep.size(); ++label)
        keep[label] = labels.test(label) || label == 0;
    ForColumns(0, m_width, [&](int x, int top, int bottom, TColumnChanges& changes) {
        TMarkedPoint* column = m_current.Column(x);
        for (int y = top; y < bottom; ++y) {
            const std::uint8_t old = column[y].Label;
            if (!keep[old]) {
                ChangeLabel(column[y], PixelAt(x, y), x, y, 0);
                --changes.counts[old];
                ++changes.counts[0];
            }
        }
    });
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
    if (m_pool && m_pool->Shares(PixelCount()) && m_width > 1 && firstLabel <= lastLabel && HasLabel(seedLabel))
        return NumberComponentsShared(seedLabel, firstLabel, lastLabel);
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

namespace {

// A run of seed pixels down one column: pixel indices Begin .. End - 1.
struct TSeedRun {
    std::uint32_t Begin;
    std::uint32_t End;
};

// The root of run i; every link points to a smaller run, so the root is
// the first run of the component in column-major order.
std::uint32_t RootOf(std::vector<std::uint32_t>& parent, std::uint32_t i)
{
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

void Join(std::vector<std::uint32_t>& parent, std::uint32_t a, std::uint32_t b)
{
    a = RootOf(parent, a);
    b = RootOf(parent, b);
    if (a < b)
        parent[b] = a;
    else if (b < a)
        parent[a] = b;
}

// Joins the runs of two neighbouring columns that touch (share a row);
// runs left and right are sorted, indices from their first ones.
void JoinTouching(std::vector<std::uint32_t>& parent, const std::vector<TSeedRun>& runs, std::uint32_t left,
                  std::uint32_t leftEnd, std::uint32_t right, std::uint32_t rightEnd, std::uint32_t height)
{
    while (left < leftEnd && right < rightEnd) {
        const std::uint32_t leftBegin = runs[left].Begin + height;
        const std::uint32_t leftStop = runs[left].End + height;
        if (leftBegin < runs[right].End && runs[right].Begin < leftStop)
            Join(parent, left, right);
        if (leftStop < runs[right].End)
            ++left;
        else
            ++right;
    }
}

} // namespace

// The components found from the runs of seed pixels in each column: strips
// of columns gather their runs and join those that touch, then the strips'
// border columns are joined.  Every run is linked to the smallest run of its
// component, so the components come out in the order of their first pixels,
// as repeated flood fills number them.
int TMarkedRegion::NumberComponentsShared(std::uint8_t seedLabel, std::uint8_t firstLabel, std::uint8_t lastLabel)
{
    const int strips = int(std::min<std::int64_t>(m_width, m_pool->Threads()));
    const auto firstColumn = [&](int strip) { return int(std::int64_t(m_width) * strip / strips); };
    const std::uint32_t height = std::uint32_t(m_height);
    TMarkedPoint* marks = m_current.Column(0);
    // Each strip's runs, and where each of its columns' runs start.
    std::vector<std::vector<TSeedRun>> stripRuns(static_cast<std::size_t>(strips));
    std::vector<std::vector<std::uint32_t>> columnStarts(static_cast<std::size_t>(strips));
    m_pool->Run(strips, [&](int strip) {
        std::vector<TSeedRun>& runs = stripRuns[std::size_t(strip)];
        std::vector<std::uint32_t>& starts = columnStarts[std::size_t(strip)];
        for (int x = firstColumn(strip); x < firstColumn(strip + 1); ++x) {
            starts.push_back(std::uint32_t(runs.size()));
            const std::uint32_t top = std::uint32_t(x) * height;
            for (std::uint32_t i = top; i < top + height;) {
                if (marks[i].Label != seedLabel) {
                    ++i;
                    continue;
                }
                const std::uint32_t begin = i;
                while (i < top + height && marks[i].Label == seedLabel)
                    ++i;
                runs.push_back({begin, i});
            }
        }
        starts.push_back(std::uint32_t(runs.size()));
    });
    // All runs in column-major order, each strip's from its offset.
    std::vector<std::uint32_t> offsets(static_cast<std::size_t>(strips) + 1, 0);
    for (int strip = 0; strip < strips; ++strip)
        offsets[std::size_t(strip) + 1] = offsets[std::size_t(strip)] + std::uint32_t(stripRuns[std::size_t(strip)].size());
    const std::uint32_t runCount = offsets.back();
    std::vector<TSeedRun> runs(runCount);
    std::vector<std::uint32_t> parent(runCount);
    m_pool->Run(strips, [&](int strip) {
        const std::uint32_t offset = offsets[std::size_t(strip)];
        const std::vector<TSeedRun>& own = stripRuns[std::size_t(strip)];
        std::copy(own.begin(), own.end(), runs.begin() + offset);
        for (std::uint32_t i = 0; i < own.size(); ++i)
            parent[offset + i] = offset + i;
        const std::vector<std::uint32_t>& starts = columnStarts[std::size_t(strip)];
        for (std::size_t c = 1; c + 1 < starts.size(); ++c)
            JoinTouching(parent, runs, offset + starts[c - 1], offset + starts[c], offset + starts[c],
                         offset + starts[c + 1], height);
    });
    for (int strip = 1; strip < strips; ++strip) {
        const std::vector<std::uint32_t>& before = columnStarts[std::size_t(strip) - 1];
        const std::vector<std::uint32_t>& after = columnStarts[std::size_t(strip)];
        JoinTouching(parent, runs, offsets[std::size_t(strip) - 1] + before[before.size() - 2],
                     offsets[std::size_t(strip) - 1] + before.back(), offsets[std::size_t(strip)] + after[0],
                     offsets[std::size_t(strip)] + after[1], height);
    }
    // Roots in run order are the components in the order of their first
    // pixels; the first ones get the labels.
    std::vector<std::uint8_t> runLabels(runCount);
    int numbered = 0;
    for (std::uint32_t i = 0; i < runCount; ++i) {
        parent[i] = parent[parent[i]]; // the parent's root, found already
        if (parent[i] == i)
            runLabels[i] = numbered <= lastLabel - firstLabel ? std::uint8_t(firstLabel + numbered++) : seedLabel;
        else
            runLabels[i] = runLabels[parent[i]];
    }
    std::vector<TLabelCounts> counts(static_cast<std::size_t>(strips));
    m_pool->Run(strips, [&](int strip) {
        TLabelCounts& own = counts[std::size_t(strip)];
        own.fill(0);
        for (std::uint32_t r = offsets[std::size_t(strip)]; r < offsets[std::size_t(strip) + 1]; ++r) {
            const std::uint8_t label = runLabels[r];
            if (label == seedLabel)
                continue;
            const int x = int(runs[r].Begin / height);
            const std::uint32_t top = std::uint32_t(x) * height;
            for (std::uint32_t i = runs[r].Begin; i < runs[r].End; ++i)
                ChangeLabel(marks[i], PixelAt(x, int(i - top)), x, int(i - top), label);
            own[label] += runs[r].End - runs[r].Begin;
            own[seedLabel] -= runs[r].End - runs[r].Begin;
        }
    });
    for (const TLabelCounts& own : counts)
        AddCounts(own);
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

template <typename ColumnWork>
std::pair<int, int> TMarkedRegion::ForColumns(int x0, int x1, ColumnWork work)
{
    const std::int64_t columns = std::max(x1 - x0, 0);
    const int parts = m_pool && m_pool->Shares(columns * m_height)
        ? int(std::min<std::int64_t>(columns, std::int64_t(m_pool->Threads()) * 4))
        : 1;
    std::vector<TColumnChanges> changes(static_cast<std::size_t>(parts));
    const auto doPart = [&](int part) {
        TColumnChanges& own = changes[std::size_t(part)];
        const int first = int(x0 + columns * part / parts);
        const int end = int(x0 + columns * (part + 1) / parts);
        for (int top = 0; top < m_height; top += kRowsAtOnce) {
            const int bottom = std::min(top + kRowsAtOnce, m_height);
            for (int x = first; x < end; ++x) {
                if (x + kColumnsAhead < m_width)
                    PrefetchRange(m_current.Column(x + kColumnsAhead) + top, bottom - top);
                if (x % kPictureColumnsAhead == 0 && x + kPictureColumnsAhead < m_width)
                    for (int y = top; y < bottom; ++y)
                        PrefetchRange(PixelAt(x + kPictureColumnsAhead, y), 3);
                work(x, top, bottom, own);
            }
        }
    };
    if (parts == 1)
        doPart(0);
    else
        m_pool->Run(parts, doPart);
    std::pair<int, int> rows{INT_MAX, INT_MIN};
    for (const TColumnChanges& part : changes) {
        AddCounts(part.counts);
        rows = {std::min(rows.first, part.top), std::max(rows.second, part.bottom)};
    }
    return rows;
}

TRect TMarkedRegion::ColumnsRect(int x0, int x1, std::pair<int, int> rows) const
{
    if (rows.first >= rows.second)
        return {x0, m_height - 1, x0 + 1, 0};
    return {x0, rows.first, x1, rows.second};
}

void TMarkedRegion::ApplyObjectColumn(std::uint8_t object, int x, int top, int bottom, TColumnChanges& changes)
{
    TMarkedPoint* column = m_current.Column(x);
    for (int y = top; y < bottom; ++y) {
        TMarkedPoint& mark = column[y];
        const std::uint8_t label = mark.Segment == object ? object : std::uint8_t(mark.Segment + 128);
        if (mark.Label != label) {
            --changes.counts[mark.Label];
            ++changes.counts[label];
            ChangeLabel(mark, PixelAt(x, y), x, y, label);
        }
    }
}

void TMarkedRegion::SwapObjectColumn(std::uint8_t object, int x, int top, int bottom, TColumnChanges& changes)
{
    const std::uint8_t shownObject = std::uint8_t(object + 128);
    TMarkedPoint* column = m_current.Column(x);
    for (int y = top; y < bottom; ++y) {
        TMarkedPoint& mark = column[y];
        std::uint8_t label = mark.Label;
        if (label == shownObject)
            label = object;
        else if (label < 128)
            label = std::uint8_t(label + 128);
        else
            continue;
        --changes.counts[mark.Label];
        ++changes.counts[label];
        ChangeLabel(mark, PixelAt(x, y), x, y, label);
    }
}

void TMarkedRegion::RefreshEffectsColumn(int x, int top, int bottom, TColumnChanges& changes)
{
    TMarkedPoint* column = m_current.Column(x);
    for (int y = top; y < bottom; ++y) {
        TMarkedPoint& mark = column[y];
        if (mark.Label < 128)
            continue;
        std::uint8_t* pixel = PixelAt(x, y);
        CopyColor(pixel, Bytes(mark.Color));
        ApplyEffect(pixel, m_kinds[mark.Label], x, y);
        changes.IncludeRow(y);
    }
}

void TMarkedRegion::ClearColumn(int x, int top, int bottom, TColumnChanges& changes)
{
    TMarkedPoint* column = m_current.Column(x);
    for (int y = top; y < bottom; ++y) {
        const std::uint8_t old = column[y].Label;
        if (old == 0)
            continue;
        ChangeLabel(column[y], PixelAt(x, y), x, y, 0);
        --changes.counts[old];
        ++changes.counts[0];
        changes.IncludeRow(y);
    }
}

void TMarkedRegion::ApplyObject(std::uint8_t object, int x, TRect& rect)
{
    ApplyObjectColumns(object, x, x + 1);
    rect = {x, 0, x + 1, m_height};
}

void TMarkedRegion::SwapObject(std::uint8_t object, int x, TRect& rect)
{
    SwapObjectColumns(object, x, x + 1);
    rect = {x, 0, x + 1, m_height};
}

void TMarkedRegion::RefreshEffects(int x, TRect& rect)
{
    rect = RefreshEffectsColumns(x, x + 1);
}

void TMarkedRegion::ClearColumn(int x, TRect& rect)
{
    rect = ClearColumns(x, x + 1);
}

// The passes that paint the background make the blur's mean before any
// worker reads it.
TRect TMarkedRegion::ApplyObjectColumns(std::uint8_t object, int x0, int x1)
{
    EnsureMeanFor(EffectColor + m_backgroundEffect);
    ForColumns(x0, x1, [&](int x, int top, int bottom, TColumnChanges& changes) {
        ApplyObjectColumn(object, x, top, bottom, changes);
    });
    return {x0, 0, x1, m_height};
}

TRect TMarkedRegion::SwapObjectColumns(std::uint8_t object, int x0, int x1)
{
    EnsureMeanFor(EffectColor + m_backgroundEffect);
    ForColumns(x0, x1, [&](int x, int top, int bottom, TColumnChanges& changes) {
        SwapObjectColumn(object, x, top, bottom, changes);
    });
    return {x0, 0, x1, m_height};
}

TRect TMarkedRegion::RefreshEffectsColumns(int x0, int x1)
{
    EnsureMeanFor(EffectColor + m_backgroundEffect);
    return ColumnsRect(x0, x1,
                       ForColumns(x0, x1, [&](int x, int top, int bottom, TColumnChanges& changes) {
                           RefreshEffectsColumn(x, top, bottom, changes);
                       }));
}

TRect TMarkedRegion::ClearColumns(int x0, int x1)
{
    return ColumnsRect(x0, x1, ForColumns(x0, x1, [&](int x, int top, int bottom, TColumnChanges& changes) {
        ClearColumn(x, top, bottom, changes);
    }));
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
    ForColumns(0, m_width, [&](int x, int top, int bottom, TColumnChanges&) {
        if (x + kColumnsAhead < m_width)
            PrefetchRange(m_mean.Column(x + kColumnsAhead) + top, bottom - top);
        TColorTriple* column = m_mean.Column(x);
        for (int y = top; y < bottom; ++y) {
            const std::uint8_t* color = UnaffectedColor(x, y);
            column[y] = {color[0], color[1], color[2]};
        }
    });
    m_mean.Average(m_blurRadius, m_progress, m_pool);
}

void TMarkedRegion::EnsureMeanFor(int kind)
{
    if (kind == EffectBlur)
        EnsureMean();
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
