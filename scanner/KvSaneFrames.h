#pragma once

#include <QImage>

#include <sane/sane.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Assembles the sample stream of the SANE frames of one scan into an 8-bit
// grey or RGB picture, whatever the frame layout (one interleaved RGB frame or
// three single-colour frames) and sample depth (1, 8 or 16 bits) the scanner
// delivers.
class TKvSaneImageAssembler
{
public:
    // Starts the next frame; false when its layout cannot be read or does not
    // fit the frames before it.
    bool BeginFrame(const SANE_Parameters& parameters);

    // Takes the next bytes of the current frame, in chunks of any size.
    void Append(const SANE_Byte* data, std::size_t size);

    // Whether the current frame delivered every line it announced. A frame of
    // unknown height (a hand scanner) is complete once it delivered a line and,
    // after the first frame, as many lines as the first.
    bool FrameComplete() const;

    // Share of the expected bytes received so far, 0 to 100; -1 while the
    // height is unknown.
    int Percent() const;

    // The picture assembled so far (grey or RGB, 8 bits per sample). It shares
    // the assembler's memory: valid while the assembler lives and is not
    // appended to.
    QImage Image() const;

private:
    void EndLine();
    void ConvertLine(std::uint8_t* row) const;
    void EnsureRows(int rows);
    std::size_t FrameSize() const;

    SANE_Parameters m_frame{};
    std::size_t m_lineBytesUsed = 0;  // bytes of a line that carry samples
    int m_frameIndex = -1;
    int m_expectedFrames = 1;
    int m_channel = 0;                // first output channel the frame writes
    int m_width = 0;
    int m_channels = 0;               // 1 grey, 3 RGB
    std::size_t m_stride = 0;         // output row size, padded to 4 bytes
    int m_rows = 0;
    int m_frameRows = 0;
    std::size_t m_frameBytes = 0;
    std::vector<std::uint8_t> m_pixels;
    std::vector<SANE_Byte> m_line;
};
