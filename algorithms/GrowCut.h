// GrowCut: the cellular automaton that divides the painted band among the
// areas around it.
#pragma once

#include "KvTypes.h"
#include "PageArray.h"

#include <array>
#include <cstddef>
#include <cstdint>

class TMarkedRegion;

// Decides for every pixel whose label is one of the region's unknown labels
// which seed region it belongs to.  Every pixel is a cell with a label and a
// strength (seeds 1, undecided cells 0); in each generation every cell that
// changed in the previous one attacks its 4-neighbours with its strength times
// the colour similarity of the two pixels, and conquers a neighbour whose
// strength that force exceeds.  Generations are synchronous and their order
// fixed, so the result is deterministic.  Destroying a bound automaton writes
// every cell's final label into the region's segment bytes.
//
// No force exceeds a seed's strength of 1, so seeds never change and only
// seeds next to undecided cells can ever conquer anything.  The automaton
// therefore keeps cells only for the undecided cells' bounding rectangle
// grown by one pixel, and reads the seed labels beyond it from the region,
// which must leave them alone while the automaton lives (the clipping tool
// relabels band pixels only).
class TGrowCut {
public:
    TGrowCut() = default;
    ~TGrowCut();
    TGrowCut(const TGrowCut&) = delete;
    TGrowCut& operator=(const TGrowCut&) = delete;

    // Binds to region and builds the cells from its labels and unaffected
    // colours; the seeds on the rim of their regions become the first
    // attackers.
    void Init(TMarkedRegion& region);
    // Runs one generation; returns the number of cells it changed or made
    // stronger (the active cells, 0 .. result - 1).  0 means the segmentation
    // is finished.
    int Step();
    // A generation in parts, for callers that must let other work run
    // within one: AttackPart lets at most `attackers` more of the
    // generation's attackers attack, in the order Step does, and says
    // whether all of them have; Commit then ends the generation as Step
    // does.  Parts of any size give exactly Step's results.
    bool AttackPart(std::size_t attackers);
    int Commit();
    // Active cell i of the last generation.
    TPoint ActivePoint(int i) const;
    // Whether that cell's label changed in the last generation (it may only
    // have grown stronger).
    bool ActiveChanged(int i) const { return m_activeChanged[std::size_t(i)] != 0; }
    // Whether a 4-neighbour inside the picture has another label.
    bool IsBoundary(int x, int y) const;
    std::uint8_t LabelAt(int x, int y) const;
    float StrengthAt(int x, int y) const;

private:
    struct TGrowCutCell {
        float Strength;           // 0.0 .. 1.0
        float NextStrength;       // best force received this generation; -1 when
                                  // none, so the cell is queued exactly while >= 0
        std::uint8_t Label;
        std::uint8_t NextLabel;   // label of the attacker that delivered NextStrength
        std::uint8_t WeightRight; // similarity to (x + 1, y); 0 where no attack can succeed
        std::uint8_t WeightDown;  // similarity to (x, y + 1); likewise
    };

    bool InCells(int x, int y) const { return m_box.Contains(TPoint{x, y}); }
    std::size_t Index(int x, int y) const
    {
        return std::size_t(x - m_box.Left) * m_boxHeight + std::size_t(y - m_box.Top);
    }
    void InitColumn(int x, const std::array<bool, 256>& unknown);
    void Attack(std::uint32_t target, std::uint8_t weight, float strength, std::uint8_t label);

    TMarkedRegion* m_region = nullptr;
    TRect m_box;                   // the pixels that have cells
    std::size_t m_boxHeight = 0;
    TPageArray<TGrowCutCell> m_cells; // [x][y] over m_box, column after column
    // The cells that attack in the next Step, popped from the top (with
    // whether their label changed), and the cells queued for the generation
    // after it.  Each has room for every cell: a cell can be in both at once.
    TPageArray<std::uint32_t> m_active;
    TPageArray<std::uint8_t> m_activeChanged;
    TPageArray<std::uint32_t> m_next;
    std::size_t m_activeCount = 0;
    std::size_t m_nextCount = 0;
};
