// The repaint scheduler of a long picture step that the user watches (the
// clipping tool's Separate, Effect, Swap, Clear): it gathers what the step
// changes as the tiles they touch and hands them to be repainted, and lets
// pending events run between the step's parts, at most every PaintInterval
// and never so often that the pauses take more than a fifth of the time, so
// that the work goes on however small its parts are and the user still sees
// it grow. A repaint then resamples only the parts of the picture that
// changed.
#pragma once

#include "DirtyTiles.h"

#include <QElapsedTimer>

#include <functional>

class TKvLiveRepaint {
public:
    static constexpr qint64 PaintIntervalNs = 16'000'000;

    TKvLiveRepaint(int width, int height, std::function<void(const TRect&)> repaint);

    // What changed since the last repaint; the step adds to it.
    TDirtyTiles& Pending() { return m_pending; }

    // Between two parts of the step.
    void Pause();
    // Hands on everything pending.
    void Flush();

private:
    std::function<void(const TRect&)> m_repaint;
    QElapsedTimer m_clock;
    qint64 m_next = 0;
    TDirtyTiles m_pending;
};
