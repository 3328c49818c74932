#include "KvDemonstration.h"

#include "KvDemoInput.h"
#include "KvForms.h"
#include "KvLocalizer.h"
#include "KvScriptClient.h"
#include "KvShell.h"

#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMainWindow>
#include <QShortcut>

namespace {

constexpr unsigned MbYesNoQuestion = 4 + 32;
constexpr unsigned MbError = 16;
constexpr unsigned MbInformation = 64;

QString Caption()
{
    return LocalStr(37, QStringLiteral("Demonstrations"));
}

} // namespace

TKvDemonstrationModule::TKvDemonstrationModule(IKvShell* shell)
    : m_ownInput(CreateDemoInput()), m_ownClock(std::make_unique<TKvSteadyDemoClock>()),
      m_playback(std::make_unique<TKvDemoPlayback>(*m_ownInput, *m_ownClock))
{
    Attach(shell);
}

TKvDemonstrationModule::TKvDemonstrationModule(IKvShell* shell, IKvDemoInput& input, const IKvDemoClock& clock)
    : m_playback(std::make_unique<TKvDemoPlayback>(input, clock))
{
    Attach(shell);
}

// The playback goes first: it releases a button it holds through the input.
TKvDemonstrationModule::~TKvDemonstrationModule()
{
    m_playback.reset();
}

void TKvDemonstrationModule::Attach(IKvShell* shell)
{
    setObjectName(QStringLiteral("DemonstrationModule"));
    TKvDemoPlayback& playback = *m_playback;
    playback.OnGetTargetPoint = [this](const TKvCustomProperties& params, bool& found, QPoint& point) {
        FindTarget(params, found, point);
    };
    playback.OnUserCommand = [this](const QString& name, bool& handled, TKvDemoScriptUserAction& action,
                                    const TKvCustomProperties& params) {
        RunUserCommand(name, handled, action, params);
    };
    playback.OnQueryStop = [this](bool& stop) { AskToStop(stop); };
    playback.OnError = [this](const QString& message, bool& stop, const QString& line) {
        ShowError(message, stop, line);
    };
    playback.OnFinished = [this] { ShowFinished(); };
    playback.OnStartRecording = [this] { StartRecording(); };
    playback.OnStopRecording = [this] { StopRecording(); };
    if (!shell)
        return;
    playback.SetMainWindow(shell->Window());
    // A hidden menu item's shortcut never fires; a shortcut of the whole
    // application does, in every window of the program.
    m_demoEditorShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D), shell->Window());
    m_demoEditorShortcut->setObjectName(QStringLiteral("DemoEditorShortcut"));
    m_demoEditorShortcut->setContext(Qt::ApplicationShortcut);
    connect(m_demoEditorShortcut, &QShortcut::activated, this, &TKvDemonstrationModule::DemoEditorRequested);
}

std::vector<IKvScriptClient*> TKvDemonstrationModule::ScriptClients()
{
    std::vector<IKvScriptClient*> clients;
    if (!KvApplication)
        return clients;
    for (int i = 0; i < KvApplication->ComponentCount(); ++i)
        if (auto* client = dynamic_cast<IKvScriptClient*>(KvApplication->Components(i)))
            clients.push_back(client);
    return clients;
}

void TKvDemonstrationModule::FindTarget(const TKvCustomProperties& params, bool& found, QPoint& point)
{
    if (const std::optional<QPoint> target = m_registry.ControlTarget(ScriptParamText(params, 0))) {
        point = *target;
        found = true;
        return;
    }
    for (IKvScriptClient* client : ScriptClients()) {
        client->GetScriptTarget(params, found, point);
        if (found)
            return;
    }
}

void TKvDemonstrationModule::RunUserCommand(const QString& name, bool& handled, TKvDemoScriptUserAction& action,
                                            const TKvCustomProperties& params)
{
    // Handlers may append actions to the line's action while it runs.
    struct TRunning {
        TKvDemoRegistry& Registry;
        TKvDemoScriptUserAction* Previous;
        ~TRunning() { Registry.SetRunningCommand(Previous); }
    } running{m_registry, m_registry.RunningCommand()};
    m_registry.SetRunningCommand(&action);
    if (m_registry.RunCommand(name, params)) {
        handled = true;
        return;
    }
    for (IKvScriptClient* client : ScriptClients()) {
        client->ExecuteScriptCommand(name, handled, params);
        if (handled)
            return;
    }
}

void TKvDemonstrationModule::AskToStop(bool& stop)
{
    stop = KvApplication && KvApplication->MessageBox(LocalStr(172), Caption(), MbYesNoQuestion) == idYes;
}

void TKvDemonstrationModule::ShowError(const QString& message, bool& stop, const QString& line)
{
    stop = true;
    if (KvApplication)
        KvApplication->MessageBox(message + QLatin1Char('\n') + line, Caption(), MbError);
}

void TKvDemonstrationModule::ShowFinished()
{
    if (KvApplication)
        KvApplication->MessageBox(LocalStr(725), Caption(), MbInformation);
}

void TKvDemonstrationModule::StartRecording()
{
    for (IKvScriptClient* client : ScriptClients())
        client->StartRecording(m_playback.get());
}

void TKvDemonstrationModule::StopRecording()
{
    for (IKvScriptClient* client : ScriptClients())
        client->StopRecording();
}

bool TKvDemonstrationModule::PlayScript(const TKvDemoScript& script)
{
    if (m_playback->Playing() || m_playback->Recording())
        return false;
    m_playback->Assign(script);
    return m_playback->Play(0);
}

bool TKvDemonstrationModule::PlayDemo(const QString& name)
{
    const QString path = QDir(DemoFolder).filePath(name + QStringLiteral(".dsc"));
    TKvDemoScript script;
    return QFileInfo(path).isFile() && script.LoadFromFile(path) && PlayScript(script);
}

void TKvDemonstrationModule::RecordDemoLine(const QString& line)
{
    if (m_playback->Recording())
        m_playback->RecordLine(line);
}

void TKvDemonstrationModule::RecordDemoMove(const QString& target)
{
    RecordDemoLine(QStringLiteral("MouseCurvedMove ") + target);
}

void TKvDemonstrationModule::RecordDemoCommand(const QString& name, const QString& argument)
{
    RecordDemoMove(name);
    RecordDemoLine(argument.isEmpty() ? name : name + QLatin1Char(' ') + argument);
}
