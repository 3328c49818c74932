// The rotate and flip tool: each operation as one command kept as its code,
// undone by the inverse operation on both pictures; the half turns of
// plug-in mode; an operation that cannot be done on every picture records
// nothing; the panel's preview and recorded lines.
#include "ModalAnswers.h"
#include "PictureToolsFixture.h"

#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class RotateToolTest : public ::testing::Test, public PictureToolsFixture {
protected:
    RotateToolTest() : PictureToolsFixture(37, 23, QSize(80, 80)) {}

    bool SameAsStart() const { return SamePicture(Image(), *m_image) && SamePicture(Original(), *m_original); }

    std::unique_ptr<TKvPixelBuffer> m_image = CopyOf(Image());
    std::unique_ptr<TKvPixelBuffer> m_original = CopyOf(Original());
};

TEST_F(RotateToolTest, EachOperationFollowedByItsInverseGivesThePictureBack)
{
    const struct {
        bool (TKvRotateTool::*Do)();
        bool (TKvRotateTool::*Inverse)();
    } cases[] = {{&TKvRotateTool::RotateLeft, &TKvRotateTool::RotateRight},
                 {&TKvRotateTool::RotateRight, &TKvRotateTool::RotateLeft},
                 {&TKvRotateTool::FlipHorizontal, &TKvRotateTool::FlipHorizontal},
                 {&TKvRotateTool::FlipVertical, &TKvRotateTool::FlipVertical}};
    for (const auto& c : cases) {
        ASSERT_TRUE((rotate.get()->*c.Do)());
        EXPECT_FALSE(SameAsStart());
        EXPECT_TRUE(SamePicture(Image(), Original())); // both pictures move together
        ASSERT_TRUE((rotate.get()->*c.Inverse)());
        EXPECT_TRUE(SameAsStart());
    }
    EXPECT_EQ(document->History().Count(), 8);
}

TEST_F(RotateToolTest, FourQuarterTurnsGiveThePictureBack)
{
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(rotate->RotateRight());
        EXPECT_EQ(document->Image().Width(), i % 2 == 0 ? 23 : 37);
    }
    EXPECT_TRUE(SameAsStart());
}

TEST_F(RotateToolTest, UndoAppliesTheInverseAndRedoTheOperationAgain)
{
    ASSERT_TRUE(rotate->RotateLeft());
    const auto turned = CopyOf(Image());
    // Turned left, the top-right pixel is at the top left.
    EXPECT_EQ(ImageAt(0, 0), NumberedColor(36, 0));
    const auto* state = dynamic_cast<const TKvRotateCommandState*>(document->History().Items(0));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->Operation(), roRotateLeft);
    Undo();
    EXPECT_TRUE(SameAsStart());
    EXPECT_TRUE(SamePicture(document->Committed(), *m_image));
    Redo();
    EXPECT_TRUE(SamePicture(Image(), *turned));
}

TEST_F(RotateToolTest, TheCropRectangleTurnsWithThePicture)
{
    document->SetCropRect({2, 3, 12, 20});
    ASSERT_TRUE(rotate->RotateRight());
    EXPECT_EQ(document->CropRect(), (TRect{3, 2, 20, 12}));
    Undo();
    EXPECT_EQ(document->CropRect(), (TRect{2, 3, 12, 20}));
}

TEST_F(RotateToolTest, PluginModeTurnsAHalfTurnAsTwoCommands)
{
    tools.Plugin = true;
    rotate->RotateRightToolButtonClick();
    EXPECT_EQ(document->History().Count(), 2);
    EXPECT_EQ(ImageAt(0, 0), NumberedColor(36, 22));
    tools.Plugin = false;
    rotate->RotateRightToolButtonClick();
    EXPECT_EQ(document->History().Count(), 3);
}

TEST_F(RotateToolTest, AnOperationThatFailsOnAnyPictureChangesNothingAndRecordsNothing)
{
    // The original in a format the turns refuse: the picture must not turn
    // without it, and no command may claim it did.
    TKvApplication application;
    TModalAnswers answers;
    answers.Answer(QMessageBox::Ok);
    document->Original().SetSize(37, 23, PixelFormatBGRA32);
    document->SetFileName(QStringLiteral("x.png"));
    document->MarkSaved();
    EXPECT_FALSE(rotate->RotateRight());
    EXPECT_TRUE(SamePicture(Image(), *m_image));
    EXPECT_EQ(document->Original().Width(), 37);
    EXPECT_EQ(document->History().Count(), 0);
    EXPECT_TRUE(document->Saved());
    EXPECT_FALSE(document->Locked());
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(RotateToolTest, AOnePixelWideColumnTurnsAndTurnsBack)
{
    PictureToolsFixture column(1, 30000, QSize(60, 60));
    const auto start = CopyOf(column.Image());
    ASSERT_TRUE(column.rotate->RotateRight());
    EXPECT_EQ(column.document->Image().GetBounds(), (TRect{0, 0, 30000, 1}));
    EXPECT_EQ(column.ImageAt(29999, 0), NumberedColor(0, 0));
    column.Undo();
    EXPECT_TRUE(SamePicture(column.Image(), *start));
}

TEST_F(RotateToolTest, ThePreviewShowsTheCheckedOption)
{
    tools.SetActiveTool(rotate.get());
    rotate->SetOptionsShown(true);
    TKvRotateFrame* frame = rotate->RotateFrame();
    frame->FlipVerticalRadioButton->setChecked(true);
    EXPECT_EQ(frame->RotateButton->text(), frame->FlipVerticalRadioButton->text());
    const TKvLTBitmap* thumbnail = frame->Thumbnail();
    const TKvLTBitmap* preview = frame->Preview();
    ASSERT_TRUE(thumbnail && preview);
    EXPECT_EQ(thumbnail->Width(), 148); // fitted into the box's smaller side less 2
    ASSERT_EQ(preview->Height(), thumbnail->Height());
    const int h = thumbnail->Height();
    for (int y = 0; y < h; y += 7)
        EXPECT_EQ(std::memcmp(preview->Pixels().PixelAt(0, y), thumbnail->Pixels().PixelAt(0, h - 1 - y),
                              std::size_t(thumbnail->Width()) * 3),
                  0)
            << y;
    // Performing the option flips the picture, and the thumbnail is made
    // again from it.
    const std::vector<std::uint8_t> lastRow(thumbnail->Pixels().PixelAt(0, h - 1),
                                            thumbnail->Pixels().PixelAt(0, h - 1) + thumbnail->Width() * 3);
    frame->RotateButton->click();
    EXPECT_EQ(ImageAt(0, 0), NumberedColor(0, 22));
    ASSERT_TRUE(frame->Thumbnail());
    EXPECT_EQ(std::memcmp(frame->Thumbnail()->Pixels().PixelAt(0, 0), lastRow.data(), lastRow.size()), 0);
}

TEST_F(RotateToolTest, AnUndoOrRedoThatCannotTurnSaysSoAndLeavesTheHistoryWhereItStood)
{
    // The original put into a format the turns refuse once the operation is
    // done: its undo (or redo) cannot turn the document, so the picture and
    // the history's position must stay as they are, with a message.
    TKvApplication application;
    TModalAnswers answers;
    answers.Answer(QMessageBox::Ok);
    answers.Answer(QMessageBox::Ok);
    ASSERT_TRUE(rotate->RotateRight());
    const auto turned = CopyOf(Image());
    document->Original().SetSize(23, 37, PixelFormatBGRA32);
    Undo();
    EXPECT_TRUE(SamePicture(Image(), *turned));
    EXPECT_EQ(document->History().Position(), 1);

    document->Original().SetSize(23, 37, PixelFormatBGR24);
    Undo();
    ASSERT_EQ(document->History().Position(), 0);
    const auto unturned = CopyOf(Image());
    document->Original().SetSize(37, 23, PixelFormatBGRA32);
    Redo();
    EXPECT_TRUE(SamePicture(Image(), *unturned));
    EXPECT_EQ(document->History().Position(), 0);
    EXPECT_EQ(answers.Messages.size(), 2u);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(RotateToolTest, TheOptionsLinkNamesAndPointsToWhatAClickDoes)
{
    tools.SetActiveTool(rotate.get());
    QToolButton* link = rotate->RotateFrame()->ShowOptions;
    for (const bool shown : {true, false, true}) {
        rotate->SetOptionsShown(shown);
        EXPECT_EQ(link->text(), shown ? QStringLiteral("Hide Options") : QStringLiteral("Show More Options"));
        EXPECT_EQ(link->arrowType(), shown ? Qt::UpArrow : Qt::DownArrow);
    }
    link->click();
    EXPECT_FALSE(rotate->OptionsShown());
    EXPECT_EQ(link->arrowType(), Qt::DownArrow);
}

TEST_F(RotateToolTest, ClicksAndOptionsAreRecorded)
{
    TestRecorder recorder;
    rotate->StartRecording(&recorder);
    tools.SetActiveTool(rotate.get());
    rotate->SetOptionsShown(true);
    rotate->RotateFrame()->RotateLeftRadioButton->setChecked(true);
    rotate->RotateFrame()->RotateButton->click();
    rotate->SetOptionsShown(false);
    rotate->RotateFrame()->FlipHorizontalButton->click();
    EXPECT_EQ(recorder.Lines,
              (QStringList{"MouseCurvedMove RotationOptions", "RotationShowOptions", "MouseCurvedMove RotationLeftOption",
                           "RotationLeftOption", "MouseCurvedMove RotationPerform", "RotationPerform",
                           "MouseCurvedMove RotationOptions", "RotationHideOptions",
                           "MouseCurvedMove RotationHorizontal", "RotationHorizontal"}));
    rotate->StopRecording();
}

} // namespace
