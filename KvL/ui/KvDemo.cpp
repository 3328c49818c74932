#include "KvDemo.h"

#include "KvBalloon.h"
#include "KvDemoInput.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QToolTip>
#include <QVariant>
#include <QWidget>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

bool OnSomeScreen(const QPoint& point)
{
    return QGuiApplication::screenAt(point) != nullptr;
}

} // namespace

// ---------------------------------------------------------------------------
// Base action

TKvDemoScriptAction::TKvDemoScriptAction(TKvDemoPlayback& playback, const TKvCustomProperties& params)
    : m_playback(playback)
{
    m_params.Assign(&params);
}

TKvDemoScriptAction::~TKvDemoScriptAction() = default;

void TKvDemoScriptAction::Step()
{
    if (m_started)
        return;
    m_started = true;
    Init();
}

// ---------------------------------------------------------------------------
// Pointer moves

void TKvDemoScriptMouseToAction::Init()
{
    m_target = Playback().ResolveTarget(Params()).value_or(Playback().Position());
}

void TKvDemoScriptMouseToAction::Step()
{
    TKvDemoScriptAction::Step();
    Playback().SetPosition(m_target);
}

TKvDemoScriptMouseMoveAction::TKvDemoScriptMouseMoveAction(TKvDemoPlayback& playback,
                                                           const TKvCustomProperties& params, QPoint target)
    : TKvDemoScriptAction(playback, params), m_resolvedTarget(target)
{
}

void TKvDemoScriptMouseMoveAction::Init()
{
    m_start = Playback().Position();
    m_target = m_resolvedTarget ? *m_resolvedTarget : Playback().ResolveTarget(Params()).value_or(m_start);
    const double length = std::hypot(double(m_target.x() - m_start.x()), double(m_target.y() - m_start.y()));
    if (length == 0) {
        m_done = true;
        return;
    }
    m_lastTick = Playback().Now();
    m_elapsed = 0;
    m_duration = std::llround(length * 20 / Playback().MouseSpeed());
}

QPoint TKvDemoScriptMouseMoveAction::Offset(double t, int dx, int dy, int curvature)
{
    const double e = t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t);
    double ox = 0, oy = 0;
    if (curvature != 0 && dx != 0 && dy != 0) {
        const double length = std::hypot(double(dx), double(dy));
        const double a = std::min(std::abs(double(dx)), std::abs(double(dy))) / curvature;
        const double s = std::sin(std::numbers::pi * e) * a / length;
        ox = s * dy;
        oy = s * dx;
    }
    return QPoint(int(std::nearbyint(dx * e + ox)), int(std::nearbyint(dy * e + oy)));
}

void TKvDemoScriptMouseMoveAction::Step()
{
    TKvDemoScriptAction::Step();
    if (m_done) {
        Playback().SetPosition(m_target);
        return;
    }
    const qint64 delta = Playback().Now() - m_lastTick;
    const double t = m_duration > 0 ? double(m_elapsed + delta) / double(m_duration) : 1.0;
    if (t >= 1) {
        m_done = true;
        Playback().SetPosition(m_target);
        return;
    }
    const QPoint offset = Offset(t, m_target.x() - m_start.x(), m_target.y() - m_start.y(), m_curvature);
    Playback().SetPosition(m_start + offset);
    m_elapsed += delta;
    m_lastTick += delta;
}

void TKvDemoScriptMouseMoveAction::Resume()
{
    m_lastTick = Playback().Now();
}

TKvDemoScriptMouseCurvedMoveAction::TKvDemoScriptMouseCurvedMoveAction(TKvDemoPlayback& playback,
                                                                       const TKvCustomProperties& params)
    : TKvDemoScriptMouseMoveAction(playback, params)
{
    m_curvature = 3;
}

TKvDemoScriptMouseCurvedMoveAction::TKvDemoScriptMouseCurvedMoveAction(TKvDemoPlayback& playback,
                                                                       const TKvCustomProperties& params,
                                                                       QPoint target)
    : TKvDemoScriptMouseMoveAction(playback, params, target)
{
    m_curvature = 3;
}

// ---------------------------------------------------------------------------
// Waiting and balloons

TKvDemoScriptPauseAction::TKvDemoScriptPauseAction(TKvDemoPlayback& playback, const TKvCustomProperties& params,
                                                   int secondsIndex, qint64 defaultMilliseconds)
    : TKvDemoScriptAction(playback, params), m_secondsIndex(secondsIndex), m_duration(defaultMilliseconds)
{
}

void TKvDemoScriptPauseAction::Init()
{
    if (ScriptParamIsNumber(Params(), m_secondsIndex)) {
        const double seconds = Params().GetAsVariant(Params().IndexOf(m_secondsIndex)).toDouble();
        const double milliseconds = std::nearbyint(seconds * 1000);
        if (!std::isfinite(milliseconds) || milliseconds > double(MaxMilliseconds)) {
            m_duration = 0;
            Playback().Error(TKvDemoPlayback::InvalidArguments());
        } else {
            m_duration = std::max<qint64>(0, qint64(milliseconds));
        }
    }
    m_elapsed = 0;
    m_lastTick = Playback().Now();
}

void TKvDemoScriptPauseAction::Step()
{
    TKvDemoScriptAction::Step();
    if (IsDone())
        return;
    const qint64 now = Playback().Now();
    m_elapsed += now - m_lastTick;
    m_lastTick = now;
    Playback().HoldPointer();
}

void TKvDemoScriptPauseAction::Resume()
{
    m_lastTick = Playback().Now();
}

TKvDemoScriptBalloonAction::TKvDemoScriptBalloonAction(TKvDemoPlayback& playback, const TKvCustomProperties& params)
    : TKvDemoScriptPauseAction(playback, params, 1, 3000)
{
}

TKvDemoScriptBalloonAction::~TKvDemoScriptBalloonAction()
{
    Hide();
    delete m_balloon.data();
}

void TKvDemoScriptBalloonAction::Init()
{
    m_text = ScriptParamText(Params(), 0);
    if (m_text.size() > 1 && m_text.startsWith(QLatin1Char('%')))
        m_text = Playback().Script().LocalizedText(m_text.sliced(1).toUtf8());
    m_position = ScriptParamWholeNumber(Params(), 2).value_or(0);
    m_anchor = Playback().Position();
    TKvDemoScriptPauseAction::Init();
    // An empty text shows nothing, and a refused time ends the line.
    if (m_text.isEmpty() || IsDone()) {
        FinishAtOnce();
        return;
    }
    m_balloon = new TKvBalloon(Playback().MainWindow());
    Show();
}

void TKvDemoScriptBalloonAction::Show()
{
    if (m_shown || !m_balloon)
        return;
    Playback().SuppressHints(true);
    m_balloon->ShowBalloon(m_anchor, m_position, m_text);
    QGuiApplication::setOverrideCursor(Qt::BlankCursor);
    m_shown = true;
}

void TKvDemoScriptBalloonAction::Hide()
{
    if (!m_shown)
        return;
    m_shown = false;
    QGuiApplication::restoreOverrideCursor();
    if (m_balloon)
        m_balloon->HideBalloon();
    Playback().SuppressHints(false);
}

void TKvDemoScriptBalloonAction::Pause()
{
    Hide();
}

void TKvDemoScriptBalloonAction::Resume()
{
    TKvDemoScriptPauseAction::Resume();
    if (!IsDone())
        Show();
}

void TKvDemoScriptBalloonAction::Abort()
{
    Hide();
    FinishAtOnce();
}

// ---------------------------------------------------------------------------
// Buttons and speed

TKvDemoScriptButtonAction::TKvDemoScriptButtonAction(TKvDemoPlayback& playback, const TKvCustomProperties& params,
                                                     Qt::MouseButton button, bool down)
    : TKvDemoScriptAction(playback, params), m_button(button), m_down(down)
{
}

void TKvDemoScriptButtonAction::Init()
{
    if (m_down)
        Playback().PressButton(m_button);
    else
        Playback().ReleaseButton(m_button);
}

// A missing or non-numeric speed, and 0, change nothing; a speed outside
// 1..1000 is refused (a negative one would make a move last for days).
void TKvDemoScriptMouseSpeedAction::Init()
{
    if (!ScriptParamIsNumber(Params(), 0))
        return;
    const std::optional<qint32> speed = ScriptParamWholeNumber(Params(), 0);
    if (speed && *speed == 0)
        return;
    if (!speed || *speed < 1 || *speed > TKvDemoPlayback::MaxMouseSpeed) {
        Playback().Error(TKvDemoPlayback::InvalidArguments());
        return;
    }
    Playback().SetMouseSpeed(*speed);
}

// ---------------------------------------------------------------------------
// Macros

bool TKvDemoScriptMacroAction::IsDone() const
{
    return m_aborted || (Started() && m_current >= m_actions.size());
}

void TKvDemoScriptMacroAction::Step()
{
    TKvDemoScriptAction::Step();
    if (IsDone())
        return;
    TKvDemoScriptAction& current = *m_actions[m_current];
    current.Step();
    if (current.IsDone())
        ++m_current;
}

void TKvDemoScriptMacroAction::Resume()
{
    if (m_current < m_actions.size())
        m_actions[m_current]->Resume();
}

void TKvDemoScriptMacroAction::Abort()
{
    if (m_current < m_actions.size())
        m_actions[m_current]->Abort();
    m_aborted = true;
}

void TKvDemoScriptMacroAction::Add(std::unique_ptr<TKvDemoScriptAction> action)
{
    m_actions.push_back(std::move(action));
}

TKvDemoScriptClickAction::TKvDemoScriptClickAction(TKvDemoPlayback& playback, const TKvCustomProperties& params,
                                                   TKind kind)
    : TKvDemoScriptMacroAction(playback, params), m_kind(kind)
{
}

void TKvDemoScriptClickAction::Init()
{
    const std::optional<QPoint> target = Playback().ResolveTarget(Params());
    if (!target)
        return; // no move and, above all, no button where the pointer happens to be
    TKvDemoPlayback& playback = Playback();
    const auto button = [&](Qt::MouseButton which, bool down) {
        Add(std::make_unique<TKvDemoScriptButtonAction>(playback, Params(), which, down));
    };
    switch (m_kind) {
    case Click:
        Add(std::make_unique<TKvDemoScriptMouseMoveAction>(playback, Params(), *target));
        button(Qt::LeftButton, true);
        button(Qt::LeftButton, false);
        break;
    case Drag:
        button(Qt::LeftButton, true);
        Add(std::make_unique<TKvDemoScriptMouseCurvedMoveAction>(playback, Params(), *target));
        button(Qt::LeftButton, false);
        break;
    case DoubleClick:
        Add(std::make_unique<TKvDemoScriptMouseCurvedMoveAction>(playback, Params(), *target));
        button(Qt::LeftButton, true);
        button(Qt::LeftButton, false);
        button(Qt::LeftButton, true);
        button(Qt::LeftButton, false);
        break;
    case RightClick:
        Add(std::make_unique<TKvDemoScriptMouseCurvedMoveAction>(playback, Params(), *target));
        button(Qt::RightButton, true);
        button(Qt::RightButton, false);
        break;
    }
}

TKvDemoScriptUserAction::TKvDemoScriptUserAction(TKvDemoPlayback& playback, const TKvCustomProperties& params,
                                                 const QString& name)
    : TKvDemoScriptMacroAction(playback, params), m_name(name)
{
}

void TKvDemoScriptUserAction::Init()
{
    bool handled = false;
    try {
        if (Playback().OnUserCommand)
            Playback().OnUserCommand(m_name, handled, *this, Params());
    } catch (const EKvScriptError& error) {
        Playback().Error(error.Message());
        return;
    }
    if (!handled)
        Playback().Error(TKvDemoPlayback::UnknownCommand(m_name));
}

// ---------------------------------------------------------------------------
// Playback

TKvDemoPlayback::TKvDemoPlayback(IKvDemoInput& input, const IKvDemoClock& clock, QObject* parent)
    : QObject(parent), m_input(input), m_clock(clock)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(TickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!Tick())
            m_timer.stop();
    });
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(application, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) { ApplicationActivated(state == Qt::ApplicationActive); });
}

TKvDemoPlayback::~TKvDemoPlayback()
{
    m_action.reset();
    ReleaseHeldButtons();
    RemoveHandlers();
}

void TKvDemoPlayback::Assign(const TKvDemoScript& script)
{
    m_script = script;
}

QString TKvDemoPlayback::ScriptFolder() const
{
    return m_script.FileName().isEmpty() ? QString() : QFileInfo(m_script.FileName()).absolutePath();
}

bool TKvDemoPlayback::Play(int startLine)
{
    if (m_state == psPlaying || m_state == psPaused || m_state == psRecording)
        return false;
    bool cancel = false;
    if (OnBeforePlay)
        OnBeforePlay(cancel);
    if (cancel)
        return false;
    m_state = psPlaying;
    m_currentLine = std::max(0, startLine);
    m_action.reset();
    m_holds = 0;
    m_applicationActive = true;
    m_minimised = m_mainWindow && m_mainWindow->isMinimized();
    m_position = m_input.CursorPos();
    InstallHandlers();
    UpdatePause();
    m_timer.start();
    return true;
}

std::unique_ptr<TKvDemoScriptAction> TKvDemoPlayback::ActionForLine(int index)
{
    const TKvScriptLineParts parts = SplitScriptLine(m_script.Line(index));
    if (parts.Command.isEmpty())
        return nullptr;
    TKvProperties params;
    if (!ParseScriptArguments(parts.Arguments, params)) {
        Error(InvalidArguments());
        return nullptr;
    }
    return NewAction(parts.Command, params);
}

std::unique_ptr<TKvDemoScriptAction> TKvDemoPlayback::NewAction(const QString& command,
                                                                const TKvCustomProperties& params)
{
    using Click = TKvDemoScriptClickAction;
    const auto is = [&command](const char* word) { return command == QLatin1String(word); };
    if (is("PAUSE"))
        return std::make_unique<TKvDemoScriptPauseAction>(*this, params);
    if (is("MESSAGE"))
        return std::make_unique<TKvDemoScriptBalloonAction>(*this, params);
    if (is("MOUSETO"))
        return std::make_unique<TKvDemoScriptMouseToAction>(*this, params);
    if (is("MOUSEMOVE"))
        return std::make_unique<TKvDemoScriptMouseMoveAction>(*this, params);
    if (is("MOUSECURVEDMOVE"))
        return std::make_unique<TKvDemoScriptMouseCurvedMoveAction>(*this, params);
    if (is("MOUSECLICK") || is("MOUSELEFTCLICK"))
        return std::make_unique<Click>(*this, params, Click::Click);
    if (is("MOUSEDRAG") || is("MOUSEDRAGANDDROP"))
        return std::make_unique<Click>(*this, params, Click::Drag);
    if (is("MOUSEDBLCLICK") || is("MOUSELEFTDBLCLICK"))
        return std::make_unique<Click>(*this, params, Click::DoubleClick);
    if (is("MOUSERIGHTCLICK"))
        return std::make_unique<Click>(*this, params, Click::RightClick);
    if (is("MOUSEDOWN") || is("MOUSELEFTDOWN"))
        return std::make_unique<TKvDemoScriptButtonAction>(*this, params, Qt::LeftButton, true);
    if (is("MOUSEUP") || is("MOUSELEFTUP"))
        return std::make_unique<TKvDemoScriptButtonAction>(*this, params, Qt::LeftButton, false);
    if (is("MOUSERIGHTDOWN"))
        return std::make_unique<TKvDemoScriptButtonAction>(*this, params, Qt::RightButton, true);
    if (is("MOUSERIGHTUP"))
        return std::make_unique<TKvDemoScriptButtonAction>(*this, params, Qt::RightButton, false);
    if (is("MOUSESPEED"))
        return std::make_unique<TKvDemoScriptMouseSpeedAction>(*this, params);
    return std::make_unique<TKvDemoScriptUserAction>(*this, params, command);
}

bool TKvDemoPlayback::Tick()
{
    if (m_inTick)
        return Playing();
    m_inTick = true;
    if (m_state == psPlaying) {
        if (!m_action) {
            if (m_currentLine < m_script.LineCount())
                m_action = ActionForLine(m_currentLine);
            else
                Finish();
        }
        if (m_action) {
            m_action->Step();
            if (m_action->IsDone())
                m_action.reset();
        }
        if (!m_action)
            ++m_currentLine;
    }
    if (m_state == psStopped || m_state == psIdle) {
        m_action.reset();
        RemoveHandlers();
    }
    m_inTick = false;
    return Playing();
}

void TKvDemoPlayback::Finish()
{
    m_state = psIdle;
    ReleaseHeldButtons();
    RemoveHandlers();
    emit Ended();
    if (OnFinished)
        OnFinished();
}

// ---------------------------------------------------------------------------
// Waiting, stopping, errors

bool TKvDemoPlayback::ShouldWait() const
{
    return m_holds > 0 || !m_applicationActive || m_minimised;
}

void TKvDemoPlayback::UpdatePause()
{
    if (m_state == psPlaying && ShouldWait()) {
        if (m_action)
            m_action->Pause();
        m_state = psPaused;
        if (OnPause)
            OnPause();
    } else if (m_state == psPaused && !ShouldWait()) {
        if (OnResume)
            OnResume();
        if (m_action)
            m_action->Resume();
        m_state = psPlaying;
    }
}

void TKvDemoPlayback::Pause()
{
    ++m_holds;
    UpdatePause();
}

void TKvDemoPlayback::Resume()
{
    if (m_holds > 0)
        --m_holds;
    UpdatePause();
}

void TKvDemoPlayback::ApplicationActivated(bool active)
{
    m_applicationActive = active;
    UpdatePause();
}

void TKvDemoPlayback::MainWindowMinimised(bool minimised)
{
    m_minimised = minimised;
    UpdatePause();
}

void TKvDemoPlayback::RequestStop()
{
    if (!Playing())
        return;
    Pause();
    bool stop = true;
    if (OnQueryStop)
        OnQueryStop(stop);
    if (stop && Playing())
        StopNow();
    else
        Resume();
}

void TKvDemoPlayback::Stop()
{
    if (Playing())
        StopNow();
}

void TKvDemoPlayback::Error(const QString& message)
{
    if (!Playing())
        return;
    Pause();
    bool stop = true;
    if (OnError)
        OnError(message, stop, m_script.Line(m_currentLine));
    if (stop && Playing())
        StopNow();
    else
        Resume();
}

// The action is only aborted here: the tick that is running it (if any)
// frees it once its step has returned.
void TKvDemoPlayback::StopNow()
{
    if (m_action)
        m_action->Abort();
    ReleaseHeldButtons();
    m_state = psStopped;
    m_holds = 0;
    emit Ended();
    if (OnStopped)
        OnStopped();
}

// ---------------------------------------------------------------------------
// Pointer and buttons

void TKvDemoPlayback::SetMouseSpeed(int speed)
{
    if (speed >= 1 && speed <= MaxMouseSpeed)
        m_mouseSpeed = speed;
}

void TKvDemoPlayback::SetPosition(const QPoint& position)
{
    m_position = position;
    m_input.SetCursorPos(position);
}

void TKvDemoPlayback::HoldPointer()
{
    if (m_input.CursorPos() != m_position)
        m_input.SetCursorPos(m_position);
}

void TKvDemoPlayback::PressButton(Qt::MouseButton button)
{
    m_heldButtons |= button;
    m_input.Press(button);
}

void TKvDemoPlayback::ReleaseButton(Qt::MouseButton button)
{
    m_heldButtons &= ~button;
    m_input.Release(button);
}

// A button the script pressed goes up where the playback put the pointer.
void TKvDemoPlayback::ReleaseHeldButtons()
{
    if (!m_heldButtons)
        return;
    HoldPointer();
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton})
        if (m_heldButtons & button)
            ReleaseButton(button);
}

namespace {

// While a modal window is open, a click elsewhere reaches nothing: a named
// target outside it is as good as missing.
bool BehindAModalWindow(const QPoint& point)
{
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && !modal->frameGeometry().contains(point);
}

} // namespace

std::optional<QPoint> TKvDemoPlayback::ResolveTarget(const TKvCustomProperties& params)
{
    if (params.Count() == 0)
        return m_position;
    std::optional<QPoint> target;
    if (ScriptParamIsNumber(params, 0) && ScriptParamIsNumber(params, 1)) {
        const std::optional<qint32> x = ScriptParamWholeNumber(params, 0);
        const std::optional<qint32> y = ScriptParamWholeNumber(params, 1);
        if (x && y)
            target = QPoint(*x, *y);
    } else if (OnGetTargetPoint) {
        bool found = false;
        QPoint point;
        OnGetTargetPoint(params, found, point);
        if (found && !BehindAModalWindow(point))
            target = point;
    }
    if (!target || !OnSomeScreen(*target)) {
        Error(InvalidArguments());
        return std::nullopt;
    }
    return target;
}

void TKvDemoPlayback::SuppressHints(bool suppress)
{
    m_hintSuppressions = std::max(0, m_hintSuppressions + (suppress ? 1 : -1));
    if (m_hintSuppressions > 0)
        QToolTip::hideText();
}

// ---------------------------------------------------------------------------
// Application handlers: Escape, minimising, tooltips

void TKvDemoPlayback::InstallHandlers()
{
    if (m_handlersInstalled)
        return;
    QCoreApplication::instance()->installEventFilter(this);
    m_handlersInstalled = true;
}

void TKvDemoPlayback::RemoveHandlers()
{
    if (!m_handlersInstalled)
        return;
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
    m_handlersInstalled = false;
}

bool TKvDemoPlayback::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // Escape stops a playback that runs or waits for the program; a
        // question being shown (a hold) takes its own Escape.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape || !Playing() || m_holds > 0)
            break;
        if (event->type() == QEvent::KeyPress && !key->isAutoRepeat())
            RequestStop();
        return true;
    }
    case QEvent::WindowStateChange:
        if (watched == m_mainWindow)
            MainWindowMinimised(m_mainWindow->isMinimized());
        break;
    case QEvent::ToolTip:
        if (m_hintSuppressions > 0)
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Recording

bool TKvDemoPlayback::BeginRecording(int index)
{
    if (m_state == psPlaying || m_state == psPaused || m_state == psRecording)
        return false;
    const int count = m_script.LineCount();
    m_recordIndex = index < 0 || index > count ? count : index;
    m_state = psRecording;
    if (OnStartRecording)
        OnStartRecording();
    return true;
}

void TKvDemoPlayback::EndRecording()
{
    if (m_state != psRecording)
        return;
    if (OnStopRecording)
        OnStopRecording();
    m_state = psStopped;
}

void TKvDemoPlayback::RecordLine(const QString& line)
{
    if (m_state != psRecording)
        return;
    m_script.InsertLine(m_recordIndex, line);
    if (OnRecordLine)
        OnRecordLine(m_recordIndex, line);
    ++m_recordIndex;
}
