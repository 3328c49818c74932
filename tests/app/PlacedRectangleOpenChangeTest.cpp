// The open-change rule for the paste and the text tool in the whole
// program: a placed rectangle is committed (one step, what it showed) before
// a save, undo by script, plug-in OK and Next, and one still being drawn is
// dropped before Close; nothing the preview showed is ever written unless
// it was committed.
#include "EditorTestSupport.h"
#include "GraphicsEditorFixture.h"
#include "KvExchangeFile.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "KvPasteTool.h"
#include "KvProperties.h"
#include "KvTextTool.h"
#include "ModalAnswers.h"
#include "ObjectLibraryFixture.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "ViewMouse.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace {

class PlacedRectangleOpenChange : public ::testing::Test, public TProgramModules {
protected:
    void SetUp() override
    {
        WriteDiscEntry(ObjectLibraryFolder(), 30);
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
        MainForm->resize(700, 500);
        MainForm->show();
        for (const char* name : {"a.png", "b.png"})
            ASSERT_TRUE(PatternPicture(90, 70, true).save(Path(name)));
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
    TKvGraphicsView* View() const { return GraphicsEditor->ActiveView(); }

    // A rectangle placed with the tool (the paste tool's object, or "Ab" in
    // the text tool), not committed.
    void Place(TKvGraphicsTool* tool)
    {
        GraphicsEditor->SetActiveTool(tool);
        if (tool == TextTool) {
            TextTool->SetTextColor(0xFFFFFF);
            TextTool->TextFrame()->TextMemo->setPlainText(QStringLiteral("Ab"));
        }
        Drag(View(), {{10, 10}, {50, 40}, {80, 60}});
        ASSERT_TRUE(tool->HasOpenChange(GraphicsEditor->ActiveGraphicsDocument()));
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    QTemporaryDir temporary;
    QDir folder{temporary.path()};
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    TModalAnswers answers;
};

TEST_F(PlacedRectangleOpenChange, SavingWritesThePlacedRectangleCommitted)
{
    for (TKvGraphicsTool* tool : {static_cast<TKvGraphicsTool*>(PasteTool), static_cast<TKvGraphicsTool*>(TextTool)}) {
        SCOPED_TRACE(tool->ScriptName.toStdString());
        TKvGraphicsDocument* document = Open(Path("a.png"));
        ASSERT_NE(document, nullptr);
        const QImage before = DocumentPicture(*document);
        Place(tool);
        EXPECT_EQ(MaxDifference(DocumentPicture(*document), before), 0) << "the preview is not in the picture";
        const QString saved = Path("saved-") + tool->ScriptName + QStringLiteral(".png");
        ASSERT_TRUE(document->SaveToFile(saved, document->FormatKey()));
        EXPECT_FALSE(tool->HasOpenChange(document));
        EXPECT_EQ(document->History().Count(), 1);
        EXPECT_GT(MaxDifference(DocumentPicture(*document), before), 0);
        EXPECT_EQ(MaxDifference(QImage(saved), DocumentPicture(*document)), 0);
        CloseEveryDocumentUnasked(GraphicsEditor);
    }
}

TEST_F(PlacedRectangleOpenChange, UndoByScriptCommitsThenUndoesAndRedoBringsItBack)
{
    for (TKvGraphicsTool* tool : {static_cast<TKvGraphicsTool*>(PasteTool), static_cast<TKvGraphicsTool*>(TextTool)}) {
        SCOPED_TRACE(tool->ScriptName.toStdString());
        TKvGraphicsDocument* document = Open(Path("a.png"));
        ASSERT_NE(document, nullptr);
        // A first rectangle committed, a second one placed.
        Place(tool);
        QTest::keyClick(View(), Qt::Key_Return);
        ASSERT_EQ(document->History().Count(), 1);
        const QImage before = DocumentPicture(*document);
        Place(tool);
        bool handled = false;
        GraphicsEditor->ExecuteScriptCommand(QStringLiteral("UNDO"), handled, TKvCustomProperties());
        EXPECT_TRUE(handled);
        EXPECT_FALSE(tool->HasOpenChange(document));
        EXPECT_EQ(MaxDifference(DocumentPicture(*document), before), 0);
        EXPECT_EQ(document->History().Count(), 2) << "the second was recorded before it was undone";
        GraphicsEditor->Redo();
        EXPECT_GT(MaxDifference(DocumentPicture(*document), before), 0);
        CloseEveryDocumentUnasked(GraphicsEditor);
    }
}

TEST_F(PlacedRectangleOpenChange, PluginOkWritesThePlacedTextCommitted)
{
    TKvPixelBuffer pixels;
    pixels.SetFormat(PixelFormatBGR24, {0, 0, 90, 70});
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 90; ++x)
            pixels.PixelAt(x, y)[1] = std::uint8_t(2 * x + y);
    const std::vector<std::uint8_t> file = WriteExchangeFile(pixels);
    const QString exchange = Path("exchange.tmp");
    ASSERT_TRUE(WriteBytes(exchange, QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()))));
    TKvGraphicsDocument* document = Open(exchange);
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(GraphicsEditor->PluginMode());
    ASSERT_TRUE(TextTool->Available()) << "the text tool stays in plug-in mode";
    const QImage before = DocumentPicture(*document);
    Place(TextTool);
    GraphicsEditor->OkClick(GraphicsEditor->OkButton);
    EXPECT_EQ(application->ExitCode(), 0);
    const QByteArray written = ReadBytes(exchange);
    TExchangeFileHeader header;
    ASSERT_EQ(ReadExchangeHeader(reinterpret_cast<const std::uint8_t*>(written.data()), std::size_t(written.size()),
                                 1u << 20, header),
              TExchangeFileCheck::Valid);
    TKvPixelBuffer back;
    back.SetFormat(PixelFormatBGR24, {0, 0, header.Width, header.Height});
    CopyExchangePixels(reinterpret_cast<const std::uint8_t*>(written.data()), header, back);
    const QImage written24(back.Data, back.Width, back.Height, back.Stride, QImage::Format_BGR888);
    EXPECT_GT(MaxDifference(written24, before), 0);
    EXPECT_FALSE(TextTool->HasOpenChange(document));
}

TEST_F(PlacedRectangleOpenChange, NextAsksAboutThePasteCommitted)
{
    TKvGraphicsDocument* document = Open(Path("a.png"));
    ASSERT_NE(document, nullptr);
    Place(PasteTool);
    answers.Answer(QMessageBox::No); // do not save the changes
    GraphicsEditor->NextImageClick(nullptr);
    EXPECT_TRUE(answers.Done()) << "the committed paste is a change to ask about";
    ASSERT_NE(GraphicsEditor->ActiveDocument(), nullptr);
    EXPECT_EQ(GraphicsEditor->ActiveDocument()->FileName(), Path("b.png"));
    EXPECT_FALSE(PasteTool->HasOpenChange(nullptr));
}

TEST_F(PlacedRectangleOpenChange, ARectangleStillBeingDrawnIsDroppedOnClose)
{
    TKvGraphicsDocument* document = Open(Path("a.png"));
    ASSERT_NE(document, nullptr);
    GraphicsEditor->SetActiveTool(PasteTool);
    QTest::mousePress(View(), Qt::LeftButton, {}, ClientPoint(View(), {10, 10}));
    QTest::mouseMove(View(), ClientPoint(View(), {60, 50}));
    ASSERT_TRUE(PasteTool->HasOpenChange(document));
    GraphicsEditor->CloseClick(nullptr); // nothing changed: no question
    EXPECT_EQ(GraphicsEditor->ActiveDocument(), nullptr);
    EXPECT_FALSE(PasteTool->HasOpenChange(nullptr));
    EXPECT_EQ(answers.Unexpected, 0);
}

} // namespace
