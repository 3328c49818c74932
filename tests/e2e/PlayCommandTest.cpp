// `orvane --play SCRIPT [--save-as FILE] [PICTURE]` as a user runs it: the
// exit status of each way a run ends (0 completed, 2 a wrong command line or
// script, 3 a line's error with the line on standard error, 4 stopped with
// Escape, 5 a failed save), nothing written unless the status is 0, and the
// settings left alone. With --save-as, a script that cuts an object out by
// the clipping tool's names, and one that turns, crops and brightens by the
// picture tools' names, save the same picture as the same edits done by
// hand in the editor.
#include "KvBrightnessContrastTool.h"
#include "KvClippingTool.h"
#include "KvCropTool.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvRotateTool.h"
#include "Model.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "ViewMouse.h"
#include "XvfbServer.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct TRun {
    int Status = -1;
    QString Errors;
};

QString Orvane()
{
    return QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("orvane"));
}

TRun RunOrvane(const QStringList& arguments, const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
               const std::function<void(QProcess&)>& meanwhile = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(Orvane(), arguments);
    TRun run;
    if (!process.waitForStarted(10000))
        return run;
    if (meanwhile)
        meanwhile(process);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(10000);
        return run;
    }
    run.Status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// A dark disc on a light ground, small enough to be shown at 1:1.
QImage Disc()
{
    QImage picture(200, 160, QImage::Format_RGB888);
    picture.fill(QColor(230, 220, 200));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (std::hypot(x - 100, y - 80) < 40)
                picture.setPixelColor(x, y, QColor(40 + x % 7, 60, 90 + y % 5));
    return picture;
}

// The band's points round the disc.
std::vector<QPointF> Band()
{
    return RingPoints(100, 80, 52, 60);
}

class PlayCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        picture = folder.filePath(QStringLiteral("disc.png"));
        ASSERT_TRUE(Disc().save(picture));
    }

    QString WriteScript(const QByteArray& lines)
    {
        const QString path = folder.filePath(QStringLiteral("script%1.dsc").arg(++scripts));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Script]\n" + lines + "\n");
        return path;
    }

    QString Output(const QString& name) const { return folder.filePath(name); }

    TTempUserFolders folders;
    QTemporaryDir folder;
    QString picture;
    int scripts = 0;
};

} // namespace

TEST_F(PlayCommand, AScriptThatRunsToItsEndExitsWithZeroAndLeavesTheSettingsAlone)
{
    const TRun run = RunOrvane({QStringLiteral("--play"), WriteScript("Pause 0.1\nZoomIn\nMouseTo 20, 20"), picture});
    EXPECT_EQ(run.Status, 0) << run.Errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvane/orvane.cfg")));
}

TEST_F(PlayCommand, ALineThatFailsExitsWithThreeNamingTheLineAndWritesNothing)
{
    const QString output = Output(QStringLiteral("never.png"));
    const TRun run = RunOrvane({QStringLiteral("--play"), WriteScript("Pause 0.1\nNoSuchCommand 5\nPause 0.1"),
                                QStringLiteral("--save-as"), output, picture});
    EXPECT_EQ(run.Status, 3);
    EXPECT_TRUE(run.Errors.contains(QStringLiteral("Line 2 of the script, NoSuchCommand 5: Unknown command: \"NOSUCHCOMMAND\"")))
        << run.Errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(output));

    const TRun invalid = RunOrvane({QStringLiteral("--play"), WriteScript("MouseMove 99999999999, 3"), picture});
    EXPECT_EQ(invalid.Status, 3);
    EXPECT_TRUE(invalid.Errors.contains(QStringLiteral("Invalid arguments."))) << invalid.Errors.toStdString();
}

TEST_F(PlayCommand, AFailedSaveExitsWithFiveAndLeavesNoFile)
{
    const QString output = Output(QStringLiteral("no/such/folder/out.png"));
    const TRun run = RunOrvane({QStringLiteral("--play"), WriteScript("Pause 0.1"), QStringLiteral("--save-as"), output, picture});
    EXPECT_EQ(run.Status, 5) << run.Errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(output));
    // Nothing to save: no picture is open.
    const TRun none = RunOrvane({QStringLiteral("--play"), WriteScript("Pause 0.1"), QStringLiteral("--save-as"),
                                 Output(QStringLiteral("none.png"))});
    EXPECT_EQ(none.Status, 5);
    EXPECT_FALSE(QFileInfo::exists(Output(QStringLiteral("none.png"))));
}

TEST_F(PlayCommand, AWrongCommandLineOrScriptExitsWithTwoBeforeAnythingRuns)
{
    const QString script = WriteScript("Pause 0.1");
    const std::pair<QStringList, QString> cases[] = {
        {{QStringLiteral("--play")}, QStringLiteral("Usage")},
        {{QStringLiteral("--play"), script, QStringLiteral("--save-as")}, QStringLiteral("Usage")},
        {{QStringLiteral("--play"), script, QStringLiteral("--frobnicate")}, QStringLiteral("Usage")},
        {{QStringLiteral("--play"), script, picture, picture}, QStringLiteral("Usage")},
        {{QStringLiteral("--play"), Output(QStringLiteral("missing.dsc"))}, QStringLiteral("Cannot read")},
        {{QStringLiteral("--play"), folder.path()}, QStringLiteral("Cannot read")},
        {{QStringLiteral("--play"), script, QStringLiteral("--save-as"), Output(QStringLiteral("out.xyz")), picture},
         QStringLiteral("extension")},
    };
    for (const auto& [arguments, message] : cases) {
        const TRun run = RunOrvane(arguments);
        EXPECT_EQ(run.Status, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.Errors.contains(message)) << run.Errors.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(Output(QStringLiteral("out.xyz"))));
}

TEST_F(PlayCommand, EscapeThenYesStopsWithFourAndWritesNothing)
{
    TXvfbServer server;
    ASSERT_FALSE(server.Display().isEmpty());
    QProcessEnvironment environment = server.Environment();
    const QString output = Output(QStringLiteral("stopped.png"));
    const auto pressEscapeAndYes = [&](QProcess& orvane) {
        const auto xdotool = [&](const QStringList& arguments) {
            QProcess tool;
            tool.setProcessEnvironment(environment);
            tool.start(QStringLiteral("xdotool"), arguments);
            tool.waitForFinished(20000);
            return tool.exitCode() == 0;
        };
        // Once the window is up, give it the keyboard and press Escape until
        // the stop question shows (the script may not have started, or the
        // focus not arrived, at the first press); the question takes Return
        // as its default, Yes. Focusing is tried again before every press
        // and its outcome not waited for: without a window manager it can
        // fail while the window is still being mapped, or outlast the
        // tool's own time limit.
        const QStringList mainWindow{QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                     QStringLiteral("Orvane")};
        ASSERT_TRUE(WaitUntil([&] { return xdotool(mainWindow); }, 90000))
            << "no window named Orvane came up"; // a guard: on a busy machine the window takes long
        const auto questionShown = [&] {
            return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                            QStringLiteral("^Demonstrations$")});
        };
        ASSERT_TRUE(WaitUntil([&] {
            xdotool(mainWindow + QStringList{QStringLiteral("windowfocus")});
            xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            return WaitUntil(questionShown, 3000);
        }, 90000));
        // The question is modal and has the keyboard once it is up.
        RunEventLoopFor(500);
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        Q_UNUSED(orvane);
    };
    const TRun run = RunOrvane({QStringLiteral("--play"), WriteScript("Pause 600"), QStringLiteral("--save-as"), output,
                                picture},
                               environment, pressEscapeAndYes);
    EXPECT_EQ(run.Status, 4) << run.Errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(output));
}

// The same cut done by a script and by hand.
TEST_F(PlayCommand, ACutOutPlayedAndSavedEqualsTheSameEditsDoneByHand)
{
    // The script: the band through the points with MouseTo (one move to
    // each point), Separate, Effect and Done by the clipping tool's names.
    const std::vector<QPointF> band = Band();
    QByteArray lines = "EdgeIndicationSize 14\nActualSize\n";
    for (std::size_t i = 0; i < band.size(); ++i) {
        lines += QStringLiteral("MouseTo Image, %1, %2\n")
                     .arg(int(std::lround(band[i].x())))
                     .arg(int(std::lround(band[i].y())))
                     .toUtf8();
        if (i == 0)
            lines += "MouseDown\n";
    }
    lines += "MouseUp\nEdgeIndicationShadow 4\nEdgeIndicationBackgroundEffect 1\nEdgeIndicationSeparate\n"
             "EdgeIndicationEffect\nEdgeIndicationDone";
    const QString played = Output(QStringLiteral("played.png"));
    const TRun run = RunOrvane({QStringLiteral("--play"), WriteScript(lines), QStringLiteral("--save-as"), played, picture});
    ASSERT_EQ(run.Status, 0) << run.Errors.toStdString();

    // By hand: the same program in this process, the same drag.
    QString byHand = Output(QStringLiteral("byhand.png"));
    {
        TTestLocalizer localizer;
        auto application = std::make_unique<TKvApplication>();
        TProgramModules program;
        program.CreateProgram(*application);
        application->LoadAllSettings();
        program.MainForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(program.MainForm));
        TKvDocument* document = nullptr;
        ASSERT_TRUE(program.GraphicsEditor->OpenFile(picture, document, false));
        program.GraphicsEditor->ActualSizeClick(nullptr);
        TKvClippingTool& tool = *program.ClippingTool;
        tool.SetSize(14);
        std::vector<QPointF> rounded;
        for (const QPointF& p : band)
            rounded.emplace_back(std::lround(p.x()), std::lround(p.y()));
        Drag(program.GraphicsEditor->ActiveView(), rounded);
        tool.SetShadowLevel(4);
        tool.SetBackgroundEffect(1);
        tool.Separate();
        tool.ShowEffect();
        tool.Done();
        ASSERT_TRUE(document->SaveToFile(byHand, 2));
        document->SetNoSavePrompt(true);
        application = nullptr;
    }
    const QImage scriptResult(played);
    const QImage handResult(byHand);
    ASSERT_FALSE(scriptResult.isNull());
    ASSERT_EQ(scriptResult.size(), handResult.size());
    EXPECT_EQ(scriptResult.convertToFormat(QImage::Format_RGB888), handResult.convertToFormat(QImage::Format_RGB888));
    EXPECT_NE(scriptResult.convertToFormat(QImage::Format_RGB888), Disc()) << "the cut changed the picture";
}

// Turned, cropped and brightened by the picture tools' names; the brightness
// is left open, and the save settles it as a save from the menu would.
TEST_F(PlayCommand, ATurnCropAndBrightnessPlayedAndSavedEqualTheSameEditsDoneByHand)
{
    // Turned right, the 200 x 160 disc is 160 x 200.
    const std::vector<QPointF> corners{{20, 30}, {70, 90}, {130, 170}};
    QByteArray lines = "ActualSize\nRotationRight\nCrop\n";
    for (std::size_t i = 0; i < corners.size(); ++i) {
        lines += QStringLiteral("MouseTo Image, %1, %2\n").arg(corners[i].x()).arg(corners[i].y()).toUtf8();
        if (i == 0)
            lines += "MouseDown\n";
    }
    lines += "MouseUp\nCropPerform\nBrightnessContrast\nBrightnessContrastBrightness 40";
    const QString played = Output(QStringLiteral("played.png"));
    const TRun run = RunOrvane({QStringLiteral("--play"), WriteScript(lines), QStringLiteral("--save-as"), played, picture});
    ASSERT_EQ(run.Status, 0) << run.Errors.toStdString();

    QString byHand = Output(QStringLiteral("byhand.png"));
    {
        TTestLocalizer localizer;
        auto application = std::make_unique<TKvApplication>();
        TProgramModules program;
        program.CreateProgram(*application);
        application->LoadAllSettings();
        program.MainForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(program.MainForm));
        TKvDocument* document = nullptr;
        ASSERT_TRUE(program.GraphicsEditor->OpenFile(picture, document, false));
        program.GraphicsEditor->ActualSizeClick(nullptr);
        TModule& module = *program.Module;
        ASSERT_TRUE(module.RotateTool->RotateRight());
        program.GraphicsEditor->SetActiveTool(module.CropTool);
        Drag(program.GraphicsEditor->ActiveView(), corners);
        module.CropTool->Perform();
        program.GraphicsEditor->SetActiveTool(module.BrightnessContrastTool);
        module.BrightnessContrastTool->SetBrightness(40);
        module.BrightnessContrastTool->Commit();
        ASSERT_TRUE(document->SaveToFile(byHand, 2));
        document->SetNoSavePrompt(true);
        application = nullptr;
    }
    const QImage scriptResult(played);
    const QImage handResult(byHand);
    ASSERT_FALSE(scriptResult.isNull());
    EXPECT_EQ(scriptResult.size(), QSize(110, 140)) << "turned, then cropped";
    ASSERT_EQ(scriptResult.size(), handResult.size());
    EXPECT_EQ(scriptResult.convertToFormat(QImage::Format_RGB888), handResult.convertToFormat(QImage::Format_RGB888));
    EXPECT_NE(scriptResult.pixelColor(0, 0), QColor(230, 220, 200)) << "brightened";
}
