// Times how long a widget takes to paint: the benchmarks that measure what
// the user sees on the screen (a slider move, a frame of a live preview)
// start the clock, cause the change and read when the paint was done.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QWidget>

// When a widget has finished painting, counted from Start.
class TPaintClock : public QObject {
public:
    explicit TPaintClock(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    void Start()
    {
        m_first = -1;
        m_clock.start();
    }
    // -1 when nothing was painted since Start.
    double FirstPaintSeconds() const { return m_first; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_widget || event->type() != QEvent::Paint || m_painting)
            return false;
        // Painted here, so that the time taken is when the paint is done.
        m_painting = true;
        QCoreApplication::sendEvent(m_widget, event);
        m_painting = false;
        if (m_first < 0)
            m_first = double(m_clock.nsecsElapsed()) * 1e-9;
        return true;
    }

private:
    QWidget* m_widget;
    QElapsedTimer m_clock;
    double m_first = -1;
    bool m_painting = false;
};
