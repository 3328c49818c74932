// Plug-in mode from start to exit on a real X server (Xvfb): the program is
// started on an exchange file, and OK or Cancel is pressed with a click
// synthesised by xdotool. OK writes the picture back into the exchange file
// and ends with exit status 0; Cancel leaves the file as it was and ends
// with 255, also after a demonstration played over the user's unconfirmed
// changes, which come back once it has ended.
//
// The test runs itself again as the program: the child runs RunProgram, as
// the editor's main does, with the exchange file as its first argument, and
// tells the parent where the OK and Cancel buttons are on the screen.
#include "KvDemonstration.h"
#include "KvExchangeFile.h"
#include "KvGraphicsDocument.h"
#include "KvGraphicsEditor.h"
#include "KvLocalizer.h"
#include "KvMainForm.h"
#include "Program.h"
#include "ModalAnswers.h"
#include "ProgramTestSupport.h"
#include "RegionFixture.h"
#include "ScreenDriver.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// The running program's modules; none while it does not run.
TKvGraphicsEditor* GraphicsEditor() { return RunningModule() ? RunningModule()->GraphicsEditor : nullptr; }
TMainForm* MainForm() { return RunningModule() ? RunningModule()->MainForm : nullptr; }

constexpr char ReportVariable[] = "ORVANE_PLUGIN_CHILD_REPORT";
// A demonstration script the child plays before it reports.
constexpr char DemoVariable[] = "ORVANE_PLUGIN_CHILD_DEMO";
constexpr int Width = 5;
constexpr int Height = 3;

// An exchange file as a host writes it: four bytes per pixel (red, green,
// blue, unused), rows padded to 24 bytes. The editor writes its files with
// three bytes per pixel, so a file written back is told from this one.
QByteArray HostExchangeFile()
{
    constexpr int BytesPerPixel = 4;
    constexpr int Stride = 24;
    QByteArray bytes(int(ExchangeHeaderSize) + Stride * Height, '\0');
    const qint32 header[] = {32, 3, 0, 0, Width, Height, Stride, BytesPerPixel};
    bytes.replace(0, 4, "PSPF");
    for (int i = 0; i < 8; ++i)
        qToLittleEndian<qint32>(header[i], bytes.data() + 4 + 4 * i);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            char* pixel = bytes.data() + ExchangeHeaderSize + y * Stride + x * BytesPerPixel;
            pixel[0] = char(40 * x);
            pixel[1] = char(60 * y);
            pixel[2] = char(200);
        }
    return bytes;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The screen point of a toolbar button's centre as "x y".
QString ButtonCentre(QAction* button)
{
    QWidget* widget = GraphicsEditor()->StandardToolbar->widgetForAction(button);
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    return QStringLiteral("%1 %2").arg(centre.x()).arg(centre.y());
}

// The user turns the picture (a change not yet confirmed by OK), then
// plays the demonstration, agreeing to have the picture closed for it;
// "back" when the turned picture is the one shown once it has ended.
QString PlayADemonstrationOverTheEdit(const QString& scriptPath)
{
    auto* document = static_cast<TKvGraphicsDocument*>(GraphicsEditor()->ActiveDocument());
    if (!document || !document->RotateRight())
        return QStringLiteral("no turn");
    TKvPixelBuffer turned;
    turned.SetFormat(PixelFormatBGR24, document->Image().Pixels().GetBounds());
    turned.Assign(document->Image().Pixels());
    TModalAnswers answers;
    answers.Answer(QMessageBox::Yes); // may the open picture be closed?
    answers.Answer(QMessageBox::Ok);  // the demonstration has finished
    TKvDemonstrationModule* demonstrations = RunningModule()->DemonstrationModule;
    TKvDemoScript script;
    if (!script.LoadFromFile(scriptPath) || !demonstrations->PlayScript(script))
        return QStringLiteral("not played");
    if (!RunLoopUntil([&] { return answers.Done() && !demonstrations->Playback().Playing(); }))
        return QStringLiteral("not ended");
    auto* shown = static_cast<TKvGraphicsDocument*>(GraphicsEditor()->ActiveDocument());
    if (answers.Unexpected != 0 || answers.Messages.size() != 2 || answers.Messages[1].Text != LocalStr(725))
        return QStringLiteral("not finished");
    if (!shown)
        return QStringLiteral("lost");
    return SamePixels(shown->Image().Pixels(), turned) ? QStringLiteral("back") : QStringLiteral("another");
}

} // namespace

// The program, on the X server the parent started.
TEST(PluginModeChild, Run)
{
    const QString report = qEnvironmentVariable(ReportVariable);
    if (report.isEmpty())
        GTEST_SKIP() << "runs only as the child of the tests below";
    // Once the window is on the screen, the parent learns where to click.
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, report] {
        if (!GraphicsEditor() || !GraphicsEditor()->OkButton || !MainForm()->isVisible())
            return;
        poll->stop();
        // The buttons are where they are shown only once the window is on
        // the screen with its layout done.
        if (!Settle(MainForm()))
            QCoreApplication::exit(1);
        const QString demo = qEnvironmentVariable(DemoVariable);
        const QString played = demo.isEmpty() ? QString() : PlayADemonstrationOverTheEdit(demo);
        QFile file(report + QStringLiteral(".part"));
        if (file.open(QIODevice::WriteOnly))
            file.write((ButtonCentre(GraphicsEditor()->OkButton) + QLatin1Char('\n')
                        + ButtonCentre(GraphicsEditor()->CancelButton) + QLatin1Char('\n') + played
                        + QLatin1Char('\n'))
                           .toUtf8());
        file.close();
        file.rename(report);
    });
    poll->start(50);
    SkipDemonstrationsAtStartup();
    const int exitCode = RunProgram(BuildLanguagesFolder());
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

class PluginModeOnScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!qEnvironmentVariableIsEmpty(ReportVariable))
            GTEST_SKIP() << "the parent's part";
        exchange = QDir(folder.path()).filePath(QStringLiteral("host.tmp"));
        QFile file(exchange);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(HostExchangeFile());
        file.close();

        server = std::make_unique<TXvfbServer>();
        display = server->Display();
        ASSERT_FALSE(display.isEmpty());
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(10000);
        }
        server.reset();
    }

    // Starts the program on the exchange file and clicks the button (0 OK,
    // 1 Cancel) once it is shown; returns the program's exit status.
    int ClickAndExit(int button)
    {
        const QString report = QDir(folder.path()).filePath(QStringLiteral("buttons.txt"));
        QProcessEnvironment environment = server->Environment();
        environment.insert(QLatin1String(ReportVariable), report);
        if (!demoScript.isEmpty())
            environment.insert(QLatin1String(DemoVariable), demoScript);
        environment.insert(QStringLiteral("GTEST_FILTER"), QStringLiteral("PluginModeChild.Run"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QCoreApplication::applicationFilePath(), {exchange});
        if (!program.waitForStarted(10000))
            return -1000;
        if (!WaitUntil([&] { return QFile::exists(report) || program.state() == QProcess::NotRunning; }, 60000))
            return -1001;
        const QStringList centres = QString::fromUtf8(ReadFile(report)).split(QLatin1Char('\n'));
        demoPlayed = centres.value(2);
        const QStringList at = centres.value(button).split(QLatin1Char(' '));
        if (at.size() != 2)
            return -1002;
        QProcessEnvironment xdotool = QProcessEnvironment::systemEnvironment();
        xdotool.insert(QStringLiteral("DISPLAY"), display);
        QProcess click;
        click.setProcessEnvironment(xdotool);
        click.start(QStringLiteral("xdotool"),
                    {QStringLiteral("mousemove"), at[0], at[1], QStringLiteral("click"), QStringLiteral("1")});
        if (!click.waitForFinished(20000) || click.exitCode() != 0)
            return -1003;
        if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
            return -1004;
        return program.exitCode();
    }

    TTempUserFolders userFolders;
    QTemporaryDir folder;
    QString exchange;
    // The script the child plays before the click, and what it said of the
    // picture afterwards.
    QString demoScript;
    QString demoPlayed;
    std::unique_ptr<TXvfbServer> server;
    QString display;
    QProcess program;
};

TEST_F(PluginModeOnScreen, OkWritesThePictureBackAndExitsWithZero)
{
    const QByteArray before = ReadFile(exchange);
    EXPECT_EQ(ClickAndExit(0), 0);

    const QByteArray after = ReadFile(exchange);
    TExchangeFileHeader header;
    ASSERT_EQ(ReadExchangeHeader(reinterpret_cast<const std::uint8_t*>(after.constData()), std::size_t(after.size()),
                                 Width * Height, header),
              TExchangeFileCheck::Valid);
    EXPECT_NE(after, before);
    EXPECT_EQ(header.BytesPerPixel, 3);
    EXPECT_EQ(header.Width, Width);
    EXPECT_EQ(header.Height, Height);
    // The same picture, red, green, blue as the host wrote them.
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const char* pixel = after.constData() + ExchangeHeaderSize + y * header.Stride + x * 3;
            EXPECT_EQ(uchar(pixel[0]), 40 * x);
            EXPECT_EQ(uchar(pixel[1]), 60 * y);
            EXPECT_EQ(uchar(pixel[2]), 200);
        }
}

TEST_F(PluginModeOnScreen, CancelLeavesTheFileAndExitsWith255)
{
    const QByteArray before = ReadFile(exchange);
    EXPECT_EQ(ClickAndExit(1), 255);
    EXPECT_EQ(ReadFile(exchange), before);
}

TEST_F(PluginModeOnScreen, ADemonstrationThenCancelLeavesTheFileAndExitsWith255)
{
    // The demonstration opens a picture of its own and turns it.
    demoScript = QDir(folder.path()).filePath(QStringLiteral("demo.dsc"));
    QFile script(demoScript);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("[Script]\nImageOpen \""
                 + QDir(qEnvironmentVariable("ORVANE_SOURCE_DIR")).filePath(QStringLiteral("Demo/coffee.png")).toUtf8()
                 + "\"\nRotation\nRotationLeft\nPause 0.2\n");
    script.close();
    const QByteArray before = ReadFile(exchange);
    EXPECT_EQ(ClickAndExit(1), 255);
    EXPECT_EQ(demoPlayed, QStringLiteral("back")) << "the user's turned picture after the demonstration";
    EXPECT_EQ(ReadFile(exchange), before) << "only OK writes the exchange file";
}
