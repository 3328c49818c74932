// Lanczos resampling of a 24-megapixel 24-bit picture: ResamplePixels against
// Pillow's LANCZOS filter on the same pixels, both on one core.
//
// The generated picture is written to a temporary raw file that Pillow reads,
// so both sides resize identical input; each side times only the resize
// (best of a few runs).  Pillow's result is handed back the same way and
// compared with ours, to show the two compute the same thing.
#include "BenchClock.h"
#include "KvBitmap.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int SourceWidth = 6000;
constexpr int SourceHeight = 4000;
constexpr int Runs = 3;

const char* const PillowScript = R"(
import sys, time
from PIL import Image
source, target, width, height, new_width, new_height, runs = sys.argv[1:8]
with open(source, 'rb') as f:
    picture = Image.frombytes('RGB', (int(width), int(height)), f.read(), 'raw', 'BGR')
best = None
for _ in range(int(runs)):
    start = time.perf_counter()
    result = picture.resize((int(new_width), int(new_height)), Image.LANCZOS)
    elapsed = time.perf_counter() - start
    best = elapsed if best is None else min(best, elapsed)
with open(target, 'wb') as f:
    f.write(result.tobytes('raw', 'BGR'))
print(best)
)";

// A photograph-like picture: smooth gradients, hard edges and noise.
void Generate(TKvPixelBuffer& picture)
{
    if (!picture.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, SourceWidth, SourceHeight)))
        throw std::runtime_error("cannot allocate the source picture");
    std::mt19937 random(42);
    for (int y = 0; y < SourceHeight; ++y) {
        uint8_t* p = picture.PixelAt(0, y);
        for (int x = 0; x < SourceWidth; ++x, p += 3) {
            const int noise = int(random() % 32);
            const bool block = ((x / 97) + (y / 89)) % 2 == 0;
            p[0] = uint8_t(x * 255 / SourceWidth / 2 + noise + (block ? 80 : 0));
            p[1] = uint8_t(y * 255 / SourceHeight / 2 + noise);
            p[2] = uint8_t((x + y) % 256 / 2 + noise + (block ? 0 : 90));
        }
    }
}

void WriteRaw(const std::filesystem::path& path, const TKvPixels& picture)
{
    std::ofstream out(path, std::ios::binary);
    for (int y = 0; y < picture.Height; ++y)
        out.write(reinterpret_cast<const char*>(picture.PixelAt(0, y)), std::streamsize(picture.Width) * 3);
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::vector<uint8_t> ReadRaw(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double TimeOurs(const TKvPixels& source, TKvPixelBuffer& dest, int width, int height)
{
    if (!dest.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, width, height)))
        throw std::runtime_error("cannot allocate the destination picture");
    const TLanczosResampler lanczos;
    double best = 1e30;
    for (int run = 0; run < Runs; ++run) {
        best = std::min(best, WallSeconds([&] {
            ResamplePixels(dest, dest.GetBounds(), dest.GetBounds(), lanczos, source.GetBounds(), source);
        }));
    }
    return best;
}

double TimePillow(const std::filesystem::path& dir, int width, int height)
{
    const std::filesystem::path script = dir / "resize.py";
    std::ofstream(script) << PillowScript;
    const std::string command = "/usr/bin/python3 " + script.string() + " " + (dir / "source.raw").string()
                              + " " + (dir / "pillow.raw").string() + " " + std::to_string(SourceWidth) + " "
                              + std::to_string(SourceHeight) + " " + std::to_string(width) + " "
                              + std::to_string(height) + " " + std::to_string(Runs);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start Python");
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    if (pclose(pipe) != 0 || !read)
        throw std::runtime_error("Pillow failed (is python3-pil installed?)");
    return std::atof(line);
}

// Largest and mean absolute difference between our bytes and Pillow's.
void Compare(const TKvPixels& ours, const std::vector<uint8_t>& theirs)
{
    const std::size_t rowBytes = std::size_t(ours.Width) * 3;
    if (theirs.size() != rowBytes * ours.Height) {
        std::printf("  Pillow's result has an unexpected size\n");
        return;
    }
    int largest = 0;
    double total = 0;
    for (int y = 0; y < ours.Height; ++y) {
        const uint8_t* a = ours.PixelAt(0, y);
        const uint8_t* b = &theirs[rowBytes * y];
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int d = std::abs(int(a[i]) - int(b[i]));
            largest = std::max(largest, d);
            total += d;
        }
    }
    std::printf("  difference to Pillow: mean %.3f, largest %d (per byte)\n", total / (rowBytes * ours.Height),
                largest);
}

void Measure(const char* name, const TKvPixels& source, const std::filesystem::path& dir, int width, int height)
{
    TKvPixelBuffer dest;
    const double ours = TimeOurs(source, dest, width, height);
    const double pillow = TimePillow(dir, width, height);
    std::printf("%-22s %dx%d -> %dx%d\n", name, SourceWidth, SourceHeight, width, height);
    std::printf("  ResamplePixels  %8.3f s\n  Pillow LANCZOS  %8.3f s\n  ratio ours/Pillow %.2f\n", ours, pillow,
                ours / pillow);
    Compare(dest, ReadRaw(dir / "pillow.raw"));
    std::fflush(stdout);
}

} // namespace

int main()
{
    const QTemporaryDir temporary;
    if (!temporary.isValid()) {
        std::fprintf(stderr, "bench_resample: no temporary folder\n");
        return 1;
    }
    const std::filesystem::path dir = temporary.path().toStdString();
    int status = 0;
    try {
        TKvPixelBuffer source;
        Generate(source);
        WriteRaw(dir / "source.raw", source);
        std::printf("Lanczos resampling, best of %d runs, one core\n", Runs);
        Measure("half size", source, dir, SourceWidth / 2, SourceHeight / 2);
        Measure("one and a half times", source, dir, SourceWidth * 3 / 2, SourceHeight * 3 / 2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_resample: %s\n", e.what());
        status = 1;
    }
    return status;
}
