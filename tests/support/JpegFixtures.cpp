#include "JpegFixtures.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include <jpeglib.h>
#include <unistd.h>

namespace {

[[noreturn]] void Throw(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    throw std::runtime_error(text);
}

void ThrowOnWarning(j_common_ptr info, int level)
{
    if (level < 0)
        Throw(info);
}

struct Reader {
    explicit Reader(const TBytes& bytes)
    {
        Info.err = jpeg_std_error(&Errors);
        Errors.error_exit = Throw;
        Errors.emit_message = ThrowOnWarning;
        jpeg_create_decompress(&Info);
        jpeg_mem_src(&Info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    }
    ~Reader() { jpeg_destroy_decompress(&Info); }
    jpeg_error_mgr Errors{};
    jpeg_decompress_struct Info{};
};

} // namespace

TKvPixelBuffer MakeTestPicture(int width, int height, unsigned seed, bool gray)
{
    TKvPixelBuffer picture;
    picture.SetFormat(PixelFormatBGR24, {0, 0, width, height});
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = picture.PixelAt(x, y);
            const double wave = 60.0 * std::sin(x * 0.09 + seed) * std::cos(y * 0.07);
            const int base = 128 + int(wave) + noise(random);
            const int channels[3] = {base + (x * 50) / width - 25, base + (y * 60) / height - 30,
                                     base + ((x + y) % 37) - 18};
            for (int c = 0; c < 3; ++c)
                pixel[c] = std::uint8_t(std::clamp(gray ? base : channels[c], 0, 255));
        }
    return picture;
}

TBytes EncodeJpeg(const TKvPixels& picture, const TJpegFixtureOptions& options)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    errors.error_exit = Throw;
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.Width);
    info.image_height = JDIMENSION(picture.Height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.Quality, TRUE);
    switch (options.Kind) {
    case TJpegKind::Subsampled420:
        break; // libjpeg's default
    case TJpegKind::Subsampled422:
        info.comp_info[0].v_samp_factor = 1;
        break;
    case TJpegKind::Full444:
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
        break;
    case TJpegKind::Gray:
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
        break;
    case TJpegKind::Cmyk:
        jpeg_set_colorspace(&info, JCS_CMYK);
        break;
    }
    if (options.Progressive)
        jpeg_simple_progression(&info);
    info.write_JFIF_header = options.Jfif && options.Kind != TJpegKind::Cmyk;
    if (options.Kind == TJpegKind::Cmyk) {
        // libjpeg cannot convert BGR to CMYK: feed the four channels raw.
        info.in_color_space = JCS_CMYK;
        info.input_components = 4;
    }
    jpeg_start_compress(&info, TRUE);
    for (const TJpegMarker& marker : options.Markers)
        jpeg_write_marker(&info, marker.Code, marker.Data.data(), unsigned(marker.Data.size()));
    std::vector<std::uint8_t> cmykRow(std::size_t(picture.Width) * 4);
    while (info.next_scanline < info.image_height) {
        std::uint8_t* row = picture.PixelAt(0, int(info.next_scanline));
        if (options.Kind == TJpegKind::Cmyk) {
            for (int x = 0; x < picture.Width; ++x)
                for (int c = 0; c < 4; ++c)
                    cmykRow[std::size_t(x) * 4 + std::size_t(c)] = row[x * 3 + c % 3];
            row = cmykRow.data();
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    TBytes bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

TBytes WithLastScanRepeated(const TBytes& jpeg, int scans)
{
    // Scan headers begin with FF DA; coded data never hold that pair.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            starts.push_back(i);
    if (starts.empty() || jpeg.size() < 2 || int(starts.size()) > scans)
        throw std::runtime_error("cannot repeat the last scan");
    const TBytes last(jpeg.begin() + long(starts.back()), jpeg.end() - 2); // up to the end marker
    TBytes result(jpeg.begin(), jpeg.end() - 2);
    for (int i = int(starts.size()); i < scans; ++i)
        result.insert(result.end(), last.begin(), last.end());
    result.insert(result.end(), {0xFF, 0xD9});
    return result;
}

TKvPixelBuffer DecodeJpeg(const TBytes& jpeg)
{
    Reader reader(jpeg);
    jpeg_read_header(&reader.Info, TRUE);
    reader.Info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&reader.Info);
    TKvPixelBuffer picture;
    picture.SetFormat(PixelFormatBGR24,
                      {0, 0, int(reader.Info.output_width), int(reader.Info.output_height)});
    while (reader.Info.output_scanline < reader.Info.output_height) {
        JSAMPROW rows[1] = {picture.PixelAt(0, int(reader.Info.output_scanline))};
        jpeg_read_scanlines(&reader.Info, rows, 1);
    }
    jpeg_finish_decompress(&reader.Info);
    return picture;
}

TJpegContent ReadJpegContent(const TBytes& jpeg)
{
    Reader reader(jpeg);
    jpeg_save_markers(&reader.Info, JPEG_COM, 0xFFFF);
    for (int n = 0; n < 16; ++n)
        jpeg_save_markers(&reader.Info, JPEG_APP0 + n, 0xFFFF);
    jpeg_read_header(&reader.Info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&reader.Info);
    TJpegContent content;
    content.Width = int(reader.Info.image_width);
    content.Height = int(reader.Info.image_height);
    for (int c = 0; c < reader.Info.num_components; ++c) {
        const jpeg_component_info& info = reader.Info.comp_info[c];
        TJpegContent::Component component;
        component.Id = info.component_id;
        component.H = info.h_samp_factor;
        component.V = info.v_samp_factor;
        component.BlocksWide = int(info.width_in_blocks);
        component.BlocksHigh = int(info.height_in_blocks);
        component.Table.assign(info.quant_table->quantval, info.quant_table->quantval + 64);
        for (int by = 0; by < component.BlocksHigh; ++by) {
            JBLOCKARRAY row = (*reader.Info.mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(&reader.Info), arrays[c], JDIMENSION(by), 1, FALSE);
            for (int bx = 0; bx < component.BlocksWide; ++bx)
                component.Coefficients.insert(component.Coefficients.end(), row[0][bx], row[0][bx] + 64);
        }
        content.Components.push_back(std::move(component));
    }
    for (jpeg_saved_marker_ptr m = reader.Info.marker_list; m != nullptr; m = m->next)
        content.Markers.push_back({m->marker, {m->data, m->data + m->data_length}});
    jpeg_finish_decompress(&reader.Info);
    return content;
}

TBytes ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const TBytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TTemporaryFolder::TTemporaryFolder()
{
    static std::atomic<int> counter{0};
    const std::string name = "orvane-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    Path = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
}

TTemporaryFolder::~TTemporaryFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
}

TBytes RunJpegtran(const std::string& arguments, const TBytes& input)
{
    TTemporaryFolder folder;
    WriteFileBytes(folder / "in.jpg", input);
    const std::string command = "jpegtran " + arguments + " -outfile '" + (folder / "out.jpg").string()
        + "' '" + (folder / "in.jpg").string() + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    return ReadFileBytes(folder / "out.jpg");
}

::testing::AssertionResult SameCoefficients(const TJpegContent& a, const TJpegContent& b)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return ::testing::AssertionFailure() << "size " << a.Width << "x" << a.Height << " vs "
                                             << b.Width << "x" << b.Height;
    if (a.Components.size() != b.Components.size())
        return ::testing::AssertionFailure() << "component count differs";
    for (std::size_t c = 0; c < a.Components.size(); ++c) {
        const auto& x = a.Components[c];
        const auto& y = b.Components[c];
        if (x.H != y.H || x.V != y.V || x.BlocksWide != y.BlocksWide || x.BlocksHigh != y.BlocksHigh)
            return ::testing::AssertionFailure() << "layout of component " << c << " differs";
        if (x.Table != y.Table)
            return ::testing::AssertionFailure() << "table of component " << c << " differs";
        for (std::size_t i = 0; i < x.Coefficients.size(); ++i)
            if (x.Coefficients[i] != y.Coefficients[i]) {
                const std::size_t block = i / 64;
                return ::testing::AssertionFailure()
                    << "component " << c << " block (" << block % std::size_t(x.BlocksWide) << ", "
                    << block / std::size_t(x.BlocksWide) << ") coefficient " << i % 64 << ": "
                    << x.Coefficients[i] << " vs " << y.Coefficients[i];
            }
    }
    return ::testing::AssertionSuccess();
}
