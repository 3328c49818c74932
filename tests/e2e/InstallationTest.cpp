// The installed program: `cmake --install` of this build into a fresh
// DESTDIR holds every part a desktop needs and passes the desktop's own
// validators; the Debian package holds the same files; and the installed
// editor, started from another folder on a picture under Xvfb, finds its
// data from its prefix.
#include "KvSDF.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kAppId = QStringLiteral("org.orvane.Orvane");
const QString kPrefix = QStringLiteral("/usr");

QString SourceDir()
{
    return qEnvironmentVariable("ORVANE_SOURCE_DIR");
}

QString BuildDir()
{
    return QDir::cleanPath(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/.."));
}

struct TToolRun {
    int ExitCode = -1;
    QString Output; // standard output and error together
};

TToolRun RunTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment =
                                                                            QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    TToolRun run;
    if (!process.waitForStarted(10000) || !process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished(10000);
        run.Output = QStringLiteral("%1 did not start or finish: %2").arg(program, process.errorString());
        return run;
    }
    run.Output = QString::fromLocal8Bit(process.readAll());
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

// Every regular file below root, by its path relative to root, with the
// hash of its contents.
QMap<QString, QByteArray> FilesBelow(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (file.open(QIODevice::ReadOnly))
            hash.addData(&file);
        files.insert(QDir(root).relativeFilePath(path), hash.result());
    }
    return files;
}

// One installation of this build, shared by the tests of this program.
class InstallationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_destDir = std::make_unique<QTemporaryDir>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), s_destDir->path());
        s_install = RunTool(QStringLiteral("cmake"), {QStringLiteral("--install"), BuildDir(), QStringLiteral("--prefix"),
                                                      kPrefix},
                            environment);
    }
    static void TearDownTestSuite() { s_destDir.reset(); }

    void SetUp() override { ASSERT_EQ(s_install.ExitCode, 0) << qPrintable(s_install.Output); }

    // The installed path of a path below the prefix ("bin/orvane").
    static QString Installed(const QString& path) { return s_destDir->path() + kPrefix + QLatin1Char('/') + path; }

    static std::unique_ptr<QTemporaryDir> s_destDir;
    static TToolRun s_install;
};

std::unique_ptr<QTemporaryDir> InstallationTest::s_destDir;
TToolRun InstallationTest::s_install;

// The programs this build has; a program another part of the project adds
// later is installed once its target exists.
QStringList BuiltPrograms()
{
    QStringList programs;
    for (const QString& name : {QStringLiteral("orvane"), QStringLiteral("orvane-cut"), QStringLiteral("orvane-paste")})
        if (QFileInfo(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(name)).isExecutable())
            programs << name;
    return programs;
}

TEST_F(InstallationTest, ThePrefixHoldsTheProgramsTheirDataAndTheDesktopFiles)
{
    QStringList expected{QStringLiteral("share/applications/") + kAppId + QStringLiteral(".desktop"),
                         QStringLiteral("share/metainfo/") + kAppId + QStringLiteral(".metainfo.xml"),
                         QStringLiteral("share/mime/packages/") + kAppId + QStringLiteral(".xml"),
                         QStringLiteral("share/icons/hicolor/scalable/apps/") + kAppId + QStringLiteral(".svg"),
                         QStringLiteral("share/man/man1/orvane.1"),
                         QStringLiteral("share/doc/orvane/LICENSE"),
                         QStringLiteral("share/doc/orvane/copyright")};
    ASSERT_TRUE(BuiltPrograms().contains(QStringLiteral("orvane")));
    for (const QString& program : BuiltPrograms()) {
        expected << QStringLiteral("bin/") + program;
        EXPECT_TRUE(QFileInfo(Installed(QStringLiteral("bin/") + program)).isExecutable()) << qPrintable(program);
        if (program != QLatin1String("orvane"))
            expected << QStringLiteral("share/man/man1/") + program + QStringLiteral(".1");
    }
    for (const QString& path : expected)
        EXPECT_TRUE(QFileInfo(Installed(path)).isFile()) << qPrintable(path);

    // Every data file of the source tree, as the programs find it beside
    // them in the build tree.
    for (const QString& folder : {QStringLiteral("Languages"), QStringLiteral("Demo"), QStringLiteral("Help")}) {
        const QString source = QDir(SourceDir()).filePath(folder);
        for (const QString& relative : FilesBelow(source).keys())
            EXPECT_TRUE(QFileInfo(Installed(QStringLiteral("share/orvane/%1/%2").arg(folder, relative))).isFile())
                << qPrintable(folder + QLatin1Char('/') + relative);
    }
}

TEST_F(InstallationTest, TheIconHasEveryUsualSizeAtThatSize)
{
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId);
        const QImage icon(Installed(path));
        EXPECT_EQ(icon.size(), QSize(size, size)) << qPrintable(path);
    }
}

TEST_F(InstallationTest, DesktopEntryAndAppStreamMetadataPassTheirValidators)
{
    const QString desktop = Installed(QStringLiteral("share/applications/") + kAppId + QStringLiteral(".desktop"));
    const TToolRun entry = RunTool(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_EQ(entry.ExitCode, 0) << qPrintable(entry.Output);
    EXPECT_TRUE(entry.Output.trimmed().isEmpty()) << qPrintable(entry.Output);

    const TToolRun metadata =
        RunTool(QStringLiteral("appstreamcli"),
                {QStringLiteral("validate"), QStringLiteral("--no-net"),
                 Installed(QStringLiteral("share/metainfo/") + kAppId + QStringLiteral(".metainfo.xml"))});
    EXPECT_EQ(metadata.ExitCode, 0) << qPrintable(metadata.Output);
    // The metadata and the desktop entry it names, as installed together.
    const TToolRun tree = RunTool(QStringLiteral("appstreamcli"), {QStringLiteral("validate-tree"),
                                                                   QStringLiteral("--no-net"), s_destDir->path()});
    EXPECT_EQ(tree.ExitCode, 0) << qPrintable(tree.Output);

    QFile file(desktop);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* type : {"image/jpeg;", "image/png;", "image/tiff;", "image/bmp;", "image/x-orvane-kvi;"})
        EXPECT_TRUE(text.contains(QLatin1String(type))) << type;
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=orvane %f\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=") + kAppId + QLatin1Char('\n')));
}

TEST_F(InstallationTest, TheKviTypeIsKnownByItsExtensionOnceTheMimeDatabaseIsBuilt)
{
    QTemporaryDir database;
    ASSERT_TRUE(QDir().mkpath(database.filePath(QStringLiteral("packages"))));
    ASSERT_TRUE(QFile::copy(Installed(QStringLiteral("share/mime/packages/") + kAppId + QStringLiteral(".xml")),
                            database.filePath(QStringLiteral("packages/") + kAppId + QStringLiteral(".xml"))));
    const TToolRun update = RunTool(QStringLiteral("update-mime-database"), {database.path()});
    ASSERT_EQ(update.ExitCode, 0) << qPrintable(update.Output);
    QFile globs(database.filePath(QStringLiteral("globs2")));
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains(":image/x-orvane-kvi:*.kvi"));
}

TEST_F(InstallationTest, ManualPagesFormatWithoutWarnings)
{
    QStringList pages{QStringLiteral("orvane")};
    for (const QString& program : BuiltPrograms())
        if (program != QLatin1String("orvane"))
            pages << program;
    for (const QString& page : pages) {
        const QString path = Installed(QStringLiteral("share/man/man1/%1.1").arg(page));
        const TToolRun format = RunTool(QStringLiteral("groff"), {QStringLiteral("-man"), QStringLiteral("-ww"),
                                                                  QStringLiteral("-z"), QStringLiteral("-Tutf8"), path});
        EXPECT_EQ(format.ExitCode, 0) << qPrintable(page);
        EXPECT_TRUE(format.Output.trimmed().isEmpty()) << qPrintable(page + QStringLiteral(": ") + format.Output);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().startsWith(".TH " + page.toUpper().toLatin1() + " 1 ")) << qPrintable(page);
    }
}

TEST_F(InstallationTest, TheDebianPackageInstallsTheSameFilesAndDeclaresItsDependencies)
{
    QTemporaryDir output;
    const TToolRun make = RunTool(QDir(SourceDir()).filePath(QStringLiteral("tools/make-deb.sh")),
                                  {BuildDir(), output.path()});
    ASSERT_EQ(make.ExitCode, 0) << qPrintable(make.Output);
    const QString package = make.Output.trimmed().section(QLatin1Char('\n'), -1);
    ASSERT_TRUE(QFileInfo(package).isFile()) << qPrintable(make.Output);

    QTemporaryDir unpacked;
    const TToolRun extract = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package, unpacked.path()});
    ASSERT_EQ(extract.ExitCode, 0) << qPrintable(extract.Output);
    const QMap<QString, QByteArray> packaged = FilesBelow(unpacked.path());
    const QMap<QString, QByteArray> installed = FilesBelow(s_destDir->path());
    EXPECT_EQ(packaged.keys(), installed.keys());
    for (auto it = installed.cbegin(); it != installed.cend(); ++it)
        EXPECT_EQ(packaged.value(it.key()), it.value()) << qPrintable(it.key());

    const TToolRun control = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), package,
                                                                  QStringLiteral("Package"), QStringLiteral("Depends")});
    ASSERT_EQ(control.ExitCode, 0) << qPrintable(control.Output);
    EXPECT_TRUE(control.Output.contains(QStringLiteral("Package: orvane\n")));
    for (const char* dependency : {"libqt6widgets6", "libqt6gui6", "libexiv2-", "libjpeg62-turbo", "libsane1",
                                   "libqt6svg6", "qt6-image-formats-plugins"})
        EXPECT_TRUE(control.Output.contains(QLatin1String(dependency))) << dependency << "\n"
                                                                          << qPrintable(control.Output);
}

} // namespace

// ---------------------------------------------------------------------------
// The installed editor on an X server.  Xlib comes last: its macros (None,
// Bool, Status) would clash with the headers above.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// A connection to the test's X server for finding and closing the editor's
// window the way a window manager would.
class TXConnection {
public:
    explicit TXConnection(const QString& display) : m_display(XOpenDisplay(display.toLocal8Bit().constData())) {}
    ~TXConnection()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    TXConnection(const TXConnection&) = delete;
    TXConnection& operator=(const TXConnection&) = delete;

    bool IsOpen() const { return m_display != nullptr; }

    // A top-level window whose title contains the text; 0 when none.
    Window FindTopLevel(const QString& title) const
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !found; ++i)
                if (Title(children[i]).contains(title))
                    found = children[i];
            XFree(children);
        }
        return found;
    }

    // Asks the window to close, as the window manager's close button does.
    void RequestClose(Window window) const
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XFlush(m_display);
    }

private:
    QString Title(Window window) const
    {
        XTextProperty property{};
        QString title;
        if (XGetWMName(m_display, window, &property) && property.value) {
            title = QString::fromUtf8(reinterpret_cast<const char*>(property.value), int(property.nitems));
            XFree(property.value);
        }
        return title;
    }

    Display* m_display;
};

// The language the editor saved in its configuration file on exit; -1 when
// the file or the value is missing.
int SavedLanguage(const QString& configFile)
{
    QFile file(configFile);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    TKvSDFReader reader(&file, false);
    qint32 language = -1;
    if (!reader.EnterNode(1, QUuid(QStringLiteral("{7AF6D7FF-618B-41D9-882E-419D500DF28B}")))
        || !reader.ReadInteger(1, language))
        return -1;
    return language;
}

TEST_F(InstallationTest, TheInstalledEditorStartsFromAnotherFolderOnAPictureWithItsLanguages)
{
    TTempUserFolders folders;
    TXvfbServer server;
    ASSERT_FALSE(server.Display().isEmpty());
    TXConnection x(server.Display());
    ASSERT_TRUE(x.IsOpen());

    // The picture lies in the working folder, named relative to it; the
    // build tree is nowhere near.
    QTemporaryDir work;
    ASSERT_TRUE(QFile::copy(QDir(SourceDir()).filePath(QStringLiteral("Demo/coffee.png")),
                            work.filePath(QStringLiteral("coffee.png"))));
    QProcessEnvironment environment = server.Environment();
    environment.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    for (const char* overriding : {"LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LANGUAGE"})
        environment.remove(QLatin1String(overriding));
    ASSERT_TRUE(SkipDemonstrationsAtStartup(QStringLiteral("orvane")));
    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.setWorkingDirectory(work.path());
    editor.setProcessChannelMode(QProcess::ForwardedChannels);
    editor.start(Installed(QStringLiteral("bin/orvane")), {QStringLiteral("coffee.png")});
    ASSERT_TRUE(editor.waitForStarted(10000));

    Window window = 0;
    EXPECT_TRUE(WaitUntil([&] { return (window = x.FindTopLevel(QStringLiteral("coffee.png"))) != 0; }, 60000))
        << "no window showing the picture";
    if (window) {
        RunEventLoopFor(1000); // the first paint reaches the screen
        const QString screenshot = QDir(qEnvironmentVariable("ORVANE_BIN_DIR"))
                                       .filePath(QStringLiteral("../screenshots/installed_editor.png"));
        QDir().mkpath(QFileInfo(screenshot).absolutePath());
        QProcessEnvironment onServer = server.Environment();
        EXPECT_EQ(RunTool(QStringLiteral("/usr/bin/import"),
                          {QStringLiteral("-window"), QStringLiteral("0x%1").arg(window, 0, 16), screenshot}, onServer)
                      .ExitCode,
                  0);
        x.RequestClose(window);
    }
    if (!editor.waitForFinished(60000)) {
        editor.kill();
        editor.waitForFinished(10000);
        FAIL() << "the editor did not end after its window was closed";
    }
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0);

    // The German language file was found in the prefix: the editor started
    // in the language the locale asks for and kept it.
    EXPECT_EQ(SavedLanguage(QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("orvane/orvane.cfg"))),
              1031);
}

} // namespace
