// orvane-cut end to end on a 24-megapixel photo-like JPEG with a 40-pixel
// band, JPEG out (`orvane-cut photo.jpg band.png --effect color --out
// cut.jpg`), with every core and with --threads 1, side by side in the same
// run with `djpeg | cjpeg` of the same picture: the floor for any tool that
// must decode and encode it. Prints wall seconds (medians), the ratio to the
// floor, the load average beside each, and orvane-cut's peak resident memory
// per pixel. Targets: under 1 s with all cores on the 2-core machine, at most
// 4 x the floor, under 20 bytes per pixel.
#include "BenchClock.h"
#include "JpegEncode.h"
#include "PhotoScene.h"

#include <QImage>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using photo_scene::Height;
using photo_scene::MakeScene;
using photo_scene::Width;
constexpr int Runs = 3;

double LoadAverage()
{
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

struct TProcessRun {
    double seconds = -1;
    double peakBytes = 0;
};

// Runs the command line (no shell unless it is one), waiting for it;
// seconds -1 when it failed.
TProcessRun RunProcess(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    TProcessRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakBytes = double(usage.ru_maxrss) * 1024;
    return run;
}

struct TSeries {
    std::vector<double> seconds;
    double peakBytes = 0;
    double load = 0;
};

} // namespace

// With a folder given, the photo and the band are left in it for other
// measurements (perf, /usr/bin/time -v).
int main(int argc, char* argv[])
{
    const bool keep = argc > 1;
    const std::filesystem::path dir = keep ? std::filesystem::path(argv[1])
                                           : std::filesystem::temp_directory_path()
            / ("orvane-bench-cut-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string photo = (dir / "photo.jpg").string();
    const std::string band = (dir / "band.png").string();
    {
        TKvPixelBuffer picture;
        TKvPixelMask mask;
        MakeScene(picture, mask);
        std::vector<std::uint8_t> jpeg;
        if (!EncodeJpegAtQuality(picture, 90, jpeg)) {
            std::fprintf(stderr, "cannot encode the photo\n");
            return 1;
        }
        std::ofstream(photo, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                      std::streamsize(jpeg.size()));
        QImage bandImage(mask.Data.data(), Width, Height, Width, QImage::Format_Grayscale8);
        if (!bandImage.save(QString::fromStdString(band))) {
            std::fprintf(stderr, "cannot write the band\n");
            return 1;
        }
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    const std::string cut = self + "/orvane-cut";
    const std::string out = (dir / "cut.jpg").string();
    const std::string floorCommand = "/usr/bin/djpeg " + photo + " | /usr/bin/cjpeg -quality 90 > "
        + (dir / "floor.jpg").string();

    const std::vector<std::vector<std::string>> commands = {
        {"/bin/sh", "-c", floorCommand},
        {cut, photo, band, "--effect", "color", "--out", out},
        {cut, photo, band, "--effect", "color", "--out", out, "--threads", "1"},
    };
    std::vector<TSeries> series(commands.size());
    // Interleaved, so that a change of load falls on all three alike.
    for (int run = 0; run < Runs; ++run)
        for (std::size_t i = 0; i < commands.size(); ++i) {
            series[i].load += LoadAverage() / Runs;
            const TProcessRun result = RunProcess(commands[i]);
            if (result.seconds < 0) {
                std::fprintf(stderr, "failed: %s\n", commands[i][0].c_str());
                if (!keep)
                    std::filesystem::remove_all(dir);
                return 1;
            }
            series[i].seconds.push_back(result.seconds);
            series[i].peakBytes = std::max(series[i].peakBytes, result.peakBytes);
        }
    if (!keep)
        std::filesystem::remove_all(dir);

    const double pixels = double(Width) * Height;
    const double floorSeconds = Median(series[0].seconds);
    std::printf("orvane-cut end to end, %d x %d JPEG, 40-pixel band, --effect color, JPEG out (wall, median of %d):\n",
                Width, Height, Runs);
    std::printf("  djpeg | cjpeg               %7.3f s                (load average %.2f)\n", floorSeconds,
                series[0].load);
    const char* names[] = {nullptr, "orvane-cut, all cores", "orvane-cut --threads 1"};
    for (std::size_t i = 1; i < series.size(); ++i)
        std::printf("  %-26s %7.3f s  %5.2f x floor  peak %5.1f bytes per pixel  (load average %.2f)\n", names[i],
                    Median(series[i].seconds), Median(series[i].seconds) / floorSeconds, series[i].peakBytes / pixels,
                    series[i].load);
    std::printf("  targets: under 1.0 s with all cores, at most 4 x the floor, under 20 bytes per pixel\n");
    return 0;
}
