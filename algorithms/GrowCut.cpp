#include "GrowCut.h"

#include "MarkedRegion.h"
#include "WorkerPool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Similarity of two colours: 255 for identical ones, 0 for black against white.
std::uint8_t EdgeWeight(const std::uint8_t* p, const std::uint8_t* q)
{
    const int difference = std::max({std::abs(p[0] - q[0]), std::abs(p[1] - q[1]), std::abs(p[2] - q[2])});
    return std::uint8_t(255 - difference);
}

// weight / 255 for every weight, the factor of an attack's force.
const std::array<double, 256> kWeightFactor = [] {
    std::array<double, 256> factors{};
    for (int w = 0; w < 256; ++w)
        factors[std::size_t(w)] = w / 255.0;
    return factors;
}();

} // namespace

TGrowCut::~TGrowCut()
{
    if (!m_region)
        return;
    ForRangesOn(m_region->WorkerPool(), m_region->Width(), m_region->Height(),
                [this](std::int64_t x0, std::int64_t x1) {
                    for (int x = int(x0); x < int(x1); ++x)
                        for (int y = 0; y < m_region->Height(); ++y)
                            m_region->SetSegment(x, y, LabelAt(x, y));
                });
    if (m_memory) {
        m_memory->m_cells = std::move(m_cells);
        m_memory->m_active = std::move(m_active);
        m_memory->m_activeChanged = std::move(m_activeChanged);
        m_memory->m_next = std::move(m_next);
    }
}

template <typename T>
void TGrowCut::TakeArray(TPageArray<T>& own, TPageArray<T>& lent, std::size_t size)
{
    // Every element used is written before it is read, so that lent pages
    // need no clearing.
    if (lent.size() >= size && size > 0) {
        own = std::move(lent);
        return;
    }
    lent.Release(); // before the new one, so that both never take memory at once
    own = TPageArray<T>(size);
}

void TGrowCut::Init(TMarkedRegion& region)
{
    m_region = &region;
    const TRect undecided = region.LabelBounds(region.UnknownLabels());
    m_box = undecided.IsEmpty()
        ? TRect{}
        : IntersectRect({undecided.Left - 1, undecided.Top - 1, undecided.Right + 1, undecided.Bottom + 1},
                        {0, 0, region.Width(), region.Height()});
    m_boxHeight = std::size_t(m_box.Height());
    const std::size_t size = std::size_t(m_box.Width()) * m_boxHeight;
    m_boxCells = size;
    if (m_memory) {
        TakeArray(m_cells, m_memory->m_cells, size);
        TakeArray(m_active, m_memory->m_active, size);
        TakeArray(m_activeChanged, m_memory->m_activeChanged, size);
        TakeArray(m_next, m_memory->m_next, size);
    } else {
        m_cells = TPageArray<TGrowCutCell>(size);
        m_active = TPageArray<std::uint32_t>(size);
        m_activeChanged = TPageArray<std::uint8_t>(size);
        m_next = TPageArray<std::uint32_t>(size);
    }
    m_activeCount = 0;
    m_nextCount = 0;
    m_attacking = false;

    std::array<bool, 256> unknown{};
    for (std::size_t label = 0; label < unknown.size(); ++label)
        unknown[label] = region.UnknownLabels().test(label);
    TWorkerPool* pool = region.WorkerPool();
    const std::int64_t columns = m_box.Width();
    if (!pool || !pool->Shares(std::int64_t(size))) {
        for (int x = m_box.Left; x < m_box.Right; ++x)
            m_activeCount += InitColumn(x, unknown, m_active.data() + m_activeCount);
        return;
    }
    // Each range of columns writes its seeds into the queue's array from
    // the place of its own first cell (it has no more seeds than cells);
    // they are then gathered in scan order.
    const int parts = int(std::min<std::int64_t>(columns, std::int64_t(pool->Threads()) * 4));
    const auto firstColumn = [&](int part) { return m_box.Left + int(columns * part / parts); };
    std::vector<std::size_t> seeds(std::size_t(parts), 0);
    pool->Run(parts, [&](int part) {
        std::uint32_t* out = m_next.data() + Index(firstColumn(part), m_box.Top);
        std::size_t count = 0;
        for (int x = firstColumn(part); x < firstColumn(part + 1); ++x)
            count += InitColumn(x, unknown, out + count);
        seeds[std::size_t(part)] = count;
    });
    for (int part = 0; part < parts; ++part) {
        std::memmove(m_active.data() + m_activeCount, m_next.data() + Index(firstColumn(part), m_box.Top),
                     seeds[std::size_t(part)] * sizeof(std::uint32_t));
        m_activeCount += seeds[std::size_t(part)];
    }
}

std::size_t TGrowCut::InitColumn(int x, const std::array<bool, 256>& unknown, std::uint32_t* seeds)
{
    const TMarkedRegion& region = *m_region;
    const TMarkedPoint* marks = region.MarksColumn(x);
    const TMarkedPoint* left = x > 0 ? region.MarksColumn(x - 1) : nullptr;
    const TMarkedPoint* right = x + 1 < region.Width() ? region.MarksColumn(x + 1) : nullptr;
    const bool rightInBox = x + 1 < m_box.Right;
    const int height = region.Height();
    TGrowCutCell* cells = m_cells.data() + Index(x, m_box.Top);
    std::size_t count = 0;
    for (int y = m_box.Top; y < m_box.Bottom; ++y) {
        const std::uint8_t label = marks[y].Label;
        const bool undecided = unknown[label];
        TGrowCutCell& cell = cells[y - m_box.Top];
        cell = {undecided ? 0.0f : 1.0f, -1.0f, label, label, 0, 0};
        // An attack on a seed never succeeds, so only edges with an
        // undecided end need their similarity; the others keep weight 0, with
        // which no attack can succeed either, and so do the edges leaving the
        // box (the cells beyond are seeds).
        if (rightInBox && (undecided || unknown[right[y].Label]))
            cell.WeightRight = EdgeWeight(region.UnaffectedColor(x, y), region.UnaffectedColor(x + 1, y));
        if (y + 1 < m_box.Bottom && (undecided || unknown[marks[y + 1].Label]))
            cell.WeightDown = EdgeWeight(region.UnaffectedColor(x, y), region.UnaffectedColor(x, y + 1));
        // The seeds on the rim of their region attack first, in scan order.
        const bool boundary = (right && right[y].Label != label) || (left && left[y].Label != label)
            || (y + 1 < height && marks[y + 1].Label != label) || (y > 0 && marks[y - 1].Label != label);
        if (boundary && !undecided)
            seeds[count++] = std::uint32_t(Index(x, y));
    }
    return count;
}

inline void TGrowCut::Attack(std::uint32_t target, std::uint8_t weight, float strength, std::uint8_t label)
{
    const float force = float(kWeightFactor[weight] * strength);
    TGrowCutCell& cell = m_cells[target];
    if (force > std::max(cell.Strength, cell.NextStrength)) {
        // Forces that win exceed a strength of at least 0, so a negative
        // NextStrength says the cell is not queued yet.
        if (cell.NextStrength < 0)
            m_next[m_nextCount++] = target;
        cell.NextStrength = force;
        cell.NextLabel = label;
    }
}

int TGrowCut::Step()
{
    AttackPart(m_activeCount);
    return Commit();
}

bool TGrowCut::AttackPart(std::size_t attackers)
{
    if (!m_attacking) {
        m_attacking = true;
        m_generationSize = m_activeCount;
        m_shared = ShareGeneration();
    }
    const std::uint32_t column = std::uint32_t(m_boxHeight);
    const std::size_t stop = m_activeCount - std::min(attackers, m_activeCount);
    if (m_shared) {
        m_region->WorkerPool()->Run(int(m_strips.size()), [&](int strip) { AttackStrip(m_strips[std::size_t(strip)], stop); });
        m_activeCount = stop;
        return m_activeCount == 0;
    }
    // Attacks: the most recently pushed attacker first, each on the cell
    // below, right, above and left.  Only Strength and Label of the attackers
    // are read and only the Next fields written, so every attack sees the
    // previous generation; equal forces leave the first one delivered.  A
    // weight of 0 marks a missing neighbour as well as a hopeless attack.
    while (m_activeCount > stop) {
        const std::uint32_t a = m_active[--m_activeCount];
        const TGrowCutCell& attacker = m_cells[a];
        const float strength = attacker.Strength;
        const std::uint8_t label = attacker.Label;
        if (attacker.WeightDown != 0)
            Attack(a + 1, attacker.WeightDown, strength, label);
        if (attacker.WeightRight != 0)
            Attack(a + column, attacker.WeightRight, strength, label);
        if (a >= 1 && m_cells[a - 1].WeightDown != 0)
            Attack(a - 1, m_cells[a - 1].WeightDown, strength, label);
        if (a >= column && m_cells[a - column].WeightRight != 0)
            Attack(a - column, m_cells[a - column].WeightRight, strength, label);
    }
    return m_activeCount == 0;
}

int TGrowCut::Commit()
{
    m_attacking = false;
    if (m_shared)
        return CommitShared();
    // Commit: the last queued cell becomes the first active one, so the
    // next generation attacks in the order the cells were queued.
    while (m_nextCount > 0) {
        const std::uint32_t c = m_next[--m_nextCount];
        TGrowCutCell& cell = m_cells[c];
        m_activeChanged[m_activeCount] = cell.Label != cell.NextLabel;
        m_active[m_activeCount++] = c;
        cell.Strength = cell.NextStrength;
        cell.NextStrength = -1.0f;
        cell.Label = cell.NextLabel;
    }
    return int(m_activeCount);
}

bool TGrowCut::ShareGeneration()
{
    TWorkerPool* pool = m_region->WorkerPool();
    if (!pool || !pool->Shares(std::int64_t(m_activeCount)))
        return false;
    // Strips of about as many attackers each, from a sorted sample of them.
    const std::size_t strips = std::size_t(pool->Threads());
    const std::size_t samples = std::min(m_activeCount, strips * 64);
    std::vector<std::uint32_t> sample(samples);
    for (std::size_t i = 0; i < samples; ++i)
        sample[i] = m_active[i * m_activeCount / samples];
    std::sort(sample.begin(), sample.end());
    m_strips.resize(strips);
    for (std::size_t s = 0; s < strips; ++s) {
        TStrip& strip = m_strips[s];
        strip.Begin = s == 0 ? 0 : sample[s * samples / strips];
        strip.End = s + 1 == strips ? std::uint32_t(m_boxCells) : sample[(s + 1) * samples / strips];
        strip.Queued.clear();
    }
    return true;
}

void TGrowCut::AttackStrip(TStrip& strip, std::size_t stop)
{
    const std::uint64_t column = m_boxHeight;
    const std::uint64_t begin = strip.Begin;
    const std::uint64_t end = strip.End;
    const auto inStrip = [&](std::uint64_t cell) { return cell >= begin && cell < end; };
    // The attacks of Step's loop, in its order, each taken only when its
    // target lies in the strip.
    for (std::size_t p = m_activeCount; p-- > stop;) {
        const std::uint64_t a = m_active[p];
        if (a + column < begin || a >= end + column)
            continue;
        const TGrowCutCell& attacker = m_cells[a];
        const float strength = attacker.Strength;
        const std::uint8_t label = attacker.Label;
        const std::uint64_t order = std::uint64_t(m_generationSize - 1 - p) << 2;
        if (attacker.WeightDown != 0 && inStrip(a + 1))
            AttackInStrip(strip, std::uint32_t(a + 1), attacker.WeightDown, strength, label, order);
        if (attacker.WeightRight != 0 && inStrip(a + column))
            AttackInStrip(strip, std::uint32_t(a + column), attacker.WeightRight, strength, label, order | 1);
        if (a >= 1 && inStrip(a - 1) && m_cells[a - 1].WeightDown != 0)
            AttackInStrip(strip, std::uint32_t(a - 1), m_cells[a - 1].WeightDown, strength, label, order | 2);
        if (a >= column && inStrip(a - column) && m_cells[a - column].WeightRight != 0)
            AttackInStrip(strip, std::uint32_t(a - column), m_cells[a - column].WeightRight, strength, label,
                          order | 3);
    }
}

inline void TGrowCut::AttackInStrip(TStrip& strip, std::uint32_t target, std::uint8_t weight, float strength,
                                    std::uint8_t label, std::uint64_t order)
{
    const float force = float(kWeightFactor[weight] * strength);
    TGrowCutCell& cell = m_cells[target];
    if (force > std::max(cell.Strength, cell.NextStrength)) {
        if (cell.NextStrength < 0)
            strip.Queued.push_back({order, target});
        cell.NextStrength = force;
        cell.NextLabel = label;
    }
}

int TGrowCut::CommitShared()
{
    std::size_t total = 0;
    for (const TStrip& strip : m_strips)
        total += strip.Queued.size();
    TWorkerPool& pool = *m_region->WorkerPool();
    const std::size_t strips = m_strips.size();
    // The orders are cut into ranges; each range is merged from the strips
    // on its own, into its place of the queue.
    const std::size_t ranges = pool.Shares(std::int64_t(total)) ? std::size_t(pool.Threads()) * 4 : 1;
    const std::uint64_t orders = std::uint64_t(m_generationSize) * 4;
    std::vector<std::size_t> starts((ranges + 1) * strips);
    std::vector<std::size_t> offsets(ranges + 1, 0);
    for (std::size_t r = 0; r <= ranges; ++r) {
        const std::uint64_t bound = orders * r / ranges;
        for (std::size_t s = 0; s < strips; ++s) {
            const std::vector<TQueued>& queued = m_strips[s].Queued;
            starts[r * strips + s] = std::size_t(
                std::lower_bound(queued.begin(), queued.end(), bound,
                                 [](const TQueued& q, std::uint64_t order) { return q.Order < order; })
                - queued.begin());
            if (r > 0)
                offsets[r] += starts[r * strips + s] - starts[(r - 1) * strips + s];
        }
        if (r > 0)
            offsets[r] += offsets[r - 1];
    }
    // The queue in Order is the order the single thread's queue has; its
    // commit makes the last queued cell the first active one.
    pool.Run(int(ranges), [&](int range) {
        const std::size_t r = std::size_t(range);
        std::array<std::size_t, TWorkerPool::MaxThreads> heads{};
        for (std::size_t s = 0; s < strips; ++s)
            heads[s] = starts[r * strips + s];
        for (std::size_t o = offsets[r]; o < offsets[r + 1]; ++o) {
            std::size_t from = strips;
            for (std::size_t s = 0; s < strips; ++s)
                if (heads[s] < starts[(r + 1) * strips + s]
                    && (from == strips || m_strips[s].Queued[heads[s]].Order < m_strips[from].Queued[heads[from]].Order))
                    from = s;
            const std::uint32_t c = m_strips[from].Queued[heads[from]++].Cell;
            const std::size_t j = total - 1 - o;
            TGrowCutCell& cell = m_cells[c];
            m_activeChanged[j] = cell.Label != cell.NextLabel;
            m_active[j] = c;
            cell.Strength = cell.NextStrength;
            cell.NextStrength = -1.0f;
            cell.Label = cell.NextLabel;
        }
    });
    for (TStrip& strip : m_strips)
        strip.Queued.clear();
    m_activeCount = total;
    return int(total);
}

TPoint TGrowCut::ActivePoint(int i) const
{
    const std::size_t index = m_active[std::size_t(i)];
    return {m_box.Left + int(index / m_boxHeight), m_box.Top + int(index % m_boxHeight)};
}

std::uint8_t TGrowCut::LabelAt(int x, int y) const
{
    return InCells(x, y) ? m_cells[Index(x, y)].Label : m_region->LabelAt(x, y);
}

float TGrowCut::StrengthAt(int x, int y) const
{
    return InCells(x, y) ? m_cells[Index(x, y)].Strength : 1.0f;
}

bool TGrowCut::IsBoundary(int x, int y) const
{
    const std::uint8_t label = LabelAt(x, y);
    return (x > 0 && LabelAt(x - 1, y) != label) || (x + 1 < m_region->Width() && LabelAt(x + 1, y) != label)
        || (y > 0 && LabelAt(x, y - 1) != label) || (y + 1 < m_region->Height() && LabelAt(x, y + 1) != label);
}
