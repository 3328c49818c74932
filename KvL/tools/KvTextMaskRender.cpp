#include "KvTextMaskRender.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <climits>
#include <cmath>
#include <cstdint>

namespace {

// Pixels per point at 96 dots per inch.
constexpr double PixelsPerPoint = 96.0 / 72.0;
// Enough shrinking steps for any text the memo can hold.
constexpr int MaxFits = 8;

// Qt measures text in 26.6 fixed point, which overflows past about 33
// million pixels: a long line is measured in pieces.
constexpr qsizetype MeasuredPiece = 4096;

int LineWidth(const QString& line, const QFontMetrics& metrics)
{
    std::int64_t width = 0;
    for (qsizetype at = 0; at < line.size(); at += MeasuredPiece)
        width += metrics.horizontalAdvance(line.mid(at, MeasuredPiece));
    return int(std::min<std::int64_t>(width, INT_MAX));
}

TTextMaskSize Measure(const QStringList& lines, const QFontMetrics& metrics)
{
    std::vector<TTextLine> measured;
    measured.reserve(std::size_t(lines.size()));
    for (const QString& line : lines)
        measured.push_back({line.isEmpty(), line.isEmpty() ? 0 : LineWidth(line, metrics)});
    return MeasureTextMask(measured, metrics.height());
}

} // namespace

QFont TextMaskFont(const QString& family, int pointSize, int style)
{
    QFont font(family);
    font.setPixelSize(std::max(1, int(std::lround(pointSize * PixelsPerPoint))));
    font.setBold(style & tsBold);
    font.setItalic(style & tsItalic);
    font.setUnderline(style & tsUnderline);
    font.setStrikeOut(style & tsStrikeout);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void RenderTextLines(const QStringList& lines, QFont font, TTextMask& mask)
{
    mask.Clear();
    TTextMaskSize size = Measure(lines, QFontMetrics(font));
    for (int fit = 0; fit < MaxFits && TextMaskFit(size) < 1; ++fit) {
        // A little below the exact factor: the letters' widths do not shrink
        // exactly in proportion.
        const int pixels = int(std::floor(font.pixelSize() * TextMaskFit(size) * 0.97));
        if (pixels < 1)
            return;
        font.setPixelSize(pixels);
        size = Measure(lines, QFontMetrics(font));
    }
    if (size.IsEmpty() || !mask.SetSize(size.Width, size.Height))
        return;
    QImage image(mask.Data(), mask.Width(), mask.Height(), mask.Stride(), QImage::Format_Grayscale8);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QFontMetrics metrics(font);
    const int lineHeight = metrics.height();
    for (int i = 0; i < size.Lines; ++i)
        if (!lines[i].isEmpty())
            painter.drawText(0, i * lineHeight + metrics.ascent(), lines[i]);
}
