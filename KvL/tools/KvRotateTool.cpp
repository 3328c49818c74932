#include "KvRotateTool.h"

#include "KvDemoRegistry.h"
#include "KvGraphicsView.h"
#include "KvLocalizer.h"
#include "KvToolPanelParts.h"
#include "KvWaitCursor.h"

#include <QAction>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString ScriptNameText = QStringLiteral("Rotation");

// The four operations in the order the frame's controls list them, with
// their caption and their demonstration suffixes.
struct TOperationInfo {
    TKvRotateOperation Operation;
    qint32 TextId;
    const char* Default;
    const char* ButtonSuffix;
    const char* OptionSuffix;
};
constexpr TOperationInfo Operations[] = {
    {roRotateRight, 2025, "Rotate Right", "Right", "RightOption"},
    {roRotateLeft, 2026, "Rotate Left", "Left", "LeftOption"},
    {roFlipHorizontal, 2110, "Flip Horizontal", "Horizontal", "HorizontalOption"},
    {roFlipVertical, 2109, "Flip Vertical", "Vertical", "VerticalOption"},
};

const TOperationInfo& InfoOf(TKvRotateOperation operation)
{
    return *std::find_if(std::begin(Operations), std::end(Operations),
                         [operation](const TOperationInfo& info) { return info.Operation == operation; });
}

QString CaptionOf(TKvRotateOperation operation)
{
    const TOperationInfo& info = InfoOf(operation);
    return LocalStr(info.TextId, QString::fromLatin1(info.Default));
}

QPushButton* NewButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QRadioButton* NewOption(QWidget* parent, const char* name)
{
    auto* option = new QRadioButton(parent);
    option->setObjectName(QLatin1String(name));
    return option;
}

} // namespace

TKvRotateOperation InverseRotateOperation(TKvRotateOperation operation)
{
    switch (operation) {
    case roRotateLeft: return roRotateRight;
    case roRotateRight: return roRotateLeft;
    default: return operation; // a mirror is its own inverse
    }
}

TPixelTurn PixelTurnOf(TKvRotateOperation operation)
{
    switch (operation) {
    case roRotateLeft: return TPixelTurn::Left;
    case roRotateRight: return TPixelTurn::Right;
    case roFlipHorizontal: return TPixelTurn::MirrorX;
    case roFlipVertical: return TPixelTurn::MirrorY;
    }
    return TPixelTurn::Right;
}

bool ApplyRotateOperation(TKvGraphicsDocument* document, TKvRotateOperation operation)
{
    TWaitCursor wait;
    switch (operation) {
    case roRotateLeft: return document->RotateLeft();
    case roRotateRight: return document->RotateRight();
    case roFlipHorizontal: return document->FlipHorizontal();
    case roFlipVertical: return document->FlipVertical();
    }
    return false;
}

// ---------------------------------------------------------------------------
// TKvThumbnailView

TKvThumbnailView::TKvThumbnailView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ThumbnailView"));
    setFixedSize(TKvRotateFrame::ThumbnailWidth, TKvRotateFrame::ThumbnailHeight);
}

void TKvThumbnailView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!Preview || Preview->IsEmpty())
        return;
    const int left = (width() - Preview->Width()) / 2;
    const int top = (height() - Preview->Height()) / 2;
    Preview->Draw(painter, RectOfSize(left, top, Preview->Width(), Preview->Height()));
}

// ---------------------------------------------------------------------------
// TKvRotateFrame

TKvRotateFrame::TKvRotateFrame(QWidget* parent) : TKvFrame(parent)
{
    setObjectName(QStringLiteral("RotateFrame"));
    TitleLabel = NewTitleLabel(this);

    PreviewControl = new QWidget(this);
    PreviewControl->setObjectName(QStringLiteral("PreviewControl"));
    PreviewPanel = new QWidget(PreviewControl);
    PreviewPanel->setObjectName(QStringLiteral("PreviewPanel"));
    ThumbnailView = new TKvThumbnailView(PreviewPanel);
    auto* previewLayout = new QVBoxLayout(PreviewPanel);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(ThumbnailView, 0, Qt::AlignHCenter);
    RotateRightRadioButton = NewOption(PreviewControl, "RotateRightRadioButton");
    RotateLeftRadioButton = NewOption(PreviewControl, "RotateLeftRadioButton");
    FlipHorizontalRadioButton = NewOption(PreviewControl, "FlipHorizontalRadioButton");
    FlipVerticalRadioButton = NewOption(PreviewControl, "FlipVerticalRadioButton");
    RotateRightRadioButton->setChecked(true);
    RotateButton = NewButton(PreviewControl, "RotateButton");
    auto* options = new QVBoxLayout(PreviewControl);
    options->setContentsMargins(0, 0, 0, 0);
    options->addWidget(PreviewPanel);
    for (QRadioButton* option :
         {RotateRightRadioButton, RotateLeftRadioButton, FlipHorizontalRadioButton, FlipVerticalRadioButton})
        options->addWidget(option);
    options->addWidget(RotateButton);

    RotateRightButton = NewButton(this, "RotateRightButton");
    RotateLeftButton = NewButton(this, "RotateLeftButton");
    FlipHorizontalButton = NewButton(this, "FlipHorizontalButton");
    FlipVerticalButton = NewButton(this, "FlipVerticalButton");
    ShowOptions = NewOptionsLink(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addWidget(PreviewControl);
    for (QPushButton* button : {RotateRightButton, RotateLeftButton, FlipHorizontalButton, FlipVerticalButton})
        layout->addWidget(button);
    layout->addWidget(ShowOptions, 0, Qt::AlignLeft);
    layout->addStretch(1);

    const auto perform = [this](TKvRotateOperation operation) {
        if (Tool && Tool->Perform(operation))
            Tool->RecordClick(QLatin1String(InfoOf(operation).ButtonSuffix));
    };
    connect(RotateRightButton, &QPushButton::clicked, this, [perform] { perform(roRotateRight); });
    connect(RotateLeftButton, &QPushButton::clicked, this, [perform] { perform(roRotateLeft); });
    connect(FlipHorizontalButton, &QPushButton::clicked, this, [perform] { perform(roFlipHorizontal); });
    connect(FlipVerticalButton, &QPushButton::clicked, this, [perform] { perform(roFlipVertical); });
    connect(RotateButton, &QPushButton::clicked, this, &TKvRotateFrame::RotateButtonClick);
    for (QRadioButton* option :
         {RotateRightRadioButton, RotateLeftRadioButton, FlipHorizontalRadioButton, FlipVerticalRadioButton})
        connect(option, &QRadioButton::toggled, this, [this, option](bool checked) {
            if (checked)
                RotateRadioButtonChange(option);
        });
    connect(ShowOptions, &QToolButton::clicked, this, &TKvRotateFrame::ShowOptionsButtonClick);
}

QRadioButton* TKvRotateFrame::OptionOf(TKvRotateOperation operation) const
{
    switch (operation) {
    case roRotateLeft: return RotateLeftRadioButton;
    case roRotateRight: return RotateRightRadioButton;
    case roFlipHorizontal: return FlipHorizontalRadioButton;
    case roFlipVertical: return FlipVerticalRadioButton;
    }
    return RotateRightRadioButton;
}

TKvRotateOperation TKvRotateFrame::CheckedOperation() const
{
    // Left, right, horizontal, vertical are tried in this order.
    for (const TKvRotateOperation operation : {roRotateLeft, roRotateRight, roFlipHorizontal, roFlipVertical})
        if (OptionOf(operation)->isChecked())
            return operation;
    return roRotateRight;
}

void TKvRotateFrame::Localize()
{
    TitleLabel->setText(LocalStr(2024, QStringLiteral("Rotation & Flip")));
    const std::pair<TKvRotateOperation, QPushButton*> buttons[] = {{roRotateRight, RotateRightButton},
                                                                   {roRotateLeft, RotateLeftButton},
                                                                   {roFlipHorizontal, FlipHorizontalButton},
                                                                   {roFlipVertical, FlipVerticalButton}};
    for (const auto& [operation, button] : buttons) {
        button->setText(PlainCaption(CaptionOf(operation)));
        OptionOf(operation)->setText(PlainCaption(CaptionOf(operation)));
    }
    RotateButton->setText(PlainCaption(CaptionOf(CheckedOperation())));
    ShowOptionsLayout(Tool && Tool->OptionsShown());
}

void TKvRotateFrame::ShowOptionsLayout(bool shown)
{
    PreviewControl->setVisible(shown);
    for (QPushButton* button : {RotateRightButton, RotateLeftButton, FlipHorizontalButton, FlipVerticalButton})
        button->setVisible(!shown);
    ShowOptionsLinkState(ShowOptions, shown);
}

void TKvRotateFrame::RebuildThumbnail(const TKvGraphicsDocument* document)
{
    const int side = std::min(ThumbnailView->width(), ThumbnailView->height()) - 2;
    m_thumbnail = document && !document->Image().IsEmpty() ? document->CreateScaledCopy(side) : nullptr;
    RebuildPreview();
}

void TKvRotateFrame::RebuildPreview()
{
    m_preview = m_thumbnail ? m_thumbnail->Clone() : nullptr;
    if (m_preview)
        m_preview->Turn(PixelTurnOf(CheckedOperation()));
    ThumbnailView->Preview = m_preview.get();
    ThumbnailView->update();
}

void TKvRotateFrame::RotateButtonClick()
{
    if (!Tool)
        return;
    if (Tool->Perform(CheckedOperation()))
        Tool->RecordClick(QStringLiteral("Perform"));
}

void TKvRotateFrame::RotateRadioButtonChange(QRadioButton* option)
{
    RotateButton->setText(option->text());
    if (!Tool)
        return;
    Tool->RefreshPreview();
    Tool->RecordClick(QLatin1String(InfoOf(CheckedOperation()).OptionSuffix));
}

void TKvRotateFrame::ShowOptionsButtonClick()
{
    if (Tool)
        Tool->SetOptionsShown(!Tool->OptionsShown());
}

// ---------------------------------------------------------------------------
// TKvRotateCommandState

TKvRotateCommandState::TKvRotateCommandState(IKvGraphicsTool* tool, TKvGraphicsDocument* document,
                                             TKvRotateOperation operation)
    : TKvCustomGraphicsCommandState(tool, document->Image().GetBounds(), document), m_operation(operation)
{
}

void TKvRotateCommandState::Undo()
{
    if (!ApplyRotateOperation(Document(), InverseRotateOperation(m_operation)))
        AbandonForLackOfMemory();
    TKvCustomGraphicsCommandState::Undo();
}

void TKvRotateCommandState::Redo()
{
    if (!ApplyRotateOperation(Document(), m_operation))
        AbandonForLackOfMemory();
    TKvCustomGraphicsCommandState::Redo();
}

// ---------------------------------------------------------------------------
// TKvRotateTool

TKvRotateTool::TKvRotateTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel)
    : TKvGraphicsTool(editor), m_panel(panel)
{
    m_frame = CreateToolPanelParts(this, m_panel, LocalStr(2024, QStringLiteral("Rotation & Flip")), m_ownFrame);
    ToolButton->setObjectName(QStringLiteral("RotateToolButton"));
    m_frame->Tool = this;
    ScriptName = ScriptNameText;
    SetOptionsShown(false);
}

TKvRotateTool::~TKvRotateTool()
{
    DemoRegistry().UnregisterOwner(this);
    if (m_frame)
        m_frame->Tool = nullptr;
}

void TKvRotateTool::AddEditorButtons(IKvShell* shell, QToolBar* toolbar)
{
    shell->AddSeparator(toolbar);
    RotateRightToolButton = AddEditorButton(shell, toolbar, this, 16, "RotateRightToolButton",
                                            [this] { RotateRightToolButtonClick(); });
    RotateLeftToolButton = AddEditorButton(shell, toolbar, this, 17, "RotateLeftToolButton",
                                           [this] { RotateLeftToolButtonClick(); });
    FlipVerticalToolButton = AddEditorButton(shell, toolbar, this, 18, "FlipVerticalToolButton",
                                             [this] { FlipVertical(); });
    FlipHorizontalToolButton = AddEditorButton(shell, toolbar, this, 19, "FlipHorizontalToolButton",
                                               [this] { FlipHorizontal(); });
    Localize();
}

bool TKvRotateTool::RotateLeft() { return Perform(roRotateLeft); }

bool TKvRotateTool::RotateRight() { return Perform(roRotateRight); }

bool TKvRotateTool::FlipHorizontal() { return Perform(roFlipHorizontal); }

bool TKvRotateTool::FlipVertical() { return Perform(roFlipVertical); }

bool TKvRotateTool::Perform(TKvRotateOperation operation)
{
    TKvGraphicsView* view = DocumentView();
    if (!view || !MayAct())
        return false;
    TKvGraphicsDocument* document = view->Document();
    BeginEdit(view);
    m_operation = operation;
    // Done on every picture of the document or on none: only a complete
    // operation is recorded.
    if (!ApplyRotateOperation(document, operation)) {
        CancelEdit();
        KvApplication->MessageBox(LocalStr(2920, QStringLiteral("Out of memory.")), 16);
        return false;
    }
    EndEdit();
    RefreshPreview();
    return true;
}

void TKvRotateTool::RecordState()
{
    if (TKvGraphicsDocument* document = EditDocument())
        document->RecordState(std::make_unique<TKvRotateCommandState>(this, document, m_operation));
}

void TKvRotateTool::RotateRightToolButtonClick()
{
    // In plug-in mode the host wants a picture the right way up: a half turn.
    const int turns = Editor() && Editor()->PluginMode() ? 2 : 1;
    for (int i = 0; i < turns && RotateRight(); ++i) {
    }
}

void TKvRotateTool::RotateLeftToolButtonClick()
{
    const int turns = Editor() && Editor()->PluginMode() ? 2 : 1;
    for (int i = 0; i < turns && RotateLeft(); ++i) {
    }
}

void TKvRotateTool::SetOptionsShown(bool shown)
{
    m_optionsShown = shown;
    m_frame->ShowOptionsLayout(shown);
    if (shown)
        RefreshPreview();
    if (IKvScriptRecorder* recorder = Recorder()) {
        recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + ScriptNameText + QStringLiteral("Options"));
        recorder->RecordLine(ScriptNameText + (shown ? QStringLiteral("ShowOptions") : QStringLiteral("HideOptions")));
    }
}

void TKvRotateTool::RefreshPreview()
{
    if (Active() && m_optionsShown)
        m_frame->RebuildThumbnail(Document());
}


void TKvRotateTool::StateChanged(TKvGraphicsDocument*, IKvGraphicsTool* tool, const TRect&)
{
    // Undo and redo of an operation turn the picture the preview shows.
    if (tool == this)
        RefreshPreview();
}

void TKvRotateTool::DocumentOpened(TKvGraphicsDocument* document)
{
    TKvGraphicsTool::DocumentOpened(document);
    RefreshPreview();
}

void TKvRotateTool::Activated()
{
    TKvGraphicsTool::Activated();
    if (m_panel)
        m_panel->BringFrameToFront(m_frame);
    RefreshPreview();
}

void TKvRotateTool::AfterCreate() { RegisterDemoNames(); }

void TKvRotateTool::RegisterDemoNames()
{
    TKvDemoRegistry& registry = DemoRegistry();
    const auto name = [](const char* suffix) { return ScriptNameText + QLatin1String(suffix); };
    registry.RegisterDemoControl(this, ScriptNameText, ToolButton);
    registry.RegisterDemoControl(this, name("View"), m_frame->ThumbnailView);
    const std::pair<TKvRotateOperation, QPushButton*> buttons[] = {{roRotateRight, m_frame->RotateRightButton},
                                                                   {roRotateLeft, m_frame->RotateLeftButton},
                                                                   {roFlipHorizontal, m_frame->FlipHorizontalButton},
                                                                   {roFlipVertical, m_frame->FlipVerticalButton}};
    for (const auto& [operation, button] : buttons) {
        const TOperationInfo& info = InfoOf(operation);
        QRadioButton* option = m_frame->OptionOf(operation);
        registry.RegisterDemoControlCommand(this, name(info.OptionSuffix), option,
                                            [option] { option->setChecked(true); });
        const TKvRotateOperation op = operation;
        registry.RegisterDemoControlCommand(this, name(info.ButtonSuffix), button, [this, op] { Perform(op); });
    }
    registry.RegisterDemoControlCommand(this, name("Perform"), m_frame->RotateButton,
                                        [this] { m_frame->RotateButtonClick(); });
    registry.RegisterDemoControl(this, name("Options"), m_frame->ShowOptions);
    registry.RegisterDemoCommand(this, name("ShowOptions"), [this] { SetOptionsShown(true); });
    registry.RegisterDemoCommand(this, name("HideOptions"), [this] { SetOptionsShown(false); });
}

void TKvRotateTool::UpdateControls()
{
    TKvGraphicsTool::UpdateControls();
    const bool enabled = MayAct();
    for (QAction* button : {RotateRightToolButton, RotateLeftToolButton, FlipVerticalToolButton, FlipHorizontalToolButton})
        if (button)
            button->setEnabled(enabled);
}

void TKvRotateTool::Localize()
{
    const QString caption = LocalStr(2024, QStringLiteral("Rotation & Flip"));
    ToolButton->setText(PlainCaption(caption));
    ToolButton->setToolTip(caption);
    const std::pair<TKvRotateOperation, QAction*> buttons[] = {{roRotateRight, RotateRightToolButton},
                                                               {roRotateLeft, RotateLeftToolButton},
                                                               {roFlipVertical, FlipVerticalToolButton},
                                                               {roFlipHorizontal, FlipHorizontalToolButton}};
    for (const auto& [operation, button] : buttons)
        if (button) {
            button->setText(PlainCaption(CaptionOf(operation)));
            button->setToolTip(CaptionOf(operation));
        }
}

void TKvRotateTool::GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint)
{
    if (ToolButtonTarget(params, screenPoint))
        found = true;
    else
        TKvGraphicsTool::GetScriptTarget(params, found, screenPoint);
}
