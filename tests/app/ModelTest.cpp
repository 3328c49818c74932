// The composition root, the status bar's progress meter and the shared
// image list.
#include "CommonData.h"
#include "KvAbout.h"
#include "KvBrightnessContrastTool.h"
#include "KvClippingTool.h"
#include "KvCropTool.h"
#include "KvDemoEditor.h"
#include "KvDemonstration.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsPrint.h"
#include "KvHelp.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "KvOriginalImageTool.h"
#include "KvPanelToolbar.h"
#include "KvPasteTool.h"
#include "KvRotateTool.h"
#include "KvScrollTool.h"
#include "KvSystemInfo.h"
#include "KvTextTool.h"
#include "KvToolPanel.h"
#include "Model.h"
#include "ObjectLibraryFixture.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QDockWidget>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

class ModelTest : public ::testing::Test, protected TProgramModules {
protected:
    void SetUp() override
    {
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
    }
    void TearDown() override { application = nullptr; }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
};

TEST_F(ModelTest, ComponentsAreCreatedInTheProgramsOrder)
{
    const std::vector<QObject*> expected{CommonDataModule,
                                         Module,
                                         GraphicsEditor,
                                         MainForm,
                                         ScrollTool,
                                         Help,
                                         DemonstrationModule,
                                         Module->DemoEditorModule,
                                         SystemInfo,
                                         GraphicsPrint,
                                         About,
                                         ToolPanelModule,
                                         Module->OriginalImageTool,
                                         Module->RotateTool,
                                         Module->BrightnessContrastTool,
                                         Module->CropTool,
                                         TextTool,
                                         ClippingTool,
                                         PasteTool};
    ASSERT_EQ(application->ComponentCount(), static_cast<int>(expected.size()));
    for (int i = 0; i < application->ComponentCount(); ++i)
        EXPECT_EQ(application->Components(i), expected[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(application->MainForm(), MainForm);
    EXPECT_EQ(MainForm->Images(), CommonDataModule->New24TBXImageList);
    EXPECT_TRUE(ToolPanelModule->Toolbar->Wrapping());
}

TEST_F(ModelTest, TheClippingToolIsActiveWithItsPictureAndASeparatorAfterItsButton)
{
    ASSERT_NE(ClippingTool, nullptr);
    EXPECT_EQ(GraphicsEditor->ActiveTool(), ClippingTool);
    EXPECT_EQ(ImageIndex(ClippingTool->ToolButton), 77);
    const QList<QAction*> buttons = ToolPanelModule->Toolbar->actions();
    const qsizetype at = buttons.indexOf(ClippingTool->ToolButton);
    ASSERT_GE(at, 0);
    ASSERT_LT(at + 1, buttons.size());
    EXPECT_TRUE(buttons[at + 1]->isSeparator());
    EXPECT_TRUE(ToolPanelModule->Panel->isAncestorOf(ClippingTool->ClippingFrame()));
    EXPECT_EQ(ToolPanelModule->Panel->widget()->maximumWidth(), TKvClippingTool::PanelWidth);
}

TEST_F(ModelTest, TheTextToolComesBeforeAndThePasteToolAfterTheClippingTool)
{
    EXPECT_EQ(ImageIndex(TextTool->ToolButton), 79);
    EXPECT_EQ(ImageIndex(PasteTool->ToolButton), 78);
    const QList<QAction*> buttons = ToolPanelModule->Toolbar->actions();
    const qsizetype text = buttons.indexOf(TextTool->ToolButton);
    const qsizetype clipping = buttons.indexOf(ClippingTool->ToolButton);
    const qsizetype paste = buttons.indexOf(PasteTool->ToolButton);
    ASSERT_GE(text, 0);
    EXPECT_TRUE(buttons[text + 1]->isSeparator());
    EXPECT_EQ(clipping, text + 2);
    EXPECT_EQ(paste, clipping + 2);
    EXPECT_TRUE(ToolPanelModule->Panel->isAncestorOf(TextTool->TextFrame()));
    EXPECT_TRUE(ToolPanelModule->Panel->isAncestorOf(PasteTool->PasteFrame()));
}

// Save Object's signal reaches the paste tool through the composition root:
// the new entry is listed and selected at once.
TEST_F(ModelTest, AnObjectSavedByTheClippingToolJoinsThePasteToolsList)
{
    ASSERT_EQ(PasteTool->List().Count(), 0) << "a fresh user has an empty library";
    const std::string name = WriteDiscEntry(ObjectLibraryFolder());
    ASSERT_FALSE(name.empty());
    emit ClippingTool->ObjectSaved(QString::fromStdString(name));
    EXPECT_EQ(PasteTool->List().Count(), 1);
    EXPECT_EQ(PasteTool->List().Selected(), 0);
    EXPECT_FALSE(PasteTool->Object().IsEmpty());
}

TEST_F(ModelTest, PictureToolsSitOnTheStandardToolbarWithTheirPanelButtonsHidden)
{
    // The standard toolbar ends: separator, Original, separator, the four
    // turns, separator, the four tone steps.
    const QList<QAction*> items = GraphicsEditor->StandardToolbar->actions();
    const qsizetype original = items.indexOf(Module->OriginalImageTool->OriginalImageToolButton);
    ASSERT_GE(original, 1);
    EXPECT_TRUE(items[original - 1]->isSeparator());
    TKvRotateTool* rotate = Module->RotateTool;
    TKvBrightnessContrastTool* tone = Module->BrightnessContrastTool;
    const std::vector<QAction*> tail{nullptr,
                                     rotate->RotateRightToolButton,
                                     rotate->RotateLeftToolButton,
                                     rotate->FlipVerticalToolButton,
                                     rotate->FlipHorizontalToolButton,
                                     nullptr,
                                     tone->BrightnessUpToolButton,
                                     tone->BrightnessDownToolButton,
                                     tone->ContrastUpToolButton,
                                     tone->ContrastDownToolButton};
    ASSERT_EQ(items.size(), original + 1 + qsizetype(tail.size()));
    for (size_t i = 0; i < tail.size(); ++i) {
        QAction* item = items[original + 1 + qsizetype(i)];
        if (tail[i])
            EXPECT_EQ(item, tail[i]) << i;
        else
            EXPECT_TRUE(item->isSeparator()) << i;
    }
    const std::pair<QAction*, int> images[] = {{rotate->RotateRightToolButton, 16},  {rotate->RotateLeftToolButton, 17},
                                               {rotate->FlipVerticalToolButton, 18}, {rotate->FlipHorizontalToolButton, 19},
                                               {tone->BrightnessUpToolButton, 31},   {tone->BrightnessDownToolButton, 32},
                                               {tone->ContrastUpToolButton, 33},     {tone->ContrastDownToolButton, 34}};
    for (const auto& [button, index] : images)
        EXPECT_EQ(ImageIndex(button), index) << button->objectName().toStdString();
    // The panel's buttons of rotate, tone and crop exist but are hidden, and
    // stay hidden however available the tools are made.
    for (TKvGraphicsTool* tool : std::initializer_list<TKvGraphicsTool*>{rotate, tone, Module->CropTool}) {
        ASSERT_NE(tool->ToolButton, nullptr);
        EXPECT_TRUE(ToolPanelModule->Toolbar->actions().contains(tool->ToolButton));
        tool->SetAvailable(true);
        EXPECT_FALSE(tool->ToolButton->isVisible()) << tool->ScriptName.toStdString();
    }
}

TEST_F(ModelTest, TheProgressMeterDrivesTheStatusBarsLastPanel)
{
    TKvProgressBarMeter* meter = Module->ProgressMeter();
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(GraphicsEditor->ProgressMeter(), meter);
    QProgressBar* bar = meter->Bar();
    EXPECT_EQ(bar->parentWidget(), MainForm->StatusBar);
    EXPECT_EQ(bar->width(), TModule::ProgressBarWidth);
    // Reset: an empty bar, not Qt's busy animation of a 0..0 range.
    EXPECT_EQ(bar->value(), bar->minimum());
    EXPECT_LT(bar->minimum(), bar->maximum());

    meter->StartProgress(3);
    EXPECT_EQ(bar->maximum(), 3);
    EXPECT_EQ(bar->value(), 0);
    const int expected[] = {1, 2, 3, 0, 1};
    for (int value : expected) {
        meter->StepIt();
        EXPECT_EQ(bar->value(), value);
    }

    meter->DefaultMax = 50;
    meter->StartProgress(0);
    EXPECT_EQ(bar->maximum(), 50);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(ModelTest, TheSharedImageListHas80EntriesWithPicturesWhereTheProgramUsesThem)
{
    const TKvImageList* images = CommonDataModule->New24TBXImageList;
    // The 80 of the common data, then the two pictures the rotate and the
    // tone tool add by name for their panel buttons.
    ASSERT_EQ(images->Count(), TCommonDataModule::ImageCount + 2);
    EXPECT_EQ(ImageIndex(Module->RotateTool->ToolButton), TCommonDataModule::ImageCount);
    EXPECT_EQ(ImageIndex(Module->BrightnessContrastTool->ToolButton), TCommonDataModule::ImageCount + 1);
    EXPECT_EQ(images->Size(), QSize(24, 24));
    for (int index : {1, 2, 3, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 31, 32, 33, 34, 77, 78, 79}) {
        const QIcon icon = images->Icon(index);
        EXPECT_FALSE(icon.isNull()) << index;
        EXPECT_FALSE(icon.pixmap(24, 24).toImage().isNull()) << index;
    }
    EXPECT_TRUE(images->Icon(0).isNull());
    // Standard actions take the installed icon theme's pictures.
    EXPECT_TRUE(QIcon::hasThemeIcon(QStringLiteral("document-open")));
}

TEST_F(ModelTest, TheMainFormIsCaptionedWithTheTitle)
{
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Orvane"));
}

} // namespace
