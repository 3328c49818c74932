// The names modules publish for demonstration scripts: found without regard
// to case, first registration first, and taken back by their owner; the
// four kinds of commands run with a script line's arguments; a control's
// point on the screen, for widgets and for menu and toolbar items where
// they are shown.
#include "KvDemoRegistry.h"
#include "KvProperties.h"
#include "KvScriptClient.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

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

// Runs the command with the arguments.
bool RunWith(const TKvDemoRegistry& registry, const QString& name, const std::vector<QVariant>& values)
{
    TKvProperties params;
    int id = 0;
    for (const QVariant& value : values) {
        if (value.typeId() == QMetaType::Int)
            params.SetInteger(id++, value.toInt());
        else if (value.typeId() == QMetaType::Double)
            params.SetDouble(id++, value.toDouble());
        else
            params.SetString(id++, value.toString().toUtf8());
    }
    return registry.RunCommand(name, params);
}

TEST(KvDemoRegistryTest, CommandsOfTheFourKindsRunWithTheLinesArguments)
{
    TKvDemoRegistry registry;
    QObject owner;
    QObject sender;
    std::optional<bool> flag;
    std::optional<int> number;
    QObject* senderSeen = nullptr;
    registry.RegisterDemoBoolCommand(&owner, QStringLiteral("Flag"), true, [&](bool v) { flag = v; });
    registry.RegisterDemoIntCommand(&owner, QStringLiteral("Number"), 7, [&](int v) { number = v; });
    registry.RegisterDemoSenderCommand(&owner, QStringLiteral("Sent"), &sender, [&](QObject* s) { senderSeen = s; });

    const std::pair<std::vector<QVariant>, bool> bools[] = {
        {{}, true}, {{0}, false}, {{5}, true}, {{-1}, true}, {{0.0}, false}, {{QStringLiteral("yes")}, false}};
    for (const auto& [values, expected] : bools) {
        flag.reset();
        EXPECT_TRUE(RunWith(registry, QStringLiteral("FLAG"), values));
        EXPECT_EQ(flag, expected);
    }
    const std::pair<std::vector<QVariant>, int> numbers[] = {
        {{}, 7}, {{12}, 12}, {{2.5}, 2}, {{3.5}, 4}, {{QStringLiteral("twelve")}, 7}};
    for (const auto& [values, expected] : numbers) {
        number.reset();
        EXPECT_TRUE(RunWith(registry, QStringLiteral("number"), values));
        EXPECT_EQ(number, expected);
    }
    // A number that does not fit an integer is the line's error.
    EXPECT_THROW(RunWith(registry, QStringLiteral("Number"), {1e20}), EKvScriptError);
    EXPECT_TRUE(RunWith(registry, QStringLiteral("Sent"), {}));
    EXPECT_EQ(senderSeen, &sender);
    EXPECT_FALSE(RunWith(registry, QStringLiteral("Unknown"), {}));
}

TEST(KvDemoRegistryTest, AControlsPointIsItsCentreWhereItIsShown)
{
    QMainWindow window;
    auto* button = new QPushButton(QStringLiteral("Go"));
    window.setCentralWidget(button);
    QToolBar* toolbar = window.addToolBar(QStringLiteral("Tools"));
    QAction* toolItem = toolbar->addAction(QStringLiteral("Tool"));
    // A panel's own toolbar shows its items as buttons of their own.
    QAction* panelItem = new QAction(QStringLiteral("Panel tool"), &window);
    auto* panelButton = new QToolButton;
    panelButton->setDefaultAction(panelItem);
    toolbar->addWidget(panelButton);
    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("File"));
    QAction* menuItem = menu->addAction(QStringLiteral("Open"));
    window.resize(400, 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    TKvDemoRegistry registry;
    QObject owner;
    auto hidden = std::make_unique<QLabel>(QStringLiteral("hidden"));
    registry.RegisterDemoControl(&owner, QStringLiteral("Button"), button);
    registry.RegisterDemoControl(&owner, QStringLiteral("ToolItem"), toolItem);
    registry.RegisterDemoControl(&owner, QStringLiteral("PanelItem"), panelItem);
    registry.RegisterDemoControl(&owner, QStringLiteral("FileMenu"), menu->menuAction());
    registry.RegisterDemoControl(&owner, QStringLiteral("OpenItem"), menuItem);
    registry.RegisterDemoControl(&owner, QStringLiteral("Hidden"), hidden.get());

    EXPECT_EQ(registry.ControlTarget(QStringLiteral("button")),
              button->mapToGlobal(QPoint(button->width() / 2, button->height() / 2)));
    QWidget* toolButton = toolbar->widgetForAction(toolItem);
    EXPECT_EQ(registry.ControlTarget(QStringLiteral("ToolItem")),
              toolButton->mapToGlobal(QPoint(toolButton->width() / 2, toolButton->height() / 2)));
    EXPECT_EQ(registry.ControlTarget(QStringLiteral("PanelItem")),
              panelButton->mapToGlobal(QPoint(panelButton->width() / 2, panelButton->height() / 2)));
    const QRect fileRect = window.menuBar()->actionGeometry(menu->menuAction());
    EXPECT_EQ(registry.ControlTarget(QStringLiteral("FileMenu")), window.menuBar()->mapToGlobal(fileRect.center()));
    // A menu item has a place only while its menu is open.
    EXPECT_EQ(registry.ControlTarget(QStringLiteral("OpenItem")), std::nullopt);
    menu->popup(window.mapToGlobal(QPoint(20, 40)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    EXPECT_EQ(registry.ControlTarget(QStringLiteral("OpenItem")), menu->mapToGlobal(menu->actionGeometry(menuItem).center()));
    menu->hide();
    EXPECT_EQ(registry.ControlTarget(QStringLiteral("Hidden")), std::nullopt);
    EXPECT_EQ(registry.ControlTarget(QStringLiteral("NoSuchControl")), std::nullopt);
    hidden.reset();
    EXPECT_EQ(registry.ControlTarget(QStringLiteral("Hidden")), std::nullopt);
}

} // namespace
