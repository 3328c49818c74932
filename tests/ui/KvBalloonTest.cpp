// The balloon of demonstrations: its shape and place in the four tail
// positions and the automatic choice towards the screen's middle, the
// one-pixel outline, wrapping, a window that neither takes the focus nor
// catches clicks, and texts far too long for it.
#include "KvBalloon.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

const QRect Screen(0, 0, 800, 600);

} // namespace

TEST(KvBalloonTest, TheTailsTipIsOnTheAnchorInEachPosition)
{
    // A text of 100 x 20: a body of 116 x 36, a window 16 higher.
    const QSize text(100, 20);
    struct Case {
        int Position;
        QPoint Anchor;
        int Chosen;
        QPoint Tip;       // in the window
        QRect Body;       // in the window
        QPoint TextAt;    // in the window
    };
    const Case cases[] = {
        {1, {300, 200}, 1, {16, 0}, {0, 16, 116, 36}, {12, 24}},
        {2, {300, 200}, 2, {100, 0}, {0, 16, 116, 36}, {12, 24}},
        {3, {300, 200}, 3, {15, 51}, {0, 0, 116, 36}, {12, 8}},
        {4, {300, 200}, 4, {99, 51}, {0, 0, 116, 36}, {12, 8}},
        // Automatic: the balloon extends towards the middle of the screen.
        {0, {10, 10}, 1, {16, 0}, {0, 16, 116, 36}, {12, 24}},
        {0, {790, 10}, 2, {100, 0}, {0, 16, 116, 36}, {12, 24}},
        {0, {10, 590}, 3, {15, 51}, {0, 0, 116, 36}, {12, 8}},
        {0, {790, 590}, 4, {99, 51}, {0, 0, 116, 36}, {12, 8}},
        {0, {400, 300}, 1, {16, 0}, {0, 16, 116, 36}, {12, 24}},
        {7, {401, 301}, 4, {99, 51}, {0, 0, 116, 36}, {12, 8}},
    };
    for (const Case& c : cases) {
        const TKvBalloonLayout layout = BalloonLayout(text, c.Anchor, c.Position, Screen);
        EXPECT_EQ(layout.Position, c.Chosen) << c.Position << " at " << c.Anchor.x() << "," << c.Anchor.y();
        EXPECT_EQ(layout.Tip, c.Tip) << c.Position;
        EXPECT_EQ(layout.Body, c.Body) << c.Position;
        EXPECT_EQ(layout.Text, QRect(c.TextAt, text)) << c.Position;
        EXPECT_EQ(layout.Window, QRect(c.Anchor - c.Tip, QSize(116, 52))) << c.Position;
        EXPECT_TRUE(layout.Tail.contains(layout.Tip)) << c.Position;
    }
    // Anchored near the top left, the balloon opens below and to the right
    // of the point; near the bottom right, above and to the left.
    const TKvBalloonLayout topLeft = BalloonLayout(text, {10, 10}, 0, Screen);
    const QRect topLeftBody = topLeft.Body.translated(topLeft.Window.topLeft());
    EXPECT_GT(topLeftBody.top(), 10);
    EXPECT_GT(topLeftBody.center().x(), 10);
    const TKvBalloonLayout bottomRight = BalloonLayout(text, {790, 590}, 0, Screen);
    const QRect bottomRightBody = bottomRight.Body.translated(bottomRight.Window.topLeft());
    EXPECT_LT(bottomRightBody.bottom(), 590);
    EXPECT_LT(bottomRightBody.center().x(), 790);
}

TEST(KvBalloonTest, TheOutlineIsTheShapesPixelsNextToItsOutside)
{
    const QRegion square(0, 0, 5, 5);
    const QRegion outline = TKvBalloon::Outline(square);
    int pixels = 0;
    for (const QRect& rect : outline)
        pixels += rect.width() * rect.height();
    EXPECT_EQ(pixels, 16);
    EXPECT_TRUE(outline.contains(QPoint(0, 2)));
    EXPECT_FALSE(outline.contains(QPoint(2, 2)));
}

TEST(KvBalloonTest, AShownBalloonNeitherTakesTheFocusNorCatchesClicks)
{
    QWidget window;
    window.resize(300, 200);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    TKvBalloon balloon(&window);
    balloon.ShowBalloon(window.mapToGlobal(QPoint(150, 100)), 3, QStringLiteral("Press Separate"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&balloon));
    EXPECT_EQ(QApplication::activeWindow(), &window);
    EXPECT_TRUE(balloon.windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(balloon.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(balloon.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(balloon.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(balloon.geometry().topLeft() + balloon.Layout().Tip, window.mapToGlobal(QPoint(150, 100)));
    // The rounded corner is cut off the window.
    EXPECT_FALSE(balloon.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(balloon.mask().contains(balloon.Layout().Body.center()));

    // Tooltip colours: the outline in the text colour, the inside in the
    // background colour.
    const QImage picture = balloon.grab().toImage();
    const TKvBalloonLayout& layout = balloon.Layout();
    const QPoint edge(0, layout.Body.center().y());
    const QPoint inside(layout.Body.right() - 3, layout.Body.center().y());
    EXPECT_EQ(picture.pixelColor(edge), balloon.palette().color(QPalette::ToolTipText));
    EXPECT_EQ(picture.pixelColor(inside), balloon.palette().color(QPalette::ToolTipBase));

    balloon.HideBalloon();
    EXPECT_FALSE(balloon.isVisible());
}

TEST(KvBalloonTest, LongTextsWrapAtTheMaximumWidthAndStayOnTheScreen)
{
    TKvBalloon balloon;
    const QString words = QStringLiteral("A demonstration explains each step in a balloon like this one. ").repeated(6);
    balloon.ShowBalloon({100, 100}, 1, words);
    EXPECT_LE(balloon.Layout().Text.width(), TKvBalloon::MaxTextWidth + 6);
    EXPECT_GT(balloon.Layout().Text.height(), 3 * balloon.fontMetrics().height());

    // One word of 100,000 letters breaks anywhere rather than widening the
    // balloon.
    const QString huge(100000, QLatin1Char('x'));
    balloon.ShowBalloon({100, 100}, 1, huge);
    EXPECT_LE(balloon.Layout().Text.width(), TKvBalloon::MaxTextWidth + 6);
    EXPECT_LE(balloon.Text().size(), TKvBalloon::MaxTextLength + 1);
    const QRect screen = balloon.screen()->geometry();
    EXPECT_LE(balloon.Layout().Window.height(), screen.height());
}
