// The text tool driven through its real panel and a real graphics view:
// the mask's lines and size, the size box's step, a mirrored drag, the
// commit of the rectangle as it stands, what re-renders and what only
// re-blends, the settings and their ranges, the recorded lines, the typing
// animation, the fallback font and text too large for a mask.
#include "GraphicsViewFixture.h"
#include "KvColorBox.h"
#include "KvDemoRegistry.h"
#include "KvSDF.h"
#include "KvSystemFonts.h"
#include "KvTextMaskRender.h"
#include "KvTextTool.h"
#include "ViewMouse.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstring>

namespace {

class TextFixture : public GraphicsViewFixture {
public:
    TextFixture() : GraphicsViewFixture(200, 160, QSize(240, 200))
    {
        FillPicture([](int x, int y) { return TColorTriple{std::uint8_t(40 + x), std::uint8_t(90 + y / 2), 200}; });
        tool = std::make_unique<TKvTextTool>(&tools);
        static_cast<TestGraphicsEditor&>(editor).Tools.push_back(tool.get());
        tool->AfterCreate();
        control = static_cast<TKvTextToolControl*>(tool->CreateControl(view));
        tool->DocumentOpened(document);
        tools.SetActiveTool(tool.get());
        tool->UpdateControls();
    }
    ~TextFixture() { static_cast<TestGraphicsEditor&>(editor).Tools.clear(); }

    TKvTextFrame* Frame() const { return tool->TextFrame(); }
    void Type(const QString& text) { Frame()->TextMemo->setPlainText(text); }

    TKvPixelBuffer Snapshot() const
    {
        TKvPixelBuffer copy;
        copy.SetFormat(PixelFormatBGR24, document->Image().Pixels().GetBounds());
        copy.Assign(document->Image().Pixels());
        return copy;
    }

    static bool Same(const TKvPixels& a, const TKvPixels& b)
    {
        for (int y = 0; y < a.Height; ++y)
            if (std::memcmp(a.PixelAt(0, y), b.PixelAt(0, y), std::size_t(a.Width) * 3) != 0)
                return false;
        return true;
    }

    std::unique_ptr<TKvTextTool> tool;
    TKvTextToolControl* control = nullptr;
};

TEST(KvTextToolTest, TheSizeBoxStepsByAHundredthOfTheSize)
{
    struct Case {
        int size;
        int step;
    };
    const Case cases[] = {{250, 2}, {350, 4}, {40, 1}, {8, 1}, {400, 4}, {151, 2}};
    TextFixture f;
    for (const Case& c : cases) {
        EXPECT_EQ(TKvTextFrame::SizeIncrement(c.size), c.step) << c.size;
        f.Frame()->SizeSpinEdit->setValue(c.size);
        EXPECT_EQ(f.Frame()->SizeSpinEdit->singleStep(), c.step) << c.size;
        EXPECT_EQ(f.tool->FontSize(), c.size);
    }
}

TEST(KvTextToolTest, TheMaskIsAsHighAsTheLinesUpToTheLastWithText)
{
    TextFixture f;
    const QFont font = TextMaskFont(f.Frame()->FontNameComboBox->currentText(), f.tool->FontSize(), 0);
    const int lineHeight = QFontMetrics(font).height();
    f.Type(QStringLiteral("\nab\n"));
    EXPECT_EQ(f.tool->Mask().Height(), 2 * lineHeight);
    EXPECT_EQ(f.tool->Mask().Width(), QFontMetrics(font).horizontalAdvance(QStringLiteral("ab")));
    f.Type(QStringLiteral("\n\n"));
    EXPECT_TRUE(f.tool->Mask().IsEmpty());
}

TEST(KvTextToolTest, AFontIsChosenEvenWithoutThePreferredOnes)
{
    TextFixture f;
    const QString chosen = f.Frame()->FontNameComboBox->currentText();
    EXPECT_FALSE(chosen.isEmpty());
    bool preferred = false;
    for (const QString& name : TKvTextTool::DefaultFonts)
        preferred |= QFontDatabase::families().contains(name);
    if (!preferred)
        EXPECT_EQ(chosen, MatchedFontFamily(QStringLiteral("serif")));
}

TEST(KvTextToolTest, DraggedLeftwardsTheTextIsMirrored)
{
    TKvPixelBuffer plain;
    for (const bool mirrored : {false, true}) {
        TextFixture f;
        f.FillPicture([](int, int) { return TColorTriple{40, 90, 200}; });
        f.tool->SetTextColor(0xFFFFFF);
        f.Type(QStringLiteral("Fb"));
        const TKvPixelBuffer before = f.Snapshot();
        if (mirrored)
            Drag(f.view, {{170, 40}, {100, 80}, {30, 120}});
        else
            Drag(f.view, {{30, 40}, {100, 80}, {170, 120}});
        EXPECT_EQ(f.control->Placement().FlipX(), mirrored);
        EXPECT_FALSE(f.control->Placement().FlipY());
        EXPECT_TRUE(f.Same(f.document->Image().Pixels(), before)) << "the preview is drawn in the view only";
        QTest::keyClick(f.view, Qt::Key_Return);
        ASSERT_EQ(f.document->History().Count(), 1);
        // Only the text's pixels, white over the picture.
        TKvPixelBuffer text;
        text.SetFormat(PixelFormatBGR24, before.GetBounds());
        for (int y = 0; y < text.Height; ++y)
            for (int x = 0; x < text.Width; ++x)
                text.PixelAt(x, y)[0] = f.document->Image().Pixels().PixelAt(x, y)[0] != before.PixelAt(x, y)[0];
        if (!mirrored) {
            plain.SetFormat(PixelFormatBGR24, text.GetBounds());
            plain.Assign(text);
            continue;
        }
        for (int y = 40; y < 120; ++y)
            for (int x = 30; x < 170; ++x)
                ASSERT_EQ(text.PixelAt(x, y)[0], plain.PixelAt(30 + 170 - 1 - x, y)[0]) << x << ", " << y;
    }
}

// Enter right after the rectangle was resized commits the rectangle as it
// stands, not what an earlier paint showed.
TEST(KvTextToolTest, TheCommitBlendsTheRectangleAsItStandsNow)
{
    TextFixture f;
    f.tool->SetColorMode(tcInverted);
    f.Type(QStringLiteral("Wy"));
    const TKvPixelBuffer before = f.Snapshot();
    Drag(f.view, {{20, 20}, {100, 60}});
    // The bottom right handle dragged further, and Enter before any paint.
    QTest::mousePress(f.view, Qt::LeftButton, {}, ClientPoint(f.view, {99, 59}));
    QTest::mouseMove(f.view, ClientPoint(f.view, {179, 139}));
    QTest::mouseRelease(f.view, Qt::LeftButton, {}, ClientPoint(f.view, {179, 139}));
    EXPECT_EQ(f.control->Placement().Rect(), (TRect{20, 20, 180, 140}));
    QTest::keyClick(f.view, Qt::Key_Return);
    TKvPixelBuffer expected = f.Snapshot();
    expected.Assign(before);
    BlendText(expected, f.tool->Mask(), {{20, 20, 180, 140}, false, false}, f.tool->ColorRule());
    EXPECT_TRUE(f.Same(f.document->Image().Pixels(), expected));
    EXPECT_FALSE(f.Same(expected, before));
}

TEST(KvTextToolTest, ColourChangesReblendWhileSizeAndStyleRenderTheMaskAgain)
{
    TextFixture f;
    f.Type(QStringLiteral("Orvane"));
    Drag(f.view, {{20, 20}, {150, 80}});
    const int width = f.tool->Mask().Width();
    const std::uint8_t* data = f.tool->Mask().Row(0);
    f.tool->SetTextColor(0x0000FF);
    f.tool->SetColorMode(tcInverted);
    f.tool->SetMaxInverse(true);
    EXPECT_EQ(f.tool->Mask().Row(0), data) << "the mask is kept";
    EXPECT_EQ(f.control->State(), TPlaceState::Placed);
    f.tool->SetFontStyle(tsBold);
    EXPECT_NE(f.tool->Mask().Width(), width);
    f.tool->SetFontSize(64);
    EXPECT_GT(f.tool->Mask().Width(), width * 3 / 2);
    EXPECT_EQ(f.control->State(), TPlaceState::Placed);
}

TEST(KvTextToolTest, EmptyTextOrARectangleOffThePictureRecordsNothing)
{
    TextFixture f;
    Drag(f.view, {{20, 20}, {150, 80}});
    QTest::keyClick(f.view, Qt::Key_Return);
    EXPECT_EQ(f.document->History().Count(), 0);
    f.Type(QStringLiteral("x"));
    Drag(f.view, {{20, 20}, {150, 80}});
    Drag(f.view, {{80, 50}, {300, 250}}); // moved whole off the picture
    QTest::keyClick(f.view, Qt::Key_Return);
    EXPECT_EQ(f.document->History().Count(), 0);
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);
}

TEST(KvTextToolTest, SettingsComeBackAndOutOfRangeValuesAreBroughtIntoRange)
{
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    {
        TextFixture f;
        f.tool->SetFontSize(72);
        f.tool->SetColorMode(tcInverted);
        f.tool->SetTextColor(0x123456);
        f.tool->SetMaxInverse(true);
        f.tool->SetFontStyle(tsItalic | tsStrikeout);
        TKvSDFWriter writer(&stream, false);
        f.tool->SaveSettings(writer);
    }
    stream.close();
    {
        stream.open(QIODevice::ReadOnly);
        TKvSDFReader reader(&stream, false);
        TextFixture f;
        f.tool->LoadSettings(reader);
        EXPECT_EQ(f.tool->FontSize(), 72);
        EXPECT_EQ(f.tool->ColorMode(), tcInverted);
        EXPECT_TRUE(f.Frame()->ColorItem(1)->isChecked());
        EXPECT_EQ(f.tool->TextColor(), 0x123456u);
        EXPECT_TRUE(f.tool->MaxInverse());
        EXPECT_TRUE(f.Frame()->MaxInverseTBXCheckBox->isChecked());
        EXPECT_EQ(f.tool->FontStyle(), tsItalic | tsStrikeout);
        EXPECT_TRUE(f.Frame()->StrikeoutTBXButton->isChecked());
        f.tool->UpdateControls();
        EXPECT_EQ(f.Frame()->ColorBox->Selected(), 0x123456u);
    }

    QBuffer wild;
    wild.open(QIODevice::WriteOnly);
    {
        TKvSDFWriter writer(&wild, false);
        writer.BeginNode(1, TKvTextTool::SettingsGuid);
        writer.WriteInteger(1, 100000);
        writer.WriteInteger(2, 7);
        writer.WriteInteger(3, -1);
        writer.WriteInteger(5, 255);
        writer.EndNode();
    }
    wild.close();
    wild.open(QIODevice::ReadOnly);
    TKvSDFReader reader(&wild, false);
    TextFixture f;
    f.tool->LoadSettings(reader);
    EXPECT_EQ(f.tool->FontSize(), 400);
    EXPECT_EQ(f.tool->ColorMode(), tcInverted);
    EXPECT_EQ(f.tool->TextColor(), 0xFFFFFFu);
    EXPECT_EQ(f.tool->FontStyle(), 15);
}

TEST(KvTextToolTest, ChangesAreRecordedForDemonstrations)
{
    TextFixture f;
    TestRecorder recorder;
    f.tool->StartRecording(&recorder);
    f.Frame()->SizeSpinEdit->setValue(40);
    f.tool->SetTextColor(0x00FF00);
    f.Frame()->BoldTBXButton->click();
    f.Frame()->ColorItem(1)->click();
    f.Frame()->MaxInverseTBXCheckBox->click();
    f.tool->SetFontSize(40); // unchanged: nothing
    f.tool->StopRecording();
    const QStringList expected = {
        QStringLiteral("MouseCurvedMove TextFontSize"),   QStringLiteral("TextFontSize 40"),
        QStringLiteral("MouseCurvedMove TextColor"),      QStringLiteral("TextColor 65280"),
        QStringLiteral("MouseCurvedMove TextFontBI"),     QStringLiteral("TextFontBI 1"),
        QStringLiteral("MouseCurvedMove TextFontColor"),  QStringLiteral("TextFontColor 1"),
        QStringLiteral("MouseCurvedMove TextMaxInverse"), QStringLiteral("TextMaxInverse 1"),
    };
    EXPECT_EQ(recorder.Lines, expected);
    f.tools.Registry.FindCommand(QStringLiteral("TextFontSize"))->IntProcedure(-3);
    EXPECT_EQ(f.tool->FontSize(), 8);
}

TEST(KvTextToolTest, TheTypingAnimationLeavesTheProgramRunning)
{
    TextFixture f;
    f.Type(QStringLiteral("old"));
    // Every text the memo shows, as it changes (polling would miss letters
    // typed between two looks on a busy machine).
    QStringList seen;
    QObject::connect(f.Frame()->TextMemo, &QPlainTextEdit::textChanged, f.Frame()->TextMemo, [&] {
        const QString text = f.Frame()->TextMemo->toPlainText();
        if (seen.isEmpty() || seen.back() != text)
            seen << text;
    });
    f.tools.Registry.FindCommand(QStringLiteral("TextMemoYalta"))->Procedure();
    // The command returned before the first letter: the memo is cleared and
    // the typing goes on from the event loop.
    EXPECT_TRUE(f.Frame()->TextMemo->toPlainText().isEmpty());
    EXPECT_TRUE(f.tool->Typing());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.tool->Typing(); }, 60000));
    EXPECT_EQ(seen, (QStringList{QString(), QStringLiteral("Y"), QStringLiteral("Ya"), QStringLiteral("Yal"),
                                 QStringLiteral("Yalt"), QStringLiteral("Yalta")}));
    EXPECT_FALSE(f.tool->Mask().IsEmpty());
}

TEST(KvTextToolTest, TextTooLargeForAMaskIsRenderedSmaller)
{
    TextFixture f;
    f.tool->SetFontSize(400);
    f.Type(QString(100000, QLatin1Char('W')));
    const TTextMask& mask = f.tool->Mask();
    ASSERT_FALSE(mask.IsEmpty());
    EXPECT_LE(std::int64_t(mask.Width()) * mask.Height(), MaxTextMaskPixels);
    EXPECT_LE(mask.Width(), MaxTextMaskSide);
    Drag(f.view, {{0, 0}, {199, 40}});
    QTest::keyClick(f.view, Qt::Key_Return);
    EXPECT_EQ(f.document->History().Count(), 1);
}

} // namespace
