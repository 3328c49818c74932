#include "Clipping.h"

#include "WorkerPool.h"

#include <algorithm>

void SetClippingLabelEffects(TMarkedRegion& region)
{
    region.SetLabelEffect(LabelOutline, EffectNone);
    region.SetLabelEffect(LabelCutLine, EffectThreshold);
    region.SetLabelEffect(LabelRedFlash, EffectRed);
}

bool HasObject(const TMarkedRegion& region)
{
    return region.HasLabelIn(FirstSegment, LastSegment);
}

bool HasBackground(const TMarkedRegion& region)
{
    return region.HasLabelIn(BackgroundBase + FirstSegment, BackgroundBase + LastSegment);
}

// ---------------------------------------------------------------------------
// Painting the band

namespace {

// Calls visit(nx, ny) for every 4-neighbour of (x, y) inside the picture.
template <typename Visit>
void ForEachNeighbour(const TMarkedRegion& region, int x, int y, Visit visit)
{
    if (x + 1 < region.Width())
        visit(x + 1, y);
    if (x > 0)
        visit(x - 1, y);
    if (y + 1 < region.Height())
        visit(x, y + 1);
    if (y > 0)
        visit(x, y - 1);
}

// Calls visit(x, y) for every pixel of rect inside the picture that the mask
// covers, row by row as the mask is stored.
template <typename Visit>
void ForEachCovered(const TMarkedRegion& region, const TRect& rect, const TKvPixelMask& mask, Visit visit)
{
    const TRect area = IntersectRect(IntersectRect(rect, {0, 0, region.Width(), region.Height()}), mask.GetBounds());
    for (int y = area.Top; y < area.Bottom; ++y) {
        const std::uint8_t* row = mask.Data.data() + std::size_t(y - mask.Top) * std::size_t(mask.Width) - mask.Left;
        for (int x = area.Left; x < area.Right; ++x)
            if (row[x] != 0)
                visit(x, y);
    }
}

} // namespace

bool PaintBand(TMarkedRegion& region, const TRect& rect, const TKvPixelMask& dab, std::uint8_t paintLabel,
               const std::function<void(int x, int y)>& addOutline)
{
    const auto markOutline = [&](int x, int y) {
        region.SetLabel(x, y, LabelOutline);
        if (addOutline)
            addOutline(x, y);
    };
    bool changed = false;
    ForEachCovered(region, rect, dab, [&](int x, int y) { changed |= region.SetLabel(x, y, paintLabel); });
    ForEachCovered(region, rect, dab, [&](int x, int y) {
        if (paintLabel != LabelUnmarked) {
            bool nextToUnmarked = false;
            ForEachNeighbour(region, x, y, [&](int nx, int ny) {
                nextToUnmarked |= region.LabelAt(nx, ny) == LabelUnmarked;
            });
            if (nextToUnmarked)
                markOutline(x, y);
        } else {
            ForEachNeighbour(region, x, y, [&](int nx, int ny) {
                if (region.LabelAt(nx, ny) == LabelBand)
                    markOutline(nx, ny);
            });
        }
    });
    return changed;
}

// ---------------------------------------------------------------------------
// Separate

TSeparation::TSeparation(TMarkedRegion& region, TDirtyTiles* repaint, TGrowCut::TMemory* memory)
    : m_region(region)
    , m_memory(memory)
{
    if (repaint)
        ForEachPixelLabelled(m_region, LabelCutLine, [repaint](int x, int y) { repaint->Add({x, y, x + 1, y + 1}); });
    m_region.Relabel(LabelCutLine, LabelBand);
    m_areas = m_region.NumberComponents(LabelUnmarked, FirstSegment, LastSegment);
    TLabelSet undecided;
    undecided.set(LabelBand);
    undecided.set(LabelOutline);
    m_region.SetUnknownLabels(undecided);
}

TSeparation::~TSeparation()
{
    Finish();
}

bool TSeparation::Encloses() const
{
    return m_region.HasLabel(ObjectSegment);
}

void TSeparation::StartGrowCut()
{
    m_growCut = std::make_unique<TGrowCut>(m_memory);
    m_growCut->Init(m_region);
}

int TSeparation::Step(TDirtyTiles& dirty)
{
    if (!m_growCut)
        return 0;
    const int touched = m_growCut->Step();
    ShowCutAround(0, touched, dirty);
    return touched;
}

int TSeparation::StepPart(TDirtyTiles& dirty, std::size_t cells)
{
    if (!m_growCut)
        return 0;
    if (m_touched < 0) {
        if (!m_growCut->AttackPart(cells))
            return 1;
        m_touched = m_growCut->Commit();
        m_shown = 0;
        if (m_touched == 0) {
            m_touched = -1;
            return 0;
        }
        return m_touched;
    }
    const int end = int(std::min<std::size_t>(std::size_t(m_touched), std::size_t(m_shown) + cells));
    ShowCutAround(m_shown, end, dirty);
    m_shown = end;
    const int touched = m_touched;
    if (m_shown == m_touched)
        m_touched = -1;
    return touched;
}

// The cut line around active cell i of the generation, when its label
// changed.
void TSeparation::ShowCutAround(int cell, TDirtyTiles& dirty)
{
    if (!m_growCut->ActiveChanged(cell))
        return;
    const TPoint p = m_growCut->ActivePoint(cell);
    ShowCut(p.X, p.Y);
    if (p.Y + 1 < m_region.Height())
        ShowCut(p.X, p.Y + 1);
    if (p.X + 1 < m_region.Width())
        ShowCut(p.X + 1, p.Y);
    if (p.Y > 0)
        ShowCut(p.X, p.Y - 1);
    if (p.X > 0)
        ShowCut(p.X - 1, p.Y);
    dirty.Add({p.X - 1, p.Y - 1, p.X + 2, p.Y + 2});
}

void TSeparation::ShowCutAround(int begin, int end, TDirtyTiles& dirty)
{
    TWorkerPool* pool = m_region.WorkerPool();
    if (!pool || !pool->Shares(end - begin)) {
        for (int i = begin; i < end; ++i)
            ShowCutAround(i, dirty);
        return;
    }
    // Each worker shows the cut on the pixels of its own columns, around
    // every changed cell next to them, and marks the blocks of the cells in
    // them.  What a pixel shows depends only on the automaton's labels,
    // which stay as they are meanwhile, so the order does not matter.
    const int width = m_region.Width();
    const int height = m_region.Height();
    const std::vector<int> strips = ColumnStrips(begin, end, pool->Threads());
    m_showWork.resize(strips.size() - 1);
    pool->Run(int(m_showWork.size()), [&](int strip) {
        TShowWork& work = m_showWork[std::size_t(strip)];
        work.Counts.fill(0);
        if (work.Dirty.Width() != width || work.Dirty.Height() != height)
            work.Dirty.SetSize(width, height);
        else
            work.Dirty.Clear();
        const int x0 = strips[std::size_t(strip)];
        const int x1 = strips[std::size_t(strip) + 1];
        const auto show = [&](int x, int y) {
            if (x >= x0 && x < x1)
                ShowCut(x, y, &work.Counts);
        };
        m_growCut->ForEachActiveNear(x0, x1, begin, end, [&](int cell) {
            if (!m_growCut->ActiveChanged(cell))
                return;
            const TPoint p = m_growCut->ActivePoint(cell);
            show(p.X, p.Y);
            if (p.Y + 1 < height)
                show(p.X, p.Y + 1);
            if (p.X + 1 < width)
                show(p.X + 1, p.Y);
            if (p.Y > 0)
                show(p.X, p.Y - 1);
            if (p.X > 0)
                show(p.X - 1, p.Y);
            if (p.X >= x0 && p.X < x1)
                work.Dirty.Add({p.X - 1, p.Y - 1, p.X + 2, p.Y + 2});
        });
    });
    for (const TShowWork& work : m_showWork) {
        m_region.AddCounts(work.Counts);
        dirty.Add(work.Dirty);
    }
}

std::vector<int> TSeparation::ColumnStrips(int begin, int end, int strips) const
{
    const int samples = std::min(end - begin, strips * 64);
    std::vector<int> columns(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i)
        columns[std::size_t(i)] = m_growCut->ActivePoint(begin + int(std::int64_t(i) * (end - begin) / samples)).X;
    std::sort(columns.begin(), columns.end());
    std::vector<int> bounds(std::size_t(strips) + 1);
    for (int s = 1; s < strips; ++s)
        bounds[std::size_t(s)] = columns[std::size_t(std::int64_t(s) * samples / strips)];
    bounds[std::size_t(strips)] = m_region.Width();
    return bounds;
}

void TSeparation::RunGrowCut()
{
    StartGrowCut();
    TDirtyTiles dirty;
    dirty.SetSize(m_region.Width(), m_region.Height());
    while (Step(dirty) > 0) {
    }
}

void TSeparation::ShowCut(int x, int y, TLabelCounts* counts)
{
    // Only the band's inside shows the cut: the outline keeps its label, and
    // so do the areas, including those beyond the 32nd, which are label 0.
    const std::uint8_t label = m_region.LabelAt(x, y);
    if (label != LabelBand && label != LabelCutLine)
        return;
    const std::uint8_t shown = m_growCut->IsBoundary(x, y) ? LabelCutLine : LabelBand;
    if (counts)
        m_region.SetLabel(x, y, shown, *counts);
    else
        m_region.SetLabel(x, y, shown);
}

void TSeparation::ShowOpenOutline()
{
    m_region.Relabel(FirstSegment, LabelRedFlash);
}

void TSeparation::HideOpenOutline()
{
    m_region.Relabel(LabelRedFlash, LabelUnmarked);
}

void TSeparation::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_growCut.reset(); // stores the results in the segment bytes
    TLabelSet band;
    band.set(LabelBand);
    band.set(LabelOutline);
    band.set(LabelCutLine);
    m_region.ClearExcept(band);
}

// ---------------------------------------------------------------------------
// Column passes

TColumnPass::TColumnPass(TMarkedRegion& region, TWork work, std::uint8_t object)
    : m_region(region)
    , m_work(work)
    , m_object(object)
{
}

bool TColumnPass::Next(TRect& rect)
{
    return Next(rect, 1);
}

bool TColumnPass::Next(TRect& rect, int columns)
{
    if (m_x >= m_region.Width())
        return false;
    const int x0 = m_x;
    const int x1 = int(std::min<std::int64_t>(m_region.Width(), std::int64_t(x0) + std::max(columns, 1)));
    switch (m_work) {
    case ApplyObjectWork:
        rect = m_region.ApplyObjectColumns(m_object, x0, x1);
        break;
    case SwapObjectWork:
        rect = m_region.SwapObjectColumns(m_object, x0, x1);
        break;
    case RefreshWork:
        rect = m_region.RefreshEffectsColumns(x0, x1);
        break;
    case ClearWork:
        rect = m_region.ClearColumns(x0, x1);
        break;
    }
    m_x = x1;
    return true;
}

void TColumnPass::Run()
{
    TRect rect;
    Next(rect, m_region.Width());
}

TColumnPass StartShowEffect(TMarkedRegion& region, int effect)
{
    region.PrepareEffect(effect);
    return TColumnPass(region, TColumnPass::ApplyObjectWork, ObjectSegment);
}

std::uint8_t NextObjectLabel(const TMarkedRegion& region, std::uint8_t object)
{
    const int next = object + 1;
    if (next > LastSegment || !region.HasLabel(std::uint8_t(BackgroundBase + next)))
        return FirstSegment;
    return std::uint8_t(next);
}

TColumnPass StartSwap(TMarkedRegion& region, std::uint8_t& object, int effect)
{
    object = NextObjectLabel(region, object);
    region.PrepareEffect(effect);
    return TColumnPass(region, TColumnPass::SwapObjectWork, object);
}

TColumnPass StartRefreshBackground(TMarkedRegion& region, int effect)
{
    region.PrepareEffect(effect);
    return TColumnPass(region, TColumnPass::RefreshWork);
}

TColumnPass StartClear(TMarkedRegion& region)
{
    return TColumnPass(region, TColumnPass::ClearWork);
}

// ---------------------------------------------------------------------------
// The object's matte

TRect BuildObjectMatte(const TMarkedRegion& region, TAlphaChanal& matte)
{
    const TRect bounds = region.LabelBounds(LabelRange(FirstSegment, LastSegment));
    BuildObjectMatte(region, bounds, matte);
    return bounds;
}

void BuildObjectMatte(const TMarkedRegion& region, const TRect& bounds, TAlphaChanal& matte)
{
    matte.SetSize(bounds.Width(), bounds.Height());
    for (int x = bounds.Left; x < bounds.Right; ++x) {
        const TMarkedPoint* marks = region.MarksColumn(x);
        std::uint8_t* column = matte.Column(x - bounds.Left);
        for (int y = bounds.Top; y < bounds.Bottom; ++y)
            column[y - bounds.Top] = marks[y].Label >= BackgroundBase ? 0 : 255;
    }
    matte.Smooth();
}
