// The clipping tool, the tool the program exists for: the user paints a band
// over an object's edge, Separate divides the band along the strongest edge
// inside it (the cut grows on screen), Effect shows the inside as the object
// with a background effect around it, Swap moves the object to the next
// area, the effect and its parameters can be changed and are shown at once,
// Done keeps the rendered picture and Clear takes every mark back. Each step
// is one undoable command (TKvClippingCommandState).
#pragma once

#include "ClippingSession.h"
#include "KvClippingFrame.h"
#include "KvDrawTools.h"

#include <QPointer>
#include <QUuid>

#include <functional>
#include <memory>
#include <vector>

class TKvGraphicsView;
class TKvLiveRepaint;
class TKvStepThread;
class TKvToolPanelModule;
struct TKvClippingSnapshots;

// What a clipping command did, and the background it rendered: the tool
// keeps one for the state before and one for the state after the command
// being edited, and the command state keeps copies, from which a command is
// done again on redo instead of keeping its pixels.
struct TKvClippingRecord {
    enum TKind : quint8 {
        ckNone = 0,      // nothing to record
        ckMarks = 1,     // marks changed: a full snapshot
        ckDone = 2,
        ckEffect = 3,
        ckClear = 4,
        ckSwap = 5,
        ckParameters = 6 // the background effect or one of its parameters
    };

    quint8 Kind = ckNone;
    // The background effect (a TBackgroundEffect) and its parameter: the
    // colour of the colour and the monochrome effect, the level of the
    // shadow and the blur. Kinds 3 and 6 (and 5 for the effect).
    quint8 Effect = 0;
    TColor Color = 0;
    qint32 Level = 0;
    // The segment shown as the object (kind 5).
    quint8 Object = 0;

    TClippingEffect Parameters() const { return {Effect, Color, Level}; }
};

class TKvClippingToolControl : public TKvBrushToolControl {
public:
    using TKvBrushToolControl::TKvBrushToolControl;

    TKvClippingTool* ClippingTool() const;

    // The brush outline while no object is shown, then the band's outline
    // as one-pixel dots in the inverted colours of the picture under them.
    void PaintOverlay(TKvViewCanvas& canvas) override;
    bool GetCursor(Qt::KeyboardModifiers modifiers, const QPoint& point, int& cursorId) override;
    // The whole picture is the control's area, so that the outline dots are
    // painted wherever the picture is.
    QRect GetOverlayRect(const TKvMapMode& mapMode) const override;
    // The brush outline moves out of sight.
    void MouseLeave() override;

private:
    void PaintBandOutline(TKvViewCanvas& canvas);
};

class TKvClippingTool : public TKvBrushTool {
    Q_OBJECT
public:
    static const QUuid SettingsGuid;
    static constexpr int PanelWidth = 272;
    // The cursors shown while painting adds to the band and while it erases.
    static constexpr int crPlus = 2;
    static constexpr int crMinus = 3;
    // The levels of the shadow and the blur.
    // Separate can be held for painting after at most this many cells of a
    // generation.
    static constexpr std::size_t SeparatePartCells = 1 << 15;
    // Effect, Swap and Clear can be held after this many columns per
    // thread.
    static constexpr int ColumnsPerStep = 32;
    // The most time a step's frame spends painting what changed; the rest
    // is painted in the next frames.
    static constexpr qint64 FramePaintNs = 6'000'000;
    static constexpr int MinLevel = TClippingSession::MinLevel;
    static constexpr int MaxLevel = TClippingSession::MaxLevel;

    // The pixels of the band's outline in the order they were marked, so
    // that the outline is drawn without scanning the picture; pixels that
    // stopped being outline are dropped at the next paint.
    class TAddRemoveStack {
    public:
        struct TItem {
            qint32 X;
            qint32 Y;
            quint8 Removed;
        };

        TAddRemoveStack();
        void Add(int x, int y);
        void Clear();
        int Count() const { return int(m_items.size()); }
        TPoint GetPoint(int i) const { return {m_items[size_t(i)].X, m_items[size_t(i)].Y}; }
        bool Removed(int i) const { return m_items[size_t(i)].Removed != 0; }
        void SetRemoved(int i, bool removed);
        // Drops the entries marked removed, keeping the order of the rest.
        void Compact();
        // Every outline pixel of the region, in column-major order.
        void Rebuild(const TMarkedRegion& region);

    private:
        std::vector<TItem> m_items;
    };

    // The tool's button and frame go into the panel; without one they stand
    // alone.
    explicit TKvClippingTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel = nullptr);
    ~TKvClippingTool() override;

    TKvClippingFrame* ClippingFrame() const { return m_frame; }

    // The label a dab paints: 1 adds, 0 erases, -1 no stroke running.
    int PaintLabel() const { return m_paintLabel; }
    int BackgroundEffect() const { return m_session.BackgroundEffect(); }
    TColor BackgroundColor() const { return m_session.BackgroundColor(); }
    int BlurLevel() const { return m_session.BlurLevel(); }
    // The threads Separate and the effects use: the machine's unless the
    // settings limit them (0 there means all).
    int Threads() const { return m_session.Threads(); }
    void SetThreads(int threads);
    int ShadowLevel() const { return m_session.ShadowLevel(); }
    TColor MonochromeColor() const { return m_session.MonochromeColor(); }
    // The clipping work on the document's picture.
    TClippingSession& Session() { return m_session; }
    TMarkedRegion& Region() { return m_session.Region(); }
    const TMarkedRegion& Region() const { return m_session.Region(); }
    // The segment shown as the object.
    quint8 ObjectLabel() const { return m_session.ObjectLabel(); }
    // The object label becomes the segment the region shows as the object.
    void FollowObject() { m_session.FollowObject(); }
    TAddRemoveStack& Outline() { return m_outline; }
    const TKvClippingRecord& BeforeRecord() const { return m_beforeRecord; }
    const TKvClippingRecord& AfterRecord() const { return m_afterRecord; }
    // Whether a long step (Separate, Effect, Swap, Clear, a new background)
    // is running. Its parts run on a thread of their own; meanwhile the
    // region and the picture are not to be read on the main thread (the
    // tool's own paint and idle updates leave them alone).
    bool Busy() const { return m_phase == phSteps || m_phase == phSnapshots; }
    // The times the running (or last) step was held and what it changed
    // was painted, and the parts its thread ran.
    int StepFrames() const { return m_stepFrames; }
    std::int64_t StepParts() const { return m_stepParts; }

    // --- The steps of the work; each is one command, refused while a
    // document is not shown or is locked by an edit.
    void Separate();
    void ShowEffect();
    void Swap();
    void Done();
    void Clear();
    // Renders the background again with the current effect and parameters.
    void RefreshBackground();
    // Save Object: the object shown goes into the user's object library as a
    // new entry, built from the picture and the region alone; the document,
    // its history and the marks stay exactly as they were. A picture whose
    // source JPEG the document's codec holds is written losslessly where it
    // can be; any other is encoded at the quality the user is asked for, and
    // cancelling that question writes nothing. A failure is shown.
    void SaveObject();

    // The background effect (0..3; other indexes are ignored) and its
    // parameters (levels are kept within 1..5); a change of what the
    // background shows renders it again at once.
    void SetBackgroundEffect(int index);
    void SetBackgroundColor(TColor color);
    void SetBlurLevel(int level);
    void SetShadowLevel(int level);
    void SetMonochromeColor(TColor color);
    // The radio group's click: the effect of that item.
    void BackgroundEffectClicked(int index);

    void SetPaintLabel(int label);
    // The cursor over the picture: Plus while adding, Minus while erasing,
    // the arrow while an object is shown, else none (the brush outline).
    int ToolCursor() const;
    // The region on the document's picture with every mark dropped.
    void Reset();

    // --- For the command states
    // Fills the record for a command of the kind from the tool's settings.
    void MakeRecord(TKvClippingRecord& record, quint8 kind) const;
    // Before: a full snapshot; after: a command of the kind.
    void BeginCommand(quint8 kind);

    // --- Tool framework
    void Activated() override;
    void DocumentOpened(TKvGraphicsDocument* document) override;
    void DocumentClosing(TKvGraphicsDocument* document) override;
    void StateChanged(TKvGraphicsDocument* document, IKvGraphicsTool* tool, const TRect& rect) override;
    bool BeginStroke(TKvDrawToolControl* control, Qt::MouseButton button, const TKvShiftState& shift) override;
    void EndStroke() override;
    void RecordState() override;
    void SetAvailable(bool available) override;
    void AfterCreate() override;
    void UpdateControls() override;
    void Localize() override;
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;

signals:
    // A new entry was saved into the object library (for the paste tool's
    // list).
    void ObjectSaved(const QString& name);

public:
    // --- The panel's events
    // The user clicked a step's button: recorded, then done.
    void StepButtonClicked(const QString& suffix, void (TKvClippingTool::*step)());

protected:
    void BuildDab() override;
    void ApplyDab(const TRect& rect) override;

private:
    // A long step in parts (generations or columns): Step does the next part
    // and returns false when none is left, on the step's thread; Finish runs
    // on the main thread after the last part, before the edit ends.
    struct TOperation {
        std::function<bool(TDirtyTiles& changed)> Step;
        std::function<void()> Finish;
    };

    void CreateUI();
    // A document is shown, no edit holds it and no step runs.
    bool MayStartCommand() const;
    // Begins the edit of a command on the document's view and updates the
    // panel, which the edit's lock disables.
    void BeginCommandEdit();
    // Runs the operation inside the open edit, its parts on a thread of
    // their own while the main thread goes on with its events and paints
    // the picture as it changes, then takes the command's snapshots on that
    // thread too and ends the edit. When the document starts closing
    // meanwhile, the operation is completed at once and nothing may be
    // touched afterwards.
    void RunOperation(TOperation operation);
    // Runs part on a step thread until it returns false, processing events
    // meanwhile (at least once); with frames, the thread is held every paint interval and
    // what changed is painted. False when the operation was completed
    // meanwhile.
    bool RunOnStepThread(std::function<bool()> part, bool frames);
    // Paints what the step changed so far; its thread is held.
    void PaintFrame();
    // After the last part: the operation's Finish, then the command's
    // snapshots (on a step thread unless completing) and the edit's end.
    void FinishOperation(bool completing);
    void EndOperation();
    // Completes the running operation without pausing and ends the edit.
    void CompleteOperation();
    void ColumnPass(TColumnPass pass, std::function<void()> finish = {});
    void RepaintWholePicture();
    void ShowOpenBand(TSeparation& separation);
    // A setter's common path: undo is to go back to what the background
    // shows now; the value is stored and recorded, and the background is
    // rendered again when it shows the effect the value belongs to.
    void ParameterChanged(int effect, const QString& suffix, qint64 value, const std::function<void()>& store);
    // Records a change of the named control for demonstrations.
    void RecordSetting(const QString& suffix, qint64 value);
    void RegisterDemoNames();

    TKvToolPanelModule* m_panel;
    TKvClippingFrame* m_frame = nullptr;
    // The frame when there is no tool panel to hold it.
    std::unique_ptr<TKvClippingFrame> m_ownFrame;
    int m_paintLabel = -1;
    TClippingSession m_session;
    int m_threadsSetting = 0; // as the settings say: 0 for all
    bool m_syncColorBoxes = true;
    TAddRemoveStack m_outline;
    TKvClippingRecord m_beforeRecord;
    TKvClippingRecord m_afterRecord;
    TOperation m_operation;
    TKvLiveRepaint* m_repaint = nullptr;
    // Where the running operation stands: its parts run, its Finish runs
    // (not busy: the user may be asked), the command's snapshots are taken.
    enum TPhase { phNone, phSteps, phFinish, phSnapshots };
    TPhase m_phase = phNone;
    // The thread of the running operation's parts, or of its snapshots.
    TKvStepThread* m_thread = nullptr;
    // The view whose painting waits while the parts run.
    QPointer<TKvGraphicsView> m_heldView;
    // The snapshots of the command being ended, taken off the main thread.
    std::unique_ptr<TKvClippingSnapshots> m_snapshots;
    int m_stepFrames = 0;
    std::int64_t m_stepParts = 0;
};
