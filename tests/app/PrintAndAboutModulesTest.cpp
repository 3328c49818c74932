// Print and About in the assembled program: where their items go, when
// Print is offered, printing into a PDF file when no printer is installed
// (through the same dialog), and the about box the Help menu opens, with
// the program's version and links to files that exist.
#include "EditorTestSupport.h"
#include "KvAbout.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsPrint.h"
#include "KvImageList.h"
#include "KvMainForm.h"
#include "KvPrinter.h"
#include "ModalAnswers.h"
#include "ProgramTestSupport.h"
#include "QtPrinters.h"
#include "ShellTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class PrintAndAboutModules : public ::testing::Test, protected TProgramModules {
protected:
    PrintAndAboutModules()
    {
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
        MainForm->show();
    }
    ~PrintAndAboutModules() override
    {
        CloseEveryDocumentUnasked(GraphicsEditor);
        application.reset();
    }

    TKvGraphicsDocument* OpenPhoto()
    {
        TKvDocument* document = nullptr;
        const QString photo = QDir(qEnvironmentVariable("ORVANE_SOURCE_DIR")).filePath(QStringLiteral("Demo/coffee.png"));
        return GraphicsEditor->OpenFile(photo, document, true) ? static_cast<TKvGraphicsDocument*>(document) : nullptr;
    }

    void Idle()
    {
        GraphicsPrint->UpdateControls();
        GraphicsEditor->UpdateControls();
        GraphicsPrint->UpdateControls();
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
};

TEST_F(PrintAndAboutModules, PrintSitsBeforeTheFileMenusSeparatorAndOnTheStandardToolbar)
{
    const QList<QAction*> file = MainForm->FileMenuItem->actions();
    const qsizetype at = file.indexOf(GraphicsPrint->PrintMenuItem);
    ASSERT_GE(at, 1);
    EXPECT_EQ(file[at - 1], GraphicsPrint->PrintMenuSeparator);
    EXPECT_EQ(file[at + 1], MainForm->FileMenuSeparator);
    EXPECT_EQ(GraphicsPrint->PrintMenuItem->text(), QStringLiteral("Print..."));
    EXPECT_EQ(GraphicsPrint->PrintMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(ImageIndex(GraphicsPrint->PrintMenuItem), 3);

    const QList<QAction*> toolbar = GraphicsEditor->StandardToolbar->actions();
    const qsizetype button = toolbar.indexOf(GraphicsPrint->PrintToolButton);
    ASSERT_GE(button, 0);
    EXPECT_EQ(toolbar[button + 1], GraphicsEditor->EditToolbarSeparator);
    EXPECT_EQ(GraphicsPrint->PrintToolButton->toolTip(), QStringLiteral("Print..."));

    const QList<QAction*> help = MainForm->HelpMenuItem->actions();
    ASSERT_GE(help.size(), 2);
    EXPECT_EQ(help[help.size() - 2], About->AboutMenuSeparator);
    EXPECT_TRUE(About->AboutMenuSeparator->isSeparator());
    EXPECT_EQ(help.back(), About->AboutMenuItem);
    EXPECT_EQ(About->AboutMenuItem->text(), QStringLiteral("About"));
}

TEST_F(PrintAndAboutModules, PrintIsOfferedForAnOpenPictureAndNotInPluginMode)
{
    Idle();
    EXPECT_FALSE(GraphicsPrint->PrintMenuItem->isEnabled());
    ASSERT_NE(OpenPhoto(), nullptr);
    Idle();
    EXPECT_TRUE(GraphicsPrint->PrintMenuItem->isEnabled());
    EXPECT_TRUE(GraphicsPrint->PrintToolButton->isEnabled());
    EXPECT_TRUE(GraphicsPrint->PrintToolButton->isVisible());
    GraphicsEditor->SetPluginMode(true);
    Idle();
    EXPECT_FALSE(GraphicsPrint->PrintMenuItem->isEnabled());
    EXPECT_FALSE(GraphicsPrint->PrintToolButton->isVisible());
}

TEST_F(PrintAndAboutModules, WithoutAPrinterThePictureIsPrintedIntoAPdfFileThroughTheSameDialog)
{
    if (TKvPrinter::HasPrinters())
        GTEST_SKIP() << "this machine has a printer";
    ASSERT_NE(OpenPhoto(), nullptr);
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("coffee.pdf"));

    // Cancel prints nothing.
    {
        TModalAnswers answers;
        answers.Answer(QMessageBox::Cancel);
        GraphicsPrint->PrintCommand(nullptr);
        ASSERT_EQ(answers.Messages.size(), 1u);
        EXPECT_TRUE(answers.Messages[0].Text.startsWith(QStringLiteral("No printer is installed. Do you want to print "
                                                                       "to a PDF file instead")));
        EXPECT_EQ(answers.Unexpected, 0);
    }

    TModalAnswers answers;
    QString offered;
    answers.Then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        offered = box->button(QMessageBox::Yes)->text();
        box->button(QMessageBox::Yes)->click();
    });
    answers.Then([&](QWidget* modal) {
        auto* form = qobject_cast<TKvGraphicsPrintForm*>(modal);
        ASSERT_NE(form, nullptr);
        // The PDF printer has no file yet (Print would ask for one, as the
        // dialog's own tests show); this one is chosen here.
        EXPECT_EQ(GraphicsPrint->Printer().outputFormat(), QPrinter::PdfFormat);
        EXPECT_TRUE(GraphicsPrint->Printer().outputFileName().isEmpty());
        GraphicsPrint->Printer().setOutputFileName(pdf);
        form->ScaleToFitMediaCheckBox->setChecked(true);
        form->PrintButton->click();
    });
    GraphicsPrint->PrintCommand(nullptr);
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(answers.Unexpected, 0);
    EXPECT_EQ(offered, QStringLiteral("Print to PDF File"));
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    EXPECT_EQ(GraphicsPrint->Printer().docName(), QStringLiteral("coffee.png"));
}

TEST_F(PrintAndAboutModules, TheAboutBoxShowsTheVersionAndLinksToFilesThatExist)
{
    TModalAnswers answers;
    std::vector<QString> texts;
    std::vector<QString> links;
    int tabs = 0;
    answers.Then([&](QWidget* modal) {
        auto* form = qobject_cast<TKvAboutForm*>(modal);
        ASSERT_NE(form, nullptr);
        for (const QLabel* label : form->Labels()) {
            texts.push_back(label->text());
            if (!label->toolTip().isEmpty())
                links.push_back(label->toolTip());
        }
        tabs = form->AboutTabs->count();
        EXPECT_FALSE(form->LogoBackground->Picture().isNull());
        EXPECT_EQ(form->LogoBackground->Picture().size(), QSize(500, 300));
        form->close();
    });
    About->AboutMenuItem->trigger();
    EXPECT_TRUE(answers.Done());
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], QStringLiteral("Orvane"));
    // The project's version, as the build gives it.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+(\\.\\d+)*$")).match(texts[1]).hasMatch())
        << texts[1].toStdString();
    EXPECT_EQ(tabs, 3);
    ASSERT_FALSE(links.empty());
    for (const QString& link : links) {
        const QUrl url(link);
        EXPECT_TRUE(url.isLocalFile()) << link.toStdString();
        EXPECT_TRUE(QFileInfo::exists(url.toLocalFile())) << link.toStdString();
    }
    EXPECT_TRUE(links.front().endsWith(QStringLiteral("/LICENSE")));
}

} // namespace
