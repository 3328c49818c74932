// orvane-paste from the outside: an entry pasted by path and by name gives
// the pixels RenderPaste gives, odd but sound input is pasted, and every
// refusal (a full disk too) exits with 1, says why and writes nothing.
#include "FileSizeLimit.h"
#include "KvLTBitmap.h"
#include "KvPictureLoader.h"
#include "ObjectLibraryFixture.h"
#include "PasteRender.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 120;
constexpr int kHeight = 90;

QImage Picture()
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB888);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            picture.setPixelColor(x, y, QColor(40 + x, 90 + (x * y) % 60, 200 - y));
    return picture;
}

struct Result {
    int exitCode = -1;
    QString errors;
};

class OrvanePasteTest : public ::testing::Test {
protected:
    OrvanePasteTest()
    {
        Picture().save(Path("picture.png"));
        fs::create_directories(Library());
        entry = WriteDiscEntry(Library(), 30);
    }

    QString Path(const QString& name) const { return QDir(m_folder.path()).filePath(name); }
    fs::path Library() const { return fs::path(Path(QStringLiteral("data/orvane/library")).toStdString()); }
    QString EntryPath() const { return QString::fromStdString((Library() / entry).string()); }

    Result Run(const QStringList& arguments) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), Path(QStringLiteral("data")));
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/orvane-paste"), arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
    }

    // The picture with the entry pasted by RenderPaste in this process.
    QImage Expected(const TPastePlacement& placement, int filter) const
    {
        TKvLTBitmap picture;
        EXPECT_TRUE(LoadUprightPicture(Path(QStringLiteral("picture.png")), picture));
        TBGRWithAlpha object;
        EXPECT_TRUE(object.LoadObject(Library(), entry));
        RenderPaste(picture.Pixels(), object, placement, filter);
        const TKvPixels& pixels = picture.Pixels();
        return QImage(pixels.Data, pixels.Width, pixels.Height, pixels.Stride, QImage::Format_BGR888).copy();
    }

    static bool Same(const QImage& a, const QImage& b)
    {
        const QImage ca = a.convertToFormat(QImage::Format_BGR888);
        const QImage cb = b.convertToFormat(QImage::Format_BGR888);
        if (ca.size() != cb.size())
            return false;
        for (int y = 0; y < ca.height(); ++y)
            if (std::memcmp(ca.constScanLine(y), cb.constScanLine(y), std::size_t(ca.width()) * 3) != 0)
                return false;
        return true;
    }

    std::string entry;

private:
    QTemporaryDir m_folder;
};

TEST_F(OrvanePasteTest, PastesAnEntryByPathAndByNameAsRenderPasteDoes)
{
    struct Case {
        const char* what;
        QStringList options;
        TPastePlacement placement;
        int filter;
        bool changes = true;
    };
    const Case cases[] = {
        {"default filter", {QStringLiteral("--rect"), QStringLiteral("10,5,70,60")}, {{10, 5, 70, 60}, 0, false, false}, 2},
        {"turned and mirrored",
         {QStringLiteral("--rect"), QStringLiteral("-20,30,80,100"), QStringLiteral("--angle"), QStringLiteral("30"),
          QStringLiteral("--flip-x"), QStringLiteral("--flip-y")},
         {{-20, 30, 80, 100}, 30, true, true},
         2},
        {"Lanczos", {QStringLiteral("--rect"), QStringLiteral("0,0,120,90"), QStringLiteral("--filter"), QStringLiteral("6")},
         {{0, 0, 120, 90}, 0, false, false},
         6},
        {"angle -1", {QStringLiteral("--rect"), QStringLiteral("5,5,50,50"), QStringLiteral("--angle"), QStringLiteral("-1")},
         {{5, 5, 50, 50}, 359, false, false},
         2},
        {"angle 100000",
         {QStringLiteral("--rect"), QStringLiteral("5,5,50,50"), QStringLiteral("--angle"), QStringLiteral("100000")},
         {{5, 5, 50, 50}, 280, false, false},
         2},
        {"one pixel wide, very tall", {QStringLiteral("--rect"), QStringLiteral("60,-30000,61,30000")},
         {{60, -30000, 61, 30000}, 0, false, false},
         2,
         false}, // shows the object's first column, transparent
    };
    for (const Case& c : cases) {
        for (const QString& entryArgument : {EntryPath(), QString::fromStdString(entry)}) {
            SCOPED_TRACE(std::string(c.what) + " with " + entryArgument.toStdString());
            const QString out = Path(QStringLiteral("out.png"));
            QFile::remove(out);
            const Result result =
                Run(QStringList{Path(QStringLiteral("picture.png")), entryArgument, QStringLiteral("--out"), out} + c.options);
            ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
            const QImage written(out);
            EXPECT_TRUE(Same(written, Expected(c.placement, c.filter)));
            EXPECT_EQ(!Same(written, Picture()), c.changes);
        }
    }
}

TEST_F(OrvanePasteTest, ARectangleBesideThePictureLeavesItAsItWas)
{
    const QString out = Path(QStringLiteral("out.png"));
    const Result result = Run({Path(QStringLiteral("picture.png")), EntryPath(), QStringLiteral("--rect"),
                               QStringLiteral("5000,5000,9000,9000"), QStringLiteral("--out"), out});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_TRUE(Same(QImage(out), Picture()));
}

TEST_F(OrvanePasteTest, RefusalsSayWhyAndWriteNothing)
{
    QFile(Path(QStringLiteral("notapicture.png"))).open(QIODevice::WriteOnly);
    const std::string damaged = WriteDiscEntry(Library(), 20);
    std::ofstream(Library() / (damaged + ".alp"), std::ios::binary | std::ios::trunc) << "not a matte";
    const QString picture = Path(QStringLiteral("picture.png"));
    const QString out = Path(QStringLiteral("refused.png"));
    const QString rect = QStringLiteral("10,10,60,60");
    struct Case {
        const char* what;
        QStringList arguments;
        const char* message;
    };
    const Case cases[] = {
        {"no picture", {Path(QStringLiteral("missing.png")), EntryPath(), "--rect", rect, "--out", out}, "missing.png"},
        {"not a picture", {Path(QStringLiteral("notapicture.png")), EntryPath(), "--rect", rect, "--out", out}, "notapicture"},
        {"no entry", {picture, Path(QStringLiteral("data/orvane/library/000099")), "--rect", rect, "--out", out}, "000099"},
        {"not an entry name", {picture, QStringLiteral("../../etc/passwd"), "--rect", rect, "--out", out}, "passwd"},
        {"a damaged entry", {picture, QString::fromStdString(damaged), "--rect", rect, "--out", out}, damaged.c_str()},
        {"an empty rectangle", {picture, EntryPath(), "--rect", "10,10,10,60", "--out", out}, "--rect"},
        {"three numbers", {picture, EntryPath(), "--rect", "1,2,3", "--out", out}, "--rect"},
        {"letters", {picture, EntryPath(), "--rect", "a,b,c,d", "--out", out}, "--rect"},
        {"no rectangle", {picture, EntryPath(), "--out", out}, "--rect"},
        {"filter 7", {picture, EntryPath(), "--rect", rect, "--filter", "7", "--out", out}, "--filter"},
        {"an angle in words", {picture, EntryPath(), "--rect", rect, "--angle", "right", "--out", out}, "--angle"},
        {"no output", {picture, EntryPath(), "--rect", rect}, "--out"},
        {"an unknown option", {picture, EntryPath(), "--rect", rect, "--out", out, "--turn"}, "turn"},
        {"an output in a missing folder",
         {picture, EntryPath(), "--rect", rect, "--out", Path(QStringLiteral("nowhere/out.png"))},
         "nowhere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = Run(c.arguments);
        EXPECT_EQ(result.exitCode, 1) << result.errors.toStdString();
        EXPECT_TRUE(result.errors.startsWith(QStringLiteral("orvane-paste: "))) << result.errors.toStdString();
        EXPECT_TRUE(result.errors.contains(QString::fromUtf8(c.message))) << result.errors.toStdString();
        EXPECT_FALSE(QFile::exists(out));
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("nowhere/out.png"))));
    }
    EXPECT_EQ(QDir(Path(QString())).entryList(QDir::Files).size(), 2) << "no temporary file is left";
}

// A full disk (a file-size limit of 4 KB against a 32 KB bitmap): the old
// output stays byte for byte and nothing is left beside it.
TEST_F(OrvanePasteTest, AFullDiskLeavesTheOldOutputAsItWas)
{
    const QString out = Path(QStringLiteral("out.bmp"));
    {
        QFile old(out);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old picture");
    }
    const QStringList before = QDir(Path(QString())).entryList(QDir::Files | QDir::Hidden);
    Result result;
    {
        const TFileSizeLimit full(4096);
        result = Run({Path(QStringLiteral("picture.png")), EntryPath(), QStringLiteral("--rect"),
                      QStringLiteral("10,10,60,60"), QStringLiteral("--out"), out});
    }
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.contains(QStringLiteral("cannot write"))) << result.errors.toStdString();
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old picture"));
    EXPECT_EQ(QDir(Path(QString())).entryList(QDir::Files | QDir::Hidden), before);
}

} // namespace
