// The text mask: which lines count for its size, the cap on its size, the
// colours of both colour modes, the stretch onto the rectangle (mirrored
// when dragged leftwards) and the preview against the commit.
#include "TextMask.h"

#include <gtest/gtest.h>

namespace {

TKvPixelBuffer MakePicture(int width, int height, TColorTriple color)
{
    TKvPixelBuffer picture;
    EXPECT_TRUE(picture.SetFormat(PixelFormatBGR24, {0, 0, width, height}));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.PixelAt(x, y);
            p[0] = color.Blue;
            p[1] = color.Green;
            p[2] = color.Red;
        }
    return picture;
}

TColorTriple At(const TKvPixels& picture, int x, int y)
{
    const std::uint8_t* p = picture.PixelAt(x, y);
    return {p[0], p[1], p[2]};
}

// A mask of width x height whose left half is covered.
TTextMask LeftHalfMask(int width, int height)
{
    TTextMask mask;
    EXPECT_TRUE(mask.SetSize(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x)
            mask.Row(y)[x] = 255;
    return mask;
}

TEST(TextMask, TheLastLineWithTextFixesTheHeight)
{
    struct Case {
        const char* what;
        std::vector<TTextLine> lines;
        TTextMaskSize size;
    };
    const Case cases[] = {
        {"an empty line before and after", {{true, 0}, {false, 30}, {true, 0}}, {2, 30, 40}},
        {"the widest line", {{false, 12}, {false, 50}, {false, 7}}, {3, 50, 60}},
        {"only empty lines", {{true, 0}, {true, 0}}, {0, 0, 0}},
        {"no lines", {}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        const TTextMaskSize size = MeasureTextMask(c.lines, 20);
        EXPECT_EQ(size.Lines, c.size.Lines) << c.what;
        EXPECT_EQ(size.Width, c.size.Width) << c.what;
        EXPECT_EQ(size.Height, c.size.Height) << c.what;
    }
}

TEST(TextMask, AMaskBeyondTheCapsShrinksItsFontAndIsRefusedAsItIs)
{
    // One line of 100,000 letters at size 400.
    const TTextMaskSize huge{1, 100000 * 230, 470};
    const double fit = TextMaskFit(huge);
    EXPECT_LT(fit, 1);
    EXPECT_LE(huge.Width * fit, MaxTextMaskSide);
    EXPECT_LE(double(huge.Width) * fit * huge.Height * fit, double(MaxTextMaskPixels));
    EXPECT_EQ(TextMaskFit({1, 300, 40}), 1);
    TTextMask mask;
    EXPECT_FALSE(mask.SetSize(MaxTextMaskSide, MaxTextMaskSide));
    EXPECT_TRUE(mask.IsEmpty());
}

TEST(TextMask, ColourModes)
{
    const TColorTriple under = RGBToTriple(200, 100, 128);
    EXPECT_EQ(TextColorOver({tcInverted, 0, true}, under), RGBToTriple(0, 255, 0));
    EXPECT_EQ(TextColorOver({tcInverted, 0, false}, under), RGBToTriple(55, 155, 127));
    EXPECT_EQ(TextColorOver({tcSelected, 0x0080FF, false}, under), RGBToTriple(255, 128, 0)); // $00BBGGRR
}

TEST(TextMask, OpaqueTextTakesTheColourOfItsRule)
{
    TTextMask mask;
    ASSERT_TRUE(mask.SetSize(4, 4));
    std::fill(mask.Data(), mask.Data() + mask.Stride() * 4, 255);
    TKvPixelBuffer picture = MakePicture(10, 10, RGBToTriple(200, 100, 128));
    EXPECT_EQ(BlendText(picture, mask, {{2, 2, 6, 6}, false, false}, {tcInverted, 0, true}), (TRect{2, 2, 6, 6}));
    EXPECT_EQ(At(picture, 3, 3), RGBToTriple(0, 255, 0));
    EXPECT_EQ(At(picture, 1, 1), RGBToTriple(200, 100, 128));
}

TEST(TextMask, DraggedLeftwardsTheTextIsMirrored)
{
    const TTextMask mask = LeftHalfMask(10, 4);
    for (const bool flipX : {false, true}) {
        TKvPixelBuffer picture = MakePicture(40, 20, {0, 0, 0});
        BlendText(picture, mask, {{0, 0, 40, 20}, flipX, false}, {tcSelected, 0xFFFFFF, false});
        // The half away from the covered one stays black.
        EXPECT_EQ(At(picture, flipX ? 2 : 37, 10), (TColorTriple{0, 0, 0})) << flipX;
        EXPECT_EQ(At(picture, flipX ? 37 : 2, 10), (TColorTriple{255, 255, 255})) << flipX;
    }
}

TEST(TextMask, AtTheMasksOwnSizeTheStretchIsTheMaskItself)
{
    TTextMask mask;
    ASSERT_TRUE(mask.SetSize(7, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            mask.Row(y)[x] = std::uint8_t(x * 30 + y * 7);
    TKvPixelBuffer picture = MakePicture(7, 5, {0, 0, 0});
    BlendText(picture, mask, {{0, 0, 7, 5}, false, false}, {tcSelected, 0xFFFFFF, false});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const int c = mask.Row(y)[x];
            const std::uint8_t blended = std::uint8_t(c == 255 ? 255 : (c * 255) >> 8);
            ASSERT_EQ(At(picture, x, y), (TColorTriple{blended, blended, blended})) << x << ", " << y;
        }
}

TEST(TextMask, NothingChangesOffThePictureOrWithoutText)
{
    const TTextMask mask = LeftHalfMask(10, 4);
    TKvPixelBuffer picture = MakePicture(20, 20, {0, 0, 0});
    EXPECT_EQ(BlendText(picture, mask, {{30, 0, 50, 10}, false, false}, {tcSelected, 0xFFFFFF, false}), TRect{});
    EXPECT_EQ(BlendText(picture, TTextMask(), {{0, 0, 20, 20}, false, false}, {tcSelected, 0xFFFFFF, false}), TRect{});
    // Moved partly off the picture: only the part inside is blended.
    TTextMask covered;
    ASSERT_TRUE(covered.SetSize(3, 3));
    std::fill(covered.Data(), covered.Data() + covered.Stride() * 3, 255);
    EXPECT_EQ(BlendText(picture, covered, {{-10, 5, 10, 25}, false, false}, {tcSelected, 0xFFFFFF, false}),
              (TRect{0, 5, 10, 20}));
}

TEST(TextMask, ThePreviewBlendsWhatTheCommitBlendsAtThePixelsShown)
{
    TTextMask mask;
    ASSERT_TRUE(mask.SetSize(9, 6));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x)
            mask.Row(y)[x] = std::uint8_t((x * 37 + y * 91) % 256);
    const TTextPlacement placement{{3, 2, 33, 26}, true, true};
    const TTextColorRule rule{tcInverted, 0, false};
    TKvPixelBuffer committed = MakePicture(36, 30, RGBToTriple(10, 200, 60));
    BlendText(committed, mask, placement, rule);
    for (const int step : {1, 2}) {
        const int size = 30 / step;
        TKvPixelBuffer canvas = MakePicture(size, size, RGBToTriple(10, 200, 60));
        TViewPixels view;
        view.Clip = {0, 0, size, size};
        for (int i = 0; i < size; ++i) {
            view.PictureX.push_back(i * step);
            view.PictureY.push_back(i * step);
        }
        BlendTextPreview(canvas, view, {0, 0, 36, 30}, mask, placement, rule);
        for (int i = 0; i < size; ++i)
            for (int j = 0; j < size; ++j)
                ASSERT_EQ(At(canvas, i, j), At(committed, i * step, j * step)) << step << ": " << i << ", " << j;
    }
}

} // namespace
