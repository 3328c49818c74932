// The graphics editor: zoom steps and fitting, stepping through the folder,
// undo and redo with the tools told, the status bar under the mouse,
// plug-in mode, saving with the JPEG quality question, settings, dropped
// files, script commands and what it records.
#include "EditorTestSupport.h"
#include "FileSizeLimit.h"
#include "KvExchangeFile.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvJPEGOptions.h"
#include "KvLocalizer.h"
#include "KvMainForm.h"
#include "KvSDF.h"
#include "KvScrollTool.h"
#include "ModalAnswers.h"
#include "QtPrinters.h"
#include "ShellTestSupport.h"
#include "TestRecorder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

// ---------------------------------------------------------------------------
// Zoom arithmetic and file names

TEST(GraphicsEditorZoomTest, ZoomStepsGoToTheNextStepBeyondTheCurrentZoom)
{
    struct TCase {
        TKvZoom From;
        TKvZoom In;
        TKvZoom Out;
    };
    const TCase cases[] = {
        {{1, 1}, {3, 2}, {3, 4}},      {{3, 2}, {2, 1}, {1, 1}},     {{1, 3}, {1, 2}, {1, 4}},
        {{16, 1}, {16, 1}, {12, 1}},   {{1, 16}, {1, 12}, {1, 16}},
        // Zooms between the steps, as best fit makes them.
        {{7, 20}, {1, 2}, {1, 3}},     {{500, 3000}, {1, 5}, {1, 7}}, {{40, 1}, {16, 1}, {16, 1}},
        {{1, 40}, {1, 16}, {1, 16}},
    };
    for (const TCase& c : cases) {
        const int current = c.From.Thousandths();
        EXPECT_EQ(NextZoomIn(current), c.In) << c.From.Numerator << ":" << c.From.Denominator;
        EXPECT_EQ(NextZoomOut(current), c.Out) << c.From.Numerator << ":" << c.From.Denominator;
    }
}

TEST(GraphicsEditorZoomTest, BestFitTakesTheSideThatLimits)
{
    EXPECT_EQ(BestFitZoom({4000, 3000}, {800, 500}), (TKvZoom{500, 3000}));
    EXPECT_EQ(BestFitZoom({4000, 1000}, {800, 500}), (TKvZoom{800, 4000}));
    // A tie goes to the height.
    EXPECT_EQ(BestFitZoom({1600, 1000}, {800, 500}), (TKvZoom{500, 1000}));
    EXPECT_EQ(BestFitZoom({1, 1}, {800, 500}), (TKvZoom{500, 1}));
}

TEST(GraphicsEditorZoomTest, FolderImagesAreKnownByTheirExtension)
{
    const std::pair<const char*, bool> cases[] = {
        {"a.jpg", true},  {"b.JPEG", true}, {"c.jp", true},   {"d.Png", true},  {"e.tif", true},
        {"f.tiff", true}, {"g.bmp", true},  {"h.kvi", true},  {"i.rle", true},  {"j.dib", true},
        {"k.j", false},   {"l.txt", false}, {"m.gif", false}, {"n", false},     {"o.jpgx", false},
        {"p.", false},    {"dir.jpg/x", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(TKvFolderImages::IsFolderImage(QString::fromLatin1(name)), expected) << name;
}

// ---------------------------------------------------------------------------
// The editor in a program

// A tool that notes what it is told.
class NotingTool : public TKvGraphicsTool {
public:
    using TKvGraphicsTool::TKvGraphicsTool;
    void Activated() override
    {
        Calls << "activated";
        TKvGraphicsTool::Activated();
    }
    void Deactivated() override
    {
        Calls << "deactivated";
        TKvGraphicsTool::Deactivated();
    }
    void BeforeUndo(TKvCommandState*) override { Calls << "before undo"; }
    void AfterUndo(TKvCommandState*) override { Calls << "after undo"; }
    void BeforeRedo(TKvCommandState*) override { Calls << "before redo"; }
    void AfterRedo(TKvCommandState*) override { Calls << "after redo"; }

    QStringList Calls;
};

// A state that asks for the step before it to be taken with it.
class ChainedState : public TKvCommandState {
public:
    ChainedState(TKvGraphicsEditor* editor, QStringList& log, QString name, bool chained)
        : m_editor(editor), m_log(log), m_name(std::move(name)), m_chained(chained)
    {
    }
    void Undo() override
    {
        m_log << "undo " + m_name;
        if (m_chained)
            m_editor->SetContinueUndoRedo(true);
    }
    void Redo() override
    {
        m_log << "redo " + m_name;
        if (m_chained)
            m_editor->SetContinueUndoRedo(true);
    }

private:
    TKvGraphicsEditor* m_editor;
    QStringList& m_log;
    QString m_name;
    bool m_chained;
};

bool SavePicture(const QString& path, const QImage& image) { return image.save(path); }

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage Filled(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(color);
    return image;
}

void MoveMouse(QWidget* widget, QPoint point)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(point), QPointF(widget->mapToGlobal(point)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

class GraphicsEditorTest : public ::testing::Test {
protected:
    GraphicsEditorTest()
    {
        application->SetTitle(QStringLiteral("Orvane"));
        application->CreateComponent(GraphicsEditor, TMainForm::Maker(MainForm));
        application->CreateComponent(ScrollTool, GraphicsEditor);
        editor = GraphicsEditor;
        MainForm->resize(900, 700);
        MainForm->show();
        QApplication::processEvents();
    }
    ~GraphicsEditorTest() override
    {
        CloseEveryDocumentUnasked(editor);
        application.reset();
    }

    QString Path(const QString& name) const { return folder.filePath(name); }

    TKvGraphicsDocument* Open(const QString& path)
    {
        TKvDocument* document = nullptr;
        return editor->OpenFile(path, document, true) ? static_cast<TKvGraphicsDocument*>(document) : nullptr;
    }

    // Makes the view exactly this large.
    void SizeViewTo(QSize size)
    {
        TKvGraphicsView* view = editor->ActiveView();
        ASSERT_NE(view, nullptr);
        for (int attempt = 0; attempt < 3 && view->size() != size; ++attempt) {
            MainForm->resize(MainForm->size() + size - view->size());
            QApplication::processEvents();
        }
        ASSERT_EQ(view->size(), size);
    }

    TTempUserFolders userFolders;
    TTestLocalizer localizer;
    QTemporaryDir temporary;
    QDir folder{temporary.path()};
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    TKvGraphicsEditor* GraphicsEditor = nullptr;
    TMainForm* MainForm = nullptr;
    TKvScrollTool* ScrollTool = nullptr;
    TKvGraphicsEditor* editor = nullptr;
    TModalAnswers answers;
};

TEST_F(GraphicsEditorTest, ItsItemsAreInTheMainFormWhereTheyBelong)
{
    const QList<QAction*> toolbar = editor->StandardToolbar->actions();
    EXPECT_EQ(toolbar.indexOf(editor->PrevImageButton) + 1, toolbar.indexOf(editor->SaveToolButton));
    EXPECT_EQ(toolbar.indexOf(editor->SaveToolButton) + 1, toolbar.indexOf(editor->NextImageButton));
    const qsizetype zoom = toolbar.indexOf(editor->ZoomToolbarSeparator);
    EXPECT_EQ(toolbar.mid(zoom + 1, 4), (QList<QAction*>{editor->ZoomInButton, editor->ZoomOutButton,
                                                         editor->ActualSizeButton, editor->ScaleToBestFitButton}));
    const QList<QAction*> view = MainForm->ViewMenuItem->actions();
    EXPECT_EQ(view.indexOf(editor->ZoomMenuSeparator) + 1, view.indexOf(MainForm->ToolbarsMenuItem->menuAction()));
    EXPECT_EQ(view.indexOf(editor->ScaleToBestFitMenuItem) + 1, view.indexOf(editor->ZoomMenuSeparator));
    const QList<QAction*> file = MainForm->FileMenuItem->actions();
    EXPECT_EQ(file.indexOf(editor->ImportSubmenu->menuAction()) + 1, file.indexOf(MainForm->FileMenuSeparator));
    EXPECT_FALSE(editor->AcquireMenuItem->isVisible());
    EXPECT_FALSE(editor->SelectTwainSourceMenuItem->isVisible());
    EXPECT_EQ(editor->ZoomInMenuItem->text(), QStringLiteral("Zoom In"));
    EXPECT_EQ(editor->ActualSizeMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_0));
    // No scanner here: the scanner items are off.
    EXPECT_FALSE(editor->ImportSubmenu->menuAction()->isEnabled());
    EXPECT_EQ(ScrollTool->Editor(), editor);
}

TEST_F(GraphicsEditorTest, OpeningFitsThePictureAndFillsWidthAndHeight)
{
    ASSERT_TRUE(SavePicture(Path("large.png"), Filled(4000, 3000, Qt::darkGreen)));
    ASSERT_TRUE(SavePicture(Path("small.png"), Filled(640, 480, Qt::darkRed)));
    ASSERT_NE(Open(Path("small.png")), nullptr);
    SizeViewTo({800, 500});

    editor->FitView();
    EXPECT_EQ(editor->ActiveView()->parentWidget(), editor->View);
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("small.png - Orvane"));
    EXPECT_EQ(editor->Zoom(), (TKvZoom{1, 1}));
    EXPECT_EQ(editor->WStatusPanel->text(), QStringLiteral("640"));
    EXPECT_EQ(editor->HStatusPanel->text(), QStringLiteral("480"));

    ASSERT_NE(Open(Path("large.png")), nullptr);
    SizeViewTo({800, 500});
    editor->FitView();
    EXPECT_EQ(editor->Zoom(), (TKvZoom{500, 3000}));
    EXPECT_EQ(editor->WStatusPanel->text(), QStringLiteral("4000"));

    editor->ZoomInClick(nullptr);
    EXPECT_EQ(editor->Zoom(), (TKvZoom{1, 5}));
    editor->ActualSizeClick(nullptr);
    EXPECT_EQ(editor->Zoom(), (TKvZoom{1, 1}));
    editor->BestFitClick(nullptr);
    EXPECT_EQ(editor->Zoom(), (TKvZoom{500, 3000}));
}

TEST_F(GraphicsEditorTest, ZoomingKeepsThePictureInTheMiddleWhereItWas)
{
    ASSERT_TRUE(SavePicture(Path("large.png"), Filled(2000, 1500, Qt::gray)));
    ASSERT_NE(Open(Path("large.png")), nullptr);
    SizeViewTo({800, 500});
    editor->ActualSizeClick(nullptr);
    TKvGraphicsView* view = editor->ActiveView();
    // Somewhere the zooms below need not move to keep the picture in the window.
    view->ScrollBy(-300, -200);
    const auto middle = [&] {
        const QRect client = view->ClientRect();
        return view->ClientToImage({client.width() / 2, client.height() / 2});
    };
    const QPoint before = middle();
    editor->ZoomInClick(nullptr);
    EXPECT_EQ(editor->Zoom(), (TKvZoom{3, 2}));
    EXPECT_LE((middle() - before).manhattanLength(), 1);
    editor->ZoomOutClick(nullptr);
    editor->ZoomOutClick(nullptr);
    EXPECT_EQ(editor->Zoom(), (TKvZoom{3, 4}));
    EXPECT_LE((middle() - before).manhattanLength(), 2);
}

TEST_F(GraphicsEditorTest, TheStatusBarShowsThePointAndColourUnderTheMouse)
{
    QImage picture = Filled(20, 10, Qt::white);
    picture.setPixelColor(3, 4, QColor(200, 10, 0));
    ASSERT_TRUE(SavePicture(Path("dot.png"), picture));
    ASSERT_NE(Open(Path("dot.png")), nullptr);
    TKvGraphicsView* view = editor->ActiveView();
    const auto panels = [&] {
        return QStringList{editor->XStatusPanel->text(), editor->YStatusPanel->text(), editor->RStatusPanel->text(),
                           editor->GStatusPanel->text(), editor->BStatusPanel->text()};
    };
    MoveMouse(view, view->ImageToClient({3, 4}));
    EXPECT_EQ(panels(), (QStringList{"3", "4", "200", "10", "0"}));
    MoveMouse(view, view->ImageToClient({-1, 4}));
    EXPECT_EQ(panels(), (QStringList{"-1", "4", "0", "0", "0"}));
}

TEST_F(GraphicsEditorTest, TheSpaceBarLendsTheMouseToTheHandAndGivesItBack)
{
    ASSERT_TRUE(SavePicture(Path("p.png"), Filled(2000, 1500, Qt::gray)));
    NotingTool* crop = nullptr;
    CreateGraphicsTool(crop, editor);
    editor->SetActiveTool(crop);
    ASSERT_NE(Open(Path("p.png")), nullptr);
    TKvGraphicsView* view = editor->ActiveView();

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    EXPECT_EQ(editor->ActiveTool(), ScrollTool);
    EXPECT_EQ(view->cursor().shape(), ScreenCursor(crHand).shape());
    // The hand drawn for it, not the arrow.
    EXPECT_FALSE(ScreenCursor(crHand).pixmap().isNull());
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(view, &release);
    EXPECT_EQ(editor->ActiveTool(), crop);
}

TEST_F(GraphicsEditorTest, ToolsMayActOnADocumentUnlessAnotherToolWorksAlone)
{
    NotingTool* first = nullptr;
    NotingTool* second = nullptr;
    CreateGraphicsTool(first, editor);
    CreateGraphicsTool(second, editor);
    EXPECT_FALSE(editor->ToolMayAct(first));
    editor->UpdateControls();
    EXPECT_FALSE(editor->ZoomInButton->isEnabled());

    ASSERT_TRUE(SavePicture(Path("p.png"), Filled(20, 10, Qt::gray)));
    TKvGraphicsDocument* document = Open(Path("p.png"));
    ASSERT_NE(document, nullptr);
    editor->UpdateControls();
    EXPECT_TRUE(editor->ZoomInButton->isEnabled());
    EXPECT_TRUE(editor->ToolMayAct(first));
    EXPECT_TRUE(editor->ToolMayAct(second));

    editor->SetActiveTool(first);
    editor->BeginExclusive();
    EXPECT_TRUE(editor->ToolMayAct(first));
    EXPECT_FALSE(editor->ToolMayAct(second));
    editor->EndExclusive();

    // A lock keeps others out only when its tool edits exclusively.
    document->Lock(first);
    EXPECT_TRUE(editor->ToolMayAct(second));
    first->ExclusiveEdit = true;
    EXPECT_FALSE(editor->ToolMayAct(second));
    EXPECT_TRUE(editor->ToolMayAct(first));
    document->ResetLock();
    EXPECT_TRUE(editor->ToolMayAct(second));
}

TEST_F(GraphicsEditorTest, ScriptsMakeTheViewOrWindowAtLeastAsLargeAsAsked)
{
    ASSERT_TRUE(SavePicture(Path("p.png"), Filled(40, 30, Qt::gray)));
    ASSERT_NE(Open(Path("p.png")), nullptr);
    MainForm->setGeometry(20, 20, 500, 400);
    QApplication::processEvents();
    const QRect area = MainForm->screen()->availableGeometry();
    TKvGraphicsView* view = editor->ActiveView();
    const QSize wanted = view->size() + QSize(60, 40);
    ASSERT_LE(MainForm->width() + 60, area.width());
    ASSERT_LE(MainForm->height() + 40, area.height());

    TKvProperties size;
    size.SetInteger(0, wanted.width());
    size.SetInteger(1, wanted.height());
    bool handled = false;
    editor->ExecuteScriptCommand(QStringLiteral("SETMINVIEWSIZE"), handled, size);
    QApplication::processEvents();
    EXPECT_TRUE(handled);
    EXPECT_EQ(MainForm->size(), QSize(560, 440));
    EXPECT_TRUE(area.contains(MainForm->geometry()));

    // A window already large enough stays as it is.
    size.SetInteger(0, 100);
    size.SetInteger(1, 100);
    editor->ExecuteScriptCommand(QStringLiteral("SETMINWINDOWSIZE"), handled, size);
    EXPECT_EQ(MainForm->size(), QSize(560, 440));
    // A larger one is centred on the axis it grows.
    size.SetInteger(0, 600);
    editor->ExecuteScriptCommand(QStringLiteral("SETMINWINDOWSIZE"), handled, size);
    EXPECT_EQ(MainForm->width(), 600);
    EXPECT_EQ(MainForm->geometry().x(), area.x() + (area.width() - 600) / 2);
    EXPECT_EQ(MainForm->height(), 440);
}

TEST_F(GraphicsEditorTest, UndoTellsTheToolsAroundEachStepAndContinuesWhenAStateAsks)
{
    ASSERT_TRUE(SavePicture(Path("p.png"), Filled(20, 10, Qt::gray)));
    NotingTool* tool = nullptr;
    CreateGraphicsTool(tool, editor);
    editor->SetActiveTool(tool);
    TKvGraphicsDocument* document = Open(Path("p.png"));
    ASSERT_NE(document, nullptr);
    QStringList log;
    document->RecordState(std::make_unique<ChainedState>(editor, log, "first", false));
    document->RecordState(std::make_unique<ChainedState>(editor, log, "second", true));
    document->RecordState(std::make_unique<ChainedState>(editor, log, "third", false));
    tool->Calls.clear();

    editor->UndoClick(nullptr);
    EXPECT_EQ(log, QStringList{"undo third"});
    editor->UndoClick(nullptr);
    EXPECT_EQ(log, (QStringList{"undo third", "undo second", "undo first"}));
    EXPECT_EQ(editor->ActiveTool(), tool);
    const QStringList step{"deactivated", "before undo", "after undo", "activated"};
    EXPECT_EQ(tool->Calls, step + step + step);

    log.clear();
    tool->Calls.clear();
    editor->RedoClick(nullptr);
    EXPECT_EQ(log, (QStringList{"redo first"}));
    editor->RedoClick(nullptr);
    EXPECT_EQ(log, (QStringList{"redo first", "redo second", "redo third"}));
    EXPECT_EQ(tool->Calls.count("before redo"), 3);

    // While a tool holds the lock, undo waits.
    document->Lock(tool);
    EXPECT_FALSE(editor->CanUndo());
    document->ResetLock();
    EXPECT_TRUE(editor->CanUndo());
}

TEST_F(GraphicsEditorTest, TheFolderIsSteppedThroughInNameOrder)
{
    for (const char* name : {"b.png", "A.png", "c.png"})
        ASSERT_TRUE(SavePicture(Path(name), Filled(8, 8, Qt::blue)));
    for (const char* name : {"notes.txt", "odd.jp"}) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(folder.mkdir("folder.png"));

    ASSERT_NE(Open(Path("b.png")), nullptr);
    EXPECT_EQ(editor->FolderImages,
              (QStringList{Path("A.png"), Path("b.png"), Path("c.png"), Path("odd.jp")}));
    EXPECT_EQ(editor->FolderIndex, 1);
    editor->UpdateControls();
    EXPECT_TRUE(editor->PrevImageButton->isEnabled());
    EXPECT_TRUE(editor->NextImageButton->isEnabled());

    editor->PrevImageClick(nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), Path("A.png"));
    EXPECT_EQ(editor->FolderIndex, 0);
    editor->UpdateControls();
    EXPECT_FALSE(editor->PrevImageButton->isEnabled());
    editor->PrevImageClick(nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), Path("A.png"));

    editor->NextImageClick(nullptr);
    editor->NextImageClick(nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), Path("c.png"));
    EXPECT_EQ(editor->RecentFiles().first(), Path("c.png"));

    // Scripts step by the buttons' names, as commands and as targets.
    TKvProperties none;
    bool handled = false;
    editor->ExecuteScriptCommand(QStringLiteral("PREVIMAGE"), handled, none);
    EXPECT_TRUE(handled);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), Path("b.png"));
    handled = false;
    editor->ExecuteScriptCommand(QStringLiteral("NEXTIMAGE"), handled, none);
    EXPECT_TRUE(handled);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), Path("c.png"));
    for (const auto& [name, button] : {std::pair{"NextImage", editor->NextImageButton},
                                       std::pair{"PrevImage", editor->PrevImageButton}}) {
        TKvProperties target;
        target.SetString(0, name);
        bool found = false;
        QPoint point;
        editor->GetScriptTarget(target, found, point);
        EXPECT_TRUE(found) << name;
        QWidget* widget = editor->StandardToolbar->widgetForAction(button);
        EXPECT_EQ(point, widget->mapToGlobal(widget->rect().center())) << name;
    }
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(GraphicsEditorTest, AFileGoneWhileSteppingIsSkippedAndAGoneFolderKeepsThePicture)
{
    for (const char* name : {"a.png", "b.png", "c.png"})
        ASSERT_TRUE(SavePicture(Path(name), Filled(8, 8, Qt::blue)));
    ASSERT_NE(Open(Path("a.png")), nullptr);
    ASSERT_TRUE(QFile::remove(Path("b.png")));
    editor->NextImageClick(nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), Path("c.png"));
    EXPECT_EQ(editor->FolderImages, (QStringList{Path("a.png"), Path("c.png")}));

    // The whole folder goes: the open picture stays, now unsaved, so that
    // closing it asks first.
    ASSERT_TRUE(temporary.remove());
    answers.Answer(QMessageBox::Ok);
    editor->PrevImageClick(nullptr);
    ASSERT_NE(editor->ActiveDocument(), nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), Path("c.png"));
    EXPECT_FALSE(editor->ActiveDocument()->Saved());
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_TRUE(answers.Messages[0].Text.contains(QDir::toNativeSeparators(Path("a.png"))));
    EXPECT_EQ(answers.Messages[0].Icon, QMessageBox::Critical);
}

// Saving on a full disk (a write cut short by the file-size limit): message
// 1031 names the file, the old file stays byte for byte with nothing beside
// it, and the document stays unsaved under its own name.
TEST_F(GraphicsEditorTest, SavingOnAFullDiskShowsTheMessageAndKeepsTheOldFile)
{
    struct Case {
        const char* name;
        const char* target;
        qint32 key;
    };
    const Case cases[] = {
        {"Save of the JPEG itself (lossless)", "photo.jpg", FormatKeyJpeg},
        {"Save As PNG over another picture", "other.png", FormatKeyPng},
        {"Save As BMP over another picture", "other.bmp", FormatKeyBmp},
    };
    TKvFileFormatList saveFormats;
    editor->Formats()->SaveFormats(saveFormats);
    for (const Case& c : cases) {
        QImage photo(64, 48, QImage::Format_RGB888);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, qRgb(x * 4, y * 5, (x * y) % 256));
        ASSERT_TRUE(SavePicture(Path("photo.jpg"), photo));
        ASSERT_TRUE(SavePicture(Path("other.png"), Filled(8, 8, Qt::red)));
        ASSERT_TRUE(SavePicture(Path("other.bmp"), Filled(8, 8, Qt::red)));
        const QByteArray old = FileBytes(Path(c.target));
        TKvGraphicsDocument* document = Open(Path("photo.jpg"));
        ASSERT_NE(document, nullptr) << c.name;
        document->Image().Pixels().PixelAt(1, 1)[2] = 255;
        document->NotifyChanged();
        const QString title = MainForm->windowTitle();
        const QStringList before = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        answers.SaveAs(Path(c.target), FindFormat(saveFormats, c.key) + 1);
        answers.Answer(QMessageBox::Yes); // replace it
        answers.Answer(QMessageBox::Ok);
        bool saved = true;
        {
            const TFileSizeLimit full(512);
            saved = editor->SaveDocumentAs(document);
        }
        EXPECT_FALSE(saved) << c.name;
        EXPECT_TRUE(answers.Done()) << c.name;
        ASSERT_EQ(answers.Messages.size(), 2u) << c.name;
        EXPECT_EQ(answers.Messages[1].Text, LocalFormat(1031, {QDir::toNativeSeparators(Path(c.target))})) << c.name;
        EXPECT_EQ(answers.Messages[1].Icon, QMessageBox::Critical) << c.name;
        EXPECT_EQ(FileBytes(Path(c.target)), old) << c.name;
        EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before) << c.name;
        EXPECT_FALSE(document->Saved()) << c.name;
        EXPECT_EQ(document->FileName(), Path("photo.jpg")) << c.name;
        EXPECT_EQ(MainForm->windowTitle(), title) << c.name;
        EXPECT_EQ(answers.Unexpected, 0) << c.name;
        answers.Messages.clear();
        CloseEveryDocumentUnasked(editor);
    }
}

TEST_F(GraphicsEditorTest, SettingsKeepRecentFilesAndTheJpegQuality)
{
    ASSERT_TRUE(SavePicture(Path("p.png"), Filled(30, 20, Qt::gray)));
    ASSERT_NE(Open(Path("p.png")), nullptr);
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
    EXPECT_EQ(editor->RecentFiles(), QStringList{Path("p.png")});
}

TEST_F(GraphicsEditorTest, SavingAsJpegAsksForTheQuality)
{
    ASSERT_TRUE(SavePicture(Path("red.png"), Filled(200, 100, Qt::red)));
    TKvGraphicsDocument* document = Open(Path("red.png"));
    ASSERT_NE(document, nullptr);
    const QString target = Path("red.jpg");
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
    EXPECT_EQ(document->FileName(), Path("red.png"));

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
    EXPECT_EQ(QImage(target).size(), QSize(200, 100));
    EXPECT_TRUE(answers.Messages.empty());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(GraphicsEditorTest, ScriptsOpenPicturesZoomAndFindTargets)
{
    ASSERT_TRUE(SavePicture(Path("p.png"), Filled(300, 200, Qt::gray)));
    TKvProperties params;
    params.SetString(0, Path("p.png").toUtf8());
    bool handled = false;
    editor->ExecuteScriptCommand(QStringLiteral("IMAGEOPEN"), handled, params);
    EXPECT_TRUE(handled);
    ASSERT_NE(editor->ActiveDocument(), nullptr);
    EXPECT_TRUE(editor->ActiveDocument()->NoSavePrompt());

    handled = false;
    TKvProperties none;
    editor->ExecuteScriptCommand(QStringLiteral("ZOOMIN"), handled, none);
    EXPECT_TRUE(handled);
    EXPECT_EQ(editor->Zoom(), (TKvZoom{3, 2}));

    TKvProperties image;
    image.SetString(0, "Image");
    image.SetInteger(1, 10);
    image.SetInteger(2, 20);
    bool found = false;
    QPoint point;
    editor->GetScriptTarget(image, found, point);
    EXPECT_TRUE(found);
    TKvGraphicsView* view = editor->ActiveView();
    EXPECT_EQ(view->ClientToImage(view->mapFromGlobal(point)), QPoint(10, 20));

    TKvProperties open;
    open.SetString(0, "OpenButton");
    found = false;
    editor->GetScriptTarget(open, found, point);
    EXPECT_TRUE(found);
    QWidget* button = editor->StandardToolbar->widgetForAction(editor->OpenToolButton);
    EXPECT_EQ(point, button->mapToGlobal(button->rect().center()));

    TKvProperties missing;
    missing.SetString(0, Path("none.png").toUtf8());
    answers.Answer(QMessageBox::Ok);
    handled = false;
    try {
        editor->ExecuteScriptCommand(QStringLiteral("IMAGEOPEN"), handled, missing);
        ADD_FAILURE() << "no error for a file that cannot be opened";
    } catch (const EKvScriptError& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Cannot open the file."));
    }
    EXPECT_EQ(answers.Messages.size(), 1u);
}

TEST_F(GraphicsEditorTest, ZoomCommandsAndOpeningAreRecorded)
{
    TestRecorder recorder;
    recorder.Messages = true;
    ASSERT_TRUE(SavePicture(Path("p.png"), Filled(30, 20, Qt::gray)));
    editor->StartRecording(&recorder);
    ASSERT_NE(Open(Path("p.png")), nullptr);
    TKvGraphicsView* view = editor->ActiveView();
    editor->ZoomInClick(nullptr);
    editor->StopRecording();
    editor->ZoomOutClick(nullptr);
    EXPECT_EQ(recorder.Lines,
              (QStringList{"MouseCurvedMove Open", "Message \"Open Image\"",
                           QStringLiteral("ImageOpen \"p.png\", %1, %2").arg(view->width()).arg(view->height()),
                           "MouseCurvedMove ZoomIn", "Message \"Zoom In\"", "ZoomIn"}));
}

TEST_F(GraphicsEditorTest, ADroppedFileIsOpened)
{
    ASSERT_TRUE(SavePicture(Path("p.png"), Filled(30, 20, Qt::gray)));
    ASSERT_TRUE(MainForm->OnDropFile);
    MainForm->OnDropFile(Path("p.png"));
    ASSERT_NE(editor->ActiveDocument(), nullptr);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), Path("p.png"));
    EXPECT_EQ(editor->RecentFiles(), QStringList{Path("p.png")});
}

// ---------------------------------------------------------------------------
// Plug-in mode

class PluginModeTest : public GraphicsEditorTest {
protected:
    void SetUp() override
    {
        TKvPixelBuffer pixels;
        ASSERT_TRUE(pixels.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 6, 4)));
        const std::vector<std::uint8_t> bytes = WriteExchangeFile(pixels);
        exchange = Path("exchange.tmp");
        QFile file(exchange);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        original = ReadBytes();
        document = Open(exchange);
        ASSERT_NE(document, nullptr);
    }

    QByteArray ReadBytes() const
    {
        QFile file(exchange);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A change the user made.
    void Paint()
    {
        document->Image().Pixels().PixelAt(1, 1)[2] = 255;
        document->NotifyChanged();
    }

    QString exchange;
    QByteArray original;
    TKvGraphicsDocument* document = nullptr;
};

TEST_F(PluginModeTest, AnExchangeFileSwitchesToPluginMode)
{
    EXPECT_TRUE(editor->PluginMode());
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Orvane Plug-in"));
    EXPECT_EQ(application->ExitCode(), -1);
    EXPECT_FALSE(MainForm->FileMenuItem->menuAction()->isVisible());
    EXPECT_FALSE(editor->PrevImageButton->isVisible());
    ASSERT_NE(editor->OkButton, nullptr);
    ASSERT_NE(editor->CancelButton, nullptr);
    EXPECT_EQ(editor->OkButton->text(), QStringLiteral("OK"));
    EXPECT_EQ(editor->CancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(editor->RecentFiles().isEmpty());
    // Nothing else can be opened into a plug-in.
    MainForm->OnDropFile(exchange);
    EXPECT_EQ(editor->ActiveDocument(), document);
}

TEST_F(PluginModeTest, OkWritesThePictureBackAndEndsWithZero)
{
    Paint();
    editor->OkClick(editor->OkButton);
    EXPECT_EQ(application->ExitCode(), 0);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_NE(ReadBytes(), original);
    EXPECT_EQ(ReadBytes().size(), original.size());
    // The exchange file holds red, green, blue per pixel after its 36-byte
    // header, in rows of 6 pixels padded to 20 bytes: pixel (1, 1) is bytes
    // 59 to 61, now pure red; every other byte is as it was.
    QByteArray expected = original;
    expected[36 + 1 * 20 + 1 * 3] = char(255);
    EXPECT_EQ(ReadBytes(), expected);
}

TEST_F(PluginModeTest, CancelLeavesTheFileAndEndsWithMinusOne)
{
    Paint();
    editor->CancelClick(editor->CancelButton);
    EXPECT_EQ(application->ExitCode(), -1);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_EQ(ReadBytes(), original);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(PluginModeTest, AFailedWriteIsReportedAndKeepsTheWindowOpen)
{
    Paint();
    // The file cannot be written: a folder took its place.
    ASSERT_TRUE(QFile::remove(exchange));
    ASSERT_TRUE(folder.mkdir(QStringLiteral("exchange.tmp")));
    answers.Answer(QMessageBox::Ok);
    editor->OkClick(editor->OkButton);
    EXPECT_EQ(application->ExitCode(), -1);
    EXPECT_TRUE(MainForm->isVisible());
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_EQ(answers.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(QFileInfo(exchange).isDir());
}

TEST_F(PluginModeTest, AFullDiskIsReportedAndKeepsTheFileAndTheWindow)
{
    Paint();
    const QStringList before = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    answers.Answer(QMessageBox::Ok);
    {
        const TFileSizeLimit full(64);
        editor->OkClick(editor->OkButton);
    }
    EXPECT_EQ(application->ExitCode(), -1);
    EXPECT_TRUE(MainForm->isVisible());
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_EQ(answers.Messages[0].Text, LocalFormat(1031, {QDir::toNativeSeparators(exchange)}));
    EXPECT_EQ(ReadBytes(), original);
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    EXPECT_FALSE(document->Saved());

    // With room again, OK writes the picture back.
    editor->OkClick(editor->OkButton);
    EXPECT_EQ(application->ExitCode(), 0);
    EXPECT_NE(ReadBytes(), original);
    EXPECT_EQ(answers.Unexpected, 0);
}

} // namespace
