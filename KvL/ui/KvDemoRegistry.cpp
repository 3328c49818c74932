#include "KvDemoRegistry.h"

#include <algorithm>

void TKvDemoRegistry::RegisterDemoControl(const QObject* owner, const QString& name, QObject* component)
{
    if (component)
        m_controls.push_back({name.toUpper(), component, owner});
}

void TKvDemoRegistry::RegisterDemoCommand(const QObject* owner, const QString& name, std::function<void()> procedure)
{
    m_commands.push_back({name.toUpper(), std::move(procedure), {}, 0, owner});
}

void TKvDemoRegistry::RegisterDemoIntCommand(const QObject* owner, const QString& name, int defaultValue,
                                             std::function<void(int)> procedure)
{
    m_commands.push_back({name.toUpper(), {}, std::move(procedure), defaultValue, owner});
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

TKvDemoRegistry& DemoRegistry()
{
    static TKvDemoRegistry registry;
    return registry;
}
