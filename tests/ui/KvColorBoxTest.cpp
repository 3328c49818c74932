// The colour box: TColor numbers in and out, named and custom colours, the
// colour dialog's answer, and the texts of its items.
#include "KvColorBox.h"
#include "ShellTestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(KvColorBoxTest, TColorKeepsRedInTheLowByte)
{
    const struct {
        TColor color;
        QColor qcolor;
    } cases[] = {
        {0x0000FF, QColor(255, 0, 0)},
        {0x00FF00, QColor(0, 255, 0)},
        {0xFF0000, QColor(0, 0, 255)},
        {0x123456, QColor(0x56, 0x34, 0x12)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColorFromTColor(c.color), c.qcolor) << std::hex << c.color;
        EXPECT_EQ(TColorFromColor(c.qcolor), c.color) << std::hex << c.color;
    }
}

TEST(KvColorBoxTest, NamedColoursSelectTheirItemOthersTheCustomItem)
{
    TKvColorBox box;
    EXPECT_EQ(box.Selected(), 0xFFFFFFu) << "white until told otherwise";
    EXPECT_NE(box.currentIndex(), TKvColorBox::CustomItem);

    box.SetSelected(0x0000FF);
    EXPECT_EQ(box.Selected(), 0x0000FFu);
    EXPECT_NE(box.currentIndex(), TKvColorBox::CustomItem);

    box.SetSelected(0x123456);
    EXPECT_EQ(box.currentIndex(), TKvColorBox::CustomItem);
    EXPECT_EQ(box.Selected(), 0x123456u);
    EXPECT_EQ(box.count(), TKvColorBox::NamedColorCount + 1);
}

TEST(KvColorBoxTest, SettingTheColourEmitsNothing)
{
    TKvColorBox box;
    QSignalSpy selected(&box, &TKvColorBox::Select);
    box.SetSelected(0x00FF00);
    box.SetSelected(0x010203);
    EXPECT_EQ(selected.count(), 0);
}

TEST(KvColorBoxTest, ChoosingANamedItemReportsItsColour)
{
    TKvColorBox box;
    box.SetSelected(0x000000); // black, the first named colour
    QSignalSpy selected(&box, &TKvColorBox::Select);
    QTest::keyClick(&box, Qt::Key_Down); // maroon
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).value<TColor>(), 0x000080u);
    EXPECT_EQ(box.Selected(), 0x000080u);
}

TEST(KvColorBoxTest, TheCustomItemAsksTheColourDialog)
{
    TKvColorBox box;
    box.SetSelected(0x000000);
    TColor offered = 1;
    bool answer = true;
    box.ChooseColor = [&](QWidget*, TColor& color) {
        offered = color;
        color = 0x445566;
        return answer;
    };
    QSignalSpy selected(&box, &TKvColorBox::Select);

    QTest::keyClick(&box, Qt::Key_Up); // from black up to the custom item
    EXPECT_EQ(offered, 0x000000u) << "the dialog starts from the colour shown";
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).value<TColor>(), 0x445566u);
    EXPECT_EQ(box.currentIndex(), TKvColorBox::CustomItem);

    // Cancelled: the box goes back to what it showed and reports nothing.
    box.SetSelected(0x000000);
    answer = false;
    QTest::keyClick(&box, Qt::Key_Up);
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(box.Selected(), 0x000000u);
}

TEST(KvColorBoxTest, ItemTextsComeFromTheLanguage)
{
    TTestLocalizer english;
    TKvColorBox box;
    EXPECT_EQ(box.itemText(TKvColorBox::CustomItem), QStringLiteral("Custom..."));
    box.SetSelected(0x000000);
    EXPECT_EQ(box.currentText(), QStringLiteral("Black"));
    SetLanguage(1031);
    box.Localize();
    EXPECT_EQ(box.currentText(), QStringLiteral("Schwarz"));
    QLocale::setDefault(QLocale::c());
}

} // namespace
