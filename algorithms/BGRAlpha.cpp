#include "BGRAlpha.h"

#include "Files.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <future>
#include <functional>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>

#include <zlib.h>

namespace {

// JPEG files larger than this are not read into memory.
constexpr std::size_t MaxJpegBytes = std::size_t(1) << 30;
constexpr std::size_t PieceBytes = 1 << 16;

// The matte's text is compressed in parts of whole columns of about this
// many bytes, each part by whichever thread is free.  The parts depend on the
// matte's size alone, so every machine writes the same bytes.
constexpr std::size_t PartTextBytes = std::size_t(4) << 20;
constexpr std::size_t WindowBytes = 32768; // what deflate can refer back to

// A raw deflate stream at level 9 released with its owner.
class TDeflater {
public:
    TDeflater()
    {
        if (deflateInit2(&m_stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~TDeflater() { deflateEnd(&m_stream); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    // The text that precedes the part: matches may reach back into it, as
    // they would in one stream.
    void SetDictionary(const std::string& preceding)
    {
        const std::size_t size = std::min(preceding.size(), WindowBytes);
        deflateSetDictionary(&m_stream, reinterpret_cast<const Bytef*>(preceding.data() + preceding.size() - size),
                             uInt(size));
    }

    // Compresses the next piece of the part onto output.  flush is
    // Z_NO_FLUSH while more of the part follows; a part that is not the last
    // ends with Z_SYNC_FLUSH, on a byte boundary without a final block, so
    // that the parts join into one stream; the last ends with Z_FINISH.
    void Deflate(const std::string& text, int flush, std::vector<std::uint8_t>& output)
    {
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        m_stream.avail_in = uInt(text.size());
        int status = Z_OK;
        do {
            // A matte's text shrinks a hundredfold and more: the output
            // grows as it comes.
            const std::size_t written = output.size();
            output.resize(written + PieceBytes);
            m_stream.next_out = output.data() + written;
            m_stream.avail_out = uInt(PieceBytes);
            status = deflate(&m_stream, flush);
            output.resize(output.size() - m_stream.avail_out);
            if (status == Z_STREAM_ERROR)
                throw std::runtime_error("zlib could not compress the matte");
            // The input is taken, and a flush complete, when deflate left room
            // in the output.
        } while (flush == Z_FINISH ? status != Z_STREAM_END : m_stream.avail_out == 0);
    }

private:
    z_stream m_stream{};
};

// One part of the text: its compressed bytes, checksum and length.
struct TCompressedPart {
    std::vector<std::uint8_t> Bytes;
    uLong Adler = adler32(0, nullptr, 0);
    std::size_t Length = 0;
};

TCompressedPart CompressPart(const TAlphaChanal& matte, const std::string& header, int first, int end, bool last)
{
    TDeflater deflater;
    if (first > 0) {
        // Columns before the part, as many as fill deflate's window.
        const int columnBytes = 2 * matte.Height() + 2; // the shortest a column's text can be
        const int before = std::min(first, int(WindowBytes / std::size_t(columnBytes)) + 1);
        std::string preceding = first - before == 0 ? header : std::string();
        matte.AppendColumnsText(first - before, first, preceding);
        deflater.SetDictionary(preceding);
    }
    // The text is made and compressed a few columns at a time, in a piece
    // that stays in the cache.
    TCompressedPart part;
    std::string piece = first == 0 ? header : std::string();
    piece.reserve(PieceBytes + 4 * std::size_t(matte.Height()) + 2);
    for (int x = first; x < end; ++x) {
        matte.AppendColumnsText(x, x + 1, piece);
        if (piece.size() < PieceBytes && x + 1 < end)
            continue;
        const bool ending = x + 1 == end;
        deflater.Deflate(piece, ending ? (last ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH, part.Bytes);
        part.Adler = adler32(part.Adler, reinterpret_cast<const Bytef*>(piece.data()), uInt(piece.size()));
        part.Length += piece.size();
        piece.clear();
    }
    return part;
}

// Runs work(i) for i = 0 .. count - 1 on every core.
void RunOnEveryCore(int count, const std::function<void(int)>& work)
{
    std::atomic<int> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto worker = [&] {
        for (int i = next++; i < count; i = next++) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                failure = std::current_exception();
            }
        }
    };
    const int helpers = std::min(count, int(std::max(1u, std::thread::hardware_concurrency()))) - 1;
    std::vector<std::thread> threads;
    for (int i = 0; i < helpers; ++i)
        threads.emplace_back(worker);
    worker();
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

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
    const std::string header = matte.TextHeader();
    const std::size_t columnBytes = 4 * std::size_t(matte.Height()) + 2; // at most
    const int columnsPerPart = int(std::max<std::size_t>(1, PartTextBytes / columnBytes));
    const int parts = std::max(1, (matte.Width() + columnsPerPart - 1) / columnsPerPart);
    std::vector<TCompressedPart> compressed(static_cast<std::size_t>(parts));
    RunOnEveryCore(parts, [&](int i) {
        const int first = i * columnsPerPart;
        compressed[std::size_t(i)] =
            CompressPart(matte, header, first, std::min(first + columnsPerPart, matte.Width()), i == parts - 1);
    });

    // A zlib stream: the header of a level-9 stream, the parts, and the
    // checksum of the whole text.
    std::vector<std::uint8_t> alp = {0x78, 0xDA};
    uLong adler = adler32(0, nullptr, 0);
    for (const TCompressedPart& part : compressed) {
        alp.insert(alp.end(), part.Bytes.begin(), part.Bytes.end());
        adler = adler32_combine(adler, part.Adler, z_off_t(part.Length));
    }
    for (int shift = 24; shift >= 0; shift -= 8)
        alp.push_back(std::uint8_t(adler >> shift));
    return alp;
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
    // The picture decodes on a second thread while the matte is inflated.
    TKvPixelBuffer picture;
    if (!picture.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, width, height)))
        return false;
    std::future<bool> decoded = std::async(std::launch::async, [&] { return codec.CopyPixels(picture); });

    // The compressed text of a matte of the JPEG's size cannot be larger
    // than the text itself plus zlib's few bytes per stored block.
    const std::size_t maxText =
        TAlphaTextReader::MaxHeaderBytes + std::size_t(width) * (4 * std::size_t(height) + 2) + 64;
    std::vector<std::uint8_t> alp;
    TAlphaChanal matte;
    const bool matteRead = ReadEntryFile(EntryFile(folder, name, ".alp"), maxText + maxText / 1000 + 1024, alp)
        && DecompressMatte(alp.data(), alp.size(), PixelLimit, matte);
    if (!decoded.get() || !matteRead)
        return false;
    alp = {};
    const int marginX = matte.MarginX();
    const int marginY = matte.MarginY();
    if (matte.Width() - 2 * marginX != width || matte.Height() - 2 * marginY != height)
        return false;

    if (!SetSize(matte.Width(), matte.Height()))
        return false;
    m_colors.CopyFrom(marginX, marginY, picture.GetBounds(), picture);
    m_matte = std::move(matte);
    return true;
}
