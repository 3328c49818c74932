// The input of demonstrations where the pointer cannot be moved (here the
// offscreen platform): Qt mouse events posted to the widget under the
// playback position, a press and its release as a click, two quick ones as
// a double click, and the moves of a held button to the widget that took
// the press, as a real pointer's grab gives them.
#include "KvDemoInput.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A widget that notes the mouse events it gets.
class MouseLog : public QWidget {
public:
    QStringList Events;

protected:
    void mousePressEvent(QMouseEvent* event) override { Note(QStringLiteral("press"), event); }
    void mouseReleaseEvent(QMouseEvent* event) override { Note(QStringLiteral("release"), event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { Note(QStringLiteral("double"), event); }
    void mouseMoveEvent(QMouseEvent* event) override { Note(QStringLiteral("move"), event); }

private:
    void Note(const QString& what, QMouseEvent* event)
    {
        Events << QStringLiteral("%1 %2,%3%4")
                      .arg(what)
                      .arg(event->position().toPoint().x())
                      .arg(event->position().toPoint().y())
                      .arg(event->buttons() & Qt::LeftButton ? QStringLiteral(" held") : QString());
    }
};

struct InputFixture {
    InputFixture()
    {
        auto* layout = new QVBoxLayout(&window);
        button = new QPushButton(QStringLiteral("Go"));
        log = new MouseLog;
        log->setMinimumSize(200, 100);
        log->setMouseTracking(true);
        layout->addWidget(button);
        layout->addWidget(log);
        window.resize(300, 250);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QPoint Centre(QWidget* widget) const { return widget->mapToGlobal(widget->rect().center()); }

    QWidget window;
    QPushButton* button;
    MouseLog* log;
    TKvPostedDemoInput input;
};

} // namespace

TEST(KvDemoInputTest, OnThisPlatformTheProgramPostsQtEvents)
{
    std::unique_ptr<IKvDemoInput> input = CreateDemoInput();
    EXPECT_NE(dynamic_cast<TKvPostedDemoInput*>(input.get()), nullptr);
}

TEST(KvDemoInputTest, APressAndAReleaseOverAButtonClickIt)
{
    InputFixture f;
    int clicks = 0;
    QObject::connect(f.button, &QPushButton::clicked, [&] { ++clicks; });
    f.input.SetCursorPos(f.Centre(f.button));
    f.input.Press(Qt::LeftButton);
    f.input.Release(Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(f.input.CursorPos(), f.Centre(f.button));
    // The right button does not click a push button.
    f.input.Press(Qt::RightButton);
    f.input.Release(Qt::RightButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);
}

TEST(KvDemoInputTest, TwoQuickClicksAreADoubleClick)
{
    InputFixture f;
    f.input.SetCursorPos(f.log->mapToGlobal(QPoint(20, 30)));
    for (int i = 0; i < 2; ++i) {
        f.input.Press(Qt::LeftButton);
        f.input.Release(Qt::LeftButton);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(f.log->Events, (QStringList{"move 20,30", "press 20,30 held", "release 20,30", "double 20,30 held",
                                          "release 20,30"}));
}

TEST(KvDemoInputTest, AHeldButtonsMovesGoToTheWidgetThatTookThePress)
{
    InputFixture f;
    f.input.SetCursorPos(f.log->mapToGlobal(QPoint(10, 10)));
    f.input.Press(Qt::LeftButton);
    f.input.SetCursorPos(f.log->mapToGlobal(QPoint(50, 20)));
    // Out over the button: the log still gets the move, as a grab would.
    f.input.SetCursorPos(f.log->mapToGlobal(QPoint(50, -20)));
    f.input.Release(Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.log->Events, (QStringList{"move 10,10", "press 10,10 held", "move 50,20 held", "move 50,-20 held",
                                          "release 50,-20"}));
}
