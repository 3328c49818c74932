#include "KvBalloon.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int Margin = 16;     // window size beyond the text's, per axis
constexpr int TailHeight = 16;
constexpr int CornerDiameter = 16;

int AutomaticPosition(const QPoint& anchor, const QRect& screen)
{
    const bool right = anchor.x() - screen.left() > screen.width() / 2;
    const bool bottom = anchor.y() - screen.top() > screen.height() / 2;
    return bottom ? (right ? bpBottomRight : bpBottomLeft) : (right ? bpTopRight : bpTopLeft);
}

} // namespace

TKvBalloonLayout BalloonLayout(const QSize& textSize, const QPoint& anchor, int position, const QRect& screen)
{
    TKvBalloonLayout layout;
    const int w = textSize.width() + Margin;
    const int h = textSize.height() + Margin;
    layout.Position = position >= bpTopLeft && position <= bpBottomRight ? position : AutomaticPosition(anchor, screen);
    layout.Body = QRect(0, 0, w, h);
    QPoint textOffset(12, 8);
    switch (layout.Position) {
    case bpTopLeft:
        layout.Tail = QPolygon({QPoint(16, 0), QPoint(16, -16), QPoint(32, 0)});
        layout.Tip = QPoint(16, -16);
        textOffset = QPoint(12, 24);
        break;
    case bpTopRight:
        layout.Tail = QPolygon({QPoint(w - 16, 0), QPoint(w - 16, -16), QPoint(w - 32, 0)});
        layout.Tip = QPoint(w - 16, -16);
        textOffset = QPoint(12, 24);
        break;
    case bpBottomLeft:
        layout.Tail = QPolygon({QPoint(15, h - 1), QPoint(31, h - 1), QPoint(15, h + 15)});
        layout.Tip = QPoint(15, h + 15);
        break;
    default:
        layout.Tail = QPolygon({QPoint(w - 17, h - 1), QPoint(w - 33, h - 1), QPoint(w - 17, h + 15)});
        layout.Tip = QPoint(w - 17, h + 15);
        break;
    }
    // A tail above the body: everything moves down so the window starts at
    // the tip.
    if (layout.Tip.y() < 0) {
        const int down = -layout.Tip.y();
        layout.Body.translate(0, down);
        layout.Tail.translate(0, down);
        layout.Tip.setY(0);
    }
    layout.Text = QRect(textOffset, textSize);
    layout.Window = QRect(anchor - layout.Tip, QSize(w, h + TailHeight));
    return layout;
}

TKvBalloon::TKvBalloon(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                         | Qt::WindowTransparentForInput)
{
    setObjectName(QStringLiteral("Balloon"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

// The text wraps at the maximum width; a text taller than the screen is
// cut so the balloon stays on it.
QSize TKvBalloon::TextSize(const QRect& screen)
{
    const QFontMetrics metrics(font());
    m_wrap = Qt::TextWordWrap;
    QRect bounds = metrics.boundingRect(QRect(0, 0, MaxTextWidth, 0), m_wrap, m_text);
    // A word wider than the balloon breaks anywhere.
    if (bounds.width() > MaxTextWidth) {
        m_wrap = Qt::TextWrapAnywhere;
        bounds = metrics.boundingRect(QRect(0, 0, MaxTextWidth, 0), m_wrap, m_text);
    }
    const int maxHeight = std::max(metrics.height(), screen.height() - 2 * Margin - TailHeight);
    return QSize(bounds.width() + 6, std::min(bounds.height() + 2, maxHeight));
}

void TKvBalloon::ShowBalloon(const QPoint& anchor, int position, const QString& text)
{
    hide();
    m_text = text.size() > MaxTextLength ? text.left(MaxTextLength) + QChar(0x2026) : text;
    const QScreen* screen = QGuiApplication::screenAt(anchor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    m_layout = BalloonLayout(TextSize(screenRect), anchor, position, screenRect);

    QPainterPath body;
    body.addRoundedRect(m_layout.Body, CornerDiameter / 2.0, CornerDiameter / 2.0);
    QPainterPath tail;
    tail.addPolygon(QPolygonF(m_layout.Tail));
    tail.closeSubpath();
    m_shape = QRegion(body.united(tail).toFillPolygon().toPolygon());

    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    setPalette(colours);
    setGeometry(m_layout.Window);
    setMask(m_shape);
    show();
    raise();
    update();
}

void TKvBalloon::HideBalloon()
{
    hide();
}

QRegion TKvBalloon::Outline(const QRegion& shape)
{
    const QRegion inner =
        shape.translated(1, 0).intersected(shape.translated(-1, 0)).intersected(shape.translated(0, 1)).intersected(
            shape.translated(0, -1));
    return shape.subtracted(inner);
}

void TKvBalloon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor background = palette().color(QPalette::ToolTipBase);
    const QColor ink = palette().color(QPalette::ToolTipText);
    painter.setClipRegion(m_shape);
    painter.fillRect(rect(), background);
    for (const QRect& part : Outline(m_shape))
        painter.fillRect(part, ink);
    painter.setPen(ink);
    painter.drawText(m_layout.Text, m_wrap, m_text);
}
