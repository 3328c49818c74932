// Timing of demonstration playback: how late a 400 ms pointer move ends
// (the time its last position is set, against its start plus 400 ms), side
// by side
//   idle              the main thread has nothing else to do
//   during Separate   the main thread runs the clipping tool's Separate on
//                     a 24-megapixel photo, letting the playback's ticks
//                     run only between the generations of the cut
// The playback runs on its own 10 ms timer with the program's monotonic
// clock; the pointer is a stand-in that notes when it was moved. Medians
// and worst of several runs, in milliseconds. Target: the move ends within
// 20 ms of its due time while Separate runs. Beside it, the longest time
// the main thread went without handling events during each Separate (a
// 1 ms timer's longest gap between two ticks): no piece of Separate's work
// on the main thread should hold it for much more than 10 ms.
#include "EditorScene.h"
#include "KvDemo.h"
#include "KvDemoInput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using photo_scene::Height;
using photo_scene::Width;
constexpr int Runs = 7;
constexpr qint64 MoveMilliseconds = 400; // 100 pixels at speed 5
const QPoint Start(100, 100);
const QPoint Target(200, 100);

// A pointer that notes the clock's time of each move.
class TTimedInput : public IKvDemoInput {
public:
    explicit TTimedInput(const IKvDemoClock& clock) : m_clock(clock) {}
    QPoint CursorPos() const override { return m_position; }
    // The first move is the move's start, the last its end (the eased
    // path may reach the target's pixel a little before its time).
    void SetCursorPos(const QPoint& position) override
    {
        if (m_first < 0)
            m_first = m_clock.Milliseconds();
        if (position == Target)
            m_arrived = m_clock.Milliseconds();
        m_position = position;
    }
    void Press(Qt::MouseButton) override {}
    void Release(Qt::MouseButton) override {}

    void Reset()
    {
        m_position = Start;
        m_first = m_arrived = -1;
    }
    // How late the move arrived, in milliseconds; -1 before it did.
    qint64 Lateness() const { return m_arrived < 0 ? -1 : m_arrived - (m_first + MoveMilliseconds); }

private:
    const IKvDemoClock& m_clock;
    QPoint m_position = Start;
    qint64 m_first = -1;
    qint64 m_arrived = -1;
};

struct TLateness {
    double Median = 0;
    double Worst = 0;
};

TLateness Summarize(std::vector<qint64> late)
{
    std::sort(late.begin(), late.end());
    return {double(late[late.size() / 2]), double(late.back())};
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication qtApplication(argc, argv);
    TEditorScene scene;
    if (!scene.Document)
        return 1;
    TKvGraphicsEditor* graphicsEditor = scene.Module->GraphicsEditor;
    TKvClippingTool* clippingTool = scene.Module->ClippingTool;

    TKvSteadyDemoClock clock;
    TTimedInput input(clock);
    TKvDemoPlayback playback(input, clock);
    TKvDemoScript script;
    script.LoadFromBytes("[Script]\nMouseMove 200, 100\n");
    playback.Assign(script);

    const auto playOnce = [&](const std::function<void()>& meanwhile) {
        input.Reset();
        playback.Play(0);
        if (meanwhile)
            meanwhile();
        while (playback.Playing())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return input.Lateness();
    };

    std::vector<qint64> idle;
    std::vector<qint64> busy;
    std::vector<qint64> stalls;
    double separateSeconds = 0;
    for (int run = 0; run < Runs; ++run) {
        idle.push_back(playOnce({}));
        scene.PaintBandInTool();
        QApplication::processEvents();
        busy.push_back(playOnce([&] {
            QElapsedTimer timer;
            timer.start();
            qint64 lastTick = 0;
            qint64 longestGap = 0;
            QTimer ticks;
            ticks.setTimerType(Qt::PreciseTimer);
            QObject::connect(&ticks, &QTimer::timeout, [&] {
                const qint64 now = timer.elapsed();
                longestGap = std::max(longestGap, now - lastTick);
                lastTick = now;
            });
            ticks.start(1);
            clippingTool->Separate();
            longestGap = std::max(longestGap, timer.elapsed() - lastTick);
            stalls.push_back(longestGap);
            separateSeconds += double(timer.nsecsElapsed()) * 1e-9 / Runs;
        }));
        graphicsEditor->Undo();
    }
    const TLateness idleLate = Summarize(idle);
    const TLateness busyLate = Summarize(busy);
    std::printf("A %lld ms pointer move, lateness of its end (%d runs)   median ms  worst ms\n",
                (long long)MoveMilliseconds, Runs);
    std::printf("  %-50s %9.0f %9.0f\n", "main thread idle", idleLate.Median, idleLate.Worst);
    char during[80];
    std::snprintf(during, sizeof during, "during Separate on %d x %d (%.1f s)", Width, Height, separateSeconds);
    std::printf("  %-50s %9.0f %9.0f   (target <= 20)\n", during, busyLate.Median, busyLate.Worst);
    const TLateness stall = Summarize(stalls);
    std::printf("  %-50s %9.0f %9.0f   (target about 10)\n", "longest main-thread stall during Separate",
                stall.Median, stall.Worst);

    return 0;
}
