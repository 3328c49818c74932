// The paste tool driven through its real panel and a real graphics view
// over a library of its own: drawing, mirroring and committing a paste (one
// undoable step, the pixels RenderPaste gives), what is refused or records
// nothing, the live preview that never touches the picture, the grid and
// Delete, the rotation, its settings and the demonstration lines.
#include "GraphicsViewFixture.h"
#include "KvDemoRegistry.h"
#include "KvDrawGrid.h"
#include "KvPasteTool.h"
#include "KvSDF.h"
#include "ModalAnswers.h"
#include "ObjectLibraryFixture.h"
#include "ViewMouse.h"

#include <QBuffer>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <fstream>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

const TColorTriple Ground{200, 90, 40};

class PasteFixture : public GraphicsViewFixture {
public:
    // A picture of 200 x 160 and a library of `entries` discs.
    explicit PasteFixture(int entries = 2) : GraphicsViewFixture(200, 160, QSize(240, 200))
    {
        FillPicture([](int x, int y) { return TColorTriple{Ground.Blue, std::uint8_t(Ground.Green + x % 3), std::uint8_t(Ground.Red + y % 5)}; });
        for (int i = 0; i < entries; ++i)
            Names.push_back(WriteDiscEntry(Folder(), 30 + 10 * i));
        tool = std::make_unique<TKvPasteTool>(&tools, nullptr, Folder());
        static_cast<TestGraphicsEditor&>(editor).Tools.push_back(tool.get());
        tool->AfterCreate();
        control = static_cast<TKvPasteToolControl*>(tool->CreateControl(view));
        tool->DocumentOpened(document);
        tools.SetActiveTool(tool.get());
        tool->UpdateControls();
    }
    ~PasteFixture() { static_cast<TestGraphicsEditor&>(editor).Tools.clear(); }

    fs::path Folder() const { return fs::path(m_library.path().toStdString()); }

    // A copy of the picture as it stands.
    TKvPixelBuffer Snapshot() const
    {
        TKvPixelBuffer copy;
        copy.SetFormat(PixelFormatBGR24, document->Image().Pixels().GetBounds());
        copy.Assign(document->Image().Pixels());
        return copy;
    }

    static bool Same(const TKvPixels& a, const TKvPixels& b)
    {
        for (int y = 0; y < a.Height; ++y)
            if (std::memcmp(a.PixelAt(0, y), b.PixelAt(0, y), std::size_t(a.Width) * 3) != 0)
                return false;
        return true;
    }

    void Key(int key) { QTest::keyClick(view, Qt::Key(key)); }

    std::vector<std::string> Names;
    std::unique_ptr<TKvPasteTool> tool;
    TKvPasteToolControl* control = nullptr;

private:
    QTemporaryDir m_library;
};

TEST(KvPasteToolTest, ADragLeftwardsPlacesAMirroredPasteThatEnterCommitsAsOneStep)
{
    PasteFixture f;
    const TKvPixelBuffer before = f.Snapshot();
    Drag(f.view, {{100, 100}, {80, 120}, {60, 140}});
    EXPECT_EQ(f.control->State(), TPlaceState::Placed);
    EXPECT_EQ(f.control->Placement().Rect(), (TRect{60, 100, 100, 140}));
    EXPECT_TRUE(f.control->Placement().FlipX());
    EXPECT_FALSE(f.control->Placement().FlipY());
    EXPECT_TRUE(f.tools.Exclusive) << "the editor is held for the tool while a rectangle is placed";
    EXPECT_TRUE(f.Same(f.document->Image().Pixels(), before)) << "the preview is drawn in the view only";
    EXPECT_EQ(f.editor.ShownWidth, 40);
    EXPECT_EQ(f.editor.ShownHeight, 40);

    f.Key(Qt::Key_Return);
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);
    EXPECT_FALSE(f.tools.Exclusive);
    EXPECT_EQ(f.editor.ShownWidth, 200) << "the picture's size again";
    ASSERT_EQ(f.document->History().Count(), 1);
    TKvPixelBuffer expected = f.Snapshot();
    expected.Assign(before);
    RenderPaste(expected, f.tool->Object(), {{60, 100, 100, 140}, 0, true, false}, pfHermite);
    EXPECT_TRUE(f.Same(f.document->Image().Pixels(), expected));
    EXPECT_FALSE(f.Same(expected, before));

    f.document->History().Undo();
    EXPECT_TRUE(f.Same(f.document->Image().Pixels(), before));
    f.document->History().Redo();
    EXPECT_TRUE(f.Same(f.document->Image().Pixels(), expected));
}

TEST(KvPasteToolTest, TheRotationTurnsTheCommittedPaste)
{
    PasteFixture f;
    f.tool->SetRotation(30);
    const TKvPixelBuffer before = f.Snapshot();
    Drag(f.view, {{20, 20}, {120, 100}});
    QTest::mouseClick(f.view, Qt::LeftButton, {}, ClientPoint(f.view, {180, 150})); // outside: commits
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);
    TKvPixelBuffer expected = f.Snapshot();
    expected.Assign(before);
    RenderPaste(expected, f.tool->Object(), {{20, 20, 120, 100}, 30, false, false}, pfHermite);
    EXPECT_TRUE(f.Same(f.document->Image().Pixels(), expected));
}

TEST(KvPasteToolTest, EscapeTheRightButtonAndAClickWithoutADragLeaveNothing)
{
    PasteFixture f;
    const TKvPixelBuffer before = f.Snapshot();
    Drag(f.view, {{30, 30}, {90, 90}});
    f.Key(Qt::Key_Escape);
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);

    Drag(f.view, {{30, 30}, {90, 90}});
    QTest::mouseClick(f.view, Qt::RightButton, {}, ClientPoint(f.view, {50, 50}));
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);

    QTest::mouseClick(f.view, Qt::LeftButton, {}, ClientPoint(f.view, {50, 50}));
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);
    EXPECT_FALSE(f.tools.Exclusive);

    EXPECT_EQ(f.document->History().Count(), 0);
    EXPECT_TRUE(f.Same(f.document->Image().Pixels(), before));
}

TEST(KvPasteToolTest, APasteMovedOffThePictureRecordsNothingAndOnePartlyOffOnlyItsInside)
{
    PasteFixture f;
    Drag(f.view, {{10, 10}, {50, 50}});
    // The inside dragged: the rectangle moves whole, unclipped.
    Drag(f.view, {{30, 30}, {-10, 140}});
    EXPECT_EQ(f.control->Placement().Rect(), (TRect{-30, 120, 10, 160}));
    f.Key(Qt::Key_Return);
    ASSERT_EQ(f.document->History().Count(), 1);

    Drag(f.view, {{10, 10}, {50, 50}});
    Drag(f.view, {{30, 30}, {230, 30}}); // wholly off to the right
    EXPECT_EQ(f.control->Placement().Rect().Left, 210);
    f.Key(Qt::Key_Return);
    EXPECT_EQ(f.document->History().Count(), 1) << "a paste beside the picture changes nothing";
}

TEST(KvPasteToolTest, AnEmptyCellOrAnUnreadableEntryCannotBePasted)
{
    PasteFixture f(2);
    f.tool->SelectCell(2, 0); // no entry there
    EXPECT_EQ(f.tool->List().Selected(), -1);
    EXPECT_TRUE(f.tool->Object().IsEmpty());
    Drag(f.view, {{30, 30}, {90, 90}});
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);
    f.tool->UpdateControls();
    EXPECT_FALSE(f.tool->PasteFrame()->DeleteButton->isEnabled());
    EXPECT_FALSE(f.tool->PasteFrame()->RotationTrackBar->isEnabled());

    // An entry whose matte is damaged is listed but leaves nothing to paste.
    std::ofstream(EntryFile(f.Folder(), f.Names[0], ".alp"), std::ios::binary | std::ios::trunc) << "damaged";
    f.tool->SelectCell(0, 0);
    EXPECT_EQ(f.tool->List().Selected(), 0);
    EXPECT_TRUE(f.tool->Object().IsEmpty());
    Drag(f.view, {{30, 30}, {90, 90}});
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);
    EXPECT_EQ(f.document->History().Count(), 0);
}

TEST(KvPasteToolTest, DeletingTheLastEntrySelectsTheNewLastAndTheOnlyOneLeavesNothing)
{
    PasteFixture f(3);
    ASSERT_EQ(f.tool->List().Count(), 3);
    EXPECT_EQ(f.tool->List().Selected(), 2) << "the last entry is selected at start";
    f.tool->DeleteSelected();
    EXPECT_EQ(f.tool->List().Count(), 2);
    EXPECT_EQ(f.tool->List().Selected(), 1);
    EXPECT_FALSE(fs::exists(EntryFile(f.Folder(), f.Names[2], ".tmb")));
    EXPECT_FALSE(fs::exists(EntryFile(f.Folder(), f.Names[2], ".alp")));
    EXPECT_FALSE(fs::exists(EntryFile(f.Folder(), f.Names[2], ".jpg")));
    EXPECT_FALSE(f.tool->Object().IsEmpty());

    PasteFixture g(1);
    g.tool->DeleteSelected();
    EXPECT_EQ(g.tool->List().Count(), 0);
    EXPECT_EQ(g.tool->List().Selected(), -1);
    EXPECT_TRUE(g.tool->Object().IsEmpty());
    g.tool->UpdateControls();
    EXPECT_FALSE(g.tool->PasteFrame()->DeleteButton->isEnabled());
    EXPECT_FALSE(g.tool->PasteFrame()->RotationTrackBar->isEnabled());
}

TEST(KvPasteToolTest, TheDeleteButtonAsksAndRecordsWhatWasConfirmed)
{
    TKvApplication application; // shows the question
    PasteFixture f(2);
    TestRecorder recorder;
    f.tool->StartRecording(&recorder);
    f.tool->UpdateControls();
    {
        TModalAnswers answers;
        answers.Answer(QMessageBox::No);
        f.tool->PasteFrame()->DeleteButton->click();
    }
    EXPECT_EQ(f.tool->List().Count(), 2);
    EXPECT_TRUE(recorder.Lines.isEmpty());
    {
        TModalAnswers answers;
        answers.Answer(QMessageBox::Yes);
        f.tool->PasteFrame()->DeleteButton->click();
        EXPECT_EQ(answers.Messages.size(), 1u);
    }
    EXPECT_EQ(f.tool->List().Count(), 1);
    EXPECT_EQ(recorder.Lines, (QStringList{QStringLiteral("MouseCurvedMove PasteDelete"), QStringLiteral("PasteDelete")}));

    recorder.Lines.clear();
    f.tool->PasteFrame()->RotationTrackBar->setValue(90);
    EXPECT_EQ(recorder.Lines,
              (QStringList{QStringLiteral("MouseCurvedMove PasteRotation"), QStringLiteral("PasteRotation 90")}));
    f.tool->StopRecording();
}

TEST(KvPasteToolTest, WhileARectangleIsPlacedTheGridAndDeleteWait)
{
    PasteFixture f;
    f.tool->UpdateControls();
    EXPECT_TRUE(f.tool->PasteFrame()->DrawGrid->isEnabled());
    EXPECT_TRUE(f.tool->PasteFrame()->DeleteButton->isEnabled());
    Drag(f.view, {{30, 30}, {90, 90}});
    f.tool->UpdateControls();
    EXPECT_FALSE(f.tool->PasteFrame()->DrawGrid->isEnabled());
    EXPECT_FALSE(f.tool->PasteFrame()->DeleteButton->isEnabled());
    EXPECT_TRUE(f.tool->PasteFrame()->RotationTrackBar->isEnabled());
}

TEST(KvPasteToolTest, TheGridShowsThreeColumnsAndSelectsAsClicked)
{
    PasteFixture f(4);
    TKvDrawGrid* grid = f.tool->PasteFrame()->DrawGrid;
    EXPECT_EQ(grid->ColumnCount(), 3);
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(grid->currentIndex().column(), 0);
    f.tool->SelectPreviousCell();
    EXPECT_EQ(f.tool->List().Selected(), 2);
    EXPECT_EQ(grid->currentIndex().column(), 2);
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_EQ(f.tools.Registry.FindCommand(QStringLiteral("pastegridprev"))->Owner, f.tool.get());
    f.tools.Registry.FindCommand(QStringLiteral("PasteGridPrev"))->Procedure();
    EXPECT_EQ(f.tool->List().Selected(), 1);

    // A new entry saved meanwhile joins the list once, selected.
    const std::string added = WriteDiscEntry(f.Folder(), 24);
    f.tool->AddNewestEntry();
    f.tool->AddNewestEntry(QString::fromStdString(added));
    EXPECT_EQ(f.tool->List().Count(), 5);
    EXPECT_EQ(f.tool->List().Selected(), 4);
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->currentIndex().column(), 1);
    EXPECT_EQ(f.tool->Object().Width() > 0, true);
}

TEST(KvPasteToolTest, TheRotationIsKeptInTheSettingsWithinItsRange)
{
    struct Case {
        qint32 stored;
        int rotation;
    };
    const Case cases[] = {{45, 45}, {1000, 359}, {-5, 0}};
    for (const Case& c : cases) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            TKvSDFWriter writer(&buffer, false);
            writer.BeginNode(1, TKvPasteTool::SettingsGuid);
            writer.WriteInteger(1, c.stored);
            writer.EndNode();
        }
        buffer.close();
        buffer.open(QIODevice::ReadOnly);
        TKvSDFReader reader(&buffer, false);
        PasteFixture f(1);
        f.tool->LoadSettings(reader);
        EXPECT_EQ(f.tool->Rotation(), c.rotation) << c.stored;
        EXPECT_EQ(f.tool->PasteFrame()->RotationTrackBar->value(), c.rotation) << c.stored;
    }
    // What is saved comes back.
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    {
        PasteFixture f(1);
        f.tool->SetRotation(45);
        TKvSDFWriter writer(&stream, false);
        f.tool->SaveSettings(writer);
    }
    stream.close();
    {
        stream.open(QIODevice::ReadOnly);
        TKvSDFReader reader(&stream, false);
        PasteFixture f(1);
        f.tool->LoadSettings(reader);
        EXPECT_EQ(f.tool->Rotation(), 45);
    }
    PasteFixture f(1);
    f.tool->SetRotation(-1);
    EXPECT_EQ(f.tool->Rotation(), 359);
    f.tools.Registry.FindCommand(QStringLiteral("PasteRotation"))->IntProcedure(100000);
    EXPECT_EQ(f.tool->Rotation(), 280);
}

TEST(KvPasteToolTest, ThePreviewShowsTheObjectInTheViewAndClosingDropsIt)
{
    PasteFixture f;
    const QImage plain = f.Painted();
    Drag(f.view, {{20, 20}, {140, 140}});
    QApplication::processEvents();
    const QImage shown = f.Painted();
    const QPoint centre = ClientPoint(f.view, {80, 80});
    EXPECT_NE(shown.pixelColor(centre), plain.pixelColor(centre)) << "the object is shown inside the rectangle";
    const QPoint outside = ClientPoint(f.view, {170, 20});
    EXPECT_EQ(shown.pixelColor(outside), plain.pixelColor(outside));

    f.tool->DocumentClosing(f.document);
    EXPECT_EQ(f.control->State(), TPlaceState::Idle);
    QApplication::processEvents();
    EXPECT_EQ(f.Painted().pixelColor(centre), plain.pixelColor(centre));
    EXPECT_EQ(f.document->History().Count(), 0);
}

} // namespace
