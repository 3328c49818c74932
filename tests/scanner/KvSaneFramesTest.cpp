// Assembling scanner frames into pictures: sample depths, frame layouts,
// chunking, incomplete and unreadable frames.
#include "KvSaneFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

SANE_Parameters Frame(SANE_Frame format, int depth, int width, int lines, int bytesPerLine,
                      bool last = true)
{
    SANE_Parameters p{};
    p.format = format;
    p.depth = depth;
    p.pixels_per_line = width;
    p.lines = lines;
    p.bytes_per_line = bytesPerLine;
    p.last_frame = last ? SANE_TRUE : SANE_FALSE;
    return p;
}

std::vector<SANE_Byte> Words16(const std::vector<std::uint16_t>& words)
{
    std::vector<SANE_Byte> bytes(words.size() * 2);
    std::memcpy(bytes.data(), words.data(), bytes.size());  // host byte order, as scanners send
    return bytes;
}

void Feed(TKvSaneImageAssembler& image, const std::vector<SANE_Byte>& bytes, std::size_t chunk)
{
    for (std::size_t at = 0; at < bytes.size(); at += chunk)
        image.Append(bytes.data() + at, std::min(chunk, bytes.size() - at));
}

// Every pixel of the picture as (r, g, b) triples, row by row.
std::vector<int> Pixels(const QImage& image)
{
    std::vector<int> values;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb rgb = image.pixel(x, y);
            values.insert(values.end(), {qRed(rgb), qGreen(rgb), qBlue(rgb)});
        }
    return values;
}

struct SingleFrameCase {
    const char* name;
    SANE_Parameters frame;
    std::vector<SANE_Byte> bytes;
    std::vector<int> expected;  // r, g, b per pixel
};

class SingleFrame : public ::testing::TestWithParam<SingleFrameCase> {};

TEST_P(SingleFrame, GivesTheExpectedPixelsWhateverTheChunkSize)
{
    const SingleFrameCase& c = GetParam();
    for (std::size_t chunk : {std::size_t(1), std::size_t(3), c.bytes.size()}) {
        TKvSaneImageAssembler image;
        ASSERT_TRUE(image.BeginFrame(c.frame));
        Feed(image, c.bytes, chunk);
        EXPECT_TRUE(image.FrameComplete()) << "chunk " << chunk;
        EXPECT_EQ(image.Image().width(), c.frame.pixels_per_line);
        EXPECT_EQ(Pixels(image.Image()), c.expected) << "chunk " << chunk;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SingleFrame,
    ::testing::Values(
        // Three grey pixels per line and one padding byte the scanner adds.
        SingleFrameCase{"Grey8WithPadding", Frame(SANE_FRAME_GRAY, 8, 3, 2, 4),
                        {10, 20, 30, 99, 40, 50, 60, 99},
                        {10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40, 50, 50, 50, 60, 60, 60}},
        // Line art: a set bit is black.
        SingleFrameCase{"Grey1SetBitIsBlack", Frame(SANE_FRAME_GRAY, 1, 3, 1, 1),
                        {0b10100000},
                        {0, 0, 0, 255, 255, 255, 0, 0, 0}},
        // Colour bits: a set bit is full intensity.
        SingleFrameCase{"Rgb1SetBitIsBright", Frame(SANE_FRAME_RGB, 1, 2, 1, 1),
                        {0b10001100},
                        {255, 0, 0, 0, 255, 255}},
        SingleFrameCase{"Grey16KeepsHighByte", Frame(SANE_FRAME_GRAY, 16, 2, 1, 4),
                        Words16({0x12ff, 0xab01}),
                        {0x12, 0x12, 0x12, 0xab, 0xab, 0xab}},
        SingleFrameCase{"Rgb8", Frame(SANE_FRAME_RGB, 8, 2, 1, 6),
                        {1, 2, 3, 4, 5, 6},
                        {1, 2, 3, 4, 5, 6}},
        SingleFrameCase{"Rgb16", Frame(SANE_FRAME_RGB, 16, 1, 1, 6),
                        Words16({0x0100, 0x8000, 0xffff}),
                        {1, 0x80, 0xff}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaneFrames, ThreeColourPlanesInAnyOrderMakeOneRgbPicture)
{
    TKvSaneImageAssembler image;
    const std::pair<SANE_Frame, std::vector<SANE_Byte>> planes[] = {
        {SANE_FRAME_GREEN, {20, 21}}, {SANE_FRAME_BLUE, {30, 31}}, {SANE_FRAME_RED, {10, 11}}};
    for (const auto& [format, bytes] : planes) {
        ASSERT_TRUE(image.BeginFrame(Frame(format, 8, 2, 1, 2, format == SANE_FRAME_RED)));
        Feed(image, bytes, bytes.size());
        ASSERT_TRUE(image.FrameComplete());
    }
    EXPECT_EQ(Pixels(image.Image()), (std::vector<int>{10, 20, 30, 11, 21, 31}));
}

TEST(SaneFrames, ProgressCountsEveryPlaneOfAThreePassScan)
{
    TKvSaneImageAssembler image;
    ASSERT_TRUE(image.BeginFrame(Frame(SANE_FRAME_RED, 8, 2, 2, 2, false)));
    EXPECT_EQ(image.Percent(), 0);
    Feed(image, {1, 2, 3, 4}, 4);
    EXPECT_EQ(image.Percent(), 33);
    ASSERT_TRUE(image.BeginFrame(Frame(SANE_FRAME_GREEN, 8, 2, 2, 2, false)));
    Feed(image, {1, 2}, 2);
    EXPECT_EQ(image.Percent(), 50);
}

TEST(SaneFrames, MissingLinesLeaveTheFrameIncomplete)
{
    TKvSaneImageAssembler image;
    ASSERT_TRUE(image.BeginFrame(Frame(SANE_FRAME_GRAY, 8, 2, 3, 2)));
    Feed(image, {1, 2, 3, 4, 5}, 5);  // two lines and a half
    EXPECT_FALSE(image.FrameComplete());
    EXPECT_EQ(image.Percent(), 83);
}

TEST(SaneFrames, UnknownHeightTakesTheLinesDeliveredAndDropsAPartialOne)
{
    TKvSaneImageAssembler image;
    ASSERT_TRUE(image.BeginFrame(Frame(SANE_FRAME_GRAY, 8, 2, -1, 2)));
    EXPECT_FALSE(image.FrameComplete());
    EXPECT_EQ(image.Percent(), -1);
    Feed(image, {1, 2, 3, 4, 5, 6, 7}, 2);
    EXPECT_TRUE(image.FrameComplete());
    EXPECT_EQ(image.Image().height(), 3);
}

TEST(SaneFrames, SurplusLinesAreIgnored)
{
    TKvSaneImageAssembler image;
    ASSERT_TRUE(image.BeginFrame(Frame(SANE_FRAME_GRAY, 8, 1, 2, 1)));
    Feed(image, {1, 2, 3, 4}, 1);
    EXPECT_TRUE(image.FrameComplete());
    EXPECT_EQ(Pixels(image.Image()), (std::vector<int>{1, 1, 1, 2, 2, 2}));
}

// A frame whose format field holds a number the header does not name, as a
// backend may write it (no value of SANE_Frame, so it is put in as bytes).
SANE_Parameters UnknownFormatFrame(int format)
{
    SANE_Parameters p = Frame(SANE_FRAME_GRAY, 8, 4, 1, 4);
    static_assert(sizeof format == sizeof p.format);
    std::memcpy(&p.format, &format, sizeof format);
    return p;
}

TEST(SaneFrames, RejectsLayoutsItCannotRead)
{
    struct Case {
        const char* name;
        SANE_Parameters frame;
    };
    const Case cases[] = {
        {"depth 4", Frame(SANE_FRAME_GRAY, 4, 4, 1, 2)},
        {"no pixels", Frame(SANE_FRAME_GRAY, 8, 0, 1, 1)},
        {"line shorter than its pixels", Frame(SANE_FRAME_RGB, 8, 4, 1, 11)},
        {"unknown frame type", UnknownFormatFrame(0x0B)},
    };
    for (const Case& c : cases) {
        TKvSaneImageAssembler image;
        EXPECT_FALSE(image.BeginFrame(c.frame)) << c.name;
    }
}

TEST(SaneFrames, OnlyColourPlanesOfTheSameSizeFollowAFirstFrame)
{
    struct Case {
        const char* name;
        SANE_Parameters first;
        SANE_Parameters next;
    };
    const Case cases[] = {
        {"grey after grey", Frame(SANE_FRAME_GRAY, 8, 2, 1, 2, false), Frame(SANE_FRAME_GRAY, 8, 2, 1, 2)},
        {"plane after RGB", Frame(SANE_FRAME_RGB, 8, 2, 1, 6, false), Frame(SANE_FRAME_RED, 8, 2, 1, 2)},
        {"other width", Frame(SANE_FRAME_RED, 8, 2, 1, 2, false), Frame(SANE_FRAME_GREEN, 8, 3, 1, 3)},
        {"other height", Frame(SANE_FRAME_RED, 8, 2, 1, 2, false), Frame(SANE_FRAME_GREEN, 8, 2, 2, 2)},
    };
    for (const Case& c : cases) {
        TKvSaneImageAssembler image;
        ASSERT_TRUE(image.BeginFrame(c.first)) << c.name;
        EXPECT_FALSE(image.BeginFrame(c.next)) << c.name;
    }
}

} // namespace
