#include "AlphaChanal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

void TAlphaChanal::SetSize(int width, int height)
{
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_values.assign(std::size_t(m_width) * std::size_t(m_height), 0);
}

void TAlphaChanal::Clear()
{
    std::fill(m_values.begin(), m_values.end(), 0);
}

void TAlphaChanal::Smooth()
{
    std::vector<std::uint8_t> smoothed(m_values.size());
    // Missing neighbours count 0: a column of zeros stands beside the first
    // and the last column, and each column's first and last cell add a zero
    // from beyond its ends.
    const std::vector<std::uint8_t> outside(std::size_t(m_height), 0);
    for (int x = 0; x < m_width; ++x) {
        const std::uint8_t* column = m_values.data() + Index(x, 0);
        const std::uint8_t* left = x > 0 ? column - m_height : outside.data();
        const std::uint8_t* right = x + 1 < m_width ? column + m_height : outside.data();
        std::uint8_t* out = smoothed.data() + Index(x, 0);
        const auto fifth = [](int sum) {
            // sum / 5 rounded to nearest; a sum of integers never lies
            // halfway between two multiples of 5.
            return std::uint8_t((sum + 2) / 5);
        };
        if (m_height == 1) {
            out[0] = fifth(column[0] + left[0] + right[0]);
            continue;
        }
        out[0] = fifth(column[0] + column[1] + left[0] + right[0]);
        for (int y = 1; y + 1 < m_height; ++y)
            out[y] = fifth(column[y - 1] + column[y] + column[y + 1] + left[y] + right[y]);
        out[m_height - 1] = fifth(column[m_height - 2] + column[m_height - 1] + left[m_height - 1] + right[m_height - 1]);
    }
    m_values = std::move(smoothed);
}

void TAlphaChanal::ComputeMargins()
{
    const double cx = (m_width - 1) / 2.0;
    const double cy = (m_height - 1) / 2.0;
    double farthest = 0; // squared distance of the farthest non-transparent cell
    for (int x = 0; x < m_width; ++x) {
        const std::uint8_t* column = m_values.data() + Index(x, 0);
        const std::uint8_t* end = column + m_height;
        // In a column the farthest cell from the centre is its first or its
        // last non-transparent one.
        const auto first = std::find_if(column, end, [](std::uint8_t v) { return v != 0; });
        if (first == end)
            continue;
        const auto last = std::find_if(std::make_reverse_iterator(end), std::make_reverse_iterator(first),
                                       [](std::uint8_t v) { return v != 0; });
        const double dx = x - cx;
        for (const double y : {double(first - column), double(last.base() - 1 - column)})
            farthest = std::max(farthest, dx * dx + (y - cy) * (y - cy));
    }
    const double radius = std::sqrt(farthest);
    m_marginX = -int(std::floor(cx - radius));
    m_marginY = -int(std::floor(cy - radius));
}

void TAlphaChanal::AddMargins()
{
    if (m_marginX == 0 && m_marginY == 0)
        return;
    const int paddedWidth = m_width + 2 * m_marginX;
    const int paddedHeight = m_height + 2 * m_marginY;
    std::vector<std::uint8_t> padded(std::size_t(paddedWidth) * std::size_t(paddedHeight), 0);
    for (int x = 0; x < m_width; ++x)
        std::copy_n(m_values.data() + Index(x, 0), m_height,
                    padded.data() + std::size_t(x + m_marginX) * std::size_t(paddedHeight) + std::size_t(m_marginY));
    m_width = paddedWidth;
    m_height = paddedHeight;
    m_values = std::move(padded);
}

// ---------------------------------------------------------------------------
// The text form

namespace {

constexpr int TextVersion = 2;
// Room for blanks after the last column line.
constexpr std::uint64_t TrailerBytes = 64;

// The text of every value with its space after it, four bytes each (the
// unused ones are never written out).
struct TValueTexts {
    std::array<std::array<char, 4>, 256> Text{};
    std::array<std::uint8_t, 256> Length{};

    TValueTexts()
    {
        for (int v = 0; v < 256; ++v) {
            const std::string text = std::to_string(v) + ' ';
            std::copy(text.begin(), text.end(), Text[std::size_t(v)].begin());
            Length[std::size_t(v)] = std::uint8_t(text.size());
        }
    }
};

// The largest margins ComputeMargins gives a width x height matte: those of
// an opaque corner cell, computed the same way.
std::array<long long, 2> LargestMargins(int width, int height)
{
    const double cx = (width - 1) / 2.0;
    const double cy = (height - 1) / 2.0;
    const double radius = std::sqrt(cx * cx + cy * cy);
    return {-(long long)(std::floor(cx - radius)), -(long long)(std::floor(cy - radius))};
}

std::uint64_t PaddedCount(long long width, long long height, long long marginX, long long marginY)
{
    return std::uint64_t(width + 2 * marginX) * std::uint64_t(height + 2 * marginY);
}

} // namespace

std::string TAlphaChanal::SaveToText()
{
    std::string text = TextHeader();
    AppendColumnsText(0, m_width, text);
    return text;
}

std::string TAlphaChanal::TextHeader()
{
    ComputeMargins();
    m_marginX = std::max(m_marginX, 0);
    m_marginY = std::max(m_marginY, 0);
    std::string header;
    for (const int number : {TextVersion, m_marginX, m_marginY, m_width, m_height})
        header += std::to_string(number) + "\r\n";
    return header;
}

void TAlphaChanal::AppendColumnsText(int first, int end, std::string& text) const
{
    static const TValueTexts texts;
    std::size_t used = text.size();
    // Room for the longest text; each value's four bytes are copied whole and
    // the end is cut to what was used.
    text.resize(used + std::size_t(std::max(end - first, 0)) * (4 * std::size_t(m_height) + 2));
    char* out = text.data();
    for (int x = first; x < end; ++x) {
        const std::uint8_t* column = m_values.data() + Index(x, 0);
        const std::uint8_t* columnEnd = column + m_height;
        // A matte is mostly long runs of 0 and 255: a run's text is its first
        // value's text copied over and over, doubling.
        for (const std::uint8_t* value = column; value != columnEnd;) {
            const std::uint8_t* runEnd =
                std::find_if(value + 1, columnEnd, [v = *value](std::uint8_t other) { return other != v; });
            const std::size_t length = texts.Length[*value];
            const std::size_t runBytes = std::size_t(runEnd - value) * length;
            std::memcpy(out + used, texts.Text[*value].data(), 4);
            for (std::size_t copied = length; copied < runBytes; copied *= 2)
                std::memcpy(out + used + copied, out + used, std::min(copied, runBytes - copied));
            used += runBytes;
            value = runEnd;
        }
        out[used++] = '\r';
        out[used++] = '\n';
    }
    text.resize(used);
}

TAlphaTextReader::TAlphaTextReader(std::uint64_t pixelLimit)
    : m_pixelLimit(pixelLimit)
{
}

std::uint64_t TAlphaTextReader::MaxTextBytes() const
{
    if (m_stage == HeaderStage || m_stage == RefusedStage)
        return MaxHeaderBytes;
    // Four bytes for "255 " and a line end per column.
    return MaxHeaderBytes + std::uint64_t(m_width) * (4 * std::uint64_t(m_height) + 2) + TrailerBytes;
}

bool TAlphaTextReader::Feed(const char* data, std::size_t size)
{
    if (m_stage == RefusedStage)
        return false;
    for (const char* end = data + size; data != end;) {
        if (m_stage == ColumnStage && m_scan == Blank)
            data = ReadPlainValues(data, end);
        if (data != end && !Step(*data++))
            return Refuse();
    }
    m_bytes += size;
    return m_bytes <= MaxTextBytes() || Refuse();
}

const char* TAlphaTextReader::ReadPlainValues(const char* text, const char* end)
{
    std::uint8_t* column = m_values.data() + std::size_t(m_column) * std::size_t(m_height);
    int count = m_lineValues;
    while (count < m_height) {
        const char* digit = text;
        int value = 0;
        while (digit != end && digit - text < 3 && *digit >= '0' && *digit <= '9')
            value = value * 10 + (*digit++ - '0');
        if (digit == text || digit == end || *digit != ' ' || value > 255)
            break; // anything else, faults included, goes through Step
        column[count++] = std::uint8_t(value);
        text = digit + 1;
    }
    m_lineValues = count;
    return text;
}

bool TAlphaTextReader::Refuse()
{
    m_stage = RefusedStage;
    m_values = {};
    return false;
}

bool TAlphaTextReader::Step(char c)
{
    const bool digit = c >= '0' && c <= '9';
    switch (m_scan) {
    case AfterReturn:
        m_scan = Blank;
        return c == '\n' && EndLine();
    case InNumber:
        if (digit) {
            // Ten digits still fit; no sound number has more.
            if (++m_digits > 10)
                return false;
            m_number = m_number * 10 + (c - '0');
            return true;
        }
        m_scan = Blank;
        if (!EndNumber())
            return false;
        break;
    case Blank:
        break;
    }
    if (digit || c == '-') {
        m_scan = InNumber;
        m_negative = c == '-';
        m_number = digit ? c - '0' : 0;
        m_digits = digit ? 1 : 0;
        return true;
    }
    switch (c) {
    case ' ':
    case '\t':
        return true;
    case '\r':
        m_scan = AfterReturn;
        return true;
    case '\n':
        return EndLine();
    default:
        return false;
    }
}

bool TAlphaTextReader::EndNumber()
{
    if (m_digits == 0)
        return false;
    ++m_lineValues;
    switch (m_stage) {
    case HeaderStage:
        if (m_lineValues > 1)
            return false; // one number per header line
        m_header[std::size_t(m_headerCount++)] = m_negative ? -m_number : m_number;
        return true;
    case ColumnStage:
        if (m_negative || m_number > 255 || m_lineValues > m_height)
            return false;
        m_values[std::size_t(m_column) * std::size_t(m_height) + std::size_t(m_lineValues - 1)] =
            std::uint8_t(m_number);
        return true;
    default:
        return false;
    }
}

bool TAlphaTextReader::EndLine()
{
    const int values = m_lineValues;
    m_lineValues = 0;
    switch (m_stage) {
    case HeaderStage: {
        if (values != 1)
            return false;
        const long long version = m_header[0];
        if (version != 1 && version != TextVersion)
            return false;
        const int headerLines = version == 1 ? 3 : 5;
        return m_headerCount < headerLines || StartColumns();
    }
    case ColumnStage:
        if (values != m_height)
            return false;
        if (++m_column == m_width)
            m_stage = TrailerStage;
        else
            MakeRoomForColumn();
        return true;
    case TrailerStage:
        return true;
    default:
        return false;
    }
}

bool TAlphaTextReader::StartColumns()
{
    const bool withMargins = m_header[0] == TextVersion;
    const long long width = m_header[withMargins ? 3 : 1];
    const long long height = m_header[withMargins ? 4 : 2];
    if (width < 1 || height < 1 || std::uint64_t(width) > m_pixelLimit || std::uint64_t(height) > m_pixelLimit
        || std::uint64_t(width) * std::uint64_t(height) > m_pixelLimit)
        return false;
    m_width = int(width);
    m_height = int(height);
    if (withMargins) {
        const std::array<long long, 2> largest = LargestMargins(m_width, m_height);
        const long long marginX = m_header[1];
        const long long marginY = m_header[2];
        if (marginX < 0 || marginY < 0 || marginX > largest[0] || marginY > largest[1]
            || PaddedCount(width, height, marginX, marginY) > m_pixelLimit)
            return false;
        m_marginX = int(marginX);
        m_marginY = int(marginY);
    }
    m_stage = ColumnStage;
    MakeRoomForColumn();
    return true;
}

void TAlphaTextReader::MakeRoomForColumn()
{
    // Room grows with the columns that arrive, doubling, up to the whole
    // matte: a header claiming a huge matte costs nothing until its values
    // come.
    const std::size_t needed = (std::size_t(m_column) + 1) * std::size_t(m_height);
    if (needed > m_values.capacity())
        m_values.reserve(std::min(std::max(needed, 2 * m_values.capacity()),
                                  std::size_t(m_width) * std::size_t(m_height)));
    m_values.resize(needed);
}

bool TAlphaTextReader::Finish(TAlphaChanal& matte)
{
    if (m_stage == RefusedStage)
        return false;
    if (m_scan == AfterReturn)
        return Refuse();
    if (m_scan == InNumber) {
        m_scan = Blank;
        if (!EndNumber())
            return Refuse();
    }
    // The last line may end without a line break.
    if (m_lineValues > 0 && !EndLine())
        return Refuse();
    if (m_stage != TrailerStage)
        return Refuse();

    TAlphaChanal read;
    read.m_width = m_width;
    read.m_height = m_height;
    read.m_values = std::move(m_values);
    if (m_header[0] == TextVersion) {
        read.m_marginX = m_marginX;
        read.m_marginY = m_marginY;
    } else {
        read.ComputeMargins();
        read.m_marginX = std::max(read.m_marginX, 0);
        read.m_marginY = std::max(read.m_marginY, 0);
        if (PaddedCount(m_width, m_height, read.m_marginX, read.m_marginY) > m_pixelLimit)
            return Refuse();
    }
    read.AddMargins();
    matte = std::move(read);
    m_stage = RefusedStage; // read once
    return true;
}
