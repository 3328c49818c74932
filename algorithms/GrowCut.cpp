#include "GrowCut.h"

#include "MarkedRegion.h"

#include <algorithm>
#include <cstdlib>

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
    for (int x = 0; x < m_region->Width(); ++x)
        for (int y = 0; y < m_region->Height(); ++y)
            m_region->SetSegment(x, y, LabelAt(x, y));
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
    m_cells = TPageArray<TGrowCutCell>(size);
    m_active = TPageArray<std::uint32_t>(size);
    m_activeChanged = TPageArray<std::uint8_t>(size);
    m_next = TPageArray<std::uint32_t>(size);
    m_activeCount = 0;
    m_nextCount = 0;

    std::array<bool, 256> unknown{};
    for (std::size_t label = 0; label < unknown.size(); ++label)
        unknown[label] = region.UnknownLabels().test(label);
    for (int x = m_box.Left; x < m_box.Right; ++x)
        InitColumn(x, unknown);
}

void TGrowCut::InitColumn(int x, const std::array<bool, 256>& unknown)
{
    const TMarkedRegion& region = *m_region;
    const TMarkedPoint* marks = region.MarksColumn(x);
    const TMarkedPoint* left = x > 0 ? region.MarksColumn(x - 1) : nullptr;
    const TMarkedPoint* right = x + 1 < region.Width() ? region.MarksColumn(x + 1) : nullptr;
    const bool rightInBox = x + 1 < m_box.Right;
    const int height = region.Height();
    TGrowCutCell* cells = m_cells.data() + Index(x, m_box.Top);
    std::uint32_t* active = m_active.data();
    std::size_t activeCount = m_activeCount;
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
            active[activeCount++] = std::uint32_t(Index(x, y));
    }
    m_activeCount = activeCount;
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
    const std::uint32_t column = std::uint32_t(m_boxHeight);
    const std::size_t stop = m_activeCount - std::min(attackers, m_activeCount);
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
