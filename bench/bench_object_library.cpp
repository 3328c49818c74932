// The object library on a 24-megapixel photo whose object covers about 12
// megapixels, side by side with Python in the same run:
//   Save Object   SaveObjectToLibrary, as the editor's Save Object and
//                 orvane-cut call it (JPEG at quality 90)
//                 vs Pillow's JPEG save of the same rectangle at quality 90
//                 plus zlib.compress (level 9) of the same matte text
//   load          TBGRWithAlpha::LoadObject of that entry
//                 vs Pillow's open and decode of the entry's JPEG plus
//                 zlib.decompress of its matte
//   list          LoadLibraryList over 1,000 entries (every thumbnail read)
//                 vs Python listing the folder and reading every .tmb
// Figures are wall-clock medians of several runs (the peer times itself
// inside Python, so its start-up is not counted); ours may use both cores.
// The CPU seconds of both (every thread) are printed beside: on a machine
// busy with other work, wall time follows them.
#include "BGRAlpha.h"
#include "BenchClock.h"
#include "Clipping.h"
#include "Files.h"
#include "KvObjectLibrary.h"
#include "ObjectEntry.h"
#include "PhotoScene.h"
#include "ThumbnailList.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int Runs = 5;
constexpr int ListedEntries = 1000;

// Labels the object: an ellipse of about 12 megapixels; every other pixel
// is background shown with the colour effect, as after Effect.
void LabelObject(TMarkedRegion& region)
{
    region.PrepareEffect(BackgroundColor);
    const double cx = photo_scene::Width / 2.0;
    const double cy = photo_scene::Height / 2.0;
    const double a = photo_scene::Width * 0.4;
    const double b = photo_scene::Height * 0.4;
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y) {
            const double dx = (x - cx) / a;
            const double dy = (y - cy) / b;
            region.SetLabel(x, y, dx * dx + dy * dy <= 1 ? ObjectSegment : BackgroundBase + FirstSegment);
        }
}

struct TSeconds {
    double Wall = -1;
    double Cpu = -1;
};

// The peer's medians: it prints its wall and CPU seconds.
TSeconds RunPython(const fs::path& script, const std::string& arguments)
{
    const std::string command = "/usr/bin/python3 " + script.string() + " " + arguments;
    TSeconds seconds;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (std::fscanf(pipe, "%lf %lf", &seconds.Wall, &seconds.Cpu) != 2)
            seconds = {};
        pclose(pipe);
    }
    return seconds;
}

// The CPU seconds of every thread of this process so far.
double ProcessCpuNow()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// The medians of our runs of the work.
TSeconds Measure(const std::function<void()>& work)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < Runs; ++run) {
        const double start = ProcessCpuNow();
        wall.push_back(WallSeconds(work));
        cpu.push_back(ProcessCpuNow() - start);
    }
    return {Median(wall), Median(cpu)};
}

// Times each run of the loop body and prints the wall and CPU medians.
const char* const PythonTiming = "times, cpus = [], []\n"
                                 "for _ in range(runs):\n"
                                 "    t, c = time.perf_counter(), time.process_time()\n"
                                 "    work()\n"
                                 "    times.append(time.perf_counter() - t)\n"
                                 "    cpus.append(time.process_time() - c)\n"
                                 "print(sorted(times)[len(times) // 2], sorted(cpus)[len(cpus) // 2])\n";

void WriteRaw(const fs::path& path, const TKvPixels& pixels)
{
    std::ofstream raw(path, std::ios::binary);
    for (int y = pixels.Top; y < pixels.Top + pixels.Height; ++y)
        raw.write(reinterpret_cast<const char*>(pixels.PixelAt(pixels.Left, y)), std::streamsize(pixels.Width) * 3);
}

void PrintComparison(const char* what, const TSeconds& ours, const char* peerName, const TSeconds& peer, double limit)
{
    std::printf("%s\n  ours                 %7.3f s, CPU %.3f s (target < %.1f s)\n", what, ours.Wall, ours.Cpu, limit);
    if (peer.Wall > 0)
        std::printf("  %-20s %7.3f s, CPU %.3f s\n  ratio ours/peer      %7.2f (CPU %.2f)\n", peerName, peer.Wall,
                    peer.Cpu, ours.Wall / peer.Wall, ours.Cpu / peer.Cpu);
    else
        std::printf("  %-20s not measured (are python3 and python3-pil installed?)\n", peerName);
}

} // namespace

int main()
{
    const fs::path dir = fs::temp_directory_path() / ("orvane-bench-library-" + std::to_string(getpid()));
    fs::create_directories(dir);

    TKvPixelBuffer picture;
    TKvPixelMask band;
    photo_scene::MakeScene(picture, band);
    TMarkedRegion region;
    SetClippingLabelEffects(region);
    region.AttachImage(&picture);
    LabelObject(region);
    const TRect bounds = ObjectBounds(region);
    std::printf("picture %d x %d, object %.1f megapixels in a %d x %d rectangle\n", picture.Width, picture.Height,
                double(region.CountOf(ObjectSegment)) / 1e6, bounds.Width(), bounds.Height());

    // --- Save Object
    const TEntryJpegEncoder quality90 = EntryJpegEncoder(nullptr, nullptr, 90);
    std::string saved;
    const TSeconds ourSave = Measure([&] {
        saved = SaveObjectToLibrary(region, quality90, dir / "library").Name.toStdString();
    });
    // The peer gets the same rectangle and the same matte text, made
    // before its clock starts.
    TKvPixels cut;
    cut.Init(bounds, picture.PixelAt(bounds.Left, bounds.Top), PixelFormatBGR24, picture.Stride);
    WriteRaw(dir / "cut.raw", cut);
    {
        TAlphaChanal matte;
        BuildObjectMatte(region, matte);
        std::ofstream(dir / "matte.txt", std::ios::binary) << matte.SaveToText();
    }
    std::ofstream(dir / "save.py") << "import sys, time, zlib\n"
                                      "from PIL import Image\n"
                                      "d, w, h, runs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])\n"
                                      "im = Image.frombytes('RGB', (w, h), open(d + '/cut.raw', 'rb').read(), 'raw', 'BGR')\n"
                                      "text = open(d + '/matte.txt', 'rb').read()\n"
                                      "def work():\n"
                                      "    im.save(d + '/peer.jpg', quality=90)\n"
                                      "    open(d + '/peer.alp', 'wb').write(zlib.compress(text, 9))\n"
                                   << PythonTiming;
    const TSeconds peerSave = RunPython(dir / "save.py", dir.string() + " " + std::to_string(bounds.Width()) + " "
                                                           + std::to_string(bounds.Height()) + " " + std::to_string(Runs));
    PrintComparison("Save Object (quality 90)", ourSave, "Pillow + zlib", peerSave, 1.5);

    // --- Loading the entry
    const TSeconds ourLoad = Measure([&] {
        TBGRWithAlpha object;
        if (!object.LoadObject(dir / "library", saved))
            std::fprintf(stderr, "the entry did not load\n");
    });
    std::ofstream(dir / "load.py") << "import sys, time, zlib\n"
                                      "from PIL import Image\n"
                                      "base, runs = sys.argv[1], int(sys.argv[2])\n"
                                      "def work():\n"
                                      "    Image.open(base + '.jpg').load()\n"
                                      "    zlib.decompress(open(base + '.alp', 'rb').read())\n"
                                   << PythonTiming;
    const TSeconds peerLoad = RunPython(dir / "load.py", (dir / "library" / saved).string() + " " + std::to_string(Runs));
    PrintComparison("Loading the entry", ourLoad, "Pillow + zlib", peerLoad, 0.5);

    // --- Listing 1,000 entries
    const fs::path large = dir / "large";
    fs::create_directories(large);
    std::vector<std::uint8_t> tmb;
    ReadEntryFile(EntryFile(dir / "library", saved, ".tmb"), TThumbnail::MaxFileBytes, tmb);
    for (int i = 1; i <= ListedEntries; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%06d", i);
        std::ofstream(EntryFile(large, name, ".tmb"), std::ios::binary)
            .write(reinterpret_cast<const char*>(tmb.data()), std::streamsize(tmb.size()));
        std::ofstream(EntryFile(large, name, ".alp")) << "x";
        std::ofstream(EntryFile(large, name, ".jpg")) << "x";
    }
    const TSeconds ourList = Measure([&] {
        TThumbnailList list(large);
        LoadLibraryList(list);
        if (list.Count() != ListedEntries)
            std::fprintf(stderr, "listed %d entries\n", list.Count());
    });
    std::ofstream(dir / "list.py") << "import os, sys, time\n"
                                      "d, runs = sys.argv[1], int(sys.argv[2])\n"
                                      "def work():\n"
                                      "    for name in sorted(n for n in os.listdir(d) if n.endswith('.tmb')):\n"
                                      "        open(os.path.join(d, name), 'rb').read()\n"
                                   << PythonTiming;
    const TSeconds peerList = RunPython(dir / "list.py", large.string() + " " + std::to_string(Runs));
    PrintComparison("Listing 1,000 entries", ourList, "Python read", peerList, 0.2);

    fs::remove_all(dir);
    return 0;
}
