#include "KvDemoRegistry.h"

#include "KvProperties.h"
#include "KvScriptClient.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QWidget>

#include <algorithm>

void TKvDemoRegistry::RegisterDemoControl(const QObject* owner, const QString& name, QObject* component)
{
    if (component)
        m_controls.push_back({name.toUpper(), component, owner});
}

namespace {

TKvDemoRegistry::TCommandInfo NewCommand(const QObject* owner, const QString& name)
{
    TKvDemoRegistry::TCommandInfo command;
    command.Name = name.toUpper();
    command.Owner = owner;
    return command;
}

} // namespace

void TKvDemoRegistry::RegisterDemoCommand(const QObject* owner, const QString& name, std::function<void()> procedure)
{
    TCommandInfo command = NewCommand(owner, name);
    command.Procedure = std::move(procedure);
    m_commands.push_back(std::move(command));
}

void TKvDemoRegistry::RegisterDemoSenderCommand(const QObject* owner, const QString& name, QObject* sender,
                                                std::function<void(QObject*)> procedure)
{
    TCommandInfo command = NewCommand(owner, name);
    command.SenderProcedure = std::move(procedure);
    command.Sender = sender;
    m_commands.push_back(std::move(command));
}

void TKvDemoRegistry::RegisterDemoBoolCommand(const QObject* owner, const QString& name, bool defaultValue,
                                              std::function<void(bool)> procedure)
{
    TCommandInfo command = NewCommand(owner, name);
    command.BoolProcedure = std::move(procedure);
    command.Default = defaultValue ? 1 : 0;
    m_commands.push_back(std::move(command));
}

void TKvDemoRegistry::RegisterDemoIntCommand(const QObject* owner, const QString& name, int defaultValue,
                                             std::function<void(int)> procedure)
{
    TCommandInfo command = NewCommand(owner, name);
    command.IntProcedure = std::move(procedure);
    command.Default = defaultValue;
    m_commands.push_back(std::move(command));
}

void TKvDemoRegistry::RegisterDemoControlCommand(const QObject* owner, const QString& name, QObject* component,
                                                 std::function<void()> procedure)
{
    RegisterDemoControl(owner, name, component);
    RegisterDemoCommand(owner, name, std::move(procedure));
}

void TKvDemoRegistry::UnregisterOwner(const QObject* owner)
{
    std::erase_if(m_controls, [owner](const TControlInfo& info) { return info.Owner == owner; });
    std::erase_if(m_commands, [owner](const TCommandInfo& info) { return info.Owner == owner; });
}

QObject* TKvDemoRegistry::FindControl(const QString& name) const
{
    const QString key = name.toUpper();
    const auto found =
        std::find_if(m_controls.begin(), m_controls.end(), [&key](const TControlInfo& info) { return info.Name == key; });
    return found != m_controls.end() ? found->Component.data() : nullptr;
}

const TKvDemoRegistry::TCommandInfo* TKvDemoRegistry::FindCommand(const QString& name) const
{
    const QString key = name.toUpper();
    const auto found =
        std::find_if(m_commands.begin(), m_commands.end(), [&key](const TCommandInfo& info) { return info.Name == key; });
    return found != m_commands.end() ? &*found : nullptr;
}

bool TKvDemoRegistry::RunCommand(const QString& name, const TKvCustomProperties& params) const
{
    const TCommandInfo* command = FindCommand(name);
    if (!command)
        return false;
    // A copy: the procedure may register or drop names.
    const TCommandInfo run = *command;
    if (run.Procedure) {
        run.Procedure();
    } else if (run.SenderProcedure) {
        run.SenderProcedure(run.Sender);
    } else if (run.BoolProcedure) {
        run.BoolProcedure(params.Count() == 0 ? run.Default != 0
                                              : ScriptParamIsNumber(params, 0) && ScriptParamInt(params, 0) != 0);
    } else if (run.IntProcedure) {
        if (!ScriptParamIsNumber(params, 0)) {
            run.IntProcedure(run.Default);
        } else if (const std::optional<qint32> value = ScriptParamWholeNumber(params, 0)) {
            run.IntProcedure(*value);
        } else {
            throw EKvScriptError(QStringLiteral("Invalid arguments."));
        }
    }
    return true;
}

namespace {

std::optional<QPoint> CentreOfWidget(const QWidget* widget)
{
    if (!widget || !widget->isVisible())
        return std::nullopt;
    return widget->mapToGlobal(QPoint(widget->width() / 2, widget->height() / 2));
}

// An item of a menu or the menu bar: the centre of its rectangle there.
std::optional<QPoint> CentreInMenu(const QWidget* menu, QAction* item)
{
    QRect rect;
    if (const auto* popup = qobject_cast<const QMenu*>(menu))
        rect = popup->actionGeometry(item);
    else if (const auto* bar = qobject_cast<const QMenuBar*>(menu))
        rect = bar->actionGeometry(item);
    if (!menu->isVisible() || rect.isEmpty())
        return std::nullopt;
    return menu->mapToGlobal(rect.center());
}

// A menu or toolbar item where it is shown: in an open popup menu first,
// then in the menu bar or a toolbar.
std::optional<QPoint> CentreOfItem(QAction* item)
{
    const QList<QObject*> places = item->associatedObjects();
    for (QObject* place : places)
        if (auto* popup = qobject_cast<QMenu*>(place))
            if (const std::optional<QPoint> centre = CentreInMenu(popup, item))
                return centre;
    for (QObject* place : places) {
        if (auto* bar = qobject_cast<QMenuBar*>(place)) {
            if (const std::optional<QPoint> centre = CentreInMenu(bar, item))
                return centre;
        } else if (auto* toolbar = qobject_cast<QToolBar*>(place)) {
            if (const std::optional<QPoint> centre = CentreOfWidget(toolbar->widgetForAction(item)))
                return centre;
        } else if (auto* button = qobject_cast<QAbstractButton*>(place)) {
            // A button showing the item (on a panel's own toolbar).
            if (const std::optional<QPoint> centre = CentreOfWidget(button))
                return centre;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QPoint> TKvDemoRegistry::CentreOf(QObject* component)
{
    if (auto* item = qobject_cast<QAction*>(component))
        return CentreOfItem(item);
    return CentreOfWidget(qobject_cast<QWidget*>(component));
}

std::optional<QPoint> TKvDemoRegistry::ControlTarget(const QString& name) const
{
    const QString key = name.toUpper();
    for (const TControlInfo& info : m_controls)
        if (info.Name == key)
            return info.Component ? CentreOf(info.Component) : std::nullopt;
    return std::nullopt;
}
