// The picture tools as the program assembles them: the Original button
// shows the original only while it is held down, never while running work
// holds the picture, and is disabled without a picture; the toolbar's turn
// and tone buttons act on the open picture.
#include "EditorTestSupport.h"
#include "GraphicsEditorFixture.h"
#include "KvBrightnessContrastTool.h"
#include "KvClippingTool.h"
#include "KvGraphicsEditor.h"
#include "KvMainForm.h"
#include "KvOriginalImageTool.h"
#include "KvRotateTool.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class PictureToolsInProgram : public ::testing::Test, public TProgramModules {
protected:
    void SetUp() override
    {
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
        MainForm->show();
        ASSERT_TRUE(PatternPicture(50, 30).save(folder.filePath(QStringLiteral("p.png"))));
    }
    void TearDown() override
    {
        CloseEveryDocumentUnasked(GraphicsEditor);
        application = nullptr;
    }

    TKvGraphicsDocument* Open()
    {
        TKvDocument* document = nullptr;
        GraphicsEditor->OpenFile(folder.filePath(QStringLiteral("p.png")), document, false);
        return static_cast<TKvGraphicsDocument*>(document);
    }
    QToolButton* OriginalButton() const
    {
        return qobject_cast<QToolButton*>(
            GraphicsEditor->StandardToolbar->widgetForAction(Module->OriginalImageTool->OriginalImageToolButton));
    }
    void Idle()
    {
        Module->OriginalImageTool->UpdateControls();
        GraphicsEditor->UpdateControls();
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    QTemporaryDir temporary;
    QDir folder{temporary.path()};
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
};

TEST_F(PictureToolsInProgram, TheOriginalShowsOnlyWhileTheButtonIsHeld)
{
    Idle();
    ASSERT_NE(OriginalButton(), nullptr);
    EXPECT_FALSE(Module->OriginalImageTool->OriginalImageToolButton->isEnabled()); // no picture
    ASSERT_NE(Open(), nullptr);
    Idle();
    ASSERT_TRUE(OriginalButton()->isEnabled());
    EXPECT_EQ(OriginalButton()->toolButtonStyle(), Qt::ToolButtonTextOnly);
    TKvGraphicsTool* before = GraphicsEditor->ActiveTool();
    QTest::mousePress(OriginalButton(), Qt::LeftButton);
    EXPECT_EQ(GraphicsEditor->ActiveTool(), Module->OriginalImageTool);
    Idle(); // the idle update while it is held does not make it stay
    QTest::mouseRelease(OriginalButton(), Qt::LeftButton);
    EXPECT_EQ(GraphicsEditor->ActiveTool(), before);
    Idle();
    EXPECT_EQ(GraphicsEditor->ActiveTool(), before);
    EXPECT_FALSE(OriginalButton()->isDown());
}

TEST_F(PictureToolsInProgram, RunningWorkKeepsTheOriginalAway)
{
    TKvGraphicsDocument* document = Open();
    ASSERT_NE(document, nullptr);
    // Separate holds the picture with an exclusive edit while it runs.
    document->Lock(Module->ClippingTool);
    QTest::mousePress(OriginalButton(), Qt::LeftButton);
    EXPECT_EQ(GraphicsEditor->ActiveTool(), Module->ClippingTool);
    QTest::mouseRelease(OriginalButton(), Qt::LeftButton);
    document->ResetLock();
}

TEST_F(PictureToolsInProgram, ToolbarButtonsActOnTheOpenPicture)
{
    TKvGraphicsDocument* document = Open();
    ASSERT_NE(document, nullptr);
    Module->RotateTool->UpdateControls();
    Module->BrightnessContrastTool->UpdateControls();
    Module->RotateTool->RotateRightToolButton->trigger();
    EXPECT_EQ(document->Image().Width(), 30);
    Module->BrightnessContrastTool->ContrastUpToolButton->trigger();
    EXPECT_EQ(document->History().Count(), 2);
    GraphicsEditor->Undo();
    GraphicsEditor->Undo();
    EXPECT_EQ(document->Image().Width(), 50);
    EXPECT_TRUE(document->Saved());
}

} // namespace
