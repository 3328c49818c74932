// The demonstration module: owns the program's one playback, the real
// pointer it drives and the registry of names under which the modules
// publish their controls and commands; resolves a script's targets and
// user commands through the registry and then through every component that
// answers scripts; tells the components when a recording starts and stops
// and records lines for them; plays the demonstrations in the Demo folder.
// It also offers the hidden demo-editor shortcut (Ctrl+Shift+D), which
// works although no menu item shows it.
//
// For the user it is the Demonstrations entry of the menu bar: the list of
// installed demonstrations (optionally at start-up), the questions before
// one starts (closing the picture, maximising the window), the program's
// title while it runs, the question on Escape, the error box with the line
// that failed, the finished message, and the list again on the next item
// when a demonstration started from it ends. However a demonstration ends,
// the active tool is told and a plug-in edit gets its picture back: the
// host's exchange file is written only by OK.
#pragma once

#include "KvDemo.h"
#include "KvDemoRegistry.h"
#include "KvKeptPicture.h"
#include "KvModule.h"

#include <QListView>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

class IKvDemoInput;
class IKvScriptClient;
class IKvShell;
class QAction;
class QShortcut;
class TKvGraphicsEditor;
class TKvToolPanelModule;

class TKvDemonstrationModule : public TKvModuleWithControls {
    Q_OBJECT
public:
    // The playback drives the platform's real pointer.
    explicit TKvDemonstrationModule(IKvShell* shell);
    // The playback drives the given pointer and runs on the given clock
    // (tests); the module keeps neither.
    TKvDemonstrationModule(IKvShell* shell, IKvDemoInput& input, const IKvDemoClock& clock);
    ~TKvDemonstrationModule() override;

    static const QUuid SettingsGuid;

    TKvDemoRegistry& Registry() { return m_registry; }
    TKvDemoPlayback& Playback() { return *m_playback; }

    // The editor whose picture a demonstration closes, whose window it
    // maximises and whose active tool is told when it ends; it also takes
    // over the main window's close question. The tool panel is made
    // visible for a demonstration started from the list.
    void SetEditor(TKvGraphicsEditor* editor);
    void SetToolPanel(TKvToolPanelModule* panel) { m_toolPanel = panel; }

    // The Demonstrations entry of the menu bar, before Help.
    QAction* DemoMenuItem = nullptr;
    // The folder of the installed demonstrations, with a trailing separator.
    QString DemoFolder;
    // Whether the list opens when the program starts (the settings keep it).
    bool ShowAtStartup = true;
    // The list item preselected next time.
    int LastIndex = 0;
    // Preparation before a demonstration: close the open picture, maximise
    // the main window (each asked first).
    bool CloseDocument = true;
    bool Maximise = false;
    // A play run from the command line works on the picture it was given:
    // no list at start-up, no preparation and no questions before it.
    void SetCommandLineRun() { m_commandLineRun = true; }
    QListView::ViewMode ViewStyle = QListView::IconMode;
    // The text of the Message lines recorded with clicks.
    QString MessageText() const { return m_playback->ClickMessage(); }
    void SetMessageText(const QString& text) { m_playback->SetClickMessage(text); }

    void Localize() override;
    void UpdateControls() override;
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;
    // Opens the list once the main loop runs when ShowAtStartup is set.
    void Initialize() override;

    // The demonstrations window, modal; plays the chosen demonstration,
    // after which the list opens again on the next item.
    void ShowDemonstrations();
    // Whether a demonstration started from the list is running.
    bool BackToList() const { return m_backToList; }

    // Plays the demonstration of that name (the file name without ".dsc")
    // from its first line; false when there is no such file or it cannot
    // be read, or the playback does not start.
    bool PlayDemo(const QString& name);
    // Plays a script from its first line; false when it does not start.
    bool PlayScript(const TKvDemoScript& script);

    // Recording operations; each does nothing unless a script is being
    // recorded.
    void RecordDemoLine(const QString& line);
    void RecordDemoMove(const QString& target);
    // "MouseCurvedMove <name>", then "<name> <argument>" or "<name>".
    void RecordDemoCommand(const QString& name, const QString& argument = QString());

    // The program's components that answer scripts, in component order.
    static std::vector<IKvScriptClient*> ScriptClients();

signals:
    // Ctrl+Shift+D: the demo editor is asked for.
    void DemoEditorRequested();

private:
    void Attach(IKvShell* shell);
    void BeforePlay(bool& cancel);
    bool CloseOpenPicture();
    void DemoEnded();
    void ReopenListLater();
    void MainFormCloseQuery(QObject* sender, bool& canClose);
    void FindTarget(const TKvCustomProperties& params, bool& found, QPoint& point);
    void RunUserCommand(const QString& name, bool& handled, TKvDemoScriptUserAction& action,
                        const TKvCustomProperties& params);
    void AskToStop(bool& stop);
    void ShowError(const QString& message, bool& stop, const QString& line);
    void ShowFinished();
    void StartRecording();
    void StopRecording();

    TKvDemoRegistry m_registry;
    std::unique_ptr<IKvDemoInput> m_ownInput;
    std::unique_ptr<IKvDemoClock> m_ownClock;
    std::unique_ptr<TKvDemoPlayback> m_playback;
    QShortcut* m_demoEditorShortcut = nullptr;
    IKvShell* m_shell = nullptr;
    TKvGraphicsEditor* m_editor = nullptr;
    TKvToolPanelModule* m_toolPanel = nullptr;
    bool m_backToList = false;
    bool m_commandLineRun = false;
    // The application's title before a demonstration put its own into it;
    // none while none runs.
    std::optional<QString> m_savedTitle;
    TKvKeptPicture m_keptPicture;
};
