#include "KvDrawTools.h"

#include "KvGraphicsView.h"

#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

#include <cmath>

// ---------------------------------------------------------------------------
// Dabs

TRect DabRect(TPoint point, int size)
{
    const int r = size / 2;
    return {point.X - r, point.Y - r, point.X + r + 1, point.Y + r + 1};
}

void BuildPowerDab(TKvPixelMask& mask, int size, int value, int c)
{
    const int r = std::max(size / 2, 0);
    mask.SetBounds(0, 0, 2 * r + 1, 2 * r + 1);
    const auto at = [&mask](int x, int y) -> std::uint8_t& {
        return mask.Data[std::size_t(y) * std::size_t(mask.Width) + std::size_t(x)];
    };
    if (r == 0) {
        at(0, 0) = std::uint8_t(value);
        return;
    }
    const double exponent = c / 16.0;
    // One quarter is computed and mirrored into the other three.
    for (int e = 0; e <= r; ++e) {
        for (int f = 0; f <= r; ++f) {
            const double g = std::sqrt(double(e * e + f * f)) * 2 / size;
            const std::uint8_t byte = g >= 1 ? 0 : std::uint8_t(std::nearbyint((1 - std::pow(g, exponent)) * value));
            at(r + f, r + e) = byte;
            at(r - f, r + e) = byte;
            at(r + f, r - e) = byte;
            at(r - f, r - e) = byte;
        }
    }
}

// ---------------------------------------------------------------------------
// TKvDrawTool

namespace {

// The centre of the slider's thumb on the screen.
QPoint ThumbScreenPoint(const QSlider* bar)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.tickPosition = bar->tickPosition();
    option.tickInterval = bar->tickInterval();
    option.upsideDown = bar->invertedAppearance();
    option.subControls = QStyle::SC_SliderHandle;
    const QRect thumb = bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar);
    return bar->mapToGlobal(thumb.center());
}

} // namespace

TKvDrawTool::TKvDrawTool(IKvGraphicsEditor* editor) : TKvGraphicsTool(editor)
{
    AvailableInPluginMode = true;
}

void TKvDrawTool::SetSize(int size)
{
    if (size == m_size || size < MinSize || size > MaxSize)
        return;
    for (TKvGraphicsToolControl* control : Controls())
        control->InvalidateSelf();
    m_size = size;
    OnSizeChanged();
    ShowAndRecordValue(m_sizeBar, QStringLiteral("Size"), size);
}

void TKvDrawTool::SetOpacity(int opacity)
{
    if (opacity == m_opacity || opacity < 0 || opacity > 255)
        return;
    m_opacity = opacity;
    OnOpacityChanged();
    ShowAndRecordValue(m_opacityBar, QStringLiteral("Opacity"), opacity);
}

void TKvDrawTool::BindBar(QSlider*& field, QSlider* bar, int min, int max, int position, int frequency)
{
    field = bar;
    bar->setRange(min, max);
    bar->setTickInterval(std::max(frequency, 1));
    bar->setValue(position);
}

void TKvDrawTool::ShowAndRecordValue(QSlider* bar, const QString& what, int value)
{
    if (bar)
        bar->setValue(value);
    RecordValue(what, value);
}

void TKvDrawTool::BindSizeBar(QSlider* bar)
{
    BindBar(m_sizeBar, bar, MinSize, MaxSize, m_size, MaxSize / 10);
    connect(bar, &QSlider::valueChanged, this, &TKvDrawTool::SetSize, Qt::UniqueConnection);
}

void TKvDrawTool::BindOpacityBar(QSlider* bar)
{
    BindBar(m_opacityBar, bar, 0, 255, m_opacity, 25);
    connect(bar, &QSlider::valueChanged, this, &TKvDrawTool::SetOpacity, Qt::UniqueConnection);
}

bool TKvDrawTool::BeginStroke(TKvDrawToolControl* control, Qt::MouseButton button, const TKvShiftState& shift)
{
    m_strokeControl = control;
    m_strokeButton = button;
    m_strokeShift = shift;
    BeginEdit(control->View());
    return true;
}

void TKvDrawTool::ApplyAt(const TRect& rect)
{
    if (!Editing())
        return;
    const TRect clipped = IntersectRect(rect, CommittedPixels()->GetBounds());
    if (clipped.IsEmpty())
        return;
    ApplyDab(clipped);
    InvalidateDirty(clipped);
}

void TKvDrawTool::ApplyDab(const TRect&) {}

void TKvDrawTool::EndStroke()
{
    EndEdit();
    m_strokeControl = nullptr;
}

TKvGraphicsTool* TKvDrawTool::DemoEnding()
{
    if (m_strokeControl)
        m_strokeControl->EndStroke();
    return TKvGraphicsTool::DemoEnding();
}

void TKvDrawTool::RecordValue(const QString& what, int value)
{
    if (Recorder())
        Recorder()->RecordLine(ScriptName + what + QLatin1Char(' ') + QString::number(value));
}

QString TKvDrawTool::ScriptWord(const QString& suffix) const
{
    return ScriptName.isEmpty() ? QString() : (ScriptName + suffix).toUpper();
}

QSlider* TKvDrawTool::TargetBar(const QString& word) const
{
    if (word == ScriptWord(QStringLiteral("SIZE")))
        return m_sizeBar;
    if (word == ScriptWord(QStringLiteral("OPACITY")))
        return m_opacityBar;
    return nullptr;
}

void TKvDrawTool::ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& params)
{
    if (!ScriptName.isEmpty()) {
        if (command == ScriptWord(QStringLiteral("SIZE"))) {
            SetSize(ScriptParamInt(params, 0));
            handled = true;
            return;
        }
        if (command == ScriptWord(QStringLiteral("OPACITY"))) {
            SetOpacity(ScriptParamInt(params, 0));
            handled = true;
            return;
        }
    }
    TKvGraphicsTool::ExecuteScriptCommand(command, handled, params);
}

void TKvDrawTool::GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint)
{
    if (!ScriptName.isEmpty()) {
        if (QSlider* bar = TargetBar(ScriptParamText(params, 0).toUpper())) {
            screenPoint = ThumbScreenPoint(bar);
            found = true;
            return;
        }
    }
    TKvGraphicsTool::GetScriptTarget(params, found, screenPoint);
}

// ---------------------------------------------------------------------------
// TKvMaskDrawTool

void TKvMaskDrawTool::ApplyAt(const TRect& rect)
{
    m_dab.Left = rect.Left;
    m_dab.Top = rect.Top;
    TKvDrawTool::ApplyAt(rect);
    m_dab.Left = 0;
    m_dab.Top = 0;
}

void TKvMaskDrawTool::OnSizeChanged()
{
    BuildDab();
    for (TKvGraphicsToolControl* control : Controls())
        if (auto* brushControl = dynamic_cast<TKvMaskDrawToolControl*>(control))
            brushControl->SetPosition(brushControl->BrushPosition());
}

void TKvMaskDrawTool::OnOpacityChanged()
{
    BuildDab();
}

// ---------------------------------------------------------------------------
// TKvBrushTool

TKvBrushTool::TKvBrushTool(IKvGraphicsEditor* editor) : TKvMaskDrawTool(editor)
{
    ControlClass = ControlClassOf<TKvBrushToolControl>();
    BuildDab();
}

void TKvBrushTool::SetHardness(int hardness)
{
    if (hardness == m_hardness || hardness < 0 || hardness > 255)
        return;
    m_hardness = hardness;
    BuildDab();
    ShowAndRecordValue(m_hardnessBar, QStringLiteral("Hardness"), hardness);
}

void TKvBrushTool::BindHardnessBar(QSlider* bar)
{
    BindBar(m_hardnessBar, bar, 0, 255, m_hardness, 25);
    connect(bar, &QSlider::valueChanged, this, &TKvBrushTool::SetHardness, Qt::UniqueConnection);
}

void TKvBrushTool::BuildDab()
{
    // Hardness 0 falls off linearly from the centre; 255 is nearly a disc.
    BuildPowerDab(DabMask(), Size(), Opacity(), 16 + m_hardness);
}

QSlider* TKvBrushTool::TargetBar(const QString& word) const
{
    if (word == ScriptWord(QStringLiteral("HARDNESS")))
        return m_hardnessBar;
    return TKvMaskDrawTool::TargetBar(word);
}

void TKvBrushTool::ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& params)
{
    if (!ScriptName.isEmpty() && command == ScriptWord(QStringLiteral("HARDNESS"))) {
        SetHardness(ScriptParamInt(params, 0));
        handled = true;
        return;
    }
    TKvMaskDrawTool::ExecuteScriptCommand(command, handled, params);
}

// ---------------------------------------------------------------------------
// TKvDrawToolControl

TKvDrawToolControl::TKvDrawToolControl(TKvGraphicsTool* tool, TKvGraphicsView* view)
    : TKvGraphicsToolControl(tool, view)
{
}

bool TKvDrawToolControl::BeginStroke(Qt::MouseButton button, const TKvShiftState& shift)
{
    if (m_stroking || !DrawTool()->BeginStroke(this, button, shift))
        return false;
    m_stroking = true;
    return true;
}

void TKvDrawToolControl::EndStroke()
{
    if (!m_stroking)
        return;
    m_stroking = false;
    DrawTool()->EndStroke();
}

void TKvDrawToolControl::ApplyAtBounds()
{
    const QRect& bounds = Bounds();
    DrawTool()->ApplyAt(RectOfSize(bounds.x(), bounds.y(), bounds.width(), bounds.height()));
}

QRect TKvDrawToolControl::GetOverlayRect(const TKvMapMode& mapMode) const
{
    QRect rect = mapMode.LogicalToDevice(Bounds());
    rect.setWidth(std::max(rect.width(), 1));
    rect.setHeight(std::max(rect.height(), 1));
    return rect.adjusted(-2, -2, 2, 2);
}

// ---------------------------------------------------------------------------
// TKvMaskDrawToolControl

QPoint TKvMaskDrawToolControl::ToPicture(const QPoint& clientPoint) const
{
    return View()->ClientToImage(clientPoint);
}

void TKvMaskDrawToolControl::SetPosition(const QPoint& point)
{
    m_brushPosition = point;
    InvalidateSelf();
    const TRect dab = DabRect({point.x(), point.y()}, DrawTool()->Size());
    SetBounds(QRect(dab.Left, dab.Top, dab.Width(), dab.Height()));
    InvalidateSelf();
}

void TKvMaskDrawToolControl::TakeShiftState(Qt::KeyboardModifiers modifiers)
{
    MaskDrawTool()->ShiftState = {modifiers, m_heldButtons};
}

void TKvMaskDrawToolControl::Activated()
{
    SetPosition(ToPicture(CursorClientPos()));
    SetActive(true);
    TKvDrawToolControl::Activated();
}

void TKvMaskDrawToolControl::Deactivated()
{
    SetActive(false);
    TKvDrawToolControl::Deactivated();
}

void TKvMaskDrawToolControl::MouseEnter()
{
    if (ToolActive())
        SetActive(true);
}

void TKvMaskDrawToolControl::MouseLeave()
{
    if (ToolActive())
        SetActive(false);
}

bool TKvMaskDrawToolControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point)
{
    if (!ToolActive())
        return false;
    m_heldButtons |= button;
    TakeShiftState(modifiers);
    // A press without a move before it still paints where the mouse is.
    SetPosition(ToPicture(point));
    switch (DrawTool()->StrokeMode) {
    case TKvDrawTool::smDrag:
        if (BeginStroke(button, MaskDrawTool()->ShiftState))
            ApplyAtBounds();
        break;
    case TKvDrawTool::smClick:
        StrokeOneDab(button);
        break;
    default:
        break;
    }
    return true;
}

bool TKvMaskDrawToolControl::MouseMove(Qt::KeyboardModifiers modifiers, const QPoint& point)
{
    if (!ToolActive())
        return false;
    TakeShiftState(modifiers);
    SetPosition(ToPicture(point));
    if (Stroking())
        ApplyAtBounds();
    return true;
}

bool TKvMaskDrawToolControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point)
{
    m_heldButtons &= ~Qt::MouseButtons(button);
    if (!ToolActive())
        return false;
    switch (DrawTool()->StrokeMode) {
    case TKvDrawTool::smDrag:
        EndStroke();
        break;
    case TKvDrawTool::smRelease:
        TakeShiftState(modifiers);
        SetPosition(ToPicture(point));
        StrokeOneDab(button);
        break;
    default:
        break;
    }
    return true;
}

void TKvMaskDrawToolControl::StrokeOneDab(Qt::MouseButton button)
{
    if (!BeginStroke(button, MaskDrawTool()->ShiftState))
        return;
    ApplyAtBounds();
    EndStroke();
}

bool TKvMaskDrawToolControl::MouseWheel(Qt::KeyboardModifiers, int direction, const QPoint&)
{
    if (!ToolActive())
        return false;
    if (!Stroking())
        DrawTool()->SetSize(DrawTool()->Size() + direction);
    return true;
}

bool TKvMaskDrawToolControl::KeyDown(int key, Qt::KeyboardModifiers)
{
    if (!ToolActive())
        return false;
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_Up:
    case Qt::Key_Right:
        DrawTool()->SetSize(DrawTool()->Size() + 1);
        return true;
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Down:
        DrawTool()->SetSize(DrawTool()->Size() - 1);
        return true;
    default:
        return false;
    }
}

bool TKvMaskDrawToolControl::GetCursor(Qt::KeyboardModifiers, const QPoint&, int& cursorId)
{
    if (!ToolActive())
        return false;
    cursorId = crNone;
    return true;
}

// ---------------------------------------------------------------------------
// TKvBrushToolControl

QRect TKvBrushToolControl::OutlineRect(const TKvMapMode& mapMode) const
{
    const QPoint position = BrushPosition();
    const QRect pixel = mapMode.LogicalToDevice(QRect(position, QSize(1, 1)));
    const QPoint centre(pixel.left() + pixel.width() / 2, pixel.top() + pixel.height() / 2);
    const int size = DrawTool()->Size();
    const QSize extent = mapMode.LogicalToDevice(QRect(position, QSize(size, size))).size();
    QRect rect(centre.x() - extent.width() / 2, centre.y() - extent.height() / 2, extent.width(), extent.height());
    if (rect.isEmpty())
        rect = QRect(centre, QSize(1, 1));
    return rect.adjusted(-1, -1, 1, 1);
}

void TKvBrushToolControl::PaintOverlay(TKvViewCanvas& canvas)
{
    PaintBrushOutline(canvas);
}

void TKvBrushToolControl::PaintBrushOutline(TKvViewCanvas& canvas)
{
    QPainter* painter = canvas.Canvas();
    if (!painter || !ToolActive())
        return;
    const QRect rect = OutlineRect(canvas.MapMode());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    // Inverting what lies under the circle keeps it visible on any picture;
    // drawn twice it is gone.
    painter->setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    painter->setPen(QPen(Qt::black, 0));
    painter->setBrush(Qt::NoBrush);
    // A QRect outline covers one pixel more than the rectangle's size.
    painter->drawEllipse(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}
