#include "KvTextFrame.h"

#include "KvColorBox.h"
#include "KvLocalizer.h"
#include "KvToolPanelParts.h"
#include "KvTextTool.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Each font's name drawn in that font, as high as "Wy" in it and 4 pixels
// more.
class TFontNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QFontMetrics metrics(ItemFont(option, index));
        return {metrics.horizontalAdvance(index.data().toString()) + 4, metrics.height() + 4};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
        painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
        painter->setFont(ItemFont(option, index));
        const QFontMetrics metrics(painter->font());
        painter->drawText(option.rect.left(), option.rect.top() + 2 + metrics.ascent(), index.data().toString());
    }

private:
    static QFont ItemFont(const QStyleOptionViewItem& option, const QModelIndex& index)
    {
        QFont font(index.data().toString());
        font.setPointSizeF(option.font.pointSizeF() > 0 ? option.font.pointSizeF() : 9);
        return font;
    }
};

} // namespace

TKvTextFrame::TKvTextFrame(QWidget* parent) : TKvFrame(parent)
{
    // The text tool's field that holds the frame.
    setObjectName(QStringLiteral("Frame"));
    TitleLabel = NewTitleLabel(this);

    FontTntGroupBox = new QGroupBox(this);
    FontTntGroupBox->setObjectName(QStringLiteral("FontTntGroupBox"));
    FontNameComboBox = new QComboBox(FontTntGroupBox);
    FontNameComboBox->setObjectName(QStringLiteral("FontNameComboBox"));
    FontNameComboBox->setItemDelegate(new TFontNameDelegate(FontNameComboBox));
    FontNameComboBox->setMaxVisibleItems(16);
    FontNameComboBox->addItems(QFontDatabase::families());
    SizeTBXLabel = new QLabel(FontTntGroupBox);
    SizeTBXLabel->setObjectName(QStringLiteral("SizeTBXLabel"));
    SizeSpinEdit = new QSpinBox(FontTntGroupBox);
    SizeSpinEdit->setObjectName(QStringLiteral("SizeSpinEdit"));
    SizeSpinEdit->setRange(MinFontSize, MaxFontSize);
    // Only the spin buttons change the size: the box always holds a size.
    SizeSpinEdit->findChild<QLineEdit*>()->setReadOnly(true);
    BoldTBXButton = NewStyleButton("BoldTBXButton");
    ItalicTBXButton = NewStyleButton("ItalicTBXButton");
    UnderlineTBXButton = NewStyleButton("UnderlineTBXButton");
    StrikeoutTBXButton = NewStyleButton("StrikeoutTBXButton");
    QFont styled = BoldTBXButton->font();
    styled.setBold(true);
    BoldTBXButton->setFont(styled);
    styled = ItalicTBXButton->font();
    styled.setItalic(true);
    ItalicTBXButton->setFont(styled);
    styled = UnderlineTBXButton->font();
    styled.setUnderline(true);
    UnderlineTBXButton->setFont(styled);
    styled = StrikeoutTBXButton->font();
    styled.setStrikeOut(true);
    StrikeoutTBXButton->setFont(styled);

    FontColorTntRadioGroup = new QGroupBox(FontTntGroupBox);
    FontColorTntRadioGroup->setObjectName(QStringLiteral("FontColorTntRadioGroup"));
    m_colorItems = new QButtonGroup(FontColorTntRadioGroup);
    auto* colorLayout = new QVBoxLayout(FontColorTntRadioGroup);
    colorLayout->setContentsMargins(4, 2, 4, 2);
    for (int item = 0; item < 2; ++item) {
        auto* button = new QRadioButton(FontColorTntRadioGroup);
        button->setObjectName(QStringLiteral("FontColorTntRadioGroupItem%1").arg(item));
        m_colorItems->addButton(button, item);
        colorLayout->addWidget(button);
    }
    m_colorItems->button(0)->setChecked(true);
    ColorBox = new TKvColorBox(FontTntGroupBox);
    ColorBox->setObjectName(QStringLiteral("ColorBox"));
    MaxInverseTBXCheckBox = new QCheckBox(FontTntGroupBox);
    MaxInverseTBXCheckBox->setObjectName(QStringLiteral("MaxInverseTBXCheckBox"));

    auto* font = new QGridLayout(FontTntGroupBox);
    font->setContentsMargins(4, 4, 4, 4);
    font->addWidget(FontNameComboBox, 0, 0, 1, 2);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(SizeTBXLabel);
    sizeRow->addWidget(SizeSpinEdit);
    sizeRow->addStretch(1);
    for (QToolButton* button : {BoldTBXButton, ItalicTBXButton, UnderlineTBXButton, StrikeoutTBXButton})
        sizeRow->addWidget(button);
    font->addLayout(sizeRow, 1, 0, 1, 2);
    font->addWidget(FontColorTntRadioGroup, 2, 0, 2, 1);
    font->addWidget(ColorBox, 2, 1);
    font->addWidget(MaxInverseTBXCheckBox, 3, 1);

    TextMemo = new QPlainTextEdit(this);
    TextMemo->setObjectName(QStringLiteral("TextMemo"));
    TextMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    TextMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TextMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 4, 2, 4);
    column->setSpacing(4);
    column->addWidget(TitleLabel);
    column->addWidget(FontTntGroupBox);
    column->addWidget(TextMemo, 1);

    for (QToolButton* button : {BoldTBXButton, ItalicTBXButton, UnderlineTBXButton, StrikeoutTBXButton})
        connect(button, &QToolButton::clicked, this, &TKvTextFrame::BITBXButtonClick);
    connect(ColorBox, &TKvColorBox::Select, this, &TKvTextFrame::ColorBoxSelect);
    connect(m_colorItems, &QButtonGroup::idClicked, this, &TKvTextFrame::FontColorTntRadioGroupClick);
    connect(MaxInverseTBXCheckBox, &QCheckBox::toggled, this, &TKvTextFrame::MaxInverseTBXCheckBoxChange);
    connect(SizeSpinEdit, &QSpinBox::valueChanged, this, &TKvTextFrame::SizeSpinEditChange);
    connect(TextMemo, &QPlainTextEdit::textChanged, this, &TKvTextFrame::TextMemoChange);
    connect(FontNameComboBox, &QComboBox::currentIndexChanged, this, &TKvTextFrame::TextMemoChange);
}

QToolButton* TKvTextFrame::NewStyleButton(const char* name)
{
    auto* button = new QToolButton(FontTntGroupBox);
    button->setObjectName(QLatin1String(name));
    button->setCheckable(true);
    button->setAutoRaise(true);
    return button;
}

int TKvTextFrame::ColorItemIndex() const
{
    return m_colorItems->checkedId();
}

void TKvTextFrame::SetColorItemIndex(int index)
{
    if (QAbstractButton* item = m_colorItems->button(index))
        item->setChecked(true);
}

QRadioButton* TKvTextFrame::ColorItem(int index) const
{
    return static_cast<QRadioButton*>(m_colorItems->button(index));
}

int TKvTextFrame::StyleBits() const
{
    return (BoldTBXButton->isChecked() ? 1 : 0) + (ItalicTBXButton->isChecked() ? 2 : 0)
        + (UnderlineTBXButton->isChecked() ? 4 : 0) + (StrikeoutTBXButton->isChecked() ? 8 : 0);
}

void TKvTextFrame::SetStyleBits(int style)
{
    BoldTBXButton->setChecked(style & 1);
    ItalicTBXButton->setChecked(style & 2);
    UnderlineTBXButton->setChecked(style & 4);
    StrikeoutTBXButton->setChecked(style & 8);
}

int TKvTextFrame::SizeIncrement(int size)
{
    return std::max(1, int(std::nearbyint(size / 100.0)));
}

void TKvTextFrame::Localize()
{
    TitleLabel->setText(LocalStr(2864, QStringLiteral("Text")));
    FontTntGroupBox->setTitle(LocalStr(151, QStringLiteral("Font")));
    SizeTBXLabel->setText(LocalStr(154, QStringLiteral("Size")) + QLatin1Char(':'));
    const std::pair<QToolButton*, int> styles[] = {
        {BoldTBXButton, 2870}, {ItalicTBXButton, 2872}, {UnderlineTBXButton, 2874}, {StrikeoutTBXButton, 2876}};
    for (const auto& [button, id] : styles) {
        button->setText(LocalStr(id));
        button->setToolTip(LocalStr(id + 1));
    }
    FontColorTntRadioGroup->setTitle(LocalStr(2012, QStringLiteral("Color")));
    ColorItem(0)->setText(LocalStr(2880, QStringLiteral("Selected")));
    ColorItem(1)->setText(LocalStr(2881, QStringLiteral("Inverted")));
    MaxInverseTBXCheckBox->setText(LocalStr(2882, QStringLiteral("Maximum contrast")));
    ColorBox->Localize();
}

void TKvTextFrame::BITBXButtonClick()
{
    if (Tool)
        Tool->SetFontStyle(StyleBits());
}

void TKvTextFrame::ColorBoxSelect()
{
    if (Tool)
        Tool->SetTextColor(ColorBox->Selected());
}

void TKvTextFrame::FontColorTntRadioGroupClick()
{
    if (Tool)
        Tool->ColorModeClicked(ColorItemIndex());
}

void TKvTextFrame::MaxInverseTBXCheckBoxChange()
{
    if (Tool)
        Tool->MaxInverseChanged(MaxInverseTBXCheckBox->isChecked());
}

void TKvTextFrame::SizeSpinEditChange()
{
    SizeSpinEdit->setSingleStep(SizeIncrement(SizeSpinEdit->value()));
    if (Tool)
        Tool->SetFontSize(SizeSpinEdit->value());
}

void TKvTextFrame::TextMemoChange()
{
    if (Tool)
        Tool->RenderMask();
}
