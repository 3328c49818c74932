// Quarter turns and mirrors against the pixel mapping written out, on sizes
// that leave partial blocks and tiles, and on pictures large enough to be
// split among threads.
#include "PixelTurns.h"
#include "RegionFixture.h"

#include <gtest/gtest.h>

namespace {

void MakeNumbered(TKvPixelBuffer& picture, int width, int height)
{
    MakePicture(picture, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(picture, x, y, {std::uint8_t(x), std::uint8_t(y), std::uint8_t((x >> 8) * 16 + (y >> 8))});
}

// The source pixel that lands on (x, y), written out.
TPoint SourceOf(TPixelTurn turn, int x, int y, int w, int h)
{
    switch (turn) {
    case TPixelTurn::Right: return {y, h - 1 - x};
    case TPixelTurn::Left: return {w - 1 - y, x};
    case TPixelTurn::MirrorX: return {w - 1 - x, y};
    case TPixelTurn::MirrorY: return {x, h - 1 - y};
    }
    return {};
}

const TPixelTurn AllTurns[] = {TPixelTurn::Left, TPixelTurn::Right, TPixelTurn::MirrorX, TPixelTurn::MirrorY};

// The first pixel where the turned picture differs from the mapping;
// empty when none does.
std::string FirstMismatch(TPixelTurn turn, const TKvPixels& from, const TKvPixels& to)
{
    for (int y = 0; y < to.Height; ++y)
        for (int x = 0; x < to.Width; ++x) {
            const TPoint s = SourceOf(turn, x, y, from.Width, from.Height);
            if (!(PixelOf(to, x, y) == PixelOf(from, s.X, s.Y)))
                return std::to_string(x) + ", " + std::to_string(y);
        }
    return {};
}

TEST(PixelTurns, EveryTurnMovesEachPixelWhereItBelongs)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {7, 1}, {4, 4}, {5, 3}, {13, 9}, {67, 131},
                                         {130, 66}, {1, 300}, {1031, 1029}};
    for (const auto& [w, h] : sizes)
        for (const TPixelTurn turn : AllTurns) {
            TKvPixelBuffer from;
            MakeNumbered(from, w, h);
            const TRect bounds = TurnedBounds(turn, w, h);
            TKvPixelBuffer to;
            MakePicture(to, bounds.Width(), bounds.Height(), {1, 2, 3});
            ASSERT_TRUE(TurnPixels(turn, from, to));
            EXPECT_EQ(FirstMismatch(turn, from, to), "") << w << " x " << h << " turn " << int(turn);
        }
}

TEST(PixelTurns, AWindowOfLargerStorageTurnsAsAPictureOfItsOwn)
{
    // A cropped picture is a window of its old storage: rows further apart
    // than its width, with pixels on either side that are not its own.
    const std::pair<int, int> sizes[] = {{5, 3}, {67, 131}, {1100, 1000}};
    for (const auto& [w, h] : sizes)
        for (const TPixelTurn turn : AllTurns) {
            TKvPixelBuffer from;
            MakeNumbered(from, w + 9, h + 6);
            from.ShrinkTo(RectOfSize(5, 2, w, h));
            const TRect bounds = TurnedBounds(turn, w, h);
            TKvPixelBuffer to;
            MakePicture(to, bounds.Width(), bounds.Height(), {1, 2, 3});
            ASSERT_TRUE(TurnPixels(turn, from, to));
            EXPECT_EQ(FirstMismatch(turn, from, to), "") << w << " x " << h << " turn " << int(turn);
        }
}

TEST(PixelTurns, TheDocumentedCorners)
{
    // Turned right, a 400 x 300 picture is 300 x 400; its top-left pixel
    // is at the top right, its bottom-left pixel at the top left. Turned
    // left, the top-right pixel is at the top left, the top-left pixel at
    // the bottom left.
    TKvPixelBuffer from;
    MakePicture(from, 400, 300);
    SetPixel(from, 0, 0, {1, 1, 1});
    SetPixel(from, 0, 299, {2, 2, 2});
    SetPixel(from, 399, 0, {3, 3, 3});
    TKvPixelBuffer to;
    MakePicture(to, 300, 400);
    ASSERT_TRUE(TurnPixels(TPixelTurn::Right, from, to));
    EXPECT_EQ(PixelOf(to, 299, 0), (TColorTriple{1, 1, 1}));
    EXPECT_EQ(PixelOf(to, 0, 0), (TColorTriple{2, 2, 2}));
    ASSERT_TRUE(TurnPixels(TPixelTurn::Left, from, to));
    EXPECT_EQ(PixelOf(to, 0, 0), (TColorTriple{3, 3, 3}));
    EXPECT_EQ(PixelOf(to, 0, 399), (TColorTriple{1, 1, 1}));
}

TEST(PixelTurns, RefusesAWrongTargetAndWritesNothing)
{
    TKvPixelBuffer from;
    MakeNumbered(from, 6, 4);
    TKvPixelBuffer wrongSize;
    MakePicture(wrongSize, 6, 4, {9, 9, 9});
    EXPECT_FALSE(TurnPixels(TPixelTurn::Right, from, wrongSize));
    EXPECT_EQ(PixelOf(wrongSize, 0, 0), (TColorTriple{9, 9, 9}));
    TKvPixelBuffer wrongFormat;
    wrongFormat.SetFormat(PixelFormatBGRA32, {0, 0, 6, 4});
    EXPECT_FALSE(TurnPixels(TPixelTurn::MirrorX, from, wrongFormat));
    EXPECT_FALSE(TurnPixels(TPixelTurn::MirrorX, from, from)); // not in place
}

TEST(PixelOrientation, StepsDoWhatTheSequenceDid)
{
    // Every sequence of up to four turns and mirrors, on a picture whose
    // sides differ: the steps of the kept orientation give the same pixels.
    TKvPixelBuffer start;
    MakeNumbered(start, 5, 3);
    std::vector<TPixelTurn> sequence;
    const auto apply = [](const TKvPixels& from, const std::vector<TPixelTurn>& turns) {
        auto now = std::make_unique<TKvPixelBuffer>();
        MakePicture(*now, from.Width, from.Height);
        now->CopyFrom(0, 0, from.GetBounds(), from);
        for (const TPixelTurn turn : turns) {
            auto next = std::make_unique<TKvPixelBuffer>();
            const TRect bounds = TurnedBounds(turn, now->Width, now->Height);
            MakePicture(*next, bounds.Width(), bounds.Height());
            TurnPixels(turn, *now, *next);
            now = std::move(next);
        }
        return now;
    };
    int checked = 0;
    for (int length = 0; length <= 4; ++length)
        for (int code = 0; code < (1 << (2 * length)); ++code) {
            sequence.clear();
            TPixelOrientation orientation;
            for (int i = 0; i < length; ++i) {
                sequence.push_back(AllTurns[(code >> (2 * i)) & 3]);
                orientation.Then(sequence.back());
            }
            EXPECT_LE(orientation.Steps().size(), 2u);
            EXPECT_TRUE(SamePixels(*apply(start, sequence), *apply(start, orientation.Steps()))) << code;
            ++checked;
        }
    EXPECT_EQ(checked, 1 + 4 + 16 + 64 + 256);
}

} // namespace
