#include "KvClippingTool.h"

#include "KvClippingCommandState.h"
#include "KvColorBox.h"
#include "KvDemoRegistry.h"
#include "KvGraphicsView.h"
#include "KvImageList.h"
#include "KvLocalizer.h"
#include "KvMainForm.h"
#include "KvPanelToolbar.h"
#include "KvSDF.h"
#include "KvToolPanel.h"
#include "Model.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
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
#include <memory>
#include <optional>

TKvClippingTool* ClippingTool = nullptr;

const QUuid TKvClippingTool::SettingsGuid{QStringLiteral("{09DBB784-BB3E-49EE-A9FC-F31F762510F3}")};

namespace {

// The demonstration names: the tool's script name followed by a suffix.
const QString ScriptNameText = QStringLiteral("EdgeIndication");

// Settings elements.
enum TSettingsElement : quint32 {
    seBrushSize = 1,
    seBackgroundEffect = 2,
    seBackgroundColor = 3,
    seBlurLevel = 4,
    seShadowLevel = 5,
    seMonochromeColor = 6
};

// The button pictures of the panel, by image index.
struct TButtonImage {
    int Index;
    const char* Resource;
};
constexpr TButtonImage ButtonImages[] = {
    {2, ":/images/Separate.svg"}, {3, ":/images/ClearMarks.svg"}, {4, ":/images/Effect.svg"},
    {5, ":/images/Swap.svg"},     {6, ":/images/StoreObject.svg"}, {7, ":/images/Done.svg"},
};

QCursor ResourceCursor(const char* resource)
{
    // The cross's centre is the point that paints.
    return QCursor(QIcon(QString::fromLatin1(resource)).pixmap(32, 32), 15, 15);
}

// The segment shown as the object: the segment label present in the
// region, or the object segment when none is.
quint8 ShownObject(const TMarkedRegion& region)
{
    for (int label = FirstSegment; label <= LastSegment; ++label)
        if (region.HasLabel(quint8(label)))
            return quint8(label);
    return ObjectSegment;
}

} // namespace

// Gathers what a long step changes and hands it to be repainted, and lets
// pending events run, at most every PaintInterval and never so often that
// the pauses take more than a fifth of the time: the work goes on between
// them however small its parts are, and the user still sees it grow. The
// changes are handed on as the tiles they touch, so that a repaint
// resamples only the parts of the picture that changed.
class TKvClippingTool::TLiveRepaint {
public:
    static constexpr qint64 PaintIntervalNs = 16'000'000;

    TLiveRepaint(int width, int height, std::function<void(const TRect&)> repaint) : m_repaint(std::move(repaint))
    {
        m_pending.SetSize(width, height);
        m_clock.start();
    }

    // What changed since the last repaint; the step adds to it.
    TDirtyTiles& Pending() { return m_pending; }

    // Between two parts of the step.
    void Pause()
    {
        if (m_clock.nsecsElapsed() < m_next)
            return;
        const qint64 start = m_clock.nsecsElapsed();
        Flush();
        QCoreApplication::processEvents();
        const qint64 end = m_clock.nsecsElapsed();
        m_next = end + std::max(PaintIntervalNs, 4 * (end - start));
    }

    void Flush()
    {
        for (const TRect& rect : m_pending.Rects())
            m_repaint(rect);
        m_pending.Clear();
    }

private:
    std::function<void(const TRect&)> m_repaint;
    QElapsedTimer m_clock;
    qint64 m_next = 0;
    TDirtyTiles m_pending;
};

// ---------------------------------------------------------------------------
// TKvClippingTool::TAddRemoveStack

TKvClippingTool::TAddRemoveStack::TAddRemoveStack()
{
    m_items.reserve(15000);
}

void TKvClippingTool::TAddRemoveStack::Add(int x, int y)
{
    m_items.push_back({x, y, 0});
}

void TKvClippingTool::TAddRemoveStack::Clear()
{
    m_items.clear();
}

void TKvClippingTool::TAddRemoveStack::SetRemoved(int i, bool removed)
{
    m_items[size_t(i)].Removed = removed ? 1 : 0;
}

void TKvClippingTool::TAddRemoveStack::Compact()
{
    std::erase_if(m_items, [](const TItem& item) { return item.Removed != 0; });
}

void TKvClippingTool::TAddRemoveStack::Rebuild(const TMarkedRegion& region)
{
    Clear();
    ForEachPixelLabelled(region, LabelOutline, [this](int x, int y) { Add(x, y); });
}

// ---------------------------------------------------------------------------
// TKvClippingFrame

TKvClippingFrame::TKvClippingFrame(QWidget* parent)
    : TKvFrame(parent), Self24TBXImageList(new TKvImageList(QSize(24, 24), this))
{
    setObjectName(QStringLiteral("ClippingFrame"));
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

// ---------------------------------------------------------------------------
// TKvClippingToolControl

TKvClippingTool* TKvClippingToolControl::ClippingTool() const
{
    return static_cast<TKvClippingTool*>(Tool());
}

void TKvClippingToolControl::PaintOverlay(TKvViewCanvas& canvas)
{
    const TMarkedRegion& region = ClippingTool()->Region();
    if (!HasObject(region) && !HasBackground(region))
        PaintBrushOutline(canvas);
    PaintBandOutline(canvas);
}

void TKvClippingToolControl::PaintBandOutline(TKvViewCanvas& canvas)
{
    TKvClippingTool* tool = ClippingTool();
    const TMarkedRegion& region = tool->Region();
    if (!region.HasLabel(LabelOutline) || !region.Image())
        return;
    TKvCanvasPixels& pixels = canvas.Pixels();
    const QRect target = canvas.ClipBox().intersected(QRect(0, 0, pixels.Width, pixels.Height));
    const TKvMapMode& mapMode = canvas.MapMode();
    const TKvPixels& picture = *region.Image();
    TKvClippingTool::TAddRemoveStack& outline = tool->Outline();
    // Each outline pixel is one screen pixel at every zoom, in the colour
    // that contrasts with the picture under it.
    for (int i = 0; i < outline.Count(); ++i) {
        const TPoint p = outline.GetPoint(i);
        if (p.X >= region.Width() || p.Y >= region.Height() || region.LabelAt(p.X, p.Y) != LabelOutline) {
            outline.SetRemoved(i, true);
            continue;
        }
        const QPoint d = mapMode.LogicalToDevice(QPoint(p.X, p.Y));
        if (!target.contains(d))
            continue;
        const std::uint8_t* source = picture.PixelAt(p.X, p.Y);
        std::uint8_t* dot = pixels.PixelAt(d.x(), d.y());
        for (int c = 0; c < 3; ++c)
            dot[c] = source[c] < 128 ? 255 : 0;
    }
    outline.Compact();
}

bool TKvClippingToolControl::GetCursor(Qt::KeyboardModifiers, const QPoint&, int& cursorId)
{
    if (!ToolActive())
        return false;
    cursorId = ClippingTool()->ToolCursor();
    return true;
}

QRect TKvClippingToolControl::GetOverlayRect(const TKvMapMode& mapMode) const
{
    const TMarkedRegion& region = ClippingTool()->Region();
    const QRect picture = mapMode.LogicalToDevice(QRect(0, 0, region.Width(), region.Height()));
    return picture.united(TKvBrushToolControl::GetOverlayRect(mapMode));
}

void TKvClippingToolControl::MouseLeave()
{
    SetPosition(QPoint(-1000, -1000));
}

// ---------------------------------------------------------------------------
// TKvClippingTool: construction and settings

TKvClippingTool::TKvClippingTool(IKvGraphicsEditor* editor) : TKvBrushTool(editor)
{
    RegisterProgramImages();
    RegisterScreenCursor(crPlus, ResourceCursor(":/images/Plus.svg"));
    RegisterScreenCursor(crMinus, ResourceCursor(":/images/Minus.svg"));
    ExclusiveEdit = true;
    CreateUI();
    m_frame->Tool = this;
    QFont titleFont = m_frame->TitleLabel->font();
    titleFont.setBold(true);
    m_frame->TitleLabel->setFont(titleFont);
    MinSize = 1;
    MaxSize = 100;
    BindSizeBar(m_frame->SizeTrackBar);
    StrokeMode = smDrag;
    ControlClass = ControlClassOf<TKvClippingToolControl>();
    if (ToolPanelModule)
        ToolPanelModule->SetPanelWidth(PanelWidth);
    SetClippingLabelEffects(m_region);
    SetSize(25);
    BuildDab();
}

TKvClippingTool::~TKvClippingTool()
{
    // The tool controls paint from the marked region.
    Withdraw();
    if (ClippingTool == this)
        ClippingTool = nullptr;
    DemoRegistry().UnregisterOwner(this);
    if (m_frame)
        m_frame->Tool = nullptr;
}

void TKvClippingTool::CreateUI()
{
    if (ToolPanelModule && MainForm) {
        MainForm->AddToolButton(ToolPanelModule->Toolbar, nullptr, nullptr, LocalStr(2858, QStringLiteral("Cut Out")),
                                -1, TKvMethod(static_cast<TKvGraphicsTool*>(this), &TKvGraphicsTool::Activate), ToolButton);
        ToolPanelModule->AddToolFrame(m_frame);
    } else {
        // Without the program's main form the button and frame stand alone.
        ToolButton = new QAction(this);
        connect(ToolButton, &QAction::triggered, this, [this] { Activate(ToolButton); });
        m_ownFrame.reset(NewInitialized<TKvClippingFrame>());
        m_frame = m_ownFrame.get();
    }
    ToolButton->setObjectName(QStringLiteral("ClippingToolButton"));
    Frame = m_frame;
    ScriptName = ScriptNameText;
}

void TKvClippingTool::AfterCreate()
{
    RegisterDemoNames();
}

void TKvClippingTool::RegisterDemoNames()
{
    TKvDemoRegistry& registry = DemoRegistry();
    const auto name = [](const char* suffix) { return ScriptNameText + QLatin1String(suffix); };
    registry.RegisterDemoControl(this, ScriptNameText, ToolButton);
    registry.RegisterDemoControlCommand(this, name("Separate"), m_frame->SeparateTBXButton, [this] { Separate(); });
    registry.RegisterDemoControlCommand(this, name("Effect"), m_frame->EffectTBXButton, [this] { ShowEffect(); });
    registry.RegisterDemoControlCommand(this, name("Done"), m_frame->DoneTBXButton, [this] { Done(); });
    registry.RegisterDemoControlCommand(this, name("Swap"), m_frame->SwapTBXButton, [this] { Swap(); });
    registry.RegisterDemoControlCommand(this, name("Clear"), m_frame->ClearTBXButton, [this] { Clear(); });
    registry.RegisterDemoControl(this, name("Store"), m_frame->StoreTBXButton);
    registry.RegisterDemoControl(this, name("BackgroundEffect"), m_frame->BackgroundEffectTntRadioGroup);
    registry.RegisterDemoIntCommand(this, name("BackgroundEffect"), m_backgroundEffect,
                                    [this](int value) { SetBackgroundEffect(value); });
    registry.RegisterDemoControl(this, name("BackgroundColor"), m_frame->ColorBox);
    registry.RegisterDemoIntCommand(this, name("BackgroundColor"), int(m_backgroundColor),
                                    [this](int value) { SetBackgroundColor(TColor(value)); });
    registry.RegisterDemoControl(this, name("BlurRadius"), m_frame->BlurRadiusTntTrackBar);
    registry.RegisterDemoIntCommand(this, name("BlurRadius"), m_blurLevel, [this](int value) { SetBlurLevel(value); });
    registry.RegisterDemoControl(this, name("Shadow"), m_frame->ShadowTntTrackBar);
    registry.RegisterDemoIntCommand(this, name("Shadow"), m_shadowLevel, [this](int value) { SetShadowLevel(value); });
    registry.RegisterDemoControl(this, name("MonochromeColor"), m_frame->MonochromeColorBox);
    registry.RegisterDemoIntCommand(this, name("MonochromeColor"), int(m_monochromeColor),
                                    [this](int value) { SetMonochromeColor(TColor(value)); });
}

void TKvClippingTool::LoadSettings(TKvSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid))
        return;
    qint32 value = 0;
    if (reader.ReadInteger(seBrushSize, value))
        SetSize(value);
    if (reader.ReadInteger(seBackgroundEffect, value))
        SetBackgroundEffect(value);
    if (reader.ReadInteger(seBackgroundColor, value))
        SetBackgroundColor(TColor(value));
    if (reader.ReadInteger(seBlurLevel, value))
        SetBlurLevel(value);
    if (reader.ReadInteger(seShadowLevel, value))
        SetShadowLevel(value);
    if (reader.ReadInteger(seMonochromeColor, value))
        SetMonochromeColor(TColor(value));
    reader.LeaveNode();
}

void TKvClippingTool::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.WriteInteger(seBrushSize, Size());
    writer.WriteInteger(seBackgroundEffect, m_backgroundEffect);
    writer.WriteInteger(seBackgroundColor, qint32(m_backgroundColor));
    writer.WriteInteger(seBlurLevel, m_blurLevel);
    writer.WriteInteger(seShadowLevel, m_shadowLevel);
    writer.WriteInteger(seMonochromeColor, qint32(m_monochromeColor));
    writer.EndNode();
}

void TKvClippingTool::Localize()
{
    const QString name = LocalStr(2858, QStringLiteral("Cut Out"));
    ToolButton->setText(PlainCaption(name));
    ToolButton->setToolTip(name);
}

// ---------------------------------------------------------------------------
// Idle updates

void TKvClippingTool::UpdateControls()
{
    IKvGraphicsEditor* editor = Editor();
    const bool active = editor && editor->ActiveTool() == this;
    const bool mayAct = editor && editor->ToolMayAct(this);
    ToolButton->setCheckable(true);
    ToolButton->setChecked(active);
    ToolButton->setEnabled(mayAct);
    const TKvGraphicsDocument* document = Document();
    const bool usable = mayAct && active && document && !document->Locked();
    m_frame->SetControlsEnabled(usable);
    // The group boxes keep their captions readable in every state.
    m_frame->ActionsTntGroupBox->setEnabled(true);
    m_frame->EffectTntGroupBox->setEnabled(true);
    m_frame->SizeLabel->setText(LocalStr(154, QStringLiteral("Size")) + QStringLiteral(": ")
                                + QString::number(m_frame->SizeTrackBar->value()));
    const bool band = m_region.HasLabel(LabelBand);
    const bool marks = band || m_region.HasLabel(LabelOutline) || m_region.HasLabel(LabelCutLine);
    const bool object = HasObject(m_region);
    m_frame->SeparateTBXButton->setEnabled(usable && band);
    m_frame->ClearTBXButton->setEnabled(usable && marks);
    m_frame->EffectTBXButton->setEnabled(usable && m_region.HasLabel(LabelCutLine));
    m_frame->SwapTBXButton->setEnabled(usable && object);
    m_frame->DoneTBXButton->setEnabled(usable && object);
    // Saving an object needs the object library, which the program does
    // not have yet.
    m_frame->StoreTBXButton->setEnabled(false);
    if (active && editor) {
        if (m_region.IsEmpty())
            editor->EndExclusive();
        else
            editor->BeginExclusive();
    }
    if (m_syncColorBoxes) {
        m_frame->ColorBox->SetSelected(m_backgroundColor);
        m_frame->MonochromeColorBox->SetSelected(m_monochromeColor);
        m_syncColorBoxes = false;
    }
}

// ---------------------------------------------------------------------------
// Documents and activation

TKvGraphicsView* TKvClippingTool::DocumentView() const
{
    for (TKvGraphicsToolControl* control : Controls())
        if (control->View() && control->View()->Document())
            return control->View();
    return nullptr;
}

TKvGraphicsDocument* TKvClippingTool::Document() const
{
    TKvGraphicsView* view = DocumentView();
    return view ? view->Document() : nullptr;
}

void TKvClippingTool::Reset()
{
    // The blur's averaging reports on the status bar's progress bar.
    m_region.SetProgressMeter(ProgramProgressMeter());
    if (TKvGraphicsDocument* document = Document())
        m_region.AttachImage(&document->Image().Pixels());
    m_region.ResetAll();
    m_outline.Clear();
}

void TKvClippingTool::Activated()
{
    TKvBrushTool::Activated();
    if (ToolPanelModule)
        ToolPanelModule->BringFrameToFront(m_frame);
    if (TKvGraphicsDocument* document = Document())
        m_region.AttachImage(&document->Image().Pixels());
}

void TKvClippingTool::DocumentOpened(TKvGraphicsDocument* document)
{
    TKvBrushTool::DocumentOpened(document);
    Reset();
}

void TKvClippingTool::DocumentClosing(TKvGraphicsDocument* document)
{
    TKvBrushTool::DocumentClosing(document);
    // The picture the close question is about is the finished one.
    if (Busy() && document == Document())
        CompleteOperation();
}

void TKvClippingTool::StateChanged(TKvGraphicsDocument*, IKvGraphicsTool* tool, const TRect&)
{
    // Marks never exist while another tool changes the picture (the tool is
    // exclusive while they do), so another tool's change leaves none worth
    // keeping, and the picture may have turned or changed its size.
    if (tool != static_cast<IKvGraphicsTool*>(this))
        Reset();
}

void TKvClippingTool::SetAvailable(bool available)
{
    m_frame->setVisible(available);
    ToolButton->setVisible(available);
    TKvBrushTool::SetAvailable(available);
}

// ---------------------------------------------------------------------------
// Painting the band

void TKvClippingTool::BuildDab()
{
    BuildPowerDab(DabMask(), Size(), 255, 160);
}

bool TKvClippingTool::BeginStroke(TKvDrawToolControl* control, Qt::MouseButton button, const TKvShiftState& shift)
{
    BeginCommand(TKvClippingRecord::ckNone);
    const TKvGraphicsDocument* document = control->View()->Document();
    if (!document || document->Locked() || HasObject(m_region) || HasBackground(m_region))
        return false;
    return TKvBrushTool::BeginStroke(control, button, shift);
}

void TKvClippingTool::ApplyDab(const TRect& rect)
{
    SetPaintLabel(ShiftState.Buttons & Qt::RightButton ? LabelUnmarked : LabelBand);
    if (!PaintBand(m_region, rect, Dab(), std::uint8_t(m_paintLabel), [this](int x, int y) { m_outline.Add(x, y); }))
        return;
    BeginCommand(TKvClippingRecord::ckMarks);
    // Erasing makes the band pixels around the dab outline, one pixel beyond
    // its rectangle: the command's snapshots must hold them too.
    if (m_paintLabel == LabelUnmarked)
        InvalidateDirty(IntersectRect({rect.Left - 1, rect.Top - 1, rect.Right + 1, rect.Bottom + 1},
                                      {0, 0, m_region.Width(), m_region.Height()}));
}

void TKvClippingTool::EndStroke()
{
    SetPaintLabel(-1);
    TKvBrushTool::EndStroke();
}

void TKvClippingTool::SetPaintLabel(int label)
{
    if (label == m_paintLabel)
        return;
    m_paintLabel = label;
    for (TKvGraphicsToolControl* control : Controls())
        control->RefreshCursor();
}

int TKvClippingTool::ToolCursor() const
{
    switch (m_paintLabel) {
    case LabelUnmarked:
        return crMinus;
    case LabelBand:
        return crPlus;
    default:
        return HasObject(m_region) || HasBackground(m_region) ? crDefault : -1;
    }
}

// ---------------------------------------------------------------------------
// Command records and states

void TKvClippingTool::MakeRecord(TKvClippingRecord& record, quint8 kind) const
{
    record = {};
    record.Kind = kind;
    record.Object = m_objectLabel;
    if (kind != TKvClippingRecord::ckEffect && kind != TKvClippingRecord::ckSwap
        && kind != TKvClippingRecord::ckParameters)
        return;
    record.Effect = quint8(m_backgroundEffect);
    switch (m_backgroundEffect) {
    case ::BackgroundColor:
        record.Color = m_backgroundColor;
        break;
    case BackgroundShadow:
        record.Level = m_shadowLevel;
        break;
    case BackgroundBlur:
        record.Level = m_blurLevel;
        break;
    default:
        record.Color = m_monochromeColor;
        break;
    }
}

void TKvClippingTool::BeginCommand(quint8 kind)
{
    MakeRecord(m_beforeRecord, TKvClippingRecord::ckMarks);
    MakeRecord(m_afterRecord, kind);
}

void TKvClippingTool::ApplyParameters(const TKvClippingRecord& record)
{
    switch (record.Effect) {
    case ::BackgroundColor:
        m_region.SetBackgroundColor(record.Color);
        break;
    case BackgroundShadow:
        m_region.SetShadowLevel(record.Level);
        break;
    case BackgroundBlur:
        m_region.SetBlurLevel(record.Level);
        break;
    default:
        m_region.SetMonochromeColor(record.Color);
        break;
    }
    m_region.PrepareEffect(record.Effect);
    m_shown = record;
    m_shown.Kind = TKvClippingRecord::ckParameters;
}

void TKvClippingTool::FollowObject()
{
    m_objectLabel = ShownObject(m_region);
}

void TKvClippingTool::RecordState()
{
    TKvGraphicsDocument* document = EditDocument();
    if (!document || document->DirtyRect().IsEmpty() || m_afterRecord.Kind == TKvClippingRecord::ckNone)
        return;
    document->RecordState(std::make_unique<TKvClippingCommandState>(this, document->DirtyRect(), document));
}

// ---------------------------------------------------------------------------
// The steps

bool TKvClippingTool::MayStartCommand() const
{
    const TKvGraphicsDocument* document = Document();
    return document && !document->Locked() && !Busy();
}

void TKvClippingTool::BeginCommandEdit()
{
    BeginEdit(DocumentView());
    UpdateControls();
}

void TKvClippingTool::RepaintWholePicture()
{
    InvalidateDirty({0, 0, m_region.Width(), m_region.Height()});
}

void TKvClippingTool::RunOperation(TOperation operation)
{
    m_operation = std::move(operation);
    TLiveRepaint repaint(m_region.Width(), m_region.Height(), [this](const TRect& rect) { InvalidateDirty(rect); });
    m_repaint = &repaint;
    while (Busy()) {
        // A copy: the operation may be completed from inside its own part.
        const std::function<bool(TDirtyTiles&)> step = m_operation.Step;
        const bool more = step(repaint.Pending());
        if (!more || !Busy())
            break;
        repaint.Pause();
    }
    if (Busy())
        CompleteOperation();
    m_repaint = nullptr;
}

void TKvClippingTool::CompleteOperation()
{
    const TOperation operation = std::move(m_operation);
    m_operation = {};
    TLiveRepaint* repaint = m_repaint;
    m_repaint = nullptr;
    std::optional<TLiveRepaint> own;
    if (!repaint)
        repaint = &own.emplace(m_region.Width(), m_region.Height(), [this](const TRect& rect) { InvalidateDirty(rect); });
    while (operation.Step(repaint->Pending())) {
    }
    repaint->Flush();
    if (operation.Finish)
        operation.Finish();
    EndEdit();
}

void TKvClippingTool::ColumnPass(TColumnPass pass, std::function<void()> finish)
{
    auto shared = std::make_shared<TColumnPass>(pass);
    RunOperation({[shared](TDirtyTiles& changed) {
                      TRect column;
                      const bool more = shared->Next(column);
                      changed.Add(column);
                      return more;
                  },
                  std::move(finish)});
}

void TKvClippingTool::Separate()
{
    if (!MayStartCommand())
        return;
    BeginCommand(TKvClippingRecord::ckMarks);
    BeginCommandEdit();
    struct TWork {
        std::optional<TSeparation> Separation;
        bool Growing = false;
    };
    auto work = std::make_shared<TWork>();
    RunOperation({[this, work](TDirtyTiles& changed) {
                      if (work->Growing)
                          return work->Separation->Step(changed) > 0;
                      if (work->Separation)
                          return false; // the band enclosed nothing
                      // The earlier cut line becomes band again and the
                      // unmarked areas are numbered: every pixel's segment
                      // changes, so the command keeps the whole picture,
                      // but only the earlier cut line looks different.
                      work->Separation.emplace(m_region, &changed);
                      EditDocument()->ExtendDirtyRect({0, 0, m_region.Width(), m_region.Height()});
                      if (!work->Separation->Encloses()) {
                          ShowOpenBand(*work->Separation);
                          return false;
                      }
                      work->Separation->StartGrowCut();
                      work->Growing = true;
                      return true;
                  },
                  [work] {
                      if (work->Separation)
                          work->Separation->Finish();
                  }});
}

void TKvClippingTool::ShowOpenBand(TSeparation& separation)
{
    separation.ShowOpenOutline();
    RepaintWholePicture();
    QCoreApplication::processEvents();
    KvApplication->MessageBox(LocalStr(2836), LocalStr(2835, QStringLiteral("Attention")), 0);
    separation.HideOpenOutline();
    RepaintWholePicture();
}

void TKvClippingTool::ShowEffect()
{
    if (!MayStartCommand() || !m_region.HasLabel(LabelCutLine))
        return;
    BeginCommand(TKvClippingRecord::ckEffect);
    BeginCommandEdit();
    // The background takes the effect and parameter the panel shows, as a
    // redo of this command does.
    ApplyParameters(m_afterRecord);
    m_objectLabel = ObjectSegment;
    ColumnPass(TColumnPass(m_region, TColumnPass::ApplyObjectWork, ObjectSegment));
}

void TKvClippingTool::Swap()
{
    if (!MayStartCommand() || !HasObject(m_region))
        return;
    FollowObject();
    MakeRecord(m_beforeRecord, TKvClippingRecord::ckSwap);
    // The background keeps the effect it shows.
    m_beforeRecord.Effect = m_shown.Effect;
    m_afterRecord = m_beforeRecord;
    BeginCommandEdit();
    TColumnPass pass = StartSwap(m_region, m_objectLabel, m_shown.Effect);
    m_afterRecord.Object = m_objectLabel;
    ColumnPass(pass);
}

void TKvClippingTool::Done()
{
    if (!MayStartCommand() || !HasObject(m_region))
        return;
    BeginCommand(TKvClippingRecord::ckDone);
    BeginCommandEdit();
    m_region.ResetCurrent();
    RepaintWholePicture();
    EndEdit();
}

void TKvClippingTool::Clear()
{
    if (!MayStartCommand() || m_region.IsEmpty())
        return;
    BeginCommand(TKvClippingRecord::ckClear);
    BeginCommandEdit();
    ColumnPass(StartClear(m_region), [this] { m_outline.Clear(); });
}

void TKvClippingTool::RefreshBackground()
{
    if (!ShowsBackground() || !MayStartCommand())
        return;
    MakeRecord(m_afterRecord, TKvClippingRecord::ckParameters);
    BeginCommandEdit();
    ApplyParameters(m_afterRecord);
    ColumnPass(TColumnPass(m_region, TColumnPass::RefreshWork));
}

// ---------------------------------------------------------------------------
// The background effect and its parameters

void TKvClippingTool::ParameterChanged(int effect, const QString& suffix, qint64 value,
                                       const std::function<void()>& store)
{
    // Undo goes back to what the background shows now.
    m_beforeRecord = m_shown;
    store();
    RecordSetting(suffix, value);
    if (m_backgroundEffect == effect)
        RefreshBackground();
}

void TKvClippingTool::SetBackgroundEffect(int index)
{
    if (index < ::BackgroundColor || index > BackgroundMonochrome)
        return;
    if (m_frame->EffectItemIndex() != index)
        m_frame->SetEffectItemIndex(index); // the group's click does the rest
    else
        m_backgroundEffect = index;
}

void TKvClippingTool::BackgroundEffectClicked(int index)
{
    if (index < ::BackgroundColor || index > BackgroundMonochrome || index == m_backgroundEffect)
        return;
    ParameterChanged(index, QStringLiteral("BackgroundEffect"), index, [this, index] { m_backgroundEffect = index; });
}

void TKvClippingTool::SetBackgroundColor(TColor color)
{
    color &= 0xFFFFFF;
    if (color == m_backgroundColor)
        return;
    ParameterChanged(::BackgroundColor, QStringLiteral("BackgroundColor"), color, [this, color] {
        m_backgroundColor = color;
        m_frame->ColorBox->SetSelected(color);
    });
}

void TKvClippingTool::SetMonochromeColor(TColor color)
{
    color &= 0xFFFFFF;
    if (color == m_monochromeColor)
        return;
    ParameterChanged(BackgroundMonochrome, QStringLiteral("MonochromeColor"), color, [this, color] {
        m_monochromeColor = color;
        m_frame->MonochromeColorBox->SetSelected(color);
    });
}

void TKvClippingTool::SetBlurLevel(int level)
{
    // Beyond 5 the radius would outgrow any picture (and overflow at 20).
    level = std::clamp(level, MinLevel, MaxLevel);
    if (level == m_blurLevel)
        return;
    ParameterChanged(BackgroundBlur, QStringLiteral("BlurRadius"), level, [this, level] {
        m_blurLevel = level;
        m_frame->BlurRadiusTntTrackBar->setValue(level);
    });
}

void TKvClippingTool::SetShadowLevel(int level)
{
    level = std::clamp(level, MinLevel, MaxLevel);
    if (level == m_shadowLevel)
        return;
    ParameterChanged(BackgroundShadow, QStringLiteral("Shadow"), level, [this, level] {
        m_shadowLevel = level;
        m_frame->ShadowTntTrackBar->setValue(level);
    });
}

// ---------------------------------------------------------------------------
// Recording demonstrations

void TKvClippingTool::StepButtonClicked(const QString& suffix, void (TKvClippingTool::*step)())
{
    if (IKvScriptRecorder* recorder = Recorder()) {
        const QString name = ScriptName + suffix;
        recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + name);
        recorder->RecordLine(name);
    }
    (this->*step)();
}

void TKvClippingTool::RecordSetting(const QString& suffix, qint64 value)
{
    if (IKvScriptRecorder* recorder = Recorder()) {
        const QString name = ScriptName + suffix;
        recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + name);
        recorder->RecordLine(name + QLatin1Char(' ') + QString::number(value));
    }
}
