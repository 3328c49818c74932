// Pasting a library object into a 24-megapixel photo, side by side with
// Pillow in the same run:
//   commit   RenderPaste with the Hermite filter of a 3000 x 2000 object
//            (a soft-edged ellipse) stretched over the whole picture and
//            turned by 30 degrees
//            vs Pillow: rotate (bicubic) + resize to the picture (bicubic) +
//            paste with the object's alpha as mask, the same object
//   preview  one live-preview frame while the rectangle is dragged, in the
//            editor at best fit in a 1600 x 1000 window: the view repainted
//            where the rectangle moved (no peer; target under 33 ms)
// Figures are wall-clock medians of several runs (the peer times itself
// inside Python, so its start-up is not counted); ours may use both cores.
#include "BenchClock.h"
#include "KvForms.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvScrollTool.h"
#include "PasteRender.h"
#include "PhotoScene.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// The processor time of every thread of the process so far.
double ProcessCpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

constexpr int Runs = 5;
constexpr int ObjectWidth = 3000;
constexpr int ObjectHeight = 2000;
constexpr int Rotation = 30;

// A warm, shaded ellipse with a soft rim filling most of its rectangle.
void MakeObject(TBGRWithAlpha& object)
{
    object.SetSize(ObjectWidth, ObjectHeight);
    const double cx = (ObjectWidth - 1) / 2.0;
    const double cy = (ObjectHeight - 1) / 2.0;
    for (int x = 0; x < ObjectWidth; ++x)
        for (int y = 0; y < ObjectHeight; ++y) {
            const double r = std::hypot((x - cx) / (cx * 0.8), (y - cy) / (cy * 0.8));
            const int alpha = std::clamp(int((1.05 - r) * 20 * 255), 0, 255);
            object.SetAlpha(x, y, std::uint8_t(alpha));
            const unsigned grain = photo_scene::Hash(x, y) % 24;
            object.SetColor(x, y, RGBToTriple(std::uint8_t(200 + grain / 2), std::uint8_t(120 + grain), std::uint8_t(40 + (x % 97))));
        }
}

void WriteRaw(const fs::path& path, const TKvPixels& pixels)
{
    std::ofstream raw(path, std::ios::binary);
    for (int y = pixels.Top; y < pixels.Top + pixels.Height; ++y)
        raw.write(reinterpret_cast<const char*>(pixels.PixelAt(pixels.Left, y)), std::streamsize(pixels.Width) * 3);
}

// The object as raw RGBA, row by row.
void WriteObjectRaw(const fs::path& path, const TBGRWithAlpha& object)
{
    std::ofstream raw(path, std::ios::binary);
    std::vector<char> row(std::size_t(object.Width()) * 4);
    for (int y = 0; y < object.Height(); ++y) {
        for (int x = 0; x < object.Width(); ++x) {
            const TColorTriple c = object.GetColor(x, y);
            char* p = row.data() + std::size_t(x) * 4;
            p[0] = char(c.Red);
            p[1] = char(c.Green);
            p[2] = char(c.Blue);
            p[3] = char(object.GetAlpha(x, y));
        }
        raw.write(row.data(), std::streamsize(row.size()));
    }
}

const char* PillowPaste = R"(
import sys, time
from PIL import Image
picture_path, object_path, width, height, ow, oh, angle, runs = sys.argv[1:9]
width, height, ow, oh, angle, runs = int(width), int(height), int(ow), int(oh), int(angle), int(runs)
picture = Image.frombytes('RGB', (width, height), open(picture_path, 'rb').read(), 'raw', 'BGR')
obj = Image.frombytes('RGBA', (ow, oh), open(object_path, 'rb').read())
times = []
cpu = []
for _ in range(runs):
    target = picture.copy()
    start = time.perf_counter()
    cpu_start = time.process_time()
    turned = obj.rotate(-angle, resample=Image.BICUBIC)
    stretched = turned.resize((width, height), Image.BICUBIC)
    target.paste(stretched, (0, 0), stretched)
    times.append(time.perf_counter() - start)
    cpu.append(time.process_time() - cpu_start)
times.sort()
cpu.sort()
print(times[len(times) // 2], cpu[len(cpu) // 2])
)";

// The peer's wall-clock and processor seconds; -1 when it did not run.
std::pair<double, double> RunPython(const fs::path& script, const std::string& arguments)
{
    const std::string command = "/usr/bin/python3 " + script.string() + " " + arguments;
    double seconds = -1;
    double cpu = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (std::fscanf(pipe, "%lf %lf", &seconds, &cpu) != 2)
            seconds = cpu = -1;
        pclose(pipe);
    }
    return {seconds, cpu};
}

void PrintComparison(const char* what, double ours, const char* peerName, double peer, const char* target)
{
    std::printf("%s\n  ours                 %7.3f s   (target %s)\n", what, ours, target);
    if (peer > 0)
        std::printf("  %-20s %7.3f s\n  ratio ours/peer      %7.2f\n", peerName, peer, ours / peer);
    else
        std::printf("  %-20s not measured (are python3 and python3-pil installed?)\n", peerName);
}

void BenchCommit(const fs::path& dir)
{
    TKvPixelBuffer picture;
    TKvPixelMask band;
    photo_scene::MakeScene(picture, band);
    TBGRWithAlpha object;
    MakeObject(object);
    const TPastePlacement placement{picture.GetBounds(), Rotation, false, false};

    std::vector<double> times;
    std::vector<double> cpu;
    TKvPixelBuffer target;
    for (int run = 0; run < Runs; ++run) {
        target.SetFormat(PixelFormatBGR24, picture.GetBounds());
        target.Assign(picture);
        const double cpuStart = ProcessCpuNow();
        times.push_back(WallSeconds([&] { RenderPaste(target, object, placement, pfHermite); }));
        cpu.push_back(ProcessCpuNow() - cpuStart);
    }
    std::printf("(ours: %.3f s of processor time on all cores)\n", Median(cpu));

    const fs::path script = dir / "paste.py";
    std::ofstream(script) << PillowPaste;
    WriteRaw(dir / "picture.bgr", picture);
    WriteObjectRaw(dir / "object.rgba", object);
    const auto [peer, peerCpu] = RunPython(script, (dir / "picture.bgr").string() + " " + (dir / "object.rgba").string() + " "
                                              + std::to_string(picture.Width) + " " + std::to_string(picture.Height)
                                              + " " + std::to_string(ObjectWidth) + " "
                                              + std::to_string(ObjectHeight) + " " + std::to_string(Rotation) + " "
                                              + std::to_string(Runs));
    std::printf("picture %d x %d, object %d x %d turned by %d degrees over the whole picture\n", picture.Width,
                picture.Height, ObjectWidth, ObjectHeight, Rotation);
    std::printf("(Pillow: %.3f s of processor time)\n", peerCpu);
    PrintComparison("Committed paste (Hermite)", Median(times), "Pillow", peer, "<= 0.7 x Pillow, < 1 s");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qt(argc, argv);
    const fs::path dir = fs::temp_directory_path() / ("orvane-bench-paste-" + std::to_string(getpid()));
    fs::create_directories(dir);
    BenchCommit(dir);
    fs::remove_all(dir);
    return 0;
}
