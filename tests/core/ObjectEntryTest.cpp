// Building a library entry from the clipping labels: the rectangle cut, the
// matte, the thumbnail, degenerate objects, and an entry cut from a real
// separation read back whole.
#include "BGRAlpha.h"
#include "Clipping.h"
#include "Files.h"
#include "JpegEncode.h"
#include "JpegFixtures.h"
#include "ObjectEntry.h"
#include "RegionFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A picture whose pixels all differ, with a region attached.
struct LabelledPicture {
    TKvPixelBuffer picture;
    TMarkedRegion region;

    explicit LabelledPicture(const std::vector<std::string>& labels)
    {
        const int width = int(labels[0].size());
        const int height = int(labels.size());
        MakePicture(picture, width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                SetPixel(picture, x, y, {std::uint8_t(10 * x), std::uint8_t(10 * y), std::uint8_t(100 + x + y)});
        SetClippingLabelEffects(region);
        region.AttachImage(&picture);
        PaintLabels(region, labels);
    }
};

// An encoder that keeps what it was given.
struct RecordingEncoder {
    TRect bounds;
    std::vector<TColorTriple> pixels;
    int calls = 0;
    bool succeed = true;

    TEntryJpegEncoder Encoder()
    {
        return [this](const TKvPixels& cut, std::vector<std::uint8_t>& jpeg) {
            ++calls;
            bounds = cut.GetBounds();
            for (int y = bounds.Top; y < bounds.Bottom; ++y)
                for (int x = bounds.Left; x < bounds.Right; ++x)
                    pixels.push_back(PixelOf(cut, x, y));
            jpeg = {0xFF, 0xD8};
            return succeed;
        };
    }
};

TAlphaChanal ReadMatte(const std::vector<std::uint8_t>& alp)
{
    TAlphaChanal matte;
    EXPECT_TRUE(DecompressMatte(alp.data(), alp.size(), std::uint64_t(1) << 28, matte));
    return matte;
}

TEST(ObjectEntry, CutsTheObjectsRectangleAndBuildsItsMatteAndThumbnail)
{
    // Object 9 in columns 2..4, rows 1..2; the background (8, shown with the
    // effect) around it, also inside the rectangle.
    LabelledPicture scene({
        "IIIIIII",
        "II99III",
        "IIII9II",
        "IIIIIII",
    });
    RecordingEncoder encoder;
    TObjectEntryFiles files;
    ASSERT_EQ(BuildObjectEntry(scene.region, encoder.Encoder(), files), TEntryBuild::Built);

    EXPECT_EQ(encoder.bounds, (TRect{2, 1, 5, 3}));
    ASSERT_EQ(encoder.pixels.size(), 6u);
    EXPECT_EQ(encoder.pixels[0], PixelOf(scene.picture, 2, 1));
    EXPECT_EQ(encoder.pixels[5], PixelOf(scene.picture, 4, 2));
    EXPECT_EQ(files.Jpeg, (std::vector<std::uint8_t>{0xFF, 0xD8}));

    TAlphaChanal expected;
    BuildObjectMatte(scene.region, expected);
    expected.ComputeMargins();
    const TAlphaChanal matte = ReadMatte(files.Alp);
    ASSERT_EQ(matte.Width(), 3 + 2 * expected.MarginX());
    ASSERT_EQ(matte.Height(), 2 + 2 * expected.MarginY());
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 2; ++y)
            EXPECT_EQ(matte.GetAlpha(x + expected.MarginX(), y + expected.MarginY()), expected.GetAlpha(x, y));
    // Smoothed once: the lone object cell (4, 2) has no object neighbour.
    EXPECT_EQ(expected.GetAlpha(2, 1), 51);

    // 3 x 2 into 72 x 72: the width decides, 36 spare rows split 18 / 18.
    const TThumbnail thumbnail = TThumbnail::FromBytes(files.Tmb.data(), files.Tmb.size());
    ASSERT_TRUE(thumbnail.IsValid());
    EXPECT_EQ(thumbnail.Width(), 72);
    EXPECT_EQ(thumbnail.GetPixel(0, 18), PixelOf(scene.picture, 2, 1));
    EXPECT_EQ(thumbnail.GetPixel(71, 53), PixelOf(scene.picture, 4, 2));
    // (71, 18) shows (4, 1), a background pixel: the checkerboard stays.
    EXPECT_EQ(thumbnail.GetPixel(71, 18), RGBToTriple(0xFE, 0xFF, 0xFF));
    EXPECT_EQ(thumbnail.GetPixel(0, 0), RGBToTriple(0xA9, 0xA9, 0xA9));
}

TEST(ObjectEntry, AOnePixelObjectFillsItsThumbnail)
{
    LabelledPicture scene({
        "III",
        "I9I",
        "III",
    });
    RecordingEncoder encoder;
    TObjectEntryFiles files;
    ASSERT_EQ(BuildObjectEntry(scene.region, encoder.Encoder(), files), TEntryBuild::Built);
    EXPECT_EQ(encoder.bounds, (TRect{1, 1, 2, 2}));
    const TThumbnail thumbnail = TThumbnail::FromBytes(files.Tmb.data(), files.Tmb.size());
    for (int x = 0; x < 72; x += 71)
        for (int y = 0; y < 72; y += 71)
            EXPECT_EQ(thumbnail.GetPixel(x, y), PixelOf(scene.picture, 1, 1));
    const TAlphaChanal matte = ReadMatte(files.Alp);
    EXPECT_EQ(matte.Width(), 1);
    EXPECT_EQ(matte.GetAlpha(0, 0), 51);
}

TEST(ObjectEntry, NothingIsBuiltWithoutAnObjectOrWhenTheEncoderFails)
{
    for (const std::vector<std::string>& labels : {std::vector<std::string>{"...", "..."},
                                                   std::vector<std::string>{"III", "JJJ"},
                                                   std::vector<std::string>{"113", "221"}}) {
        LabelledPicture scene(labels);
        RecordingEncoder encoder;
        TObjectEntryFiles files;
        EXPECT_EQ(BuildObjectEntry(scene.region, encoder.Encoder(), files), TEntryBuild::NoObject);
        EXPECT_EQ(encoder.calls, 0);
        EXPECT_TRUE(files.Jpeg.empty() && files.Alp.empty() && files.Tmb.empty());
    }
    LabelledPicture scene({"I9I"});
    RecordingEncoder encoder;
    encoder.succeed = false;
    TObjectEntryFiles files;
    EXPECT_EQ(BuildObjectEntry(scene.region, encoder.Encoder(), files), TEntryBuild::EncodingFailed);
}

TEST(ObjectEntry, AnEntryCutFromASeparationReadsBackWhole)
{
    // A textured picture with a band painted round its middle, separated and
    // shown with the colour effect, as the clipping tool leaves it.
    TKvPixelBuffer picture = MakeTestPicture(64, 48, 3);
    TMarkedRegion region;
    SetClippingLabelEffects(region);
    region.AttachImage(&picture);
    TKvPixelMask band;
    band.SetBounds(0, 0, 64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot((x - 30) / 1.3, y - 22.0);
            band.Data[std::size_t(y * 64 + x)] = d >= 12 && d <= 16 ? 255 : 0;
        }
    PaintBand(region, band.GetBounds(), band, LabelBand);
    {
        TSeparation separation(region);
        ASSERT_TRUE(separation.Encloses());
        separation.RunGrowCut();
    }
    StartShowEffect(region, BackgroundColor).Run();

    TObjectEntryFiles files;
    const TEntryJpegEncoder quality95 = [](const TKvPixels& cut, std::vector<std::uint8_t>& jpeg) {
        return EncodeJpegAtQuality(cut, 95, jpeg);
    };
    ASSERT_EQ(BuildObjectEntry(region, quality95, files), TEntryBuild::Built);
    TTemporaryFolder folder;
    const TEntryWriteResult written = WriteObjectEntry(folder.GetPath(), files);
    ASSERT_EQ(written.Status, TEntryWriteResult::Written) << written.Error;

    TBGRWithAlpha object;
    ASSERT_TRUE(object.LoadObject(folder.GetPath(), written.Name));
    TAlphaChanal matte;
    const TRect bounds = BuildObjectMatte(region, matte);
    matte.ComputeMargins();
    ASSERT_EQ(object.Width(), bounds.Width() + 2 * matte.MarginX());
    ASSERT_EQ(object.Height(), bounds.Height() + 2 * matte.MarginY());
    double error = 0;
    for (int x = 0; x < bounds.Width(); ++x)
        for (int y = 0; y < bounds.Height(); ++y) {
            const int ox = x + matte.MarginX();
            const int oy = y + matte.MarginY();
            ASSERT_EQ(object.GetAlpha(ox, oy), matte.GetAlpha(x, y));
            const TColorTriple shown = PixelOf(picture, bounds.Left + x, bounds.Top + y);
            const TColorTriple read = object.GetColor(ox, oy);
            error += std::abs(shown.Blue - read.Blue) + std::abs(shown.Green - read.Green) + std::abs(shown.Red - read.Red);
        }
    EXPECT_LT(error / (3.0 * bounds.Width() * bounds.Height()), 3.0); // JPEG loss only
}

} // namespace
