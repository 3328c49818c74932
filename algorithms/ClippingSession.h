// One clipping work on one picture: the marked region, the background effect
// the user chose with its parameters, the segment shown as the object, and
// the order in which the steps may follow each other (a band before
// Separate, a cut before Effect, an object before Swap and Done). The
// editor's clipping tool and the command-line front end drive the same
// session; the long steps come back as column passes (or, for Separate, as
// a TSeparation) that the caller runs in parts or at once.
#pragma once

#include "Clipping.h"
#include "WorkerPool.h"

#include <cstdint>
#include <memory>

// A background effect with the one parameter it uses: the colour of the
// colour and the monochrome effect, the level of the shadow and the blur.
struct TClippingEffect {
    std::uint8_t Effect = BackgroundColor; // a TBackgroundEffect
    TColor Color = 0;
    std::int32_t Level = 0;
};

class TClippingSession {
public:
    // The levels of the shadow and the blur.
    static constexpr int MinLevel = 1;
    static constexpr int MaxLevel = 5;

    // A region whose band labels show as they should, worked on by as many
    // threads as the machine has.
    TClippingSession();

    // The threads the long steps use: the machine's for 0 (or less), else
    // at most TWorkerPool::MaxThreads; 1 runs everything on the calling
    // thread.  Not while a step is under way.
    void SetThreads(int threads);
    int Threads() const { return m_pool ? m_pool->Threads() : 1; }

    TMarkedRegion& Region() { return m_region; }
    const TMarkedRegion& Region() const { return m_region; }

    // --- The background effect as chosen; values are kept in range
    // (colours to 24 bits, levels to MinLevel..MaxLevel, effects other
    // than the four ignored). Choosing renders nothing.
    int BackgroundEffect() const { return m_backgroundEffect; }
    TColor BackgroundColor() const { return m_backgroundColor; }
    int ShadowLevel() const { return m_shadowLevel; }
    int BlurLevel() const { return m_blurLevel; }
    TColor MonochromeColor() const { return m_monochromeColor; }
    void SetBackgroundEffect(int effect);
    void SetBackgroundColor(TColor color) { m_backgroundColor = color & 0xFFFFFF; }
    void SetShadowLevel(int level) { m_shadowLevel = ClampLevel(level); }
    void SetBlurLevel(int level) { m_blurLevel = ClampLevel(level); }
    void SetMonochromeColor(TColor color) { m_monochromeColor = color & 0xFFFFFF; }
    static int ClampLevel(int level);
    // The chosen effect with its parameter.
    TClippingEffect Chosen() const;
    // The effect and parameter the region renders the background with now.
    const TClippingEffect& Shown() const { return m_shown; }
    // Hands the effect's parameter to the region and prepares the effect:
    // the background is rendered with it from now on.
    void Apply(const TClippingEffect& effect);

    // --- The segment shown as the object.
    std::uint8_t ObjectLabel() const { return m_objectLabel; }
    void SetObjectLabel(std::uint8_t label) { m_objectLabel = label; }
    // The object label becomes the segment the region shows as the object.
    void FollowObject();

    // --- The order of the steps: what the marks allow now.
    // A band may be painted while no object and no background are shown.
    bool MayPaint() const { return !ShowsObject() && !ShowsBackground(); }
    bool MaySeparate() const { return m_region.HasLabel(LabelBand); }
    bool MayShowEffect() const { return m_region.HasLabel(LabelCutLine); }
    bool MaySwap() const { return ShowsObject(); }
    bool MayFinish() const { return ShowsObject(); }
    bool HasMarks() const;
    bool ShowsObject() const { return HasObject(m_region); }
    bool ShowsBackground() const { return HasBackground(m_region); }

    // --- The steps.
    // Effect: the object segment becomes the object and the rest shows the
    // effect given (the one chosen, or that of a command done again).
    TColumnPass StartEffect(const TClippingEffect& effect);
    // Swap: the object moves to the next segment; the background keeps the
    // effect it shows.
    TColumnPass StartSwap();
    // Shows the segment as the object, the background as it is shown now.
    TColumnPass StartShowingObject(std::uint8_t object);
    // Renders the background again with the effect given.
    TColumnPass StartRefresh(const TClippingEffect& effect);
    // The arrays the session's Separates lend their automata one after the
    // other (for TSeparation).
    TGrowCut::TMemory* GrowCutMemory() { return &m_growCutMemory; }
    // Clear: every pixel back to label 0 and its own colour.
    TColumnPass StartClear() { return ::StartClear(m_region); }
    // Done: the marks go, the rendered picture stays.
    void Finish() { m_region.ResetCurrent(); }

private:
    std::unique_ptr<TWorkerPool> m_pool; // none for a single thread
    TMarkedRegion m_region;
    TGrowCut::TMemory m_growCutMemory;
    int m_backgroundEffect = ::BackgroundColor;
    TColor m_backgroundColor = 0xFFFFFF;
    int m_shadowLevel = 3;
    int m_blurLevel = 3;
    TColor m_monochromeColor = 0xFFFFFF;
    TClippingEffect m_shown;
    std::uint8_t m_objectLabel = ObjectSegment;
};
