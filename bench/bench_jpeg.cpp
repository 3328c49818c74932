// The lossless JPEG codec on a 24-megapixel photo-sized JPEG, side by side
// with libjpeg-turbo's own programs in the same run:
//   open to pixels          JpegCodec LoadFromFile + CopyPixels  vs  djpeg
//   lossless turn and save  JpegCodec RotateRight + SaveToFile   vs  jpegtran -rotate 90
// Each figure is the median of several runs; the programs are timed as whole
// processes (start, read, work, write to a file or /dev/null).
#include "BenchClock.h"
#include "JpegCodec.h"
#include "KvBitmap.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int Width = 6000;
constexpr int Height = 4000;
constexpr int Runs = 5;

// Runs ours and the peer alternately, so that both share whatever else the
// machine is doing, and returns the two medians.
std::pair<double, double> MedianSeconds(const std::function<void()>& ours, const std::function<void()>& peer)
{
    std::vector<double> oursTimes;
    std::vector<double> peerTimes;
    for (int run = 0; run < Runs; ++run) {
        oursTimes.push_back(WallSeconds(ours));
        peerTimes.push_back(WallSeconds(peer));
    }
    return {Median(oursTimes), Median(peerTimes)};
}

void RunOrDie(const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// A photo-like picture: smooth shading, edges and fine grain, encoded at
// quality 90 with 4:2:0 chroma, as cameras write.
void WriteTestJpeg(const std::filesystem::path& path)
{
    std::vector<unsigned char> pixels(std::size_t(Width) * Height * 3);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> grain(-14, 14);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            unsigned char* p = &pixels[(std::size_t(y) * Width + x) * 3];
            const double shade = 100 + 70 * std::sin(x * 0.004) * std::cos(y * 0.005);
            const int edge = ((x / 300 + y / 200) % 3) * 25;
            const int base = int(shade) + edge + grain(random);
            p[0] = (unsigned char)std::clamp(base + 30, 0, 255);
            p[1] = (unsigned char)std::clamp(base, 0, 255);
            p[2] = (unsigned char)std::clamp(base - 20 + (x % 97) / 8, 0, 255);
        }
    tjhandle compressor = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(compressor, pixels.data(), Width, 0, Height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90,
                    TJFLAG_ACCURATEDCT)
        != 0) {
        std::fprintf(stderr, "cannot encode the test picture: %s\n", tjGetErrorStr2(compressor));
        std::exit(1);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(jpeg, 1, size, file);
    std::fclose(file);
    tjFree(jpeg);
    tjDestroy(compressor);
}

void PrintComparison(const char* what, double ours, const char* peer, double theirs, double target)
{
    std::printf("%-24s JpegCodec %7.3f s   %-22s %7.3f s   ratio %.2f (target <= %.1f)\n", what, ours, peer,
                theirs, ours / theirs, target);
}

} // namespace

int main()
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvane-bench-jpeg";
    std::filesystem::create_directories(folder);
    const std::filesystem::path source = folder / "source.jpg";
    const std::filesystem::path ours = folder / "turned-ours.jpg";
    const std::filesystem::path theirs = folder / "turned-jpegtran.jpg";
    WriteTestJpeg(source);
    std::printf("test picture: %d x %d, %.1f MB\n", Width, Height,
                double(std::filesystem::file_size(source)) / 1e6);

    // Decoding into the document's picture, which exists already (djpeg
    // writes its rows to /dev/null); the first touch of a fresh picture is
    // the page allocator's cost and shown apart.
    TKvPixelBuffer picture;
    auto openInto = [&](TKvPixels& target) {
        JpegCodec codec;
        if (!codec.LoadFromFile(source) || codec.Width() != Width || !codec.CopyPixels(target)) {
            std::fprintf(stderr, "open failed: %s\n", codec.LastError().c_str());
            std::exit(1);
        }
    };
    if (!picture.SetFormat(PixelFormatBGR24, {0, 0, Width, Height}))
        return 1;
    openInto(picture);
    const auto [open, djpeg] = MedianSeconds([&] { openInto(picture); },
                                             [&] { RunOrDie("djpeg -outfile /dev/null '" + source.string() + "'"); });
    const double openFresh = WallSeconds([&] {
        TKvPixelBuffer fresh;
        if (!fresh.SetFormat(PixelFormatBGR24, {0, 0, Width, Height}))
            std::exit(1);
        openInto(fresh);
    });

    // The document turns its picture and its original along with the codec;
    // both are given to the save, which finds every block unchanged.
    JpegCodec codec;
    if (!codec.LoadFromFile(source)) {
        std::fprintf(stderr, "open failed: %s\n", codec.LastError().c_str());
        return 1;
    }
    codec.RotateRight();
    TKvPixelBuffer image;
    TKvPixelBuffer original;
    for (TKvPixelBuffer* buffer : {&image, &original})
        if (!buffer->SetFormat(PixelFormatBGR24, {0, 0, codec.Width(), codec.Height()}) || !codec.CopyPixels(*buffer))
            return 1;
    codec.RotateLeft();
    TJpegSaveParameters parameters;
    parameters.Picture = image;
    parameters.Original = original;
    auto turnAndSave = [&] {
        codec.RotateRight();
        const bool saved = codec.SaveToFile(ours, parameters);
        codec.FinishSave();
        codec.RotateLeft();
        if (!saved || !codec.LastSaveReport().FromCoefficients) {
            std::fprintf(stderr, "lossless save failed: %s\n", codec.LastError().c_str());
            std::exit(1);
        }
    };
    const auto [turned, jpegtran] = MedianSeconds(turnAndSave, [&] {
        RunOrDie("jpegtran -copy all -rotate 90 -outfile '" + theirs.string() + "' '" + source.string() + "'");
    });

    PrintComparison("open to pixels", open, "djpeg", djpeg, 1.3);
    std::printf("  (into a fresh picture: %.3f s)\n", openFresh);
    PrintComparison("lossless turn and save", turned, "jpegtran -rotate 90", jpegtran, 1.2);
    // Both write the standard Huffman tables: the same size.
    std::printf("output size: ours %.1f MB, jpegtran %.1f MB\n",
                double(std::filesystem::file_size(ours)) / 1e6, double(std::filesystem::file_size(theirs)) / 1e6);
    std::filesystem::remove_all(folder);
    return 0;
}
