#include "KvLiveRepaint.h"

#include <utility>

TKvLiveRepaint::TKvLiveRepaint(int width, int height, std::function<void(const TRect&)> repaint)
    : m_repaint(std::move(repaint))
{
    m_pending.SetSize(width, height);
}

void TKvLiveRepaint::Flush()
{
    for (const TRect& rect : m_pending.Rects())
        m_repaint(rect);
    m_pending.Clear();
}
