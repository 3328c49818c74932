// The clipping tool in the assembled program: the composition root's
// editor, tool panel and tool, a picture opened from a file. What only the
// whole program shows: the open-band message, undo and redo refused while
// Separate runs, what else the user does while Separate runs on its thread
// (the picture closed, the program closed, other steps, tools, zoom),
// undo going on across clipping states while another tool is current, and
// pictures that leave no area to separate.
#include "CommonData.h"
#include "EditorTestSupport.h"
#include "KvClippingTool.h"
#include "KvDialogs.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvScrollTool.h"
#include "KvTextTool.h"
#include "ModalAnswers.h"
#include "Model.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "ViewMouse.h"

#include <QCursor>
#include <QDir>
#include <QImage>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

// An orange disc of radius 60 on blue, in a 400 x 300 picture.
QImage DiscPicture(int width = 400, int height = 300)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, std::hypot(x - 200, y - 150) <= 60 ? QColor(230, 140, 30) : QColor(40, 90, 200));
    return image;
}

class ClippingInEditorTest : public ::testing::Test, protected TProgramModules {
protected:
    ClippingInEditorTest()
    {
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
        MainForm->resize(1000, 700);
        MainForm->show();
        QApplication::processEvents();
    }
    ~ClippingInEditorTest() override
    {
        CloseEveryDocumentUnasked(GraphicsEditor);
        application.reset();
    }

    TKvGraphicsDocument* Open(const QImage& picture, const QString& name = QStringLiteral("picture.png"))
    {
        const QString path = QDir(temporary.path()).filePath(name);
        if (!picture.save(path))
            return nullptr;
        TKvDocument* document = nullptr;
        if (!GraphicsEditor->OpenFile(path, document, false))
            return nullptr;
        ClippingTool->UpdateControls();
        return static_cast<TKvGraphicsDocument*>(document);
    }

    TKvGraphicsView* View() const { return GraphicsEditor->ActiveView(); }

    void Stroke(const std::vector<QPointF>& points)
    {
        Drag(View(), points);
        ClippingTool->UpdateControls();
    }

    void PaintRing(double cx, double cy, double radius, int brushSize)
    {
        ClippingTool->SetSize(brushSize);
        Stroke(RingPoints(cx, cy, radius, 120));
    }

    void Click(QAbstractButton* button)
    {
        ClippingTool->UpdateControls();
        button->click();
        ClippingTool->UpdateControls();
    }

    TKvClippingFrame* Frame() const { return ClippingTool->ClippingFrame(); }
    TKvGraphicsDocument* ActiveDocumentOf() const { return static_cast<TKvGraphicsDocument*>(GraphicsEditor->ActiveDocument()); }
    // The clipping tool's control in the current view.
    TKvBrushToolControl* Brush() const
    {
        for (TKvGraphicsToolControl* control : ClippingTool->Controls())
            if (control->View() == View())
                return dynamic_cast<TKvBrushToolControl*>(control);
        return nullptr;
    }
    TMarkedRegion& Region() const { return ClippingTool->Region(); }

    // The picture's bytes and the labels, to compare two runs.
    std::vector<std::uint8_t> PictureAndLabels(TKvGraphicsDocument* document) const
    {
        const TKvPixels& pixels = document->Image().Pixels();
        std::vector<std::uint8_t> bytes;
        for (int y = 0; y < pixels.Height; ++y)
            for (int x = 0; x < pixels.Width; ++x) {
                const std::uint8_t* pixel = pixels.PixelAt(x, y);
                bytes.insert(bytes.end(), pixel, pixel + 3);
                bytes.push_back(Region().LabelAt(x, y));
            }
        return bytes;
    }

    // Clicks Separate; act runs once from an event while Separate is under
    // way. Returns whether it did.
    bool SeparateWhile(const std::function<void()>& act)
    {
        bool acted = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (acted || !ClippingTool->Busy())
                return;
            acted = true;
            act();
        });
        timer.start(0);
        Click(Frame()->SeparateTBXButton);
        return acted;
    }

    TTempUserFolders userFolders;
    TTestLocalizer localizer;
    QTemporaryDir temporary;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    TModalAnswers answers;
};

TEST_F(ClippingInEditorTest, AnOpenBandFlashesRedShowsTheMessageAndStays)
{
    TKvGraphicsDocument* document = Open(DiscPicture());
    ASSERT_NE(document, nullptr);
    ClippingTool->SetSize(15);
    Stroke({{150, 150}, {200, 150}, {250, 150}});
    const std::int64_t band = Region().CountOf(LabelBand) + Region().CountOf(LabelOutline);

    bool redWhileShown = false;
    QString caption;
    QString text;
    answers.Then([&](QWidget* modal) {
        const std::uint8_t* corner = document->Image().Pixels().PixelAt(0, 0);
        redWhileShown = corner[0] == 0 && corner[1] == 0 && corner[2] == 255 && Region().HasLabel(LabelRedFlash);
        caption = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    Click(Frame()->SeparateTBXButton);
    EXPECT_TRUE(answers.Done());
    EXPECT_TRUE(redWhileShown) << "the one area flashes red while the message is up";
    EXPECT_EQ(caption, LocalStr(2835));
    EXPECT_EQ(text, LocalStr(2836));
    EXPECT_EQ(Region().CountOf(LabelBand) + Region().CountOf(LabelOutline), band) << "the band stays";
    EXPECT_FALSE(Region().HasLabel(LabelRedFlash));
    EXPECT_FALSE(Region().HasLabel(LabelCutLine));
    const std::uint8_t* corner = document->Image().Pixels().PixelAt(0, 0);
    EXPECT_EQ(QColor(corner[2], corner[1], corner[0]), QColor(40, 90, 200)) << "the picture is as it was";
    EXPECT_FALSE(document->Locked());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(ClippingInEditorTest, PicturesThatLeaveNoAreaToSeparateShowTheMessage)
{
    struct TCase {
        const char* Name;
        QImage Picture;
        int BrushSize;
        std::vector<QPointF> Stroke;
    };
    const TCase cases[] = {
        {"a band over the whole picture", DiscPicture(60, 40), 100, {{30, 20}}},
        {"a picture of one pixel", DiscPicture(1, 1), 5, {{0, 0}}},
    };
    for (const TCase& c : cases) {
        TKvGraphicsDocument* document = Open(c.Picture, QString::fromLatin1(c.Name) + QStringLiteral(".png"));
        ASSERT_NE(document, nullptr) << c.Name;
        ClippingTool->SetSize(c.BrushSize);
        Stroke(c.Stroke);
        EXPECT_EQ(Region().CountOf(LabelUnmarked), 0) << c.Name;
        answers.Answer(QMessageBox::Ok);
        Click(Frame()->SeparateTBXButton);
        EXPECT_TRUE(answers.Done()) << c.Name;
        EXPECT_FALSE(Frame()->EffectTBXButton->isEnabled()) << c.Name;
        EXPECT_TRUE(Frame()->ClearTBXButton->isEnabled()) << c.Name;
        Click(Frame()->ClearTBXButton);
        EXPECT_TRUE(Region().IsEmpty()) << c.Name;
        EXPECT_EQ(answers.Unexpected, 0) << c.Name;
        document->SetNoSavePrompt(true);
    }
}

TEST_F(ClippingInEditorTest, UndoAndRedoAreRefusedWhileSeparateRuns)
{
    TKvGraphicsDocument* document = Open(DiscPicture());
    ASSERT_NE(document, nullptr);
    PaintRing(200, 150, 60, 31);
    TKvCommandHistoryList& history = document->History();
    ASSERT_EQ(history.Position(), 1);

    // Hammered from inside the running Separate, by every way there is.
    int hammeredWhileBusy = 0;
    bool historyMoved = false;
    QTimer hammer;
    QObject::connect(&hammer, &QTimer::timeout, [&] {
        if (!ClippingTool->Busy())
            return;
        ++hammeredWhileBusy;
        EXPECT_FALSE(GraphicsEditor->CanUndo());
        GraphicsEditor->Undo();
        GraphicsEditor->Redo();
        GraphicsEditor->UndoClick(nullptr);
        GraphicsEditor->RedoClick(nullptr);
        GraphicsEditor->UndoMenuItem->trigger();
        historyMoved |= history.Position() != 1 || history.Count() != 1;
    });
    hammer.start(0);
    Click(Frame()->SeparateTBXButton);
    hammer.stop();

    EXPECT_GT(hammeredWhileBusy, 0) << "the hammer fell while Separate ran";
    EXPECT_FALSE(historyMoved);
    EXPECT_EQ(history.Position(), 2);
    EXPECT_EQ(history.Count(), 2);
    EXPECT_TRUE(Region().HasLabel(LabelCutLine));
    EXPECT_FALSE(document->Locked());
    // Afterwards undo works again.
    GraphicsEditor->Undo();
    EXPECT_EQ(history.Position(), 1);
    EXPECT_FALSE(Region().HasLabel(LabelCutLine));
}

TEST_F(ClippingInEditorTest, ClosingTheProgramDuringSeparateAsksAboutTheFinishedPicture)
{
    TKvGraphicsDocument* document = Open(DiscPicture());
    ASSERT_NE(document, nullptr);
    PaintRing(200, 150, 60, 31);

    bool finishedWhenAsked = false;
    answers.Then([&](QWidget* modal) {
        // The question is about the picture with the cut found.
        finishedWhenAsked = !ClippingTool->Busy() && !document->Locked() && Region().HasLabel(LabelCutLine)
                         && document->History().Count() == 2;
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->button(QMessageBox::Cancel)->click();
    });
    bool closeRequested = false;
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        closeRequested = ClippingTool->Busy();
        MainForm->close();
    });
    closer.start(0);
    Click(Frame()->SeparateTBXButton);

    EXPECT_TRUE(closeRequested) << "the window was closed while Separate ran";
    EXPECT_TRUE(answers.Done());
    EXPECT_TRUE(finishedWhenAsked);
    EXPECT_TRUE(MainForm->isVisible()) << "cancelled: the program goes on";
    // The document is whole and the work goes on from where it stands.
    EXPECT_EQ(GraphicsEditor->ActiveDocument(), document);
    Click(Frame()->EffectTBXButton);
    EXPECT_TRUE(HasBackground(Region()));
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(ClippingInEditorTest, ClosingDuringSeparateAndSavingWritesTheFinishedPicture)
{
    TKvGraphicsDocument* document = Open(DiscPicture());
    ASSERT_NE(document, nullptr);
    PaintRing(200, 150, 60, 31);
    const QString saved = QDir(temporary.path()).filePath(QStringLiteral("saved.png"));
    answers.Answer(QMessageBox::Yes);
    answers.Then([&](QWidget* modal) {
        auto* dialog = qobject_cast<TKvSaveDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->SetFileName(saved);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QTimer::singleShot(0, [this] { MainForm->close(); });
    Click(Frame()->SeparateTBXButton);
    EXPECT_TRUE(answers.Done());
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_EQ(GraphicsEditor->ActiveDocument(), nullptr);
    // The file holds the separated picture: its cut line shows inverted.
    const QImage written(saved);
    ASSERT_FALSE(written.isNull());
    const QImage original = DiscPicture();
    int changed = 0;
    for (int y = 0; y < original.height(); ++y)
        for (int x = 0; x < original.width(); ++x)
            changed += written.pixelColor(x, y) != original.pixelColor(x, y);
    EXPECT_GT(changed, 300) << "the cut line round the disc";
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(ClippingInEditorTest, UndoGoesOnAcrossClippingStatesWhileAnotherToolIsCurrent)
{
    TKvGraphicsDocument* document = Open(DiscPicture());
    ASSERT_NE(document, nullptr);
    PaintRing(200, 150, 60, 31);
    Click(Frame()->SeparateTBXButton);
    Click(Frame()->EffectTBXButton);
    TKvCommandHistoryList& history = document->History();
    ASSERT_EQ(history.Position(), 3);

    // With the clipping tool current, one step at a time.
    GraphicsEditor->Undo();
    EXPECT_EQ(history.Position(), 2);
    GraphicsEditor->Redo();
    EXPECT_EQ(history.Position(), 3);

    // With another tool current, nobody is left in a half-finished cut:
    // undo goes on until no marks remain.
    GraphicsEditor->SetActiveTool(ScrollTool);
    GraphicsEditor->Undo();
    EXPECT_EQ(history.Position(), 0);
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(GraphicsEditor->ActiveTool(), ScrollTool) << "the current tool stays current";
    // Redo likewise goes on to the state without marks... which is none
    // here: the object shown is the last state.
    GraphicsEditor->Redo();
    EXPECT_EQ(history.Position(), 3);
    EXPECT_TRUE(HasBackground(Region()));
}

// The brush outline stands in for the mouse pointer, so it has to stay
// under the pointer when the picture moves beneath a pointer that stands
// still: after a zoom, after another picture opened in its place, after
// the window changed its size.
TEST_F(ClippingInEditorTest, TheBrushStaysUnderAPointerThatStandsStillWhileThePictureMoves)
{
    struct Case {
        const char* name;
        std::function<void()> moveThePicture;
    };
    const std::vector<Case> cases = {
        {"zoom in", [this] { GraphicsEditor->ZoomInClick(nullptr); }},
        {"zoom out", [this] { GraphicsEditor->ZoomOutClick(nullptr); }},
        {"another picture",
         [this] {
             ActiveDocumentOf()->SetNoSavePrompt(true);
             Open(DiscPicture(1600, 1200), QStringLiteral("larger.png"));
         }},
        {"window resized", [this] { MainForm->resize(MainForm->width() - 150, MainForm->height() - 90); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MainForm->resize(1000, 700);
        ASSERT_NE(Open(DiscPicture()), nullptr);
        QCursor::setPos(View()->mapToGlobal(ClientPoint(View(), {91, 71})));
        QApplication::processEvents();
        QCursor::setPos(View()->mapToGlobal(ClientPoint(View(), {90, 70})));
        QApplication::processEvents();
        ASSERT_EQ(Brush()->BrushPosition(), QPoint(90, 70)) << "the brush follows a moving pointer";

        c.moveThePicture();
        QApplication::processEvents();
        const QPoint underPointer = View()->ClientToImage(View()->mapFromGlobal(QCursor::pos()));
        ASSERT_NE(underPointer, QPoint(90, 70)) << "the case moves the picture under the pointer";
        EXPECT_EQ(Brush()->BrushPosition(), underPointer);
        ActiveDocumentOf()->SetNoSavePrompt(true);
    }
}

} // namespace

TEST_F(ClippingInEditorTest, WhatTheUserDoesWhileSeparateRunsLeavesItsResultAndOneCommand)
{
    struct TCase {
        const char* Name;
        std::function<void()> Act;
    };
    const TCase cases[] = {
        {"a second Separate", [this] { ClippingTool->Separate(); }},
        {"Effect, Swap, Done and Clear",
         [this] {
             ClippingTool->ShowEffect();
             ClippingTool->Swap();
             ClippingTool->Done();
             ClippingTool->Clear();
         }},
        {"another background effect and level",
         [this] {
             ClippingTool->SetBackgroundEffect(BackgroundBlur);
             ClippingTool->SetBlurLevel(5);
         }},
        {"a stroke over the picture", [this] { Stroke({{20, 20}, {120, 60}}); }},
        {"zooming in and out", [this] {
             GraphicsEditor->ZoomInClick(nullptr);
             View()->repaint();
             GraphicsEditor->ZoomOutClick(nullptr);
         }},
        {"the text tool chosen", [this] { TextTool->Activate(nullptr); }},
        {"the cursor and the panel updated", [this] {
             ClippingTool->UpdateControls();
             int cursor = 0;
             Brush()->GetCursor(Qt::NoModifier, QPoint(10, 10), cursor);
         }},
    };
    // What Separate gives when nobody interferes.
    TKvGraphicsDocument* reference = Open(DiscPicture());
    ASSERT_NE(reference, nullptr);
    PaintRing(200, 150, 60, 31);
    Click(Frame()->SeparateTBXButton);
    ASSERT_TRUE(Region().HasLabel(LabelCutLine));
    const std::vector<std::uint8_t> expected = PictureAndLabels(reference);
    reference->SetNoSavePrompt(true);
    CloseEveryDocumentUnasked(GraphicsEditor);

    for (const TCase& c : cases) {
        TKvGraphicsDocument* document = Open(DiscPicture());
        ASSERT_NE(document, nullptr) << c.Name;
        GraphicsEditor->SetActiveTool(ClippingTool);
        PaintRing(200, 150, 60, 31);
        ASSERT_EQ(document->History().Count(), 1) << c.Name;

        EXPECT_TRUE(SeparateWhile(c.Act)) << c.Name << ": done while Separate ran";

        EXPECT_FALSE(ClippingTool->Busy()) << c.Name;
        EXPECT_FALSE(document->Locked()) << c.Name;
        EXPECT_EQ(document->History().Count(), 2) << c.Name << ": Separate and nothing else";
        EXPECT_TRUE(PictureAndLabels(document) == expected) << c.Name << ": the result of Separate alone";
        // The work goes on as usual.
        GraphicsEditor->SetActiveTool(ClippingTool);
        Click(Frame()->EffectTBXButton);
        EXPECT_TRUE(HasBackground(Region())) << c.Name;
        GraphicsEditor->Undo();
        GraphicsEditor->Undo();
        EXPECT_FALSE(Region().HasLabel(LabelCutLine)) << c.Name << ": undone to the band";
        document->SetNoSavePrompt(true);
        CloseEveryDocumentUnasked(GraphicsEditor);
    }
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(ClippingInEditorTest, ClosingThePictureWhileSeparateRunsEndsItAndTheNextPictureSeparates)
{
    TKvGraphicsDocument* document = Open(DiscPicture());
    ASSERT_NE(document, nullptr);
    PaintRing(200, 150, 60, 31);
    document->SetNoSavePrompt(true);
    EXPECT_TRUE(SeparateWhile([&] { GraphicsEditor->CloseClick(nullptr); }));
    EXPECT_EQ(GraphicsEditor->ActiveDocument(), nullptr);
    EXPECT_FALSE(ClippingTool->Busy());

    TKvGraphicsDocument* next = Open(DiscPicture(), QStringLiteral("next.png"));
    ASSERT_NE(next, nullptr);
    GraphicsEditor->SetActiveTool(ClippingTool);
    PaintRing(200, 150, 60, 31);
    Click(Frame()->SeparateTBXButton);
    EXPECT_TRUE(Region().HasLabel(LabelCutLine));
    EXPECT_EQ(next->History().Count(), 2);
    next->SetNoSavePrompt(true);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(ClippingInEditorTest, SeparateRunsInPartsAndTheViewPaintsAgainOnceItEnds)
{
    TKvGraphicsDocument* document = Open(DiscPicture());
    ASSERT_NE(document, nullptr);
    PaintRing(200, 150, 60, 31);
    bool heldWhileBusy = false;
    EXPECT_TRUE(SeparateWhile([&] { heldWhileBusy = View()->PaintHeld(); }));
    EXPECT_TRUE(heldWhileBusy) << "the view does not paint from the picture the parts write";
    EXPECT_FALSE(View()->PaintHeld());
    EXPECT_GT(ClippingTool->StepParts(), 1) << "Separate ran in parts on its thread";
    document->SetNoSavePrompt(true);
}
