// One rule for an adjustment still open when the document is read or
// written as a whole: the whole program, a brightness adjustment open, and
// each caller in turn (Save As, plug-in OK, undo by key and by script, Next,
// Close, Print). What is written or shown is only committed pixels, and Cancel
// afterwards leaves the document counted as saved only when its file holds
// what it shows.
#include "EditorTestSupport.h"
#include "GraphicsEditorFixture.h"
#include "KvBrightnessContrastTool.h"
#include "KvExchangeFile.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsPrint.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvPrinter.h"
#include "KvProperties.h"
#include "ModalAnswers.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

constexpr int PngEntry = 3; // the save dialog's filter of PNG files

class OpenChangeRule : public ::testing::Test, public TProgramModules {
protected:
    void SetUp() override
    {
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
        for (const char* name : {"a.png", "b.png"})
            ASSERT_TRUE(PatternPicture(60, 40, true).save(Path(name)));
    }
    void TearDown() override
    {
        CloseEveryDocumentUnasked(GraphicsEditor);
        application = nullptr;
    }

    QString Path(const char* name) const { return folder.filePath(QLatin1String(name)); }
    TKvGraphicsDocument* Open(const QString& path)
    {
        TKvDocument* document = nullptr;
        GraphicsEditor->OpenFile(path, document, true);
        return static_cast<TKvGraphicsDocument*>(document);
    }
    TKvBrightnessContrastTool* Tone() const { return Module->BrightnessContrastTool; }
    // An adjustment the user has not confirmed yet.
    void Adjust()
    {
        Tone()->SetBrightness(60);
        ASSERT_TRUE(Tone()->Adjusting());
    }
    // Cancel on the panel after the caller; the document may count as saved
    // only while its file shows what the document shows.
    void CancelAndCheckSaved(TKvGraphicsDocument* document)
    {
        Tone()->BrightnessContrastFrame()->CancelButton->click();
        const bool fileMatches = MaxDifference(QImage(document->FileName()), DocumentPicture(*document)) == 0;
        EXPECT_EQ(document->Saved(), fileMatches);
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    QTemporaryDir temporary;
    QDir folder{temporary.path()};
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    TModalAnswers answers;
};

TEST_F(OpenChangeRule, SaveAsWritesTheCommittedAdjustment)
{
    TKvGraphicsDocument* document = Open(Path("a.png"));
    ASSERT_NE(document, nullptr);
    Adjust();
    const QImage adjusted = DocumentPicture(*document);
    answers.SaveAs(Path("a.png"), PngEntry);
    answers.Answer(QMessageBox::Yes); // overwrite
    GraphicsEditor->SaveAsClick(nullptr);
    EXPECT_TRUE(answers.Done());
    EXPECT_FALSE(Tone()->Adjusting());
    EXPECT_EQ(document->History().Count(), 1);
    EXPECT_EQ(MaxDifference(QImage(Path("a.png")), adjusted), 0);
    EXPECT_TRUE(document->Saved());
    CancelAndCheckSaved(document);
    EXPECT_TRUE(document->Saved());
    EXPECT_EQ(MaxDifference(DocumentPicture(*document), adjusted), 0);
}

TEST_F(OpenChangeRule, PluginOkWritesTheCommittedAdjustment)
{
    TKvPixelBuffer pixels;
    pixels.SetFormat(PixelFormatBGR24, {0, 0, 7, 5});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            pixels.PixelAt(x, y)[1] = std::uint8_t(20 * x + y);
    const std::vector<std::uint8_t> file = WriteExchangeFile(pixels);
    const QString exchange = Path("exchange.tmp");
    ASSERT_TRUE(WriteBytes(exchange, QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()))));
    TKvGraphicsDocument* document = Open(exchange);
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(GraphicsEditor->PluginMode());
    Adjust();
    const QImage adjusted = DocumentPicture(*document);
    GraphicsEditor->OkClick(GraphicsEditor->OkButton);
    EXPECT_EQ(application->ExitCode(), 0);
    const QByteArray written = ReadBytes(exchange);
    TExchangeFileHeader header;
    ASSERT_EQ(ReadExchangeHeader(reinterpret_cast<const std::uint8_t*>(written.data()), std::size_t(written.size()), 1u << 20,
                                 header),
              TExchangeFileCheck::Valid);
    TKvPixelBuffer back;
    back.SetFormat(PixelFormatBGR24, {0, 0, header.Width, header.Height});
    CopyExchangePixels(reinterpret_cast<const std::uint8_t*>(written.data()), header, back);
    const QImage written24(back.Data, back.Width, back.Height, back.Stride, QImage::Format_BGR888);
    EXPECT_EQ(MaxDifference(written24, adjusted), 0);
    EXPECT_FALSE(Tone()->Adjusting());
}

TEST_F(OpenChangeRule, UndoByKeyAndByScriptCommitsThenUndoesTheAdjustment)
{
    TKvGraphicsDocument* document = Open(Path("a.png"));
    ASSERT_NE(document, nullptr);
    const QImage before = DocumentPicture(*document);
    for (const bool byKey : {true, false}) {
        Adjust();
        const QImage adjusted = DocumentPicture(*document);
        GraphicsEditor->UpdateControls();
        ASSERT_TRUE(GraphicsEditor->UndoMenuItem->isEnabled()); // open, the adjustment can be undone
        if (byKey) {
            MainForm->show();
            QApplication::setActiveWindow(MainForm);
            ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
            QTest::keyClick(GraphicsEditor->ActiveView(), Qt::Key_Z, Qt::ControlModifier);
        } else {
            bool handled = false;
            GraphicsEditor->ExecuteScriptCommand(QStringLiteral("UNDO"), handled, TKvCustomProperties());
            EXPECT_TRUE(handled);
        }
        EXPECT_FALSE(Tone()->Adjusting()) << byKey;
        EXPECT_EQ(MaxDifference(DocumentPicture(*document), before), 0) << byKey;
        EXPECT_TRUE(document->Saved()) << byKey;
        CancelAndCheckSaved(document);
        // The adjustment was recorded before it was undone: it can come back.
        GraphicsEditor->Redo();
        EXPECT_EQ(MaxDifference(DocumentPicture(*document), adjusted), 0) << byKey;
        GraphicsEditor->Undo();
    }
}

TEST_F(OpenChangeRule, NextAsksAboutTheCommittedAdjustmentAndSavesIt)
{
    TKvGraphicsDocument* document = Open(Path("a.png"));
    ASSERT_NE(document, nullptr);
    Adjust();
    const QImage adjusted = DocumentPicture(*document);
    answers.Answer(QMessageBox::Yes); // save changes
    answers.SaveAs(Path("a.png"), PngEntry);
    answers.Answer(QMessageBox::Yes); // overwrite
    GraphicsEditor->NextImageClick(nullptr);
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(MaxDifference(QImage(Path("a.png")), adjusted), 0);
    ASSERT_NE(GraphicsEditor->ActiveDocument(), nullptr);
    EXPECT_EQ(GraphicsEditor->ActiveDocument()->FileName(), Path("b.png"));
    EXPECT_FALSE(Tone()->Adjusting());
    EXPECT_EQ(Tone()->Brightness(), 0);
}

TEST_F(OpenChangeRule, CloseAsksAboutTheCommittedAdjustmentAndSavesIt)
{
    TKvGraphicsDocument* document = Open(Path("b.png"));
    ASSERT_NE(document, nullptr);
    Adjust();
    const QImage adjusted = DocumentPicture(*document);
    answers.Answer(QMessageBox::Yes);
    answers.SaveAs(Path("b.png"), PngEntry);
    answers.Answer(QMessageBox::Yes);
    GraphicsEditor->CloseClick(nullptr);
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(GraphicsEditor->ActiveDocument(), nullptr);
    EXPECT_EQ(MaxDifference(QImage(Path("b.png")), adjusted), 0);
    EXPECT_FALSE(Tone()->Adjusting());
}

TEST_F(OpenChangeRule, CloseRefusedKeepsTheCommittedAdjustmentShown)
{
    TKvGraphicsDocument* document = Open(Path("b.png"));
    ASSERT_NE(document, nullptr);
    Adjust();
    const QImage adjusted = DocumentPicture(*document);
    answers.Answer(QMessageBox::Cancel);
    GraphicsEditor->CloseClick(nullptr);
    ASSERT_EQ(GraphicsEditor->ActiveDocument(), document);
    EXPECT_EQ(MaxDifference(DocumentPicture(*document), adjusted), 0);
    CancelAndCheckSaved(document);
    EXPECT_FALSE(document->Saved());
}

TEST_F(OpenChangeRule, PrintTakesTheCommittedAdjustment)
{
    TKvGraphicsDocument* document = Open(Path("a.png"));
    ASSERT_NE(document, nullptr);
    Adjust();
    const QImage adjusted = DocumentPicture(*document);
    const QString pdf = Path("a.pdf");
    TKvGraphicsPrintModule* print = Module->GraphicsPrint;
    if (!TKvPrinter::HasPrinters())
        answers.Answer(QMessageBox::Yes); // print into a PDF file instead
    bool adjustingWhenShown = true;
    answers.Then([&](QWidget* modal) {
        auto* form = qobject_cast<TKvGraphicsPrintForm*>(modal);
        ASSERT_NE(form, nullptr);
        adjustingWhenShown = Tone()->Adjusting();
        print->Printer().setOutputFormat(QPrinter::PdfFormat);
        print->Printer().setOutputFileName(pdf);
        form->PrintButton->click();
    });
    print->PrintCommand(nullptr);
    EXPECT_TRUE(answers.Done());
    EXPECT_FALSE(adjustingWhenShown);
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    EXPECT_EQ(document->History().Count(), 1);
    // What was printed stays what the document shows: Cancel on the panel
    // afterwards has nothing left to take back.
    CancelAndCheckSaved(document);
    EXPECT_FALSE(document->Saved());
    EXPECT_EQ(MaxDifference(DocumentPicture(*document), adjusted), 0);
}

} // namespace
