// Driving the program on a real X server (Xvfb) from inside it, for the
// end-to-end tests that run themselves as the program: waiting while the
// program's event loop runs, the real pointer and keyboard through xdotool,
// and screenshots of a window into the build folder's screenshots/.
// Header-only: it needs Qt Widgets, which the support library does not
// link.
#pragma once

#include "ShellTestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QWindow>

#include <QtGui/qguiapplication_platform.h>

#include <optional>
#include <vector>

// libX11's round trip, declared here rather than through its header, whose
// macros (None, Bool, Status) clash with the test code.
extern "C" int XSync(Display* display, int discard);

// Waits until the window is on the screen and what it was asked to show is
// there: it is exposed, the layouts and repaints asked for have been done,
// and the X server has taken the pixels (a round trip to it).
inline bool Settle(QWidget* window)
{
    const auto exposed = [window] { return window->windowHandle() && window->windowHandle()->isExposed(); };
    if (!RunLoopUntil(exposed))
        return false;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    window->repaint();
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        XSync(x11->display(), 0);
    return true;
}

// Runs xdotool with the arguments while the program goes on handling what
// the X server sends it.
inline bool Xdotool(const QStringList& arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!xdotool.waitForStarted(10000))
        return false;
    if (!RunLoopUntil([&] { return xdotool.state() == QProcess::NotRunning; }))
        return false;
    return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

// Notes where the program saw the pointer and its buttons last, in screen
// coordinates, for as long as it exists.
class TPointerWatch : public QObject {
public:
    TPointerWatch() { qApp->installEventFilter(this); }
    ~TPointerWatch() override { qApp->removeEventFilter(this); }

    QPoint LastMove{-1, -1};
    int Presses = 0;
    int Releases = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // Every widget on the way up sees the event: counted once, at the
        // widget it was sent to first (spontaneous, from the window system).
        if (!event->spontaneous())
            return false;
        switch (event->type()) {
        case QEvent::MouseMove:
            LastMove = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            break;
        case QEvent::MouseButtonPress:
            ++Presses;
            break;
        case QEvent::MouseButtonRelease:
            ++Releases;
            break;
        default:
            break;
        }
        return false;
    }
};

// Moves the real pointer to the screen point and waits until the program
// has seen it there. A pointer already there moves no more (the X server
// reports no move then).
inline bool MovePointerTo(const TPointerWatch& watch, QPoint point)
{
    if (QCursor::pos() == point)
        return true;
    return Xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())})
        && RunLoopUntil([&] { return watch.LastMove == point; });
}

// A drag with the left button through the screen points. Each move is sent
// once the program has seen the one before: moves that wait in its queue
// are merged into one, and a tool that draws at every point it sees would
// leave gaps where a busy machine merged them.
inline bool DragThrough(const std::vector<QPoint>& points)
{
    if (points.empty())
        return false;
    TPointerWatch watch;
    if (!MovePointerTo(watch, points.front()) || !Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")})
        || !RunLoopUntil([&] { return watch.Presses > 0; }))
        return false;
    for (const QPoint& point : points)
        if (!MovePointerTo(watch, point))
            return false;
    return Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}) && RunLoopUntil([&] { return watch.Releases > 0; });
}

// A click on the widget's point (its centre when none is given), once its
// window is on the screen and the program has seen the pointer there.
inline bool ClickAt(QWidget* widget, std::optional<QPoint> point = std::nullopt)
{
    if (!Settle(widget->window()))
        return false;
    TPointerWatch watch;
    const QPoint at = widget->mapToGlobal(point.value_or(widget->rect().center()));
    return MovePointerTo(watch, at) && Xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

// "<build>/screenshots/<name>.png".
inline QString ScreenshotPath(const QString& name)
{
    return QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("../screenshots/%1.png").arg(name));
}

// A screenshot of the X window ("root": the whole screen) as
// ScreenshotPath(name); the callers below wait for the pixels first.
inline bool TakeScreenshotOfXWindow(const QString& windowId, const QString& name)
{
    const QString path = ScreenshotPath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    return QProcess::execute(QStringLiteral("/usr/bin/import"), {QStringLiteral("-window"), windowId, path}) == 0
        && !QImage(path).isNull();
}

inline bool TakeScreenshot(QWidget* window, const QString& name)
{
    return Settle(window) && TakeScreenshotOfXWindow(QStringLiteral("0x%1").arg(window->winId(), 0, 16), name);
}

inline bool TakeScreenshotOfTheScreen(const QString& name)
{
    // Every window shown (a balloon among them) is on the screen first.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && !Settle(window))
            return false;
    return TakeScreenshotOfXWindow(QStringLiteral("root"), name);
}
