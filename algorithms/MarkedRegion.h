// The label map of the clipping work: one label byte per pixel of the
// document picture, and the picture kept showing what the labels mean.
#pragma once

#include "BGRArithmeticMean.h"
#include "KvBitmap.h"
#include "PageArray.h"

#include <algorithm>
#include <array>
#include <climits>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <utility>

class TProgressMeter;
class TWorkerPool;

// The mark of one pixel.
struct TMarkedPoint {
    // For a pixel whose label shows an effect, the colour it had before the
    // effect was painted; otherwise the colour it had when its label last
    // changed.
    TColorTriple Color;
    std::uint8_t Label = 0;
    std::uint8_t Segment = 0; // what the last segmentation gave the pixel
};
static_assert(sizeof(TMarkedPoint) == 5);

// The marks of a rectangle of pixels, stored column after column ([x][y]) and
// indexed from the rectangle's corner.
class TMarkedPointArray {
public:
    // width x height all-zero marks (the old ones are released first).
    void SetSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    TMarkedPoint& At(int x, int y) { return m_points[Index(x, y)]; }
    const TMarkedPoint& At(int x, int y) const { return m_points[Index(x, y)]; }
    TMarkedPoint* Column(int x) { return m_points.data() + Index(x, 0); }
    const TMarkedPoint* Column(int x) const { return m_points.data() + Index(x, 0); }
    // Every mark back to all zero bytes.
    void Zero();

private:
    std::size_t Index(int x, int y) const { return std::size_t(x) * std::size_t(m_height) + std::size_t(y); }

    int m_width = 0;
    int m_height = 0;
    TPageArray<TMarkedPoint> m_points;
};

// A set of labels (bit n for label n).
using TLabelSet = std::bitset<256>;
// The labels lo..hi.
TLabelSet LabelRange(int lo, int hi);

// Pixels per label.
using TLabelCounts = std::array<std::int64_t, 256>;

// Effect kinds: how a pixel with a label of that kind is shown.
enum TEffectKind : std::uint8_t {
    EffectNone = 0,      // the pixel's own colour
    EffectThreshold = 2, // each byte 0 from 128 up, else 255
    EffectRed = 3,
    EffectColor = 4,     // the background colour
    EffectShadow = 5,    // each byte divided by the shadow divisor
    EffectBlur = 6,      // the box mean of the unaffected colours
    EffectMonochrome = 7 // the brightest channel, tinted
};

// Background effects, the treatments of every label from 128 up.
enum TBackgroundEffect : int {
    BackgroundColor = 0,
    BackgroundShadow = 1,
    BackgroundBlur = 2,
    BackgroundMonochrome = 3
};

// Gives every pixel of the attached picture a label.  When a pixel takes a
// label that has an effect, its colour is saved in its mark and the effect is
// painted into the picture; when it takes a label without one, the saved
// colour returns.  So the picture always shows what the user sees and the
// unaffected colours stay recoverable.  The region also counts the pixels of
// every label, fills connected components, carries the segmentation result of
// every pixel and keeps a committed copy of the marks for undo.
//
// Operations assume an attached picture and coordinates and rectangles
// inside it; nothing is checked.
class TMarkedRegion {
public:
    TMarkedRegion();
    ~TMarkedRegion();
    TMarkedRegion(const TMarkedRegion&) = delete;
    TMarkedRegion& operator=(const TMarkedRegion&) = delete;

    // Works on image (24-bit, not owned) from now on: the region's pixel
    // (x, y) is the one x columns and y rows from the image's first pixel.  A
    // picture of another size than before discards every mark; one of the
    // same size keeps them.  Throws std::invalid_argument for another pixel
    // format, std::length_error for 2^31 pixels or more, std::bad_alloc when
    // the marks find no memory (the region is then empty).
    void AttachImage(TKvPixels* image);
    TKvPixels* Image() const { return m_image; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    std::int64_t PixelCount() const { return std::int64_t(m_width) * m_height; }

    // Every mark of both copies (ResetAll) or of the current one
    // (ResetCurrent) back to label 0, segment 0, colour 0.  The picture is not
    // touched: pixels showing an effect keep showing it.
    void ResetAll();
    void ResetCurrent();

    std::uint8_t LabelAt(int x, int y) const { return m_current.At(x, y).Label; }
    std::uint8_t SegmentAt(int x, int y) const { return m_current.At(x, y).Segment; }
    const TMarkedPoint& MarkAt(int x, int y) const { return m_current.At(x, y); }
    // The current marks of column x, Height() of them.
    const TMarkedPoint* MarksColumn(int x) const { return m_current.Column(x); }

    // The effect kind of a label: the one set for it below 128, the current
    // background effect's from 128 up.
    std::uint8_t EffectKindOf(std::uint8_t label) const { return m_kinds[label]; }
    void SetLabelEffect(std::uint8_t label, std::uint8_t kind);

    // The colour the pixel has without any effect: its saved colour when its
    // label shows an effect, else the picture's pixel.
    const std::uint8_t* UnaffectedColor(int x, int y) const
    {
        const TMarkedPoint& mark = m_current.At(x, y);
        return m_kinds[mark.Label] != EffectNone ? reinterpret_cast<const std::uint8_t*>(&mark.Color)
                                                : PixelAt(x, y);
    }

    // Gives (x, y) a label, restoring or painting the pixel as the labels'
    // effects require; false, and nothing changes, when it had that label.
    bool SetLabel(int x, int y, std::uint8_t label);
    // The same for workers that change pixels of their own at once: the
    // change of the counts goes to countChanges, which AddCounts takes in
    // afterwards.
    bool SetLabel(int x, int y, std::uint8_t label, TLabelCounts& countChanges);
    void AddCounts(const TLabelCounts& countChanges);

    bool HasLabel(std::uint8_t label) const { return m_currentCounts[label] != 0; }
    // Whether some label in lo..hi is present (false when hi < lo).
    bool HasLabelIn(int lo, int hi) const;
    bool IsEmpty() const { return m_currentCounts[0] == PixelCount(); }
    std::int64_t CountOf(std::uint8_t label) const { return m_currentCounts[label]; }

    // Every pixel labelled from gets to.
    void Relabel(std::uint8_t from, std::uint8_t to);
    // Every pixel whose label is not in the set gets 0.
    void ClearExcept(const TLabelSet& labels);
    // Every pixel of column x gets 0; rect becomes the rows that changed
    // ((x, Height - 1, x + 1, 0) when none did).
    void ClearColumn(int x, TRect& rect);

    // Relabels the 4-connected component of the first pixel labelled
    // seedLabel in column-major order to newLabel.  Returns whether newLabel
    // is present afterwards.  Equal labels change nothing.
    bool FillComponent(std::uint8_t seedLabel, std::uint8_t newLabel);
    // Numbers the 4-connected components of seedLabel firstLabel,
    // firstLabel + 1, ... up to lastLabel in the column-major order of their
    // first pixels, as repeated FillComponent calls would; components beyond
    // lastLabel keep seedLabel.  Returns how many were numbered.
    int NumberComponents(std::uint8_t seedLabel, std::uint8_t firstLabel, std::uint8_t lastLabel);

    // The bounding rectangle of the pixels whose label is in the set; the
    // inverted rectangle (Width - 1, Height - 1, 0, 0) when there is none.
    TRect LabelBounds(const TLabelSet& labels) const;

    void SetSegment(int x, int y, std::uint8_t segment) { m_current.At(x, y).Segment = segment; }

    // The column passes: each works on column x and returns in rect what to
    // repaint, so that callers can show the picture changing column by column.
    //
    // Pixels whose segment is object get object, every other pixel its
    // segment + 128 (the background); rect is the whole column.
    void ApplyObject(std::uint8_t object, int x, TRect& rect);
    // Pixels labelled object + 128 become the object, pixels labelled below
    // 128 become background, the rest keep their labels; rect is the column.
    void SwapObject(std::uint8_t object, int x, TRect& rect);
    // Paints the effect of every pixel labelled 128 or more again from its
    // saved colour (after an effect parameter changed); rect covers those
    // rows ((x, Height - 1, x + 1, 0) when there are none).
    void RefreshEffects(int x, TRect& rect);
    // The same passes over columns x0 .. x1 - 1 at once, shared among the
    // workers: the results are those of the passes column by column.  The
    // rectangle returned spans the columns and the rows that changed
    // (inverted, (x0, Height - 1, x0 + 1, 0), when no row did).
    TRect ApplyObjectColumns(std::uint8_t object, int x0, int x1);
    TRect SwapObjectColumns(std::uint8_t object, int x0, int x1);
    TRect RefreshEffectsColumns(int x0, int x1);
    TRect ClearColumns(int x0, int x1);

    // Makes mode (a TBackgroundEffect) the effect of every label from 128 up.
    // For the blur, the mean of every pixel's unaffected colour is computed
    // first, reporting to the progress meter.
    void PrepareEffect(int mode);
    int BackgroundEffect() const { return m_backgroundEffect; }
    void SetProgressMeter(TProgressMeter* meter) { m_progress = meter; }
    // The threads that share the whole-picture work of the region and of
    // the GrowCut bound to it (none: the calling thread does it all).
    void SetWorkerPool(TWorkerPool* pool) { m_pool = pool; }
    TWorkerPool* WorkerPool() const { return m_pool; }

    // Effect parameters; none of them repaints.
    // The colour effect's colour, a TColor ($00BBGGRR).
    void SetBackgroundColor(TColor color);
    // The shadow divides every channel by sqrt(2) to the power level (level
    // rounded to an integer; 1 for a level of 0 or less).
    void SetShadowLevel(double level);
    // The blur averages over a radius of 3 to the power level (1 for a level
    // of 0 or less).
    void SetBlurLevel(int level);
    // The monochrome effect's tint, a TColor.
    void SetMonochromeColor(TColor color);
    double ShadowDivisor() const { return m_shadowDivisor; }
    int BlurRadius() const { return m_blurRadius; }

    // The labels the segmentation has to decide.
    const TLabelSet& UnknownLabels() const { return m_unknownLabels; }
    void SetUnknownLabels(const TLabelSet& labels) { m_unknownLabels = labels; }

    // Undo snapshots of rectangle r (inside the picture); marks is indexed
    // from r's corner and has r's size.
    void CopyCommitted(TLabelCounts& counts, const TRect& r, TMarkedPointArray& marks) const;
    void CopyCurrent(TLabelCounts& counts, const TRect& r, TMarkedPointArray& marks) const;
    // The current marks of r and the current counts from a snapshot; the
    // picture is left to the caller.
    void RestoreCurrent(const TLabelCounts& counts, const TRect& r, const TMarkedPointArray& marks);
    // The committed copy takes the current counts and the current marks of r.
    void Commit(const TRect& r);

private:
    std::uint8_t* PixelAt(int x, int y) const
    {
        return m_image->Data + std::ptrdiff_t(x) * 3 + std::ptrdiff_t(y) * m_image->Stride;
    }
    // Steps 2 and 3 of a label change of one pixel; the counts are left to
    // the caller.
    void ChangeLabel(TMarkedPoint& mark, std::uint8_t* pixel, int x, int y, std::uint8_t label);
    // Renders effect kind into the pixel in place; (x, y) locates its blurred
    // colour.
    void ApplyEffect(std::uint8_t* pixel, std::uint8_t kind, int x, int y);
    // Loads every pixel's unaffected colour into the mean and averages it.
    void ComputeMean();
    void EnsureMean();
    // EnsureMean when kind is the blur.
    void EnsureMeanFor(int kind);
    void UpdateBackgroundKinds();
    // All pixels counted as label 0.
    void ResetCounts(TLabelCounts& counts) const;
    // What the work on some columns changed: the labels' counts and the
    // rows whose pixels changed.
    struct TColumnChanges {
        TLabelCounts counts{}; // label count changes
        int top = INT_MAX;     // the rows that changed
        int bottom = INT_MIN;

        void IncludeRow(int y)
        {
            top = std::min(top, y);
            bottom = std::max(bottom, y + 1);
        }
    };
    // Calls work(x, top, bottom, changes) for the rows top .. bottom - 1 of
    // every column x0 .. x1 - 1, a band of rows across the columns at a time
    // (so that the picture's rows stay in the cache from column to column),
    // on the workers when the columns hold many pixels, and takes the changes
    // into the counts; returns the rows that changed.  Every work changes
    // only the pixels and marks it is called for.
    template <typename ColumnWork>
    std::pair<int, int> ForColumns(int x0, int x1, ColumnWork work);
    TRect ColumnsRect(int x0, int x1, std::pair<int, int> rows) const;
    void ApplyObjectColumn(std::uint8_t object, int x, int top, int bottom, TColumnChanges& changes);
    void SwapObjectColumn(std::uint8_t object, int x, int top, int bottom, TColumnChanges& changes);
    void RefreshEffectsColumn(int x, int top, int bottom, TColumnChanges& changes);
    void ClearColumn(int x, int top, int bottom, TColumnChanges& changes);
    // Relabels the component of index start (labelled seedLabel) by filling
    // column runs, with FillStack holding the run starts still to extend.
    void FillFrom(std::size_t start, std::uint8_t seedLabel, std::uint8_t newLabel);
    // NumberComponents shared among the workers, with its results.
    int NumberComponentsShared(std::uint8_t seedLabel, std::uint8_t firstLabel, std::uint8_t lastLabel);
    static void CopyMarks(const TMarkedPointArray& from, const TRect& fromRect, TMarkedPointArray& to,
                          int toLeft, int toTop);

    int m_width = 0;
    int m_height = 0;
    std::array<std::uint8_t, 128> m_labelEffect{};
    std::array<std::uint8_t, 256> m_kinds{}; // effect kind of every label
    int m_blurRadius = 1;
    double m_shadowDivisor = 1.0;
    std::array<std::uint8_t, 256> m_shadowTable{}; // every byte value divided and rounded
    TMarkedPointArray m_committed;
    TMarkedPointArray m_current;
    TLabelCounts m_committedCounts{};
    TLabelCounts m_currentCounts{};
    TKvPixels* m_image = nullptr;
    TPageArray<std::uint32_t> m_fillStack; // width x height pixel indices
    TArithmeticMean m_mean;
    int m_backgroundEffect = BackgroundBlur;
    TColorTriple m_backgroundColor;
    std::array<float, 3> m_monoFactors{}; // blue, green, red divided by 255
    // Per channel, the rounded product of every brightest-channel value and
    // that channel's factor.
    std::array<std::array<std::uint8_t, 256>, 3> m_monoTable{};
    TLabelSet m_unknownLabels;
    TProgressMeter* m_progress = nullptr;
    TWorkerPool* m_pool = nullptr;
};
