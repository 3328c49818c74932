// The names modules publish for demonstration scripts: found without regard
// to case, first registration first, and taken back by their owner.
#include "KvDemoRegistry.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(KvDemoRegistryTest, NamesAreFoundWithoutRegardToCaseFirstRegistrationFirst)
{
    TKvDemoRegistry registry;
    QObject owner;
    QLabel first;
    QLabel second;
    int runs = 0;
    int value = 0;
    registry.RegisterDemoControlCommand(&owner, QStringLiteral("ToolGo"), &first, [&] { ++runs; });
    registry.RegisterDemoControl(&owner, QStringLiteral("TOOLGO"), &second);
    registry.RegisterDemoControl(&owner, QStringLiteral("Nothing"), nullptr);
    registry.RegisterDemoIntCommand(&owner, QStringLiteral("ToolLevel"), 3, [&](int v) { value = v; });

    EXPECT_EQ(registry.FindControl(QStringLiteral("toolgo")), &first);
    EXPECT_EQ(registry.FindControl(QStringLiteral("Nothing")), nullptr) << "a null component is not registered";
    ASSERT_NE(registry.FindCommand(QStringLiteral("toolGO")), nullptr);
    registry.FindCommand(QStringLiteral("toolGO"))->Procedure();
    EXPECT_EQ(runs, 1);
    const TKvDemoRegistry::TCommandInfo* level = registry.FindCommand(QStringLiteral("TOOLLEVEL"));
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->Default, 3);
    level->IntProcedure(5);
    EXPECT_EQ(value, 5);
}

TEST(KvDemoRegistryTest, AnOwnerTakesBackOnlyItsOwnNames)
{
    TKvDemoRegistry registry;
    QObject leaving;
    QObject staying;
    QLabel label;
    registry.RegisterDemoControlCommand(&leaving, QStringLiteral("A"), &label, [] {});
    registry.RegisterDemoControlCommand(&staying, QStringLiteral("B"), &label, [] {});
    registry.UnregisterOwner(&leaving);
    EXPECT_EQ(registry.FindControl(QStringLiteral("A")), nullptr);
    EXPECT_EQ(registry.FindCommand(QStringLiteral("A")), nullptr);
    EXPECT_EQ(registry.FindControl(QStringLiteral("B")), &label);
    EXPECT_NE(registry.FindCommand(QStringLiteral("B")), nullptr);
}

TEST(KvDemoRegistryTest, AControlThatWentAwayIsNotFound)
{
    TKvDemoRegistry registry;
    QObject owner;
    auto label = std::make_unique<QLabel>();
    registry.RegisterDemoControl(&owner, QStringLiteral("Gone"), label.get());
    label.reset();
    EXPECT_EQ(registry.FindControl(QStringLiteral("Gone")), nullptr);
}

} // namespace
