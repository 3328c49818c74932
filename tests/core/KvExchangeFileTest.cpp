// The exchange file of plug-in mode: the header checks and the pixel order.
#include "KvExchangeFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr std::uint64_t Limit = 1u << 20;

void PutInt(std::vector<std::uint8_t>& file, std::size_t offset, std::int64_t value)
{
    for (int i = 0; i < 4; ++i)
        file[offset + i] = std::uint8_t(std::uint64_t(value) >> (8 * i));
}

// A file as a host program writes it: width x height pixels of bytesPerPixel
// bytes, pixel (x, y) red x, green y, blue 7, rows of `stride` bytes.
std::vector<std::uint8_t> HostFile(int width, int height, int bytesPerPixel, int stride)
{
    std::vector<std::uint8_t> file(ExchangeHeaderSize + std::size_t(stride) * height, 0xEE);
    std::memcpy(file.data(), "PSPF", 4);
    PutInt(file, 4, 32);
    PutInt(file, 8, 3);
    PutInt(file, 12, 0);
    PutInt(file, 16, 0);
    PutInt(file, 20, width);
    PutInt(file, 24, height);
    PutInt(file, 28, stride);
    PutInt(file, 32, bytesPerPixel);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &file[ExchangeHeaderSize + std::size_t(y) * stride + std::size_t(x) * bytesPerPixel];
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y);
            p[2] = 7;
        }
    return file;
}

TExchangeFileCheck Check(const std::vector<std::uint8_t>& file, TExchangeFileHeader& header)
{
    return ReadExchangeHeader(file.data(), file.size(), Limit, header);
}

TEST(ExchangeFile, ReadsRedGreenBlueIntoBlueGreenRedSteppingByBytesPerPixel)
{
    const std::vector<std::uint8_t> file = HostFile(5, 3, 4, 24);
    TExchangeFileHeader header;
    ASSERT_EQ(Check(file, header), TExchangeFileCheck::Valid);
    EXPECT_EQ(header.Width, 5);
    EXPECT_EQ(header.Height, 3);

    TKvPixelBuffer image;
    ASSERT_TRUE(image.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 5, 3)));
    CopyExchangePixels(file.data(), header, image);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::uint8_t* p = image.PixelAt(x, y);
            EXPECT_EQ(p[0], 7);
            EXPECT_EQ(p[1], y);
            EXPECT_EQ(p[2], x);
        }
}

TEST(ExchangeFile, WrittenFileReadsBackWithItsColoursAndExactLength)
{
    TKvPixelBuffer image;
    ASSERT_TRUE(image.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 3, 2)));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            std::uint8_t* p = image.PixelAt(x, y);
            p[0] = std::uint8_t(10 + x); // blue
            p[1] = std::uint8_t(20 + y); // green
            p[2] = 200;                  // red
        }
    const std::vector<std::uint8_t> file = WriteExchangeFile(image);
    ASSERT_EQ(file.size(), ExchangeHeaderSize + 12 * 2);
    // Red first on disk.
    EXPECT_EQ(file[36], 200);
    EXPECT_EQ(file[37], 20);
    EXPECT_EQ(file[38], 10);
    EXPECT_EQ(file[4], 32);
    EXPECT_EQ(file[28], 12);
    EXPECT_EQ(file[32], 3);

    TExchangeFileHeader header;
    ASSERT_EQ(Check(file, header), TExchangeFileCheck::Valid);
    TKvPixelBuffer back;
    ASSERT_TRUE(back.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 3, 2)));
    CopyExchangePixels(file.data(), header, back);
    EXPECT_EQ(std::memcmp(back.Data, image.Data, std::size_t(image.Stride) * 2), 0);
}

struct HeaderCase {
    const char* name;
    std::size_t offset; // field to overwrite; 0 = none
    std::int64_t value;
    std::size_t cutBytes; // bytes taken off the end of the file
    TExchangeFileCheck expected;
};

TEST(ExchangeFile, HeaderChecks)
{
    const HeaderCase cases[] = {
        {"sound file", 0, 0, 0, TExchangeFileCheck::Valid},
        {"kind 2", 8, 2, 0, TExchangeFileCheck::NotExchangeFile},
        {"kind 4", 8, 4, 0, TExchangeFileCheck::NotExchangeFile},
        {"zero width", 20, 0, 0, TExchangeFileCheck::Damaged},
        {"negative width", 20, -4, 0, TExchangeFileCheck::Damaged},
        {"zero height", 24, 0, 0, TExchangeFileCheck::Damaged},
        {"negative height", 24, -1, 0, TExchangeFileCheck::Damaged},
        {"huge width", 20, std::numeric_limits<std::int32_t>::max(), 0, TExchangeFileCheck::Damaged},
        {"2 bytes per pixel", 32, 2, 0, TExchangeFileCheck::Damaged},
        {"17 bytes per pixel", 32, 17, 0, TExchangeFileCheck::Damaged},
        {"negative bytes per pixel", 32, -3, 0, TExchangeFileCheck::Damaged},
        {"stride below a row", 28, 4 * 4 - 1, 0, TExchangeFileCheck::Damaged},
        {"negative stride", 28, -16, 0, TExchangeFileCheck::Damaged},
        {"stride beyond the file", 28, 1 << 30, 0, TExchangeFileCheck::Damaged},
        {"last row cut short", 0, 0, 1, TExchangeFileCheck::Damaged},
    };
    for (const HeaderCase& c : cases) {
        std::vector<std::uint8_t> file = HostFile(4, 3, 4, 16);
        if (c.offset != 0)
            PutInt(file, c.offset, c.value);
        file.resize(file.size() - c.cutBytes);
        TExchangeFileHeader header;
        EXPECT_EQ(Check(file, header), c.expected) << c.name;
    }
}

TEST(ExchangeFile, PixelLimitIsInclusive)
{
    const std::vector<std::uint8_t> file = HostFile(4, 3, 3, 12);
    TExchangeFileHeader header;
    EXPECT_EQ(ReadExchangeHeader(file.data(), file.size(), 12, header), TExchangeFileCheck::Valid);
    EXPECT_EQ(ReadExchangeHeader(file.data(), file.size(), 11, header), TExchangeFileCheck::Damaged);
}

TEST(ExchangeFile, ShortOrForeignFilesAreTold)
{
    const std::vector<std::uint8_t> sound = HostFile(4, 3, 3, 12);
    TExchangeFileHeader header;
    // Shorter than a header but with the signature and kind 3: damaged.
    for (std::size_t length : {12u, 20u, 35u})
        EXPECT_EQ(ReadExchangeHeader(sound.data(), length, Limit, header), TExchangeFileCheck::Damaged)
            << length;
    // Too short to carry a kind, or another signature: not an exchange file.
    for (std::size_t length : {0u, 4u, 11u})
        EXPECT_EQ(ReadExchangeHeader(sound.data(), length, Limit, header), TExchangeFileCheck::NotExchangeFile)
            << length;
    std::vector<std::uint8_t> other = sound;
    other[0] = 'Q';
    EXPECT_EQ(Check(other, header), TExchangeFileCheck::NotExchangeFile);
    // A header without its rows is damaged.
    std::vector<std::uint8_t> headerOnly(sound.begin(), sound.begin() + ExchangeHeaderSize);
    EXPECT_EQ(Check(headerOnly, header), TExchangeFileCheck::Damaged);
}

} // namespace
