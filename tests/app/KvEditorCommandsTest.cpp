// The editor module over a small text-file registry: where its items go,
// open and its failure message, the close question after undo, Save As
// with its extension rule and overwrite question, recent files with their
// menu and settings, the window title, the main form's close query, the
// command line, script commands and plug-in mode.
#include "KvDialogs.h"
#include "KvEditor.h"
#include "KvMainForm.h"
#include "KvProperties.h"
#include "KvSDF.h"
#include "ModalAnswers.h"

#include "QtPrinters.h"
#include "ModalAnswers.h"
#include "ShellTestSupport.h"
#include "TestRecorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Text files under three formats; a file whose text starts with "bad" does
// not load. Saving writes "saved", unless told to fail or to act as if the
// user cancelled a question.
class TTextFormats : public TKvDocumentFormats {
public:
    int Count() const override { return 3; }
    TKvFileFormatInfo Items(int index) const override
    {
        static const TKvFileFormatInfo items[] = {
            {7, "Text", "*.txt", ".txt"}, {0, "JPEG", "*.jpg;*.jpeg", ".jpg"}, {2, "PNG", "*.png", ".png"}};
        return items[index];
    }
    bool LoadDocument(TKvDocument*, const QString& fileName, qint32& formatKey) override
    {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly) || file.readAll().startsWith("bad"))
            return false;
        formatKey = fileName.endsWith(".png") ? 2 : fileName.endsWith(".jpg") ? 0 : 7;
        return true;
    }
    bool SaveDocument(TKvDocument*, const QString& fileName, qint32) override
    {
        if (Cancel) {
            Cancel();
            return false;
        }
        QFile file(fileName);
        return !FailSaves && file.open(QIODevice::WriteOnly) && file.write("saved") == 5;
    }
    bool CanSaveFormat(qint32) const override { return true; }

    bool FailSaves = false;
    std::function<void()> Cancel;
};

class TTextDocument : public TKvDocument {
public:
    using TKvDocument::TKvDocument;

protected:
    QWidget* CreateView() override { return new QWidget; }
};

class TTextEditor : public TKvEditor {
public:
    using TKvEditor::TKvEditor;
    TKvDocumentFormats* Formats() override { return &Registry; }
    std::unique_ptr<TKvDocument> CreateDocument() override { return std::make_unique<TTextDocument>(this); }
    void CancelSaveByUser()
    {
        NoteSaveCancelled();
    }

    TTextFormats Registry;
};

class TNoOpState : public TKvCommandState {
public:
    void Undo() override {}
    void Redo() override {}
};

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class EditorCommands : public ::testing::Test {
protected:
    void SetUp() override { NewProgram(); }
    void TearDown() override { application.reset(); }

    // A fresh application with the editor, which makes the main form.
    void NewProgram()
    {
        editor = nullptr;
        application.reset();
        application = std::make_unique<TKvApplication>();
        application->SetTitle(QStringLiteral("Orvane"));
        application->CreateComponent(editor, TMainForm::Maker(MainForm));
    }

    QString NewFile(const QString& name, const QByteArray& text = "text")
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return path;
    }
    TKvDocument* Open(const QString& path)
    {
        TKvDocument* document = nullptr;
        editor->OpenFile(path, document, true);
        return document;
    }
    static void Record(TKvDocument* document, int states)
    {
        for (int i = 0; i < states; ++i)
            document->History().Add(std::make_unique<TNoOpState>());
    }
    QStringList RecentCaptions() const
    {
        QStringList captions;
        for (QAction* item : editor->RecentFileItems())
            captions << item->text();
        return captions;
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    QTemporaryDir folder;
    std::unique_ptr<TKvApplication> application;
    TMainForm* MainForm = nullptr;
    TTextEditor* editor = nullptr;
    TModalAnswers answers;
};

} // namespace

TEST_F(EditorCommands, ItemsAreMergedIntoTheMainForm)
{
    const QList<QAction*> file = MainForm->FileMenuItem->actions();
    const std::vector<QAction*> expected{editor->OpenMenuItem,  editor->SaveMenuItem,
                                         editor->SaveAsMenuItem, editor->CloseMenuItem,
                                         MainForm->FileMenuSeparator, editor->RecentFilesMenuSeparator,
                                         MainForm->ExitMenuItem};
    EXPECT_EQ(std::vector<QAction*>(file.begin(), file.end()), expected);
    EXPECT_EQ(editor->OpenMenuItem->text(), QStringLiteral("Open..."));
    EXPECT_EQ(editor->OpenMenuItem->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(editor->SaveAsMenuItem->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_FALSE(editor->SaveMenuItem->isVisible());

    const QList<QAction*> menus = MainForm->Menu->actions();
    EXPECT_EQ(menus.indexOf(editor->EditMenuItem->menuAction()) + 1,
              menus.indexOf(MainForm->ViewMenuItem->menuAction()));
    EXPECT_EQ(editor->EditMenuItem->actions(),
              (QList<QAction*>{editor->UndoMenuItem, editor->UndoAllMenuItem, editor->RedoMenuItem,
                               editor->RedoAllMenuItem}));
    EXPECT_EQ(editor->UndoMenuItem->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    EXPECT_EQ(editor->RedoMenuItem->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
    EXPECT_EQ(editor->StandardToolbar->actions(),
              (QList<QAction*>{editor->OpenToolButton, editor->SaveToolButton, editor->EditToolbarSeparator,
                               editor->UndoToolButton, editor->RedoToolButton}));
    EXPECT_EQ(editor->UndoToolButton->toolTip(), QStringLiteral("Undo"));
    EXPECT_EQ(MainForm->findChild<QAction*>(QStringLiteral("RedoToolButton")), editor->RedoToolButton);
}

TEST_F(EditorCommands, TheDocumentAreaIsNamedAfterTheEditorsField)
{
    ASSERT_NE(editor->View, nullptr);
    EXPECT_EQ(MainForm->findChild<QWidget*>(QStringLiteral("View")), editor->View);
}

TEST_F(EditorCommands, RecentFilesKeepTheFiveLatestOnceEach)
{
    QStringList paths;
    for (int i = 1; i <= 6; ++i)
        paths << NewFile(QStringLiteral("f%1.txt").arg(i));
    for (int i = 0; i < 5; ++i)
        ASSERT_NE(Open(paths[i]), nullptr);
    EXPECT_EQ(editor->RecentFiles(), (QStringList{paths[4], paths[3], paths[2], paths[1], paths[0]}));

    Open(paths[0]);
    EXPECT_EQ(editor->RecentFiles(), (QStringList{paths[0], paths[4], paths[3], paths[2], paths[1]}))
        << "the same file again goes to the top, once";
    Open(paths[5]);
    EXPECT_EQ(editor->RecentFiles(), (QStringList{paths[5], paths[0], paths[4], paths[3], paths[2]}))
        << "the sixth file drops the oldest";

    ASSERT_EQ(RecentCaptions().size(), 5);
    EXPECT_EQ(RecentCaptions()[0], QStringLiteral("&1 ") + QDir::toNativeSeparators(paths[5]));
    EXPECT_EQ(RecentCaptions()[4], QStringLiteral("&5 ") + QDir::toNativeSeparators(paths[2]));

    // An item opens its file, which goes to the top.
    editor->RecentFileItems()[3]->trigger();
    EXPECT_EQ(editor->ActiveDocument()->FileName(), paths[3]);
    EXPECT_EQ(editor->RecentFiles().first(), paths[3]);
    EXPECT_EQ(RecentCaptions().size(), 5);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(EditorCommands, RecentFilesSurviveTheSettings)
{
    const QString a = NewFile("a.txt");
    const QString b = NewFile("b & c.txt");
    Open(a);
    Open(b);
    QBuffer stored;
    stored.open(QIODevice::WriteOnly);
    TKvSDFWriter writer(&stored, false);
    editor->SaveSettings(writer);

    NewProgram();
    stored.open(QIODevice::ReadOnly);
    TKvSDFReader reader(&stored, false);
    editor->LoadSettings(reader);
    EXPECT_EQ(editor->RecentFiles(), (QStringList{b, a}));
    EXPECT_EQ(RecentCaptions(), (QStringList{"&1 " + QDir::toNativeSeparators(b).replace("&", "&&"),
                                             "&2 " + QDir::toNativeSeparators(a)}));
    editor->RecentFileItems()[0]->trigger();
    EXPECT_EQ(editor->ActiveDocument()->FileName(), b);

    // A count far beyond the elements present loads what is there.
    QBuffer damaged;
    damaged.open(QIODevice::WriteOnly);
    TKvSDFWriter damagedWriter(&damaged, false);
    damagedWriter.BeginNode(1, TKvEditor::SettingsGuid);
    damagedWriter.BeginNode(1, qint32(0x7fffffff));
    damagedWriter.WriteWideString(2, QStringLiteral("/x/second"));
    damagedWriter.WriteWideString(1, QStringLiteral("/x/first"));
    damagedWriter.EndNode();
    damagedWriter.EndNode();
    NewProgram();
    damaged.open(QIODevice::ReadOnly);
    TKvSDFReader damagedReader(&damaged, false);
    editor->LoadSettings(damagedReader);
    EXPECT_EQ(editor->RecentFiles(), (QStringList{"/x/first", "/x/second"}));
}

TEST_F(EditorCommands, CloseAsksExactlyWhenUndoLeftTheSavedState)
{
    const QString path = NewFile("picture.txt");

    // Undo All back to the file's state: nothing to ask.
    Record(Open(path), 2);
    editor->UndoAllClick(nullptr);
    editor->CloseClick(nullptr);
    EXPECT_EQ(editor->DocumentCount(), 0);
    EXPECT_TRUE(answers.Messages.empty());

    // One Undo of two: the question, Cancel keeps the document, No closes it.
    Record(Open(path), 2);
    editor->UndoClick(nullptr);
    answers.Answer(QMessageBox::Cancel);
    editor->CloseClick(nullptr);
    EXPECT_EQ(editor->DocumentCount(), 1);
    answers.Answer(QMessageBox::No);
    editor->CloseClick(nullptr);
    EXPECT_EQ(editor->DocumentCount(), 0);
    ASSERT_EQ(answers.Messages.size(), 2u);
    EXPECT_EQ(answers.Messages[0].Text, LocalFormat(94, {"picture.txt"}));
    EXPECT_EQ(answers.Messages[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(answers.Messages[0].Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

    // Redo after Undo All leaves the saved state again.
    Record(Open(path), 1);
    editor->UndoAllClick(nullptr);
    editor->RedoAllClick(nullptr);
    EXPECT_FALSE(editor->ActiveDocument()->Saved());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST(SaveAsExtension, DefaultExtensionUnlessTheNameHasOneOfTheFormat)
{
    const TKvFileFormatInfo png{2, "PNG", "*.png", ".png"};
    const TKvFileFormatInfo jpeg{0, "JPEG", "*.jpg;*.jpeg", ".jpg"};
    struct Case {
        const char* name;
        const TKvFileFormatInfo& format;
        const char* expected;
    };
    const Case cases[] = {
        {"/d/pic", png, "/d/pic.png"},          {"/d/pic.PNG", png, "/d/pic.PNG"},
        {"/d/pic.png", png, "/d/pic.png"},      {"/d/pic.jpg", png, "/d/pic.jpg.png"},
        {"/d/pic.jpeg", jpeg, "/d/pic.jpeg"},   {"/d/pic.JPG", jpeg, "/d/pic.JPG"},
        {"/d.x/pic", png, "/d.x/pic.png"},      {"/d/pic.", png, "/d/pic..png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithFormatExtension(QString::fromLatin1(c.name), c.format), QString::fromLatin1(c.expected))
            << c.name;
}

TEST_F(EditorCommands, SaveAsPresetsTheDocumentAndWritesTheChosenFormat)
{
    TKvDocument* document = Open(NewFile("photo.jpg"));
    Record(document, 1);
    answers.SaveAs(folder.filePath("copy"), 3);
    editor->SaveAsClick(nullptr);
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(answers.PresetName, folder.filePath("photo"));
    EXPECT_EQ(answers.PresetFilter, 2) << "the JPEG entry of the save list";
    EXPECT_EQ(document->FileName(), folder.filePath("copy.png"));
    EXPECT_EQ(document->FormatKey(), 2);
    EXPECT_TRUE(document->Saved());
    EXPECT_TRUE(QFile::exists(folder.filePath("copy.png")));
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("copy.png - Orvane"));
}

TEST_F(EditorCommands, OverwriteIsAskedAndOnlyYesReplacesTheFile)
{
    TKvDocument* document = Open(NewFile("photo.txt"));
    const QString target = NewFile("target.png", "old");

    answers.SaveAs(target, 3);
    answers.Answer(QMessageBox::No);
    EXPECT_FALSE(editor->SaveDocumentAs(document));
    EXPECT_EQ(ReadBytes(target), QByteArray("old"));
    EXPECT_EQ(document->FileName(), folder.filePath("photo.txt"));

    answers.SaveAs(target, 3);
    answers.Answer(QMessageBox::Yes);
    EXPECT_TRUE(editor->SaveDocumentAs(document));
    EXPECT_EQ(ReadBytes(target), QByteArray("saved"));
    ASSERT_EQ(answers.Messages.size(), 2u);
    EXPECT_EQ(answers.Messages[0].Text, LocalFormat(164, {QDir::toNativeSeparators(target)}));
    EXPECT_EQ(answers.Messages[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(answers.Messages[0].Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(EditorCommands, FailedSaveIsReportedUnlessTheUserCancelledIt)
{
    TKvDocument* document = Open(NewFile("photo.txt"));
    Record(document, 1);

    editor->Registry.FailSaves = true;
    answers.SaveAs(folder.filePath("out.txt"), 1);
    answers.Answer(QMessageBox::Ok);
    EXPECT_FALSE(editor->SaveDocumentAs(document));
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_EQ(answers.Messages[0].Text, LocalFormat(1031, {QDir::toNativeSeparators(folder.filePath("out.txt"))}));
    EXPECT_EQ(answers.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_FALSE(document->Saved());

    editor->Registry.Cancel = [this] { editor->CancelSaveByUser(); };
    answers.SaveAs(folder.filePath("out.txt"), 1);
    EXPECT_FALSE(editor->SaveDocumentAs(document));
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(answers.Messages.size(), 1u) << "no message after the user cancelled";
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(EditorCommands, TitleNamesTheDocumentBeforeTheApplication)
{
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Orvane"));
    TKvDocument* document = Open(NewFile("photo.txt"));
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("photo.txt - Orvane"));
    application->SetTitle(QStringLiteral("Other"));
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("photo.txt - Other"));
    document->CloseQuery();
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Other"));
    ASSERT_TRUE(editor->NewDocument(document));
    EXPECT_EQ(MainForm->windowTitle(), LocalStr(74) + QStringLiteral(" - Other"));
}

TEST_F(EditorCommands, OpenFailureNamesTheFileAndLeavesNoDocument)
{
    ASSERT_NE(Open(NewFile("good.txt")), nullptr);
    for (const QString& path : {NewFile("damaged.txt", "bad"), folder.filePath("missing.txt")}) {
        SCOPED_TRACE(path.toStdString());
        answers.Answer(QMessageBox::Ok);
        EXPECT_EQ(Open(path), nullptr);
        ASSERT_FALSE(answers.Messages.empty());
        EXPECT_EQ(answers.Messages.back().Text, LocalFormat(1030, {QDir::toNativeSeparators(path)}));
        EXPECT_EQ(answers.Messages.back().Icon, QMessageBox::Critical);
        EXPECT_EQ(editor->DocumentCount(), 0) << "the previous document was closed first";
        EXPECT_EQ(editor->RecentFiles(), QStringList{folder.filePath("good.txt")});
    }
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Orvane"));
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(EditorCommands, OpenDialogOpensTheChosenFile)
{
    const QString path = NewFile("chosen.txt");
    answers.Open(path);
    editor->OpenClick(nullptr);
    ASSERT_NE(editor->ActiveDocument(), nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), path);
    EXPECT_EQ(editor->RecentFiles(), QStringList{path});
    QWidget* view = editor->ActiveDocument()->ExistingView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->parentWidget(), editor->View);
}

TEST_F(EditorCommands, ControlsFollowTheDocumentAndItsHistory)
{
    // (The hidden Save item is disabled by being hidden.)
    struct Expected {
        bool saveAs, undo, redo;
    };
    auto check = [this](const Expected& e) {
        editor->UpdateControls();
        for (QAction* item : {editor->SaveAsMenuItem, editor->SaveToolButton, editor->CloseMenuItem})
            EXPECT_EQ(item->isEnabled(), e.saveAs) << item->objectName().toStdString();
        for (QAction* item : {editor->UndoMenuItem, editor->UndoAllMenuItem, editor->UndoToolButton})
            EXPECT_EQ(item->isEnabled(), e.undo) << item->objectName().toStdString();
        for (QAction* item : {editor->RedoMenuItem, editor->RedoAllMenuItem, editor->RedoToolButton})
            EXPECT_EQ(item->isEnabled(), e.redo) << item->objectName().toStdString();
    };
    check({false, false, false});
    TKvDocument* document = Open(NewFile("photo.txt"));
    check({true, false, false});
    Record(document, 2);
    check({true, true, false});
    editor->UndoClick(nullptr);
    check({true, true, true});
    editor->UndoAllClick(nullptr);
    check({true, false, true});
}

TEST_F(EditorCommands, ClosingTheMainFormAsksAboutTheDocument)
{
    Record(Open(NewFile("photo.txt")), 1);
    MainForm->show();
    answers.Answer(QMessageBox::Cancel);
    EXPECT_FALSE(MainForm->close());
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_EQ(editor->DocumentCount(), 1);
    answers.Answer(QMessageBox::No);
    EXPECT_TRUE(MainForm->close());
    EXPECT_EQ(editor->DocumentCount(), 0);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(EditorCommands, CommandLineOpensAnExistingFile)
{
    editor->OpenCommandLineFile({"orvane", folder.path()});
    editor->OpenCommandLineFile({"orvane", folder.filePath("missing.txt")});
    editor->OpenCommandLineFile({"orvane"});
    EXPECT_EQ(editor->DocumentCount(), 0);
    const QString path = NewFile("start.txt");
    editor->OpenCommandLineFile({"orvane", path, "ignored"});
    ASSERT_NE(editor->ActiveDocument(), nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), path);
    EXPECT_EQ(editor->RecentFiles(), QStringList{path});
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(EditorCommands, ScriptsUndoRedoAndFindTheirButtons)
{
    TKvDocument* document = Open(NewFile("photo.txt"));
    Record(document, 2);
    TKvProperties none;
    bool handled = false;
    editor->ExecuteScriptCommand(QStringLiteral("UNDO"), handled, none);
    EXPECT_TRUE(handled);
    EXPECT_EQ(document->History().Position(), 1);
    handled = false;
    editor->ExecuteScriptCommand(QStringLiteral("REDO"), handled, none);
    EXPECT_TRUE(handled);
    EXPECT_EQ(document->History().Position(), 2);
    handled = false;
    editor->ExecuteScriptCommand(QStringLiteral("ZOOMIN"), handled, none);
    EXPECT_FALSE(handled);

    // Recording: Undo and Redo write their lines, the all-commands nothing.
    TestRecorder recorder;
    recorder.Messages = true;
    editor->StartRecording(&recorder);
    editor->UndoClick(nullptr);
    editor->UndoAllClick(nullptr);
    recorder.Messages = false;
    editor->RedoClick(nullptr);
    editor->RedoAllClick(nullptr);
    editor->StopRecording();
    editor->UndoClick(nullptr);
    EXPECT_EQ(recorder.Lines, (QStringList{"MouseCurvedMove Undo", "Message \"Undo\"", "Undo",
                                           "MouseCurvedMove Redo", "Redo"}));

    MainForm->show();
    for (const char* name : {"undo", "Redo", "Open"}) {
        TKvProperties target;
        target.SetString(0, name);
        bool found = false;
        QPoint point;
        editor->GetScriptTarget(target, found, point);
        QAction* button = QByteArray(name) == "undo" ? editor->UndoToolButton
                          : QByteArray(name) == "Redo" ? editor->RedoToolButton
                                                       : nullptr;
        EXPECT_EQ(found, button != nullptr) << name;
        if (button) {
            QWidget* widget = editor->StandardToolbar->widgetForAction(button);
            EXPECT_EQ(point, widget->mapToGlobal(widget->rect().center())) << name;
        }
    }
}

TEST_F(EditorCommands, PluginModeHidesOpenAndSaveAndExitsWithMinusOne)
{
    editor->SetPluginMode(true);
    EXPECT_TRUE(editor->PluginMode());
    for (QAction* item : {editor->OpenToolButton, editor->SaveToolButton, editor->EditToolbarSeparator})
        EXPECT_FALSE(item->isVisible()) << item->objectName().toStdString();
    EXPECT_TRUE(editor->UndoToolButton->isVisible());
    EXPECT_EQ(application->ExitCode(), -1);
    editor->OpenClick(nullptr); // shows no dialog
    EXPECT_EQ(answers.Unexpected, 0);
}
