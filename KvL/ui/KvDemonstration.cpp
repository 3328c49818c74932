#include "KvDemonstration.h"

#include "KvDemoInput.h"
#include "KvDemonstrationForm.h"
#include "KvForms.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsTool.h"
#include "KvLocalizer.h"
#include "KvSDF.h"
#include "KvScriptClient.h"
#include "KvShell.h"
#include "KvToolPanel.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QShortcut>

namespace {

constexpr unsigned MbYesNoQuestion = 4 + 32;
constexpr unsigned MbError = 16;
constexpr unsigned MbInformation = 64;

QString Caption()
{
    return LocalStr(37, QStringLiteral("Demonstrations"));
}

constexpr quint32 ShowAtStartupElement = 1;

// Whether the main window shows the document's picture.
enum TPreparation : int { NeedsNothing = 0, ClosesPicture = 1, Maximises = 2 };

} // namespace

const QUuid TKvDemonstrationModule::SettingsGuid{QStringLiteral("{2032DB53-FE8E-4FB8-8457-43C5430C9D6B}")};

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
    playback.OnBeforePlay = [this](bool& cancel) { BeforePlay(cancel); };
    playback.OnQueryStop = [this](bool& stop) { AskToStop(stop); };
    playback.OnError = [this](const QString& message, bool& stop, const QString& line) {
        ShowError(message, stop, line);
    };
    playback.OnFinished = [this] { ShowFinished(); };
    playback.OnStopped = [this] { ReopenListLater(); };
    playback.OnStartRecording = [this] { StartRecording(); };
    playback.OnStopRecording = [this] { StopRecording(); };
    connect(&playback, &TKvDemoPlayback::Ended, this, &TKvDemonstrationModule::DemoEnded);
    m_shell = shell;
    if (!shell)
        return;
    playback.SetMainWindow(shell->Window());
    QMenu* help = shell->Items().HelpMenuItem;
    DemoMenuItem = shell->AddMenuItem(Caption(), QKeySequence(), TKvMethod(this, &TKvDemonstrationModule::ShowDemonstrations),
                                      -1, nullptr, help ? help->menuAction() : nullptr);
    DemoMenuItem->setObjectName(QStringLiteral("DemoMenuItem"));
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
    ReopenListLater();
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

// ---------------------------------------------------------------------------
// The Demonstrations entry and its settings

void TKvDemonstrationModule::SetEditor(TKvGraphicsEditor* editor)
{
    m_editor = editor;
    TKvFormOf<QMainWindow>* window = editor ? editor->MainWindow() : nullptr;
    if (!window)
        return;
    // Closing the window while a demonstration runs stops it without the
    // stop question; the window's own question (saving) follows.
    window->OnCloseQuery = [this, previous = window->OnCloseQuery](QObject* sender, bool& canClose) {
        MainFormCloseQuery(sender, canClose);
        if (canClose && previous)
            previous(sender, canClose);
    };
}

void TKvDemonstrationModule::MainFormCloseQuery(QObject*, bool&)
{
    if (!m_playback->Playing())
        return;
    m_backToList = false;
    m_playback->Stop();
}

void TKvDemonstrationModule::Localize()
{
    if (DemoMenuItem)
        DemoMenuItem->setText(Caption());
}

void TKvDemonstrationModule::UpdateControls()
{
    if (DemoMenuItem)
        DemoMenuItem->setEnabled(!m_playback->Playing());
}

void TKvDemonstrationModule::LoadSettings(TKvSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid))
        return;
    bool show = ShowAtStartup;
    if (reader.ReadBoolean(ShowAtStartupElement, show))
        ShowAtStartup = show;
    reader.LeaveNode();
}

void TKvDemonstrationModule::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.WriteBoolean(ShowAtStartupElement, ShowAtStartup);
    writer.EndNode();
}

void TKvDemonstrationModule::Initialize()
{
    if (ShowAtStartup && !m_commandLineRun && KvApplication)
        KvApplication->PostCall(TKvMethod(this, &TKvDemonstrationModule::ShowDemonstrations), this);
    TKvModuleWithControls::Initialize();
}

// ---------------------------------------------------------------------------
// The list

void TKvDemonstrationModule::ShowDemonstrations()
{
    if (m_playback->Playing() || m_playback->Recording())
        return;
    QWidget* owner = m_shell ? m_shell->Window() : nullptr;
    TKvDemonstrationForm* form = NewInitialized<TKvDemonstrationForm>(DemoFolder, LastIndex, ShowAtStartup, owner);
    const bool confirmed = form->exec() == QDialog::Accepted;
    ShowAtStartup = form->ShowAtStartup();
    if (form->SelectedIndex() >= 0)
        LastIndex = form->SelectedIndex();
    const TKvDemoScript* chosen = confirmed ? form->SelectedScript() : nullptr;
    if (chosen) {
        if (m_toolPanel)
            m_toolPanel->SetPanelVisible(true);
        if (PlayScript(*chosen)) {
            ++LastIndex;
            m_backToList = true;
        }
    }
    delete form;
}

void TKvDemonstrationModule::ReopenListLater()
{
    if (!m_backToList)
        return;
    m_backToList = false;
    if (KvApplication)
        KvApplication->PostCall(TKvMethod(this, &TKvDemonstrationModule::ShowDemonstrations), this);
}

// ---------------------------------------------------------------------------
// Before and after a demonstration

void TKvDemonstrationModule::BeforePlay(bool& cancel)
{
    if (!m_commandLineRun && m_editor) {
        // A picture an earlier demonstration opened goes without a question.
        if (TKvDocument* document = m_editor->ActiveDocument(); document && document->NoSavePrompt())
            document->CloseQuery();
        int need = NeedsNothing;
        if (CloseDocument && m_editor->ActiveDocument())
            need |= ClosesPicture;
        QMainWindow* window = m_editor->MainWindow();
        if (Maximise && window && !window->isMaximized())
            need |= Maximises;
        if (need != NeedsNothing) {
            const int question = need == ClosesPicture ? 173 : need == Maximises ? 174 : 175;
            if (!KvApplication || KvApplication->MessageBox(LocalStr(question), Caption(), MbYesNoQuestion) != idYes) {
                cancel = true;
                return;
            }
        }
        if ((need & ClosesPicture) && !CloseOpenPicture()) {
            cancel = true;
            return;
        }
        if ((need & Maximises) && window)
            window->showMaximized();
    }
    if (KvApplication) {
        const QString title = KvApplication->Title();
        m_savedTitle = title;
        KvApplication->SetTitle(title + QStringLiteral(" - ") + m_playback->Script().Title());
    }
}

// A plug-in edit's picture is kept in memory, not written to the host's
// file; any other picture is closed as the user closes it (asking to save).
bool TKvDemonstrationModule::CloseOpenPicture()
{
    while (TKvDocument* document = m_editor->ActiveDocument()) {
        if (m_editor->PluginMode() && !m_keptPicture.Holds()) {
            auto* graphics = static_cast<TKvGraphicsDocument*>(document);
            graphics->CommitOrCancelOpenChanges();
            if (!m_keptPicture.Keep(*graphics))
                return false;
            document->SetNoSavePrompt(true);
        }
        if (!document->CloseQuery())
            return false;
    }
    return true;
}

void TKvDemonstrationModule::DemoEnded()
{
    if (m_editor) {
        if (TKvGraphicsTool* tool = m_editor->ActiveTool())
            if (TKvGraphicsTool* ending = tool->DemoEnding())
                ending->DemoEnded();
        if (m_keptPicture.Holds())
            m_keptPicture.PutBack(*m_editor);
    }
    if (m_savedTitle && KvApplication)
        KvApplication->SetTitle(*m_savedTitle);
    m_savedTitle.reset();
}
