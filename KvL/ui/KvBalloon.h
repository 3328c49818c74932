// The speech-bubble window in which demonstrations explain a step next to
// the pointer: a rounded rectangle in the tooltip colours with a one-pixel
// outline and a tail whose tip sits exactly on the point it explains. The
// balloon never takes the focus and lets every click through to the
// control under it, so that a demonstration can click right where its
// balloon points. The playback's MESSAGE action shows one.
#pragma once

#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>
#include <QWidget>

// Where a balloon's tail is: 1 at the top left, 2 top right, 3 bottom
// left, 4 bottom right; 0 chooses the corner that makes the balloon extend
// towards the middle of the screen.
enum TKvBalloonPosition { bpAutomatic = 0, bpTopLeft = 1, bpTopRight = 2, bpBottomLeft = 3, bpBottomRight = 4 };

// The shape of a balloon in window coordinates, and where its window goes.
struct TKvBalloonLayout {
    int Position = bpTopLeft;   // the corner chosen (1..4)
    QRect Window;               // in screen coordinates
    QRect Body;                 // the rounded rectangle
    QPolygon Tail;              // the triangle
    QPoint Tip;                 // the tail's tip
    QRect Text;                 // where the text is drawn
};

// The layout of a balloon whose text takes textSize, pointing at anchor
// on the screen whose geometry is given.
TKvBalloonLayout BalloonLayout(const QSize& textSize, const QPoint& anchor, int position, const QRect& screen);

class TKvBalloon : public QWidget {
    Q_OBJECT
public:
    // Text wider than this wraps.
    static constexpr int MaxTextWidth = 350;
    // Texts longer than a balloon can show are cut here.
    static constexpr int MaxTextLength = 4000;

    explicit TKvBalloon(QWidget* owner = nullptr);

    // Shows the balloon with its tail's tip exactly on the screen point.
    void ShowBalloon(const QPoint& anchor, int position, const QString& text);
    void HideBalloon();

    const TKvBalloonLayout& Layout() const { return m_layout; }
    QString Text() const { return m_text; }
    // The one-pixel outline: the pixels of the shape with a neighbour
    // outside it.
    static QRegion Outline(const QRegion& shape);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize TextSize(const QRect& screen);

    TKvBalloonLayout m_layout;
    int m_wrap = Qt::TextWordWrap;
    QRegion m_shape;
    QString m_text;
};
