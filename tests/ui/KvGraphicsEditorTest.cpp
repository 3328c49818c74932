// The graphics editor over real picture files: opening shows the picture,
// saving as JPEG asks for the quality (and cancelling it cancels the save
// without a failure message), dropped files open, and the JPEG quality is
// kept in the settings.
#include "KvGraphicsEditor.h"
#include "KvJPEGOptions.h"
#include "KvMainForm.h"
#include "KvSDF.h"

#include "ModalAnswers.h"
#include "QtPrinters.h"
#include "ShellTestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class GraphicsEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        application.SetTitle(QStringLiteral("Orvane"));
        application.CreateComponent(editor);
        // A 200 x 100 red picture.
        QImage red(200, 100, QImage::Format_RGB888);
        red.fill(Qt::red);
        picture = folder.filePath(QStringLiteral("red.png"));
        ASSERT_TRUE(red.save(picture));
    }

    TKvGraphicsDocument* Open(const QString& path)
    {
        TKvDocument* document = nullptr;
        editor->OpenFile(path, document, true);
        return dynamic_cast<TKvGraphicsDocument*>(document);
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    QTemporaryDir folder;
    TKvApplication application;
    TKvGraphicsEditor* editor = nullptr;
    QString picture;
    TModalAnswers answers;
};

} // namespace

TEST_F(GraphicsEditor, OpeningShowsThePictureFittedInTheWindow)
{
    TKvGraphicsDocument* document = Open(picture);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->Image().Width(), 200);
    EXPECT_EQ(document->Image().Height(), 100);
    EXPECT_EQ(document->FormatKey(), FormatKeyPng);
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("red.png - Orvane"));

    auto* shown = qobject_cast<TKvFittedPictureView*>(document->ExistingView());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->parentWidget(), editor->View);

    // Placement and painting, in a view of known size.
    TKvFittedPictureView view(document);
    struct Case {
        QSize window;
        QRect picture;
    };
    const Case cases[] = {{{400, 300}, {100, 100, 200, 100}}, {{100, 100}, {0, 25, 100, 50}}};
    for (const Case& c : cases) {
        view.resize(c.window);
        EXPECT_EQ(view.PictureRect(), c.picture);
        const QImage shot = view.grab().toImage();
        EXPECT_EQ(shot.pixel(c.picture.center()), QColor(Qt::red).rgb());
        EXPECT_EQ(shot.pixel(c.picture.left(), c.picture.top() - 1), view.palette().color(QPalette::Dark).rgb());
    }
}

TEST_F(GraphicsEditor, SavingAsJpegAsksForTheQuality)
{
    TKvGraphicsDocument* document = Open(picture);
    ASSERT_NE(document, nullptr);
    const QString target = folder.filePath(QStringLiteral("red.jpg"));
    const int jpegEntry = FindFormat([this] {
        TKvFileFormatList list;
        editor->Formats()->SaveFormats(list);
        return list;
    }(), FormatKeyJpeg) + 1;

    // Cancelling the quality question cancels the save, without a message.
    answers.SaveAs(target, jpegEntry);
    answers.Then([](QWidget* modal) { qobject_cast<TKvJPEGOptionsForm*>(modal)->CancelButton->click(); });
    EXPECT_FALSE(editor->SaveDocumentAs(document));
    EXPECT_TRUE(answers.Done());
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(document->FileName(), picture);

    int presetQuality = -1;
    answers.SaveAs(target, jpegEntry);
    answers.Then([&](QWidget* modal) {
        auto* form = qobject_cast<TKvJPEGOptionsForm*>(modal);
        presetQuality = form->GetQuality();
        form->SetQuality(55);
        form->OkButton->click();
    });
    EXPECT_TRUE(editor->SaveDocumentAs(document));
    EXPECT_EQ(presetQuality, 80);
    EXPECT_EQ(editor->GraphicsFormats().JpegQuality, 55);
    EXPECT_EQ(document->FileName(), target);
    EXPECT_EQ(document->FormatKey(), FormatKeyJpeg);
    const QImage written(target);
    EXPECT_EQ(written.size(), QSize(200, 100));
    EXPECT_TRUE(answers.Messages.empty());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(GraphicsEditor, ADroppedFileIsOpened)
{
    ASSERT_TRUE(MainForm->OnDropFile);
    MainForm->OnDropFile(picture);
    ASSERT_NE(editor->ActiveDocument(), nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), picture);
    EXPECT_EQ(editor->RecentFiles(), QStringList{picture});
}

TEST_F(GraphicsEditor, SettingsKeepRecentFilesAndTheJpegQuality)
{
    Open(picture);
    editor->GraphicsFormats().JpegQuality = 42;
    editor->KeepSetting = true;
    QBuffer stored;
    stored.open(QIODevice::WriteOnly);
    TKvSDFWriter writer(&stored, false);
    editor->SaveSettings(writer);

    editor->GraphicsFormats().JpegQuality = 80;
    editor->KeepSetting = false;
    stored.open(QIODevice::ReadOnly);
    TKvSDFReader reader(&stored, false);
    editor->LoadSettings(reader);
    EXPECT_EQ(editor->GraphicsFormats().JpegQuality, 42);
    EXPECT_TRUE(editor->KeepSetting);
    EXPECT_EQ(editor->RecentFiles(), QStringList{picture});
}
