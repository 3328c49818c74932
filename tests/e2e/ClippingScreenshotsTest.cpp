// The clipping work in the program itself on a real X server (Xvfb), on a
// photograph: a coffee cup on its saucer, the band dragged round them with
// the mouse (xdotool), Separate and Effect clicked, and
// the four backgrounds chosen in turn in the panel, the object saved into
// the object library with Save Object. Each step leaves a
// screenshot of the main window in the build folder (screenshots/clipping_*)
// for people to look at; the test checks what each step did to the picture.
//
// The test runs itself again as the program: the child runs RunProgram, as
// the editor's main does, with the photograph as its first argument, and
// drives it from a timer once its window is on the screen.
#include "Clipping.h"
#include "KvClippingTool.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvJPEGOptions.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "Program.h"
#include "ProgramTestSupport.h"
#include "ScreenDrags.h"
#include "ScreenDriver.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>

namespace {

// The running program's modules; none while it does not run.
TKvGraphicsEditor* GraphicsEditor() { return RunningModule() ? RunningModule()->GraphicsEditor : nullptr; }
TMainForm* MainForm() { return RunningModule() ? RunningModule()->MainForm : nullptr; }
TKvClippingTool* ClippingTool() { return RunningModule() ? RunningModule()->ClippingTool : nullptr; }

constexpr char ChildVariable[] = "ORVANE_CLIPPING_SCREENSHOTS_CHILD";

// A click on a radio button's round mark: the button is as wide as the
// longest item, its short captions end well before its middle.
bool ClickRadioButton(QRadioButton* button)
{
    return ClickAt(button, QPoint(8, button->height() / 2));
}

// A screenshot of the window (the main window when none is given).
bool TakeScreenshot(const QString& step, QWidget* window = nullptr)
{
    return ::TakeScreenshot(window ? window : MainForm(), QStringLiteral("clipping_") + step);
}

bool Idle()
{
    const TKvGraphicsDocument* document = ClippingTool()->Document();
    return document && !document->Locked() && !ClippingTool()->Busy();
}

const std::uint8_t* Pixel(const TKvGraphicsDocument* document, int x, int y)
{
    return document->Image().Pixels().PixelAt(x, y);
}

bool SameColour(const std::uint8_t* pixel, const QImage& photograph, int x, int y)
{
    return std::memcmp(pixel, photograph.constScanLine(y) + 3 * x, 3) == 0;
}

// What the picture shows with an object: the object as it was in the
// photograph, the background as the effect wants it.
void ExpectObjectKeptAndBackground(const QImage& photograph, const char* effect,
                                   bool (*backgroundChanged)(const std::uint8_t* now, const std::uint8_t* before))
{
    SCOPED_TRACE(effect);
    const TKvGraphicsDocument* document = ClippingTool()->Document();
    const TMarkedRegion& region = ClippingTool()->Region();
    const quint8 object = ClippingTool()->ObjectLabel();
    std::int64_t objectPixels = 0;
    std::int64_t background = 0;
    std::int64_t changed = 0;
    int objectChanged = 0;
    for (int y = 0; y < region.Height(); ++y)
        for (int x = 0; x < region.Width(); ++x) {
            const std::uint8_t* now = Pixel(document, x, y);
            if (region.LabelAt(x, y) == object) {
                ++objectPixels;
                objectChanged += !SameColour(now, photograph, x, y);
            } else {
                ++background;
                changed += backgroundChanged(now, photograph.constScanLine(y) + 3 * x);
            }
        }
    EXPECT_EQ(objectChanged, 0);
    // The saucer with its cup is the object: about half the picture.
    const std::int64_t all = std::int64_t(region.Width()) * region.Height();
    EXPECT_GT(objectPixels, all / 3);
    EXPECT_LT(objectPixels, all * 2 / 3);
    EXPECT_EQ(region.LabelAt(InTheCup.x(), InTheCup.y()), object) << "the cup";
    EXPECT_NE(region.LabelAt(OnTheTable.x(), OnTheTable.y()), object) << "the table";
    EXPECT_GT(changed, background * 9 / 10) << "of " << background << " background pixels";
}

bool DiffersFrom(const std::uint8_t* now, const std::uint8_t* before)
{
    return std::memcmp(now, before, 3) != 0;
}

// Save Object, pressed on the screen: the photograph is no JPEG, so the JPEG
// Options dialog asks for the quality and is answered with OK. The entry
// lands in the user's library; its thumbnail is written beside the
// screenshots as a picture, four times enlarged.
void SaveTheObject()
{
    TKvClippingFrame* frame = ClippingTool()->ClippingFrame();
    ASSERT_TRUE(frame->StoreTBXButton->isEnabled());
    bool answered = false;
    QTimer answer;
    answer.callOnTimeout([&] {
        auto* form = qobject_cast<TKvJPEGOptionsForm*>(QApplication::activeModalWidget());
        if (!form || answered)
            return;
        answered = true;
        EXPECT_TRUE(TakeScreenshot(QStringLiteral("save_object_quality"), form));
        EXPECT_TRUE(ClickAt(form->OkButton));
    });
    answer.start(50);
    ASSERT_TRUE(ClickAt(frame->StoreTBXButton));
    const std::filesystem::path library = ObjectLibraryFolder();
    ASSERT_TRUE(RunLoopUntil([&] { return Idle() && std::filesystem::exists(library / "000001.tmb"); }));
    answer.stop();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(frame->StoreTBXButton->isEnabled()) << "the object is still shown and can be saved again";
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("save_object")));

    const TThumbnail thumbnail = TThumbnail::ReadThumbnail(library, "000001");
    ASSERT_TRUE(thumbnail.IsValid());
    QImage picture(thumbnail.Width(), thumbnail.Height(), QImage::Format_RGB32);
    for (int y = 0; y < thumbnail.Height(); ++y)
        for (int x = 0; x < thumbnail.Width(); ++x) {
            const TColorTriple c = thumbnail.GetPixel(x, y);
            picture.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
        }
    EXPECT_TRUE(picture.scaled(picture.size() * 4).save(ScreenshotPath(QStringLiteral("clipping_save_object_thumbnail"))));
    // The cup in the middle, the checkerboard in the corner.
    const TColorTriple middle = thumbnail.GetPixel(36, 36);
    EXPECT_FALSE(middle == RGBToTriple(0xA9, 0xA9, 0xA9) || middle == RGBToTriple(0xFE, 0xFF, 0xFF));
    EXPECT_EQ(thumbnail.GetPixel(0, 0), RGBToTriple(0xA9, 0xA9, 0xA9));
}

// Drives the program through the clipping work, with a screenshot of each
// step, then closes it.
void CutOutTheSaucer(const QImage& photograph)
{
    TKvGraphicsDocument* document = ClippingTool()->Document();
    ASSERT_TRUE(document) << "the photograph is open";
    ASSERT_EQ(GraphicsEditor()->ActiveTool(), ClippingTool());
    TKvClippingFrame* frame = ClippingTool()->ClippingFrame();

    ClippingTool()->SetSize(CoffeeCupBrushSize);
    ASSERT_TRUE(DragRoundTheCoffeeCup(GraphicsEditor()->ActiveView()));
    ASSERT_TRUE(RunLoopUntil([] { return Idle() && ClippingTool()->Region().HasLabel(LabelOutline); }));
    // The band goes all round: the cup inside and the table outside are
    // still unmarked.
    EXPECT_EQ(ClippingTool()->Region().LabelAt(InTheCup.x(), InTheCup.y()), LabelUnmarked);
    EXPECT_EQ(ClippingTool()->Region().LabelAt(OnTheTable.x(), OnTheTable.y()), LabelUnmarked);
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("band")));

    ASSERT_TRUE(ClickAt(frame->SeparateTBXButton));
    ASSERT_TRUE(RunLoopUntil([] { return Idle() && ClippingTool()->Region().HasLabel(LabelCutLine); }));
    // The cut line shows in the inverted threshold colours.
    const TMarkedRegion& region = ClippingTool()->Region();
    int cutPixels = 0;
    for (int y = 0; y < region.Height(); ++y)
        for (int x = 0; x < region.Width(); ++x)
            if (region.LabelAt(x, y) == LabelCutLine) {
                ++cutPixels;
                const std::uint8_t* p = Pixel(document, x, y);
                ASSERT_TRUE((p[0] == 0 || p[0] == 255) && (p[1] == 0 || p[1] == 255) && (p[2] == 0 || p[2] == 255));
            }
    EXPECT_GT(cutPixels, 1000);
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("separated")));

    // The plain colour first, white as the panel starts.
    ASSERT_TRUE(ClickRadioButton(frame->EffectItem(0)));
    ASSERT_TRUE(RunLoopUntil([] { return ClippingTool()->BackgroundEffect() == 0; }));
    ASSERT_EQ(ClippingTool()->BackgroundColor(), 0xFFFFFFu);
    ASSERT_TRUE(ClickAt(frame->EffectTBXButton));
    ASSERT_TRUE(RunLoopUntil([] { return Idle() && HasBackground(ClippingTool()->Region()); }));
    ExpectObjectKeptAndBackground(photograph, "color", [](const std::uint8_t* now, const std::uint8_t*) {
        return now[0] == 255 && now[1] == 255 && now[2] == 255; // white, the panel's colour
    });
    EXPECT_TRUE(TakeScreenshot(QStringLiteral("effect_color")));
    SaveTheObject();

    // The other backgrounds, chosen in the panel: each is shown at once.
    struct Choice {
        int item;
        const char* name;
        bool (*changed)(const std::uint8_t*, const std::uint8_t*);
    };
    const Choice choices[] = {
        {1, "shadow",
         [](const std::uint8_t* now, const std::uint8_t* before) {
             return now[0] <= before[0] && now[1] <= before[1] && now[2] <= before[2] && DiffersFrom(now, before);
         }},
        {2, "blur", DiffersFrom},
        {3, "mono", [](const std::uint8_t* now, const std::uint8_t*) { return now[0] == now[1] && now[1] == now[2]; }},
    };
    for (const Choice& choice : choices) {
        ASSERT_TRUE(ClickRadioButton(frame->EffectItem(choice.item)));
        ASSERT_TRUE(RunLoopUntil([&] { return Idle() && ClippingTool()->Region().BackgroundEffect() == choice.item; }));
        ExpectObjectKeptAndBackground(photograph, choice.name, choice.changed);
        EXPECT_TRUE(TakeScreenshot(QStringLiteral("effect_") + QLatin1String(choice.name)));
    }

    document->SetNoSavePrompt(true);
    MainForm()->close();
}

} // namespace

// The program, on the X server the parent started.
TEST(ClippingOnScreenChild, Run)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "runs only as the child of the test below";
    const QImage photograph = QImage(QCoreApplication::arguments().value(1)).convertToFormat(QImage::Format_BGR888);
    ASSERT_FALSE(photograph.isNull());
    auto* start = new QTimer(qApp);
    QObject::connect(start, &QTimer::timeout, [start, photograph] {
        if (!MainForm() || !MainForm()->isVisible() || !ClippingTool() || !ClippingTool()->Document())
            return;
        start->stop();
        CutOutTheSaucer(photograph);
        if (MainForm()->isVisible()) // a step failed: end anyway
            QCoreApplication::exit(1);
    });
    start->start(100);
    ASSERT_TRUE(SkipDemonstrationsAtStartup());
    EXPECT_EQ(RunProgram(BuildLanguagesFolder()), 0);
}

TEST(ClippingOnScreen, CutOutOfAPhotographWithEveryBackground)
{
    if (!qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "the parent's part";
    TTempUserFolders folders;
    QTemporaryDir folder;
    const QString photograph = QDir(folder.path()).filePath(QStringLiteral("coffee.png"));
    ASSERT_TRUE(QFile::copy(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("Demo/coffee.png")),
                            photograph));

    TXvfbServer server(QStringLiteral("1280x960x24"));
    ASSERT_FALSE(server.Display().isEmpty());
    EXPECT_EQ(RunThisProgramOn(server, ChildVariable, QStringLiteral("ClippingOnScreenChild.Run"), {photograph}, 300000),
              0);
    server.Stop();
    for (const char* step : {"band", "separated", "effect_color", "save_object_quality", "save_object",
                             "save_object_thumbnail", "effect_shadow", "effect_blur", "effect_mono"})
        EXPECT_TRUE(QFileInfo::exists(ScreenshotPath(QStringLiteral("clipping_") + QLatin1String(step)))) << step;
}
