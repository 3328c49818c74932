// The extraction engine on a 24-megapixel photo-like picture (a textured
// object on a textured background) with a 40-pixel band over the object's
// edge, as the clipping tool and orvane-cut run it, on one thread and on
// every core side by side:
//   Separate: the flood fill numbering the areas, GrowCut's Init, all
//   generations (with the cut line shown), the results written back;
//   Effect with each background effect; the blur preparation at radius 27
//   and 243, side by side with Pillow's BoxBlur of radius 243 (the peer);
//   Separate followed by a blur Effect once more in a process of its own, with
//   every array fresh (page faults included), and its peak memory.
// Times are wall seconds, medians of several runs, with the load average
// beside them (other work on the machine stretches them).  Targets: Separate
// under 2 s on one thread, a blur Effect under 1 s, peak memory under 80
// bytes per pixel; on two cores Separate at most 0.65 and the blur Effect at
// most 0.6 times their one-thread times.
#include "BenchClock.h"
#include "Clipping.h"
#include "PhotoScene.h"
#include "WorkerPool.h"

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

    TBandedPicture(const TKvPixels& original, const TKvPixelMask& band, TWorkerPool* pool)
    {
        picture.SetFormat(PixelFormatBGR24, original.GetBounds());
        picture.Assign(original);
        SetClippingLabelEffects(region);
        region.SetWorkerPool(pool);
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

// The load average of the last minute.
double LoadAverage()
{
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

// Separate followed by a blur Effect, as orvane-cut runs them on every core,
// reporting the peak resident memory per pixel.
int MeasureMemory()
{
    TWorkerPool pool;
    std::unique_ptr<TBandedPicture> banded;
    {
        TKvPixelBuffer original;
        TKvPixelMask band;
        MakeScene(original, band);
        banded = std::make_unique<TBandedPicture>(original, band, &pool);
    }
    TMarkedRegion& region = banded->region;
    const auto [before, unused] = ResidentBytes();
    (void)unused;
    // Start the peak from what is resident now: the picture and the marks.
    std::ofstream("/proc/self/clear_refs") << "5";
    const double separate = WallSeconds([&] {
        TSeparation separation(region);
        separation.RunGrowCut();
    });
    const double effect = WallSeconds([&] { StartShowEffect(region, BackgroundBlur).Run(); });
    const auto [after, peak] = ResidentBytes();
    (void)after;
    const double pixels = double(Width) * Height;
    std::printf("Separate then blur Effect, once, in a fresh process (every array new), %d threads:\n"
                "  Separate          %7.3f s\n"
                "  blur Effect       %7.3f s\n"
                "  resident before Separate %5.1f bytes per pixel (picture and marks touched so far)\n"
                "  resident at peak         %5.1f bytes per pixel (target < 80)\n",
                pool.Threads(), separate, effect, before / pixels, peak / pixels);
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
void TimeSeparate(const TKvPixels& original, const TKvPixelMask& band, TWorkerPool* pool, SeparateTimes& times)
{
    TBandedPicture banded(original, band, pool);
    TMarkedRegion& region = banded.region;
    std::unique_ptr<TSeparation> separation;
    const double fill = WallSeconds([&] { separation = std::make_unique<TSeparation>(region); });
    const double init = WallSeconds([&] { separation->StartGrowCut(); });
    int count = 0;
    const double generations = WallSeconds([&] {
        TDirtyTiles dirty;
        dirty.SetSize(Width, Height);
        while (separation->Step(dirty) > 0) {
            ++count;
            dirty.Clear();
        }
    });
    const double finish = WallSeconds([&] { separation.reset(); });
    times.fill.push_back(fill);
    times.init.push_back(init);
    times.generations.push_back(generations);
    times.finish.push_back(finish);
    times.total.push_back(fill + init + generations + finish);
    times.generationCount = count;
}

// The engine's times with the threads of one pool (none: one thread).
struct EngineTimes {
    SeparateTimes separate;
    double effects[4] = {};
    double blur27 = 0;
    double blur243 = 0;
    double load = 0; // the load average when they were taken
};

EngineTimes TimeEngine(const TKvPixels& original, const TKvPixelMask& band, TWorkerPool* pool)
{
    EngineTimes times;
    times.load = LoadAverage();
    for (int run = 0; run < Runs; ++run)
        TimeSeparate(original, band, pool, times.separate);

    // The separated state, kept to start every Effect from it.
    TBandedPicture banded(original, band, pool);
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
    for (int effect = BackgroundColor; effect <= BackgroundMonochrome; ++effect) {
        std::vector<double> runs;
        for (int run = 0; run < Runs; ++run) {
            picture.Assign(separatedPicture);
            region.RestoreCurrent(separatedCounts, all, separatedMarks);
            runs.push_back(WallSeconds([&] { StartShowEffect(region, effect).Run(); }));
        }
        times.effects[effect] = Median(runs);
    }
    for (const int level : {3, 5}) {
        region.SetBlurLevel(level);
        std::vector<double> runs;
        for (int run = 0; run < Runs; ++run)
            runs.push_back(WallSeconds([&] { region.PrepareEffect(BackgroundBlur); }));
        (level == 3 ? times.blur27 : times.blur243) = Median(runs);
    }
    return times;
}

void PrintRow(const char* name, double one, double all)
{
    std::printf("  %-22s %8.3f s %8.3f s   %5.2f x  (all cores take %.2f of one thread's time)\n", name, one, all,
                one / all, all / one);
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

    TWorkerPool pool;
    const EngineTimes one = TimeEngine(original, band, nullptr);
    const EngineTimes all = TimeEngine(original, band, &pool);
    std::printf("wall seconds, median of %d; 1 thread (load average %.2f) against %d threads (load average %.2f):\n",
                Runs, one.load, pool.Threads(), all.load);
    PrintRow("Separate: flood fill", Median(one.separate.fill), Median(all.separate.fill));
    PrintRow("  GrowCut Init", Median(one.separate.init), Median(all.separate.init));
    char generations[64];
    std::snprintf(generations, sizeof generations, "  %d generations", one.separate.generationCount);
    PrintRow(generations, Median(one.separate.generations), Median(all.separate.generations));
    PrintRow("  results, clearing", Median(one.separate.finish), Median(all.separate.finish));
    PrintRow("Separate in all", Median(one.separate.total), Median(all.separate.total));
    const char* names[] = {"Effect colour", "Effect shadow", "Effect blur (r 27)", "Effect monochrome"};
    for (int effect = BackgroundColor; effect <= BackgroundMonochrome; ++effect)
        PrintRow(names[effect], one.effects[effect], all.effects[effect]);
    PrintRow("blur preparation r 27", one.blur27, all.blur27);
    PrintRow("blur preparation r 243", one.blur243, all.blur243);
    std::printf("  targets: Separate under 2 s on one thread; blur Effect under 1 s;\n"
                "  on 2 cores Separate at most 0.65 x and blur Effect at most 0.6 x one thread's time\n");

    const double pillow = PillowBoxBlur(original);
    if (pillow > 0)
        std::printf("Pillow BoxBlur(243)      %8.3f s CPU; ours/Pillow on one thread %.2f, on all cores %.2f\n",
                    pillow, one.blur243 / pillow, all.blur243 / pillow);
    else
        std::printf("Pillow BoxBlur(243)  not measured (is python3-pil installed?)\n");
    std::printf("load average now %.2f\n", LoadAverage());
    std::fflush(stdout);

    // Peak memory in a process of its own, so that this one's copies do not count.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    return std::system((self + " --memory").c_str()) == 0 ? 0 : 1;
}
