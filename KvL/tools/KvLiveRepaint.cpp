#include "KvLiveRepaint.h"

#include <QCoreApplication>

#include <algorithm>

TKvLiveRepaint::TKvLiveRepaint(int width, int height, std::function<void(const TRect&)> repaint)
    : m_repaint(std::move(repaint))
{
    m_pending.SetSize(width, height);
    m_clock.start();
}

void TKvLiveRepaint::Pause()
{
    if (m_clock.nsecsElapsed() < m_next)
        return;
    const qint64 start = m_clock.nsecsElapsed();
    Flush();
    QCoreApplication::processEvents();
    const qint64 end = m_clock.nsecsElapsed();
    m_next = end + std::max(PaintIntervalNs, 4 * (end - start));
}

void TKvLiveRepaint::Flush()
{
    for (const TRect& rect : m_pending.Rects())
        m_repaint(rect);
    m_pending.Clear();
}
