#include "Thumbnail.h"

#include "Files.h"

#include <algorithm>

namespace {

constexpr std::uint8_t FormatVersion = 1;
constexpr std::size_t HeaderBytes = 3;

} // namespace

TThumbnail::TThumbnail(int width, int height)
    : m_width(std::clamp(width, 1, MaxSize))
    , m_height(std::clamp(height, 1, MaxSize))
    , m_pixels(std::size_t(m_width) * std::size_t(m_height))
{
}

TThumbnail TThumbnail::FromBytes(const std::uint8_t* data, std::size_t size)
{
    if (size >= HeaderBytes && data[0] == FormatVersion && data[1] != 0 && data[2] != 0
        && size == HeaderBytes + 3 * std::size_t(data[1]) * data[2]) {
        TThumbnail thumbnail(data[1], data[2]);
        const std::uint8_t* rgb = data + HeaderBytes;
        for (TColorTriple& pixel : thumbnail.m_pixels) {
            pixel = RGBToTriple(rgb[0], rgb[1], rgb[2]);
            rgb += 3;
        }
        return thumbnail;
    }
    TThumbnail invalid(StandardSize, StandardSize);
    invalid.m_valid = false;
    return invalid;
}

TThumbnail TThumbnail::ReadThumbnail(const std::filesystem::path& folder, const std::string& name)
{
    std::vector<std::uint8_t> bytes;
    ReadEntryFile(EntryFile(folder, name, ".tmb"), MaxFileBytes, bytes);
    TThumbnail thumbnail = FromBytes(bytes.data(), bytes.size());
    thumbnail.m_name = name;
    return thumbnail;
}

void TThumbnail::FillChecker()
{
    for (int x = 0; x < m_width; ++x)
        for (int y = 0; y < m_height; ++y) {
            const TColor color = CheckerColor(x, y, 4);
            m_pixels[Index(x, y)] = RGBToTriple(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
        }
}

void TThumbnail::SetPixel(int x, int y, TColorTriple color)
{
    if (Inside(x, y))
        m_pixels[Index(x, y)] = color;
}

TColorTriple TThumbnail::GetPixel(int x, int y) const
{
    return m_valid && Inside(x, y) ? m_pixels[Index(x, y)] : TColorTriple{};
}

std::vector<std::uint8_t> TThumbnail::FileBytes() const
{
    std::vector<std::uint8_t> bytes{FormatVersion, std::uint8_t(m_width), std::uint8_t(m_height)};
    bytes.reserve(HeaderBytes + 3 * m_pixels.size());
    for (const TColorTriple& pixel : m_pixels)
        bytes.insert(bytes.end(), {pixel.Red, pixel.Green, pixel.Blue});
    return bytes;
}
