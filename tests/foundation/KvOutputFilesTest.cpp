// Several outputs written all or none: every target replaced once all are
// complete, or none touched and nothing left behind.
#include "KvOutputFiles.h"

#include "FileSizeLimit.h"
#include "JpegFixtures.h"
#include "QtPrinters.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

struct OutputFiles : ::testing::Test {
    QString Path(const char* name) const { return QString::fromStdString((folder / name).string()); }
    void Put(const char* name, const QByteArray& bytes) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray Read(const char* name) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QStringList Entries() const
    {
        return QDir(Path("")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                        QDir::Name);
    }

    TTemporaryFolder folder;
};

TEST_F(OutputFiles, EveryTargetIsReplacedOnceAllAreComplete)
{
    Put("a.pgm", "old a");
    ASSERT_TRUE(QFile::setPermissions(Path("a.pgm"), QFile::ReadOwner | QFile::WriteOwner));
    TKvOutputFiles outputs;
    QIODevice* a = outputs.Add(Path("a.pgm"));
    QIODevice* b = outputs.Add(Path("b.png"));
    ASSERT_TRUE(a && b) << outputs.Error().toStdString();
    a->write("new a");
    b->write("new b");
    // Nothing is visible under the targets' names before the commit.
    EXPECT_EQ(Read("a.pgm"), QByteArray("old a"));
    EXPECT_EQ(Read("b.png"), QByteArray("(missing)"));
    ASSERT_TRUE(outputs.Commit()) << outputs.Error().toStdString();
    EXPECT_EQ(Read("a.pgm"), QByteArray("new a"));
    EXPECT_EQ(Read("b.png"), QByteArray("new b"));
    EXPECT_EQ(QFile::permissions(Path("a.pgm")), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(Entries(), (QStringList{"a.pgm", "b.png"}));
}

TEST_F(OutputFiles, AFailingOutputLeavesEveryTargetAsItWasAndNothingElse)
{
    struct Case {
        const char* name;
        const char* secondTarget;
        int secondBytes;
        bool failsOnAdd;
    };
    // The first output is small, the second one more than the file-size
    // limit allows or beyond reach.
    const Case cases[] = {
        {"disk full on the second output", "b.png", 64 * 1024, false},
        {"second output in a missing folder", "missing/b.png", 10, true},
        {"second output named like a folder", "sub", 10, true},
    };
    for (const Case& c : cases) {
        for (const QString& name : Entries())
            QFile::remove(Path(qPrintable(name)));
        QDir(Path("")).mkdir(QStringLiteral("sub"));
        Put("a.pgm", "old a");
        Put("b.png", "old b");
        const QStringList before = Entries();
        {
            TKvOutputFiles outputs;
            const TFileSizeLimit limit(4096);
            QIODevice* a = outputs.Add(Path("a.pgm"));
            ASSERT_TRUE(a) << c.name;
            a->write(QByteArray(100, 'a'));
            QIODevice* b = outputs.Add(Path(c.secondTarget));
            EXPECT_EQ(b == nullptr, c.failsOnAdd) << c.name;
            if (b) {
                b->write(QByteArray(c.secondBytes, 'b'));
                EXPECT_FALSE(outputs.Commit()) << c.name;
            }
            EXPECT_TRUE(outputs.Error().contains(QDir::toNativeSeparators(Path(c.secondTarget)))) << c.name;
        }
        EXPECT_EQ(Read("a.pgm"), QByteArray("old a")) << c.name;
        EXPECT_EQ(Read("b.png"), QByteArray("old b")) << c.name;
        EXPECT_EQ(Entries(), before) << c.name;
    }
}

TEST_F(OutputFiles, ASetNeverCommittedLeavesNoTemporaryFile)
{
    {
        TKvOutputFiles outputs;
        ASSERT_TRUE(outputs.Add(Path("a.pgm")));
        ASSERT_TRUE(outputs.Finish());
    }
    EXPECT_TRUE(Entries().isEmpty());
}

} // namespace
