#include "GrowCut.h"

#include "MarkedRegion.h"

#include <algorithm>
#include <array>
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
    for (int x = 0; x < width_; ++x)
        for (int y = 0; y < int(height_); ++y)
            region_->SetSegment(x, y, cells_[Index(x, y)].Label);
}

void TGrowCut::Init(TMarkedRegion& region)
{
    region_ = &region;
    width_ = region.Width();
    height_ = std::size_t(region.Height());
    const int height = int(height_);
    const std::size_t size = std::size_t(width_) * height_;
    cells_ = std::make_unique_for_overwrite<TGrowCutCell[]>(size);
    active_ = std::make_unique_for_overwrite<std::uint32_t[]>(size);
    next_ = std::make_unique_for_overwrite<std::uint32_t[]>(size);
    activeCount_ = 0;
    nextCount_ = 0;

    std::array<bool, 256> unknown{};
    for (std::size_t label = 0; label < unknown.size(); ++label)
        unknown[label] = region.UnknownLabels().test(label);

    for (int x = 0; x < width_; ++x) {
        for (int y = 0; y < height; ++y) {
            const std::uint8_t label = region.LabelAt(x, y);
            const bool undecided = unknown[label];
            TGrowCutCell& cell = cells_[Index(x, y)];
            cell = {undecided ? 0.0f : 1.0f, -1.0f, label, label, 0, 0, 0, 0};
            // An attack on a seed never succeeds (no force exceeds 1), so
            // only edges with an undecided end need their similarity; the
            // others keep weight 0, which no attack can win with either.
            bool boundary = false;
            if (x + 1 < width_) {
                const std::uint8_t right = region.LabelAt(x + 1, y);
                boundary |= right != label;
                if (undecided || unknown[right])
                    cell.WeightRight = EdgeWeight(region.UnaffectedColor(x, y), region.UnaffectedColor(x + 1, y));
            }
            if (y + 1 < height) {
                const std::uint8_t below = region.LabelAt(x, y + 1);
                boundary |= below != label;
                if (undecided || unknown[below])
                    cell.WeightDown = EdgeWeight(region.UnaffectedColor(x, y), region.UnaffectedColor(x, y + 1));
            }
            boundary |= x > 0 && region.LabelAt(x - 1, y) != label;
            boundary |= y > 0 && region.LabelAt(x, y - 1) != label;
            // The seeds on the rim of their region attack first.
            if (!undecided && boundary)
                active_[activeCount_++] = std::uint32_t(Index(x, y));
        }
    }
}

inline void TGrowCut::Attack(std::uint32_t target, std::uint8_t weight, float strength, std::uint8_t label)
{
    const float force = float(kWeightFactor[weight] * strength);
    TGrowCutCell& cell = cells_[target];
    if (force > std::max(cell.Strength, cell.NextStrength)) {
        cell.NextStrength = force;
        cell.NextLabel = label;
        if (!cell.Queued) {
            next_[nextCount_++] = target;
            cell.Queued = 1;
        }
    }
}

int TGrowCut::Step()
{
    const std::uint32_t column = std::uint32_t(height_);
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
        active_[activeCount_++] = c;
        TGrowCutCell& cell = cells_[c];
        cell.Strength = cell.NextStrength;
        cell.NextStrength = -1.0f;
        cell.Changed = cell.Label != cell.NextLabel;
        cell.Label = cell.NextLabel;
        cell.Queued = 0;
    }
    return int(activeCount_);
}

TPoint TGrowCut::ActivePoint(int i) const
{
    const std::size_t index = active_[std::size_t(i)];
    return {int(index / height_), int(index % height_)};
}

bool TGrowCut::IsBoundary(int x, int y) const
{
    const std::uint8_t label = cells_[Index(x, y)].Label;
    return (x > 0 && cells_[Index(x - 1, y)].Label != label)
        || (x + 1 < width_ && cells_[Index(x + 1, y)].Label != label)
        || (y > 0 && cells_[Index(x, y - 1)].Label != label)
        || (y + 1 < int(height_) && cells_[Index(x, y + 1)].Label != label);
}
