#include "KvSaneFrames.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsSingleColour(SANE_Frame format)
{
    return format == SANE_FRAME_RED || format == SANE_FRAME_GREEN || format == SANE_FRAME_BLUE;
}

int SamplesPerPixel(SANE_Frame format)
{
    return format == SANE_FRAME_RGB ? 3 : 1;
}

int ChannelOf(SANE_Frame format)
{
    switch (format) {
    case SANE_FRAME_GREEN: return 1;
    case SANE_FRAME_BLUE: return 2;
    default: return 0;
    }
}

// The frame format as the backend wrote it. A number the header does not
// name is no value of SANE_Frame, so it is read as a plain number until it
// is known to be one.
int FrameFormatNumber(const SANE_Parameters& p)
{
    int format = 0;
    static_assert(sizeof format == sizeof p.format);
    std::memcpy(&format, &p.format, sizeof format);
    return format;
}

bool IsReadableLayout(const SANE_Parameters& p)
{
    const int format = FrameFormatNumber(p);
    const bool knownFormat = format == SANE_FRAME_GRAY || format == SANE_FRAME_RGB || format == SANE_FRAME_RED
                             || format == SANE_FRAME_GREEN || format == SANE_FRAME_BLUE;
    const bool knownDepth = p.depth == 1 || p.depth == 8 || p.depth == 16;
    if (!knownFormat || !knownDepth || p.pixels_per_line <= 0)
        return false;
    const auto samples = std::size_t(p.pixels_per_line) * std::size_t(SamplesPerPixel(p.format));
    return std::size_t(std::max(p.bytes_per_line, 0)) >= (samples * std::size_t(p.depth) + 7) / 8;
}

} // namespace

bool TKvSaneImageAssembler::BeginFrame(const SANE_Parameters& parameters)
{
    if (!IsReadableLayout(parameters))
        return false;
    const bool colour = parameters.format != SANE_FRAME_GRAY;
    if (m_frameIndex < 0) {
        m_width = parameters.pixels_per_line;
        m_channels = colour ? 3 : 1;
        m_stride = (std::size_t(m_width) * std::size_t(m_channels) + 3) & ~std::size_t(3);
        m_expectedFrames = IsSingleColour(parameters.format) ? 3 : 1;
    } else if (!IsSingleColour(parameters.format) || !IsSingleColour(m_frame.format)
               || parameters.pixels_per_line != m_width || parameters.lines != m_frame.lines) {
        // Only the separate colour planes of a three-pass scanner follow a
        // first frame; anything else would mix pictures.
        return false;
    }
    m_frame = parameters;
    ++m_frameIndex;
    m_channel = ChannelOf(parameters.format);
    m_lineBytesUsed = (std::size_t(m_width) * std::size_t(SamplesPerPixel(parameters.format))
                          * std::size_t(parameters.depth) + 7) / 8;
    m_frameRows = 0;
    m_frameBytes = 0;
    m_line.clear();
    m_line.reserve(std::size_t(parameters.bytes_per_line));
    if (parameters.lines > 0)
        EnsureRows(parameters.lines);
    return true;
}

void TKvSaneImageAssembler::Append(const SANE_Byte* data, std::size_t size)
{
    m_frameBytes += size;
    const auto lineSize = std::size_t(m_frame.bytes_per_line);
    while (size > 0) {
        const std::size_t take = std::min(size, lineSize - m_line.size());
        m_line.insert(m_line.end(), data, data + take);
        data += take;
        size -= take;
        if (m_line.size() == lineSize) {
            EndLine();
            m_line.clear();
        }
    }
}

void TKvSaneImageAssembler::EndLine()
{
    // A scanner that sends more lines than it announced: the surplus has no
    // place in the picture.
    if (m_frame.lines > 0 && m_frameRows >= m_frame.lines)
        return;
    EnsureRows(m_frameRows + 1);
    ConvertLine(m_pixels.data() + std::size_t(m_frameRows) * m_stride);
    ++m_frameRows;
}

void TKvSaneImageAssembler::ConvertLine(std::uint8_t* row) const
{
    const SANE_Byte* line = m_line.data();
    const int samples = m_width * SamplesPerPixel(m_frame.format);
    // Interleaved frames fill every channel; a colour plane every third byte.
    const int step = m_frame.format == SANE_FRAME_RGB || m_channels == 1 ? 1 : 3;
    std::uint8_t* out = row + m_channel;
    switch (m_frame.depth) {
    case 8:
        for (int i = 0; i < samples; ++i)
            out[i * step] = line[i];
        break;
    case 16:
        // Sixteen-bit samples come in the host's byte order; keep the high byte.
        for (int i = 0; i < samples; ++i) {
            std::uint16_t value;
            std::memcpy(&value, line + 2 * i, sizeof value);
            out[i * step] = std::uint8_t(value >> 8);
        }
        break;
    default: {
        // In one-bit grey (line art) a set bit is black; in the colour frames
        // a set bit is full intensity.
        const std::uint8_t setBit = m_frame.format == SANE_FRAME_GRAY ? 0 : 255;
        for (int i = 0; i < samples; ++i) {
            const bool set = (line[i >> 3] >> (7 - (i & 7))) & 1;
            out[i * step] = set ? setBit : std::uint8_t(255 - setBit);
        }
        break;
    }
    }
}

void TKvSaneImageAssembler::EnsureRows(int rows)
{
    if (rows <= m_rows)
        return;
    m_pixels.resize(std::size_t(rows) * m_stride);
    m_rows = rows;
}

bool TKvSaneImageAssembler::FrameComplete() const
{
    if (m_frameIndex < 0)
        return false;
    if (m_frame.lines > 0)
        return m_frameRows == m_frame.lines;
    return m_frameRows > 0 && (m_frameIndex == 0 || m_frameRows == m_rows);
}

std::size_t TKvSaneImageAssembler::FrameSize() const
{
    return std::size_t(m_frame.bytes_per_line) * std::size_t(m_frame.lines);
}

int TKvSaneImageAssembler::Percent() const
{
    if (m_frameIndex < 0 || m_frame.lines <= 0)
        return -1;
    const double frameShare = double(std::min(m_frameBytes, FrameSize())) / double(FrameSize());
    return int(100.0 * (std::min(m_frameIndex, m_expectedFrames - 1) + frameShare) / m_expectedFrames);
}

QImage TKvSaneImageAssembler::Image() const
{
    if (m_rows == 0)
        return {};
    return QImage(m_pixels.data(), m_width, m_rows, qsizetype(m_stride),
                  m_channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
}
