// Driving the program on a real X server (Xvfb) from inside it, for the
// end-to-end tests that run themselves as the program: waiting while the
// program's event loop runs, the real pointer and keyboard through xdotool,
// and screenshots of a window into the build folder's screenshots/.
// Header-only: it needs Qt Widgets, which the support library does not
// link.
#pragma once

#include "ShellTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>

// Lets the event loop run for a while: whatever was asked to repaint is on
// the screen afterwards, and the idle updates have run.
inline void Settle(int milliseconds = 300)
{
    QElapsedTimer settle;
    settle.start();
    RunLoopUntil([&] { return settle.elapsed() > milliseconds; });
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

// A click on the widget's point (its centre when none is given).
inline bool ClickAt(QWidget* widget, std::optional<QPoint> point = std::nullopt)
{
    const QPoint at = widget->mapToGlobal(point.value_or(widget->rect().center()));
    return Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                    QStringLiteral("sleep"), QStringLiteral("0.2"), QStringLiteral("click"), QStringLiteral("1")});
}

// "<build>/screenshots/<name>.png".
inline QString ScreenshotPath(const QString& name)
{
    return QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("../screenshots/%1.png").arg(name));
}

// A screenshot of the X window ("root": the whole screen), once what it was
// asked to show is on the screen, as ScreenshotPath(name).
inline bool TakeScreenshotOfXWindow(const QString& windowId, const QString& name)
{
    Settle();
    const QString path = ScreenshotPath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    return QProcess::execute(QStringLiteral("/usr/bin/import"), {QStringLiteral("-window"), windowId, path}) == 0
        && !QImage(path).isNull();
}

inline bool TakeScreenshot(QWidget* window, const QString& name)
{
    return TakeScreenshotOfXWindow(QStringLiteral("0x%1").arg(window->winId(), 0, 16), name);
}

inline bool TakeScreenshotOfTheScreen(const QString& name)
{
    return TakeScreenshotOfXWindow(QStringLiteral("root"), name);
}
