// The demonstration module: owns the program's one playback, the real
// pointer it drives and the registry of names under which the modules
// publish their controls and commands; resolves a script's targets and
// user commands through the registry and then through every component that
// answers scripts; tells the components when a recording starts and stops
// and records lines for them; plays the demonstrations in the Demo folder.
// It also offers the hidden demo-editor shortcut (Ctrl+Shift+D), which
// works although no menu item shows it.
#pragma once

#include "KvDemo.h"
#include "KvDemoRegistry.h"
#include "KvModule.h"

#include <QString>

#include <memory>

class IKvDemoInput;
class IKvScriptClient;
class IKvShell;
class QShortcut;

class TKvDemonstrationModule : public TKvModuleWithControls {
    Q_OBJECT
public:
    // The playback drives the platform's real pointer.
    explicit TKvDemonstrationModule(IKvShell* shell);
    // The playback drives the given pointer and runs on the given clock
    // (tests); the module keeps neither.
    TKvDemonstrationModule(IKvShell* shell, IKvDemoInput& input, const IKvDemoClock& clock);
    ~TKvDemonstrationModule() override;

    TKvDemoRegistry& Registry() { return m_registry; }
    TKvDemoPlayback& Playback() { return *m_playback; }

    // The folder of the installed demonstrations, with a trailing separator.
    QString DemoFolder;

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
};
