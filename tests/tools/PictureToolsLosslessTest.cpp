// The lossless JPEG codec in step with the picture tools: turned, mirrored
// and cropped on the block grid through the tools, a JPEG is saved with
// exactly the coefficients jpegtran gives; a crop undone is saved with the
// source's coefficients; a crop off the grid saves the picture shown.
#include "JpegFixtures.h"
#include "PictureToolsFixture.h"

#include <gtest/gtest.h>

namespace {

constexpr int Width = 160;
constexpr int Height = 112;

class PictureToolsLossless : public ::testing::Test, public PictureToolsFixture {
protected:
    PictureToolsLossless() : PictureToolsFixture(8, 8, QSize(200, 200))
    {
        TJpegFixtureOptions options;
        options.Quality = 85;
        m_source = EncodeJpeg(MakeTestPicture(Width, Height, 3), options);
        WriteFileBytes(m_folder / "source.jpg", m_source);
        EXPECT_TRUE(Load(QString::fromStdString((m_folder / "source.jpg").string())));
    }

    TBytes Save()
    {
        const std::filesystem::path saved = m_folder / "saved.jpg";
        EXPECT_TRUE(document->SaveToFile(QString::fromStdString(saved.string()), 0));
        return ReadFileBytes(saved);
    }

    TTemporaryFolder m_folder;
    TBytes m_source;
};

TEST_F(PictureToolsLossless, TurnFlipAndGridCropSaveJpegtransCoefficients)
{
    ASSERT_TRUE(document->CodecInStep());
    // A right turn followed by a left-right mirror is a transposition.
    ASSERT_TRUE(rotate->RotateRight());
    ASSERT_TRUE(rotate->FlipHorizontal());
    ASSERT_TRUE(crop->CropToRect(RectOfSize(16, 32, 80, 64)));
    EXPECT_TRUE(document->CodecInStep());
    const TBytes ours = Save();
    EXPECT_TRUE(document->Codec().LastSaveReport().FromCoefficients);
    const TBytes theirs = RunJpegtran("-transpose -crop 80x64+16+32", m_source);
    ASSERT_FALSE(theirs.empty()) << "jpegtran failed";
    EXPECT_TRUE(SameCoefficients(ReadJpegContent(ours), ReadJpegContent(theirs)));
}

TEST_F(PictureToolsLossless, ACropUndoneSavesEveryCoefficientOfTheSource)
{
    ASSERT_TRUE(crop->CropToRect(RectOfSize(16, 16, 64, 48)));
    ASSERT_TRUE(rotate->RotateLeft());
    Undo();
    Undo();
    EXPECT_EQ(document->Image().GetBounds(), RectOfSize(0, 0, Width, Height));
    const TBytes saved = Save();
    EXPECT_TRUE(document->Codec().SavesSourceAsStored());
    EXPECT_TRUE(SameCoefficients(ReadJpegContent(saved), ReadJpegContent(m_source)));
    // Redone, the crop is lossless again.
    Redo();
    EXPECT_TRUE(SameCoefficients(ReadJpegContent(Save()),
                                 ReadJpegContent(RunJpegtran("-crop 64x48+16+16", m_source))));
}

TEST_F(PictureToolsLossless, ACropOffTheGridSavesExactlyThePictureShown)
{
    ASSERT_TRUE(rotate->RotateRight());
    ASSERT_TRUE(crop->CropToRect(RectOfSize(13, 7, 61, 45)));
    const TKvPixelBuffer saved = DecodeJpeg(Save());
    ASSERT_EQ(saved.GetBounds(), RectOfSize(0, 0, 61, 45));
    const QImage shown = DocumentPicture(*document);
    const QImage written(saved.Data, saved.Width, saved.Height, saved.Stride, QImage::Format_BGR888);
    const double unshifted = MeanDifference(written, shown);
    EXPECT_LE(unshifted, 4.0); // the re-encoding alone
    // A picture one pixel off would differ far more.
    EXPECT_GT(MeanDifference(written.copy(1, 0, 60, 45), shown.copy(0, 0, 60, 45)), 2 * unshifted)
        << unshifted;
}

} // namespace
