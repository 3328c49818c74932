// orvane-cut from the outside: a textured disc on a contrasting background,
// a ring-shaped band over its edge, every effect, and the refusals.
#include "BGRAlpha.h"
#include "FileSizeLimit.h"
#include "Files.h"
#include "QtPrinters.h"
#include "ThumbnailList.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTransform>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <zlib.h>

namespace {

constexpr int kWidth = 150;
constexpr int kHeight = 110;
constexpr double kCentreX = 70.5;
constexpr double kCentreY = 57;
constexpr double kRadius = 33;
constexpr double kBandInner = 25;
constexpr double kBandOuter = 42;

double Distance(int x, int y)
{
    return std::hypot(x - kCentreX, y - kCentreY);
}

// A deterministic texture of -12..12.
int Texture(int x, int y)
{
    unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return int(h % 25) - 12;
}

QImage DiscPicture()
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int t = Texture(x, y);
            picture.setPixel(x, y, Distance(x, y) <= kRadius ? qRgb(220 + t, 180 + t, 40 + t)
                                                             : qRgb(40 + t, 90 + t, 190 + t));
        }
    }
    return picture;
}

QImage RingBand(double inner, double outer)
{
    QImage band(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            band.setPixel(x, y, Distance(x, y) >= inner && Distance(x, y) <= outer ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return band;
}

// The bytes of a binary PGM, with its size; empty when it is not one.
struct Pgm {
    int width = 0;
    int height = 0;
    QByteArray bytes;
    int At(int x, int y) const { return quint8(bytes[y * width + x]); }
};

Pgm ReadPgm(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    const QList<QByteArray> header = data.left(32).split('\n');
    if (header.size() < 4 || header[0] != "P5" || header[2] != "255")
        return {};
    const QList<QByteArray> size = header[1].split(' ');
    Pgm pgm{size[0].toInt(), size[1].toInt(), {}};
    const qsizetype start = header[0].size() + header[1].size() + header[2].size() + 3;
    pgm.bytes = data.mid(start);
    return pgm.bytes.size() == qsizetype(pgm.width) * pgm.height ? pgm : Pgm{};
}

class OrvaneCut : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(DiscPicture().save(Path("disc.png")));
        ASSERT_TRUE(RingBand(kBandInner, kBandOuter).save(Path("band.png")));
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // Runs orvane-cut; returns its exit status (-1 when it did not finish).
    int Run(const QStringList& arguments)
    {
        QProcess process;
        Start(process, arguments);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        errors = QString::fromLocal8Bit(process.readAllStandardError());
        output = QString::fromLocal8Bit(process.readAllStandardOutput());
        return process.exitCode();
    }

    // Starts orvane-cut with the user's data folder inside the test's.
    void Start(QProcess& process, const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), Path("data"));
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/orvane-cut"), arguments);
    }

    // The entries' files in a library folder, sorted.
    QStringList LibraryFiles(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }

    QStringList WrittenFiles() const { return QDir(dir.path()).entryList({QStringLiteral("out*")}, QDir::Files); }

    QTemporaryDir dir;
    QString errors;
    QString output;
};

// What the background shows, per effect, for a pixel of the given colour.
QRgb ExpectedBackground(const QString& effect, QRgb original)
{
    const int channels[] = {qRed(original), qGreen(original), qBlue(original)};
    if (effect == QLatin1String("color"))
        return qRgb(0x11, 0x22, 0x33);
    if (effect == QLatin1String("shadow")) { // level 3: divided by 2 sqrt(2)
        const auto dim = [](int v) { return int(std::nearbyint(v / (2 * std::sqrt(2.0)))); };
        return qRgb(dim(channels[0]), dim(channels[1]), dim(channels[2]));
    }
    // Monochrome with the tint 112233: the brightest channel b scaled by
    // each of 17, 34 and 51 out of 255, that is b/15, 2b/15 and b/5, rounded
    // to the nearest (no whole b falls on a half).
    const int b = std::max({channels[0], channels[1], channels[2]});
    return qRgb((2 * b + 15) / 30, (4 * b + 15) / 30, (2 * b + 5) / 10);
}

TEST_F(OrvaneCut, FindsTheDiscWithEveryEffect)
{
    const QImage original = DiscPicture();
    for (const QString effect : {"color", "shadow", "blur", "mono"}) {
        SCOPED_TRACE(effect.toStdString());
        ASSERT_EQ(Run({Path("disc.png"), Path("band.png"), "--effect", effect, "--color", "112233", "--out",
                       Path("out.png"), "--segments", Path("out-segments.pgm"), "--matte", Path("out-matte.pgm")}),
                  0) << errors.toStdString();

        // The segments: the disc is segment 9, the rest 8.  Disc and
        // background differ far more than their textures, so the cut runs
        // exactly along the disc's edge inside the band.
        const Pgm segments = ReadPgm(Path("out-segments.pgm"));
        ASSERT_EQ(segments.width, kWidth);
        ASSERT_EQ(segments.height, kHeight);
        int misplaced = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                misplaced += segments.At(x, y) != (Distance(x, y) <= kRadius ? 9 : 8);
        EXPECT_EQ(misplaced, 0);

        // The picture: the disc as it was, the background with the effect.
        const QImage out = QImage(Path("out.png")).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(out.size(), original.size());
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                if (segments.At(x, y) == 9) {
                    ASSERT_EQ(out.pixel(x, y), original.pixel(x, y)) << x << ", " << y;
                } else if (effect != QLatin1String("blur")) {
                    ASSERT_EQ(out.pixel(x, y), ExpectedBackground(effect, original.pixel(x, y))) << x << ", " << y;
                }
            }
        }
        if (effect == QLatin1String("blur")) {
            // Radius 27: next to the disc the yellow shows through, far from it
            // the texture is smoothed away.
            const QRgb near = out.pixel(int(kCentreX + kRadius + 3), int(kCentreY));
            EXPECT_GT(qRed(near), 40 + 30);
            const QRgb corner = out.pixel(2, 2);
            EXPECT_NEAR(qRed(corner), 40, 4);
            EXPECT_NEAR(qBlue(corner), 190, 4);
        }

        // The matte: the disc's bounding box, opaque inside, soft at the rim.
        const Pgm matte = ReadPgm(Path("out-matte.pgm"));
        EXPECT_EQ(matte.width, 66);  // x 38..103
        EXPECT_EQ(matte.height, 65); // y 25..89
        EXPECT_EQ(matte.At(matte.width / 2, matte.height / 2), 255);
        EXPECT_EQ(matte.At(0, 0), 0);
        EXPECT_LE(matte.At(0, matte.height / 2), 204);
    }
}

TEST_F(OrvaneCut, SwapShowsTheBackgroundAsTheObject)
{
    ASSERT_EQ(Run({Path("disc.png"), Path("band.png"), "--swap", "3", "--out", Path("out.png")}), 0);
    const QImage out = QImage(Path("out.png")).convertToFormat(QImage::Format_RGB32);
    const QImage original = DiscPicture();
    EXPECT_EQ(out.pixel(int(kCentreX), int(kCentreY)), qRgb(255, 255, 255)); // default white
    EXPECT_EQ(out.pixel(3, 3), original.pixel(3, 3));
}

// A picture stored on its side with an orientation tag is cut upright, as
// the editor shows it: the band fits it and the result is upright.
TEST_F(OrvaneCut, APictureStoredOnItsSideIsCutUpright)
{
    QTransform quarterTurnBack;
    quarterTurnBack.rotate(-90);
    QImageWriter writer(Path("sideways.tif"), "tiff");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(DiscPicture().transformed(quarterTurnBack)));
    ASSERT_EQ(Run({Path("sideways.tif"), Path("band.png"), "--effect", "color", "--out", Path("out.png")}), 0)
        << errors.toStdString();
    const QImage out = QImage(Path("out.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(out.size(), QSize(kWidth, kHeight));
    EXPECT_EQ(out.pixel(int(kCentreX), int(kCentreY)), DiscPicture().pixel(int(kCentreX), int(kCentreY)));
    EXPECT_EQ(out.pixel(3, 3), qRgb(255, 255, 255));
}

TEST_F(OrvaneCut, ABandEnclosingNoAreaWritesNothing)
{
    ASSERT_TRUE(RingBand(0, 1000).save(Path("everything.png")));
    ASSERT_TRUE(RingBand(2000, 3000).save(Path("nothing.png")));
    for (const char* band : {"everything.png", "nothing.png"}) {
        EXPECT_EQ(Run({Path("disc.png"), Path(band), "--out", Path("out.png"), "--segments", Path("out.pgm"),
                       "--save-object", Path("out-library")}),
                  2)
            << band;
        EXPECT_FALSE(errors.isEmpty());
        EXPECT_TRUE(WrittenFiles().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(Path("out-library")));
    }
}

TEST_F(OrvaneCut, RefusesBadInputAndOptions)
{
    QImage small(10, 10, QImage::Format_RGB32);
    small.fill(Qt::white);
    ASSERT_TRUE(small.save(Path("small.png")));
    QFile garbage(Path("garbage.png"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a picture");
    garbage.close();

    const QString disc = Path("disc.png");
    const QString band = Path("band.png");
    const QString out = Path("out.png");
    const QList<QStringList> cases = {
        {Path("missing.png"), band, "--out", out},
        {Path("garbage.png"), band, "--out", out},
        {disc, Path("garbage.png"), "--out", out},
        {disc, Path("small.png"), "--out", out},
        {disc, "--out", out},
        {disc, band, band, "--out", out},
        {disc, band, "--effect", "sepia", "--out", out},
        {disc, band, "--color", "12345", "--out", out},
        {disc, band, "--color", "12345G", "--out", out},
        {disc, band, "--level", "0", "--out", out},
        {disc, band, "--level", "6", "--out", out},
        {disc, band, "--swap", "-1", "--out", out},
        {disc, band, "--frobnicate", "--out", out},
        {disc, band, "--quality", "0", "--save-object", Path("out-library")},
        {disc, band, "--quality", "101", "--save-object", Path("out-library")},
        {disc, band, "--quality", "high", "--save-object", Path("out-library")},
        {disc, band, Path("out-library"), "--save-object"},
        {disc, band, "--threads", "0", "--out", out},
        {disc, band, "--threads", "-3", "--out", out},
        {disc, band, "--threads", "two", "--out", out},
        {disc, band, "--threads", "", "--out", out},
    };
    for (const QStringList& arguments : cases) {
        EXPECT_EQ(Run(arguments), 1) << arguments.join(' ').toStdString();
        EXPECT_FALSE(errors.isEmpty());
        EXPECT_TRUE(WrittenFiles().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(Path("out-library")));
    }
}

TEST_F(OrvaneCut, PicturesOneColumnWideAndOnePixelSmall)
{
    QImage column(1, 7, QImage::Format_RGB32);
    QImage columnBand(1, 7, QImage::Format_RGB32);
    for (int y = 0; y < 7; ++y) {
        column.setPixel(0, y, y < 3 ? qRgb(250, 0, 0) : qRgb(0, 0, 250));
        columnBand.setPixel(0, y, y >= 2 && y <= 4 ? qRgb(9, 9, 9) : qRgb(0, 0, 0));
    }
    ASSERT_TRUE(column.save(Path("column.png")));
    ASSERT_TRUE(columnBand.save(Path("column-band.png")));
    ASSERT_EQ(Run({Path("column.png"), Path("column-band.png"), "--segments", Path("out.pgm")}), 0);
    const Pgm segments = ReadPgm(Path("out.pgm"));
    ASSERT_EQ(segments.height, 7);
    EXPECT_EQ(segments.bytes, QByteArray("\x08\x08\x08\x09\x09\x09\x09", 7));

    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::white);
    ASSERT_TRUE(dot.save(Path("dot.png")));
    EXPECT_EQ(Run({Path("dot.png"), Path("dot.png")}), 2);
}

// The segments and the matte (16 515 bytes each) fit under the file-size
// limit, the picture as a bitmap (49 554 bytes) does not: the outputs
// written before it must not stay behind, nor the library entry be added.
TEST_F(OrvaneCut, AFailingOutputLeavesEveryFileAsItWas)
{
    struct Case {
        const char* name;
        QStringList outputs;
        rlim_t fileSizeLimit; // 0: none
    };
    const QString library = Path("out-library");
    const Case cases[] = {
        {"picture in a missing folder",
         {"--segments", Path("out.pgm"), "--matte", Path("out-matte.pgm"), "--out", Path("missing/out.png")}, 0},
        {"disk full at the picture", {"--segments", Path("out.pgm"), "--out", Path("out.bmp")}, 20000},
        {"disk full at the picture, with an object to save",
         {"--segments", Path("out.pgm"), "--matte", Path("out-matte.pgm"), "--out", Path("out.bmp"), "--save-object",
          library},
         20000},
    };
    const std::map<QString, QByteArray> old = {
        {"out.pgm", "old segments"}, {"out-matte.pgm", "old matte"}, {"out.bmp", "old picture"}};
    for (const Case& c : cases) {
        for (const auto& [name, bytes] : old) {
            QFile file(Path(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        int status = 0;
        {
            const std::optional<TFileSizeLimit> limit =
                c.fileSizeLimit ? std::optional<TFileSizeLimit>(std::in_place, c.fileSizeLimit) : std::nullopt;
            status = Run(QStringList{Path("disc.png"), Path("band.png")} + c.outputs);
        }
        EXPECT_EQ(status, 1) << c.name;
        EXPECT_TRUE(errors.contains(QStringLiteral("cannot write"))) << c.name << ": " << errors.toStdString();
        EXPECT_TRUE(output.isEmpty()) << c.name;
        for (const auto& [name, bytes] : old) {
            QFile file(Path(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), bytes) << c.name << ": " << name.toStdString();
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before)
            << c.name;
        EXPECT_TRUE(LibraryFiles(library).isEmpty()) << c.name;
    }
    // With room, the same run writes every output and the entry.
    ASSERT_EQ(Run({Path("disc.png"), Path("band.png"), "--segments", Path("out.pgm"), "--out", Path("out.bmp"),
                   "--save-object", library}),
              0)
        << errors.toStdString();
    EXPECT_EQ(ReadPgm(Path("out.pgm")).width, kWidth);
    EXPECT_EQ(QImage(Path("out.bmp")).size(), QSize(kWidth, kHeight));
    EXPECT_EQ(LibraryFiles(library).size(), 3);
}

// ---------------------------------------------------------------------------
// --save-object

TEST_F(OrvaneCut, SavesTheObjectIntoTheLibraryGivenOrTheUsersOwn)
{
    const QString library = Path("library");
    const QList<QStringList> runs = {
        {Path("disc.png"), Path("band.png"), "--save-object", library},
        {"--save-object", library, Path("disc.png"), Path("band.png")},
        {Path("disc.png"), Path("band.png"), "--save-object=" + library, "--quality", "40"},
    };
    for (int i = 0; i < runs.size(); ++i) {
        ASSERT_EQ(Run(runs[i]), 0) << errors.toStdString();
        EXPECT_EQ(output, QStringLiteral("00000%1\n").arg(i + 1));
    }
    EXPECT_EQ(LibraryFiles(library).size(), 9);
    // The disc's bounding box, as the matte test above finds it.
    TBGRWithAlpha object;
    ASSERT_TRUE(object.LoadObject(library.toStdString(), "000003"));
    EXPECT_EQ(object.Width() - 2 * object.Matte().MarginX(), 66);
    EXPECT_GT(QFileInfo(library + "/000001.jpg").size(), QFileInfo(library + "/000003.jpg").size())
        << "quality 40 writes a smaller picture than the default 90";

    // Without a folder: the user's library, created with its parents.
    ASSERT_EQ(Run({Path("disc.png"), Path("band.png"), "--save-object"}), 0) << errors.toStdString();
    EXPECT_EQ(output, QStringLiteral("000001\n"));
    EXPECT_EQ(LibraryFiles(Path("data/orvane/library")).size(), 3);
}

TEST_F(OrvaneCut, EightRunsAtOnceSaveEightWholeEntriesUnderEightNames)
{
    const QString library = Path("library");
    constexpr int Runs = 8;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < Runs; ++i) {
        processes.push_back(std::make_unique<QProcess>());
        Start(*processes.back(), {Path("disc.png"), Path("band.png"), "--effect", "shadow", "--swap", QString::number(i % 2),
                                  "--save-object", library});
    }
    QStringList names;
    for (const auto& process : processes) {
        ASSERT_TRUE(process->waitForFinished(180000));
        ASSERT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
        names << QString::fromLocal8Bit(process->readAllStandardOutput()).trimmed();
    }
    names.sort();
    names.removeDuplicates();
    ASSERT_EQ(names.size(), Runs);
    EXPECT_EQ(LibraryFiles(library).size(), 3 * Runs) << LibraryFiles(library).join(' ').toStdString();
    for (const QString& name : names) {
        TBGRWithAlpha object;
        EXPECT_TRUE(object.LoadObject(library.toStdString(), name.toStdString())) << name.toStdString();
        EXPECT_TRUE(TThumbnail::ReadThumbnail(library.toStdString(), name.toStdString()).IsValid());
    }
}

// Broken and hostile things in the library: nothing hangs or crashes, the
// new entry takes the name above the highest six-digit one, and everything
// that was there stays as it was.
TEST_F(OrvaneCut, HostileThingsInTheLibraryStayAsTheyWere)
{
    const std::filesystem::path library = Path("library").toStdString();
    std::filesystem::create_directories(library);
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(library / name, std::ios::binary) << bytes;
    };
    write("000001.tmb", std::string("\x01\x48\x48", 3));                   // truncated
    write("000001.alp", std::string(100, '\xA5'));                           // garbage
    write("000001.jpg", "not a picture");
    write("000002.tmb", std::string(20000, '\0'));                           // wrong length
    write("000002.alp", std::string("\x78\xDA\x03\x00\x00\x00\x00\x01", 8)); // an empty stream
    write("000003.alp", "2\r\n-5\r\n-5\r\n3\r\n3\r\n");                     // negative margins, not even compressed
    write("0000100.tmb", std::string(15555, 'x'));                              // seven digits: no entry
    write("00005x.alp", "x");
    write(".000011.jpg.part", "leftover");
    std::filesystem::create_directory(library / "000007.tmb");
    std::filesystem::create_directory(library / "000008.alp");
    ASSERT_EQ(mkfifo((library / "000009.tmb").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((library / "000010.alp").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", library / "000012.jpg");
    // A zlib bomb: 64 MB of blanks after a sound header.
    {
        std::string bomb = "2\r\n0\r\n0\r\n1\r\n1\r\n";
        bomb += std::string(64u << 20, ' ');
        std::vector<std::uint8_t> compressed(compressBound(uLong(bomb.size())));
        uLongf size = uLongf(compressed.size());
        compress2(compressed.data(), &size, reinterpret_cast<const Bytef*>(bomb.data()), uLong(bomb.size()), 9);
        write("000013.alp", std::string(reinterpret_cast<const char*>(compressed.data()), size));
    }
    const auto snapshot = [&] {
        std::map<std::string, std::string> contents;
        for (const auto& entry : std::filesystem::directory_iterator(library)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_symlink())
                contents[name] = "link";
            else if (entry.is_regular_file()) {
                std::ifstream file(entry.path(), std::ios::binary);
                contents[name] = std::string(std::istreambuf_iterator<char>(file), {});
            } else
                contents[name] = entry.is_directory() ? "directory" : "other";
        }
        return contents;
    };
    const auto before = snapshot();

    TThumbnailList list(library);
    LoadLibraryList(list);
    EXPECT_EQ(list.Count(), 2); // the two regular .tmb files with six-digit names
    for (int i = 0; i < list.Count(); ++i) {
        TBGRWithAlpha object;
        EXPECT_FALSE(object.LoadObject(library, list.NameOf(i))) << list.NameOf(i);
        EXPECT_TRUE(object.IsEmpty());
    }

    ASSERT_EQ(Run({Path("disc.png"), Path("band.png"), "--save-object", Path("library")}), 0) << errors.toStdString();
    EXPECT_EQ(output, QStringLiteral("000014\n"));
    auto after = snapshot();
    for (const char* extension : {".jpg", ".alp", ".tmb"})
        EXPECT_EQ(after.erase(std::string("000014") + extension), 1u);
    EXPECT_EQ(after, before);
}

} // namespace

TEST_F(OrvaneCut, EveryThreadCountWritesTheSameBytes)
{
    // The disc, and lines 30000 pixels long with two bands across them.
    QImage row(30000, 1, QImage::Format_RGB32);
    QImage rowBand(30000, 1, QImage::Format_RGB32);
    for (int x = 0; x < 30000; ++x) {
        row.setPixel(x, 0, qRgb((x * 37) % 256, (x / 100) % 256, x % 7 * 30));
        rowBand.setPixel(x, 0, (x >= 9000 && x < 9400) || (x >= 20000 && x < 20100) ? qRgb(255, 255, 255) : 0);
    }
    ASSERT_TRUE(row.save(Path("row.png")));
    ASSERT_TRUE(rowBand.save(Path("row-band.png")));
    ASSERT_TRUE(row.transformed(QTransform().rotate(90)).save(Path("column.png")));
    ASSERT_TRUE(rowBand.transformed(QTransform().rotate(90)).save(Path("column-band.png")));
    struct Case {
        const char* picture;
        const char* band;
    };
    for (const Case c : {Case{"disc.png", "band.png"}, Case{"row.png", "row-band.png"},
                         Case{"column.png", "column-band.png"}}) {
        for (const QString effect : {"blur", "mono"}) {
            SCOPED_TRACE(testing::Message() << c.picture << " " << effect.toStdString());
            QByteArray expected;
            for (const QString threads : {"1", "2", "3", "8", "100000"}) {
                ASSERT_EQ(Run({Path(c.picture), Path(c.band), "--effect", effect, "--level", "2", "--threads", threads,
                               "--out", Path("out.png"), "--segments", Path("out.pgm")}),
                          0)
                    << threads.toStdString() << ": " << errors.toStdString();
                // More threads than the engine runs are taken as its most.
                EXPECT_EQ(errors.contains(QStringLiteral("using 64 threads")), threads == QLatin1String("100000"))
                    << errors.toStdString();
                QFile out(Path("out.png"));
                QFile segments(Path("out.pgm"));
                ASSERT_TRUE(out.open(QIODevice::ReadOnly) && segments.open(QIODevice::ReadOnly));
                const QByteArray written = out.readAll() + segments.readAll();
                if (expected.isEmpty())
                    expected = written;
                else
                    EXPECT_TRUE(written == expected) << threads.toStdString() << " threads";
            }
        }
    }
}

TEST_F(OrvaneCut, AJpegOutKeepsTheQualityAndResolutionAsked)
{
    QImage disc = DiscPicture();
    disc.setDotsPerMeterX(11811); // 300 dots per inch
    disc.setDotsPerMeterY(11811);
    ASSERT_TRUE(disc.save(Path("disc300.png")));
    ASSERT_EQ(Run({Path("disc300.png"), Path("band.png"), "--out", Path("out-90.jpg")}), 0) << errors.toStdString();
    ASSERT_EQ(Run({Path("disc300.png"), Path("band.png"), "--out", Path("out-40.jpg"), "--quality", "40"}), 0);
    const QImage written(Path("out-90.jpg"));
    ASSERT_EQ(written.size(), disc.size());
    EXPECT_NEAR(written.dotsPerMeterX(), 11811, 2);
    EXPECT_GT(QFileInfo(Path("out-90.jpg")).size(), QFileInfo(Path("out-40.jpg")).size());
    // The object keeps its colours, within what the coding changes.
    const QRgb inside = written.pixel(kWidth / 2, kHeight / 2);
    const QRgb source = disc.pixel(kWidth / 2, kHeight / 2);
    EXPECT_NEAR(qRed(inside), qRed(source), 24);
    EXPECT_NEAR(qBlue(inside), qBlue(source), 24);
}
