#include "KvExchangeFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t RgbKind = 3;
constexpr std::uint32_t WrittenHeaderSize = 32;
constexpr int MinBytesPerPixel = 3;
constexpr int MaxBytesPerPixel = 16;

std::uint32_t ReadUInt32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

void WriteUInt32(std::uint8_t* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(value >> (8 * i));
}

// The fields are signed in the file: a value above INT32_MAX is negative.
std::int64_t ReadInt32(const std::uint8_t* p)
{
    return std::int32_t(ReadUInt32(p));
}

} // namespace

TExchangeFileCheck ReadExchangeHeader(const std::uint8_t* data, std::size_t size,
                                      std::uint64_t pixelLimit, TExchangeFileHeader& header)
{
    if (size < 12 || std::memcmp(data, "PSPF", 4) != 0 || ReadUInt32(data + 8) != RgbKind)
        return TExchangeFileCheck::NotExchangeFile;
    if (size < ExchangeHeaderSize)
        return TExchangeFileCheck::Damaged;
    const std::int64_t width = ReadInt32(data + 20);
    const std::int64_t height = ReadInt32(data + 24);
    const std::int64_t stride = ReadInt32(data + 28);
    const std::int64_t bytesPerPixel = ReadInt32(data + 32);
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > pixelLimit)
        return TExchangeFileCheck::Damaged;
    if (bytesPerPixel < MinBytesPerPixel || bytesPerPixel > MaxBytesPerPixel)
        return TExchangeFileCheck::Damaged;
    // All products fit 64 bits: each factor is below 2^31.
    if (stride < width * bytesPerPixel
        || std::uint64_t(stride) * std::uint64_t(height) > size - ExchangeHeaderSize)
        return TExchangeFileCheck::Damaged;
    header = {int(width), int(height), int(stride), int(bytesPerPixel)};
    return TExchangeFileCheck::Valid;
}

void CopyExchangePixels(const std::uint8_t* data, const TExchangeFileHeader& header, TKvPixels& dest)
{
    const int width = std::min(header.Width, dest.Width);
    const int height = std::min(header.Height, dest.Height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = data + ExchangeHeaderSize + std::size_t(y) * std::size_t(header.Stride);
        std::uint8_t* to = dest.PixelAt(dest.Left, dest.Top + y);
        for (int x = 0; x < width; ++x, from += header.BytesPerPixel, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
}

std::vector<std::uint8_t> WriteExchangeFile(const TKvPixels& image)
{
    const int stride = PaddedStride(PixelFormatBGR24, image.Width);
    if (image.Data == nullptr || image.Format != PixelFormatBGR24 || stride <= 0 || image.Height <= 0)
        return {};
    std::vector<std::uint8_t> file(ExchangeHeaderSize + std::size_t(stride) * std::size_t(image.Height));
    std::memcpy(file.data(), "PSPF", 4);
    WriteUInt32(&file[4], WrittenHeaderSize);
    WriteUInt32(&file[8], RgbKind);
    WriteUInt32(&file[20], std::uint32_t(image.Width));
    WriteUInt32(&file[24], std::uint32_t(image.Height));
    WriteUInt32(&file[28], std::uint32_t(stride));
    WriteUInt32(&file[32], 3);
    for (int y = 0; y < image.Height; ++y) {
        const std::uint8_t* from = image.PixelAt(image.Left, image.Top + y);
        std::uint8_t* to = &file[ExchangeHeaderSize + std::size_t(y) * std::size_t(stride)];
        for (int x = 0; x < image.Width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return file;
}
