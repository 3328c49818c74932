// The graphics document: crop rectangle and pictures under turns, flips and
// crops, the codec kept in step, the edit lock, dirty rectangles, recorded
// edits and their undo, and the saved state of a picture file.
#include "GraphicsEditorFixture.h"
#include "JpegFixtures.h"
#include "KvGraphicsCommandState.h"

#include "QtPrinters.h"

#include <QTransform>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A tool that logs what the document tells it and records its edit when
// another tool interrupts it, as the tool framework does.
class LoggingTool : public IKvGraphicsTool {
public:
    LoggingTool(std::string name, std::vector<std::string>& log) : Name(std::move(name)), m_log(log) {}

    void EndEdit() override
    {
        m_log.push_back(Name + " end edit");
        if (Document) {
            Document->RecordEdit(this);
            if (Document->Locked())
                Document->Unlock();
        }
    }
    void DocumentOpened(TKvGraphicsDocument*) override { m_log.push_back(Name + " opened"); }
    void DocumentClosing(TKvGraphicsDocument*) override { m_log.push_back(Name + " closing"); }
    void DocumentSaving(TKvGraphicsDocument*) override { m_log.push_back(Name + " saving"); }
    void BeforeUndo(TKvCommandState*) override { m_log.push_back(Name + " before undo"); }
    void AfterUndo(TKvCommandState*) override { m_log.push_back(Name + " after undo"); }
    void BeforeRedo(TKvCommandState*) override { m_log.push_back(Name + " before redo"); }
    void AfterRedo(TKvCommandState*) override { m_log.push_back(Name + " after redo"); }
    void CommitOrCancelOpenChange(TKvGraphicsDocument*) override {}
    bool HasOpenChange(const TKvGraphicsDocument*) const override { return false; }
    void StateChanged(TKvGraphicsDocument*, IKvGraphicsTool* tool, const TRect& rect) override
    {
        const auto* by = static_cast<LoggingTool*>(tool);
        m_log.push_back(Name + " state of " + (by ? by->Name : "none") + " at " + std::to_string(rect.Left) + ","
                        + std::to_string(rect.Top) + "," + std::to_string(rect.Right) + ","
                        + std::to_string(rect.Bottom));
    }

    std::string Name;
    TKvGraphicsDocument* Document = nullptr;

private:
    std::vector<std::string>& m_log;
};

void FillPicture(TKvGraphicsDocument& document, int width, int height)
{
    ASSERT_TRUE(document.Image().SetSize(width, height, PixelFormatBGR24));
    TKvPixels& pixels = document.Image().Pixels();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = pixels.PixelAt(x, y);
            p[0] = uint8_t(x * 5);
            p[1] = uint8_t(y * 7);
            p[2] = uint8_t(x * y);
        }
    ASSERT_TRUE(document.ImageLoaded());
}

QImage WholeImage(const TKvLTBitmap& bitmap)
{
    return bitmap.Image().convertToFormat(QImage::Format_RGB888);
}

void SetPixel(TKvGraphicsDocument& document, int x, int y, uint8_t value)
{
    uint8_t* p = document.Image().Pixels().PixelAt(x, y);
    p[0] = p[1] = p[2] = value;
}

struct GraphicsDocument : ::testing::Test {
    GraphicsDocument() : document(editor.NewDocument()) {}

    // Loads a JPEG of the given size made from the codec tests' picture.
    void LoadJpeg(int width, int height)
    {
        const TKvPixelBuffer picture = MakeTestPicture(width, height);
        WriteFileBytes(folder / "source.jpg", EncodeJpeg(picture));
        ASSERT_TRUE(document->LoadFromFile(Path("source.jpg")));
        ASSERT_TRUE(document->CodecInStep());
    }
    QString Path(const std::string& name) const { return QString::fromStdString((folder / name).string()); }
    // Saves as JPEG and returns the decoded file.
    QImage SaveAndReadBack(const std::string& name)
    {
        EXPECT_TRUE(document->SaveToFile(Path(name), FormatKeyJpeg));
        return QImage(Path(name)).convertToFormat(QImage::Format_RGB888);
    }

    TTemporaryFolder folder;
    TestGraphicsEditor editor;
    TKvGraphicsDocument* document;
};

// --- Geometry

// The document's four turns as plain functions, for tables of cases.
using Turn = bool (*)(TKvGraphicsDocument&);
constexpr Turn TurnLeft = [](TKvGraphicsDocument& d) { return d.RotateLeft(); };
constexpr Turn TurnRight = [](TKvGraphicsDocument& d) { return d.RotateRight(); };
constexpr Turn FlipAcross = [](TKvGraphicsDocument& d) { return d.FlipHorizontal(); };
constexpr Turn FlipUpsideDown = [](TKvGraphicsDocument& d) { return d.FlipVertical(); };

struct TurnCase {
    const char* name;
    Turn turn;
    QTransform transform; // what the turn does to a picture, as Qt turns it
    TRect expectedCrop;   // of the crop (5, 2, 15, 10) in a 40 x 30 picture
};

TEST_F(GraphicsDocument, TurnsAndFlipsCarryTheCropRectangleWithThePicture)
{
    const TurnCase cases[] = {
        {"left", TurnLeft, QTransform().rotate(-90), {2, 25, 10, 35}},
        {"right", TurnRight, QTransform().rotate(90), {20, 5, 28, 15}},
        {"horizontal", FlipAcross, QTransform().scale(-1, 1), {25, 2, 35, 10}},
        {"vertical", FlipUpsideDown, QTransform().scale(1, -1), {5, 20, 15, 28}},
    };
    for (const TurnCase& c : cases) {
        FillPicture(*document, 40, 30);
        document->SetCropRect({5, 2, 15, 10});
        const QImage before = DocumentPicture(*document);
        const QImage whole = WholeImage(document->Image());
        ASSERT_TRUE(c.turn(*document)) << c.name;
        EXPECT_EQ(document->CropRect(), c.expectedCrop) << c.name;
        // The crop rectangle shows the same part of the picture, turned.
        EXPECT_EQ(DocumentPicture(*document), before.transformed(c.transform)) << c.name;
        EXPECT_EQ(WholeImage(document->Image()), whole.transformed(c.transform)) << c.name;
        EXPECT_EQ(WholeImage(document->Original()), whole.transformed(c.transform)) << c.name;
        EXPECT_EQ(document->Committed().GetBounds(), document->Image().GetBounds()) << c.name;
        EXPECT_EQ(editor.ShownWidth, document->Image().Width()) << c.name;
    }
}

TEST_F(GraphicsDocument, FourTurnsOrATurnAndItsInverseRestoreEverything)
{
    const std::vector<std::vector<Turn>> sequences = {
        {TurnLeft, TurnLeft, TurnLeft, TurnLeft},
        {TurnRight, TurnRight, TurnRight, TurnRight},
        {TurnLeft, TurnRight},
        {FlipUpsideDown, FlipUpsideDown},
    };
    for (size_t i = 0; i < sequences.size(); ++i) {
        FillPicture(*document, 40, 30);
        document->SetCropRect({5, 2, 15, 10});
        const QImage whole = WholeImage(document->Image());
        for (Turn turn : sequences[i])
            ASSERT_TRUE(turn(*document));
        EXPECT_EQ(document->CropRect(), (TRect{5, 2, 15, 10})) << i;
        EXPECT_EQ(WholeImage(document->Image()), whole) << i;
    }
}

TEST_F(GraphicsDocument, CropRectangleIsKeptWithinThePictureAndTheWholePictureAsNone)
{
    FillPicture(*document, 40, 30);
    document->SetCropRect({-5, 10, 20, 50});
    EXPECT_EQ(document->CropRect(), (TRect{0, 10, 20, 30}));
    EXPECT_EQ(document->GetImageRect(), (TRect{0, 10, 20, 30}));
    document->SetCropRect({0, 0, 40, 30});
    EXPECT_FALSE(document->HasCropRect());
    EXPECT_EQ(document->GetImageRect(), (TRect{0, 0, 40, 30}));
    document->SetCropRect({-10, -10, 100, 100});
    EXPECT_FALSE(document->HasCropRect());
}

TEST_F(GraphicsDocument, CropToCutsBothPicturesAndIgnoresRectanglesOutside)
{
    FillPicture(*document, 40, 30);
    document->SetCropRect({1, 1, 5, 5});
    const QImage whole = WholeImage(document->Image());

    EXPECT_FALSE(document->CropTo({50, 0, 60, 10}));
    EXPECT_EQ(document->Image().Width(), 40);
    EXPECT_TRUE(document->HasCropRect());

    ASSERT_TRUE(document->CropTo({30, 20, 45, 35}));
    EXPECT_EQ(document->Image().GetBounds(), (TRect{0, 0, 10, 10}));
    EXPECT_EQ(WholeImage(document->Image()), whole.copy(30, 20, 10, 10));
    EXPECT_EQ(WholeImage(document->Original()), whole.copy(30, 20, 10, 10));
    EXPECT_FALSE(document->HasCropRect());
    EXPECT_EQ(document->Committed().GetBounds(), (TRect{0, 0, 10, 10}));
    EXPECT_EQ(editor.ShownWidth, 10);
    EXPECT_EQ(editor.ShownHeight, 10);
}

TEST_F(GraphicsDocument, ScaledCopyFitsTheLongerSide)
{
    FillPicture(*document, 400, 300);
    std::unique_ptr<TKvLTBitmap> copy = document->CreateScaledCopy(100);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetBounds(), (TRect{0, 0, 100, 75}));
    ASSERT_TRUE(document->RotateLeft());
    copy = document->CreateScaledCopy(100);
    EXPECT_EQ(copy->GetBounds(), (TRect{0, 0, 75, 100}));
    TKvGraphicsDocument empty;
    EXPECT_FALSE(empty.CreateScaledCopy(100));
}

// --- The codec kept in step

TEST_F(GraphicsDocument, CropOffTheBlockGridIsWrittenFromPixelsNotShifted)
{
    LoadJpeg(96, 64);
    const int block = document->Codec().BlockWidth();
    ASSERT_EQ(block, 16);
    ASSERT_TRUE(document->CropTo({13, 5, 80, 60}));
    EXPECT_EQ(document->Image().Width(), 67);
    EXPECT_EQ(document->Codec().Width(), 67);
    EXPECT_EQ(document->Codec().Height(), 55);
    const QImage expected = DocumentPicture(*document);
    const QImage written = SaveAndReadBack("crop13.jpg");
    EXPECT_FALSE(document->Codec().LastSaveReport().FromCoefficients);
    // Within JPEG's loss (about 3 on this textured picture) of the picture
    // the user sees; the picture of a crop moved onto the block grid (13
    // pixels to the left) is off by more than 30.
    EXPECT_LT(MeanDifference(written, expected), 8.0);
}

TEST_F(GraphicsDocument, CropOnTheBlockGridKeepsTheSourceBlocks)
{
    LoadJpeg(96, 64);
    ASSERT_TRUE(document->CropTo({16, 16, 80, 60}));
    const QImage expected = DocumentPicture(*document);
    const QImage written = SaveAndReadBack("crop16.jpg");
    const TJpegSaveReport& report = document->Codec().LastSaveReport();
    EXPECT_TRUE(report.FromCoefficients);
    EXPECT_EQ(report.EncodedUnits, 0);
    EXPECT_LT(MeanDifference(written, expected), 8.0);
}

TEST_F(GraphicsDocument, ACropRectangleIsWhatAJpegSaveWrites)
{
    struct Case {
        TRect crop;
        bool fromCoefficients;
    };
    const Case cases[] = {{{16, 16, 80, 48}, true}, {{13, 5, 80, 60}, false}};
    LoadJpeg(96, 64);
    for (const Case& c : cases) {
        document->SetCropRect(c.crop);
        const QImage expected = DocumentPicture(*document);
        const QImage written = SaveAndReadBack("cropped.jpg");
        EXPECT_EQ(written.size(), QSize(c.crop.Width(), c.crop.Height()));
        EXPECT_EQ(document->Codec().LastSaveReport().FromCoefficients, c.fromCoefficients);
        EXPECT_LT(MeanDifference(written, expected), 8.0);
    }
}

TEST_F(GraphicsDocument, FourTurnsAndASaveGiveBackTheSourceCoefficients)
{
    LoadJpeg(64, 48);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(document->RotateRight());
    ASSERT_TRUE(document->SaveToFile(Path("turned.jpg"), FormatKeyJpeg));
    const TJpegContent source = ReadJpegContent(ReadFileBytes(folder / "source.jpg"));
    const TJpegContent written = ReadJpegContent(ReadFileBytes(folder / "turned.jpg"));
    ASSERT_EQ(source.Components.size(), written.Components.size());
    for (size_t c = 0; c < source.Components.size(); ++c)
        EXPECT_EQ(source.Components[c].Coefficients, written.Components[c].Coefficients) << c;
}

TEST_F(GraphicsDocument, UndoingACropWithItsGeometryPutsTheCodecBackInStep)
{
    LoadJpeg(96, 64);
    // What a crop command keeps to undo the crop.
    TKvPixelBuffer image;
    TKvPixelBuffer original;
    document->CopyImage(image, &original);
    const TKvGraphicsGeometry geometry = document->Geometry();
    ASSERT_TRUE(document->CropTo({13, 5, 80, 60}));

    document->ReplaceImage(image, &original, &geometry);
    EXPECT_TRUE(document->CodecInStep());
    EXPECT_EQ(document->Image().GetBounds(), (TRect{0, 0, 96, 64}));
    SaveAndReadBack("undone.jpg");
    EXPECT_TRUE(document->Codec().LastSaveReport().FromCoefficients);
    EXPECT_EQ(document->Codec().LastSaveReport().EncodedUnits, 0);
}

TEST_F(GraphicsDocument, PicturesPutBackWithoutGeometryAreWrittenFromPixels)
{
    LoadJpeg(96, 64);
    TKvPixelBuffer image;
    TKvPixelBuffer original;
    document->CopyImage(image, &original);
    ASSERT_TRUE(document->CropTo({16, 16, 80, 60}));
    document->ReplaceImage(image, &original);
    EXPECT_FALSE(document->CodecInStep());
    const QImage expected = DocumentPicture(*document);
    const QImage written = SaveAndReadBack("replaced.jpg");
    EXPECT_FALSE(document->Codec().LastSaveReport().FromCoefficients);
    EXPECT_LT(MeanDifference(written, expected), 8.0);
}

TEST_F(GraphicsDocument, PaintedPixelsOfTheSameSizeKeepTheCodecInStep)
{
    LoadJpeg(64, 48);
    TKvPixelBuffer image;
    document->CopyImage(image, nullptr);
    image.PixelAt(3, 3)[0] ^= 0xFF;
    document->ReplaceImage(image, nullptr);
    EXPECT_TRUE(document->CodecInStep());
    SaveAndReadBack("painted.jpg");
    const TJpegSaveReport& report = document->Codec().LastSaveReport();
    EXPECT_TRUE(report.FromCoefficients);
    EXPECT_EQ(report.EncodedUnits, 1);
}

// --- Lock, dirty rectangle, recorded edits

TEST_F(GraphicsDocument, ASecondToolTakingTheLockRecordsTheFirstToolsEdit)
{
    std::vector<std::string> log;
    LoggingTool first("first", log);
    LoggingTool second("second", log);
    first.Document = second.Document = document;
    FillPicture(*document, 20, 20);

    document->Lock(&first);
    SetPixel(*document, 4, 5, 200);
    document->AddDirtyRect({4, 5, 5, 6});
    document->Lock(&second);

    EXPECT_EQ(log, (std::vector<std::string>{"first end edit"}));
    ASSERT_EQ(document->History().Count(), 1);
    const auto* state = dynamic_cast<TKvGraphicsCommandState*>(document->History().Items(0));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->Tool(), &first);
    EXPECT_EQ(state->Rect(), (TRect{4, 5, 5, 6}));
    EXPECT_EQ(document->Committed().PixelAt(4, 5)[0], 200); // brought up to date
    EXPECT_TRUE(document->Locked());
    EXPECT_EQ(document->LockingTool(), &second);
    EXPECT_TRUE(document->DirtyRect().IsEmpty());
}

TEST_F(GraphicsDocument, UnlockAndResetLockCallNoTool)
{
    std::vector<std::string> log;
    LoggingTool tool("tool", log);
    tool.Document = document;
    FillPicture(*document, 8, 8);
    document->Lock(&tool);
    document->AddDirtyRect({0, 0, 2, 2});
    document->Unlock();
    EXPECT_FALSE(document->Locked());
    EXPECT_EQ(document->LockingTool(), &tool);
    EXPECT_TRUE(document->DirtyRect().IsEmpty());
    document->Lock(&tool);
    document->ResetLock();
    EXPECT_FALSE(document->Locked());
    EXPECT_EQ(document->LockingTool(), nullptr);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(document->History().Count(), 0);
}

TEST_F(GraphicsDocument, DirtyRectanglesUniteAndAreRepaintedInTheView)
{
    FillPicture(*document, 50, 50);
    auto* view = dynamic_cast<RecordingView*>(document->GetView());
    ASSERT_NE(view, nullptr);
    document->AddDirtyRect({1, 1, 3, 3});
    document->AddDirtyRect({10, 20, 12, 22});
    EXPECT_EQ(document->DirtyRect(), (TRect{1, 1, 12, 22}));
    EXPECT_EQ(view->Invalidated, (std::vector<TRect>{{1, 1, 3, 3}, {10, 20, 12, 22}}));
    ASSERT_TRUE(document->RotateLeft());
    EXPECT_EQ(view->ImageChanges, 1);
}

TEST_F(GraphicsDocument, AnEditThatChangedNothingRecordsNothing)
{
    std::vector<std::string> log;
    LoggingTool tool("tool", log);
    FillPicture(*document, 8, 8);
    document->Lock(&tool);
    EXPECT_FALSE(document->RecordEdit(&tool));
    EXPECT_EQ(document->History().Count(), 0);
}

TEST_F(GraphicsDocument, UndoAndRedoOfAnEditRestoreItsRectangleOnly)
{
    std::vector<std::string> log;
    LoggingTool painter("painter", log);
    LoggingTool watcher("watcher", log);
    editor.Tools = {&painter, &watcher};
    FillPicture(*document, 20, 20);
    const QImage loaded = WholeImage(document->Image());

    document->Lock(&painter);
    SetPixel(*document, 2, 2, 1);
    SetPixel(*document, 3, 4, 2);
    document->AddDirtyRect({2, 2, 4, 5});
    ASSERT_TRUE(document->RecordEdit(&painter));
    document->Unlock();
    const QImage edited = WholeImage(document->Image());
    // A later change outside the edit's rectangle, not recorded.
    SetPixel(*document, 10, 10, 9);

    document->History().Undo();
    QImage expected = loaded;
    expected.setPixelColor(10, 10, QColor(9, 9, 9));
    EXPECT_EQ(WholeImage(document->Image()), expected);
    EXPECT_EQ(std::memcmp(document->Committed().Data, document->Image().Pixels().Data,
                          size_t(document->Committed().Stride) * 20),
              0);

    document->History().Redo();
    expected = edited;
    expected.setPixelColor(10, 10, QColor(9, 9, 9));
    EXPECT_EQ(WholeImage(document->Image()), expected);

    const std::string at = " state of painter at 2,2,4,5";
    EXPECT_EQ(log, (std::vector<std::string>{"painter" + at, "watcher" + at, "painter" + at, "watcher" + at,
                                             "painter" + at, "watcher" + at}));
}

TEST_F(GraphicsDocument, OverlappingEditsUndoneAndRedoneInTurnGiveBackEachStage)
{
    // Each edit's own result is taken only when it is first undone, from
    // what the picture then shows: two overlapping edits, undone and redone
    // twice over, must give every stage back exactly.
    std::vector<std::string> log;
    LoggingTool painter("painter", log);
    editor.Tools = {&painter};
    FillPicture(*document, 20, 20);
    std::vector<QImage> stages{WholeImage(document->Image())};
    for (const auto& [rect, value] : {std::pair{TRect{2, 2, 12, 12}, 50}, std::pair{TRect{8, 8, 18, 18}, 90}}) {
        document->Lock(&painter);
        for (int y = rect.Top; y < rect.Bottom; ++y)
            for (int x = rect.Left; x < rect.Right; ++x)
                SetPixel(*document, x, y, value + x);
        document->AddDirtyRect(rect);
        ASSERT_TRUE(document->RecordEdit(&painter));
        document->Unlock();
        stages.push_back(WholeImage(document->Image()));
    }
    for (int round = 0; round < 2; ++round) {
        document->History().Undo();
        EXPECT_EQ(WholeImage(document->Image()), stages[1]) << round;
        document->History().Undo();
        EXPECT_EQ(WholeImage(document->Image()), stages[0]) << round;
        document->History().Redo();
        EXPECT_EQ(WholeImage(document->Image()), stages[1]) << round;
        document->History().Redo();
        EXPECT_EQ(WholeImage(document->Image()), stages[2]) << round;
    }
}

TEST_F(GraphicsDocument, DocumentEventsReachEveryToolInCreationOrder)
{
    std::vector<std::string> log;
    LoggingTool a("a", log);
    LoggingTool b("b", log);
    editor.Tools = {&a, &b};
    document->AfterOpen();
    document->BeforeSave();
    document->BroadcastBeforeUndo();
    document->BroadcastAfterRedo();
    document->BeforeClose();
    EXPECT_EQ(log, (std::vector<std::string>{"a opened", "b opened", "a saving", "b saving", "a before undo",
                                             "b before undo", "a after redo", "b after redo", "a closing",
                                             "b closing"}));
}

TEST_F(GraphicsDocument, UndoingPastASaveMakesThePictureUnsaved)
{
    FillPicture(*document, 16, 16);
    ASSERT_TRUE(document->SaveToFile(Path("picture.png"), FormatKeyPng));
    EXPECT_TRUE(document->Saved());

    std::vector<std::string> log;
    LoggingTool tool("tool", log);
    document->Lock(&tool);
    SetPixel(*document, 1, 1, 77);
    document->AddDirtyRect({1, 1, 2, 2});
    document->RecordEdit(&tool);
    document->Unlock();
    EXPECT_FALSE(document->Saved());
    ASSERT_TRUE(document->SaveToFile(Path("picture.png"), FormatKeyPng));
    EXPECT_TRUE(document->Saved());
    document->History().Undo();
    EXPECT_FALSE(document->Saved());
    document->History().Redo();
    EXPECT_TRUE(document->Saved());
}

} // namespace
