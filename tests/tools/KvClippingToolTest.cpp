// The clipping tool driven through its real panel and a real graphics view:
// painting and erasing the band, Separate, Effect, Swap, Done, Clear, the
// effect parameters, the enabling of the buttons, the outline dots, the
// settings and the demonstration names.
#include "ClippingFixture.h"
#include "KvColorBox.h"
#include "KvDemoRegistry.h"
#include "KvImageList.h"
#include "KvObjectLibrary.h"
#include "KvSDF.h"
#include "ShellTestSupport.h"

#include <QBuffer>
#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

double DistanceFromCentre(int x, int y)
{
    return std::hypot(x - 60.0, y - 50.0);
}

// The labels present in the region.
std::vector<int> Labels(const TMarkedRegion& region)
{
    std::vector<int> labels;
    for (int label = 0; label < 256; ++label)
        if (region.HasLabel(std::uint8_t(label)))
            labels.push_back(label);
    return labels;
}

TEST(KvClippingToolTest, ARingSeparatesIntoTwoSegmentsCutAlongTheDiscsEdge)
{
    ClippingFixture f;
    f.PaintRing(60, 50, 25, 11);
    EXPECT_EQ(Labels(f.Region()), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(f.document->History().Count(), 1);

    f.Click(f.Frame()->SeparateTBXButton);
    EXPECT_FALSE(f.document->Locked());
    EXPECT_EQ(f.document->History().Count(), 2);
    EXPECT_EQ(Labels(f.Region()), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(f.Region().SegmentAt(0, 0), FirstSegment) << "outside, holding the first pixel";
    EXPECT_EQ(f.Region().SegmentAt(60, 50), ObjectSegment) << "inside";
    // The cut runs inside the band, along the disc's edge.
    int cut = 0;
    for (int x = 0; x < 120; ++x) {
        for (int y = 0; y < 100; ++y) {
            if (f.Region().LabelAt(x, y) == LabelCutLine) {
                ++cut;
                EXPECT_NEAR(DistanceFromCentre(x, y), 25, 2.0) << x << ", " << y;
            }
            if (f.Region().LabelAt(x, y) != LabelUnmarked && std::abs(DistanceFromCentre(x, y) - 25) > 3) {
                EXPECT_EQ(f.Region().SegmentAt(x, y), DistanceFromCentre(x, y) < 25 ? ObjectSegment : FirstSegment)
                    << x << ", " << y;
            }
        }
    }
    EXPECT_GT(cut, 100);

    f.Click(f.Frame()->EffectTBXButton);
    EXPECT_EQ(f.document->History().Count(), 3);
    EXPECT_EQ(f.Region().LabelAt(60, 50), ObjectSegment);
    EXPECT_EQ(f.ColorAt(60, 50), DiscColor) << "the object shows itself";
    EXPECT_EQ(f.Region().LabelAt(0, 0), BackgroundBase + FirstSegment);
    EXPECT_EQ(f.ColorAt(0, 0), (TColorTriple{255, 255, 255})) << "the background in the colour effect's white";
    EXPECT_FALSE(f.Region().HasLabel(LabelCutLine)) << "the band and its cut are gone";
    EXPECT_FALSE(f.Region().HasLabel(LabelBand));
}

TEST(KvClippingToolTest, AnEdgeToEdgeBandGivesTwoSegmentsThatSwapFlips)
{
    ClippingFixture f(120, 100, 60, 50, 0);
    f.PaintLine({40, -5}, {40, 105}, 9);
    f.Click(f.Frame()->SeparateTBXButton);
    EXPECT_EQ(f.Region().SegmentAt(0, 0), FirstSegment);
    EXPECT_EQ(f.Region().SegmentAt(100, 50), ObjectSegment);

    f.Click(f.Frame()->EffectTBXButton);
    EXPECT_EQ(f.Region().LabelAt(100, 50), ObjectSegment) << "the right side shows as the object";
    EXPECT_EQ(f.Region().LabelAt(10, 50), BackgroundBase + FirstSegment);

    f.Click(f.Frame()->SwapTBXButton);
    EXPECT_EQ(f.tool->ObjectLabel(), FirstSegment);
    EXPECT_EQ(f.Region().LabelAt(10, 50), FirstSegment) << "now the left side is the object";
    EXPECT_EQ(f.ColorAt(10, 50), GroundColor);
    EXPECT_EQ(f.Region().LabelAt(100, 50), BackgroundBase + ObjectSegment);
    EXPECT_EQ(f.ColorAt(100, 50), (TColorTriple{255, 255, 255}));

    f.Click(f.Frame()->SwapTBXButton);
    EXPECT_EQ(f.Region().LabelAt(100, 50), ObjectSegment) << "and back";
    EXPECT_EQ(f.ColorAt(100, 50), GroundColor);
}

TEST(KvClippingToolTest, ErasingAcrossTheBandMakesOutlineNextToTheErasedStrip)
{
    ClippingFixture f;
    f.PaintLine({10, 50}, {110, 50}, 15);
    EXPECT_EQ(f.Region().LabelAt(60, 50), LabelBand);
    f.PaintLine({60, 35}, {60, 65}, 5, Qt::RightButton);
    EXPECT_EQ(f.Region().LabelAt(60, 50), LabelUnmarked);
    EXPECT_EQ(f.Region().LabelAt(57, 50), LabelOutline) << "the band pixel left of the strip";
    EXPECT_EQ(f.Region().LabelAt(63, 50), LabelOutline) << "the band pixel right of the strip";
    EXPECT_EQ(f.Region().LabelAt(55, 50), LabelBand);
    EXPECT_EQ(f.document->History().Count(), 2);
    bool listed = false;
    for (int i = 0; i < f.tool->Outline().Count(); ++i)
        listed |= f.tool->Outline().GetPoint(i) == TPoint{57, 50};
    EXPECT_TRUE(listed) << "the new outline pixels are drawn";
}

TEST(KvClippingToolTest, SeparateAgainTurnsTheCutBackIntoBandAndSegmentsAfresh)
{
    ClippingFixture f;
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    std::vector<std::uint8_t> first;
    for (int x = 0; x < 120; ++x)
        for (int y = 0; y < 100; ++y)
            first.push_back(std::uint8_t(f.Region().LabelAt(x, y) * 64 + f.Region().SegmentAt(x, y)));
    const std::int64_t cut = f.Region().CountOf(LabelCutLine);

    f.Click(f.Frame()->SeparateTBXButton);
    EXPECT_EQ(f.document->History().Count(), 3);
    EXPECT_EQ(f.Region().CountOf(LabelCutLine), cut);
    std::vector<std::uint8_t> second;
    for (int x = 0; x < 120; ++x)
        for (int y = 0; y < 100; ++y)
            second.push_back(std::uint8_t(f.Region().LabelAt(x, y) * 64 + f.Region().SegmentAt(x, y)));
    EXPECT_EQ(second, first);
}

TEST(KvClippingToolTest, StrokesOutsideThePictureAndOnAShownObjectChangeNothing)
{
    ClippingFixture f;
    f.PaintLine({-40, -40}, {-20, 130}, 9);
    EXPECT_TRUE(f.Region().IsEmpty());
    EXPECT_EQ(f.document->History().Count(), 0) << "nothing changed, nothing recorded";

    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
    const int states = f.document->History().Count();
    f.PaintLine({10, 10}, {30, 10}, 9);
    EXPECT_EQ(f.document->History().Count(), states);
    EXPECT_EQ(f.Region().LabelAt(20, 10), BackgroundBase + FirstSegment);
}

// The buttons the user can press, in the order Separate, Clear, Effect,
// Swap, Save Object, Done.
std::vector<bool> EnabledButtons(ClippingFixture& f)
{
    f.tool->UpdateControls();
    const TKvClippingFrame* frame = f.Frame();
    return {frame->SeparateTBXButton->isEnabled(), frame->ClearTBXButton->isEnabled(),
            frame->EffectTBXButton->isEnabled(),   frame->SwapTBXButton->isEnabled(),
            frame->StoreTBXButton->isEnabled(),    frame->DoneTBXButton->isEnabled()};
}

TEST(KvClippingToolTest, EachStateEnablesItsButtons)
{
    ClippingFixture f;
    const std::vector<bool> none(6, false);
    EXPECT_EQ(EnabledButtons(f), none) << "empty";
    f.PaintRing(60, 50, 25, 11);
    EXPECT_EQ(EnabledButtons(f), (std::vector<bool>{true, true, false, false, false, false})) << "band painted";
    f.Click(f.Frame()->SeparateTBXButton);
    EXPECT_EQ(EnabledButtons(f), (std::vector<bool>{true, true, true, false, false, false})) << "separated";
    f.Click(f.Frame()->EffectTBXButton);
    EXPECT_EQ(EnabledButtons(f), (std::vector<bool>{false, false, false, true, true, true})) << "object shown";
    EXPECT_TRUE(f.tools.Exclusive) << "other tools wait while marks exist";

    // Locked by an edit: nothing can be pressed, the group boxes stay enabled.
    f.document->Lock(f.tool.get());
    EXPECT_EQ(EnabledButtons(f), none) << "locked";
    EXPECT_FALSE(f.Frame()->ColorBox->isEnabled());
    EXPECT_TRUE(f.Frame()->ActionsTntGroupBox->isEnabled());
    EXPECT_TRUE(f.Frame()->EffectTntGroupBox->isEnabled());
    f.document->Unlock();

    // Another tool active: the panel is not usable.
    f.tools.SetActiveTool(nullptr);
    EXPECT_EQ(EnabledButtons(f), none) << "inactive";
    EXPECT_FALSE(f.tool->ToolButton->isChecked());
    f.tools.SetActiveTool(f.tool.get());

    f.Click(f.Frame()->DoneTBXButton);
    EXPECT_EQ(EnabledButtons(f), none) << "done";
    EXPECT_FALSE(f.tools.Exclusive);
    EXPECT_TRUE(f.tool->ToolButton->isChecked());
}

TEST(KvClippingToolTest, TheSizeLabelShowsTheSizeAndTheTrackBarSetsIt)
{
    TTestLocalizer english;
    ClippingFixture f;
    f.Frame()->SizeTrackBar->setValue(40);
    EXPECT_EQ(f.tool->Size(), 40);
    f.tool->UpdateControls();
    EXPECT_EQ(f.Frame()->SizeLabel->text(), QStringLiteral("Size: 40"));
    EXPECT_EQ(f.Frame()->SizeTrackBar->maximum(), 100);
    f.tool->SetSize(101);
    EXPECT_EQ(f.tool->Size(), 40);
}

// Every shipped language's captions fit the fixed-size step buttons whole:
// a long one gets a smaller font rather than letters cut out of its middle.
TEST(KvClippingToolTest, StepCaptionsFitTheirButtonsInEveryLanguage)
{
    // A font the tests ship with (fonts-dejavu-core), so that the widths do
    // not depend on whatever the machine would pick by default.
    const QFont machineFont = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    ASSERT_EQ(QFontInfo(QApplication::font()).family(), QStringLiteral("DejaVu Sans"));
    TTestLocalizer localizer;
    ClippingFixture f;
    TKvClippingFrame* frame = f.Frame();
    const QToolButton* buttons[] = {frame->SeparateTBXButton, frame->ClearTBXButton, frame->EffectTBXButton,
                                    frame->SwapTBXButton,     frame->StoreTBXButton, frame->DoneTBXButton};
    for (const quint16 language : {1033, 1031, 1049}) {
        SetLanguage(language);
        frame->Localize();
        for (const QToolButton* button : buttons) {
            const int width = QFontMetrics(button->font()).horizontalAdvance(button->text());
            EXPECT_LE(width, TKvClippingFrame::ButtonWidth - 8) << language << ' ' << button->text().toStdString();
            EXPECT_GE(button->font().pointSizeF(), 0.75 * frame->ActionsTntGroupBox->font().pointSizeF() - 0.01);
        }
    }
    SetLanguage(1033);
    frame->Localize();
    EXPECT_EQ(frame->SeparateTBXButton->font(), frame->ActionsTntGroupBox->font());
    QLocale::setDefault(QLocale::c());
    QApplication::setFont(machineFont);
}

TEST(KvClippingToolTest, AParameterOfAnotherEffectRecordsAndRepaintsNothing)
{
    ClippingFixture f;
    f.tool->SetBackgroundEffect(BackgroundBlur);
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
    const int states = f.document->History().Count();
    const TColorTriple blurred = f.ColorAt(2, 2);

    f.Frame()->ShadowTntTrackBar->setValue(5);
    EXPECT_EQ(f.tool->ShadowLevel(), 5);
    EXPECT_EQ(f.document->History().Count(), states);
    EXPECT_EQ(f.ColorAt(2, 2), blurred);

    f.Frame()->SetEffectItemIndex(BackgroundShadow);
    EXPECT_EQ(f.tool->BackgroundEffect(), BackgroundShadow);
    EXPECT_EQ(f.document->History().Count(), states + 1);
    // Level 5 divides by 4 sqrt(2).
    EXPECT_EQ(f.ColorAt(2, 2).Blue, std::uint8_t(std::nearbyint(GroundColor.Blue / (4 * std::numbers::sqrt2))));
}

TEST(KvClippingToolTest, ParametersOfTheShownEffectRenderAtOnce)
{
    ClippingFixture f;
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
    const int states = f.document->History().Count();

    f.tool->SetBackgroundColor(0x0000FF);
    EXPECT_EQ(f.ColorAt(2, 2), (TColorTriple{0, 0, 255}));
    EXPECT_EQ(f.Frame()->ColorBox->Selected(), 0x0000FFu);
    f.tool->SetBackgroundColor(0x0000FF);
    EXPECT_EQ(f.document->History().Count(), states + 1) << "the same colour again is no change";

    f.tool->SetBackgroundEffect(BackgroundMonochrome);
    f.tool->SetMonochromeColor(0x00FF00);
    const std::uint8_t brightest = std::max({GroundColor.Blue, GroundColor.Green, GroundColor.Red});
    EXPECT_EQ(f.ColorAt(2, 2), (TColorTriple{0, brightest, 0}));
    EXPECT_EQ(f.ColorAt(60, 50), DiscColor) << "the object is untouched";
    EXPECT_EQ(f.document->History().Count(), states + 3);
}

TEST(KvClippingToolTest, OutOfRangeLevelsAreKeptWithinOneToFiveAndUnknownEffectsIgnored)
{
    ClippingFixture f;
    f.tool->SetBlurLevel(20);
    EXPECT_EQ(f.tool->BlurLevel(), 5);
    EXPECT_EQ(f.Frame()->BlurRadiusTntTrackBar->value(), 5);
    f.tool->SetShadowLevel(-7);
    EXPECT_EQ(f.tool->ShadowLevel(), 1);
    f.tool->SetBackgroundEffect(BackgroundShadow);
    for (const int effect : {-1, 4, 1000})
        f.tool->SetBackgroundEffect(effect);
    EXPECT_EQ(f.tool->BackgroundEffect(), BackgroundShadow);
    EXPECT_EQ(f.Frame()->EffectItemIndex(), BackgroundShadow);

    // The largest blur still renders (its radius covers the picture).
    f.tool->SetBackgroundEffect(BackgroundBlur);
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
    EXPECT_EQ(f.Region().BlurRadius(), 243);
    EXPECT_TRUE(HasBackground(f.Region()));
}

TEST(KvClippingToolTest, SettingsKeepSizeEffectAndParametersAndRefuseWildValues)
{
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    {
        ClippingFixture f;
        f.tool->SetSize(33);
        f.tool->SetBackgroundEffect(BackgroundMonochrome);
        f.tool->SetBackgroundColor(0x123456);
        f.tool->SetBlurLevel(2);
        f.tool->SetShadowLevel(4);
        f.tool->SetMonochromeColor(0x00FFFF);
        TKvSDFWriter writer(&stream, false);
        f.tool->SaveSettings(writer);
    }
    stream.close();
    {
        stream.open(QIODevice::ReadOnly);
        TKvSDFReader reader(&stream, false);
        ClippingFixture f;
        f.tool->LoadSettings(reader);
        EXPECT_EQ(f.tool->Size(), 33);
        EXPECT_EQ(f.tool->BackgroundEffect(), BackgroundMonochrome);
        EXPECT_EQ(f.Frame()->EffectItemIndex(), BackgroundMonochrome);
        EXPECT_EQ(f.tool->BackgroundColor(), 0x123456u);
        EXPECT_EQ(f.tool->BlurLevel(), 2);
        EXPECT_EQ(f.tool->ShadowLevel(), 4);
        EXPECT_EQ(f.tool->MonochromeColor(), 0x00FFFFu);
        f.tool->UpdateControls();
        EXPECT_EQ(f.Frame()->ColorBox->Selected(), 0x123456u);
        EXPECT_EQ(f.Frame()->MonochromeColorBox->Selected(), 0x00FFFFu);
        stream.close();
    }

    // A node with a level of 20 and an effect of 9.
    QBuffer wild;
    wild.open(QIODevice::WriteOnly);
    {
        TKvSDFWriter writer(&wild, false);
        writer.BeginNode(1, TKvClippingTool::SettingsGuid);
        writer.WriteInteger(2, 9);
        writer.WriteInteger(4, 20);
        writer.EndNode();
    }
    wild.close();
    wild.open(QIODevice::ReadOnly);
    TKvSDFReader reader(&wild, false);
    ClippingFixture f;
    f.tool->LoadSettings(reader);
    EXPECT_EQ(f.tool->BackgroundEffect(), ::BackgroundColor);
    EXPECT_EQ(f.tool->BlurLevel(), 5);
    EXPECT_EQ(f.tool->Size(), 25) << "absent elements change nothing";
}

TEST(KvClippingToolTest, OutlineDotsAreOneScreenPixelInTheInvertedColoursAtEveryZoom)
{
    ClippingFixture f;
    f.PaintRing(60, 50, 25, 11);
    ASSERT_TRUE(f.Region().HasLabel(LabelOutline));
    auto* control = static_cast<TKvClippingToolControl*>(f.tool->ControlIn(f.view));
    for (const QPoint zoom : {QPoint(1, 1), QPoint(3, 1), QPoint(1, 3)}) {
        TKvViewCanvas canvas;
        canvas.MapMode().DeviceExtent = QPoint(zoom.x(), zoom.x());
        canvas.MapMode().LogicalExtent = QPoint(zoom.y(), zoom.y());
        QImage window(400, 400, QImage::Format_RGB32);
        ASSERT_TRUE(canvas.BeginPaint(window, QRegion(window.rect())));
        canvas.FillClipRegion(QColor(10, 200, 130));
        f.tool->SetPaintLabel(-1);
        control->SetPosition(QPoint(-1000, -1000));
        control->PaintOverlay(canvas);
        canvas.EndPaint();
        int dots = 0;
        for (int y = 0; y < window.height(); ++y)
            for (int x = 0; x < window.width(); ++x)
                dots += window.pixelColor(x, y) != QColor(10, 200, 130);
        // Each outline pixel's dot sits at its pixel's corner on the screen,
        // in the threshold-inverted colour of the picture there.
        const TPoint p = f.tool->Outline().GetPoint(0);
        const QPoint d = canvas.MapMode().LogicalToDevice(QPoint(p.X, p.Y));
        const std::uint8_t* source = f.Pixel(p.X, p.Y);
        EXPECT_EQ(window.pixelColor(d), QColor(source[2] < 128 ? 255 : 0, source[1] < 128 ? 255 : 0,
                                               source[0] < 128 ? 255 : 0))
            << zoom.x() << ":" << zoom.y();
        if (zoom.x() >= zoom.y())
            EXPECT_EQ(dots, f.Region().CountOf(LabelOutline)) << "one dot per outline pixel";
        else
            EXPECT_LT(dots, f.Region().CountOf(LabelOutline)) << "reduced, dots share screen pixels";
    }
}

TEST(KvClippingToolTest, TheCursorSaysWhetherTheStrokeAddsOrErases)
{
    ClippingFixture f;
    EXPECT_EQ(f.tool->ToolCursor(), -1) << "the brush outline stands in for the pointer";
    f.tool->SetPaintLabel(LabelBand);
    EXPECT_EQ(f.tool->ToolCursor(), TKvClippingTool::crPlus);
    f.tool->SetPaintLabel(LabelUnmarked);
    EXPECT_EQ(f.tool->ToolCursor(), TKvClippingTool::crMinus);
    EXPECT_FALSE(ScreenCursor(TKvClippingTool::crMinus).pixmap().isNull());
    EXPECT_FALSE(ScreenCursor(TKvClippingTool::crPlus).pixmap().isNull());
    f.tool->SetPaintLabel(-1);
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
    EXPECT_EQ(f.tool->ToolCursor(), crDefault);
}

TEST(KvClippingToolTest, DemonstrationNamesReachTheControlsAndCommands)
{
    ClippingFixture f;
    f.tool->AfterCreate();
    const TKvDemoRegistry& registry = f.tools.Registry;
    EXPECT_EQ(registry.FindControl(QStringLiteral("EdgeIndication")), f.tool->ToolButton);
    EXPECT_EQ(registry.FindControl(QStringLiteral("EdgeIndicationSeparate")), f.Frame()->SeparateTBXButton);
    EXPECT_EQ(registry.FindControl(QStringLiteral("EdgeIndicationShadow")), f.Frame()->ShadowTntTrackBar);
    EXPECT_EQ(registry.FindControl(QStringLiteral("EdgeIndicationStore")), f.Frame()->StoreTBXButton);
    const TKvDemoRegistry::TCommandInfo* blur = registry.FindCommand(QStringLiteral("EdgeIndicationBlurRadius"));
    ASSERT_NE(blur, nullptr);
    blur->IntProcedure(9);
    EXPECT_EQ(f.tool->BlurLevel(), 5) << "scripts get the same limits";

    f.PaintRing(60, 50, 25, 11);
    registry.FindCommand(QStringLiteral("EdgeIndicationSeparate"))->Procedure();
    EXPECT_TRUE(f.Region().HasLabel(LabelCutLine));
    f.tool.reset();
    EXPECT_EQ(f.tools.Registry.FindCommand(QStringLiteral("EdgeIndicationSeparate")), nullptr);
}

// Demonstration scripts find the published controls by the names they have
// in the tool and its frame.
TEST(KvClippingToolTest, PublishedControlsCarryTheirNames)
{
    ClippingFixture f;
    TKvClippingFrame* frame = f.Frame();
    EXPECT_EQ(f.tool->ToolButton->objectName(), QStringLiteral("Button"));
    EXPECT_EQ(frame->objectName(), QStringLiteral("Frame"));
    const std::pair<const char*, QObject*> components[] = {
        {"TitleLabel", frame->TitleLabel},
        {"SizeLabel", frame->SizeLabel},
        {"SizeTrackBar", frame->SizeTrackBar},
        {"ActionsTntGroupBox", frame->ActionsTntGroupBox},
        {"SeparateTBXButton", frame->SeparateTBXButton},
        {"ClearTBXButton", frame->ClearTBXButton},
        {"EffectTBXButton", frame->EffectTBXButton},
        {"SwapTBXButton", frame->SwapTBXButton},
        {"StoreTBXButton", frame->StoreTBXButton},
        {"DoneTBXButton", frame->DoneTBXButton},
        {"EffectTntGroupBox", frame->EffectTntGroupBox},
        {"BackgroundEffectTntRadioGroup", frame->BackgroundEffectTntRadioGroup},
        {"ColorBox", frame->ColorBox},
        {"ShadowTntTrackBar", frame->ShadowTntTrackBar},
        {"BlurRadiusTntTrackBar", frame->BlurRadiusTntTrackBar},
        {"MonochromeColorBox", frame->MonochromeColorBox},
        {"Self24TBXImageList", frame->Self24TBXImageList},
    };
    for (const auto& [name, component] : components)
        EXPECT_EQ(frame->findChild<QObject*>(QLatin1String(name)), component) << name;
}

TEST(KvClippingToolTest, ButtonClicksAndSettingChangesAreRecorded)
{
    ClippingFixture f;
    TestRecorder recorder;
    f.tool->StartRecording(&recorder);
    f.PaintRing(60, 50, 25, 11);
    recorder.Lines.clear();
    f.Click(f.Frame()->SeparateTBXButton);
    f.Frame()->BlurRadiusTntTrackBar->setValue(4);
    f.Frame()->SetEffectItemIndex(BackgroundMonochrome);
    EXPECT_EQ(recorder.Lines,
              (QStringList{QStringLiteral("MouseCurvedMove EdgeIndicationSeparate"), QStringLiteral("EdgeIndicationSeparate"),
                           QStringLiteral("MouseCurvedMove EdgeIndicationBlurRadius"),
                           QStringLiteral("EdgeIndicationBlurRadius 4"),
                           QStringLiteral("MouseCurvedMove EdgeIndicationBackgroundEffect"),
                           QStringLiteral("EdgeIndicationBackgroundEffect 3")}));
}

TEST(KvClippingToolTest, SaveObjectIsRecordedAndWritesAnEntryWithoutAnEditOrACommand)
{
    const TTempUserFolders userFolders;
    ClippingFixture f;
    f.tool->AfterCreate();
    f.PaintRing(60, 50, 25, 11);
    f.Click(f.Frame()->SeparateTBXButton);
    f.Click(f.Frame()->EffectTBXButton);
    const int states = f.document->History().Count();
    TestRecorder recorder;
    f.tool->StartRecording(&recorder);
    QStringList saved;
    QObject::connect(f.tool.get(), &TKvClippingTool::ObjectSaved, [&](const QString& name) { saved << name; });
    f.Click(f.Frame()->StoreTBXButton);
    EXPECT_EQ(recorder.Lines, (QStringList{QStringLiteral("MouseCurvedMove EdgeIndicationStore"),
                                           QStringLiteral("EdgeIndicationStore")}));
    EXPECT_EQ(saved, QStringList{QStringLiteral("000001")});
    EXPECT_EQ(f.tools.QualityQuestions, 1) << "a picture without a source JPEG is encoded at a quality asked for";
    EXPECT_TRUE(std::filesystem::is_regular_file(ObjectLibraryFolder() / "000001.tmb"));
    EXPECT_EQ(f.document->History().Count(), states);
    EXPECT_FALSE(f.document->Locked());
    EXPECT_TRUE(HasObject(f.Region())) << "the object is still shown";

    // The demonstration command saves as the button does.
    const TKvDemoRegistry::TCommandInfo* store = f.tools.Registry.FindCommand(QStringLiteral("EdgeIndicationStore"));
    ASSERT_NE(store, nullptr);
    store->Procedure();
    EXPECT_EQ(saved.size(), 2);
}

} // namespace
