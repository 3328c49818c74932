#include "KvCropTool.h"

#include "CropRectangle.h"
#include "KvDemoRegistry.h"
#include "KvGraphicsView.h"
#include "KvLocalizer.h"
#include "KvSDF.h"
#include "KvToolPanelParts.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

const QUuid TKvCropTool::SettingsGuid{QStringLiteral("{FA533C1A-B74B-486B-BB5E-7AEA47608D79}")};

namespace {

// The demonstration names: the tool's script name followed by a suffix.
const QString ScriptNameText = QStringLiteral("Crop");
const QString PerformSuffix = QStringLiteral("Perform");
const QString CancelSuffix = QStringLiteral("Cancel");

// Settings elements.
constexpr quint32 seOptionsShown = 1;

// How far the handles reach beyond the rectangle on screen.
constexpr int HandleReach = CropHandleSize / 2 + 1;

TRect FromQ(const QRect& r) { return RectOfSize(r.x(), r.y(), r.width(), r.height()); }

QRect ToQ(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

TRect Enlarged(const TRect& r, int by) { return {r.Left - by, r.Top - by, r.Right + by, r.Bottom + by}; }

} // namespace

// ---------------------------------------------------------------------------
// TKvCropFrame

TKvCropFrame::TKvCropFrame(QWidget* parent) : TKvFrame(parent)
{
    setObjectName(QStringLiteral("CropFrame"));
    TitleLabel = NewTitleLabel(this);
    DescriptionLabel = new QLabel(this);
    DescriptionLabel->setObjectName(QStringLiteral("DescriptionLabel"));
    DescriptionLabel->setWordWrap(true);
    OkPanel = NewOkPanel(this, "CropButton", CropButton, CancelButton);
    ShowOptions = NewOptionsLink(this);
    ShowOptions->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addWidget(DescriptionLabel);
    layout->addWidget(OkPanel);
    layout->addWidget(ShowOptions);
    layout->addStretch(1);

    connect(CropButton, &QPushButton::clicked, this, &TKvCropFrame::CropButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TKvCropFrame::CancelButtonClick);
    connect(ShowOptions, &QToolButton::clicked, this, &TKvCropFrame::ShowOptionsButtonClick);
}

void TKvCropFrame::Localize()
{
    TitleLabel->setText(LocalStr(135, QStringLiteral("Crop")));
    DescriptionLabel->setText(LocalStr(2029));
    CropButton->setText(PlainCaption(LocalStr(1, QStringLiteral("OK"))));
    CancelButton->setText(PlainCaption(LocalStr(2, QStringLiteral("Cancel"))));
    ShowOptionsCaption(Tool && Tool->OptionsShown());
}

void TKvCropFrame::ShowOptionsCaption(bool shown)
{
    ShowOptionsLinkState(ShowOptions, shown);
}

void TKvCropFrame::CropButtonClick()
{
    if (!Tool)
        return;
    Tool->Perform();
    Tool->RecordClick(PerformSuffix);
}

void TKvCropFrame::CancelButtonClick()
{
    if (!Tool)
        return;
    Tool->Cancel();
    Tool->RecordClick(CancelSuffix);
}

void TKvCropFrame::ShowOptionsButtonClick()
{
    if (Tool)
        Tool->SetOptionsShown(!Tool->OptionsShown());
}

// ---------------------------------------------------------------------------
// TKvCropToolControl

TKvCropToolControl::TKvCropToolControl(TKvGraphicsTool* tool, TKvGraphicsView* view)
    : TKvGraphicsToolControl(tool, view)
{
}

TRect TKvCropToolControl::PictureRect() const
{
    const TKvGraphicsDocument* document = View()->Document();
    return document ? document->GetImageRect() : TRect{};
}

TRect TKvCropToolControl::ToView(const TRect& rect) const
{
    return FromQ(View()->MapMode().LogicalToDevice(ToQ(rect)));
}

TPoint TKvCropToolControl::ToPicture(const QPoint& clientPoint) const
{
    const QPoint p = View()->ClientToImage(clientPoint);
    return {p.x(), p.y()};
}

void TKvCropToolControl::SetState(TState state)
{
    m_state = state;
    // While a rectangle exists the editor stays with this tool.
    if (IKvGraphicsEditor* editor = Tool() ? Tool()->Editor() : nullptr) {
        if (state == csIdle)
            editor->EndExclusive();
        else
            editor->BeginExclusive();
    }
}

void TKvCropToolControl::Reset()
{
    if (m_state == csIdle)
        return;
    SetState(csIdle);
    m_rect = {};
    InvalidateSelf();
    // The status bar shows the picture's size again.
    if (const TKvGraphicsDocument* document = View()->Document(); document && document->GraphicsEditor())
        document->GraphicsEditor()->ShowImageSize(document->Image().Width(), document->Image().Height());
}

void TKvCropToolControl::Activated()
{
    SetActive(true);
    TKvGraphicsToolControl::Activated();
}

void TKvCropToolControl::Deactivated()
{
    TKvGraphicsToolControl::Deactivated();
    SetActive(false);
}

bool TKvCropToolControl::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint& point)
{
    if (!ToolActive())
        return false;
    if (m_state == csIdle) {
        if (!ToView(PictureRect()).Contains(TPoint{point.x(), point.y()}))
            return false;
        m_anchor = ToPicture(point);
        m_rect = RectOfSize(m_anchor.X, m_anchor.Y, 1, 1);
        SetState(csCreating);
        InvalidateSelf();
        return true;
    }
    if (m_state == csPlaced) {
        m_hit = HitCropHandle(ToView(m_rect), {point.x(), point.y()});
        if (m_hit < HandleBody)
            return false;
        m_anchor = ToPicture(point);
        m_startRect = m_rect;
        InvalidateSelf();
        SetState(csDragging);
        return true;
    }
    return false;
}

void TKvCropToolControl::MoveTo(const TRect& rect)
{
    const TRect before = ToView(m_rect);
    const TRect after = ToView(rect);
    m_rect = rect;
    if (before != after)
        View()->update(ToQ(Enlarged(UnionRect(before, after), HandleReach + 1)));
}

bool TKvCropToolControl::MouseMove(Qt::KeyboardModifiers, const QPoint& point)
{
    if (!ToolActive())
        return false;
    const TPoint p = ToPicture(point);
    const TRect picture = PictureRect();
    if (m_state == csCreating) {
        MoveTo(SpannedCropRect(m_anchor, p, picture));
    } else if (m_state == csDragging && m_hit >= HandleBody) {
        const int dx = p.X - m_anchor.X;
        const int dy = p.Y - m_anchor.Y;
        MoveTo(m_hit == HandleBody ? MovedCropRect(m_startRect, dx, dy, picture)
                                   : ResizedCropRect(m_startRect, m_rect, m_hit, dx, dy, picture));
    } else {
        return false;
    }
    ShowSize();
    return true;
}

bool TKvCropToolControl::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&)
{
    if (!ToolActive() || (m_state != csCreating && m_state != csDragging))
        return false;
    SetState(csPlaced);
    InvalidateSelf();
    return true;
}

void TKvCropToolControl::ShowSize() const
{
    const TKvGraphicsDocument* document = View()->Document();
    if (!m_rect.IsEmpty() && document && document->GraphicsEditor())
        document->GraphicsEditor()->ShowImageSize(m_rect.Width(), m_rect.Height());
}

bool TKvCropToolControl::GetCursor(Qt::KeyboardModifiers, const QPoint& point, int& cursorId)
{
    if (!ToolActive() || m_state != csPlaced)
        return false;
    const int handle = HitCropHandle(ToView(m_rect), {point.x(), point.y()});
    if (handle == HandleNone)
        return false;
    cursorId = HandleCursor(handle);
    return true;
}

QRect TKvCropToolControl::GetOverlayRect(const TKvMapMode& mapMode) const
{
    const QRect picture = mapMode.LogicalToDevice(ToQ(PictureRect()));
    return m_state == csPlaced ? picture.adjusted(-5, -5, 5, 5) : picture;
}

void TKvCropToolControl::PaintOverlay(TKvViewCanvas& canvas)
{
    if (m_state == csIdle)
        return;
    const TRect crop = ToView(m_rect);
    if (crop.IsEmpty())
        return;
    const TRect picture = ToView(PictureRect());
    TKvCanvasPixels& pixels = canvas.Pixels();
    // The marks go on the screen pixels only where the canvas is still to
    // be painted, each clip rectangle once (inverting twice would undo it).
    for (const QRect& clipPart : canvas.ClipRegion()) {
        TKvPixels part = pixels;
        const TRect clip = IntersectRect(FromQ(clipPart), pixels.GetBounds());
        if (clip.IsEmpty())
            continue;
        part.Init(clip, pixels.PixelAt(clip.Left, clip.Top), pixels.Format, pixels.Stride);
        if (m_state == csPlaced || m_state == csDragging)
            for (const TRect& band : CropShadeBands(picture, crop))
                DarkenPixels(part, band);
        if (m_state == csPlaced)
            for (const int handle : CropHandleHitOrder)
                DrawCropHandle(part, CropHandlePoint(crop, handle));
        DrawFocusFrame(part, crop);
    }
}

// ---------------------------------------------------------------------------
// TKvCropCommandState

TKvCropCommandState::TKvCropCommandState(IKvGraphicsTool* tool, const TRect& rect, TKvGraphicsDocument* document)
    : TKvCustomGraphicsCommandState(tool, rect, document), m_before(document->Geometry())
{
}

std::unique_ptr<TKvCropCommandState> TKvCropCommandState::Take(IKvGraphicsTool* tool, const TRect& rect,
                                                               TKvGraphicsDocument* document)
{
    std::unique_ptr<TKvCropCommandState> state(new TKvCropCommandState(tool, rect, document));
    const bool hasOriginal = !document->Original().IsEmpty();
    if (!state->m_image.Take(document->Image().PixelBuffer(), rect)
        || (hasOriginal && !state->m_original.Take(document->Original().PixelBuffer(), rect)))
        return nullptr;
    return state;
}

void TKvCropCommandState::Compact()
{
    m_image.Compact();
    m_original.Compact();
}

void TKvCropCommandState::Undo()
{
    TKvGraphicsDocument* document = Document();
    TKvPixelBuffer image;
    TKvPixelBuffer original;
    const bool withOriginal = !m_original.IsEmpty();
    if (!m_image.Restore(document->Image().PixelBuffer(), image)
        || (withOriginal && !m_original.Restore(document->Original().PixelBuffer(), original)))
        AbandonForLackOfMemory();
    document->AdoptImage(std::move(image), withOriginal ? &original : nullptr, &m_before);
    TKvCustomGraphicsCommandState::Undo();
}

void TKvCropCommandState::Redo()
{
    Document()->CropTo(Rect());
    TKvCustomGraphicsCommandState::Redo();
}

// ---------------------------------------------------------------------------
// TKvCropTool

TKvCropTool::TKvCropTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel)
    : TKvGraphicsTool(editor), m_panel(panel)
{
    m_frame = CreateToolPanelParts(this, m_panel, LocalStr(135, QStringLiteral("Crop")), m_ownFrame);
    ToolButton->setObjectName(QStringLiteral("CropToolButton"));
    m_frame->Tool = this;
    ScriptName = ScriptNameText;
    ControlClass = ControlClassOf<TKvCropToolControl>();
    SetOptionsShown(false);
}

TKvCropTool::~TKvCropTool()
{
    DemoRegistry().UnregisterOwner(this);
    if (m_frame)
        m_frame->Tool = nullptr;
}

void TKvCropTool::AfterCreate()
{
    TKvDemoRegistry& registry = DemoRegistry();
    registry.RegisterDemoControl(this, ScriptNameText, ToolButton);
    registry.RegisterDemoControlCommand(this, ScriptNameText + PerformSuffix, m_frame->CropButton,
                                        [this] { Perform(); });
    registry.RegisterDemoControlCommand(this, ScriptNameText + CancelSuffix, m_frame->CancelButton,
                                        [this] { Cancel(); });
}

TKvCropToolControl* TKvCropTool::CropControl() const
{
    return static_cast<TKvCropToolControl*>(ControlIn(DocumentView()));
}

bool TKvCropTool::CropToRect(const TRect& rect)
{
    TKvGraphicsView* view = DocumentView();
    TKvGraphicsDocument* document = view ? view->Document() : nullptr;
    if (!document)
        return false;
    // A rectangle that misses the picture changes nothing, so nothing is
    // recorded and the document stays as saved as it was.
    const TRect cut = IntersectRect(rect, document->Image().GetBounds());
    if (cut.IsEmpty())
        return false;
    BeginEdit(view);
    std::unique_ptr<TKvCropCommandState> state = TKvCropCommandState::Take(this, cut, document);
    const bool cropped = state && document->CropTo(cut);
    if (cropped)
        document->RecordState(std::move(state));
    EndEdit();
    if (!cropped)
        KvApplication->MessageBox(LocalStr(2920, QStringLiteral("Out of memory.")), 16);
    return cropped;
}

void TKvCropTool::Perform()
{
    TKvCropToolControl* control = CropControl();
    if (!control || control->State() == TKvCropToolControl::csIdle)
        return;
    const TRect rect = control->CropRect();
    control->Reset();
    CropToRect(rect);
}

void TKvCropTool::Cancel()
{
    if (TKvCropToolControl* control = CropControl())
        control->Reset();
    CancelEdit();
}

void TKvCropTool::CommitOrCancelOpenChange(TKvGraphicsDocument* document)
{
    for (TKvGraphicsToolControl* control : Controls())
        if (control->View() && control->View()->Document() == document)
            static_cast<TKvCropToolControl*>(control)->Reset();
}

void TKvCropTool::SetOptionsShown(bool shown)
{
    m_optionsShown = shown;
    m_frame->ShowOptionsCaption(shown);
}

void TKvCropTool::Activated()
{
    TKvGraphicsTool::Activated();
    if (m_panel)
        m_panel->BringFrameToFront(m_frame);
}

void TKvCropTool::UpdateControls()
{
    TKvGraphicsTool::UpdateControls();
    const TKvCropToolControl* control = CropControl();
    const bool placed = control && control->State() == TKvCropToolControl::csPlaced;
    if (MayAct()) {
        m_frame->CropButton->setEnabled(placed);
        m_frame->CancelButton->setEnabled(placed);
    }
}

void TKvCropTool::Localize()
{
    const QString name = LocalStr(135, QStringLiteral("Crop"));
    ToolButton->setText(PlainCaption(name));
    ToolButton->setToolTip(name);
}

void TKvCropTool::LoadSettings(TKvSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid))
        return;
    qint32 value = 0;
    // Only the two values the flag can have; anything else keeps the default.
    if (reader.ReadInteger(seOptionsShown, value) && (value == 0 || value == 1))
        SetOptionsShown(value == 1);
    reader.LeaveNode();
}

void TKvCropTool::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.WriteInteger(seOptionsShown, m_optionsShown ? 1 : 0);
    writer.EndNode();
}

void TKvCropTool::GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint)
{
    if (ToolButtonTarget(params, screenPoint))
        found = true;
    else
        TKvGraphicsTool::GetScriptTarget(params, found, screenPoint);
}

