#include "KvClippingFrame.h"

#include "KvClippingTool.h"
#include "KvColorBox.h"
#include "KvImageList.h"
#include "KvLocalizer.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The button pictures of the panel, by image index.
struct TButtonImage {
    int Index;
    const char* Resource;
};
constexpr TButtonImage ButtonImages[] = {
    {2, ":/images/Separate.svg"}, {3, ":/images/ClearMarks.svg"}, {4, ":/images/Effect.svg"},
    {5, ":/images/Swap.svg"},     {6, ":/images/StoreObject.svg"}, {7, ":/images/Done.svg"},
};

} // namespace

TKvClippingFrame::TKvClippingFrame(QWidget* parent)
    : TKvFrame(parent), Self24TBXImageList(new TKvImageList(QSize(24, 24), this))
{
    // The clipping tool's field that holds the frame.
    setObjectName(QStringLiteral("Frame"));
    Self24TBXImageList->setObjectName(QStringLiteral("Self24TBXImageList"));
    RegisterProgramImages();
    for (int index = 0; index <= ButtonImages[std::size(ButtonImages) - 1].Index; ++index) {
        const auto image = std::find_if(std::begin(ButtonImages), std::end(ButtonImages),
                                        [index](const TButtonImage& b) { return b.Index == index; });
        Self24TBXImageList->Add(image != std::end(ButtonImages) ? QIcon(QString::fromLatin1(image->Resource)) : QIcon());
    }

    TitleLabel = new QLabel(this);
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    QFont titleFont = TitleLabel->font();
    titleFont.setUnderline(true);
    TitleLabel->setFont(titleFont);
    SizeLabel = new QLabel(this);
    SizeLabel->setObjectName(QStringLiteral("SizeLabel"));
    SizeTrackBar = new QSlider(Qt::Horizontal, this);
    SizeTrackBar->setObjectName(QStringLiteral("SizeTrackBar"));
    SizeTrackBar->setRange(1, 100);
    SizeTrackBar->setValue(6);
    SizeTrackBar->setTickInterval(5);
    SizeTrackBar->setTickPosition(QSlider::TicksBelow);

    ActionsTntGroupBox = new QGroupBox(this);
    ActionsTntGroupBox->setObjectName(QStringLiteral("ActionsTntGroupBox"));
    SeparateTBXButton = NewActionButton("SeparateTBXButton", 2);
    ClearTBXButton = NewActionButton("ClearTBXButton", 3);
    EffectTBXButton = NewActionButton("EffectTBXButton", 4);
    SwapTBXButton = NewActionButton("SwapTBXButton", 5);
    StoreTBXButton = NewActionButton("StoreTBXButton", 6);
    DoneTBXButton = NewActionButton("DoneTBXButton", 7);
    auto* actions = new QGridLayout(ActionsTntGroupBox);
    // Three 80-pixel buttons fill the width of the tool panel.
    actions->setContentsMargins(2, 2, 2, 2);
    actions->setSpacing(0);
    const QToolButton* rows[2][3] = {{SeparateTBXButton, ClearTBXButton, EffectTBXButton},
                                     {SwapTBXButton, StoreTBXButton, DoneTBXButton}};
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column)
            actions->addWidget(const_cast<QToolButton*>(rows[row][column]), row, column);

    EffectTntGroupBox = new QGroupBox(this);
    EffectTntGroupBox->setObjectName(QStringLiteral("EffectTntGroupBox"));
    BackgroundEffectTntRadioGroup = new QGroupBox(EffectTntGroupBox);
    BackgroundEffectTntRadioGroup->setObjectName(QStringLiteral("BackgroundEffectTntRadioGroup"));
    m_effectItems = new QButtonGroup(BackgroundEffectTntRadioGroup);
    ColorBox = new TKvColorBox(BackgroundEffectTntRadioGroup);
    ColorBox->setObjectName(QStringLiteral("ColorBox"));
    const auto newLevelBar = [this](const char* name) {
        auto* bar = new QSlider(Qt::Horizontal, BackgroundEffectTntRadioGroup);
        bar->setObjectName(QLatin1String(name));
        bar->setRange(1, 5);
        bar->setValue(3);
        bar->setTickInterval(1);
        bar->setTickPosition(QSlider::TicksBothSides);
        bar->setPageStep(1);
        return bar;
    };
    ShadowTntTrackBar = newLevelBar("ShadowTntTrackBar");
    BlurRadiusTntTrackBar = newLevelBar("BlurRadiusTntTrackBar");
    MonochromeColorBox = new TKvColorBox(BackgroundEffectTntRadioGroup);
    MonochromeColorBox->setObjectName(QStringLiteral("MonochromeColorBox"));
    // Each item of the radio group has its effect's parameter beside it.
    auto* effects = new QGridLayout(BackgroundEffectTntRadioGroup);
    effects->setContentsMargins(2, 2, 2, 2);
    effects->setHorizontalSpacing(4);
    QWidget* parameters[] = {ColorBox, ShadowTntTrackBar, BlurRadiusTntTrackBar, MonochromeColorBox};
    for (int item = 0; item < 4; ++item) {
        auto* button = new QRadioButton(BackgroundEffectTntRadioGroup);
        button->setObjectName(QStringLiteral("BackgroundEffectTntRadioGroupItem%1").arg(item));
        m_effectItems->addButton(button, item);
        effects->addWidget(button, item, 0);
        effects->addWidget(parameters[item], item, 1);
    }
    effects->setColumnStretch(1, 1);
    m_effectItems->button(0)->setChecked(true);
    auto* effectLayout = new QVBoxLayout(EffectTntGroupBox);
    effectLayout->setContentsMargins(2, 2, 2, 2);
    effectLayout->addWidget(BackgroundEffectTntRadioGroup);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 4, 2, 4);
    column->setSpacing(4);
    column->addWidget(TitleLabel);
    column->addWidget(SizeLabel);
    column->addWidget(SizeTrackBar);
    column->addWidget(ActionsTntGroupBox);
    column->addWidget(EffectTntGroupBox);
    column->addStretch(1);

    connect(SeparateTBXButton, &QToolButton::clicked, this, &TKvClippingFrame::SeparateTBXButtonClick);
    connect(ClearTBXButton, &QToolButton::clicked, this, &TKvClippingFrame::ClearTBXButtonClick);
    connect(EffectTBXButton, &QToolButton::clicked, this, &TKvClippingFrame::EffectTBXButtonClick);
    connect(SwapTBXButton, &QToolButton::clicked, this, &TKvClippingFrame::SwapTBXButtonClick);
    connect(StoreTBXButton, &QToolButton::clicked, this, &TKvClippingFrame::StoreTBXButtonClick);
    connect(DoneTBXButton, &QToolButton::clicked, this, &TKvClippingFrame::DoneTBXButtonClick);
    connect(m_effectItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            BackgroundEffectTntRadioGroupClick();
    });
    connect(ColorBox, &TKvColorBox::Select, this, &TKvClippingFrame::ColorBoxSelect);
    connect(ShadowTntTrackBar, &QSlider::valueChanged, this, &TKvClippingFrame::ShadowTntTrackBarChange);
    connect(BlurRadiusTntTrackBar, &QSlider::valueChanged, this, &TKvClippingFrame::BlurRadiusTntTrackBarChange);
    connect(MonochromeColorBox, &TKvColorBox::Select, this, &TKvClippingFrame::MonochromeColorBoxSelect);
}

QToolButton* TKvClippingFrame::NewActionButton(const char* name, int imageIndex)
{
    auto* button = new QToolButton(ActionsTntGroupBox);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(ButtonWidth, ButtonHeight);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(Self24TBXImageList->Size());
    button->setIcon(Self24TBXImageList->Icon(imageIndex));
    button->setAutoRaise(true);
    return button;
}

// A caption longer than the button gets a smaller font, down to three
// quarters of the panel's, instead of losing letters in its middle: the
// buttons keep their size so that three fill the panel in every language.
void TKvClippingFrame::SetActionCaption(QToolButton* button, const QString& caption)
{
    constexpr int CaptionMargin = 4; // the style's frame and padding on each side
    constexpr qreal SmallestScale = 0.75;
    constexpr qreal PointStep = 0.25;
    const QString text = PlainCaption(caption);
    QFont font = ActionsTntGroupBox->font();
    const qreal smallest = font.pointSizeF() * SmallestScale; // negative for a font sized in pixels
    while (QFontMetrics(font).horizontalAdvance(text) > ButtonWidth - 2 * CaptionMargin
           && font.pointSizeF() - PointStep >= smallest && smallest > 0)
        font.setPointSizeF(font.pointSizeF() - PointStep);
    button->setFont(font);
    button->setText(text);
}

int TKvClippingFrame::EffectItemIndex() const
{
    return m_effectItems->checkedId();
}

void TKvClippingFrame::SetEffectItemIndex(int index)
{
    if (QAbstractButton* item = m_effectItems->button(index))
        item->setChecked(true);
}

QRadioButton* TKvClippingFrame::EffectItem(int index) const
{
    return static_cast<QRadioButton*>(m_effectItems->button(index));
}

void TKvClippingFrame::Localize()
{
    TitleLabel->setText(LocalStr(2858, QStringLiteral("Cut Out")));
    SizeLabel->setText(LocalStr(154, QStringLiteral("Size")) + QLatin1Char(':'));
    ActionsTntGroupBox->setTitle(LocalStr(2810, QStringLiteral("Actions")));
    EffectTntGroupBox->setTitle(LocalStr(2817, QStringLiteral("Effect")));
    SetActionCaption(SeparateTBXButton, LocalStr(2859, QStringLiteral("Separate")));
    SetActionCaption(ClearTBXButton, LocalStr(30, QStringLiteral("Clear")));
    SetActionCaption(EffectTBXButton, LocalStr(2860, QStringLiteral("Effect")));
    SetActionCaption(SwapTBXButton, LocalStr(2837, QStringLiteral("Swap")));
    SetActionCaption(StoreTBXButton, LocalStr(2862, QStringLiteral("Save Object")));
    StoreTBXButton->setToolTip(LocalStr(2861));
    SetActionCaption(DoneTBXButton, LocalStr(91, QStringLiteral("Done")));
    BackgroundEffectTntRadioGroup->setTitle(LocalStr(2840, QStringLiteral("Background Effect")));
    const qint32 items[] = {StringId(2012), StringId(2841), StringId(534), StringId(2845)};
    for (int item = 0; item < 4; ++item)
        EffectItem(item)->setText(PlainCaption(LocalStr(items[item])));
    ColorBox->Localize();
    MonochromeColorBox->Localize();
}

void TKvClippingFrame::SeparateTBXButtonClick()
{
    if (Tool)
        Tool->StepButtonClicked(QStringLiteral("Separate"), &TKvClippingTool::Separate);
}

void TKvClippingFrame::ClearTBXButtonClick()
{
    if (Tool)
        Tool->StepButtonClicked(QStringLiteral("Clear"), &TKvClippingTool::Clear);
}

void TKvClippingFrame::EffectTBXButtonClick()
{
    if (Tool)
        Tool->StepButtonClicked(QStringLiteral("Effect"), &TKvClippingTool::ShowEffect);
}

void TKvClippingFrame::SwapTBXButtonClick()
{
    if (Tool)
        Tool->StepButtonClicked(QStringLiteral("Swap"), &TKvClippingTool::Swap);
}

void TKvClippingFrame::StoreTBXButtonClick()
{
    if (Tool)
        Tool->StepButtonClicked(QStringLiteral("Store"), &TKvClippingTool::SaveObject);
}

void TKvClippingFrame::DoneTBXButtonClick()
{
    if (Tool)
        Tool->StepButtonClicked(QStringLiteral("Done"), &TKvClippingTool::Done);
}

void TKvClippingFrame::BackgroundEffectTntRadioGroupClick()
{
    if (Tool)
        Tool->BackgroundEffectClicked(EffectItemIndex());
}

void TKvClippingFrame::ColorBoxSelect()
{
    if (Tool)
        Tool->SetBackgroundColor(ColorBox->Selected());
}

void TKvClippingFrame::ShadowTntTrackBarChange()
{
    if (Tool)
        Tool->SetShadowLevel(ShadowTntTrackBar->value());
}

void TKvClippingFrame::BlurRadiusTntTrackBarChange()
{
    if (Tool)
        Tool->SetBlurLevel(BlurRadiusTntTrackBar->value());
}

void TKvClippingFrame::MonochromeColorBoxSelect()
{
    if (Tool)
        Tool->SetMonochromeColor(MonochromeColorBox->Selected());
}
