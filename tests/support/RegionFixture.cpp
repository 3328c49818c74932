#include "RegionFixture.h"

#include <array>
#include <stdexcept>

void MakePicture(TKvPixelBuffer& picture, int width, int height, TColorTriple fill)
{
    if (!picture.SetFormat(PixelFormatBGR24, {0, 0, width, height}))
        throw std::runtime_error("no storage for a test picture");
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(picture, x, y, fill);
}

void SetPixel(TKvPixels& picture, int x, int y, TColorTriple color)
{
    std::uint8_t* pixel = picture.PixelAt(x, y);
    pixel[0] = color.Blue;
    pixel[1] = color.Green;
    pixel[2] = color.Red;
}

TColorTriple PixelOf(const TKvPixels& picture, int x, int y)
{
    const std::uint8_t* pixel = picture.PixelAt(x, y);
    return {pixel[0], pixel[1], pixel[2]};
}

void CopyPicture(TKvPixelBuffer& copy, const TKvPixels& picture)
{
    if (!copy.SetFormat(PixelFormatBGR24, picture.GetBounds()))
        throw std::runtime_error("no storage for a test picture");
    copy.Assign(picture);
}

bool SamePixels(const TKvPixels& a, const TKvPixels& b)
{
    if (a.GetBounds() != b.GetBounds())
        return false;
    for (int y = a.Top; y < a.Top + a.Height; ++y)
        for (int x = a.Left; x < a.Left + a.Width; ++x)
            if (!(PixelOf(a, x, y) == PixelOf(b, x, y)))
                return false;
    return true;
}

char LabelChar(int label)
{
    if (label == 0)
        return '.';
    if (label < 10)
        return char('0' + label);
    if (label < 36)
        return char('a' + label - 10);
    if (label >= 128 && label < 128 + 26)
        return char('A' + label - 128);
    return '#';
}

namespace {

int LabelOfChar(char c)
{
    if (c == '.')
        return 0;
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 128;
    throw std::invalid_argument(std::string("no label for '") + c + "'");
}

template <typename Value>
std::vector<std::string> Rows(const TMarkedRegion& region, Value value)
{
    std::vector<std::string> rows(std::size_t(region.Height()), std::string(std::size_t(region.Width()), ' '));
    for (int y = 0; y < region.Height(); ++y)
        for (int x = 0; x < region.Width(); ++x)
            rows[std::size_t(y)][std::size_t(x)] = LabelChar(value(x, y));
    return rows;
}

} // namespace

std::vector<std::string> LabelRows(const TMarkedRegion& region)
{
    return Rows(region, [&](int x, int y) { return region.LabelAt(x, y); });
}

std::vector<std::string> SegmentRows(const TMarkedRegion& region)
{
    return Rows(region, [&](int x, int y) { return region.SegmentAt(x, y); });
}

void PaintLabels(TMarkedRegion& region, const std::vector<std::string>& rows)
{
    for (int y = 0; y < region.Height(); ++y)
        for (int x = 0; x < region.Width(); ++x)
            region.SetLabel(x, y, std::uint8_t(LabelOfChar(rows.at(std::size_t(y)).at(std::size_t(x)))));
}

bool CountsAgree(const TMarkedRegion& region)
{
    std::array<std::int64_t, 256> counted{};
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y)
            ++counted[region.LabelAt(x, y)];
    std::int64_t total = 0;
    for (int label = 0; label < 256; ++label) {
        if (region.CountOf(std::uint8_t(label)) != counted[std::size_t(label)])
            return false;
        total += region.CountOf(std::uint8_t(label));
    }
    return total == region.PixelCount();
}
