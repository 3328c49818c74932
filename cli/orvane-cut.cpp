// orvane-cut: cuts an object out of a picture along a painted band, without
// a window, with the same extraction engine the editor's clipping tool runs.
//
//   orvane-cut INPUT BAND [--effect color|shadow|blur|mono] [--color RRGGBB]
//              [--level N] [--swap K] [--out PICTURE] [--segments MAP.pgm]
//              [--matte MATTE.pgm] [--save-object [DIR]] [--quality N]
//              [--threads N]
//
// BAND is a picture of INPUT's size whose non-black pixels are the painted
// band.  The program separates (the unmarked areas numbered, GrowCut over the
// band), shows segment 9 as the object with the background effect, swaps the
// object K times and writes what was asked for.  --save-object stores the
// object as a new entry of the object library in DIR (default: the user's
// library), exactly as the editor's Save Object would, and prints the
// entry's name; --quality is the JPEG quality of the entry's picture when
// INPUT is no JPEG (whose own coding is kept).  --threads limits the threads
// of the extraction engine (default: every core; 1 runs it all on one
// thread).  The outputs are written all or none: a failed write leaves every
// file given as it was and adds no library entry.  Exit status: 0 done, 1
// bad input or options or a failed write, 2 the band encloses no area or no
// object is shown (nothing is written).
#include "ClippingSession.h"
#include "CommandLine.h"
#include "Files.h"
#include "KvGraphicsFormats.h"
#include "KvLocalizer.h"
#include "KvObjectLibrary.h"
#include "KvOutputFiles.h"
#include "KvPictureLoader.h"
#include "Progress.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <climits>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

constexpr int kExitBadInput = 1;
constexpr int kExitNoArea = 2;

void Report(const QString& message)
{
    ReportError("orvane-cut", message);
}

int ReportWriteFailure(const TKvOutputFiles& outputs)
{
    Report(outputs.Error());
    return kExitBadInput;
}

// Shows the blur preparation's progress on a terminal.
class TConsoleProgress : public TProgressMeter {
public:
    void StartProgress(int max) override
    {
        m_max = max;
        m_position = 0;
        m_shown = -1;
        if (max == 0)
            std::fputs("\r            \r", stderr);
    }
    void StepIt() override
    {
        ++m_position;
        const int percent = m_max > 0 ? int(100LL * m_position / m_max) : 0;
        if (percent != m_shown) {
            m_shown = percent;
            std::fprintf(stderr, "\rBlur %3d%%", percent);
        }
    }

private:
    int m_max = 0;
    int m_position = 0;
    int m_shown = -1;
};

struct TOptions {
    QString input;
    QString band;
    int effect = BackgroundColor;
    TColor color = 0xFFFFFF;
    int level = 3;
    int swaps = 0;
    QString out;
    QString segments;
    QString matte;
    bool saveObject = false;
    QString library; // empty: the user's object library
    int quality = 90;
    int threads = 0; // 0: the machine's
};

std::optional<int> ParseEffect(const QString& name)
{
    const QStringList names = {QStringLiteral("color"), QStringLiteral("shadow"), QStringLiteral("blur"),
                               QStringLiteral("mono")};
    const int index = int(names.indexOf(name));
    return index >= 0 ? std::optional<int>(index) : std::nullopt;
}

// Six hexadecimal digits, red first, as a TColor ($00BBGGRR).
std::optional<TColor> ParseColor(const QString& text)
{
    bool ok = false;
    const uint rgb = text.toUInt(&ok, 16);
    if (!ok || text.size() != 6 || text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')))
        return std::nullopt;
    return TColor(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

// --save-object=DIR as --save-object DIR: the option's folder is optional,
// so the parser takes it as a flag and the folder is found among the names.
QStringList SplitSaveObjectValue(const QStringList& arguments)
{
    const QString prefix = QStringLiteral("--save-object=");
    QStringList split;
    for (const QString& argument : arguments) {
        if (argument.startsWith(prefix))
            split << QStringLiteral("--save-object") << argument.mid(prefix.size());
        else
            split << argument;
    }
    return split;
}

// The options, or a message saying what is wrong with them.
std::optional<TOptions> ParseOptions(const QStringList& arguments, QString& error)
{
    QCommandLineParser parser;
    const QCommandLineOption effect(QStringLiteral("effect"), QString(), QStringLiteral("color|shadow|blur|mono"));
    const QCommandLineOption color(QStringLiteral("color"), QString(), QStringLiteral("RRGGBB"));
    const QCommandLineOption level(QStringLiteral("level"), QString(), QStringLiteral("N"));
    const QCommandLineOption swap(QStringLiteral("swap"), QString(), QStringLiteral("K"));
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("PICTURE"));
    const QCommandLineOption segments(QStringLiteral("segments"), QString(), QStringLiteral("MAP"));
    const QCommandLineOption matte(QStringLiteral("matte"), QString(), QStringLiteral("MATTE"));
    const QCommandLineOption saveObject(QStringLiteral("save-object"));
    const QCommandLineOption quality(QStringLiteral("quality"), QString(), QStringLiteral("N"));
    const QCommandLineOption threads(QStringLiteral("threads"), QString(), QStringLiteral("N"));
    parser.addOptions({effect, color, level, swap, out, segments, matte, saveObject, quality, threads});
    const QStringList split = SplitSaveObjectValue(arguments);
    if (!parser.parse(split)) {
        error = parser.errorText();
        return std::nullopt;
    }
    QStringList positional = parser.positionalArguments();
    QString library;
    if (parser.isSet(saveObject) && positional.size() == 3) {
        // The folder is the name right after --save-object.
        const qsizetype at = split.indexOf(QStringLiteral("--save-object")) + 1;
        if (at > 0 && at < split.size() && positional.removeOne(split[at]))
            library = split[at];
    }
    if (positional.size() != 2) {
        error = QStringLiteral("expected a picture and a band, got %1 file names").arg(positional.size());
        return std::nullopt;
    }
    TOptions options;
    options.input = positional[0];
    options.band = positional[1];
    options.out = parser.value(out);
    options.segments = parser.value(segments);
    options.matte = parser.value(matte);
    options.saveObject = parser.isSet(saveObject);
    options.library = library;
    const auto level1To5 = [](const QString& text) { return ParseInt(text, 1, 5); };
    const auto count = [](const QString& text) { return ParseInt(text, 0, INT_MAX); };
    if (!ReadOption(parser, effect, ParseEffect, "color, shadow, blur or mono", options.effect, error)
        || !ReadOption(parser, color, ParseColor, "six hexadecimal digits, red first", options.color, error)
        || !ReadOption(parser, level, level1To5, "a number from 1 to 5", options.level, error)
        || !ReadOption(parser, swap, count, "a number from 0 up", options.swaps, error)
        || !ReadOption(parser, quality, [](const QString& text) { return ParseInt(text, 1, 100); },
                       "a number from 1 to 100", options.quality, error)
        || !ReadOption(parser, threads, count, "a number from 1 up", options.threads, error))
        return std::nullopt;
    if (parser.isSet(threads) && options.threads == 0) {
        error = QStringLiteral("--threads '0': expected a number from 1 up (leave it out for every core)");
        return std::nullopt;
    }
    if (options.threads > TWorkerPool::MaxThreads) {
        Report(QStringLiteral("--threads %1: using %2 threads, the most the engine runs")
                   .arg(options.threads)
                   .arg(TWorkerPool::MaxThreads));
        options.threads = TWorkerPool::MaxThreads;
    }
    return options;
}

// The band: every non-black pixel is covered.
TKvPixelMask BandMask(const TKvLTBitmap& band)
{
    const TKvPixels& pixels = band.Pixels();
    TKvPixelMask mask;
    mask.SetBounds(0, 0, band.Width(), band.Height());
    for (int y = 0; y < band.Height(); ++y) {
        const std::uint8_t* line = pixels.PixelAt(0, y);
        std::uint8_t* covered = mask.Data.data() + std::size_t(y) * std::size_t(band.Width());
        for (int x = 0; x < band.Width(); ++x)
            covered[x] = (line[3 * x] | line[3 * x + 1] | line[3 * x + 2]) != 0 ? 255 : 0;
    }
    return mask;
}

// Writes a binary 8-bit PGM of width x height whose byte (x, y) is value(x, y).
template <typename Value>
void WritePgm(QIODevice& file, int width, int height, Value value)
{
    file.write(QStringLiteral("P5\n%1 %2\n255\n").arg(width).arg(height).toLatin1());
    QByteArray row(width, '\0');
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            row[x] = char(value(x, y));
        file.write(row);
    }
}

int Run(const TOptions& options)
{
    // Pictures are read upright, as the editor shows them, so that a band
    // painted over the editor's picture fits.
    TKvLTBitmap picture;
    TKvPictureLoad load;
    // A JPEG stays in the codec, so that an object saved from it keeps the
    // source's coding as the editor's Save Object does.
    JpegCodec codec;
    load.Codec = &codec;
    if (!LoadUprightPicture(options.input, picture, load)) {
        Report(LocalFormat(1030, {options.input}, QStringLiteral("Cannot open %s.")));
        return kExitBadInput;
    }
    // The picture as decoded, which the editor keeps as the document's
    // original: blocks that still show it are written from the source.
    TKvPixelBuffer original;
    if (options.saveObject && codec.HasImage()) {
        if (!original.SetFormat(PixelFormatBGR24, picture.Pixels().GetBounds()))
            throw std::bad_alloc();
        original.Assign(picture.Pixels());
    }
    // The band's picture goes as soon as its mask is made.
    TKvPixelMask mask;
    {
        TKvLTBitmap band;
        if (!LoadUprightPicture(options.band, band)) {
            Report(LocalFormat(1030, {options.band}, QStringLiteral("Cannot open %s.")));
            return kExitBadInput;
        }
        if (band.Width() != picture.Width() || band.Height() != picture.Height()) {
            Report(QStringLiteral("the band is %1 x %2 pixels, the picture %3 x %4")
                       .arg(band.Width()).arg(band.Height()).arg(picture.Width()).arg(picture.Height()));
            return kExitBadInput;
        }
        mask = BandMask(band);
    }

    TKvPixels& pixels = picture.Pixels();
    TConsoleProgress progress;
    TClippingSession session;
    session.SetThreads(options.threads);
    TMarkedRegion& region = session.Region();
    if (isatty(STDERR_FILENO))
        region.SetProgressMeter(&progress);
    region.AttachImage(&pixels);
    session.SetBackgroundEffect(options.effect);
    session.SetBackgroundColor(options.color);
    session.SetMonochromeColor(options.color);
    session.SetShadowLevel(options.level);
    session.SetBlurLevel(options.level);

    PaintBand(region, mask.GetBounds(), mask, LabelBand);
    mask = {};
    int areas = 0;
    {
        TSeparation separation(region, nullptr, session.GrowCutMemory());
        if (!separation.Encloses()) {
            Report(LocalStr(2836, QStringLiteral("The band does not enclose any area.")));
            return kExitNoArea;
        }
        areas = separation.AreaCount();
        separation.RunGrowCut();
    }
    session.StartEffect(session.Chosen()).Run();
    // Swapping walks round the areas, so whole rounds change nothing.
    for (int i = 0; i < options.swaps % areas; ++i)
        session.StartSwap().Run();

    if (options.saveObject && !session.ShowsObject()) {
        Report(QStringLiteral("no object is shown: nothing to save"));
        return kExitNoArea;
    }

    // Every output is written in full beside its target before any target
    // is replaced, and the library entry is added only then: a run that
    // fails writes nothing.
    TKvOutputFiles outputs;
    if (!options.segments.isEmpty()) {
        QIODevice* file = outputs.Add(options.segments);
        if (!file)
            return ReportWriteFailure(outputs);
        WritePgm(*file, region.Width(), region.Height(), [&](int x, int y) { return region.SegmentAt(x, y); });
    }
    if (!options.matte.isEmpty()) {
        QIODevice* file = outputs.Add(options.matte);
        if (!file)
            return ReportWriteFailure(outputs);
        TAlphaChanal matte;
        BuildObjectMatte(region, matte);
        WritePgm(*file, matte.Width(), matte.Height(), [&](int x, int y) { return matte.GetAlpha(x, y); });
    }
    if (!options.out.isEmpty() && !AddPicture(outputs, options.out, picture, load.Metadata, options.quality))
        return ReportWriteFailure(outputs);
    if (!outputs.Finish())
        return ReportWriteFailure(outputs);
    if (options.saveObject) {
        const std::filesystem::path folder =
            options.library.isEmpty() ? ObjectLibraryFolder() : std::filesystem::path(options.library.toStdString());
        const TKvObjectSave save = SaveObjectToLibrary(
            region, EntryJpegEncoder(&codec, codec.HasImage() ? &original : nullptr, options.quality), folder);
        switch (save.Result) {
        case TKvObjectSave::Saved:
            break;
        case TKvObjectSave::NoObject:
            return kExitNoArea;
        case TKvObjectSave::Failed:
            Report(save.Message);
            return kExitBadInput;
        }
        if (!outputs.Commit()) {
            // The files could not take their places: the entry goes too.
            DeleteObjectFiles(folder, save.Name.toStdString());
            return ReportWriteFailure(outputs);
        }
        std::printf("%s\n", qPrintable(save.Name));
        return 0;
    }
    return outputs.Commit() ? 0 : ReportWriteFailure(outputs);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QImageReader::setAllocationLimit(0); // 24-megapixel photographs exceed the default limit
    SetGlobalLocalizer(std::make_unique<TKvLocalizer>());
    QString error;
    const std::optional<TOptions> options = ParseOptions(QCoreApplication::arguments(), error);
    if (!options) {
        Report(error);
        std::fputs("usage: orvane-cut INPUT BAND [--effect color|shadow|blur|mono] [--color RRGGBB] [--level N]\n"
                   "                  [--swap K] [--out PICTURE] [--segments MAP.pgm] [--matte MATTE.pgm]\n"
                   "                  [--save-object [DIR]] [--quality N] [--threads N]\n",
                   stderr);
        return kExitBadInput;
    }
    try {
        return Run(*options);
    } catch (const std::exception& e) {
        Report(QString::fromLocal8Bit(e.what()));
        return kExitBadInput;
    }
}
