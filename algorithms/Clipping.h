// The steps of the clipping work on a marked region: painting the band,
// Separate, showing the object with a background effect, swapping the object,
// refreshing the background, clearing, and building the object's matte.  The
// editor's clipping tool and the command-line front end run the same steps;
// the long ones go generation by generation or column by column and hand back
// what to repaint, so that the tool can show the picture changing.
#pragma once

#include "AlphaChanal.h"
#include "DirtyTiles.h"
#include "GrowCut.h"
#include "MarkedRegion.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The labels of the clipping work.
enum TClippingLabel : std::uint8_t {
    LabelUnmarked = 0,
    LabelBand = 1,    // inside of the painted band
    LabelOutline = 2, // band pixel with an unmarked 4-neighbour
    LabelCutLine = 3, // band pixel on the cut the segmentation found
    LabelRedFlash = 4,
    FirstSegment = 8, // the connected unmarked areas, in scan order
    ObjectSegment = 9,
    LastSegment = 39,
    BackgroundBase = 128 // 128 + segment: shown with the background effect
};

// Gives the band labels their effects: the cut line shows as threshold
// inversion, the red flash as red.  Done once for a new region.
void SetClippingLabelEffects(TMarkedRegion& region);

// Calls visit(x, y) for every pixel labelled label, column by column.
template <typename Visit>
void ForEachPixelLabelled(const TMarkedRegion& region, std::uint8_t label, Visit visit)
{
    if (!region.HasLabel(label))
        return;
    for (int x = 0; x < region.Width(); ++x) {
        const TMarkedPoint* column = region.MarksColumn(x);
        for (int y = 0; y < region.Height(); ++y)
            if (column[y].Label == label)
                visit(x, y);
    }
}

// Whether the region shows an object (a segment label) or a background.
bool HasObject(const TMarkedRegion& region);
bool HasBackground(const TMarkedRegion& region);

// Paints one dab of the band: every pixel of rect covered by the dab mask
// gets paintLabel (LabelBand adds, LabelUnmarked erases).  Adding, the covered
// pixels next to an unmarked pixel become outline; erasing, the band pixels
// next to an erased pixel do.  addOutline learns every pixel made outline.
// Returns whether any covered pixel changed its label.
bool PaintBand(TMarkedRegion& region, const TRect& rect, const TKvPixelMask& dab, std::uint8_t paintLabel,
               const std::function<void(int x, int y)>& addOutline = {});

// Separate, step by step.  Construction turns an earlier cut line back into
// band and numbers the unmarked areas 8, 9, ... 39 in the column-major order
// of their first pixels (areas beyond the 32nd keep label 0 and take part as
// one more seed region); the band labels become the ones to decide.  When
// the band encloses an area, StartGrowCut and Step until it returns 0 divide
// the band among the areas while the cut line (label 3) grows; otherwise the
// one area can be flashed red.  Finish (or destruction) stores the results in
// the segment bytes and returns the areas to label 0.
class TSeparation {
public:
    // repaint, when given, gains the pixels of the earlier cut line: the
    // only ones whose colours the numbering changes.  memory, when given,
    // lends the automaton the arrays an earlier Separate left.
    explicit TSeparation(TMarkedRegion& region, TDirtyTiles* repaint = nullptr, TGrowCut::TMemory* memory = nullptr);
    ~TSeparation();
    TSeparation(const TSeparation&) = delete;
    TSeparation& operator=(const TSeparation&) = delete;

    // The number of areas numbered (at most 32).
    int AreaCount() const { return m_areas; }
    // Whether the band encloses an area: a second segment exists.
    bool Encloses() const;

    void StartGrowCut();
    // One generation.  Band pixels around the cells it changed show the cut
    // line as it stands; dirty gains the pixels to repaint (nothing when no
    // label changed).  Returns the number of cells the generation touched,
    // 0 when the segmentation is finished (or was never started).
    int Step(TDirtyTiles& dirty);
    // The same work in parts of at most `cells` cells (attacking, or showing
    // the cut around them), so that a caller can let other work run within
    // a generation; the results are Step's.  Returns 0 once the
    // segmentation is finished, a positive number while there is more.
    int StepPart(TDirtyTiles& dirty, std::size_t cells);
    // All generations at once.
    void RunGrowCut();

    // The red flash over the only area when the band encloses nothing, and
    // its end.
    void ShowOpenOutline();
    void HideOpenOutline();

    void Finish();

private:
    // The work of one worker in showing the cut: the counts of the labels
    // it changed and what it changed on the screen.
    struct TShowWork {
        TLabelCounts Counts{};
        TDirtyTiles Dirty;
    };

    // counts, when given, takes the change of the label counts instead of
    // the region.
    void ShowCut(int x, int y, TLabelCounts* counts = nullptr);
    void ShowCutAround(int cell, TDirtyTiles& dirty);
    // The cut around active cells begin .. end - 1, shared among the
    // region's workers by strips of columns when there are many.
    void ShowCutAround(int begin, int end, TDirtyTiles& dirty);
    // The columns of `strips` strips holding about as many of those cells.
    std::vector<int> ColumnStrips(int begin, int end, int strips) const;

    TMarkedRegion& m_region;
    TGrowCut::TMemory* m_memory;
    std::unique_ptr<TGrowCut> m_growCut;
    int m_areas = 0;
    bool m_finished = false;
    // A generation shown in parts: its cells, and those shown so far; -1
    // while its attacks are under way.
    int m_touched = -1;
    int m_shown = 0;
    std::vector<TShowWork> m_showWork;
};

// One pass over the picture's columns, one column per Next.
class TColumnPass {
public:
    enum TWork {
        ApplyObjectWork, // ApplyObject(object, x)
        SwapObjectWork,  // SwapObject(object, x)
        RefreshWork,     // RefreshEffects(x)
        ClearWork        // ClearColumn(x)
    };

    TColumnPass(TMarkedRegion& region, TWork work, std::uint8_t object = 0);
    // Does the next column; rect becomes what to repaint.  False, and nothing
    // is done, when every column is done.
    bool Next(TRect& rect);
    // Does the next `columns` columns (fewer at the end), shared among the
    // region's workers; rect becomes what to repaint.
    bool Next(TRect& rect, int columns);
    // Does every column left, shared among the region's workers.
    void Run();

private:
    TMarkedRegion& m_region;
    TWork m_work;
    std::uint8_t m_object;
    int m_x = 0;
};

// Effect: segment 9 becomes the object and every other pixel shows the
// background effect (a TBackgroundEffect).
TColumnPass StartShowEffect(TMarkedRegion& region, int effect);
// The segment after object that exists in the background, or the first
// segment when there is none after it.
std::uint8_t NextObjectLabel(const TMarkedRegion& region, std::uint8_t object);
// Swap: object moves to the next segment and the background is rendered
// with the effect.
TColumnPass StartSwap(TMarkedRegion& region, std::uint8_t& object, int effect);
// Renders the background again with the effect (after a parameter change).
TColumnPass StartRefreshBackground(TMarkedRegion& region, int effect);
// Clear: every pixel back to label 0 and its own colour.
TColumnPass StartClear(TMarkedRegion& region);

// The object's matte over the bounding rectangle of the segment labels:
// opaque where the picture shows the object, transparent where it shows the
// background effect, softened once.  Returns that rectangle (inverted, and
// the matte empty, when no object is shown).
TRect BuildObjectMatte(const TMarkedRegion& region, TAlphaChanal& matte);
// The same over bounds, the object's bounding rectangle already known.
void BuildObjectMatte(const TMarkedRegion& region, const TRect& bounds, TAlphaChanal& matte);
