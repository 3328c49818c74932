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
    if (frameIndex_ < 0) {
        width_ = parameters.pixels_per_line;
        channels_ = colour ? 3 : 1;
        stride_ = (std::size_t(width_) * std::size_t(channels_) + 3) & ~std::size_t(3);
        expectedFrames_ = IsSingleColour(parameters.format) ? 3 : 1;
    } else if (!IsSingleColour(parameters.format) || !IsSingleColour(frame_.format)
               || parameters.pixels_per_line != width_ || parameters.lines != frame_.lines) {
        // Only the separate colour planes of a three-pass scanner follow a
        // first frame; anything else would mix pictures.
        return false;
    }
    frame_ = parameters;
    ++frameIndex_;
    channel_ = ChannelOf(parameters.format);
    lineBytesUsed_ = (std::size_t(width_) * std::size_t(SamplesPerPixel(parameters.format))
                          * std::size_t(parameters.depth) + 7) / 8;
    frameRows_ = 0;
    frameBytes_ = 0;
    line_.clear();
    line_.reserve(std::size_t(parameters.bytes_per_line));
    if (parameters.lines > 0)
        EnsureRows(parameters.lines);
    return true;
}

void TKvSaneImageAssembler::Append(const SANE_Byte* data, std::size_t size)
{
    frameBytes_ += size;
    const auto lineSize = std::size_t(frame_.bytes_per_line);
    while (size > 0) {
        const std::size_t take = std::min(size, lineSize - line_.size());
        line_.insert(line_.end(), data, data + take);
        data += take;
        size -= take;
        if (line_.size() == lineSize) {
            EndLine();
            line_.clear();
        }
    }
}

void TKvSaneImageAssembler::EndLine()
{
    // A scanner that sends more lines than it announced: the surplus has no
    // place in the picture.
    if (frame_.lines > 0 && frameRows_ >= frame_.lines)
        return;
    EnsureRows(frameRows_ + 1);
    ConvertLine(pixels_.data() + std::size_t(frameRows_) * stride_);
    ++frameRows_;
}

void TKvSaneImageAssembler::ConvertLine(std::uint8_t* row) const
{
    const SANE_Byte* line = line_.data();
    const int samples = width_ * SamplesPerPixel(frame_.format);
    // Interleaved frames fill every channel; a colour plane every third byte.
    const int step = frame_.format == SANE_FRAME_RGB || channels_ == 1 ? 1 : 3;
    std::uint8_t* out = row + channel_;
    switch (frame_.depth) {
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
        const std::uint8_t setBit = frame_.format == SANE_FRAME_GRAY ? 0 : 255;
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
    if (rows <= rows_)
        return;
    pixels_.resize(std::size_t(rows) * stride_);
    rows_ = rows;
}

bool TKvSaneImageAssembler::FrameComplete() const
{
    if (frameIndex_ < 0)
        return false;
    if (frame_.lines > 0)
        return frameRows_ == frame_.lines;
    return frameRows_ > 0 && (frameIndex_ == 0 || frameRows_ == rows_);
}

std::size_t TKvSaneImageAssembler::FrameSize() const
{
    return std::size_t(frame_.bytes_per_line) * std::size_t(frame_.lines);
}

int TKvSaneImageAssembler::Percent() const
{
    if (frameIndex_ < 0 || frame_.lines <= 0)
        return -1;
    const double frameShare = double(std::min(frameBytes_, FrameSize())) / double(FrameSize());
    return int(100.0 * (std::min(frameIndex_, expectedFrames_ - 1) + frameShare) / expectedFrames_);
}

QImage TKvSaneImageAssembler::Image() const
{
    if (rows_ == 0)
        return {};
    return QImage(pixels_.data(), width_, rows_, qsizetype(stride_),
                  channels_ == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
}
