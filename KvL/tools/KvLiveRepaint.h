// The repaint list of a long picture step that the user watches (the
// clipping tool's Separate, Effect, Swap, Clear): the step's parts gather
// what they change as the tiles they touch, and at each frame the tool hands
// them on to be repainted, so that a repaint resamples only the parts of the
// picture that changed. The parts fill it on their own thread; Flush runs
// while that thread is held.
#pragma once

#include "DirtyTiles.h"

#include <functional>

class TKvLiveRepaint {
public:
    // How often the user sees the step's progress.
    static constexpr long long PaintIntervalNs = 16'000'000;

    TKvLiveRepaint(int width, int height, std::function<void(const TRect&)> repaint);

    // What changed since the last repaint; the step adds to it.
    TDirtyTiles& Pending() { return m_pending; }

    // Hands on everything pending.
    void Flush();

private:
    std::function<void(const TRect&)> m_repaint;
    TDirtyTiles m_pending;
};
