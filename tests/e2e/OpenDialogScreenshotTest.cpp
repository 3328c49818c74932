// The open dialog on a real X server (Xvfb): a photograph selected in the
// list shows its preview and its description (format, size, date, camera)
// on the right. The test runs itself again as a child on the X server; the
// child takes a screenshot of the whole screen into the build folder
// (screenshots/open_dialog.png) for people to look at.
#include "KvDialogs.h"
#include "KvGraphicsFormats.h"
#include "KvImageMetadata.h"
#include "KvProperties.h"

#include "ScreenDriver.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr char ChildVariable[] = "ORVANE_SCREENSHOT_CHILD";

QString BinDir()
{
    return qEnvironmentVariable("ORVANE_BIN_DIR");
}

QString OpenDialogScreenshotPath()
{
    return QDir(BinDir()).filePath(QStringLiteral("../screenshots/open_dialog.png"));
}

// A copy of the bundled photograph with a camera and a date in its EXIF.
QString PhotographWithMetadata(const QString& folder)
{
    QFile source(QDir(BinDir()).filePath(QStringLiteral("Demo/rocket.jpg")));
    if (!source.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = source.readAll();
    TKvProperties items;
    const auto ascii = [&items](qint32 tag, const QByteArray& text) {
        const QByteArray value = text + '\0';
        items.SetValue(tag, 2, qint32(value.size()), value.constData());
    };
    ascii(TagMake, "Orvane Optics");
    ascii(TagModel, "Field 24");
    ascii(TagDateTime, "2024:05:17 09:41:00");
    if (!WriteImageMetadata(bytes, items))
        return {};
    const QString path = QDir(folder).filePath(QStringLiteral("rocket.jpg"));
    QFile target(path);
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size())
        return {};
    return path;
}

bool IsUniform(const QImage& image)
{
    const QImage inner = image.copy(image.rect().adjusted(2, 2, -2, -2));
    const QRgb first = inner.pixel(0, 0);
    for (int y = 0; y < inner.height(); y += 3)
        for (int x = 0; x < inner.width(); x += 3)
            if (inner.pixel(x, y) != first)
                return false;
    return true;
}

} // namespace

// Runs on the X server the parent started.
TEST(OpenDialogOnScreen, ChildShowsThePhotographsPreviewAndDescription)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "runs only as the child of the test below";
    TTestLocalizer localizer;
    QTemporaryDir folder;
    const QString photograph = PhotographWithMetadata(folder.path());
    ASSERT_FALSE(photograph.isEmpty());
    for (const char* name : {"astronaut.png", "chelsea.png", "coffee.png"})
        QFile::copy(QDir(BinDir()).filePath(QStringLiteral("Demo/") + QLatin1String(name)),
                    folder.filePath(QLatin1String(name)));

    TKvGraphicsFormats formats;
    TKvOpenDialog dialog(nullptr, formats);
    dialog.setWindowTitle(LocalStr(12));
    dialog.setDirectory(folder.path());
    dialog.resize(920, 540);
    dialog.move(40, 40);
    dialog.show();

    // Select the photograph in the list, as a click does.
    auto* model = dialog.findChild<QFileSystemModel*>();
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_TRUE(model && list);
    ASSERT_TRUE(WaitUntil([&] { return model->index(photograph).isValid(); }));
    list->setCurrentIndex(model->index(photograph));

    ASSERT_TRUE(WaitUntil([&] { return !IsUniform(dialog.PreviewBox()->grab().toImage()); }));
    const QString description = dialog.InfoLabel()->text();
    EXPECT_TRUE(description.contains(QStringLiteral("JPEG"))) << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("640 x 427"))) << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("Orvane Optics Field 24"))) << description.toStdString();
    EXPECT_TRUE(dialog.PreviewPanel()->geometry().left() > list->geometry().right());

    ASSERT_TRUE(Settle(&dialog));
    QDir().mkpath(QFileInfo(OpenDialogScreenshotPath()).absolutePath());
    QFile::remove(OpenDialogScreenshotPath());
    EXPECT_EQ(QProcess::execute(QStringLiteral("/usr/bin/import"),
                                {QStringLiteral("-window"), QStringLiteral("root"), OpenDialogScreenshotPath()}),
              0);
    const QImage shot(OpenDialogScreenshotPath());
    EXPECT_FALSE(shot.isNull());
    EXPECT_FALSE(IsUniform(shot));
}

TEST(OpenDialogOnScreen, PreviewAndDescriptionOnAnXServer)
{
    if (!qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "the parent's part";
    TTempUserFolders folders;

    TXvfbServer server(QStringLiteral("1024x640x24"));
    ASSERT_FALSE(server.Display().isEmpty());
    EXPECT_EQ(RunThisProgramOn(server, ChildVariable,
                               QStringLiteral("OpenDialogOnScreen.ChildShowsThePhotographsPreviewAndDescription")),
              0);
    server.Stop();
    EXPECT_TRUE(QFileInfo::exists(OpenDialogScreenshotPath()));
}
