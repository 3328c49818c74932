// Demonstration playback: runs the lines of a demonstration script against
// the live program, as a person would work it. Each line becomes an action
// that advances in small time steps on the main thread: the pointer glides
// to its target on an eased straight or curved path, buttons go down and
// up, balloons explain, named commands run. Playback waits while the
// program is inactive or minimised, stops on Escape after asking, reports
// a failing line, and never leaves a button it pressed held down. The
// same object records: while recording, the program's modules insert the
// lines that describe what the user does.
//
// Time comes from a clock the caller gives (tests pass one they move by
// hand) and the pointer and buttons from an input (the real pointer, or
// posted Qt events, or a test's stand-in). The demonstration module owns
// the program's one playback and resolves names and user commands for it.
#pragma once

#include "KvBalloon.h"
#include "KvDemoScript.h"
#include "KvProperties.h"
#include "KvScriptClient.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IKvDemoInput;
class QWidget;
class TKvDemoPlayback;

// Milliseconds of a monotonic clock.
class IKvDemoClock {
public:
    virtual ~IKvDemoClock() = default;
    virtual qint64 Milliseconds() const = 0;
};

// The program's monotonic clock.
class TKvSteadyDemoClock : public IKvDemoClock {
public:
    TKvSteadyDemoClock() { m_timer.start(); }
    qint64 Milliseconds() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer;
};

// ---------------------------------------------------------------------------
// Actions

// What one script line does. Step runs Init on the first call; the
// playback steps the action once per tick until IsDone.
class TKvDemoScriptAction {
public:
    TKvDemoScriptAction(TKvDemoPlayback& playback, const TKvCustomProperties& params);
    virtual ~TKvDemoScriptAction();
    TKvDemoScriptAction(const TKvDemoScriptAction&) = delete;
    TKvDemoScriptAction& operator=(const TKvDemoScriptAction&) = delete;

    virtual void Init() {}
    virtual bool IsDone() const { return true; }
    virtual void Step();
    virtual void Pause() {}
    virtual void Resume() {}
    virtual void Abort() {}

    bool Started() const { return m_started; }
    // The playback running the action.
    TKvDemoPlayback& Playback() const { return m_playback; }

protected:
    const TKvCustomProperties& Params() const { return m_params; }

private:
    bool m_started = false;
    TKvDemoPlayback& m_playback;
    TKvProperties m_params;
};

// MOUSETO: the pointer on the target at once.
class TKvDemoScriptMouseToAction : public TKvDemoScriptAction {
public:
    using TKvDemoScriptAction::TKvDemoScriptAction;
    void Init() override;
    void Step() override;

private:
    QPoint m_target;
};

// MOUSEMOVE: the pointer to the target on a straight line, eased in and
// out; its time is the distance × 20 / the mouse speed.
class TKvDemoScriptMouseMoveAction : public TKvDemoScriptAction {
public:
    using TKvDemoScriptAction::TKvDemoScriptAction;
    // A move to a target resolved already (the moves inside a click).
    TKvDemoScriptMouseMoveAction(TKvDemoPlayback& playback, const TKvCustomProperties& params, QPoint target);

    void Init() override;
    bool IsDone() const override { return m_done; }
    void Step() override;
    void Resume() override;

    // The position at the fraction t (0..1) of the time of a move by
    // (dx, dy) with the given curvature, relative to its start.
    static QPoint Offset(double t, int dx, int dy, int curvature);

protected:
    int m_curvature = 0;

private:
    std::optional<QPoint> m_resolvedTarget;
    QPoint m_start;
    QPoint m_target;
    qint64 m_duration = 0;
    qint64 m_elapsed = 0;
    qint64 m_lastTick = 0;
    bool m_done = false;
};

// MOUSECURVEDMOVE: the same on a bow.
class TKvDemoScriptMouseCurvedMoveAction : public TKvDemoScriptMouseMoveAction {
public:
    TKvDemoScriptMouseCurvedMoveAction(TKvDemoPlayback& playback, const TKvCustomProperties& params);
    TKvDemoScriptMouseCurvedMoveAction(TKvDemoPlayback& playback, const TKvCustomProperties& params, QPoint target);
};

// PAUSE: waits, holding the pointer on the playback position.
class TKvDemoScriptPauseAction : public TKvDemoScriptAction {
public:
    // The seconds are the argument at secondsIndex; without one, the wait
    // is defaultMilliseconds.
    TKvDemoScriptPauseAction(TKvDemoPlayback& playback, const TKvCustomProperties& params, int secondsIndex = 0,
                             qint64 defaultMilliseconds = 1000);

    void Init() override;
    bool IsDone() const override { return m_elapsed >= m_duration; }
    void Step() override;
    void Resume() override;

    // Waits longer than this are refused.
    static constexpr qint64 MaxMilliseconds = 3600 * 1000;

protected:
    void FinishAtOnce() { m_elapsed = m_duration; }

private:
    int m_secondsIndex;
    qint64 m_duration;
    qint64 m_elapsed = 0;
    qint64 m_lastTick = 0;
};

// MESSAGE: a balloon at the playback position for a while, the pointer
// hidden meanwhile.
class TKvDemoScriptBalloonAction : public TKvDemoScriptPauseAction {
public:
    TKvDemoScriptBalloonAction(TKvDemoPlayback& playback, const TKvCustomProperties& params);
    ~TKvDemoScriptBalloonAction() override;

    void Init() override;
    void Pause() override;
    void Resume() override;
    void Abort() override;

    TKvBalloon* Balloon() const { return m_balloon.data(); }

private:
    void Show();
    void Hide();

    QString m_text;
    QPoint m_anchor;
    int m_position = 0;
    QPointer<TKvBalloon> m_balloon;
    bool m_shown = false;
};

// MOUSEDOWN and its kin: one button event where the pointer is.
class TKvDemoScriptButtonAction : public TKvDemoScriptAction {
public:
    TKvDemoScriptButtonAction(TKvDemoPlayback& playback, const TKvCustomProperties& params, Qt::MouseButton button,
                              bool down);
    void Init() override;

private:
    Qt::MouseButton m_button;
    bool m_down;
};

// MOUSESPEED.
class TKvDemoScriptMouseSpeedAction : public TKvDemoScriptAction {
public:
    using TKvDemoScriptAction::TKvDemoScriptAction;
    void Init() override;
};

// Actions run one after the other, each taking at least one tick.
class TKvDemoScriptMacroAction : public TKvDemoScriptAction {
public:
    using TKvDemoScriptAction::TKvDemoScriptAction;

    bool IsDone() const override;
    void Step() override;
    void Resume() override;
    void Abort() override;

    // Appends an action that runs after those before it.
    void Add(std::unique_ptr<TKvDemoScriptAction> action);
    int Count() const { return int(m_actions.size()); }

private:
    std::vector<std::unique_ptr<TKvDemoScriptAction>> m_actions;
    size_t m_current = 0;
    bool m_aborted = false;
};

// MOUSECLICK, MOUSEDRAG, MOUSEDBLCLICK, MOUSERIGHTCLICK: the target is
// found first; when it cannot be, no button is pressed.
class TKvDemoScriptClickAction : public TKvDemoScriptMacroAction {
public:
    enum TKind { Click, Drag, DoubleClick, RightClick };
    TKvDemoScriptClickAction(TKvDemoPlayback& playback, const TKvCustomProperties& params, TKind kind);
    void Init() override;

private:
    TKind m_kind;
};

// A command word that is not built in: the module's registry or a script
// client carries it out, and may append actions that run before the next
// line.
class TKvDemoScriptUserAction : public TKvDemoScriptMacroAction {
public:
    TKvDemoScriptUserAction(TKvDemoPlayback& playback, const TKvCustomProperties& params, const QString& name);
    void Init() override;
    QString Name() const { return m_name; }

private:
    QString m_name;
};

// ---------------------------------------------------------------------------
// Playback

class TKvDemoPlayback : public QObject, public IKvScriptRecorder {
    Q_OBJECT
public:
    enum TState { psIdle, psPlaying, psPaused, psStopped, psRecording };

    static constexpr int TickMilliseconds = 10;
    static constexpr int DefaultMouseSpeed = 5;
    static constexpr int MaxMouseSpeed = 1000;

    TKvDemoPlayback(IKvDemoInput& input, const IKvDemoClock& clock, QObject* parent = nullptr);
    // A button still held is released.
    ~TKvDemoPlayback() override;

    // Copies the script to play or record into.
    void Assign(const TKvDemoScript& script);
    const TKvDemoScript& Script() const { return m_script; }

    // Starts at the line; refused (false) while playing, paused or
    // recording, or when OnBeforePlay cancels.
    bool Play(int startLine = 0);
    // Asks OnQueryStop (while playing or paused) and stops when it agrees.
    void RequestStop();
    // Stops at once without asking (while playing or paused): the program
    // is closing.
    void Stop();
    // A hold on the playback (a question is shown, for example): it waits
    // until every hold is released.
    void Pause();
    void Resume();
    // Whether the program is active and not minimised; playback waits
    // while it is not. The playback follows the application's state by
    // itself; these are the same notices for tests.
    void ApplicationActivated(bool active);
    void MainWindowMinimised(bool minimised);
    // The main window, whose minimising pauses the playback and which
    // owns the balloons.
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }
    QWidget* MainWindow() const { return m_mainWindow; }

    bool Playing() const { return m_state == psPlaying || m_state == psPaused; }
    bool Recording() const { return m_state == psRecording; }
    TState State() const { return m_state; }
    int CurrentLine() const { return m_currentLine; }
    // The action of the current line, if any.
    TKvDemoScriptAction* CurrentAction() const { return m_action.get(); }

    // Recording: lines go in at the index (at the end when negative or
    // beyond it).
    bool BeginRecording(int index);
    void EndRecording();
    void RecordLine(const QString& line) override;
    bool RecordMessages() const override { return m_recordMessages; }
    void SetRecordMessages(bool record) { m_recordMessages = record; }
    QString ClickMessage() const override { return m_clickMessage; }
    void SetClickMessage(const QString& message) { m_clickMessage = message; }
    int RecordIndex() const { return m_recordIndex; }

    int MouseSpeed() const { return m_mouseSpeed; }
    // 1..MaxMouseSpeed; other values are ignored.
    void SetMouseSpeed(int speed);
    // Where the playback last put the pointer; setting it moves the
    // pointer.
    QPoint Position() const { return m_position; }
    void SetPosition(const QPoint& position);

    // One step of the playback; false once it has nothing more to do.
    // The playback's timer calls it; tests call it themselves. A call made
    // while one is running (from a dialog a command opened) does nothing.
    bool Tick();

    // Events; each optional.
    std::function<void(bool& cancel)> OnBeforePlay;
    std::function<void()> OnPause;
    std::function<void()> OnResume;
    std::function<void(const QString& message, bool& stop, const QString& line)> OnError;
    std::function<void(bool& stop)> OnQueryStop;
    std::function<void()> OnFinished;
    // Stopped by a request or an error (after OnQueryStop or OnError).
    std::function<void()> OnStopped;
    std::function<void(const TKvCustomProperties& params, bool& found, QPoint& point)> OnGetTargetPoint;
    std::function<void(const QString& name, bool& handled, TKvDemoScriptUserAction& action,
                       const TKvCustomProperties& params)>
        OnUserCommand;
    std::function<void()> OnStartRecording;
    std::function<void()> OnStopRecording;
    std::function<void(int index, const QString& line)> OnRecordLine;

    // ---- for the actions
    // Reports the current line's error; playback stops unless OnError says
    // to go on.
    void Error(const QString& message);
    // The target the arguments name (nothing: the playback position); none
    // after reporting "Invalid arguments." when nothing knows it or it
    // lies off every screen.
    std::optional<QPoint> ResolveTarget(const TKvCustomProperties& params);
    qint64 Now() const { return m_clock.Milliseconds(); }
    // Puts the pointer back on the playback position.
    void HoldPointer();
    void PressButton(Qt::MouseButton button);
    void ReleaseButton(Qt::MouseButton button);
    bool ButtonHeld(Qt::MouseButton button) const { return m_heldButtons & button; }
    // Tooltips of the program are off while any balloon is shown.
    void SuppressHints(bool suppress);
    // The folder of the script being played (where its pictures are).
    QString ScriptFolder() const;

    static QString InvalidArguments() { return QStringLiteral("Invalid arguments."); }
    static QString UnknownCommand(const QString& name) { return QStringLiteral("Unknown command: \"%1\"").arg(name); }

signals:
    // A play came to its end in any way: the last line completed, an
    // error, a stop. Sent before OnFinished or OnStopped, to tidy up after
    // a demonstration whoever handles those events.
    void Ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<TKvDemoScriptAction> ActionForLine(int index);
    std::unique_ptr<TKvDemoScriptAction> NewAction(const QString& command, const TKvCustomProperties& params);
    bool ShouldWait() const;
    void UpdatePause();
    void StopNow();
    void Finish();
    void ReleaseHeldButtons();
    void InstallHandlers();
    void RemoveHandlers();

    IKvDemoInput& m_input;
    const IKvDemoClock& m_clock;
    TKvDemoScript m_script;
    int m_currentLine = 0;
    int m_recordIndex = 0;
    TState m_state = psIdle;
    std::unique_ptr<TKvDemoScriptAction> m_action;
    int m_mouseSpeed = DefaultMouseSpeed;
    QPoint m_position;
    Qt::MouseButtons m_heldButtons;
    bool m_recordMessages = true;
    QString m_clickMessage = QStringLiteral("Click");
    int m_holds = 0;
    bool m_applicationActive = true;
    bool m_minimised = false;
    int m_hintSuppressions = 0;
    bool m_handlersInstalled = false;
    bool m_inTick = false;
    QPointer<QWidget> m_mainWindow;
    QTimer m_timer;
};
