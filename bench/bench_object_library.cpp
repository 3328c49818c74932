// The object library on a 24-megapixel photo whose object covers about 12
// megapixels, side by side with Python in the same run:
//   Save Object   BuildObjectEntry + WriteObjectEntry (JPEG at quality 90)
//                 vs Pillow's JPEG save of the same rectangle at quality 90
//                 plus zlib.compress (level 9) of the same matte text
//   load          TBGRWithAlpha::LoadObject of that entry
//                 vs Pillow's open and decode of the entry's JPEG plus
//                 zlib.decompress of its matte
//   list          LoadLibraryList over 1,000 entries (every thumbnail read)
//                 vs Python listing the folder and reading every .tmb
// Figures are wall-clock medians of several runs (the peer times itself
// inside Python, so its start-up is not counted); ours may use both cores.
#include "BGRAlpha.h"
#include "BenchClock.h"
#include "Clipping.h"
#include "Files.h"
#include "JpegEncode.h"
#include "ObjectEntry.h"
#include "PhotoScene.h"
#include "ThumbnailList.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

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

double RunPython(const fs::path& script, const std::string& arguments)
{
    const std::string command = "/usr/bin/python3 " + script.string() + " " + arguments;
    double seconds = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (std::fscanf(pipe, "%lf", &seconds) != 1)
            seconds = -1;
        pclose(pipe);
    }
    return seconds;
}

void WriteRaw(const fs::path& path, const TKvPixels& pixels)
{
    std::ofstream raw(path, std::ios::binary);
    for (int y = pixels.Top; y < pixels.Top + pixels.Height; ++y)
        raw.write(reinterpret_cast<const char*>(pixels.PixelAt(pixels.Left, y)), std::streamsize(pixels.Width) * 3);
}

void PrintComparison(const char* what, double ours, const char* peerName, double peer, double limit)
{
    std::printf("%s\n  ours                 %7.3f s (target < %.1f s)\n", what, ours, limit);
    if (peer > 0)
        std::printf("  %-20s %7.3f s\n  ratio ours/peer      %7.2f\n", peerName, peer, ours / peer);
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
    const TEntryJpegEncoder quality90 = [](const TKvPixels& cut, std::vector<std::uint8_t>& jpeg) {
        return EncodeJpegAtQuality(cut, 90, jpeg);
    };
    std::vector<double> saveTimes;
    std::string saved;
    for (int run = 0; run < Runs; ++run) {
        fs::remove_all(dir / "library");
        saveTimes.push_back(WallSeconds([&] {
            TObjectEntryFiles files;
            BuildObjectEntry(region, quality90, files);
            saved = WriteObjectEntry(dir / "library", files).Name;
        }));
    }
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
                                      "times = []\n"
                                      "for _ in range(runs):\n"
                                      "    t = time.perf_counter()\n"
                                      "    im.save(d + '/peer.jpg', quality=90)\n"
                                      "    open(d + '/peer.alp', 'wb').write(zlib.compress(text, 9))\n"
                                      "    times.append(time.perf_counter() - t)\n"
                                      "print(sorted(times)[len(times) // 2])\n";
    const double peerSave = RunPython(dir / "save.py", dir.string() + " " + std::to_string(bounds.Width()) + " "
                                                           + std::to_string(bounds.Height()) + " " + std::to_string(Runs));
    PrintComparison("Save Object (quality 90)", Median(saveTimes), "Pillow + zlib", peerSave, 1.5);

    // --- Loading the entry
    std::vector<double> loadTimes;
    for (int run = 0; run < Runs; ++run) {
        TBGRWithAlpha object;
        loadTimes.push_back(WallSeconds([&] {
            if (!object.LoadObject(dir / "library", saved))
                std::fprintf(stderr, "the entry did not load\n");
        }));
    }
    std::ofstream(dir / "load.py") << "import sys, time, zlib\n"
                                      "from PIL import Image\n"
                                      "base, runs = sys.argv[1], int(sys.argv[2])\n"
                                      "times = []\n"
                                      "for _ in range(runs):\n"
                                      "    t = time.perf_counter()\n"
                                      "    Image.open(base + '.jpg').load()\n"
                                      "    zlib.decompress(open(base + '.alp', 'rb').read())\n"
                                      "    times.append(time.perf_counter() - t)\n"
                                      "print(sorted(times)[len(times) // 2])\n";
    const double peerLoad = RunPython(dir / "load.py", (dir / "library" / saved).string() + " " + std::to_string(Runs));
    PrintComparison("Loading the entry", Median(loadTimes), "Pillow + zlib", peerLoad, 0.5);

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
    std::vector<double> listTimes;
    for (int run = 0; run < Runs; ++run) {
        TThumbnailList list(large);
        listTimes.push_back(WallSeconds([&] { LoadLibraryList(list); }));
        if (list.Count() != ListedEntries)
            std::fprintf(stderr, "listed %d entries\n", list.Count());
    }
    std::ofstream(dir / "list.py") << "import os, sys, time\n"
                                      "d, runs = sys.argv[1], int(sys.argv[2])\n"
                                      "times = []\n"
                                      "for _ in range(runs):\n"
                                      "    t = time.perf_counter()\n"
                                      "    for name in sorted(n for n in os.listdir(d) if n.endswith('.tmb')):\n"
                                      "        open(os.path.join(d, name), 'rb').read()\n"
                                      "    times.append(time.perf_counter() - t)\n"
                                      "print(sorted(times)[len(times) // 2])\n";
    const double peerList = RunPython(dir / "list.py", large.string() + " " + std::to_string(Runs));
    PrintComparison("Listing 1,000 entries", Median(listTimes), "Python read", peerList, 0.2);

    fs::remove_all(dir);
    return 0;
}
