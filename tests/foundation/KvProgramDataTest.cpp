// Where the program finds its data: beside the executable in a build tree,
// in the checkout two folders up, and in share/orvane or share/doc/orvane of
// an installed prefix, wherever the prefix lies.
#include "KvProgramData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

class ProgramData : public ::testing::Test {
protected:
    void Make(const QString& path, bool folder)
    {
        const QString full = root.filePath(path);
        if (folder) {
            ASSERT_TRUE(QDir().mkpath(full));
        } else {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(full).absolutePath()));
            QFile file(full);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    QString Path(const QString& path) const { return QDir::cleanPath(root.filePath(path)); }

    QTemporaryDir root;
};

TEST_F(ProgramData, AnInstalledPrefixHoldsTheDataAndTheLicenceTexts)
{
    Make(QStringLiteral("prefix/bin"), true);
    Make(QStringLiteral("prefix/share/orvane/Languages"), true);
    Make(QStringLiteral("prefix/share/orvane/Demo"), true);
    Make(QStringLiteral("prefix/share/doc/orvane/LICENSE"), false);
    const QString bin = Path(QStringLiteral("prefix/bin"));
    EXPECT_EQ(ProgramDataPath(QStringLiteral("Languages"), bin), Path(QStringLiteral("prefix/share/orvane/Languages")));
    EXPECT_EQ(ProgramDataPath(QStringLiteral("Demo"), bin), Path(QStringLiteral("prefix/share/orvane/Demo")));
    EXPECT_EQ(ProgramDataPath(QStringLiteral("LICENSE"), bin), Path(QStringLiteral("prefix/share/doc/orvane/LICENSE")));
    // Missing data is looked for beside the executable.
    EXPECT_EQ(ProgramDataPath(QStringLiteral("Help"), bin), Path(QStringLiteral("prefix/bin/Help")));
}

TEST_F(ProgramData, TheBuildTreeComesFirstThenTheCheckout)
{
    Make(QStringLiteral("checkout/build/bin/Languages"), true);
    Make(QStringLiteral("checkout/Languages"), true);
    Make(QStringLiteral("checkout/Help"), true);
    const QString bin = Path(QStringLiteral("checkout/build/bin"));
    EXPECT_EQ(ProgramDataPath(QStringLiteral("Languages"), bin), Path(QStringLiteral("checkout/build/bin/Languages")));
    EXPECT_EQ(ProgramDataPath(QStringLiteral("Help"), bin), Path(QStringLiteral("checkout/Help")));
}

} // namespace
