// The names under which the program's modules publish their controls and
// commands to demonstration scripts. Names are kept upper-cased, in the
// order registered; a script names a control to move the pointer to it and
// a command to run it. Each registration belongs to the module that made
// it, which takes its names back when it goes.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class TKvDemoRegistry {
public:
    struct TControlInfo {
        QString Name;
        QPointer<QObject> Component;
        const QObject* Owner;
    };
    // A command runs a procedure without an argument, or one taking an
    // integer (IntProcedure set) with a default for scripts that give none.
    struct TCommandInfo {
        QString Name;
        std::function<void()> Procedure;
        std::function<void(int)> IntProcedure;
        int Default = 0;
        const QObject* Owner;
    };

    // A null component is ignored.
    void RegisterDemoControl(const QObject* owner, const QString& name, QObject* component);
    void RegisterDemoCommand(const QObject* owner, const QString& name, std::function<void()> procedure);
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

private:
    std::vector<TControlInfo> m_controls;
    std::vector<TCommandInfo> m_commands;
};

// The program's registry.
TKvDemoRegistry& DemoRegistry();
