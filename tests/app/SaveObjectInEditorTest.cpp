// Save Object in the assembled program, on a real photograph: the entry's
// three files read back as the engine's matte, the picture and its
// thumbnail; the document, its history and the window stay exactly as they
// were; a picture without a source JPEG asks for the quality and Cancel
// writes nothing; a library that cannot be written is reported and keeps no
// part of an entry; in plug-in mode OK still writes what it would have; an
// entry whose files cannot be removed stays listed and is reported.
#include "BGRAlpha.h"
#include "CommonData.h"
#include "EditorTestSupport.h"
#include "JpegFixtures.h"
#include "KvClippingTool.h"
#include "KvExchangeFile.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvJPEGOptions.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "ModalAnswers.h"
#include "Model.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "ViewMouse.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

QString SourceFile(const char* name)
{
    return QDir(QString::fromLocal8Bit(qgetenv("ORVANE_SOURCE_DIR"))).filePath(QString::fromLatin1(name));
}

// The names in the library folder; empty when there is none.
QStringList LibraryContents()
{
    return QDir(QString::fromStdString(ObjectLibraryFolder().string())).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Everything about a document that Save Object must leave as it is.
struct DocumentState {
    QString FileName;
    qint32 FormatKey = 0;
    bool Saved = false;
    QString Title;
    int HistoryCount = 0;
    int HistoryPosition = 0;
    QByteArray Pixels;
    TJpegGeometry Geometry;

    friend bool operator==(const DocumentState&, const DocumentState&) = default;
};

class SaveObjectInEditorTest : public ::testing::Test, protected TProgramModules {
protected:
    SaveObjectInEditorTest()
    {
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
        MainForm->resize(1100, 750);
        MainForm->show();
        QApplication::processEvents();
    }
    ~SaveObjectInEditorTest() override
    {
        CloseEveryDocumentUnasked(GraphicsEditor);
        application.reset();
    }

    TKvGraphicsDocument* OpenFile(const QString& path)
    {
        TKvDocument* document = nullptr;
        if (!GraphicsEditor->OpenFile(path, document, false))
            return nullptr;
        ClippingTool->UpdateControls();
        return static_cast<TKvGraphicsDocument*>(document);
    }

    TKvGraphicsDocument* OpenPicture(const QImage& picture, const QString& name)
    {
        const QString path = QDir(temporary.path()).filePath(name);
        return picture.save(path) ? OpenFile(path) : nullptr;
    }

    void Click(QAbstractButton* button)
    {
        ClippingTool->UpdateControls();
        button->click();
        ClippingTool->UpdateControls();
    }

    // A ring round the middle of the picture, Separate and Effect: the
    // object is shown.
    void CutOut(double cx, double cy, double radius)
    {
        ClippingTool->SetSize(25);
        Drag(GraphicsEditor->ActiveView(), RingPoints(cx, cy, radius, 120));
        Click(Frame()->SeparateTBXButton);
        Click(Frame()->EffectTBXButton);
    }

    DocumentState StateOf(TKvGraphicsDocument* document) const
    {
        const TKvPixels& pixels = document->Image().Pixels();
        return {document->FileName(),
                document->FormatKey(),
                document->Saved(),
                MainForm->windowTitle(),
                document->History().Count(),
                document->History().Position(),
                QByteArray(reinterpret_cast<const char*>(pixels.Data), qsizetype(pixels.Stride) * pixels.Height),
                document->Codec().GetGeometry()};
    }

    // Answers the JPEG Options dialog with the quality, or cancels it.
    void AnswerQuality(std::optional<int> quality)
    {
        answers.Then([this, quality](QWidget* modal) {
            auto* form = qobject_cast<TKvJPEGOptionsForm*>(modal);
            if (!form) {
                ++answers.Unexpected;
                return;
            }
            if (quality) {
                form->SetQuality(*quality);
                form->OkButton->click();
            } else {
                form->CancelButton->click();
            }
        });
    }

    TKvClippingFrame* Frame() const { return ClippingTool->ClippingFrame(); }

    TTempUserFolders userFolders;
    TTestLocalizer localizer;
    QTemporaryDir temporary;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    TModalAnswers answers;
};

TEST_F(SaveObjectInEditorTest, APhotoSavesAsAnEntryAndTheDocumentStaysAsItWas)
{
    TKvGraphicsDocument* document = OpenFile(SourceFile("Demo/rocket.jpg"));
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(document->Codec().HasImage());
    EXPECT_FALSE(Frame()->StoreTBXButton->isEnabled());
    CutOut(320, 213, 150);
    // A step to redo: Swap, then undo it.
    Click(Frame()->SwapTBXButton);
    GraphicsEditor->Undo();
    ClippingTool->UpdateControls();
    ASSERT_TRUE(document->History().CanRedo());
    ASSERT_TRUE(Frame()->StoreTBXButton->isEnabled());
    const DocumentState before = StateOf(document);

    QStringList saved;
    QObject::connect(ClippingTool, &TKvClippingTool::ObjectSaved, [&](const QString& name) { saved << name; });
    Click(Frame()->StoreTBXButton);
    EXPECT_EQ(saved, QStringList{QStringLiteral("000001")});
    EXPECT_EQ(answers.Unexpected, 0) << "a source JPEG is written in its own coding, without a question";
    EXPECT_EQ(StateOf(document), before);
    EXPECT_TRUE(HasObject(ClippingTool->Region()));
    GraphicsEditor->Redo();
    EXPECT_EQ(document->History().Position(), before.HistoryPosition + 1) << "the redo step is still there";
    GraphicsEditor->Undo();

    // The matte is the engine's, the picture the one shown within JPEG loss,
    // the thumbnail the object's.
    const fs::path folder = ObjectLibraryFolder();
    TAlphaChanal matte;
    const TRect bounds = BuildObjectMatte(ClippingTool->Region(), matte);
    matte.ComputeMargins();
    TBGRWithAlpha object;
    ASSERT_TRUE(object.LoadObject(folder, "000001"));
    ASSERT_EQ(object.Width(), bounds.Width() + 2 * matte.MarginX());
    ASSERT_EQ(object.Height(), bounds.Height() + 2 * matte.MarginY());
    double error = 0;
    const TKvPixels& shown = document->Image().Pixels();
    for (int x = 0; x < bounds.Width(); ++x)
        for (int y = 0; y < bounds.Height(); ++y) {
            ASSERT_EQ(object.GetAlpha(x + matte.MarginX(), y + matte.MarginY()), matte.GetAlpha(x, y));
            const std::uint8_t* pixel = shown.PixelAt(bounds.Left + x, bounds.Top + y);
            const TColorTriple read = object.GetColor(x + matte.MarginX(), y + matte.MarginY());
            error += std::abs(pixel[0] - read.Blue) + std::abs(pixel[1] - read.Green) + std::abs(pixel[2] - read.Red);
        }
    EXPECT_LT(error / (3.0 * bounds.Width() * bounds.Height()), 3.0);
    EXPECT_EQ(ReadFileBytes(folder / "000001.tmb"), MakeObjectThumbnail(ClippingTool->Region(), bounds).FileBytes());

    // Written in the source's coding: its tables and sampling.
    const TJpegContent source = ReadJpegContent(ReadFileBytes(SourceFile("Demo/rocket.jpg").toStdString()));
    const TJpegContent entry = ReadJpegContent(ReadFileBytes(folder / "000001.jpg"));
    ASSERT_EQ(entry.Components.size(), source.Components.size());
    for (std::size_t c = 0; c < source.Components.size(); ++c) {
        EXPECT_EQ(entry.Components[c].Table, source.Components[c].Table);
        EXPECT_EQ(entry.Components[c].H, source.Components[c].H);
        EXPECT_EQ(entry.Components[c].V, source.Components[c].V);
    }
    EXPECT_EQ(entry.Width, bounds.Width());

    Click(Frame()->StoreTBXButton);
    EXPECT_EQ(saved.size(), 2);
    EXPECT_EQ(saved.back(), QStringLiteral("000002"));
}

TEST_F(SaveObjectInEditorTest, APictureWithoutASourceJpegAsksForTheQualityAndCancelWritesNothing)
{
    TKvGraphicsDocument* document = OpenPicture(QImage(SourceFile("Demo/coffee.png")), QStringLiteral("coffee.png"));
    ASSERT_NE(document, nullptr);
    const int width = document->Image().Width();
    const int height = document->Image().Height();
    CutOut(width / 2.0, height / 2.0, std::min(width, height) / 3.0);
    const DocumentState before = StateOf(document);
    GraphicsEditor->GraphicsFormats().JpegQuality = 80;

    AnswerQuality(std::nullopt);
    Click(Frame()->StoreTBXButton);
    EXPECT_TRUE(answers.Done());
    EXPECT_TRUE(LibraryContents().isEmpty()) << LibraryContents().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(GraphicsEditor->GraphicsFormats().JpegQuality, 80);

    AnswerQuality(55);
    Click(Frame()->StoreTBXButton);
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(LibraryContents(), (QStringList{QStringLiteral("000001.alp"), QStringLiteral("000001.jpg"),
                                              QStringLiteral("000001.tmb")}));
    EXPECT_EQ(GraphicsEditor->GraphicsFormats().JpegQuality, 55) << "the next question starts from it";
    EXPECT_EQ(StateOf(document), before);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(SaveObjectInEditorTest, ALibraryThatCannotBeWrittenIsReportedAndKeepsNoPartOfAnEntry)
{
    TKvGraphicsDocument* document = OpenFile(SourceFile("Demo/rocket.jpg"));
    ASSERT_NE(document, nullptr);
    CutOut(320, 213, 150);
    const DocumentState before = StateOf(document);

    // A file where the program's data folder should be.
    const fs::path data = ObjectLibraryFolder().parent_path();
    WriteFileBytes(data, {'x'});
    answers.Answer(QMessageBox::Ok);
    Click(Frame()->StoreTBXButton);
    ASSERT_TRUE(answers.Done());
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_TRUE(answers.Messages[0].Text.startsWith(
        LocalFormat(3100, {QString::fromStdString(ObjectLibraryFolder().string())})))
        << answers.Messages[0].Text.toStdString();
    EXPECT_EQ(answers.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(fs::is_regular_file(data));
    EXPECT_EQ(StateOf(document), before);

    // A library folder nothing can be created in (made immutable: even the
    // superuser cannot write it).
    fs::remove(data);
    fs::create_directories(ObjectLibraryFolder());
    const std::string folder = ObjectLibraryFolder().string();
    if (std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr is not available here";
    answers.Answer(QMessageBox::Ok);
    Click(Frame()->StoreTBXButton);
    [[maybe_unused]] const int unlocked = std::system(("chattr -i '" + folder + "'").c_str());
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(answers.Messages.size(), 2u);
    EXPECT_TRUE(LibraryContents().isEmpty()) << LibraryContents().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(SaveObjectInEditorTest, InPluginModeOkStillWritesTheExchangeFileAsWithoutTheSave)
{
    const QImage photo(SourceFile("Demo/coffee.png"));
    TKvPixelBuffer pixels;
    ASSERT_TRUE(pixels.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, photo.width(), photo.height())));
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x) {
            const QRgb rgb = photo.pixel(x, y);
            std::uint8_t* pixel = pixels.PixelAt(x, y);
            pixel[0] = std::uint8_t(qBlue(rgb));
            pixel[1] = std::uint8_t(qGreen(rgb));
            pixel[2] = std::uint8_t(qRed(rgb));
        }
    const QString exchange = QDir(temporary.path()).filePath(QStringLiteral("exchange.tmp"));
    const std::vector<std::uint8_t> host = WriteExchangeFile(pixels);
    WriteFileBytes(exchange.toStdString(), host);
    TKvGraphicsDocument* document = OpenFile(exchange);
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(GraphicsEditor->PluginMode());
    CutOut(photo.width() / 2.0, photo.height() / 2.0, std::min(photo.width(), photo.height()) / 3.0);
    // What OK writes without a save: the picture as shown, as an exchange file.
    const std::vector<std::uint8_t> expected = WriteExchangeFile(document->Image().Pixels());

    AnswerQuality(90);
    Click(Frame()->StoreTBXButton);
    EXPECT_TRUE(answers.Done());
    EXPECT_TRUE(fs::is_regular_file(ObjectLibraryFolder() / "000001.tmb"));
    EXPECT_EQ(ReadFileBytes(exchange.toStdString()), host) << "saving the object wrote nothing into the exchange file";

    GraphicsEditor->OkClick(GraphicsEditor->OkButton);
    EXPECT_EQ(application->ExitCode(), 0);
    EXPECT_EQ(ReadFileBytes(exchange.toStdString()), expected);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(SaveObjectInEditorTest, AnEntryWhoseFilesCannotBeRemovedStaysListedAndIsReported)
{
    TKvGraphicsDocument* document = OpenFile(SourceFile("Demo/rocket.jpg"));
    ASSERT_NE(document, nullptr);
    CutOut(320, 213, 150);
    Click(Frame()->StoreTBXButton);
    Click(Frame()->StoreTBXButton);
    TThumbnailList list(ObjectLibraryFolder());
    LoadLibraryList(list);
    ASSERT_EQ(list.Count(), 2);

    const std::string tmb = (ObjectLibraryFolder() / "000001.tmb").string();
    if (std::system(("chattr +i '" + tmb + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr is not available here";
    QString message;
    EXPECT_FALSE(DeleteLibraryEntry(list, 0, message));
    [[maybe_unused]] const int unlocked = std::system(("chattr -i '" + tmb + "'").c_str());
    EXPECT_EQ(message, LocalFormat(3102, {QStringLiteral("000001")}));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(LibraryContents().size(), 6);

    EXPECT_TRUE(DeleteLibraryEntry(list, 0, message));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.NameOf(0), "000002");
    EXPECT_EQ(LibraryContents().size(), 3);
}

} // namespace
