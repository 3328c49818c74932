#include "KvClippingTool.h"

#include "KvClippingCommandState.h"
#include "KvColorBox.h"
#include "KvDemoRegistry.h"
#include "KvGraphicsView.h"
#include "KvImageList.h"
#include "KvLiveRepaint.h"
#include "KvLocalizer.h"
#include "KvObjectLibrary.h"
#include "KvSDF.h"
#include "KvStepThread.h"
#include "KvToolPanel.h"
#include "KvToolPanelParts.h"
#include "KvWaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>
#include <optional>

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
    seMonochromeColor = 6,
    seThreads = 7 // the threads of the long steps, 0 (or missing) for all
};

QCursor ResourceCursor(const char* resource)
{
    // The cross's centre is the point that paints.
    return QCursor(QIcon(QString::fromLatin1(resource)).pixmap(32, 32), 15, 15);
}

} // namespace

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

TKvClippingTool::TKvClippingTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel)
    : TKvBrushTool(editor), m_panel(panel)
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
    if (m_panel)
        m_panel->SetPanelWidth(PanelWidth);
    SetSize(25);
    BuildDab();
}

TKvClippingTool::~TKvClippingTool()
{
    // The tool controls paint from the marked region.
    Withdraw();
    DemoRegistry().UnregisterOwner(this);
    if (m_frame)
        m_frame->Tool = nullptr;
}

void TKvClippingTool::CreateUI()
{
    m_frame = CreateToolPanelParts(this, m_panel, LocalStr(2858, QStringLiteral("Cut Out")), m_ownFrame);
    ToolButton->setObjectName(QStringLiteral("Button"));
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
    registry.RegisterDemoControlCommand(this, name("Store"), m_frame->StoreTBXButton, [this] { SaveObject(); });
    registry.RegisterDemoControl(this, name("BackgroundEffect"), m_frame->BackgroundEffectTntRadioGroup);
    registry.RegisterDemoIntCommand(this, name("BackgroundEffect"), m_session.BackgroundEffect(),
                                    [this](int value) { SetBackgroundEffect(value); });
    registry.RegisterDemoControl(this, name("BackgroundColor"), m_frame->ColorBox);
    registry.RegisterDemoIntCommand(this, name("BackgroundColor"), int(m_session.BackgroundColor()),
                                    [this](int value) { SetBackgroundColor(TColor(value)); });
    registry.RegisterDemoControl(this, name("BlurRadius"), m_frame->BlurRadiusTntTrackBar);
    registry.RegisterDemoIntCommand(this, name("BlurRadius"), m_session.BlurLevel(), [this](int value) { SetBlurLevel(value); });
    registry.RegisterDemoControl(this, name("Shadow"), m_frame->ShadowTntTrackBar);
    registry.RegisterDemoIntCommand(this, name("Shadow"), m_session.ShadowLevel(), [this](int value) { SetShadowLevel(value); });
    registry.RegisterDemoControl(this, name("MonochromeColor"), m_frame->MonochromeColorBox);
    registry.RegisterDemoIntCommand(this, name("MonochromeColor"), int(m_session.MonochromeColor()),
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
    if (reader.ReadInteger(seThreads, value))
        SetThreads(value);
    reader.LeaveNode();
}

void TKvClippingTool::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.WriteInteger(seBrushSize, Size());
    writer.WriteInteger(seBackgroundEffect, m_session.BackgroundEffect());
    writer.WriteInteger(seBackgroundColor, qint32(m_session.BackgroundColor()));
    writer.WriteInteger(seBlurLevel, m_session.BlurLevel());
    writer.WriteInteger(seShadowLevel, m_session.ShadowLevel());
    writer.WriteInteger(seMonochromeColor, qint32(m_session.MonochromeColor()));
    if (m_threadsSetting != 0)
        writer.WriteInteger(seThreads, m_threadsSetting);
    writer.EndNode();
}

void TKvClippingTool::SetThreads(int threads)
{
    if (Busy())
        return; // the workers are in use; the setting counts from the next start
    m_threadsSetting = std::max(threads, 0);
    m_session.SetThreads(m_threadsSetting);
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
    m_frame->SeparateTBXButton->setEnabled(usable && m_session.MaySeparate());
    m_frame->ClearTBXButton->setEnabled(usable && m_session.HasMarks());
    m_frame->EffectTBXButton->setEnabled(usable && m_session.MayShowEffect());
    m_frame->SwapTBXButton->setEnabled(usable && m_session.MaySwap());
    m_frame->DoneTBXButton->setEnabled(usable && m_session.MayFinish());
    m_frame->StoreTBXButton->setEnabled(usable && m_session.ShowsObject());
    // While a step runs, its marks are its thread's; the tool stays
    // exclusive as it was when the step began.
    if (active && editor && !Busy()) {
        if (Region().IsEmpty())
            editor->EndExclusive();
        else
            editor->BeginExclusive();
    }
    if (m_syncColorBoxes) {
        m_frame->ColorBox->SetSelected(m_session.BackgroundColor());
        m_frame->MonochromeColorBox->SetSelected(m_session.MonochromeColor());
        m_syncColorBoxes = false;
    }
}

// ---------------------------------------------------------------------------
// Documents and activation

void TKvClippingTool::Reset()
{
    // The blur's averaging reports on the status bar's progress bar.
    TMarkedRegion& region = Region();
    region.SetProgressMeter(Editor() ? Editor()->ProgressMeter() : nullptr);
    if (TKvGraphicsDocument* document = Document())
        region.AttachImage(&document->Image().Pixels());
    region.ResetAll();
    m_outline.Clear();
}

void TKvClippingTool::Activated()
{
    TKvBrushTool::Activated();
    if (m_panel)
        m_panel->BringFrameToFront(m_frame);
    if (TKvGraphicsDocument* document = Document(); document && !Busy())
        Region().AttachImage(&document->Image().Pixels());
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
    // A stroke refused while a step runs leaves that step's records alone.
    const TKvGraphicsDocument* document = control->View()->Document();
    if (!document || document->Locked() || !m_session.MayPaint())
        return false;
    BeginCommand(TKvClippingRecord::ckNone);
    return TKvBrushTool::BeginStroke(control, button, shift);
}

void TKvClippingTool::ApplyDab(const TRect& rect)
{
    SetPaintLabel(ShiftState.Buttons & Qt::RightButton ? LabelUnmarked : LabelBand);
    if (!PaintBand(Region(), rect, Dab(), std::uint8_t(m_paintLabel), [this](int x, int y) { m_outline.Add(x, y); }))
        return;
    BeginCommand(TKvClippingRecord::ckMarks);
    // Erasing makes the band pixels around the dab outline, one pixel beyond
    // its rectangle: the command's snapshots must hold them too.
    if (m_paintLabel == LabelUnmarked)
        InvalidateDirty(IntersectRect({rect.Left - 1, rect.Top - 1, rect.Right + 1, rect.Bottom + 1},
                                      {0, 0, Region().Width(), Region().Height()}));
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
        if (Busy())
            return crDefault; // the marks are the running step's
        return m_session.MayPaint() ? crNone : crDefault;
    }
}

// ---------------------------------------------------------------------------
// Command records and states

void TKvClippingTool::MakeRecord(TKvClippingRecord& record, quint8 kind) const
{
    record = {};
    record.Kind = kind;
    record.Object = m_session.ObjectLabel();
    if (kind != TKvClippingRecord::ckEffect && kind != TKvClippingRecord::ckSwap
        && kind != TKvClippingRecord::ckParameters)
        return;
    const TClippingEffect chosen = m_session.Chosen();
    record.Effect = chosen.Effect;
    record.Color = chosen.Color;
    record.Level = chosen.Level;
}

void TKvClippingTool::BeginCommand(quint8 kind)
{
    MakeRecord(m_beforeRecord, TKvClippingRecord::ckMarks);
    MakeRecord(m_afterRecord, kind);
}

void TKvClippingTool::RecordState()
{
    TKvGraphicsDocument* document = EditDocument();
    if (!document || document->DirtyRect().IsEmpty() || m_afterRecord.Kind == TKvClippingRecord::ckNone)
        return;
    if (m_snapshots)
        document->RecordState(std::make_unique<TKvClippingCommandState>(this, document, std::move(*m_snapshots)));
    else
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
    InvalidateDirty({0, 0, Region().Width(), Region().Height()});
}

void TKvClippingTool::RunOperation(TOperation operation)
{
    m_operation = std::move(operation);
    m_phase = phSteps;
    m_stepFrames = 0;
    m_stepParts = 0;
    TKvLiveRepaint repaint(Region().Width(), Region().Height(), [this](const TRect& rect) { InvalidateDirty(rect); });
    m_repaint = &repaint;
    // What the view paints from is the parts' while they run.
    m_heldView = EditView();
    if (m_heldView)
        m_heldView->HoldPaint(true);
    const std::function<bool(TDirtyTiles&)> step = m_operation.Step;
    if (RunOnStepThread([step, &repaint] { return step(repaint.Pending()); }, true))
        FinishOperation(false);
    m_repaint = nullptr;
}

bool TKvClippingTool::RunOnStepThread(std::function<bool()> part, bool frames)
{
    QObject* application = QCoreApplication::instance();
    // Started held: the main thread handles its events at least once while
    // the operation runs, however soon its parts are done.
    TKvStepThread thread(
        std::move(part), [application] { QMetaObject::invokeMethod(application, [] {}, Qt::QueuedConnection); },
        true);
    m_thread = &thread;
    QTimer frameTimer;
    frameTimer.setInterval(int(TKvLiveRepaint::PaintIntervalNs / 1'000'000));
    QObject::connect(&frameTimer, &QTimer::timeout, [&thread] { thread.RequestHold(); });
    if (frames)
        frameTimer.start();
    while (m_thread == &thread && !thread.Done()) {
        if (thread.Held()) {
            if (frames)
                PaintFrame();
            thread.Resume();
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    m_stepParts += thread.PartsRun();
    if (m_thread != &thread)
        return false; // completed from inside an event
    m_thread = nullptr;
    thread.RethrowFailure();
    return true;
}

void TKvClippingTool::PaintFrame()
{
    ++m_stepFrames;
    m_repaint->Flush();
    if (m_heldView)
        m_heldView->PaintGathered(FramePaintNs);
}

void TKvClippingTool::FinishOperation(bool completing)
{
    // The parts are over: the main thread has the picture and the marks.
    // As before the operation, no step runs while its Finish does (which
    // may ask the user).
    const TOperation operation = std::exchange(m_operation, {});
    m_phase = phFinish;
    if (m_repaint)
        m_repaint->Flush();
    if (m_heldView)
        m_heldView->HoldPaint(false);
    m_heldView = nullptr;
    if (operation.Finish)
        operation.Finish();
    // The snapshots only read the picture and the current marks, which the
    // view may paint from meanwhile.
    TKvGraphicsDocument* document = EditDocument();
    if (!completing && document && m_afterRecord.Kind != TKvClippingRecord::ckNone
        && !document->DirtyRect().IsEmpty()) {
        const TRect rect = document->DirtyRect();
        m_snapshots = std::make_unique<TKvClippingSnapshots>();
        TKvClippingSnapshots* into = m_snapshots.get();
        m_phase = phSnapshots;
        if (!RunOnStepThread(
                [this, rect, document, into] {
                    *into = TKvClippingCommandState::TakeSnapshots(this, rect, document);
                    return false;
                },
                false))
            return; // the edit was ended meanwhile, with these snapshots
    }
    EndOperation();
}

void TKvClippingTool::EndOperation()
{
    m_phase = phNone;
    EndEdit();
    m_snapshots.reset();
}

void TKvClippingTool::CompleteOperation()
{
    if (TKvStepThread* thread = std::exchange(m_thread, nullptr))
        thread->Hold(); // waits for the part running; no other follows
    if (m_phase == phSnapshots) {
        EndOperation();
        return;
    }
    TKvLiveRepaint* repaint = m_repaint;
    std::optional<TKvLiveRepaint> own;
    if (!repaint)
        repaint = &own.emplace(Region().Width(), Region().Height(), [this](const TRect& rect) { InvalidateDirty(rect); });
    m_repaint = repaint;
    while (m_operation.Step(repaint->Pending())) {
    }
    FinishOperation(true);
    m_repaint = nullptr;
}

void TKvClippingTool::ColumnPass(TColumnPass pass, std::function<void()> finish)
{
    auto shared = std::make_shared<TColumnPass>(pass);
    const int columns = ColumnsPerStep * Threads();
    RunOperation({[shared, columns](TDirtyTiles& changed) {
                      TRect column;
                      const bool more = shared->Next(column, columns);
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
    // The earlier cut line becomes band again and the unmarked areas are
    // numbered: every pixel's segment changes, so the command keeps the
    // whole picture, but only the earlier cut line looks different.
    EditDocument()->ExtendDirtyRect({0, 0, Region().Width(), Region().Height()});
    struct TWork {
        std::optional<TSeparation> Separation;
        bool Growing = false;
        bool Open = false; // the band enclosed nothing
    };
    auto work = std::make_shared<TWork>();
    RunOperation({[this, work](TDirtyTiles& changed) {
                      if (work->Growing) {
                          // Generations in parts, so that the cut is painted
                          // as it grows on a large picture.
                          if (work->Separation->StepPart(changed, SeparatePartCells) > 0)
                              return true;
                          work->Growing = false;
                          work->Separation->Finish();
                          return false;
                      }
                      if (work->Separation)
                          return false;
                      work->Separation.emplace(Region(), &changed, m_session.GrowCutMemory());
                      if (!work->Separation->Encloses()) {
                          work->Open = true;
                          return false;
                      }
                      work->Separation->StartGrowCut();
                      work->Growing = true;
                      return true;
                  },
                  [this, work] {
                      if (!work->Separation)
                          return;
                      if (work->Open)
                          ShowOpenBand(*work->Separation);
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
    if (!MayStartCommand() || !m_session.MayShowEffect())
        return;
    BeginCommand(TKvClippingRecord::ckEffect);
    BeginCommandEdit();
    // The background takes the effect and parameter the panel shows, as a
    // redo of this command does.
    ColumnPass(m_session.StartEffect(m_afterRecord.Parameters()));
}

void TKvClippingTool::Swap()
{
    if (!MayStartCommand() || !m_session.MaySwap())
        return;
    FollowObject();
    MakeRecord(m_beforeRecord, TKvClippingRecord::ckSwap);
    // The background keeps the effect it shows.
    m_beforeRecord.Effect = m_session.Shown().Effect;
    m_afterRecord = m_beforeRecord;
    BeginCommandEdit();
    TColumnPass pass = m_session.StartSwap();
    m_afterRecord.Object = m_session.ObjectLabel();
    ColumnPass(pass);
}

void TKvClippingTool::Done()
{
    if (!MayStartCommand() || !m_session.MayFinish())
        return;
    BeginCommand(TKvClippingRecord::ckDone);
    BeginCommandEdit();
    m_session.Finish();
    RepaintWholePicture();
    EndEdit();
}

void TKvClippingTool::SaveObject()
{
    if (!MayStartCommand() || !m_session.ShowsObject())
        return;
    TKvGraphicsDocument* document = Document();
    JpegCodec& codec = document->Codec();
    int quality = 0;
    if (!codec.HasImage()) {
        const std::optional<int> chosen = Editor() ? Editor()->AskJpegQuality() : std::nullopt;
        if (!chosen)
            return;
        quality = *chosen;
    }
    // When the document's original no longer shows what the codec decodes,
    // every block is encoded from the picture, as a save would do.
    const TKvPixels* original = document->CodecInStep() ? &document->Original().Pixels() : nullptr;
    TKvObjectSave save;
    {
        const TWaitCursor wait;
        save = SaveObjectToLibrary(Region(), EntryJpegEncoder(&codec, original, quality), ObjectLibraryFolder());
    }
    if (save.Result == TKvObjectSave::Saved)
        emit ObjectSaved(save.Name);
    else if (save.Result == TKvObjectSave::Failed)
        KvApplication->MessageBox(save.Message, PlainCaption(LocalStr(2862, QStringLiteral("Save Object"))), 16);
    Activated();
}

void TKvClippingTool::Clear()
{
    if (!MayStartCommand() || Region().IsEmpty())
        return;
    BeginCommand(TKvClippingRecord::ckClear);
    BeginCommandEdit();
    ColumnPass(m_session.StartClear(), [this] { m_outline.Clear(); });
}

void TKvClippingTool::RefreshBackground()
{
    if (!MayStartCommand() || !m_session.ShowsBackground())
        return;
    MakeRecord(m_afterRecord, TKvClippingRecord::ckParameters);
    BeginCommandEdit();
    ColumnPass(m_session.StartRefresh(m_afterRecord.Parameters()));
}

// ---------------------------------------------------------------------------
// The background effect and its parameters

void TKvClippingTool::ParameterChanged(int effect, const QString& suffix, qint64 value,
                                       const std::function<void()>& store)
{
    // Undo goes back to what the background shows now. While another
    // command runs, its records stay as they are: the value is only kept
    // for later.
    if (MayStartCommand()) {
        const TClippingEffect shown = m_session.Shown();
        m_beforeRecord = {TKvClippingRecord::ckParameters, shown.Effect, shown.Color, shown.Level,
                          m_session.ObjectLabel()};
    }
    store();
    RecordSetting(suffix, value);
    if (m_session.BackgroundEffect() == effect)
        RefreshBackground();
}

void TKvClippingTool::SetBackgroundEffect(int index)
{
    if (index < ::BackgroundColor || index > BackgroundMonochrome)
        return;
    if (m_frame->EffectItemIndex() != index)
        m_frame->SetEffectItemIndex(index); // the group's click does the rest
    else
        m_session.SetBackgroundEffect(index);
}

void TKvClippingTool::BackgroundEffectClicked(int index)
{
    if (index < ::BackgroundColor || index > BackgroundMonochrome || index == m_session.BackgroundEffect())
        return;
    ParameterChanged(index, QStringLiteral("BackgroundEffect"), index,
                     [this, index] { m_session.SetBackgroundEffect(index); });
}

void TKvClippingTool::SetBackgroundColor(TColor color)
{
    color &= 0xFFFFFF;
    if (color == m_session.BackgroundColor())
        return;
    ParameterChanged(::BackgroundColor, QStringLiteral("BackgroundColor"), color, [this, color] {
        m_session.SetBackgroundColor(color);
        m_frame->ColorBox->SetSelected(color);
    });
}

void TKvClippingTool::SetMonochromeColor(TColor color)
{
    color &= 0xFFFFFF;
    if (color == m_session.MonochromeColor())
        return;
    ParameterChanged(BackgroundMonochrome, QStringLiteral("MonochromeColor"), color, [this, color] {
        m_session.SetMonochromeColor(color);
        m_frame->MonochromeColorBox->SetSelected(color);
    });
}

void TKvClippingTool::SetBlurLevel(int level)
{
    level = TClippingSession::ClampLevel(level);
    if (level == m_session.BlurLevel())
        return;
    ParameterChanged(BackgroundBlur, QStringLiteral("BlurRadius"), level, [this, level] {
        m_session.SetBlurLevel(level);
        m_frame->BlurRadiusTntTrackBar->setValue(level);
    });
}

void TKvClippingTool::SetShadowLevel(int level)
{
    level = TClippingSession::ClampLevel(level);
    if (level == m_session.ShadowLevel())
        return;
    ParameterChanged(BackgroundShadow, QStringLiteral("Shadow"), level, [this, level] {
        m_session.SetShadowLevel(level);
        m_frame->ShadowTntTrackBar->setValue(level);
    });
}

// ---------------------------------------------------------------------------
// Recording demonstrations

void TKvClippingTool::StepButtonClicked(const QString& suffix, void (TKvClippingTool::*step)())
{
    RecordClick(suffix);
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
