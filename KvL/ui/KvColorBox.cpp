#include "KvColorBox.h"

#include "KvLocalizer.h"

#include <QColorDialog>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <array>

namespace {

struct TNamedColor {
    TColor Color;
    qint32 NameId;
};

// The standard sixteen and four more, in the order the list shows them.
constexpr std::array<TNamedColor, TKvColorBox::NamedColorCount> NamedColors{{
    {0x000000, StringId(2931)}, // black
    {0x000080, StringId(2932)}, // maroon
    {0x008000, StringId(2933)}, // green
    {0x008080, StringId(2934)}, // olive
    {0x800000, StringId(2935)}, // navy
    {0x800080, StringId(2936)}, // purple
    {0x808000, StringId(2937)}, // teal
    {0x808080, StringId(2938)}, // grey
    {0xC0C0C0, StringId(2939)}, // silver
    {0x0000FF, StringId(2940)}, // red
    {0x00FF00, StringId(2941)}, // lime
    {0x00FFFF, StringId(2942)}, // yellow
    {0xFF0000, StringId(2943)}, // blue
    {0xFF00FF, StringId(2944)}, // fuchsia
    {0xFFFF00, StringId(2945)}, // aqua
    {0xFFFFFF, StringId(2946)}, // white
    {0xC0DCC0, StringId(2947)}, // money green
    {0xF0CAA6, StringId(2948)}, // sky blue
    {0xF0FBFF, StringId(2949)}, // cream
    {0xA4A0A0, StringId(2950)}, // medium grey
}};

constexpr qint32 CustomNameId = StringId(2930);
constexpr int ColorRole = Qt::UserRole;
constexpr int SwatchSize = 14;

QIcon Swatch(TColor color)
{
    QPixmap pixmap(SwatchSize, SwatchSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.setBrush(ColorFromTColor(color));
    painter.drawRect(0, 0, SwatchSize - 1, SwatchSize - 1);
    return QIcon(pixmap);
}

bool ChooseInColorDialog(QWidget* parent, TColor& color)
{
    const QColor chosen = QColorDialog::getColor(ColorFromTColor(color), parent);
    if (!chosen.isValid())
        return false;
    color = TColorFromColor(chosen);
    return true;
}

} // namespace

QColor ColorFromTColor(TColor color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor TColorFromColor(const QColor& color)
{
    return TColor(color.red()) | TColor(color.green()) << 8 | TColor(color.blue()) << 16;
}

TKvColorBox::TKvColorBox(QWidget* parent) : QComboBox(parent), ChooseColor(ChooseInColorDialog)
{
    setIconSize(QSize(SwatchSize, SwatchSize));
    // Narrow panels: long colour names are cut rather than widening the box.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    addItem(QString());
    SetItemColor(CustomItem, 0x000000);
    for (const TNamedColor& named : NamedColors) {
        addItem(QString());
        SetItemColor(count() - 1, named.Color);
    }
    Localize();
    SetSelected(0xFFFFFF);
    connect(this, &QComboBox::activated, this, &TKvColorBox::ItemActivated);
}

TColor TKvColorBox::Selected() const
{
    return TColor(currentData(ColorRole).toUInt());
}

void TKvColorBox::SetSelected(TColor color)
{
    color &= 0xFFFFFF;
    for (int i = 0; i < NamedColorCount; ++i) {
        if (NamedColors[size_t(i)].Color == color) {
            setCurrentIndex(CustomItem + 1 + i);
            m_previousIndex = currentIndex();
            return;
        }
    }
    SetItemColor(CustomItem, color);
    setCurrentIndex(CustomItem);
    m_previousIndex = CustomItem;
}

void TKvColorBox::Localize()
{
    setItemText(CustomItem, LocalStr(CustomNameId, QStringLiteral("Custom...")));
    for (int i = 0; i < NamedColorCount; ++i)
        setItemText(CustomItem + 1 + i, LocalStr(NamedColors[size_t(i)].NameId));
}

void TKvColorBox::ItemActivated(int index)
{
    if (index == CustomItem) {
        TColor color = Selected();
        if (!ChooseColor || !ChooseColor(this, color)) {
            setCurrentIndex(m_previousIndex);
            return;
        }
        SetSelected(color);
    } else {
        m_previousIndex = index;
    }
    emit Select(Selected());
}

void TKvColorBox::SetItemColor(int index, TColor color)
{
    setItemData(index, uint(color), ColorRole);
    setItemIcon(index, Swatch(color));
}
