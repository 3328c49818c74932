#include "KvTextTool.h"

#include "KvColorBox.h"
#include "KvDemoRegistry.h"
#include "KvGraphicsView.h"
#include "KvLocalizer.h"
#include "KvSDF.h"
#include "KvSystemFonts.h"
#include "KvTextMaskRender.h"
#include "KvToolPanel.h"
#include "KvToolPanelParts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

const QUuid TKvTextTool::SettingsGuid{QStringLiteral("{663FE753-B6FB-4703-B7E5-6E8A8E0DD5E0}")};
const QStringList TKvTextTool::DefaultFonts = {QStringLiteral("Times New Roman"), QStringLiteral("Veranda"),
                                               QStringLiteral("Arial"), QStringLiteral("Courier New")};

namespace {

const QString ScriptNameText = QStringLiteral("Text");
const QString DemoText = QStringLiteral("Yalta");

enum TSettingsElement : quint32 {
    seFontSize = 1,
    seColorMode = 2,
    seTextColor = 3,
    seMaxInverse = 4,
    seFontStyle = 5,
};

constexpr int AllStyles = tsBold | tsItalic | tsUnderline | tsStrikeout;

} // namespace

// ---------------------------------------------------------------------------
// TKvTextToolControl

TKvTextTool* TKvTextToolControl::TextTool() const
{
    return static_cast<TKvTextTool*>(Tool());
}

void TKvTextToolControl::PaintPreview(TKvPixels& canvas, const TViewPixels& view)
{
    if (const TKvTextTool* tool = TextTool())
        BlendTextPreview(canvas, view, PictureBounds(), tool->Mask(), tool->PlacementOf(*this), tool->ColorRule());
}

void TKvTextToolControl::Commit()
{
    if (TKvTextTool* tool = TextTool())
        tool->CommitText(this);
}

void TKvTextToolControl::Cancel()
{
    if (TKvTextTool* tool = TextTool())
        tool->CancelText(this);
}

// ---------------------------------------------------------------------------
// TKvTextTool: construction and settings

TKvTextTool::TKvTextTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel) : TKvGraphicsTool(editor), m_panel(panel)
{
    AvailableInPluginMode = true;
    m_frame = CreateToolPanelParts(this, m_panel, LocalStr(2864, QStringLiteral("Text")), m_ownFrame);
    ToolButton->setObjectName(QStringLiteral("Button"));
    ScriptName = ScriptNameText;
    m_frame->Tool = this;
    ControlClass = ControlClassOf<TKvTextToolControl>();
    SelectDefaultFont();
    if (m_panel)
        m_panel->SetPanelWidth(PanelWidth);
    m_typing.setInterval(DemoTypingMs);
    connect(&m_typing, &QTimer::timeout, this, &TKvTextTool::TypeNextLetter);
    SetFontSize(DefaultFontSize);
    SetColorMode(tcSelected);
    SetTextColor(0);
    SetMaxInverse(false);
    SetFontStyle(0);
}

TKvTextTool::~TKvTextTool()
{
    DemoRegistry().UnregisterOwner(this);
    if (m_frame)
        m_frame->Tool = nullptr;
}

void TKvTextTool::AfterCreate()
{
    RegisterDemoNames();
}

void TKvTextTool::RegisterDemoNames()
{
    TKvDemoRegistry& registry = DemoRegistry();
    const auto name = [](const char* suffix) { return ScriptNameText + QLatin1String(suffix); };
    registry.RegisterDemoControl(this, ScriptNameText, ToolButton);
    registry.RegisterDemoControl(this, name("FontColor"), m_frame->FontColorTntRadioGroup);
    registry.RegisterDemoIntCommand(this, name("FontColor"), tcSelected, [this](int mode) { SetColorMode(mode); });
    registry.RegisterDemoControl(this, name("Color"), m_frame->ColorBox);
    registry.RegisterDemoIntCommand(this, name("Color"), 0, [this](int color) { SetTextColor(TColor(color)); });
    registry.RegisterDemoControl(this, name("MaxInverse"), m_frame->MaxInverseTBXCheckBox);
    registry.RegisterDemoIntCommand(this, name("MaxInverse"), 0, [this](int on) { SetMaxInverse(on != 0); });
    registry.RegisterDemoControl(this, name("FontSize"), m_frame->SizeSpinEdit);
    registry.RegisterDemoIntCommand(this, name("FontSize"), DefaultFontSize, [this](int size) { SetFontSize(size); });
    registry.RegisterDemoControl(this, name("FontBI"), m_frame->BoldTBXButton);
    registry.RegisterDemoIntCommand(this, name("FontBI"), 0, [this](int style) { SetFontStyle(style); });
    registry.RegisterDemoControl(this, name("Memo"), m_frame->TextMemo);
    registry.RegisterDemoCommand(this, name("MemoYalta"), [this] { TypeDemoText(); });
}

void TKvTextTool::LoadSettings(TKvSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid))
        return;
    qint32 value = 0;
    if (reader.ReadInteger(seFontSize, value))
        SetFontSize(value);
    if (reader.ReadInteger(seColorMode, value))
        SetColorMode(value);
    if (reader.ReadInteger(seTextColor, value))
        SetTextColor(TColor(value));
    if (reader.ReadInteger(seMaxInverse, value))
        SetMaxInverse(value != 0);
    if (reader.ReadInteger(seFontStyle, value))
        SetFontStyle(value);
    reader.LeaveNode();
}

void TKvTextTool::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.WriteInteger(seFontSize, m_fontSize);
    writer.WriteInteger(seColorMode, m_rule.ColorMode);
    writer.WriteInteger(seTextColor, qint32(m_rule.TextColor));
    writer.WriteInteger(seMaxInverse, m_rule.MaxInverse ? 1 : 0);
    writer.WriteInteger(seFontStyle, m_fontStyle);
    writer.EndNode();
}

void TKvTextTool::Localize()
{
    const QString name = LocalStr(2864, QStringLiteral("Text"));
    ToolButton->setText(PlainCaption(name));
    ToolButton->setToolTip(name);
}

// ---------------------------------------------------------------------------
// Settings

void TKvTextTool::SetFontSize(int size)
{
    size = std::clamp(size, int(TKvTextFrame::MinFontSize), int(TKvTextFrame::MaxFontSize));
    if (size == m_fontSize)
        return;
    m_fontSize = size;
    m_frame->SizeSpinEdit->setValue(size);
    RecordSetting(QStringLiteral("FontSize"), size);
    RenderMask();
}

void TKvTextTool::SetColorMode(int mode)
{
    m_rule.ColorMode = std::clamp(mode, int(tcSelected), int(tcInverted));
    m_frame->SetColorItemIndex(m_rule.ColorMode);
    Reblend();
}

void TKvTextTool::SetTextColor(TColor color)
{
    color &= 0xFFFFFF;
    m_syncColorBox = true;
    if (color == m_rule.TextColor)
        return;
    m_rule.TextColor = color;
    RecordSetting(QStringLiteral("Color"), qint64(color));
    Reblend();
}

void TKvTextTool::SetMaxInverse(bool maxInverse)
{
    m_rule.MaxInverse = maxInverse;
    m_frame->MaxInverseTBXCheckBox->setChecked(maxInverse);
    Reblend();
}

void TKvTextTool::SetFontStyle(int style)
{
    style &= AllStyles;
    m_frame->SetStyleBits(style);
    if (style == m_fontStyle)
        return;
    m_fontStyle = style;
    RecordSetting(QStringLiteral("FontBI"), style);
    RenderMask();
}

void TKvTextTool::ColorModeClicked(int mode)
{
    SetColorMode(mode);
    RecordSetting(QStringLiteral("FontColor"), m_rule.ColorMode);
}

void TKvTextTool::MaxInverseChanged(bool maxInverse)
{
    if (maxInverse == m_rule.MaxInverse)
        return;
    SetMaxInverse(maxInverse);
    RecordSetting(QStringLiteral("MaxInverse"), maxInverse ? 1 : 0);
}

void TKvTextTool::RecordSetting(const QString& suffix, qint64 value)
{
    if (IKvScriptRecorder* recorder = Recorder()) {
        const QString name = ScriptName + suffix;
        recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + name);
        recorder->RecordLine(name + QLatin1Char(' ') + QString::number(value));
    }
}

// ---------------------------------------------------------------------------
// The text

void TKvTextTool::SelectDefaultFont()
{
    QComboBox* fonts = m_frame->FontNameComboBox;
    QStringList wanted = DefaultFonts;
    wanted << MatchedFontFamily(QStringLiteral("serif")) << MatchedFontFamily(QStringLiteral("sans-serif"));
    for (const QString& name : wanted) {
        const int index = name.isEmpty() ? -1 : fonts->findText(name, Qt::MatchFixedString);
        if (index >= 0) {
            fonts->setCurrentIndex(index);
            return;
        }
    }
    if (fonts->count() > 0 && fonts->currentIndex() < 0)
        fonts->setCurrentIndex(0);
}

void TKvTextTool::RenderMask()
{
    if (m_fontSize == 0)
        return; // still being created
    const QStringList lines = m_frame->TextMemo->toPlainText().split(QLatin1Char('\n'));
    RenderTextLines(lines, TextMaskFont(m_frame->FontNameComboBox->currentText(), m_fontSize, m_fontStyle), m_mask);
    Reblend();
}

void TKvTextTool::Reblend()
{
    for (TKvGraphicsToolControl* control : Controls())
        static_cast<TKvTextToolControl*>(control)->InvalidatePlacement();
}

void TKvTextTool::TypeDemoText()
{
    SelectDefaultFont();
    m_frame->TextMemo->clear();
    m_typed = 0;
    m_typing.start();
}

void TKvTextTool::TypeNextLetter()
{
    ++m_typed;
    m_frame->TextMemo->setPlainText(DemoText.left(m_typed));
    if (m_typed >= DemoText.size())
        m_typing.stop();
}

// ---------------------------------------------------------------------------
// The rectangle

TTextPlacement TKvTextTool::PlacementOf(const TKvTextToolControl& control) const
{
    const TPlacedRect& placement = control.Placement();
    return {placement.Rect(), placement.FlipX(), placement.FlipY()};
}

TKvTextToolControl* TKvTextTool::ControlWithRectangle(const TKvGraphicsDocument* document) const
{
    return static_cast<TKvTextToolControl*>(ControlWithPlacement(Controls(), document));
}

void TKvTextTool::CommitText(TKvTextToolControl* control)
{
    TKvGraphicsView* view = control->View();
    const TTextPlacement placement = PlacementOf(*control);
    if (view->Document() && !m_mask.IsEmpty()
        && !IntersectRect(placement.Rect, control->PictureBounds()).IsEmpty()) {
        BeginEdit(view);
        // The text is blended here, into the rectangle as it stands now.
        const TRect changed = BlendText(*ImagePixels(), m_mask, placement, m_rule);
        if (!changed.IsEmpty())
            InvalidateDirty(changed);
        EndEdit();
    }
    control->Reset();
}

void TKvTextTool::CancelText(TKvTextToolControl* control)
{
    control->Reset();
}

void TKvTextTool::CancelRectangles(const TKvGraphicsDocument* document)
{
    while (TKvTextToolControl* control = ControlWithRectangle(document))
        CancelText(control);
}

// ---------------------------------------------------------------------------
// Tool framework

void TKvTextTool::Activated()
{
    TKvGraphicsTool::Activated();
    if (m_panel)
        m_panel->BringFrameToFront(m_frame);
}

void TKvTextTool::Deactivated()
{
    CancelRectangles();
    TKvGraphicsTool::Deactivated();
}

void TKvTextTool::SetAvailable(bool available)
{
    if (!available)
        CancelRectangles();
    m_frame->setVisible(available);
    ToolButton->setVisible(available);
    TKvGraphicsTool::SetAvailable(available);
}

void TKvTextTool::DocumentClosing(TKvGraphicsDocument* document)
{
    TKvGraphicsTool::DocumentClosing(document);
    CancelRectangles(document);
}

void TKvTextTool::CommitOrCancelOpenChange(TKvGraphicsDocument* document)
{
    while (TKvTextToolControl* control = ControlWithRectangle(document)) {
        if (control->State() == TPlaceState::Placed)
            CommitText(control);
        else
            CancelText(control);
    }
}

bool TKvTextTool::HasOpenChange(const TKvGraphicsDocument* document) const
{
    return ControlWithRectangle(document) != nullptr;
}

void TKvTextTool::UpdateControls()
{
    TKvGraphicsTool::UpdateControls();
    if (m_syncColorBox) {
        m_frame->ColorBox->SetSelected(m_rule.TextColor);
        m_syncColorBox = false;
    }
}
