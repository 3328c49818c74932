#include "KvPasteTool.h"

#include "Files.h"
#include "KvDemoRegistry.h"
#include "KvDrawGrid.h"
#include "KvGraphicsView.h"
#include "KvLocalizer.h"
#include "KvObjectLibrary.h"
#include "KvSDF.h"
#include "KvToolPanel.h"
#include "KvToolPanelParts.h"
#include "RectToRect.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

const QUuid TKvPasteTool::SettingsGuid{QStringLiteral("{E53A5D7B-88AA-4C3E-82A3-05EB5EBF8025}")};

namespace {

const QString ScriptNameText = QStringLiteral("Paste");

enum TSettingsElement : quint32 { seRotation = 1 };

// The Yes/No question with its icon (MessageBox flags).
constexpr unsigned YesNoQuestion = 4 + 32;

QColor CheckerQColor(int x, int y)
{
    const TColor color = CheckerColor(x, y, 4);
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

} // namespace

// ---------------------------------------------------------------------------
// TKvPasteToolControl

TKvPasteTool* TKvPasteToolControl::PasteTool() const
{
    return static_cast<TKvPasteTool*>(Tool());
}

bool TKvPasteToolControl::MayCreate() const
{
    const TKvPasteTool* tool = PasteTool();
    return tool && tool->List().Count() > 0 && !tool->Object().IsEmpty();
}

void TKvPasteToolControl::PaintPreview(TKvPixels& canvas, const TViewPixels& view)
{
    if (const TKvPasteTool* tool = PasteTool())
        RenderPastePreview(canvas, view, PictureBounds(), tool->Object(), tool->PlacementOf(*this));
}

void TKvPasteToolControl::Commit()
{
    if (TKvPasteTool* tool = PasteTool())
        tool->CommitPaste(this);
}

void TKvPasteToolControl::Cancel()
{
    if (TKvPasteTool* tool = PasteTool())
        tool->CancelPaste(this);
}

// ---------------------------------------------------------------------------
// TKvPasteTool: construction and settings

TKvPasteTool::TKvPasteTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel, std::filesystem::path folder)
    : TKvGraphicsTool(editor), m_panel(panel), m_list(std::move(folder))
{
    m_frame = CreateToolPanelParts(this, m_panel, LocalStr(2863, QStringLiteral("Paste Object")), m_ownFrame);
    ToolButton->setObjectName(QStringLiteral("Button"));
    ScriptName = ScriptNameText;
    m_frame->Tool = this;
    ControlClass = ControlClassOf<TKvPasteToolControl>();
    if (m_panel)
        m_panel->SetPanelWidth(PanelWidth);
    TKvDrawGrid* grid = m_frame->DrawGrid;
    grid->SetCellSize(CellSize);
    grid->SetColumnCount(GridColumns);
    grid->OnDrawCell = [this](QPainter& painter, const QRect& rect, int column, int row) {
        DrawCell(painter, rect, column, row);
    };
    grid->setFixedWidth(GridColumns * (CellSize + 1) + 2 * grid->frameWidth() + 1
                        + grid->verticalScrollBar()->sizeHint().width());
    ReadLibrary();
}

TKvPasteTool::~TKvPasteTool()
{
    DemoRegistry().UnregisterOwner(this);
    if (m_frame)
        m_frame->Tool = nullptr;
}

void TKvPasteTool::AfterCreate()
{
    RegisterDemoNames();
}

void TKvPasteTool::RegisterDemoNames()
{
    TKvDemoRegistry& registry = DemoRegistry();
    const auto name = [](const char* suffix) { return ScriptNameText + QLatin1String(suffix); };
    registry.RegisterDemoControl(this, ScriptNameText, ToolButton);
    registry.RegisterDemoControlCommand(this, name("Delete"), m_frame->DeleteButton, [this] { DeleteSelected(); });
    registry.RegisterDemoControl(this, name("Rotation"), m_frame->RotationTrackBar);
    registry.RegisterDemoIntCommand(this, name("Rotation"), 0, [this](int angle) { SetRotation(angle); });
    registry.RegisterDemoControl(this, name("Grid"), m_frame->DrawGrid);
    registry.RegisterDemoControl(this, name("Image"), m_frame->PasteTntImage);
    registry.RegisterDemoCommand(this, name("GridPrev"), [this] { SelectPreviousCell(); });
}

void TKvPasteTool::LoadSettings(TKvSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid))
        return;
    qint32 value = 0;
    if (reader.ReadInteger(seRotation, value))
        SetRotation(std::clamp(value, 0, 359));
    reader.LeaveNode();
}

void TKvPasteTool::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.WriteInteger(seRotation, m_rotation);
    writer.EndNode();
}

void TKvPasteTool::Localize()
{
    const QString name = LocalStr(2863, QStringLiteral("Paste Object"));
    ToolButton->setText(PlainCaption(name));
    ToolButton->setToolTip(name);
}

// ---------------------------------------------------------------------------
// The library

void TKvPasteTool::ReadLibrary()
{
    LoadLibraryList(m_list);
    LoadSelected();
    RefreshGrid();
}

void TKvPasteTool::AddNewestEntry(const QString& saved)
{
    const std::string name = saved.isEmpty() ? LastObjectName(m_list.Folder()) : saved.toStdString();
    if (!IsObjectName(name))
        return;
    int index = -1;
    for (int i = 0; i < m_list.Count(); ++i)
        if (m_list.NameOf(i) == name)
            index = i;
    if (index >= 0) {
        m_list.SetSelected(index);
    } else {
        if (!std::filesystem::is_regular_file(EntryFile(m_list.Folder(), name, ".tmb")))
            return; // no entry was saved
        m_list.Add(name);
    }
    LoadSelected();
    RefreshGrid();
}

void TKvPasteTool::LoadSelected()
{
    m_object.LoadObject(m_list.Folder(), m_list.NameOf(m_list.Selected()));
    m_object.SetChanged(true);
}

void TKvPasteTool::RefreshGrid()
{
    TKvDrawGrid* grid = m_frame->DrawGrid;
    if (m_list.Count() > 0)
        grid->SetRowCount((m_list.Count() + GridColumns - 1) / GridColumns);
    SelectGridCell(m_list.Selected());
    grid->Repaint();
}

void TKvPasteTool::SelectGridCell(int index)
{
    const int row = std::max(0, index / GridColumns);
    const int column = std::max(0, index - GridColumns * row);
    m_frame->DrawGrid->SelectCellQuietly(column, row);
}

void TKvPasteTool::SelectCell(int column, int row)
{
    const int index = column + GridColumns * row;
    m_list.SetSelected(index);
    LoadSelected();
    SelectGridCell(index);
}

void TKvPasteTool::SelectPreviousCell()
{
    const int index = m_list.Selected();
    if (index <= 0)
        return;
    SelectCell((index - 1) % GridColumns, (index - 1) / GridColumns);
}

void TKvPasteTool::DeleteSelected()
{
    QString message;
    if (!DeleteLibraryEntry(m_list, m_list.Selected(), message)) {
        // An entry whose files could not all be removed stays listed.
        if (!message.isEmpty() && KvApplication)
            KvApplication->MessageBox(message, LocalStr(2835, QStringLiteral("Attention")), 16);
        return;
    }
    RefreshGrid();
    LoadSelected();
    RedrawPreviewImage();
}

void TKvPasteTool::DeleteButtonClick()
{
    if (m_list.NameOf(m_list.Selected()).empty())
        return;
    if (KvApplication->MessageBox(LocalStr(2848, QStringLiteral("Delete the selected object from the object library?")),
                                  LocalStr(2835, QStringLiteral("Attention")), YesNoQuestion)
        != idYes)
        return;
    DeleteSelected();
    RecordLines(QStringLiteral("Delete"));
}

void TKvPasteTool::SetRotation(int angle)
{
    const int rotation = NormalizedRotation(angle);
    m_rotation = rotation;
    m_frame->RotationTrackBar->setValue(rotation); // its change does the rest
}

void TKvPasteTool::RotationTrackBarChange()
{
    m_rotation = m_frame->RotationTrackBar->value();
    m_object.SetChanged(true);
    RecordLines(QStringLiteral("Rotation"), QString::number(m_rotation));
}

void TKvPasteTool::RecordLines(const QString& suffix, const QString& value)
{
    IKvScriptRecorder* recorder = Recorder();
    if (!recorder)
        return;
    const QString name = ScriptName + suffix;
    recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + name);
    recorder->RecordLine(value.isEmpty() ? name : name + QLatin1Char(' ') + value);
}

// ---------------------------------------------------------------------------
// Drawing the panel

void TKvPasteTool::DrawCell(QPainter& painter, const QRect& rect, int column, int row) const
{
    const int index = column + GridColumns * row;
    if (index >= m_list.Count())
        return;
    const TThumbnail& thumbnail = m_list.At(index);
    QImage image(thumbnail.Width(), thumbnail.Height(), QImage::Format_RGB888);
    for (int y = 0; y < thumbnail.Height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < thumbnail.Width(); ++x) {
            const TColorTriple c = thumbnail.GetPixel(x, y);
            line[3 * x] = c.Red;
            line[3 * x + 1] = c.Green;
            line[3 * x + 2] = c.Blue;
        }
    }
    painter.drawImage(rect.topLeft(), image, QRect(0, 0, rect.width(), rect.height()));
}

// The object turned by the rotation and fitted into the preview, opaque
// where its matte is at least half, on the checkerboard.
void TKvPasteTool::RedrawPreviewImage()
{
    constexpr int Size = TKvPasteFrame::PreviewSize;
    QImage image(Size, Size, QImage::Format_RGB888);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            image.setPixelColor(x, y, CheckerQColor(x, y));
    if (m_object.Width() > 0 && m_object.Height() > 0) {
        const TRectToRotatedRect fit(m_object.Bounds(), m_rotation, true, {0, 0, Size, Size});
        const TRect placed = fit.Placed();
        for (int y = std::max(placed.Top, 0); y < std::min(placed.Bottom, Size); ++y) {
            uchar* line = image.scanLine(y);
            for (int x = std::max(placed.Left, 0); x < std::min(placed.Right, Size); ++x) {
                const TPoint p = fit.MapPointRounded(x, y);
                if (p.X < 0 || p.Y < 0 || p.X >= m_object.Width() || p.Y >= m_object.Height()
                    || m_object.GetAlpha(p.X, p.Y) < 128)
                    continue;
                const TColorTriple c = m_object.GetColor(p.X, p.Y);
                line[3 * x] = c.Red;
                line[3 * x + 1] = c.Green;
                line[3 * x + 2] = c.Blue;
            }
        }
    }
    m_frame->PasteTntImage->setPixmap(QPixmap::fromImage(image));
}

// ---------------------------------------------------------------------------
// The rectangle

TPastePlacement TKvPasteTool::PlacementOf(const TKvPasteToolControl& control) const
{
    const TPlacedRect& placement = control.Placement();
    return {placement.Rect(), m_rotation, placement.FlipX(), placement.FlipY()};
}

TKvPasteToolControl* TKvPasteTool::ControlWithRectangle(const TKvGraphicsDocument* document) const
{
    return static_cast<TKvPasteToolControl*>(ControlWithPlacement(Controls(), document));
}

void TKvPasteTool::CommitPaste(TKvPasteToolControl* control)
{
    TKvGraphicsView* view = control->View();
    const TPastePlacement placement = PlacementOf(*control);
    if (view->Document() && !m_object.IsEmpty()
        && !IntersectRect(placement.Rect, control->PictureBounds()).IsEmpty()) {
        BeginEdit(view);
        const TRect changed = RenderPaste(*ImagePixels(), m_object, placement, pfHermite);
        if (!changed.IsEmpty())
            InvalidateDirty(changed);
        EndEdit();
    }
    control->Reset();
}

void TKvPasteTool::CancelPaste(TKvPasteToolControl* control)
{
    control->Reset();
}

void TKvPasteTool::CancelRectangles(const TKvGraphicsDocument* document)
{
    while (TKvPasteToolControl* control = ControlWithRectangle(document))
        CancelPaste(control);
}

// ---------------------------------------------------------------------------
// Tool framework

void TKvPasteTool::Activated()
{
    TKvGraphicsTool::Activated();
    if (m_panel)
        m_panel->BringFrameToFront(m_frame);
    m_object.SetChanged(true);
}

void TKvPasteTool::Deactivated()
{
    CancelRectangles();
    TKvGraphicsTool::Deactivated();
}

void TKvPasteTool::SetAvailable(bool available)
{
    if (!available)
        CancelRectangles();
    m_frame->setVisible(available);
    ToolButton->setVisible(available);
    TKvGraphicsTool::SetAvailable(available);
}

void TKvPasteTool::DocumentClosing(TKvGraphicsDocument* document)
{
    TKvGraphicsTool::DocumentClosing(document);
    CancelRectangles(document);
}

void TKvPasteTool::CommitOrCancelOpenChange(TKvGraphicsDocument* document)
{
    while (TKvPasteToolControl* control = ControlWithRectangle(document)) {
        if (control->State() == TPlaceState::Placed)
            CommitPaste(control);
        else
            CancelPaste(control);
    }
}

bool TKvPasteTool::HasOpenChange(const TKvGraphicsDocument* document) const
{
    return ControlWithRectangle(document) != nullptr;
}

void TKvPasteTool::UpdateControls()
{
    TKvGraphicsTool::UpdateControls();
    if (!ToolButton->isChecked())
        return;
    const bool placed = ControlWithRectangle() != nullptr;
    const bool selected = !m_list.NameOf(m_list.Selected()).empty();
    m_frame->DrawGrid->setEnabled(m_frame->ControlsEnabled() && !placed);
    m_frame->DeleteButton->setEnabled(m_frame->ControlsEnabled() && !placed && selected);
    m_frame->RotationLabel->setEnabled(m_frame->ControlsEnabled() && selected);
    m_frame->RotationTrackBar->setEnabled(m_frame->ControlsEnabled() && selected);
    m_frame->RotationLabel->setText(LocalStr(2822, QStringLiteral("Rotation")) + QStringLiteral(": ")
                                    + QString::number(m_frame->RotationTrackBar->value()));
    if (Active() && m_object.Changed()) {
        RedrawPreviewImage();
        for (TKvGraphicsToolControl* control : Controls())
            static_cast<TKvPasteToolControl*>(control)->InvalidatePlacement();
        m_object.SetChanged(false);
    }
}
