// Driving the program on a real X server (Xvfb) from inside it, for the
// end-to-end tests that run themselves as the program: waiting while the
// program's event loop runs, the real pointer and keyboard through xdotool,
// and screenshots of a window into the build folder's screenshots/.
// Header-only: it needs Qt Widgets, which the support library does not
// link.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <optional>

// Runs the program's event loop until the condition holds (false after the
// deadline). The loop waits for events as the program's own does, so the
// idle updates of the panels and the editor run meanwhile.
template <typename Condition>
bool RunUntil(Condition condition, int deadlineMilliseconds = 60000)
{
    QEventLoop loop;
    QTimer poll;
    poll.callOnTimeout([&] {
        if (condition())
            loop.exit(0);
    });
    poll.start(20);
    QTimer::singleShot(deadlineMilliseconds, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0;
}

// Lets the event loop run for a while: whatever was asked to repaint is on
// the screen afterwards, and the idle updates have run.
inline void Settle(int milliseconds = 300)
{
    QElapsedTimer settle;
    settle.start();
    RunUntil([&] { return settle.elapsed() > milliseconds; });
}

// Runs xdotool with the arguments while the program goes on handling what
// the X server sends it.
inline bool Xdotool(const QStringList& arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!xdotool.waitForStarted(10000))
        return false;
    if (!RunUntil([&] { return xdotool.state() == QProcess::NotRunning; }))
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

// A screenshot of the window, once what it was asked to show is on the
// screen, as ScreenshotPath(name).
inline bool TakeScreenshot(QWidget* window, const QString& name)
{
    Settle();
    const QString path = ScreenshotPath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    return QProcess::execute(QStringLiteral("/usr/bin/import"),
                             {QStringLiteral("-window"), QStringLiteral("0x%1").arg(window->winId(), 0, 16), path})
        == 0
        && !QImage(path).isNull();
}
