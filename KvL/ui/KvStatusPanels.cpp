#include "KvStatusPanels.h"

#include <QLabel>
#include <QPoint>
#include <QStatusBar>

namespace {

// A field of the status bar: as wide as it was made, narrower only when the
// window is too narrow for every field.
class TKvStatusPanel : public QLabel {
public:
    TKvStatusPanel(const QString& text, int width, QWidget* parent) : QLabel(text, parent), m_width(width)
    {
        setMaximumWidth(width);
    }
    QSize sizeHint() const override { return {m_width, QLabel::sizeHint().height()}; }

private:
    int m_width;
};

} // namespace

TKvStatusPanels::TKvStatusPanels(QStatusBar* bar, int h)
{
    const auto add = [&](const QString& caption, int labelWidth, int fieldWidth, bool framed, const char* name) {
        auto* label = new TKvStatusPanel(caption, labelWidth, bar);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        bar->addWidget(label);
        auto* field = new TKvStatusPanel(QString(), fieldWidth, bar);
        field->setObjectName(QLatin1String(name));
        field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        field->setFrameStyle(framed ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
        bar->addWidget(field);
        return field;
    };
    const int narrow = MulDiv(h, 3, 2);
    X = add(QStringLiteral("X:"), 2 * h, 4 * h, false, "XStatusPanel");
    Y = add(QStringLiteral("Y:"), narrow, 5 * h, true, "YStatusPanel");
    W = add(QStringLiteral("W:"), 2 * h, 4 * h, false, "WStatusPanel");
    H = add(QStringLiteral("H:"), narrow, 5 * h, true, "HStatusPanel");
    R = add(QStringLiteral("R:"), narrow, 4 * h, false, "RStatusPanel");
    G = add(QStringLiteral("G:"), narrow, 4 * h, false, "GStatusPanel");
    B = add(QStringLiteral("B:"), narrow, 5 * h, true, "BStatusPanel");
}

void TKvStatusPanels::ShowImageSize(int width, int height)
{
    W->setText(QString::number(width));
    H->setText(QString::number(height));
}

void TKvStatusPanels::ShowPointerInfo(const QPoint& imagePoint, TColorTriple pixel)
{
    X->setText(QString::number(imagePoint.x()));
    Y->setText(QString::number(imagePoint.y()));
    R->setText(QString::number(pixel.Red));
    G->setText(QString::number(pixel.Green));
    B->setText(QString::number(pixel.Blue));
}
