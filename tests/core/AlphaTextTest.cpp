// The matte's file form: the text written, its compression, both versions
// read back, and texts and streams that must be refused.
#include "AlphaChanal.h"
#include "BGRAlpha.h"
#include "DeflateFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <zlib.h>

namespace {

constexpr std::uint64_t kLimit = std::uint64_t(1) << 28;

TAlphaChanal MatteOf(int width, int height, const std::vector<int>& columns)
{
    TAlphaChanal matte;
    matte.SetSize(width, height);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            matte.SetAlpha(x, y, std::uint8_t(columns[std::size_t(x * height + y)]));
    return matte;
}

std::string TextOf(TAlphaChanal& matte)
{
    return matte.SaveToText();
}

// Feeds the text in pieces of the given size.
bool ReadText(const std::string& text, TAlphaChanal& matte, std::size_t piece = 7)
{
    TAlphaTextReader reader(kLimit);
    for (std::size_t at = 0; at < text.size(); at += piece)
        if (!reader.Feed(text.data() + at, std::min(piece, text.size() - at)))
            return false;
    return reader.Finish(matte);
}

// Rows of the matte as text, for readable failures.
std::vector<int> Cells(const TAlphaChanal& matte)
{
    std::vector<int> cells;
    for (int y = 0; y < matte.Height(); ++y)
        for (int x = 0; x < matte.Width(); ++x)
            cells.push_back(matte.GetAlpha(x, y));
    return cells;
}

TEST(AlphaText, WritesVersionTwoColumnByColumnWithCrLf)
{
    // 3 x 1 all opaque: centre (1, 0), radius 1, margins 0 and 1.
    TAlphaChanal matte = MatteOf(3, 1, {255, 255, 255});
    EXPECT_EQ(TextOf(matte), "2\r\n0\r\n1\r\n3\r\n1\r\n255 \r\n255 \r\n255 \r\n");
    EXPECT_EQ(matte.MarginX(), 0);
    EXPECT_EQ(matte.MarginY(), 1);

    TAlphaChanal columns = MatteOf(2, 3, {0, 51, 102, 153, 204, 255});
    EXPECT_EQ(TextOf(columns), "2\r\n1\r\n1\r\n2\r\n3\r\n0 51 102 \r\n153 204 255 \r\n");
}

TEST(AlphaText, ReadingPadsTheMatteByItsMargins)
{
    TAlphaChanal written = MatteOf(3, 1, {255, 255, 255});
    TAlphaChanal read;
    ASSERT_TRUE(ReadText(TextOf(written), read));
    EXPECT_EQ(read.Width(), 3);
    EXPECT_EQ(read.Height(), 3);
    EXPECT_EQ(read.MarginX(), 0);
    EXPECT_EQ(read.MarginY(), 1);
    EXPECT_EQ(Cells(read), (std::vector<int>{0, 0, 0, 255, 255, 255, 0, 0, 0}));
}

TEST(AlphaText, VersionOneAndVersionTwoGiveTheSamePaddedMatte)
{
    const std::vector<int> values = {0, 0, 51, 204, 255, 255, 102, 0, 0, 51, 153, 0};
    TAlphaChanal source = MatteOf(4, 3, values);
    const std::string version2 = TextOf(source);
    std::string version1 = "1\r\n4\r\n3\r\n";
    version1 += version2.substr(version2.find("0 0 51"));
    TAlphaChanal fromVersion1;
    TAlphaChanal fromVersion2;
    ASSERT_TRUE(ReadText(version1, fromVersion1));
    ASSERT_TRUE(ReadText(version2, fromVersion2));
    EXPECT_EQ(fromVersion1.MarginX(), fromVersion2.MarginX());
    EXPECT_EQ(fromVersion1.MarginY(), fromVersion2.MarginY());
    EXPECT_EQ(fromVersion1.Width(), fromVersion2.Width());
    EXPECT_EQ(Cells(fromVersion1), Cells(fromVersion2));
    EXPECT_EQ(fromVersion2.GetAlpha(fromVersion2.MarginX() + 1, fromVersion2.MarginY()), 204);
}

TEST(AlphaText, AVersionOneMatteWithoutOpaqueCellsAtItsEdgeGetsNoNegativeMargins)
{
    // Margins from the centre alone would be negative and put the values
    // outside the matte.
    struct Case {
        std::string text;
        int width, height;
    };
    const Case cases[] = {
        {"1\r\n6\r\n3\r\n0 0 0 \r\n0 0 0 \r\n0 0 0 \r\n0 0 0 \r\n0 0 0 \r\n0 0 0 \r\n", 6, 3},
        {"1\n3\n3\n0 0 0\n0 9 0\n0 0 0\n", 3, 3},
    };
    for (const Case& c : cases) {
        TAlphaChanal read;
        ASSERT_TRUE(ReadText(c.text, read)) << c.text;
        EXPECT_EQ(read.MarginX(), 0);
        EXPECT_EQ(read.MarginY(), 0);
        EXPECT_EQ(read.Width(), c.width);
        EXPECT_EQ(read.Height(), c.height);
    }
}

TEST(AlphaText, ReadsPiecesOfAnySize)
{
    TAlphaChanal source = MatteOf(3, 2, {255, 0, 17, 200, 1, 99});
    const std::string text = TextOf(source);
    for (std::size_t piece : {1u, 2u, 3u, 5u, 64u}) {
        TAlphaChanal read;
        ASSERT_TRUE(ReadText(text, read, piece)) << piece;
        EXPECT_EQ(read.GetAlpha(read.MarginX() + 2, read.MarginY() + 1), 99);
    }
}

TEST(AlphaText, RefusesTextsThatAreNotASoundMatte)
{
    // Faults in what was read refuse at once; what is missing at the end
    // only when the text ends (marked *).
    struct Case {
        const char* why;
        std::string text;
    };
    const Case cases[] = {
        {"empty *", ""},
        {"version 3", "3\r\n0\r\n0\r\n1\r\n1\r\n255 \r\n"},
        {"version 0", "0\r\n1\r\n1\r\n255 \r\n"},
        {"no samples *", "2\r\n0\r\n0\r\n1\r\n1\r\n"},
        {"zero width", "2\r\n0\r\n0\r\n0\r\n1\r\n"},
        {"negative height", "2\r\n0\r\n0\r\n1\r\n-1\r\n255 \r\n"},
        {"more pixels than the limit", "1\r\n20000\r\n20000\r\n0 \r\n"},
        {"width beyond int", "1\r\n9999999999\r\n1\r\n0 \r\n"},
        {"negative margin", "2\r\n-1\r\n0\r\n1\r\n1\r\n255 \r\n"},
        {"margin beyond the half-diagonal", "2\r\n2\r\n0\r\n3\r\n1\r\n255 255 255 \r\n"},
        {"huge margin", "2\r\n2000000000\r\n0\r\n1\r\n1\r\n255 \r\n"},
        {"a sample too few *", "2\r\n0\r\n1\r\n3\r\n1\r\n255 \r\n255 \r\n"},
        {"a column short", "2\r\n1\r\n1\r\n2\r\n2\r\n255 255 \r\n255 \r\n"},
        {"a column long", "2\r\n1\r\n1\r\n2\r\n2\r\n255 255 \r\n255 255 255 \r\n"},
        {"a column too many", "2\r\n0\r\n0\r\n1\r\n1\r\n255 \r\n255 \r\n"},
        {"sample 256", "2\r\n0\r\n0\r\n1\r\n1\r\n256 \r\n"},
        {"negative sample", "2\r\n0\r\n0\r\n1\r\n1\r\n-5 \r\n"},
        {"letters", "2\r\n0\r\n0\r\n1\r\n1\r\nab \r\n"},
        {"two numbers on a header line", "2 0\r\n0\r\n1\r\n1\r\n255 \r\n"},
        {"blank header line", "2\r\n\r\n0\r\n0\r\n1\r\n1\r\n255 \r\n"},
        {"carriage return alone", "2\r0\r\n0\r\n1\r\n1\r\n255 \r\n"},
        {"minus alone", "2\r\n-\r\n0\r\n1\r\n1\r\n255 \r\n"},
        {"garbage after the columns", "2\r\n0\r\n0\r\n1\r\n1\r\n255 \r\nx"},
        {"a nul byte", std::string("2\r\n0\r\n0\r\n1\r\n1\r\n255\0 \r\n", 20)},
    };
    for (const Case& c : cases) {
        TAlphaChanal matte = MatteOf(1, 1, {7});
        EXPECT_FALSE(ReadText(c.text, matte)) << c.why;
        EXPECT_EQ(matte.Width(), 1) << c.why << ": the matte was changed";
        const bool atEnd = std::string(c.why).ends_with('*');
        TAlphaTextReader reader(kLimit);
        EXPECT_EQ(reader.Feed(c.text.data(), c.text.size()), atEnd) << c.why;
    }
}

TEST(AlphaText, AcceptsLineFeedsAndAMissingLastLineEnd)
{
    TAlphaChanal read;
    ASSERT_TRUE(ReadText("2\n0\n1\n3\n1\n255 \n255\t\n  255", read));
    EXPECT_EQ(read.Height(), 3);
    EXPECT_EQ(read.GetAlpha(2, 1), 255);
}

TEST(AlphaFile, CompressesAndReadsBack)
{
    TAlphaChanal matte = MatteOf(3, 2, {255, 0, 17, 200, 1, 99});
    const std::vector<std::uint8_t> alp = CompressMatte(matte);
    // A zlib stream: CMF 0x78, level 9 in FLG.
    ASSERT_GE(alp.size(), 2u);
    EXPECT_EQ(alp[0], 0x78);
    EXPECT_EQ(alp[1] >> 6, 3);
    std::vector<std::uint8_t> text(1000);
    uLongf size = uLongf(text.size());
    ASSERT_EQ(uncompress(text.data(), &size, alp.data(), uLong(alp.size())), Z_OK);
    EXPECT_EQ(std::string(text.begin(), text.begin() + std::ptrdiff_t(size)), TextOf(matte));

    TAlphaChanal read;
    ASSERT_TRUE(DecompressMatte(alp.data(), alp.size(), kLimit, read));
    EXPECT_EQ(read.Width(), matte.Width() + 2 * matte.MarginX());
    EXPECT_EQ(read.GetAlpha(read.MarginX() + 2, read.MarginY()), 1);
}

TEST(AlphaFile, AMatteCompressedInSeveralPartsIsOneStream)
{
    // Columns of 10 000 values: a few hundred columns make several parts.
    const int width = 250;
    const int height = 10000;
    TAlphaChanal matte;
    matte.SetSize(width, height);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            matte.SetAlpha(x, y, std::uint8_t(((x / 5 + y / 97) % 4) * 85));
    const std::vector<std::uint8_t> alp = CompressMatte(matte);
    const std::string text = TextOf(matte);
    std::vector<std::uint8_t> inflated(text.size() + 1);
    uLongf size = uLongf(inflated.size());
    ASSERT_EQ(uncompress(inflated.data(), &size, alp.data(), uLong(alp.size())), Z_OK); // checksum included
    ASSERT_EQ(std::string(inflated.begin(), inflated.begin() + std::ptrdiff_t(size)), text);
    // The parts refer back into each other as one stream would.
    EXPECT_LT(alp.size(), Deflate(text).size() * 11 / 10 + 200);

    TAlphaChanal read;
    ASSERT_TRUE(DecompressMatte(alp.data(), alp.size(), kLimit, read));
    EXPECT_EQ(read.GetAlpha(read.MarginX() + 249, read.MarginY() + 9999), matte.GetAlpha(249, 9999));
}

TEST(AlphaFile, RefusesDamagedStreamsAndStopsBombs)
{
    TAlphaChanal matte = MatteOf(3, 2, {255, 0, 17, 200, 1, 99});
    const std::vector<std::uint8_t> alp = CompressMatte(matte);

    std::vector<std::vector<std::uint8_t>> refused;
    refused.push_back({});
    refused.push_back(std::vector<std::uint8_t>(alp.begin(), alp.end() - 5)); // truncated
    std::vector<std::uint8_t> flipped = alp;
    flipped[alp.size() / 2] ^= 0x55;
    refused.push_back(flipped);
    std::vector<std::uint8_t> trailing = alp;
    trailing.push_back(0);
    refused.push_back(trailing);
    refused.push_back({'2', '\r', '\n'}); // text that is not compressed
    // A sound header for a 2 x 2 matte followed by 32 MB of blanks: the
    // reader stops long before inflating them all.
    std::string bomb = "2\r\n1\r\n1\r\n2\r\n2\r\n255 255 \r\n";
    bomb += std::string(32u << 20, ' ');
    refused.push_back(Deflate(bomb));
    // Millions of samples for a 1 x 1 matte.
    std::string samples = "1\r\n1\r\n1\r\n";
    for (int i = 0; i < 4000000; ++i)
        samples += "0 ";
    refused.push_back(Deflate(samples));

    for (std::size_t i = 0; i < refused.size(); ++i) {
        TAlphaChanal read;
        EXPECT_FALSE(DecompressMatte(refused[i].data(), refused[i].size(), kLimit, read)) << i;
    }
}

} // namespace
