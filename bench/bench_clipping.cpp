// The extraction engine on a 24-megapixel photo-like picture (a textured
// object on a textured background) with a 40-pixel band over the object's
// edge, as the clipping tool and orvane-cut run it:
//   Separate: the flood fill numbering the areas, GrowCut's Init, all
//   generations (with the cut line shown), the results written back;
//   Effect with each background effect; the blur preparation at radius 3 and
//   243, side by side with Pillow's BoxBlur of radius 243 (the peer);
//   Separate followed by a blur Effect once more in a process of its own, with
//   every array fresh (page faults included), and its peak memory.
// Times are CPU seconds on one core, medians of several runs.  Targets: Separate under
// 2 s, a blur Effect under 1 s, peak memory under 80 bytes per pixel.
#include "BenchClock.h"
#include "Clipping.h"
#include "PhotoScene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using photo_scene::Height;
using photo_scene::MakeScene;
using photo_scene::Width;
constexpr int Runs = 3;

// A copy of the picture with a region attached and the band painted, as the
// clipping tool has them when the user presses Separate.
struct TBandedPicture {
    TKvPixelBuffer picture;
    TMarkedRegion region;

    TBandedPicture(const TKvPixels& original, const TKvPixelMask& band)
    {
        picture.SetFormat(PixelFormatBGR24, original.GetBounds());
        picture.Assign(original);
        SetClippingLabelEffects(region);
        region.AttachImage(&picture);
        PaintBand(region, band.GetBounds(), band, LabelBand);
    }
};

// Resident memory of this process now and at its peak, in bytes.
std::pair<double, double> ResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    double now = 0;
    double peak = 0;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            now = std::atof(line.c_str() + 6) * 1024;
        if (line.rfind("VmHWM:", 0) == 0)
            peak = std::atof(line.c_str() + 6) * 1024;
    }
    return {now, peak};
}

// Separate followed by a blur Effect, as orvane-cut runs them, reporting the
// peak resident memory per pixel.
int MeasureMemory()
{
    std::unique_ptr<TBandedPicture> banded;
    {
        TKvPixelBuffer original;
        TKvPixelMask band;
        MakeScene(original, band);
        banded = std::make_unique<TBandedPicture>(original, band);
    }
    TMarkedRegion& region = banded->region;
    const auto [before, unused] = ResidentBytes();
    (void)unused;
    // Start the peak from what is resident now: the picture and the marks.
    std::ofstream("/proc/self/clear_refs") << "5";
    const double separate = CpuSeconds([&] {
        TSeparation separation(region);
        separation.RunGrowCut();
    });
    const double effect = CpuSeconds([&] { StartShowEffect(region, BackgroundBlur).Run(); });
    const auto [after, peak] = ResidentBytes();
    (void)after;
    const double pixels = double(Width) * Height;
    std::printf("Separate then blur Effect, once, in a fresh process (every array new):\n"
                "  Separate          %7.3f s\n"
                "  blur Effect       %7.3f s\n"
                "  resident before Separate %5.1f bytes per pixel (picture and marks touched so far)\n"
                "  resident at peak         %5.1f bytes per pixel (target < 80)\n",
                separate, effect, before / pixels, peak / pixels);
    return 0;
}

// Pillow's box blur of radius 243 on the same pixels, median seconds.
double PillowBoxBlur(const TKvPixels& picture)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path()
        / ("orvane-bench-clipping-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream raw(dir / "picture.raw", std::ios::binary);
        for (int y = 0; y < picture.Height; ++y)
            raw.write(reinterpret_cast<const char*>(picture.PixelAt(0, y)), std::streamsize(picture.Width) * 3);
    }
    std::ofstream(dir / "blur.py") << "import sys, time\n"
                                      "from PIL import Image, ImageFilter\n"
                                      "w, h = int(sys.argv[2]), int(sys.argv[3])\n"
                                      "im = Image.frombytes('RGB', (w, h), open(sys.argv[1], 'rb').read())\n"
                                      "times = []\n"
                                      "for _ in range(int(sys.argv[4])):\n"
                                      "    t = time.process_time(); im.filter(ImageFilter.BoxBlur(243))\n"
                                      "    times.append(time.process_time() - t)\n"
                                      "print(sorted(times)[len(times) // 2])\n";
    const std::string command = "/usr/bin/python3 " + (dir / "blur.py").string() + " " + (dir / "picture.raw").string()
        + " " + std::to_string(picture.Width) + " " + std::to_string(picture.Height) + " " + std::to_string(Runs);
    double seconds = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (std::fscanf(pipe, "%lf", &seconds) != 1)
            seconds = -1;
        pclose(pipe);
    }
    std::filesystem::remove_all(dir);
    return seconds;
}

struct SeparateTimes {
    std::vector<double> fill, init, generations, finish, total;
    int generationCount = 0;
};

// One Separate on a fresh region over a fresh copy of the picture.
void TimeSeparate(const TKvPixels& original, const TKvPixelMask& band, SeparateTimes& times)
{
    TBandedPicture banded(original, band);
    TMarkedRegion& region = banded.region;
    std::unique_ptr<TSeparation> separation;
    const double fill = CpuSeconds([&] { separation = std::make_unique<TSeparation>(region); });
    const double init = CpuSeconds([&] { separation->StartGrowCut(); });
    int count = 0;
    const double generations = CpuSeconds([&] {
        TDirtyTiles dirty;
        dirty.SetSize(Width, Height);
        while (separation->Step(dirty) > 0) {
            ++count;
            dirty.Clear();
        }
    });
    const double finish = CpuSeconds([&] { separation.reset(); });
    times.fill.push_back(fill);
    times.init.push_back(init);
    times.generations.push_back(generations);
    times.finish.push_back(finish);
    times.total.push_back(fill + init + generations + finish);
    times.generationCount = count;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--memory") == 0)
        return MeasureMemory();

    TKvPixelBuffer original;
    TKvPixelMask band;
    MakeScene(original, band);
    const auto bandPixels = std::count_if(band.Data.begin(), band.Data.end(), [](std::uint8_t v) { return v != 0; });
    std::printf("picture %d x %d (%.1f megapixels), band %.2f%% of it\n", Width, Height, Width * double(Height) / 1e6,
                100.0 * double(bandPixels) / (double(Width) * Height));

    SeparateTimes separate;
    for (int run = 0; run < Runs; ++run)
        TimeSeparate(original, band, separate);
    std::printf("Separate (median of %d):\n"
                "  flood fill            %7.3f s\n"
                "  GrowCut Init          %7.3f s\n"
                "  %4d generations      %7.3f s\n"
                "  results and clearing  %7.3f s\n"
                "  Separate in all       %7.3f s  (target < 2 s, %.0f%% of it)\n",
                Runs, Median(separate.fill), Median(separate.init), separate.generationCount,
                Median(separate.generations), Median(separate.finish), Median(separate.total),
                100 * Median(separate.total) / 2);

    // The separated state, kept to start every Effect from it.
    TBandedPicture banded(original, band);
    TKvPixelBuffer& picture = banded.picture;
    TMarkedRegion& region = banded.region;
    {
        TSeparation separation(region);
        separation.RunGrowCut();
    }
    const TRect all{0, 0, Width, Height};
    TKvPixelBuffer separatedPicture;
    separatedPicture.SetFormat(PixelFormatBGR24, all);
    separatedPicture.Assign(picture);
    TMarkedPointArray separatedMarks;
    separatedMarks.SetSize(Width, Height);
    TLabelCounts separatedCounts{};
    region.CopyCurrent(separatedCounts, all, separatedMarks);
    region.SetBackgroundColor(0xFFFFFF);
    region.SetMonochromeColor(0xFFFFFF);
    region.SetShadowLevel(3);
    region.SetBlurLevel(3);

    std::printf("Effect (median of %d, from the separated state):\n", Runs);
    const char* names[] = {"colour", "shadow", "blur (radius 27)", "monochrome"};
    for (int effect = BackgroundColor; effect <= BackgroundMonochrome; ++effect) {
        std::vector<double> times;
        for (int run = 0; run < Runs; ++run) {
            picture.Assign(separatedPicture);
            region.RestoreCurrent(separatedCounts, all, separatedMarks);
            times.push_back(CpuSeconds([&] { StartShowEffect(region, effect).Run(); }));
        }
        std::printf("  %-18s %7.3f s%s\n", names[effect], Median(times),
                    effect == BackgroundBlur ? "  (target < 1 s)" : "");
    }

    std::printf("blur preparation (median of %d):\n", Runs);
    double ours = 0; // at radius 243
    for (const int level : {1, 5}) {
        region.SetBlurLevel(level);
        std::vector<double> times;
        for (int run = 0; run < Runs; ++run)
            times.push_back(CpuSeconds([&] { region.PrepareEffect(BackgroundBlur); }));
        ours = Median(times);
        std::printf("  radius %3d           %7.3f s\n", region.BlurRadius(), ours);
    }
    const double pillow = PillowBoxBlur(original);
    if (pillow > 0)
        std::printf("  Pillow BoxBlur(243)  %7.3f s\n  ratio ours/Pillow    %7.2f\n", pillow, ours / pillow);
    else
        std::printf("  Pillow BoxBlur(243)  not measured (is python3-pil installed?)\n");
    std::fflush(stdout);

    // Peak memory in a process of its own, so that this one's copies do not count.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    return std::system((self + " --memory").c_str()) == 0 ? 0 : 1;
}
