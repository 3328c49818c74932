// A demonstration playback on a clock the test moves by hand and an input
// that notes where the pointer went and which buttons went down and up,
// with the events a test wants to see collected. Header-only: it needs the
// user-interface layer, which the support library does not link.
#pragma once

#include "KvDemo.h"
#include "KvDemoInput.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <vector>

class TestDemoClock : public IKvDemoClock {
public:
    qint64 Milliseconds() const override { return Now; }
    qint64 Now = 1000;
};

class TestDemoInput : public IKvDemoInput {
public:
    QPoint CursorPos() const override { return Position; }
    void SetCursorPos(const QPoint& position) override
    {
        Position = position;
        Moves.push_back(position);
    }
    void Press(Qt::MouseButton button) override { Buttons << Describe(QStringLiteral("down"), button); }
    void Release(Qt::MouseButton button) override { Buttons << Describe(QStringLiteral("up"), button); }

    QPoint Position{100, 100};
    std::vector<QPoint> Moves;
    // "down left 120,80", "up right 10,10", ...
    QStringList Buttons;

private:
    QString Describe(const QString& what, Qt::MouseButton button) const
    {
        return QStringLiteral("%1 %2 %3,%4")
            .arg(what, button == Qt::RightButton ? QStringLiteral("right") : QStringLiteral("left"))
            .arg(Position.x())
            .arg(Position.y());
    }
};

class DemoPlaybackFixture {
public:
    DemoPlaybackFixture()
    {
        playback.OnError = [this](const QString& message, bool& stop, const QString& line) {
            Errors << message + QStringLiteral(" | ") + line;
            stop = StopOnError;
        };
        playback.OnFinished = [this] { ++Finished; };
    }

    // Plays the lines (a "[Script]" section of them) from the first.
    bool Play(const QByteArray& lines, const QByteArray& otherSections = {})
    {
        TKvDemoScript script;
        script.LoadFromBytes("[Script]\n" + lines + "\n" + otherSections);
        playback.Assign(script);
        return playback.Play(0);
    }

    // Moves the clock on and runs one tick.
    bool TickAfter(qint64 milliseconds)
    {
        clock.Now += milliseconds;
        return playback.Tick();
    }

    // Ticks every `step` milliseconds until the playback has nothing more
    // to do; the number of ticks it took (a guard stops a runaway).
    int RunToEnd(qint64 step = 10, int maxTicks = 1000000)
    {
        int ticks = 0;
        while (ticks < maxTicks) {
            ++ticks;
            if (!TickAfter(step))
                break;
        }
        return ticks;
    }

    TestDemoClock clock;
    TestDemoInput input;
    TKvDemoPlayback playback{input, clock};
    QStringList Errors;
    bool StopOnError = true;
    int Finished = 0;
};
