// GrowCut: the cellular automaton that divides the painted band among the
// areas around it.
#pragma once

#include "KvTypes.h"
#include "PageArray.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

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
//
// With the region's worker pool, a large generation's attacks are shared
// among the workers by strips of cells: each worker takes, in the
// generation's order, every attack on the cells of its strip, so that each
// cell sees the attacks of one thread in the order of one thread; the cells
// queued are then merged in the order in which one thread would have queued
// them.  So every thread count gives exactly the results of one.
class TGrowCut {
    struct TGrowCutCell {
        float Strength;           // 0.0 .. 1.0
        float NextStrength;       // best force received this generation; -1 when
                                  // none, so the cell is queued exactly while >= 0
        std::uint8_t Label;
        std::uint8_t NextLabel;   // label of the attacker that delivered NextStrength
        std::uint8_t WeightRight; // similarity to (x + 1, y); 0 where no attack can succeed
        std::uint8_t WeightDown;  // similarity to (x, y + 1); likewise
    };

public:
    // The arrays of an automaton, kept by an owner that runs one after
    // another on the same picture, so that the next one reuses their pages
    // instead of having fresh ones faulted in and cleared.
    class TMemory {
        friend class TGrowCut;
        TPageArray<TGrowCutCell> m_cells;
        TPageArray<std::uint32_t> m_active;
        TPageArray<std::uint8_t> m_activeChanged;
        TPageArray<std::uint32_t> m_next;
    };

    // memory, when given, lends its arrays from Init to destruction.
    explicit TGrowCut(TMemory* memory = nullptr) : m_memory(memory) {}
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
    // Calls visit(i) in order for every active cell i of the last generation
    // from begin to end - 1 whose 3 x 3 block meets the columns x0 .. x1 - 1
    // of the picture.
    template <typename Visit>
    void ForEachActiveNear(int x0, int x1, int begin, int end, Visit visit) const
    {
        const std::int64_t column = std::int64_t(m_boxHeight);
        const std::int64_t lo = (std::int64_t(x0) - 1 - m_box.Left) * column;
        const std::int64_t hi = (std::int64_t(x1) + 1 - m_box.Left) * column;
        for (std::size_t i = std::size_t(begin); i < std::size_t(end); ++i)
            if (const std::int64_t cell = m_active[i]; cell >= lo && cell < hi)
                visit(int(i));
    }
    std::uint8_t LabelAt(int x, int y) const;
    float StrengthAt(int x, int y) const;

private:

    bool InCells(int x, int y) const { return m_box.Contains(TPoint{x, y}); }
    std::size_t Index(int x, int y) const
    {
        return std::size_t(x - m_box.Left) * m_boxHeight + std::size_t(y - m_box.Top);
    }
    // Builds the cells of column x; writes its seeds on the rim of their
    // regions to seeds in scan order and returns how many there are.
    std::size_t InitColumn(int x, const std::array<bool, 256>& unknown, std::uint32_t* seeds);
    void Attack(std::uint32_t target, std::uint8_t weight, float strength, std::uint8_t label);

    // A cell queued by a shared generation, with the place one thread would
    // have queued it at: the attacker's place in the generation times four
    // plus the direction of the attack.
    struct TQueued {
        std::uint64_t Order;
        std::uint32_t Cell;
    };
    // The cells Begin .. End - 1, whose attacks one worker takes.
    struct TStrip {
        std::uint32_t Begin = 0;
        std::uint32_t End = 0;
        std::vector<TQueued> Queued; // in Order
    };
    // Whether the generation about to start is shared, and its strips.
    bool ShareGeneration();
    // Attacks of the active cells stop .. m_activeCount - 1 on the strip's cells.
    void AttackStrip(TStrip& strip, std::size_t stop);
    void AttackInStrip(TStrip& strip, std::uint32_t target, std::uint8_t weight, float strength,
                       std::uint8_t label, std::uint64_t order);
    // The strips' queued cells become the active ones, in the order one
    // thread would have queued them.
    int CommitShared();

    // The arrays for size cells: the lent ones when they are large enough.
    template <typename T>
    void TakeArray(TPageArray<T>& own, TPageArray<T>& lent, std::size_t size);

    TMemory* m_memory = nullptr;
    TMarkedRegion* m_region = nullptr;
    TRect m_box;                   // the pixels that have cells
    std::size_t m_boxHeight = 0;
    std::size_t m_boxCells = 0;
    TPageArray<TGrowCutCell> m_cells; // [x][y] over m_box, column after column
    // The cells that attack in the next Step, popped from the top (with
    // whether their label changed), and the cells queued for the generation
    // after it.  Each has room for every cell: a cell can be in both at once.
    TPageArray<std::uint32_t> m_active;
    TPageArray<std::uint8_t> m_activeChanged;
    TPageArray<std::uint32_t> m_next;
    std::size_t m_activeCount = 0;
    std::size_t m_nextCount = 0;
    // The generation under way: whether its attacks have started, how many
    // attackers it has, and whether the workers share it.
    bool m_attacking = false;
    std::size_t m_generationSize = 0;
    bool m_shared = false;
    std::vector<TStrip> m_strips;
};
