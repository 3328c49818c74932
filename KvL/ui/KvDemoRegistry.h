// The names under which the program's modules publish their controls and
// commands to demonstration scripts. Names are kept upper-cased, in the
// order registered; a script names a control to move the pointer to it and
// a command to run it. Each registration belongs to the module that made
// it, which takes its names back when it goes.
//
// The demonstration module owns the program's registry; tools reach it
// through their editor (TKvGraphicsTool::DemoRegistry).
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class TKvCustomProperties;
class TKvDemoScriptUserAction;

class TKvDemoRegistry {
public:
    struct TControlInfo {
        QString Name;
        // A widget, a menu item or a toolbar item (a QAction).
        QPointer<QObject> Component;
        const QObject* Owner;
    };
    // A command of one of four kinds: a procedure without an argument, one
    // taking the sender stored with it, one taking a Boolean and one taking
    // an integer; the last two with a default for lines without one.
    struct TCommandInfo {
        QString Name;
        std::function<void()> Procedure;
        std::function<void(QObject*)> SenderProcedure;
        QPointer<QObject> Sender;
        std::function<void(bool)> BoolProcedure;
        std::function<void(int)> IntProcedure;
        int Default = 0; // of a Boolean (0 or 1) or an integer command
        const QObject* Owner = nullptr;
    };

    // A null component is ignored.
    void RegisterDemoControl(const QObject* owner, const QString& name, QObject* component);
    void RegisterDemoCommand(const QObject* owner, const QString& name, std::function<void()> procedure);
    void RegisterDemoSenderCommand(const QObject* owner, const QString& name, QObject* sender,
                                   std::function<void(QObject*)> procedure);
    void RegisterDemoBoolCommand(const QObject* owner, const QString& name, bool defaultValue,
                                 std::function<void(bool)> procedure);
    void RegisterDemoIntCommand(const QObject* owner, const QString& name, int defaultValue,
                                std::function<void(int)> procedure);
    // The control and a command under the same name.
    void RegisterDemoControlCommand(const QObject* owner, const QString& name, QObject* component,
                                    std::function<void()> procedure);
    // Drops every name the owner registered.
    void UnregisterOwner(const QObject* owner);

    // The first registration of the name, compared without regard to case;
    // none when there is none.
    QObject* FindControl(const QString& name) const;
    const TCommandInfo* FindCommand(const QString& name) const;

    const std::vector<TControlInfo>& Controls() const { return m_controls; }
    const std::vector<TCommandInfo>& Commands() const { return m_commands; }

    // Runs the first command of the name with a script line's arguments:
    // a Boolean command takes (first argument is a number other than 0), an
    // integer command its first argument, each its default when the line
    // gives none that fits. False when no command has the name.
    bool RunCommand(const QString& name, const TKvCustomProperties& params) const;
    // The screen point of the first control of the name: the centre of a
    // widget, or of a menu or toolbar item where it is shown. None when no
    // control has the name or the control is not on the screen.
    std::optional<QPoint> ControlTarget(const QString& name) const;
    // The centre of a control on the screen; none when it is not shown.
    static std::optional<QPoint> CentreOf(QObject* component);

    // The user command being carried out by a demonstration, to which its
    // handler may append actions that run before the next line; none
    // outside one.
    TKvDemoScriptUserAction* RunningCommand() const { return m_runningCommand; }
    void SetRunningCommand(TKvDemoScriptUserAction* action) { m_runningCommand = action; }

private:
    std::vector<TControlInfo> m_controls;
    std::vector<TCommandInfo> m_commands;
    TKvDemoScriptUserAction* m_runningCommand = nullptr;
};
