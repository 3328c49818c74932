#include "KvBrightnessContrastTool.h"

#include "KvDemoRegistry.h"
#include "KvGraphicsView.h"
#include "KvLocalizer.h"
#include "KvToolPanelParts.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString ScriptNameText = QStringLiteral("BrightnessContrast");

QString BrightnessText() { return LocalStr(550, QStringLiteral("Brightness")); }

QString ContrastText() { return LocalStr(558, QStringLiteral("Contrast")); }

QSlider* NewTrackBar(QWidget* parent, const char* name)
{
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(MinToneValue, MaxToneValue);
    bar->setTickInterval(16);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setValue(0);
    return bar;
}

// The slider shows the value without telling the tool again.
void ShowValue(QSlider* bar, int value)
{
    const QSignalBlocker quiet(bar);
    bar->setValue(value);
}

} // namespace

// ---------------------------------------------------------------------------
// TKvBrightnessContrastFrame

TKvBrightnessContrastFrame::TKvBrightnessContrastFrame(QWidget* parent) : TKvFrame(parent)
{
    setObjectName(QStringLiteral("BrightnessContrastFrame"));
    TitleLabel = NewTitleLabel(this);
    BrightnessLabel = new QLabel(this);
    BrightnessLabel->setObjectName(QStringLiteral("BrightnessLabel"));
    BrightnessTrackBar = NewTrackBar(this, "BrightnessTrackBar");
    ContrastLabel = new QLabel(this);
    ContrastLabel->setObjectName(QStringLiteral("ContrastLabel"));
    ContrastTrackBar = NewTrackBar(this, "ContrastTrackBar");
    OkPanel = NewOkPanel(this, "OkButton", OkButton, CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addWidget(BrightnessLabel);
    layout->addWidget(BrightnessTrackBar);
    layout->addWidget(ContrastLabel);
    layout->addWidget(ContrastTrackBar);
    layout->addWidget(OkPanel);
    layout->addStretch(1);

    connect(BrightnessTrackBar, &QSlider::valueChanged, this, &TKvBrightnessContrastFrame::BrightnessTrackBarChange);
    connect(ContrastTrackBar, &QSlider::valueChanged, this, &TKvBrightnessContrastFrame::ContrastTrackBarChange);
    connect(OkButton, &QPushButton::clicked, this, &TKvBrightnessContrastFrame::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TKvBrightnessContrastFrame::CancelButtonClick);
}

void TKvBrightnessContrastFrame::Localize()
{
    TitleLabel->setText(LocalStr(2021, QStringLiteral("Brightness & Contrast")));
    OkButton->setText(PlainCaption(LocalStr(1, QStringLiteral("OK"))));
    CancelButton->setText(PlainCaption(LocalStr(2, QStringLiteral("Cancel"))));
}

void TKvBrightnessContrastFrame::BrightnessTrackBarChange()
{
    if (Tool && BrightnessTrackBar->value() != Tool->Brightness())
        Tool->SetBrightness(BrightnessTrackBar->value());
}

void TKvBrightnessContrastFrame::ContrastTrackBarChange()
{
    if (Tool && ContrastTrackBar->value() != Tool->Contrast())
        Tool->SetContrast(ContrastTrackBar->value());
}

void TKvBrightnessContrastFrame::OkButtonClick()
{
    if (!Tool)
        return;
    Tool->Commit();
    Tool->RecordClick(QStringLiteral("Perform"));
}

void TKvBrightnessContrastFrame::CancelButtonClick()
{
    if (!Tool)
        return;
    Tool->Cancel();
    Tool->RecordClick(QStringLiteral("Cancel"));
}

// ---------------------------------------------------------------------------
// TKvCurveCommandState

TKvCurveCommandState::TKvCurveCommandState(IKvGraphicsTool* tool, TKvGraphicsDocument* document, TKvLUT table)
    : TKvCustomGraphicsCommandState(tool, document->Image().GetBounds(), document), m_table(std::move(table))
{
    const TKvPixelBuffer& committed = document->Committed();
    if (m_before.SetFormat(committed.Format, committed.GetBounds()))
        m_before.Assign(committed);
}

void TKvCurveCommandState::Undo()
{
    TKvGraphicsDocument* document = Document();
    document->Image().Pixels().Assign(m_before);
    document->ResetCommitted();
    document->InvalidateImageRect(Rect());
    TKvCustomGraphicsCommandState::Undo();
}

void TKvCurveCommandState::Redo()
{
    TKvGraphicsDocument* document = Document();
    ApplyLUT(m_before, document->Image().Pixels(), m_table);
    document->ResetCommitted();
    document->InvalidateImageRect(Rect());
    TKvCustomGraphicsCommandState::Redo();
}

// ---------------------------------------------------------------------------
// TKvBrightnessContrastTool

TKvBrightnessContrastTool::TKvBrightnessContrastTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel)
    : TKvGraphicsTool(editor), m_panel(panel)
{
    m_frame = CreateToolPanelParts(this, m_panel, LocalStr(2021, QStringLiteral("Brightness & Contrast")),
                                   m_ownFrame);
    ToolButton->setObjectName(QStringLiteral("BrightnessContrastToolButton"));
    m_frame->Tool = this;
    ScriptName = ScriptNameText;
}

TKvBrightnessContrastTool::~TKvBrightnessContrastTool()
{
    DemoRegistry().UnregisterOwner(this);
    if (m_frame)
        m_frame->Tool = nullptr;
}

void TKvBrightnessContrastTool::AddEditorButtons(IKvShell* shell, QToolBar* toolbar)
{
    shell->AddSeparator(toolbar);
    BrightnessUpToolButton = AddEditorButton(shell, toolbar, this, 31, "BrightnessUpToolButton",
                                             [this] { StepBrightness(StepValue); });
    BrightnessDownToolButton = AddEditorButton(shell, toolbar, this, 32, "BrightnessDownToolButton",
                                               [this] { StepBrightness(-StepValue); });
    ContrastUpToolButton = AddEditorButton(shell, toolbar, this, 33, "ContrastUpToolButton",
                                           [this] { StepContrast(StepValue); });
    ContrastDownToolButton = AddEditorButton(shell, toolbar, this, 34, "ContrastDownToolButton",
                                             [this] { StepContrast(-StepValue); });
    Localize();
}

void TKvBrightnessContrastTool::SetBrightness(int value)
{
    value = std::clamp(value, MinToneValue, MaxToneValue);
    if (value == m_brightness)
        return;
    m_brightness = value;
    ShowValue(m_frame->BrightnessTrackBar, value);
    ApplyCurve();
    RecordValue(QStringLiteral("Brightness "), value);
}

void TKvBrightnessContrastTool::SetContrast(int value)
{
    value = std::clamp(value, MinToneValue, MaxToneValue);
    if (value == m_contrast)
        return;
    m_contrast = value;
    ShowValue(m_frame->ContrastTrackBar, value);
    ApplyCurve();
    RecordValue(QStringLiteral("Contrast "), value);
}

void TKvBrightnessContrastTool::ApplyCurve()
{
    TKvGraphicsView* view = DocumentView();
    if (!view)
        return;
    TKvGraphicsDocument* document = view->Document();
    if (EditDocument() != document) {
        // Work of another tool that keeps every other edit out refuses it.
        if (!MayAct())
            return;
        BeginEdit(view);
        // The view follows the sliders from what it shows of the picture now.
        view->BeginToneChange();
    }
    m_table = BrightnessContrastTable(m_brightness, m_contrast);
    // The screen follows first; the whole picture is worked through after.
    view->ShowToneChange(m_table);
    ApplyLUT(*CommittedPixels(), *ImagePixels(), m_table);
    document->ExtendDirtyRect(document->Image().GetBounds());
}

void TKvBrightnessContrastTool::ResetValues()
{
    m_brightness = 0;
    m_contrast = 0;
    ShowValue(m_frame->BrightnessTrackBar, 0);
    ShowValue(m_frame->ContrastTrackBar, 0);
}

void TKvBrightnessContrastTool::Commit()
{
    if (Editing())
        EndEdit();
    else
        ResetValues();
}

void TKvBrightnessContrastTool::Cancel()
{
    ResetValues();
    if (TKvGraphicsView* view = EditView())
        view->EndToneChange();
    CancelEdit();
}

void TKvBrightnessContrastTool::StepBrightness(int step)
{
    SetBrightness(step);
    Commit();
}

void TKvBrightnessContrastTool::StepContrast(int step)
{
    SetContrast(step);
    Commit();
}

void TKvBrightnessContrastTool::EndEdit()
{
    if (TKvGraphicsView* view = EditView())
        view->EndToneChange();
    TKvGraphicsTool::EndEdit();
    ResetValues();
}

void TKvBrightnessContrastTool::RecordState()
{
    TKvGraphicsDocument* document = EditDocument();
    if (!document || document->DirtyRect().IsEmpty())
        return;
    auto state = std::make_unique<TKvCurveCommandState>(this, document, m_table);
    if (state->IsEmpty()) {
        // Without the memory for the picture before, the usual record.
        TKvGraphicsTool::RecordState();
        return;
    }
    document->RecordState(std::move(state));
    document->ResetCommitted();
}

void TKvBrightnessContrastTool::CommitOrCancelOpenChange(TKvGraphicsDocument* document)
{
    if (HasOpenChange(document))
        Commit();
}

bool TKvBrightnessContrastTool::HasOpenChange(const TKvGraphicsDocument* document) const
{
    return Editing() && EditDocument() == document;
}

void TKvBrightnessContrastTool::DocumentOpened(TKvGraphicsDocument* document)
{
    TKvGraphicsTool::DocumentOpened(document);
    ResetValues();
}

void TKvBrightnessContrastTool::Activated()
{
    TKvGraphicsTool::Activated();
    if (m_panel)
        m_panel->BringFrameToFront(m_frame);
}

void TKvBrightnessContrastTool::AfterCreate() { RegisterDemoNames(); }

void TKvBrightnessContrastTool::RegisterDemoNames()
{
    TKvDemoRegistry& registry = DemoRegistry();
    const auto name = [](const char* suffix) { return ScriptNameText + QLatin1String(suffix); };
    registry.RegisterDemoControl(this, ScriptNameText, ToolButton);
    registry.RegisterDemoControl(this, name("Brightness"), m_frame->BrightnessTrackBar);
    registry.RegisterDemoIntCommand(this, name("Brightness"), 0, [this](int value) { SetBrightness(value); });
    registry.RegisterDemoControl(this, name("Contrast"), m_frame->ContrastTrackBar);
    registry.RegisterDemoIntCommand(this, name("Contrast"), 0, [this](int value) { SetContrast(value); });
    registry.RegisterDemoControlCommand(this, name("Perform"), m_frame->OkButton,
                                        [this] { m_frame->OkButtonClick(); });
    registry.RegisterDemoControlCommand(this, name("Cancel"), m_frame->CancelButton,
                                        [this] { m_frame->CancelButtonClick(); });
}

void TKvBrightnessContrastTool::UpdateControls()
{
    TKvGraphicsTool::UpdateControls();
    const bool enabled = MayAct();
    for (QAction* button : {BrightnessUpToolButton, BrightnessDownToolButton, ContrastUpToolButton,
                            ContrastDownToolButton})
        if (button)
            button->setEnabled(enabled);
    if (enabled) {
        const bool open = HasOpenChange(Document());
        m_frame->OkButton->setEnabled(open);
        m_frame->CancelButton->setEnabled(open);
    }
    m_frame->BrightnessLabel->setText(BrightnessText() + QStringLiteral(": ")
                                      + QString::number(m_frame->BrightnessTrackBar->value()));
    m_frame->ContrastLabel->setText(ContrastText() + QStringLiteral(": ")
                                    + QString::number(m_frame->ContrastTrackBar->value()));
}

void TKvBrightnessContrastTool::Localize()
{
    const QString caption = LocalStr(2021, QStringLiteral("Brightness & Contrast"));
    ToolButton->setText(PlainCaption(caption));
    ToolButton->setToolTip(caption);
    const std::pair<QAction*, QString> steps[] = {{BrightnessUpToolButton, QStringLiteral("+ ") + BrightnessText()},
                                                  {BrightnessDownToolButton, QStringLiteral("- ") + BrightnessText()},
                                                  {ContrastUpToolButton, QStringLiteral("+ ") + ContrastText()},
                                                  {ContrastDownToolButton, QStringLiteral("- ") + ContrastText()}};
    for (const auto& [button, text] : steps)
        if (button) {
            button->setText(PlainCaption(text));
            button->setToolTip(text);
        }
}

void TKvBrightnessContrastTool::GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint)
{
    if (ToolButtonTarget(params, screenPoint))
        found = true;
    else
        TKvGraphicsTool::GetScriptTarget(params, found, screenPoint);
}


void TKvBrightnessContrastTool::RecordValue(const QString& suffix, int value)
{
    if (IKvScriptRecorder* recorder = Recorder())
        recorder->RecordLine(ScriptNameText + suffix + QString::number(value));
}
