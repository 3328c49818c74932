#include "JpegCodec.h"

#include "ParallelRows.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <new>
#include <numeric>
#include <stdexcept>
#include <system_error>

#include <jpeglib.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr int MaxScans = JpegCodec::MaxScans;
// Files larger than this are not read into memory.
constexpr std::uintmax_t MaxFileBytes = std::uintmax_t(1) << 30;
// libjpeg's limit on the blocks of one interleaved unit.
constexpr int MaxBlocksInUnit = 10;

using TTable = std::array<UINT16, DCTSIZE2>;

struct JpegFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// libjpeg reports errors through error_exit, which must not return, and
// libjpeg's frames are C: no C++ exception may pass through them. So every
// call into libjpeg is made through Guarded, which sets a jump point;
// error_exit (and a warning, and the scan limit of the progress monitor)
// keeps the message and jumps back to it, and Guarded throws the error from
// there, once libjpeg's frames are left. Warnings (a negative message
// level) mean damaged data, which a codec that promises to keep the file's
// data treats as an error too.
struct TJpegErrors {
    jpeg_error_mgr Manager{}; // first: libjpeg sees only this part
    std::jmp_buf Escape{};
    char Message[JMSG_LENGTH_MAX] = "";
};

TJpegErrors& ErrorsOf(j_common_ptr info)
{
    return *reinterpret_cast<TJpegErrors*>(info->err);
}

[[noreturn]] void JumpOut(j_common_ptr info)
{
    TJpegErrors& errors = ErrorsOf(info);
    (*info->err->format_message)(info, errors.Message);
    std::longjmp(errors.Escape, 1);
}

void OnJpegMessage(j_common_ptr info, int level)
{
    if (level < 0)
        JumpOut(info);
}

void OnJpegProgress(j_common_ptr info)
{
    if (!info->is_decompressor || reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= MaxScans)
        return;
    TJpegErrors& errors = ErrorsOf(info);
    std::snprintf(errors.Message, sizeof errors.Message, "too many scans in the JPEG data");
    std::longjmp(errors.Escape, 1);
}

// Makes one call into libjpeg for the object info. The call is a lambda
// that does nothing but call libjpeg: a jump out of it passes no frame with
// anything to destroy.
template <typename Info, typename Call>
void Guarded(Info& info, Call call)
{
    TJpegErrors& errors = ErrorsOf(reinterpret_cast<j_common_ptr>(&info));
    if (setjmp(errors.Escape) != 0)
        throw JpegFailure(errors.Message);
    call();
}

void UseErrors(jpeg_error_mgr*& err, TJpegErrors& errors)
{
    err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = JumpOut;
    errors.Manager.emit_message = OnJpegMessage;
}

// A libjpeg decompressor over bytes in memory that stay alive as long as it.
class Decompressor {
public:
    Decompressor(const std::uint8_t* data, std::size_t size)
    {
        UseErrors(Info.err, m_errors);
        m_progress.progress_monitor = OnJpegProgress;
        try {
            Guarded(Info, [this] { jpeg_create_decompress(&Info); });
            Info.progress = &m_progress;
            // Refuses empty input.
            Guarded(Info, [&] { jpeg_mem_src(&Info, data, static_cast<unsigned long>(size)); });
        } catch (...) {
            jpeg_destroy_decompress(&Info);
            throw;
        }
    }
    explicit Decompressor(const std::vector<std::uint8_t>& bytes)
        : Decompressor(bytes.data(), bytes.size())
    {
    }
    ~Decompressor() { jpeg_destroy_decompress(&Info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    void ReadHeader()
    {
        Guarded(Info, [this] { jpeg_read_header(&Info, TRUE); });
    }

    jpeg_decompress_struct Info{};

private:
    TJpegErrors m_errors;
    jpeg_progress_mgr m_progress{};
};

// A libjpeg compressor writing into a memory buffer of its own.
class Compressor {
public:
    Compressor()
    {
        UseErrors(Info.err, m_errors);
        try {
            Guarded(Info, [this] { jpeg_create_compress(&Info); });
            Guarded(Info, [this] { jpeg_mem_dest(&Info, &m_buffer, &m_size); });
        } catch (...) {
            jpeg_destroy_compress(&Info);
            throw;
        }
    }
    ~Compressor()
    {
        jpeg_destroy_compress(&Info);
        std::free(m_buffer);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    void Start()
    {
        Guarded(Info, [this] { jpeg_start_compress(&Info, TRUE); });
    }
    void Finish()
    {
        Guarded(Info, [this] { jpeg_finish_compress(&Info); });
    }

    // The bytes written; complete after Finish.
    const std::uint8_t* Data() const { return m_buffer; }
    std::size_t Length() const { return m_size; }

    jpeg_compress_struct Info{};

private:
    TJpegErrors m_errors;
    unsigned char* m_buffer = nullptr;
    unsigned long m_size = 0;
};

// One row of a virtual block array.
JBLOCKROW BlockRow(j_common_ptr info, jvirt_barray_ptr array, int row, bool writable)
{
    JBLOCKARRAY rows = nullptr;
    Guarded(*info, [&] { rows = (*info->mem->access_virt_barray)(info, array, JDIMENSION(row), 1, writable); });
    return rows[0];
}

int RoundUp(int value, int multiple) { return (value + multiple - 1) / multiple * multiple; }
int DivideUp(long long value, long long divisor) { return int((value + divisor - 1) / divisor); }

TTable Transposed(const TTable& table)
{
    TTable result{};
    for (int row = 0; row < DCTSIZE; ++row)
        for (int column = 0; column < DCTSIZE; ++column)
            result[row * DCTSIZE + column] = table[column * DCTSIZE + row];
    return result;
}

// libjpeg's standard luminance and chrominance tables scaled to a quality,
// as jpeg_set_quality scales them (without limiting them to baseline).
const std::pair<TTable, TTable>& StandardTables(int quality)
{
    static const auto all = [] {
        Compressor scratch;
        scratch.Info.in_color_space = JCS_RGB;
        scratch.Info.input_components = 3;
        Guarded(scratch.Info, [&] {
            jpeg_set_defaults(&scratch.Info);
            jpeg_set_quality(&scratch.Info, 50, FALSE); // scale 100%: the tables as published
        });
        std::array<std::pair<TTable, TTable>, 101> tables{};
        for (int q = 1; q <= 100; ++q) {
            const long scale = jpeg_quality_scaling(q);
            auto scaled = [&](int slot, TTable& table) {
                for (int i = 0; i < DCTSIZE2; ++i)
                    table[std::size_t(i)] = UINT16(std::clamp<long>(
                        (scratch.Info.quant_tbl_ptrs[slot]->quantval[i] * scale + 50) / 100, 1, 32767));
            };
            scaled(0, tables[std::size_t(q)].first);
            scaled(1, tables[std::size_t(q)].second);
        }
        return tables;
    }();
    return all[std::size_t(std::clamp(quality, 1, 100))];
}

// The quality whose standard table is nearest to table.
int EstimateQuality(const TTable& table, bool chrominance)
{
    int best = 1;
    long long bestDistance = -1;
    for (int quality = 1; quality <= 100; ++quality) {
        const auto& tables = StandardTables(quality);
        const TTable& standard = chrominance ? tables.second : tables.first;
        long long distance = 0;
        for (int i = 0; i < DCTSIZE2; ++i)
            distance += std::abs(int(standard[i]) - int(table[i]));
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = quality;
        }
    }
    return best;
}

bool IsExif(const TJpegMarker& marker)
{
    static constexpr std::uint8_t tag[] = {'E', 'x', 'i', 'f', 0, 0};
    return marker.Code == JPEG_APP0 + 1 && marker.Data.size() >= sizeof tag
        && std::equal(std::begin(tag), std::end(tag), marker.Data.begin());
}

bool StartsWith(const TJpegMarker& marker, int code, const char* text)
{
    const std::size_t length = std::strlen(text);
    return marker.Code == code && marker.Data.size() >= length
        && std::memcmp(marker.Data.data(), text, length) == 0;
}

bool IsBgrPixels(const TKvPixels& pixels)
{
    return pixels.Data != nullptr && pixels.BytesPerPixel == 3 && pixels.Width > 0
        && pixels.Height > 0 && pixels.Stride >= pixels.Width * 3;
}

} // namespace

// ---------------------------------------------------------------------------
// What the codec keeps of its source file.

struct JpegCodec::SourceInfo {
    struct Plane {
        int Id = 0;
        int H = 1; // blocks of this plane across a block unit
        int V = 1; // and down
        TTable Table{};
    };

    std::vector<std::uint8_t> Bytes;
    int Width = 0;
    int Height = 0;
    J_COLOR_SPACE ColorSpace = JCS_UNKNOWN;
    std::vector<Plane> Planes;
    int MaxH = 1;
    int MaxV = 1;
    std::vector<TJpegMarker> Markers;
    bool SawJfif = false;
    UINT8 JfifMajor = 1;
    UINT8 JfifMinor = 1;
    UINT8 DensityUnit = 0;
    UINT16 XDensity = 1;
    UINT16 YDensity = 1;
    int LuminanceQuality = 0;
    int ChrominanceQuality = 0;

    int UnitWidth() const { return DCTSIZE * MaxH; }
    int UnitHeight() const { return DCTSIZE * MaxV; }
    bool HasExif() const { return std::any_of(Markers.begin(), Markers.end(), IsExif); }
};

// The source's coefficients, decoded for saving: libjpeg's arrays, reached
// through one pointer per block row.
struct JpegCodec::SourceCoefficients {
    explicit SourceCoefficients(const std::vector<std::uint8_t>& bytes) : Reader(bytes) {}

    Decompressor Reader;
    std::vector<std::vector<JBLOCKROW>> Rows; // [plane][block row]
};

namespace {

using TPlane = JpegCodec::SourceInfo::Plane;

// The component layout of a JPEG to write: size, colour space, planes with
// their sampling and tables.
struct TOutputLayout {
    int Width = 0;
    int Height = 0;
    J_COLOR_SPACE ColorSpace = JCS_YCbCr;
    std::vector<TPlane> Planes;

    int MaxH() const
    {
        int result = 1;
        for (const TPlane& plane : Planes)
            result = std::max(result, plane.H);
        return result;
    }
    int MaxV() const
    {
        int result = 1;
        for (const TPlane& plane : Planes)
            result = std::max(result, plane.V);
        return result;
    }
    int UnitWidth() const { return DCTSIZE * MaxH(); }
    int UnitHeight() const { return DCTSIZE * MaxV(); }
    int UnitColumns() const { return DivideUp(Width, UnitWidth()); }
    int UnitRows() const { return DivideUp(Height, UnitHeight()); }
    int BlocksInUnit() const
    {
        int result = 0;
        for (const TPlane& plane : Planes)
            result += plane.H * plane.V;
        return result;
    }
};

// The source's layout for a picture of width x height, turned when the
// source is transposed (sampling factors and tables exchange their axes).
TOutputLayout SourceLayout(const JpegCodec::SourceInfo& source, bool transposed, int width, int height)
{
    TOutputLayout layout{width, height, source.ColorSpace, source.Planes};
    if (transposed)
        for (TPlane& plane : layout.Planes) {
            std::swap(plane.H, plane.V);
            plane.Table = Transposed(plane.Table);
        }
    return layout;
}

// YCbCr with chroma halved both ways: a grayscale source whose picture now
// has colour.  The luminance keeps the source's table.
TOutputLayout ColourLayout(const JpegCodec::SourceInfo& source, int width, int height, int quality)
{
    const auto& standard = StandardTables(quality);
    TOutputLayout layout{width, height, JCS_YCbCr, {}};
    layout.Planes = {{1, 2, 2, source.Planes[0].Table},
                     {2, 1, 1, standard.second},
                     {3, 1, 1, standard.second}};
    return layout;
}

// Sets size, colour space, sampling and tables; planes sharing a table share
// its slot.
void ApplyLayout(jpeg_compress_struct& info, const TOutputLayout& layout)
{
    info.image_width = JDIMENSION(layout.Width);
    info.image_height = JDIMENSION(layout.Height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    Guarded(info, [&] {
        jpeg_set_defaults(&info);
        jpeg_set_colorspace(&info, layout.ColorSpace);
    });
    info.dct_method = JDCT_ISLOW;
    std::vector<const TTable*> slots;
    for (std::size_t i = 0; i < layout.Planes.size(); ++i) {
        const TPlane& plane = layout.Planes[i];
        auto slot = std::find_if(slots.begin(), slots.end(),
                                 [&](const TTable* table) { return *table == plane.Table; });
        const int slotIndex = int(slot - slots.begin());
        if (slot == slots.end()) {
            slots.push_back(&plane.Table);
            JQUANT_TBL*& table = info.quant_tbl_ptrs[slotIndex];
            if (table == nullptr)
                Guarded(info, [&] { table = jpeg_alloc_quant_table(reinterpret_cast<j_common_ptr>(&info)); });
            std::copy(plane.Table.begin(), plane.Table.end(), table->quantval);
            table->sent_table = FALSE;
        }
        jpeg_component_info& component = info.comp_info[i];
        component.component_id = plane.Id;
        component.h_samp_factor = plane.H;
        component.v_samp_factor = plane.V;
        component.quant_tbl_no = slotIndex;
    }
}

// JFIF header and resolution as the source had them.  A file that began with
// Exif and no JFIF segment keeps Exif first; any other file gets a JFIF
// header, so that every file written is recognised as a JFIF or Exif JPEG.
void ApplyFileSettings(jpeg_compress_struct& info, const JpegCodec::SourceInfo& source)
{
    if (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_GRAYSCALE)
        info.write_JFIF_header = source.SawJfif || !source.HasExif();
    if (source.SawJfif) {
        if (source.JfifMajor == 1) {
            info.JFIF_major_version = source.JfifMajor;
            info.JFIF_minor_version = source.JfifMinor;
        }
        info.density_unit = source.DensityUnit;
        info.X_density = source.XDensity;
        info.Y_density = source.YDensity;
    }
}

// Writes the source's markers after the header; the JFIF and Adobe segments
// that libjpeg writes itself are not doubled.
void WriteMarkers(jpeg_compress_struct& info, const std::vector<TJpegMarker>& markers)
{
    for (const TJpegMarker& marker : markers) {
        if (info.write_JFIF_header && StartsWith(marker, JPEG_APP0, "JFIF"))
            continue;
        if (info.write_Adobe_marker && StartsWith(marker, JPEG_APP0 + 14, "Adobe"))
            continue;
        Guarded(info, [&] { jpeg_write_marker(&info, marker.Code, marker.Data.data(), unsigned(marker.Data.size())); });
    }
}

// Feeds rows of 24-bit BGR pixels to a started compressor.
void WritePixelRows(jpeg_compress_struct& info, const TKvPixels& pixels, int left, int top)
{
    std::array<JSAMPROW, 16> rows{};
    while (info.next_scanline < info.image_height) {
        const int first = int(info.next_scanline);
        const int count = std::min<int>(int(rows.size()), int(info.image_height) - first);
        for (int i = 0; i < count; ++i)
            rows[i] = pixels.Data + std::ptrdiff_t(top + first + i) * pixels.Stride + left * 3;
        Guarded(info, [&] { jpeg_write_scanlines(&info, rows.data(), JDIMENSION(count)); });
    }
}

// Where a pixel of the picture comes from in the decoded source: the source
// position of picture pixel (0, 0) and the source steps for one pixel to the
// right and one pixel down.
struct TSourceWalk {
    int X = 0;
    int Y = 0;
    int XPerColumn = 0;
    int YPerColumn = 0;
    int XPerRow = 0;
    int YPerRow = 0;
};

// Per-coefficient rule turning a source block into an output block: the
// block transposed or not, then each coefficient times its Sign (+1 or -1).
// A lossless save turns every block of a turned picture, so on x86 the
// eight rows go through vector registers: one transposition and one
// multiplication per block instead of 64 look-ups.
struct TBlockTurn {
    bool Transposed = false;
    alignas(16) std::array<JCOEF, DCTSIZE2> Sign{};

    // Transposing the pixels of a block transposes its coefficients; mirroring
    // a block left to right negates its odd horizontal frequencies, top to
    // bottom its odd vertical ones.
    TBlockTurn(bool transposed, bool mirroredX, bool mirroredY) : Transposed(transposed)
    {
        for (int row = 0; row < DCTSIZE; ++row)
            for (int column = 0; column < DCTSIZE; ++column) {
                const bool negated = (mirroredX && (column & 1)) != (mirroredY && (row & 1));
                Sign[std::size_t(row * DCTSIZE + column)] = JCOEF(negated ? -1 : 1);
            }
    }

    bool IsIdentity() const
    {
        return !Transposed && std::all_of(Sign.begin(), Sign.end(), [](JCOEF sign) { return sign == 1; });
    }

    void Apply(const JCOEF* source, JCOEF* target) const
    {
#ifdef __SSE2__
        __m128i rows[DCTSIZE];
        for (int r = 0; r < DCTSIZE; ++r)
            rows[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + r * DCTSIZE));
        if (Transposed)
            Transpose8x8(rows);
        for (int r = 0; r < DCTSIZE; ++r)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + r * DCTSIZE),
                             _mm_mullo_epi16(rows[r], _mm_load_si128(reinterpret_cast<const __m128i*>(&Sign[std::size_t(r * DCTSIZE)]))));
#else
        for (int row = 0; row < DCTSIZE; ++row)
            for (int column = 0; column < DCTSIZE; ++column) {
                const int i = row * DCTSIZE + column;
                const int from = Transposed ? column * DCTSIZE + row : i;
                target[i] = JCOEF(source[from] * Sign[std::size_t(i)]);
            }
#endif
    }

#ifdef __SSE2__
    // Eight rows of eight 16-bit values transposed in place.
    static void Transpose8x8(__m128i rows[DCTSIZE])
    {
        const __m128i a0 = _mm_unpacklo_epi16(rows[0], rows[1]);
        const __m128i a1 = _mm_unpackhi_epi16(rows[0], rows[1]);
        const __m128i a2 = _mm_unpacklo_epi16(rows[2], rows[3]);
        const __m128i a3 = _mm_unpackhi_epi16(rows[2], rows[3]);
        const __m128i a4 = _mm_unpacklo_epi16(rows[4], rows[5]);
        const __m128i a5 = _mm_unpackhi_epi16(rows[4], rows[5]);
        const __m128i a6 = _mm_unpacklo_epi16(rows[6], rows[7]);
        const __m128i a7 = _mm_unpackhi_epi16(rows[6], rows[7]);
        const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
        const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
        const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
        const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
        const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
        const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
        const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
        const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
        rows[0] = _mm_unpacklo_epi64(b0, b4);
        rows[1] = _mm_unpackhi_epi64(b0, b4);
        rows[2] = _mm_unpacklo_epi64(b1, b5);
        rows[3] = _mm_unpackhi_epi64(b1, b5);
        rows[4] = _mm_unpacklo_epi64(b2, b6);
        rows[5] = _mm_unpackhi_epi64(b2, b6);
        rows[6] = _mm_unpacklo_epi64(b3, b7);
        rows[7] = _mm_unpackhi_epi64(b3, b7);
    }
#endif
};

// For each output block unit along one axis, the index of the source unit it
// comes from.  start is the output's first pixel in the turned source, extent
// the turned source's size along the axis.
std::vector<int> SourceUnits(int start, int count, int unit, int extent, bool mirrored)
{
    std::vector<int> result(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const int position = start + k * unit;
        result[std::size_t(k)] = mirrored ? (extent - position) / unit - 1 : position / unit;
    }
    return result;
}

// Marks the block units of the picture whose pixels differ from the original.
std::vector<char> FindChangedUnits(const TKvPixels& picture, const TKvPixels& original,
                                   const TOutputLayout& layout)
{
    const int columns = layout.UnitColumns();
    const int unitWidth = layout.UnitWidth();
    const std::size_t rowBytes = std::size_t(picture.Width) * 3;
    std::vector<char> changed(std::size_t(columns) * std::size_t(layout.UnitRows()), 0);
    for (int y = 0; y < picture.Height; ++y) {
        const std::uint8_t* now = picture.Data + std::ptrdiff_t(y) * picture.Stride;
        const std::uint8_t* before = original.Data + std::ptrdiff_t(y) * original.Stride;
        if (std::memcmp(now, before, rowBytes) == 0)
            continue;
        char* unitRow = changed.data() + std::size_t(y / layout.UnitHeight()) * std::size_t(columns);
        for (int k = 0; k < columns; ++k) {
            if (unitRow[k])
                continue;
            const int x = k * unitWidth;
            const std::size_t bytes = std::size_t(std::min(unitWidth, picture.Width - x)) * 3;
            unitRow[k] = std::memcmp(now + x * 3, before + x * 3, bytes) != 0;
        }
    }
    return changed;
}

bool IsGray(const TKvPixels& pixels, const TRect& rect)
{
    for (int y = rect.Top; y < rect.Bottom; ++y) {
        const std::uint8_t* pixel = pixels.Data + std::ptrdiff_t(y) * pixels.Stride + rect.Left * 3;
        for (int x = rect.Left; x < rect.Right; ++x, pixel += 3)
            if (pixel[0] != pixel[1] || pixel[1] != pixel[2])
                return false;
    }
    return true;
}

// The pixel rectangle of block unit (k, l), clipped to the picture.
TRect UnitRect(const TOutputLayout& layout, int k, int l)
{
    const int x = k * layout.UnitWidth();
    const int y = l * layout.UnitHeight();
    return {x, y, std::min(x + layout.UnitWidth(), layout.Width),
            std::min(y + layout.UnitHeight(), layout.Height)};
}

// Reads all coefficients of a started decompressor and keeps a pointer to
// each block row (libjpeg keeps whole arrays in memory, so they stay put).
std::vector<std::vector<JBLOCKROW>> ReadCoefficientRows(jpeg_decompress_struct& info)
{
    jvirt_barray_ptr* arrays = nullptr;
    Guarded(info, [&] { arrays = jpeg_read_coefficients(&info); });
    std::vector<std::vector<JBLOCKROW>> rows(std::size_t(info.num_components));
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        const int height = RoundUp(int(component.height_in_blocks), component.v_samp_factor);
        rows[std::size_t(c)].resize(std::size_t(height));
        for (int r = 0; r < height; ++r)
            rows[std::size_t(c)][std::size_t(r)] = BlockRow(reinterpret_cast<j_common_ptr>(&info), arrays[c], r, false);
    }
    return rows;
}

// The coefficients of the block units that are encoded from pixels, unit
// after unit, the planes' blocks in order within a unit.
struct TEncodedUnits {
    std::vector<int> Slot; // per unit of the picture; -1 when it keeps the source's
    std::vector<std::array<JCOEF, DCTSIZE2>> Blocks;
};

// Encodes the changed units from the picture's pixels with the output's
// tables and sampling.  Runs of unit rows with changes are encoded as one
// strip each, as wide as their changes; libjpeg's colour conversion,
// downsampling and DCT work within a unit, so a unit's coefficients are the
// same as in an encoding of the whole picture.
TEncodedUnits EncodeChangedUnits(const TKvPixels& picture, const TOutputLayout& layout,
                                 const std::vector<char>& changed)
{
    const int columns = layout.UnitColumns();
    const int rows = layout.UnitRows();
    const int blocksInUnit = layout.BlocksInUnit();
    TEncodedUnits encoded;
    encoded.Slot.assign(changed.size(), -1);
    int firstRow = 0;
    while (firstRow < rows) {
        auto rowChanged = [&](int l) {
            const char* begin = changed.data() + std::size_t(l) * std::size_t(columns);
            return std::find(begin, begin + columns, 1) != begin + columns;
        };
        if (!rowChanged(firstRow)) {
            ++firstRow;
            continue;
        }
        int endRow = firstRow + 1;
        while (endRow < rows && rowChanged(endRow))
            ++endRow;
        int firstColumn = columns;
        int endColumn = 0;
        for (int l = firstRow; l < endRow; ++l)
            for (int k = 0; k < columns; ++k)
                if (changed[std::size_t(l) * std::size_t(columns) + std::size_t(k)]) {
                    firstColumn = std::min(firstColumn, k);
                    endColumn = std::max(endColumn, k + 1);
                }
        const TRect strip = {firstColumn * layout.UnitWidth(), firstRow * layout.UnitHeight(),
                             UnitRect(layout, endColumn - 1, 0).Right,
                             UnitRect(layout, 0, endRow - 1).Bottom};

        TOutputLayout stripLayout = layout;
        stripLayout.Width = strip.Width();
        stripLayout.Height = strip.Height();
        Compressor writer;
        ApplyLayout(writer.Info, stripLayout);
        writer.Info.write_JFIF_header = FALSE;
        writer.Info.write_Adobe_marker = FALSE;
        writer.Start();
        WritePixelRows(writer.Info, picture, strip.Left, strip.Top);
        writer.Finish();

        Decompressor reader(writer.Data(), writer.Length());
        reader.ReadHeader();
        const auto stripRows = ReadCoefficientRows(reader.Info);
        for (int l = firstRow; l < endRow; ++l)
            for (int k = firstColumn; k < endColumn; ++k) {
                const std::size_t unit = std::size_t(l) * std::size_t(columns) + std::size_t(k);
                if (!changed[unit])
                    continue;
                encoded.Slot[unit] = int(encoded.Blocks.size()) / blocksInUnit;
                for (std::size_t c = 0; c < layout.Planes.size(); ++c) {
                    const TPlane& plane = layout.Planes[c];
                    for (int j = 0; j < plane.V; ++j)
                        for (int i = 0; i < plane.H; ++i) {
                            const JBLOCKROW row = stripRows[c][std::size_t((l - firstRow) * plane.V + j)];
                            encoded.Blocks.emplace_back();
                            std::memcpy(encoded.Blocks.back().data(),
                                        row[(k - firstColumn) * plane.H + i], sizeof(JBLOCK));
                        }
                }
            }
        firstRow = endRow;
    }
    return encoded;
}

} // namespace

// ---------------------------------------------------------------------------

JpegCodec::JpegCodec() = default;
JpegCodec::~JpegCodec() = default;

bool JpegCodec::Fail(const std::string& message)
{
    m_error = message;
    return false;
}

bool HasTooManyJpegScans(const std::uint8_t* data, std::size_t size)
{
    constexpr std::uint8_t StartOfImage = 0xD8;
    constexpr std::uint8_t StartOfScan = 0xDA;
    if (size < 2 || data[0] != 0xFF || data[1] != StartOfImage)
        return false;
    const auto isRestart = [](std::uint8_t marker) { return marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7; };
    int scans = 0;
    std::size_t at = 2;
    while (at + 1 < size) {
        // Bytes between segments and fill bytes before a marker are skipped,
        // as the decoders skip them.
        if (data[at] != 0xFF || data[at + 1] == 0xFF) {
            ++at;
            continue;
        }
        const std::uint8_t marker = data[at + 1];
        at += 2;
        if (marker == JPEG_EOI)
            break;
        if (marker == 0x00 || marker == 0x01 || isRestart(marker)) // markers without a length
            continue;
        if (at + 2 > size)
            break;
        at += std::size_t(data[at]) << 8 | data[at + 1];
        if (marker != StartOfScan)
            continue;
        if (++scans > JpegCodec::MaxScans)
            return true;
        // The scan's coded data run to the next marker; a zero after 0xFF is
        // a coded 0xFF byte, restart markers belong to the scan.
        while (at + 1 < size && !(data[at] == 0xFF && data[at + 1] != 0x00 && !isRestart(data[at + 1])))
            ++at;
    }
    return false;
}

bool JpegCodec::LoadFromFile(const std::filesystem::path& path)
{
    Clear();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return Fail("cannot read " + path.string() + ": " + error.message());
    if (size > MaxFileBytes)
        return Fail("file too large for a JPEG picture");
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!file || !file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size)))
        return Fail("cannot read " + path.string());
    return LoadFromMemory(std::move(bytes));
}

bool JpegCodec::LoadFromMemory(std::vector<std::uint8_t> bytes)
{
    Clear();
    m_error.clear();
    try {
        auto source = std::make_unique<SourceInfo>();
        source->Bytes = std::move(bytes);
        Decompressor reader(source->Bytes);
        Guarded(reader.Info, [&] {
            jpeg_save_markers(&reader.Info, JPEG_COM, 0xFFFF);
            for (int n = 0; n < 16; ++n)
                jpeg_save_markers(&reader.Info, JPEG_APP0 + n, 0xFFFF);
        });
        reader.ReadHeader();
        const jpeg_decompress_struct& info = reader.Info;

        const bool supported = (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1)
            || ((info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB)
                && info.num_components == 3);
        if (!supported)
            return Fail("unsupported JPEG colour space");
        if (info.data_precision != 8)
            return Fail("unsupported JPEG precision");
        if (std::uint64_t(info.image_width) * info.image_height > m_pixelLimit)
            return Fail("picture too large");

        // Sampling factors that share a divisor describe the same layout with
        // a smaller unit; the smaller unit keeps more crops lossless.
        int divisorH = 0;
        int divisorV = 0;
        for (int c = 0; c < info.num_components; ++c) {
            divisorH = std::gcd(divisorH, info.comp_info[c].h_samp_factor);
            divisorV = std::gcd(divisorV, info.comp_info[c].v_samp_factor);
        }
        int blocksInUnit = 0;
        for (int c = 0; c < info.num_components; ++c) {
            const jpeg_component_info& component = info.comp_info[c];
            // libjpeg checks the table number only when a scan starts.
            const int slot = component.quant_tbl_no;
            const JQUANT_TBL* table = slot >= 0 && slot < NUM_QUANT_TBLS ? info.quant_tbl_ptrs[slot] : nullptr;
            if (table == nullptr)
                return Fail("JPEG quantisation table missing");
            // A zero step is invalid; libjpeg decodes it, but re-encoding
            // with the table would divide by it.
            if (std::find(table->quantval, table->quantval + DCTSIZE2, 0) != table->quantval + DCTSIZE2)
                return Fail("invalid JPEG quantisation table");
            SourceInfo::Plane plane;
            plane.Id = component.component_id;
            plane.H = component.h_samp_factor / divisorH;
            plane.V = component.v_samp_factor / divisorV;
            std::copy_n(table->quantval, DCTSIZE2, plane.Table.begin());
            source->MaxH = std::max(source->MaxH, plane.H);
            source->MaxV = std::max(source->MaxV, plane.V);
            blocksInUnit += plane.H * plane.V;
            source->Planes.push_back(plane);
        }
        if (blocksInUnit > MaxBlocksInUnit)
            return Fail("unsupported JPEG sampling");

        source->Width = int(info.image_width);
        source->Height = int(info.image_height);
        source->ColorSpace = info.jpeg_color_space;
        for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next)
            source->Markers.push_back(
                {marker->marker, {marker->data, marker->data + marker->data_length}});
        source->SawJfif = info.saw_JFIF_marker;
        source->JfifMajor = info.JFIF_major_version;
        source->JfifMinor = info.JFIF_minor_version;
        source->DensityUnit = info.density_unit;
        source->XDensity = info.X_density;
        source->YDensity = info.Y_density;
        source->LuminanceQuality = EstimateQuality(source->Planes[0].Table, false);
        source->ChrominanceQuality = source->Planes.size() > 1
            ? EstimateQuality(source->Planes[1].Table, true)
            : source->LuminanceQuality;

        m_geometry = TJpegGeometry{};
        m_geometry.Region = {0, 0, source->Width, source->Height};
        m_source = std::move(source);
        return true;
    } catch (const JpegFailure& failure) {
        return Fail(failure.what());
    } catch (const std::bad_alloc&) {
        return Fail("out of memory");
    }
}

void JpegCodec::Clear()
{
    m_coefficients.reset();
    m_source.reset();
    m_geometry = TJpegGeometry{};
    m_report = TJpegSaveReport{};
}

const std::vector<TJpegMarker>& JpegCodec::Markers() const
{
    static const std::vector<TJpegMarker> none;
    return m_source ? m_source->Markers : none;
}

// ---------------------------------------------------------------------------
// Geometry

int JpegCodec::Width() const { return m_source ? m_geometry.Region.Width() : 0; }
int JpegCodec::Height() const { return m_source ? m_geometry.Region.Height() : 0; }

int JpegCodec::BlockWidth() const
{
    if (!m_source)
        return 0;
    return m_geometry.Transposed ? m_source->UnitHeight() : m_source->UnitWidth();
}

int JpegCodec::BlockHeight() const
{
    if (!m_source)
        return 0;
    return m_geometry.Transposed ? m_source->UnitWidth() : m_source->UnitHeight();
}

namespace {

int TurnedWidth(const JpegCodec::SourceInfo& source, const TJpegGeometry& geometry)
{
    return geometry.Transposed ? source.Height : source.Width;
}

int TurnedHeight(const JpegCodec::SourceInfo& source, const TJpegGeometry& geometry)
{
    return geometry.Transposed ? source.Width : source.Height;
}

TRect MirrorX(const TRect& r, int width) { return {width - r.Right, r.Top, width - r.Left, r.Bottom}; }
TRect MirrorY(const TRect& r, int height) { return {r.Left, height - r.Bottom, r.Right, height - r.Top}; }
TRect TurnRight(const TRect& r, int height) { return {height - r.Bottom, r.Left, height - r.Top, r.Right}; }
TRect TurnLeft(const TRect& r, int width) { return {r.Top, width - r.Right, r.Bottom, width - r.Left}; }

// The part of the turned source that a save writes.
TRect SavedRect(const TJpegGeometry& geometry)
{
    if (geometry.CropRect.IsEmpty())
        return geometry.Region;
    return geometry.CropRect.Offset(geometry.Region.Left, geometry.Region.Top);
}

TSourceWalk WalkOf(const JpegCodec::SourceInfo& source, const TJpegGeometry& geometry)
{
    // In the turned source, x runs along source axis a (source y when
    // transposed) and y along axis b.
    const int extentA = TurnedWidth(source, geometry);
    const int extentB = TurnedHeight(source, geometry);
    const int a = geometry.MirroredX ? extentA - 1 - geometry.Region.Left : geometry.Region.Left;
    const int b = geometry.MirroredY ? extentB - 1 - geometry.Region.Top : geometry.Region.Top;
    const int stepA = geometry.MirroredX ? -1 : 1;
    const int stepB = geometry.MirroredY ? -1 : 1;
    if (geometry.Transposed)
        return {b, a, 0, stepA, stepB, 0};
    return {a, b, stepA, 0, 0, stepB};
}

} // namespace

void JpegCodec::SetCropRect(const TRect& rect)
{
    if (!m_source)
        return;
    const TRect picture = {0, 0, Width(), Height()};
    const TRect clipped = IntersectRect(rect, picture);
    m_geometry.CropRect = clipped == picture ? TRect{} : clipped;
}

bool JpegCodec::CropTo(const TRect& rect)
{
    if (!m_source)
        return false;
    const TRect clipped = IntersectRect(rect, {0, 0, Width(), Height()});
    if (clipped.IsEmpty())
        return false;
    m_geometry.Region = clipped.Offset(m_geometry.Region.Left, m_geometry.Region.Top);
    m_geometry.CropRect = {};
    return true;
}

void JpegCodec::FlipHorizontal() { FlipGeometry(true); }
void JpegCodec::FlipVertical() { FlipGeometry(false); }

void JpegCodec::FlipGeometry(bool horizontal)
{
    if (!m_source)
        return;
    bool& mirrored = horizontal ? m_geometry.MirroredX : m_geometry.MirroredY;
    mirrored = !mirrored;
    auto flip = [horizontal](const TRect& r, int width, int height) {
        return horizontal ? MirrorX(r, width) : MirrorY(r, height);
    };
    if (!m_geometry.CropRect.IsEmpty())
        m_geometry.CropRect = flip(m_geometry.CropRect, Width(), Height());
    m_geometry.Region = flip(m_geometry.Region, TurnedWidth(*m_source, m_geometry), TurnedHeight(*m_source, m_geometry));
}

void JpegCodec::RotateLeft() { TurnGeometry(false); }
void JpegCodec::RotateRight() { TurnGeometry(true); }

void JpegCodec::TurnGeometry(bool clockwise)
{
    if (!m_source)
        return;
    // A quarter turn exchanges the axes: the new x axis is the old y axis
    // (mirrored when turning clockwise), the new y axis the old x axis
    // (mirrored when turning counter-clockwise).
    const int width = TurnedWidth(*m_source, m_geometry);
    const int height = TurnedHeight(*m_source, m_geometry);
    const bool mirroredX = m_geometry.MirroredX;
    const bool mirroredY = m_geometry.MirroredY;
    m_geometry.Transposed = !m_geometry.Transposed;
    m_geometry.MirroredX = clockwise ? !mirroredY : mirroredY;
    m_geometry.MirroredY = clockwise ? mirroredX : !mirroredX;
    if (!m_geometry.CropRect.IsEmpty())
        m_geometry.CropRect = clockwise ? TurnRight(m_geometry.CropRect, Height())
                                      : TurnLeft(m_geometry.CropRect, Width());
    m_geometry.Region = clockwise ? TurnRight(m_geometry.Region, height) : TurnLeft(m_geometry.Region, width);
}

bool JpegCodec::SetGeometry(const TJpegGeometry& geometry)
{
    if (!m_source)
        return false;
    const TRect turned = {0, 0, TurnedWidth(*m_source, geometry), TurnedHeight(*m_source, geometry)};
    const TRect picture = {0, 0, geometry.Region.Width(), geometry.Region.Height()};
    if (geometry.Region.IsEmpty() || !turned.Contains(geometry.Region)
        || !picture.Contains(geometry.CropRect))
        return false;
    m_geometry = geometry;
    if (m_geometry.CropRect == picture)
        m_geometry.CropRect = {};
    return true;
}

bool JpegCodec::IsLosslessCapable() const
{
    if (!m_source)
        return false;
    const TRect saved = SavedRect(m_geometry);
    const int unitX = BlockWidth();
    const int unitY = BlockHeight();
    const int startX = m_geometry.MirroredX ? TurnedWidth(*m_source, m_geometry) - saved.Left : saved.Left;
    const int startY = m_geometry.MirroredY ? TurnedHeight(*m_source, m_geometry) - saved.Top : saved.Top;
    return startX % unitX == 0 && startY % unitY == 0;
}

bool JpegCodec::SavesSourceAsStored() const
{
    return m_source && !m_geometry.Transposed && !m_geometry.MirroredX && !m_geometry.MirroredY
        && SavedRect(m_geometry) == TRect{0, 0, m_source->Width, m_source->Height};
}

std::uint32_t JpegCodec::GetSaveParameter() const
{
    if (!m_source)
        return 0;
    return std::uint32_t(m_source->LuminanceQuality) << 16 | std::uint32_t(m_source->ChrominanceQuality);
}

// ---------------------------------------------------------------------------
// Decoding pixels

bool JpegCodec::CopyPixels(const TKvPixels& destination)
{
    if (!m_source)
        return Fail("no JPEG picture held");
    if (!IsBgrPixels(destination) || destination.Width != Width() || destination.Height != Height())
        return Fail("destination does not match the picture");
    try {
        Decompressor reader(m_source->Bytes);
        reader.ReadHeader();
        reader.Info.out_color_space = JCS_EXT_BGR;
        reader.Info.dct_method = JDCT_ISLOW;
        Guarded(reader.Info, [&] { jpeg_start_decompress(&reader.Info); });

        const bool direct = !m_geometry.Transposed && !m_geometry.MirroredX && !m_geometry.MirroredY
            && m_geometry.Region == TRect{0, 0, m_source->Width, m_source->Height};
        const std::ptrdiff_t stride = direct ? destination.Stride : std::ptrdiff_t(m_source->Width) * 3;
        std::vector<std::uint8_t> decoded(direct ? 0 : std::size_t(stride) * std::size_t(m_source->Height));
        std::uint8_t* target = direct ? destination.Data : decoded.data();
        std::array<JSAMPROW, 16> rows{};
        while (reader.Info.output_scanline < reader.Info.output_height) {
            const int first = int(reader.Info.output_scanline);
            const int count = std::min<int>(int(rows.size()), int(reader.Info.output_height) - first);
            for (int i = 0; i < count; ++i)
                rows[std::size_t(i)] = target + (first + i) * stride;
            Guarded(reader.Info, [&] { jpeg_read_scanlines(&reader.Info, rows.data(), JDIMENSION(count)); });
        }
        Guarded(reader.Info, [&] { jpeg_finish_decompress(&reader.Info); });

        if (!direct) {
            const TSourceWalk walk = WalkOf(*m_source, m_geometry);
            const std::ptrdiff_t perColumn = walk.XPerColumn * 3 + walk.YPerColumn * stride;
            const std::ptrdiff_t perRow = walk.XPerRow * 3 + walk.YPerRow * stride;
            const std::uint8_t* rowStart = decoded.data() + walk.X * 3 + walk.Y * stride;
            for (int y = 0; y < destination.Height; ++y, rowStart += perRow) {
                std::uint8_t* out = destination.Data + std::ptrdiff_t(y) * destination.Stride;
                const std::uint8_t* in = rowStart;
                for (int x = 0; x < destination.Width; ++x, out += 3, in += perColumn)
                    std::memcpy(out, in, 3);
            }
        }
        return true;
    } catch (const JpegFailure& failure) {
        Clear();
        return Fail(failure.what());
    } catch (const std::bad_alloc&) {
        Clear();
        return Fail("out of memory");
    }
}

// ---------------------------------------------------------------------------
// Saving

bool JpegCodec::ParametersFitGeometry(const TJpegSaveParameters& parameters) const
{
    const TRect saved = SavedRect(m_geometry);
    return parameters.Picture.Width == saved.Width() && parameters.Picture.Height == saved.Height()
        && IsBgrPixels(parameters.Original) && parameters.Original.Width == saved.Width()
        && parameters.Original.Height == saved.Height();
}

namespace {

// Writes the bytes to a new file beside path and renames it over path once
// they are all on disk: a failed write leaves an existing file untouched.
bool WriteFileSafely(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::filesystem::path temporary = path;
    temporary += ".saving-" + std::to_string(getpid());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0
        && fsync(fileno(file)) == 0;
    written = std::fclose(file) == 0 && written;
    std::error_code error;
    if (written)
        std::filesystem::rename(temporary, path, error);
    if (!written || error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

} // namespace

bool JpegCodec::SaveToFile(const std::filesystem::path& path, const TJpegSaveParameters& parameters)
{
    std::vector<std::uint8_t> bytes;
    if (!SaveToMemory(bytes, parameters))
        return false;
    if (!WriteFileSafely(path, bytes))
        return Fail("cannot write " + path.string());
    return true;
}

bool JpegCodec::SaveToMemory(std::vector<std::uint8_t>& output, const TJpegSaveParameters& parameters)
{
    m_report = TJpegSaveReport{};
    if (!m_source)
        return Fail("no JPEG source held");
    if (!IsBgrPixels(parameters.Picture))
        return Fail("no picture to save");
    try {
        if (IsLosslessCapable() && ParametersFitGeometry(parameters)) {
            try {
                if (SaveLossless(output, parameters))
                    return true;
            } catch (const JpegFailure&) {
                // The source cannot give its coefficients after all: the
                // picture is written from its pixels.
                m_coefficients.reset();
            }
        }
        return SaveFromPixels(output, parameters);
    } catch (const JpegFailure& failure) {
        return Fail(failure.what());
    } catch (const std::bad_alloc&) {
        return Fail("out of memory");
    }
}

void JpegCodec::FinishSave() { m_coefficients.reset(); }

bool JpegCodec::SaveLossless(std::vector<std::uint8_t>& output, const TJpegSaveParameters& parameters)
{
    const SourceInfo& source = *m_source;
    const TRect saved = SavedRect(m_geometry);
    const TOutputLayout layout = SourceLayout(source, m_geometry.Transposed, saved.Width(), saved.Height());
    // Which units changed needs only the pixels: it is found while the
    // source's coefficients are read.
    const auto findChanged = [&] { return FindChangedUnits(parameters.Picture, parameters.Original, layout); };
    std::future<std::vector<char>> changedUnits;
    try {
        changedUnits = std::async(std::launch::async, findChanged);
    } catch (const std::system_error&) {
        changedUnits = std::async(std::launch::deferred, findChanged); // no thread to be had
    }
    if (!m_coefficients) {
        auto coefficients = std::make_unique<SourceCoefficients>(source.Bytes);
        coefficients->Reader.ReadHeader();
        coefficients->Rows = ReadCoefficientRows(coefficients->Reader.Info);
        m_coefficients = std::move(coefficients);
    }
    // The tables in force when each component was decoded must be the ones
    // read from the header, which the changed blocks are encoded with.
    const jpeg_decompress_struct& reader = m_coefficients->Reader.Info;
    for (int c = 0; c < reader.num_components; ++c) {
        const JQUANT_TBL* latched = reader.comp_info[c].quant_table;
        if (latched == nullptr
            || !std::equal(source.Planes[std::size_t(c)].Table.begin(),
                           source.Planes[std::size_t(c)].Table.end(), latched->quantval))
            return false;
    }

    const std::vector<char> changed = changedUnits.get();
    const int columns = layout.UnitColumns();
    if (source.ColorSpace == JCS_GRAYSCALE)
        for (std::size_t unit = 0; unit < changed.size(); ++unit)
            if (changed[unit]
                && !IsGray(parameters.Picture,
                           UnitRect(layout, int(unit % std::size_t(columns)), int(unit / std::size_t(columns)))))
                return false;
    const TEncodedUnits encoded = EncodeChangedUnits(parameters.Picture, layout, changed);

    Compressor writer;
    ApplyLayout(writer.Info, layout);
    ApplyFileSettings(writer.Info, source);
    // One pass over the coefficients with the standard Huffman tables, as
    // jpegtran writes by default: a lossless turn or crop and its save take
    // little more than jpegtran's time, the file a few percent more than
    // tables fitted to it in a second pass would need.
    writer.Info.optimize_coding = FALSE;
    std::vector<jvirt_barray_ptr> arrays;
    for (const TPlane& plane : layout.Planes) {
        const int blockColumns = DivideUp(layout.Width * plane.H, layout.UnitWidth());
        const int blockRows = DivideUp(layout.Height * plane.V, layout.UnitHeight());
        jvirt_barray_ptr array = nullptr;
        Guarded(writer.Info, [&] {
            array = (*writer.Info.mem->request_virt_barray)(
                reinterpret_cast<j_common_ptr>(&writer.Info), JPOOL_IMAGE, TRUE,
                JDIMENSION(RoundUp(blockColumns, plane.H)), JDIMENSION(RoundUp(blockRows, plane.V)),
                JDIMENSION(plane.V));
        });
        arrays.push_back(array);
    }
    Guarded(writer.Info, [&] { jpeg_write_coefficients(&writer.Info, arrays.data()); });
    WriteMarkers(writer.Info, source.Markers);

    const TBlockTurn turn(m_geometry.Transposed, m_geometry.MirroredX, m_geometry.MirroredY);
    const bool straight = turn.IsIdentity();
    const std::vector<int> sourceColumns = SourceUnits(
        saved.Left, columns, layout.UnitWidth(), TurnedWidth(source, m_geometry), m_geometry.MirroredX);
    const std::vector<int> sourceRows = SourceUnits(
        saved.Top, layout.UnitRows(), layout.UnitHeight(), TurnedHeight(source, m_geometry), m_geometry.MirroredY);
    const int blocksInUnit = layout.BlocksInUnit();
    int planeOffset = 0;
    for (std::size_t c = 0; c < layout.Planes.size(); ++c) {
        const TPlane& plane = layout.Planes[c];
        const std::vector<JBLOCKROW>& sourceBlocks = m_coefficients->Rows[c];
        const int blockColumns = RoundUp(DivideUp(layout.Width * plane.H, layout.UnitWidth()), plane.H);
        const int blockRows = RoundUp(DivideUp(layout.Height * plane.V, layout.UnitHeight()), plane.V);
        std::vector<JBLOCKROW> outRows(static_cast<std::size_t>(blockRows));
        for (int by = 0; by < blockRows; ++by)
            outRows[std::size_t(by)] = BlockRow(reinterpret_cast<j_common_ptr>(&writer.Info), arrays[c], by, true);
        // Output block (bx, by): from the changed units' new blocks, or the
        // source block it shows, turned.
        const auto fillBlock = [&](int bx, int by) {
            const int l = by / plane.V;
            const int j = by % plane.V;
            const int k = bx / plane.H;
            const int i = bx % plane.H;
            JCOEF* out = outRows[std::size_t(by)][bx];
            const int slot = encoded.Slot[std::size_t(l) * std::size_t(columns) + std::size_t(k)];
            if (slot >= 0) {
                const std::size_t block = std::size_t(slot * blocksInUnit + planeOffset + j * plane.H + i);
                std::memcpy(out, encoded.Blocks[block].data(), sizeof(JBLOCK));
                return;
            }
            const int a = sourceColumns[std::size_t(k)] * plane.H + (m_geometry.MirroredX ? plane.H - 1 - i : i);
            const int b = sourceRows[std::size_t(l)] * plane.V + (m_geometry.MirroredY ? plane.V - 1 - j : j);
            const JCOEF* from = m_geometry.Transposed ? sourceBlocks[std::size_t(a)][b] : sourceBlocks[std::size_t(b)][a];
            if (straight)
                std::memcpy(out, from, sizeof(JBLOCK));
            else
                turn.Apply(from, out);
        };
        // In tiles a few block rows high, so that a transposed source is read
        // along its rows too, and in bands of tile rows, one per core.
        constexpr int TileRows = 8;
        const int tiles = DivideUp(blockRows, TileRows);
        const long long pixels = (long long)blockColumns * blockRows * DCTSIZE2;
        ForEachRowBand(tiles, pixels, [&](int firstTile, int endTile) {
            for (int tile = firstTile; tile < endTile; ++tile) {
                const int top = tile * TileRows;
                const int bottom = std::min(top + TileRows, blockRows);
                for (int bx = 0; bx < blockColumns; ++bx)
                    for (int by = top; by < bottom; ++by)
                        fillBlock(bx, by);
            }
        });
        planeOffset += plane.H * plane.V;
    }
    writer.Finish();
    output.assign(writer.Data(), writer.Data() + writer.Length());

    const long long encodedUnits = std::count(changed.begin(), changed.end(), 1);
    m_report = {true, static_cast<long long>(changed.size()) - encodedUnits, encodedUnits};
    return true;
}

bool JpegCodec::SaveFromPixels(std::vector<std::uint8_t>& output, const TJpegSaveParameters& parameters)
{
    const SourceInfo& source = *m_source;
    const TKvPixels& picture = parameters.Picture;
    const bool colourInGray = source.ColorSpace == JCS_GRAYSCALE
        && !IsGray(picture, {0, 0, picture.Width, picture.Height});
    const int quality = parameters.Quality > 0 ? parameters.Quality : source.LuminanceQuality;
    const TOutputLayout layout = colourInGray
        ? ColourLayout(source, picture.Width, picture.Height, quality)
        : SourceLayout(source, m_geometry.Transposed, picture.Width, picture.Height);

    Compressor writer;
    ApplyLayout(writer.Info, layout);
    ApplyFileSettings(writer.Info, source);
    writer.Info.optimize_coding = TRUE;
    writer.Start();
    WriteMarkers(writer.Info, source.Markers);
    WritePixelRows(writer.Info, picture, 0, 0);
    writer.Finish();
    output.assign(writer.Data(), writer.Data() + writer.Length());

    m_report = {false, 0, static_cast<long long>(layout.UnitColumns()) * layout.UnitRows()};
    return true;
}
