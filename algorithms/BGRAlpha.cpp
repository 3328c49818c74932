#include "BGRAlpha.h"

#include "Files.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

#include <zlib.h>

namespace {

// JPEG files larger than this are not read into memory.
constexpr std::size_t MaxJpegBytes = std::size_t(1) << 30;
constexpr std::size_t PieceBytes = 1 << 16;

// A zlib stream released with its owner.
class TDeflater {
public:
    TDeflater()
    {
        if (deflateInit(&m_stream, Z_BEST_COMPRESSION) != Z_OK)
            throw std::bad_alloc();
    }
    ~TDeflater() { deflateEnd(&m_stream); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    // Compresses the piece (the end of the input with finish) onto output.
    void Deflate(const char* data, std::size_t size, bool finish, std::vector<std::uint8_t>& output)
    {
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        m_stream.avail_in = uInt(size);
        int status = Z_OK;
        do {
            if (output.size() - m_written < PieceBytes)
                output.resize(std::max(output.size() * 2, m_written + PieceBytes));
            m_stream.next_out = output.data() + m_written;
            m_stream.avail_out = uInt(output.size() - m_written);
            status = deflate(&m_stream, finish ? Z_FINISH : Z_NO_FLUSH);
            m_written = output.size() - m_stream.avail_out;
            if (status == Z_STREAM_ERROR)
                throw std::runtime_error("zlib stream error");
        } while (finish ? status != Z_STREAM_END : (m_stream.avail_in != 0 || m_stream.avail_out == 0));
        if (finish)
            output.resize(m_written);
    }

private:
    z_stream m_stream{};
    std::size_t m_written = 0;
};

class TInflater {
public:
    TInflater()
    {
        if (inflateInit(&m_stream) != Z_OK)
            throw std::bad_alloc();
    }
    ~TInflater() { inflateEnd(&m_stream); }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    z_stream& Stream() { return m_stream; }

private:
    z_stream m_stream{};
};

} // namespace

std::vector<std::uint8_t> CompressMatte(TAlphaChanal& matte)
{
    std::vector<std::uint8_t> compressed;
    TDeflater deflater;
    matte.SaveToText([&](const char* data, std::size_t size) { deflater.Deflate(data, size, false, compressed); });
    deflater.Deflate(nullptr, 0, true, compressed);
    return compressed;
}

bool DecompressMatte(const std::uint8_t* data, std::size_t size, std::uint64_t pixelLimit, TAlphaChanal& matte)
{
    TAlphaTextReader reader(pixelLimit);
    TInflater inflater;
    z_stream& stream = inflater.Stream();
    std::array<char, PieceBytes> piece;
    // zlib counts its input in 32-bit units: larger files are fed in parts.
    std::size_t fed = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            const std::size_t part = std::min<std::size_t>(size - fed, 1u << 30);
            stream.next_in = const_cast<Bytef*>(data + fed);
            stream.avail_in = uInt(part);
            fed += part;
        }
        stream.next_out = reinterpret_cast<Bytef*>(piece.data());
        stream.avail_out = uInt(piece.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            return false; // damaged data, or the input ended first (Z_BUF_ERROR)
        if (!reader.Feed(piece.data(), piece.size() - stream.avail_out))
            return false;
    }
    // Nothing may follow the stream.
    return stream.avail_in == 0 && fed == size && reader.Finish(matte);
}

void TBGRWithAlpha::MakeEmpty()
{
    m_width = 0;
    m_height = 0;
    m_colors.Release();
    m_matte = TAlphaChanal();
}

bool TBGRWithAlpha::SetSize(int width, int height)
{
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    try {
        m_matte = TAlphaChanal();
        m_matte.SetSize(m_width, m_height);
    } catch (const std::bad_alloc&) {
        MakeEmpty();
        return false;
    }
    if (!m_colors.SetFormat(PixelFormatBGR24, Bounds()) && !Bounds().IsEmpty()) {
        MakeEmpty();
        return false;
    }
    return true;
}

bool TBGRWithAlpha::LoadObject(const std::filesystem::path& folder, const std::string& name)
{
    m_changed = true;
    try {
        if (Load(folder, name))
            return true;
    } catch (const std::bad_alloc&) {
    }
    MakeEmpty();
    return false;
}

bool TBGRWithAlpha::Load(const std::filesystem::path& folder, const std::string& name)
{
    if (!IsObjectName(name))
        return false;
    std::vector<std::uint8_t> jpeg;
    if (!ReadEntryFile(EntryFile(folder, name, ".jpg"), MaxJpegBytes, jpeg) || HasTooManyJpegScans(jpeg.data(), jpeg.size()))
        return false;
    JpegCodec codec;
    codec.SetPixelLimit(PixelLimit);
    if (!codec.LoadFromMemory(std::move(jpeg)))
        return false;
    const int width = codec.Width();
    const int height = codec.Height();

    // The compressed text of a matte of the JPEG's size cannot be larger
    // than the text itself plus zlib's few bytes per stored block.
    const std::size_t maxText = TAlphaTextReader::MaxHeaderBytes + std::size_t(width) * (4 * std::size_t(height) + 2) + 64;
    std::vector<std::uint8_t> alp;
    TAlphaChanal matte;
    if (!ReadEntryFile(EntryFile(folder, name, ".alp"), maxText + maxText / 1000 + 1024, alp)
        || !DecompressMatte(alp.data(), alp.size(), PixelLimit, matte))
        return false;
    alp = {};
    const int marginX = matte.MarginX();
    const int marginY = matte.MarginY();
    if (matte.Width() - 2 * marginX != width || matte.Height() - 2 * marginY != height)
        return false;

    if (!SetSize(matte.Width(), matte.Height()))
        return false;
    TKvPixels picture;
    picture.Init(RectOfSize(0, 0, width, height), m_colors.PixelAt(marginX, marginY), PixelFormatBGR24,
                 m_colors.Stride);
    if (!codec.CopyPixels(picture))
        return false;
    m_matte = std::move(matte);
    return true;
}
