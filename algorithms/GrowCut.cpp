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
    if (!region_)
        return;
    for (int x = 0; x < region_->Width(); ++x)
        for (int y = 0; y < region_->Height(); ++y)
            region_->SetSegment(x, y, LabelAt(x, y));
}

void TGrowCut::Init(TMarkedRegion& region)
{
    region_ = &region;
    const TRect undecided = region.LabelBounds(region.UnknownLabels());
    box_ = undecided.IsEmpty()
        ? TRect{}
        : IntersectRect({undecided.Left - 1, undecided.Top - 1, undecided.Right + 1, undecided.Bottom + 1},
                        {0, 0, region.Width(), region.Height()});
    boxHeight_ = std::size_t(box_.Height());
    const std::size_t size = std::size_t(box_.Width()) * boxHeight_;
    cells_ = TPageArray<TGrowCutCell>(size);
    active_ = TPageArray<std::uint32_t>(size);
    activeChanged_ = TPageArray<std::uint8_t>(size);
    next_ = TPageArray<std::uint32_t>(size);
    activeCount_ = 0;
    nextCount_ = 0;

    std::array<bool, 256> unknown{};
    for (std::size_t label = 0; label < unknown.size(); ++label)
        unknown[label] = region.UnknownLabels().test(label);
    for (int x = box_.Left; x < box_.Right; ++x)
        InitColumn(x, unknown);
}

void TGrowCut::InitColumn(int x, const std::array<bool, 256>& unknown)
{
    const TMarkedRegion& region = *region_;
    const TMarkedPoint* marks = region.MarksColumn(x);
    const TMarkedPoint* left = x > 0 ? region.MarksColumn(x - 1) : nullptr;
    const TMarkedPoint* right = x + 1 < region.Width() ? region.MarksColumn(x + 1) : nullptr;
    const bool rightInBox = x + 1 < box_.Right;
    const int height = region.Height();
    TGrowCutCell* cells = cells_.data() + Index(x, box_.Top);
    std::uint32_t* active = active_.data();
    std::size_t activeCount = activeCount_;
    for (int y = box_.Top; y < box_.Bottom; ++y) {
        const std::uint8_t label = marks[y].Label;
        const bool undecided = unknown[label];
        TGrowCutCell& cell = cells[y - box_.Top];
        cell = {undecided ? 0.0f : 1.0f, -1.0f, label, label, 0, 0};
        // An attack on a seed never succeeds, so only edges with an
        // undecided end need their similarity; the others keep weight 0, with
        // which no attack can succeed either, and so do the edges leaving the
        // box (the cells beyond are seeds).
        if (rightInBox && (undecided || unknown[right[y].Label]))
            cell.WeightRight = EdgeWeight(region.UnaffectedColor(x, y), region.UnaffectedColor(x + 1, y));
        if (y + 1 < box_.Bottom && (undecided || unknown[marks[y + 1].Label]))
            cell.WeightDown = EdgeWeight(region.UnaffectedColor(x, y), region.UnaffectedColor(x, y + 1));
        // The seeds on the rim of their region attack first, in scan order.
        const bool boundary = (right && right[y].Label != label) || (left && left[y].Label != label)
            || (y + 1 < height && marks[y + 1].Label != label) || (y > 0 && marks[y - 1].Label != label);
        if (boundary && !undecided)
            active[activeCount++] = std::uint32_t(Index(x, y));
    }
    activeCount_ = activeCount;
}

inline void TGrowCut::Attack(std::uint32_t target, std::uint8_t weight, float strength, std::uint8_t label)
{
    const float force = float(kWeightFactor[weight] * strength);
    TGrowCutCell& cell = cells_[target];
    if (force > std::max(cell.Strength, cell.NextStrength)) {
        // Forces that win exceed a strength of at least 0, so a negative
        // NextStrength says the cell is not queued yet.
        if (cell.NextStrength < 0)
            next_[nextCount_++] = target;
        cell.NextStrength = force;
        cell.NextLabel = label;
    }
}

int TGrowCut::Step()
{
    const std::uint32_t column = std::uint32_t(boxHeight_);
    // Attacks: the most recently pushed attacker first, each on the cell
    // below, right, above and left.  Only Strength and Label of the attackers
    // are read and only the Next fields written, so every attack sees the
    // previous generation; equal forces leave the first one delivered.  A
    // weight of 0 marks a missing neighbour as well as a hopeless attack.
    while (activeCount_ > 0) {
        const std::uint32_t a = active_[--activeCount_];
        const TGrowCutCell& attacker = cells_[a];
        const float strength = attacker.Strength;
        const std::uint8_t label = attacker.Label;
        if (attacker.WeightDown != 0)
            Attack(a + 1, attacker.WeightDown, strength, label);
        if (attacker.WeightRight != 0)
            Attack(a + column, attacker.WeightRight, strength, label);
        if (a >= 1 && cells_[a - 1].WeightDown != 0)
            Attack(a - 1, cells_[a - 1].WeightDown, strength, label);
        if (a >= column && cells_[a - column].WeightRight != 0)
            Attack(a - column, cells_[a - column].WeightRight, strength, label);
    }
    // Commit: the last queued cell becomes the first active one, so the
    // next generation attacks in the order the cells were queued.
    while (nextCount_ > 0) {
        const std::uint32_t c = next_[--nextCount_];
        TGrowCutCell& cell = cells_[c];
        activeChanged_[activeCount_] = cell.Label != cell.NextLabel;
        active_[activeCount_++] = c;
        cell.Strength = cell.NextStrength;
        cell.NextStrength = -1.0f;
        cell.Label = cell.NextLabel;
    }
    return int(activeCount_);
}

TPoint TGrowCut::ActivePoint(int i) const
{
    const std::size_t index = active_[std::size_t(i)];
    return {box_.Left + int(index / boxHeight_), box_.Top + int(index % boxHeight_)};
}

std::uint8_t TGrowCut::LabelAt(int x, int y) const
{
    return InCells(x, y) ? cells_[Index(x, y)].Label : region_->LabelAt(x, y);
}

float TGrowCut::StrengthAt(int x, int y) const
{
    return InCells(x, y) ? cells_[Index(x, y)].Strength : 1.0f;
}

bool TGrowCut::IsBoundary(int x, int y) const
{
    const std::uint8_t label = LabelAt(x, y);
    return (x > 0 && LabelAt(x - 1, y) != label) || (x + 1 < region_->Width() && LabelAt(x + 1, y) != label)
        || (y > 0 && LabelAt(x, y - 1) != label) || (y + 1 < region_->Height() && LabelAt(x, y + 1) != label);
}
