// The playback of demonstration scripts on a clock the tests move by hand
// and an input that notes the pointer's moves and the buttons: the moves'
// paths and timing, waiting while the program is inactive, balloons,
// buttons that never stay pressed, the limits of the numbers, errors,
// Escape, and recording.
#include "DemoPlaybackFixture.h"
#include "KvBalloon.h"
#include "ShellTestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

void PressEscape(QObject* receiver)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &release);
}

// A widget that counts the keys it gets.
class KeyCounter : public QWidget {
public:
    int Keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++Keys; }
};

} // namespace

// ---------------------------------------------------------------------------
// Moves

TEST(KvDemoPlaybackTest, PositionsHalfwayThroughStraightAndCurvedMoves)
{
    struct Case {
        int Dx, Dy, Curvature;
        double T;
        QPoint Expected;
    };
    const Case cases[] = {
        {100, 50, 3, 0.5, {57, 40}},   // 10 pixels off the straight line
        {200, 100, 3, 0.5, {115, 80}}, // 20 pixels off
        {100, -100, 3, 0.5, {26, -26}}, // on the diagonal, short of its middle
        {100, 100, 3, 0.5, {74, 74}},   // on the diagonal, beyond its middle
        {100, 50, 0, 0.5, {50, 25}},    // straight
        {100, 0, 3, 0.5, {50, 0}},      // horizontal moves never bow
        {0, 100, 0, 0.25, {0, 12}},     // eased in: 12.5 rounds to even
        {0, 100, 0, 0.75, {0, 88}},     // eased out: 87.5 rounds to even
    };
    for (const Case& c : cases)
        EXPECT_EQ(TKvDemoScriptMouseMoveAction::Offset(c.T, c.Dx, c.Dy, c.Curvature), c.Expected)
            << c.Dx << "," << c.Dy << " curvature " << c.Curvature << " t " << c.T;
}

TEST(KvDemoPlaybackTest, AMoveIsWhereItsTimeSaysAtEveryTick)
{
    DemoPlaybackFixture f;
    ASSERT_TRUE(f.Play("MouseMove 100, 300\nMouseCurvedMove 200, 400"));
    f.TickAfter(0); // 200 pixels at speed 5: 800 ms
    EXPECT_EQ(f.input.Position, QPoint(100, 100));
    f.TickAfter(400);
    EXPECT_EQ(f.input.Position, QPoint(100, 200));
    f.TickAfter(300); // eased out: 193.75 pixels of 200
    EXPECT_EQ(f.input.Position, QPoint(100, 294));
    f.TickAfter(100);
    EXPECT_EQ(f.input.Position, QPoint(100, 300));

    // By (100, 100): 141.4 pixels, 566 ms; halfway it is beyond the middle.
    f.TickAfter(0);
    f.TickAfter(283);
    EXPECT_EQ(f.input.Position, QPoint(174, 374));
    f.TickAfter(283);
    EXPECT_EQ(f.input.Position, QPoint(200, 400));
    EXPECT_FALSE(f.TickAfter(0));
    EXPECT_EQ(f.Finished, 1);
}

TEST(KvDemoPlaybackTest, LateTicksKeepAMoveOnTime)
{
    DemoPlaybackFixture f;
    // At speed 20, 100 pixels take 100 ms, however the ticks fall.
    ASSERT_TRUE(f.Play("MouseSpeed 20\nMouseMove 200, 100"));
    f.TickAfter(0);
    f.TickAfter(0);
    f.TickAfter(37);
    f.TickAfter(53);
    EXPECT_NE(f.input.Position, QPoint(200, 100));
    f.TickAfter(10);
    EXPECT_EQ(f.input.Position, QPoint(200, 100));
    EXPECT_EQ(f.playback.MouseSpeed(), 20);
}

TEST(KvDemoPlaybackTest, AMoveWaitsWhileTheProgramIsInactiveAndGoesOnWithoutAJump)
{
    DemoPlaybackFixture f;
    ASSERT_TRUE(f.Play("MouseMove 100, 500")); // 1600 ms
    f.TickAfter(0);
    f.TickAfter(400);
    ASSERT_EQ(f.input.Position, QPoint(100, 150));
    f.playback.ApplicationActivated(false);
    EXPECT_EQ(f.playback.State(), TKvDemoPlayback::psPaused);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(f.TickAfter(5000));
    EXPECT_EQ(f.input.Position, QPoint(100, 150));
    f.playback.ApplicationActivated(true);
    EXPECT_EQ(f.playback.State(), TKvDemoPlayback::psPlaying);
    f.TickAfter(0);
    EXPECT_EQ(f.input.Position, QPoint(100, 150));
    f.TickAfter(400);
    EXPECT_EQ(f.input.Position, QPoint(100, 300));
}

TEST(KvDemoPlaybackTest, WaitingFollowsWhetherTheProgramIsActiveAndNotMinimised)
{
    DemoPlaybackFixture f;
    ASSERT_TRUE(f.Play("Pause 10"));
    f.playback.MainWindowMinimised(true);
    f.playback.ApplicationActivated(false);
    f.playback.MainWindowMinimised(false);
    EXPECT_EQ(f.playback.State(), TKvDemoPlayback::psPaused) << "restored, but another program is active";
    f.playback.ApplicationActivated(true);
    EXPECT_EQ(f.playback.State(), TKvDemoPlayback::psPlaying);

    // Two deactivations and one activation: the program is active, so the
    // playback goes on (a count of them would wait for ever).
    f.playback.ApplicationActivated(false);
    f.playback.ApplicationActivated(false);
    f.playback.ApplicationActivated(true);
    EXPECT_EQ(f.playback.State(), TKvDemoPlayback::psPlaying);
}

// ---------------------------------------------------------------------------
// Ticks

TEST(KvDemoPlaybackTest, EveryLineAndEveryStepOfAClickTakesATickOfItsOwn)
{
    DemoPlaybackFixture f;
    ASSERT_TRUE(f.Play("# comment\nMouseDown\nMouseUp\nMouseTo 10, 10\n// comment\nMouseClick 10, 10"));
    for (int line = 1; line <= 5; ++line) {
        f.TickAfter(0);
        EXPECT_EQ(f.playback.CurrentLine(), line);
    }
    EXPECT_EQ(f.input.Position, QPoint(10, 10));
    EXPECT_EQ(f.input.Buttons.size(), 2);
    f.TickAfter(0); // the click finds its target and its move is done at once
    EXPECT_EQ(f.input.Buttons.size(), 2);
    f.TickAfter(0);
    EXPECT_EQ(f.input.Buttons.size(), 3);
    f.TickAfter(0);
    EXPECT_EQ(f.input.Buttons, (QStringList{"down left 100,100", "up left 100,100", "down left 10,10", "up left 10,10"}));
    EXPECT_EQ(f.playback.CurrentLine(), 6);
    EXPECT_EQ(f.Finished, 0);
    EXPECT_FALSE(f.TickAfter(0));
    EXPECT_EQ(f.Finished, 1);
}

TEST(KvDemoPlaybackTest, PauseHoldsThePointerForItsTime)
{
    struct Case {
        const char* Line;
        int Ticks; // with ticks of 10 ms, the last one ending the script
    };
    const Case cases[] = {{"Pause", 102}, {"Pause 0.5", 52}, {"Pause 0", 2}, {"Pause -1", 2}};
    for (const Case& c : cases) {
        DemoPlaybackFixture f;
        ASSERT_TRUE(f.Play(c.Line));
        EXPECT_EQ(f.RunToEnd(), c.Ticks) << c.Line;
        EXPECT_TRUE(f.Errors.isEmpty()) << c.Line;
    }
    DemoPlaybackFixture f;
    ASSERT_TRUE(f.Play("MouseTo 50, 60\nPause 1"));
    f.TickAfter(0);
    f.TickAfter(0);
    f.input.Position = QPoint(300, 300); // the user's hand on the mouse
    f.TickAfter(10);
    EXPECT_EQ(f.input.Position, QPoint(50, 60));
}

TEST(KvDemoPlaybackTest, ACommandThatOpensAModalDialogRunsOnceWhileTheDialogIsOpen)
{
    DemoPlaybackFixture f;
    int runs = 0;
    int lineWhileOpen = -1;
    QPoint pointerWhileOpen;
    f.playback.OnUserCommand = [&](const QString& name, bool& handled, TKvDemoScriptUserAction&,
                                   const TKvCustomProperties&) {
        handled = name == QStringLiteral("ASK");
        ++runs;
        QDialog dialog;
        // The playback's own timer ticks inside the dialog's loop meanwhile.
        QTimer::singleShot(300, &dialog, [&] {
            lineWhileOpen = f.playback.CurrentLine();
            pointerWhileOpen = f.input.Position;
            dialog.accept();
        });
        dialog.exec();
    };
    ASSERT_TRUE(f.Play("Ask\nMouseTo 20, 20"));
    ASSERT_TRUE(WaitUntil([&] { return !f.playback.Playing(); }, 20000));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lineWhileOpen, 0);
    EXPECT_EQ(pointerWhileOpen, QPoint(100, 100));
    EXPECT_EQ(f.input.Position, QPoint(20, 20));
    EXPECT_EQ(f.Finished, 1);
}

// ---------------------------------------------------------------------------
// Buttons

TEST(KvDemoPlaybackTest, AHeldButtonIsReleasedWhenTheScriptEnds)
{
    DemoPlaybackFixture f;
    ASSERT_TRUE(f.Play("MouseDown\nMouseRightDown"));
    f.RunToEnd();
    EXPECT_EQ(f.input.Buttons,
              (QStringList{"down left 100,100", "down right 100,100", "up left 100,100", "up right 100,100"}));
}

TEST(KvDemoPlaybackTest, AHeldButtonIsReleasedWhereThePlaybackPutThePointerWhenStopped)
{
    DemoPlaybackFixture f;
    int questions = 0;
    f.playback.OnQueryStop = [&](bool& stop) {
        ++questions;
        stop = true;
    };
    ASSERT_TRUE(f.Play("MouseDown\nMouseTo 150, 150\nPause 10"));
    for (int i = 0; i < 4; ++i)
        f.TickAfter(10);
    f.input.Position = QPoint(5, 5);
    KeyCounter receiver;
    PressEscape(&receiver);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(receiver.Keys, 0) << "the playback takes its Escape";
    EXPECT_EQ(f.input.Buttons, (QStringList{"down left 100,100", "up left 150,150"}));
    EXPECT_FALSE(f.TickAfter(10));
    EXPECT_EQ(f.playback.State(), TKvDemoPlayback::psStopped);
}

TEST(KvDemoPlaybackTest, AHeldButtonIsReleasedOnAnErrorAndWhenTheProgramEnds)
{
    {
        DemoPlaybackFixture f;
        ASSERT_TRUE(f.Play("MouseRightDown\nNoSuchCommand 1"));
        f.RunToEnd();
        EXPECT_EQ(f.input.Buttons, (QStringList{"down right 100,100", "up right 100,100"}));
        EXPECT_EQ(f.Errors, QStringList{"Unknown command: \"NOSUCHCOMMAND\" | NoSuchCommand 1"});
    }
    TestDemoClock clock;
    TestDemoInput input;
    auto playback = std::make_unique<TKvDemoPlayback>(input, clock);
    TKvDemoScript script;
    script.LoadFromBytes("[Script]\nMouseDown\nPause 10\n");
    playback->Assign(script);
    ASSERT_TRUE(playback->Play());
    playback->Tick();
    playback.reset();
    EXPECT_EQ(input.Buttons, (QStringList{"down left 100,100", "up left 100,100"}));
}

TEST(KvDemoPlaybackTest, AClickWhoseTargetIsNotFoundPressesNoButton)
{
    DemoPlaybackFixture f;
    f.StopOnError = false; // the error handler lets the script go on
    ASSERT_TRUE(f.Play("MouseClick NoSuchName\nMouseDblClick NoSuchName\nMouseDrag NoSuchName\n"
                       "MouseRightClick NoSuchName"));
    f.RunToEnd();
    EXPECT_TRUE(f.input.Buttons.isEmpty()) << f.input.Buttons.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(f.Errors.size(), 4);
    EXPECT_EQ(f.Errors.value(0), QStringLiteral("Invalid arguments. | MouseClick NoSuchName"));
    EXPECT_EQ(f.Finished, 1);
}

TEST(KvDemoPlaybackTest, AClickOnANamedTargetMovesStraightToItAndClicksThere)
{
    DemoPlaybackFixture f;
    f.playback.OnGetTargetPoint = [](const TKvCustomProperties& params, bool& found, QPoint& point) {
        found = ScriptParamText(params, 0).toUpper() == QStringLiteral("OKBUTTON");
        point = QPoint(300, 200);
    };
    ASSERT_TRUE(f.Play("MouseClick OkButton"));
    f.RunToEnd();
    EXPECT_EQ(f.input.Buttons, (QStringList{"down left 300,200", "up left 300,200"}));
    for (const QPoint& p : f.input.Moves) // on the line from (100, 100) to (300, 200)
        EXPECT_LE(std::abs((p.x() - 100) - 2 * (p.y() - 100)), 2) << p.x() << "," << p.y();
    EXPECT_TRUE(f.Errors.isEmpty());
}

TEST(KvDemoPlaybackTest, WhileAModalWindowIsOpenOnlyTargetsInsideItAreClicked)
{
    // The click behind the dialog would reach nothing: the line is an error
    // and no button goes down; a target in the dialog is clicked.
    DemoPlaybackFixture f;
    QDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setGeometry(400, 300, 200, 100);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    f.playback.OnGetTargetPoint = [](const TKvCustomProperties& params, bool& found, QPoint& point) {
        found = true;
        point = ScriptParamText(params, 0).toUpper() == QStringLiteral("INDIALOG") ? QPoint(450, 340) : QPoint(50, 60);
    };
    f.StopOnError = false;
    ASSERT_TRUE(f.Play("MouseClick BehindTheDialog\nMouseClick InDialog"));
    f.RunToEnd();
    EXPECT_EQ(f.Errors, QStringList{"Invalid arguments. | MouseClick BehindTheDialog"});
    EXPECT_EQ(f.input.Buttons, (QStringList{"down left 450,340", "up left 450,340"}));
}

// ---------------------------------------------------------------------------
// Numbers and errors

TEST(KvDemoPlaybackTest, NumbersOutsideTheirRangeAreInvalidArguments)
{
    struct Case {
        const char* Line;
        bool Error;
        int Speed; // the mouse speed afterwards
    };
    const Case cases[] = {
        {"MouseSpeed -5", true, 5},      {"MouseSpeed 1001", true, 5},     {"MouseSpeed 0", false, 5},
        {"MouseSpeed abc", false, 5},    {"MouseSpeed", false, 5},         {"MouseSpeed 1000", false, 1000},
        {"MouseSpeed 2.4", false, 2},    {"MouseSpeed 65536", true, 5},    {"MouseSpeed 99999999999", true, 5},
        {"Pause 3601", true, 5},         {"Pause 1E20", true, 5},          {"Message \"x\", 4000", true, 5},
        {"MouseTo 1E20, 5", true, 5},    {"MouseTo 5000, 5000", true, 5},  {"MouseTo 1.2.3, 4", true, 5},
        {"MouseTo -, 4", true, 5},
    };
    for (const Case& c : cases) {
        DemoPlaybackFixture f;
        ASSERT_TRUE(f.Play(c.Line));
        f.TickAfter(0);
        EXPECT_EQ(!f.Errors.isEmpty(), c.Error) << c.Line;
        if (c.Error) {
            EXPECT_EQ(f.Errors.value(0), QStringLiteral("Invalid arguments. | ") + QString::fromUtf8(c.Line));
        }
        EXPECT_EQ(f.playback.MouseSpeed(), c.Speed) << c.Line;
        EXPECT_EQ(f.playback.Playing(), !c.Error) << c.Line;
    }
}

// Hostile lines after a pressed button: each ends in an error or is
// ignored, the playback comes to its end, and the button goes up again.
TEST(KvDemoPlaybackTest, HostileLinesEndTheScriptOrAreIgnoredWithoutAButtonLeftDown)
{
    QByteArray binary;
    for (int byte = 1; byte < 256; ++byte)
        if (byte != '\n' && byte != '\r')
            binary += char(byte);
    QByteArray manyArguments = "MouseTo 1";
    for (int i = 0; i < 300000; ++i)
        manyArguments += ", 1";
    const QByteArray longMessage = "Message \"" + QByteArray(100000, 'y') + "\", 0.1";
    const QByteArray megabyteLine = "Message \"" + QByteArray(1 << 20, 'z');
    const QByteArray repeatedKeys = "Message \"" + QByteArray(100000, '%') + "intro\", 0.1";
    const QByteArray cases[] = {
        binary,
        "Message \"never closed, 0.1",
        manyArguments,
        longMessage,
        megabyteLine,
        repeatedKeys,
        "MouseClick 100000, 100000",
        "MouseCurvedMove -40000, -40000",
        "MouseDrag 2147483648, 5",
    };
    for (const QByteArray& line : cases) {
        DemoPlaybackFixture f;
        f.StopOnError = false;
        ASSERT_TRUE(f.Play("MouseDown\n" + line, "[1033]\nintro=%intro\n"));
        EXPECT_LT(f.RunToEnd(10, 100000), 100000) << line.left(40).toStdString();
        EXPECT_FALSE(f.playback.Playing());
        ASSERT_EQ(f.input.Buttons.size(), 2) << line.left(40).toStdString();
        EXPECT_TRUE(f.input.Buttons.last().startsWith(QStringLiteral("up left"))) << line.left(40).toStdString();
    }
}

TEST(KvDemoPlaybackTest, AnErrorStopsThePlaybackUnlessItsHandlerSaysToGoOn)
{
    DemoPlaybackFixture f;
    ASSERT_TRUE(f.Play("Foo\nMouseTo 10, 10"));
    f.RunToEnd();
    EXPECT_EQ(f.Errors, QStringList{"Unknown command: \"FOO\" | Foo"});
    EXPECT_EQ(f.input.Position, QPoint(100, 100));
    EXPECT_EQ(f.Finished, 0);

    DemoPlaybackFixture going;
    going.StopOnError = false;
    ASSERT_TRUE(going.Play("Foo\nMouseTo 10, 10"));
    going.RunToEnd();
    EXPECT_EQ(going.input.Position, QPoint(10, 10));
    EXPECT_EQ(going.Finished, 1);

    // Without a handler, playback stops.
    TestDemoClock clock;
    TestDemoInput input;
    TKvDemoPlayback bare(input, clock);
    TKvDemoScript script;
    script.LoadFromBytes("[Script]\nFoo\nMouseTo 10, 10\n");
    bare.Assign(script);
    ASSERT_TRUE(bare.Play());
    while (bare.Tick()) {
    }
    EXPECT_EQ(input.Position, QPoint(100, 100));
}

TEST(KvDemoPlaybackTest, APlayingPlaybackRefusesToStartAgainAndOnBeforePlayMayCancel)
{
    DemoPlaybackFixture f;
    bool cancel = true;
    f.playback.OnBeforePlay = [&](bool& cancelled) { cancelled = cancel; };
    EXPECT_FALSE(f.Play("Pause 1"));
    cancel = false;
    EXPECT_TRUE(f.Play("Pause 1"));
    EXPECT_FALSE(f.playback.Play(0));
    f.RunToEnd();
    EXPECT_TRUE(f.playback.Play(0)) << "again once it finished";
}

// ---------------------------------------------------------------------------
// Escape

TEST(KvDemoPlaybackTest, EscapeStopsAlsoWhileWaitingButNotWhileTheQuestionIsShown)
{
    DemoPlaybackFixture f;
    KeyCounter receiver;
    int questions = 0;
    bool answer = false;
    f.playback.OnQueryStop = [&](bool& stop) {
        ++questions;
        PressEscape(&receiver); // Escape in the question is the question's
        stop = answer;
    };
    ASSERT_TRUE(f.Play("Pause 10"));
    f.TickAfter(0);
    PressEscape(&receiver);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(receiver.Keys, 1);
    EXPECT_EQ(f.playback.State(), TKvDemoPlayback::psPlaying) << "answered no";

    f.playback.ApplicationActivated(false);
    answer = true;
    PressEscape(&receiver);
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(f.playback.State(), TKvDemoPlayback::psStopped);

    // Once stopped, Escape is the program's again.
    f.TickAfter(0);
    PressEscape(&receiver);
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(receiver.Keys, 3);
}

// ---------------------------------------------------------------------------
// Balloons

TEST(KvDemoPlaybackTest, AMessageShowsItsBalloonForItsTimeWithThePointerHidden)
{
    DemoPlaybackFixture f;
    ASSERT_TRUE(f.Play("MouseTo 200, 150\nMessage 'Line one\\nline two', 2.5, 4"));
    f.TickAfter(0);
    f.TickAfter(0);
    auto* message = dynamic_cast<TKvDemoScriptBalloonAction*>(f.playback.CurrentAction());
    ASSERT_NE(message, nullptr);
    ASSERT_NE(message->Balloon(), nullptr);
    TKvBalloon& balloon = *message->Balloon();
    EXPECT_TRUE(balloon.isVisible());
    EXPECT_EQ(balloon.Text(), QStringLiteral("Line one\nline two"));
    EXPECT_EQ(balloon.Layout().Position, 4);
    EXPECT_EQ(balloon.geometry().topLeft() + balloon.Layout().Tip, QPoint(200, 150));
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);

    // Switching to another program hides the balloon and shows the pointer;
    // back, they come back and the remaining time runs on.
    f.TickAfter(1000);
    f.playback.ApplicationActivated(false);
    EXPECT_FALSE(balloon.isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    f.TickAfter(60000);
    f.playback.ApplicationActivated(true);
    EXPECT_TRUE(balloon.isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    f.TickAfter(1490);
    EXPECT_EQ(f.playback.CurrentAction(), message);
    f.TickAfter(10);
    EXPECT_EQ(f.playback.CurrentAction(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(KvDemoPlaybackTest, AMessageKeyIsLookedUpInTheLanguageOfTheProgram)
{
    TTestLocalizer localizer; // English, German and Russian; English the default
    const QByteArray texts = "[1033]\nintro=Hello\n[1031]\nintro=Hallo\n[1049]\nother=x\n";
    struct Case {
        quint16 Language;
        QString Shown; // empty: no balloon, and the line ends at once
    };
    const Case cases[] = {{1031, QStringLiteral("Hallo")}, {1049, QString()}, {1033, QStringLiteral("Hello")}};
    for (const Case& c : cases) {
        SetLanguage(c.Language);
        DemoPlaybackFixture f;
        ASSERT_TRUE(f.Play("Message \"%intro\"", texts));
        f.TickAfter(0);
        auto* message = dynamic_cast<TKvDemoScriptBalloonAction*>(f.playback.CurrentAction());
        if (c.Shown.isEmpty()) {
            EXPECT_EQ(message, nullptr) << c.Language;
            EXPECT_EQ(f.playback.CurrentLine(), 1) << c.Language;
        } else {
            ASSERT_NE(message, nullptr) << c.Language;
            EXPECT_EQ(message->Balloon()->Text(), c.Shown);
        }
    }
    // Without a section for the current language, the default language's.
    TKvDemoScript script;
    script.LoadFromBytes("[1033]\nintro=Hello\n");
    SetLanguage(1031);
    EXPECT_EQ(script.LocalizedText("intro"), QStringLiteral("Hello"));
    SetLanguage(1033);
}

// ---------------------------------------------------------------------------
// Recording

TEST(KvDemoPlaybackTest, RecordedLinesGoAtTheEndOrWhereAsked)
{
    DemoPlaybackFixture f;
    TKvDemoScript script;
    script.LoadFromBytes("[Script]\nA\nB\n");
    f.playback.Assign(script);
    std::vector<std::pair<int, QString>> recorded;
    f.playback.OnRecordLine = [&](int index, const QString& line) { recorded.emplace_back(index, line); };
    f.playback.RecordLine(QStringLiteral("ignored while not recording"));
    ASSERT_TRUE(f.playback.BeginRecording(-1));
    EXPECT_FALSE(f.playback.Play(0));
    f.playback.RecordLine(QStringLiteral("C"));
    f.playback.RecordLine(QStringLiteral("D"));
    f.playback.EndRecording();
    ASSERT_TRUE(f.playback.BeginRecording(0));
    f.playback.RecordLine(QStringLiteral("Z"));
    f.playback.EndRecording();
    QStringList lines;
    for (int i = 0; i < f.playback.Script().LineCount(); ++i)
        lines << f.playback.Script().Line(i);
    EXPECT_EQ(lines, (QStringList{"Z", "A", "B", "C", "D"}));
    EXPECT_EQ(recorded, (std::vector<std::pair<int, QString>>{{2, "C"}, {3, "D"}, {0, "Z"}}));
}
