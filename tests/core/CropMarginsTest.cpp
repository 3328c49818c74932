// The bands a crop cuts away and the whole picture put back from them.
#include "CropMargins.h"
#include "RegionFixture.h"

#include <gtest/gtest.h>

namespace {

// A picture whose every pixel differs from its neighbours.
void MakeNumbered(TKvPixelBuffer& picture, int width, int height)
{
    MakePicture(picture, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(picture, x, y, {std::uint8_t(x), std::uint8_t(y), std::uint8_t(x * 7 + y * 13)});
}

// The part rect of picture as a picture of its own at (0, 0), as the
// document holds it after the crop.
void CutOut(const TKvPixels& picture, const TRect& rect, TKvPixelBuffer& part)
{
    MakePicture(part, rect.Width(), rect.Height());
    part.CopyFrom(0, 0, rect, picture);
}

TEST(CropMargins, PutsTheWholePictureBackForEveryKindOfCut)
{
    const TRect cuts[] = {{3, 2, 9, 7},  {0, 0, 5, 9},   {4, 0, 11, 9}, {0, 3, 11, 9},
                          {0, 0, 11, 9}, {10, 8, 11, 9}, {-5, -5, 4, 2}, {2, 2, 500, 500}};
    TKvPixelBuffer picture;
    MakeNumbered(picture, 11, 9);
    for (const TRect& cut : cuts) {
        TCropMargins margins;
        ASSERT_TRUE(margins.Take(picture, cut));
        const TRect kept = IntersectRect(cut, picture.GetBounds());
        EXPECT_EQ(margins.Kept(), kept);
        EXPECT_EQ(margins.Whole(), picture.GetBounds());
        TKvPixelBuffer part;
        CutOut(picture, kept, part);
        TKvPixelBuffer whole;
        ASSERT_TRUE(margins.Restore(part, whole));
        EXPECT_TRUE(SamePixels(whole, picture)) << cut.Left << ", " << cut.Top << ", " << cut.Right << ", "
                                                << cut.Bottom;
    }
}

TEST(CropMargins, KeepsOnlyTheRemovedPixels)
{
    TKvPixelBuffer picture;
    MakeNumbered(picture, 400, 300);
    TCropMargins margins;
    ASSERT_TRUE(margins.Take(picture, {100, 50, 300, 250}));
    const std::size_t removed = std::size_t(400 * 300 - 200 * 200) * 3;
    EXPECT_GE(margins.Size(), removed);
    EXPECT_LE(margins.Size(), removed + 4 * 3 * 300); // row padding at most
    TCropMargins all;
    ASSERT_TRUE(all.Take(picture, picture.GetBounds()));
    EXPECT_EQ(all.Size(), 0u);
}

TEST(CropMargins, WidensTheWindowTheCropLeftWithoutMovingAPixel)
{
    TKvPixelBuffer picture;
    MakeNumbered(picture, 400, 300);
    TKvPixelBuffer before;
    CutOut(picture, picture.GetBounds(), before);
    uint8_t* const corner = picture.Data;
    TCropMargins margins;
    ASSERT_TRUE(margins.Take(picture, {100, 50, 300, 250}));
    picture.ShrinkTo({100, 50, 300, 250}); // as the document crops
    margins.Compact(); // the picture still lives in the storage: nothing to do
    EXPECT_EQ(margins.Size(), std::size_t(400 * 300 - 200 * 200) * 3);
    TKvPixelBuffer whole;
    ASSERT_TRUE(margins.Restore(picture, whole));
    EXPECT_EQ(whole.Data, corner);
    EXPECT_TRUE(SamePixels(whole, before));
}

TEST(CropMargins, PutsThePictureBackAfterItMovedToNewStorage)
{
    // The picture turned into new storage and back, say: with the margins
    // copied out of the old storage and with the old storage kept whole.
    for (const bool compacted : {true, false}) {
        SCOPED_TRACE(compacted ? "compacted" : "storage kept");
        TKvPixelBuffer picture;
        MakeNumbered(picture, 400, 300);
        TKvPixelBuffer before;
        CutOut(picture, picture.GetBounds(), before);
        TCropMargins margins;
        ASSERT_TRUE(margins.Take(picture, {100, 50, 300, 250}));
        picture.ShrinkTo({100, 50, 300, 250});
        TKvPixelBuffer moved;
        CutOut(picture, picture.GetBounds(), moved);
        picture.Release();
        const std::size_t removed = std::size_t(400 * 300 - 200 * 200) * 3;
        if (compacted) {
            margins.Compact();
            EXPECT_GE(margins.Size(), removed);
            EXPECT_LE(margins.Size(), removed + 4 * 3 * 300); // row padding at most
        } else {
            EXPECT_EQ(margins.Size(), std::size_t(1200 * 300)); // all of it, until compacted
        }
        TKvPixelBuffer whole;
        ASSERT_TRUE(margins.Restore(moved, whole));
        EXPECT_TRUE(SamePixels(whole, before));
    }
}

TEST(CropMargins, RefusesACutMissingThePictureAndAWrongPart)
{
    TKvPixelBuffer picture;
    MakeNumbered(picture, 8, 8);
    TCropMargins margins;
    EXPECT_FALSE(margins.Take(picture, {20, 20, 30, 30}));
    EXPECT_TRUE(margins.IsEmpty());
    TKvPixelBuffer whole;
    EXPECT_FALSE(margins.Restore(picture, whole));

    ASSERT_TRUE(margins.Take(picture, {2, 2, 6, 6}));
    TKvPixelBuffer wrongSize;
    MakePicture(wrongSize, 5, 4);
    EXPECT_FALSE(margins.Restore(wrongSize, whole));
    TKvPixelBuffer part;
    CutOut(picture, {2, 2, 6, 6}, part);
    EXPECT_TRUE(margins.Restore(part, whole));
}

TEST(CropMargins, OnePixelPicture)
{
    TKvPixelBuffer picture;
    MakePicture(picture, 1, 1, {1, 2, 3});
    TCropMargins margins;
    ASSERT_TRUE(margins.Take(picture, {-10, -10, 10, 10}));
    TKvPixelBuffer whole;
    ASSERT_TRUE(margins.Restore(picture, whole));
    EXPECT_TRUE(SamePixels(whole, picture));
}

} // namespace
