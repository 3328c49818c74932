// Rendering the text tool's lines into its mask with Qt: white text on
// black at the font's natural size, one line under the other, the lines and
// the mask's size as MeasureTextMask counts them.  A mask that would exceed
// the caps is rendered with a smaller font (the rectangle decides the
// letters' size on the picture anyway).  The text tool and the benchmarks
// render through here.
#pragma once

#include "TextMask.h"

#include <QFont>
#include <QStringList>

// The style bits of the text tool.
enum TTextStyle : int { tsBold = 1, tsItalic = 2, tsUnderline = 4, tsStrikeout = 8 };

// The font of the mask: the family, the size in points at 96 dots per inch
// (so that a mask is the same on every screen) and the style bits.
QFont TextMaskFont(const QString& family, int pointSize, int style);

// Renders the lines into the mask (left empty when no line holds text).
void RenderTextLines(const QStringList& lines, QFont font, TTextMask& mask);
