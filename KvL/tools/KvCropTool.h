// The crop tool: the user drags a rectangle over the picture, everything
// outside it is shown darkened, eight handles move its edges and a drag
// inside moves it; Ok cuts the document down to it as one undoable command,
// Cancel drops it. CropToRect is the same cut for callers without a
// rectangle on screen (the object library crops to an object, saves it and
// undoes the crop). The crop command keeps only what the crop cut away.
#pragma once

#include "CropMargins.h"
#include "KvForms.h"
#include "KvGraphicsCommandState.h"
#include "KvGraphicsTool.h"

#include <QUuid>

#include <memory>

class QLabel;
class QPushButton;
class QToolButton;
class TKvCropTool;
class TKvToolPanelModule;

// The crop tool's panel: what to do, Ok and Cancel, and the options link
// (kept hidden: the tool has no options to show).
class TKvCropFrame : public TKvFrame {
    Q_OBJECT
public:
    explicit TKvCropFrame(QWidget* parent = nullptr);

    TKvCropTool* Tool = nullptr;

    QLabel* TitleLabel;
    QLabel* DescriptionLabel;
    QWidget* OkPanel;
    QPushButton* CropButton;
    QPushButton* CancelButton;
    QToolButton* ShowOptions;

    void Localize() override;
    // The link's caption follows whether options are shown.
    void ShowOptionsCaption(bool shown);

    void CropButtonClick();
    void CancelButtonClick();
    void ShowOptionsButtonClick();
};

// The crop rectangle on one view: created by a first drag, then moved and
// resized by its handles; drawn with darkened bands around it, hollow
// handles and a dotted frame on the view's pixels.
class TKvCropToolControl : public TKvGraphicsToolControl {
public:
    enum TState { csIdle, csCreating, csPlaced, csDragging };

    TKvCropToolControl(TKvGraphicsTool* tool, TKvGraphicsView* view);

    TState State() const { return m_state; }
    // The rectangle in picture coordinates (right and bottom exclusive).
    TRect CropRect() const { return m_rect; }
    // Drops the rectangle: back to Idle.
    void Reset();

    // The rectangle shows while the tool is current.
    void Activated() override;
    void Deactivated() override;
    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseMove(Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& point) override;
    bool GetCursor(Qt::KeyboardModifiers modifiers, const QPoint& point, int& cursorId) override;
    // The picture's view rectangle, and 5 pixels more around it while the
    // handles are shown.
    QRect GetOverlayRect(const TKvMapMode& mapMode) const override;
    void PaintOverlay(TKvViewCanvas& canvas) override;

private:
    TRect PictureRect() const;
    TRect ToView(const TRect& rect) const;
    TPoint ToPicture(const QPoint& clientPoint) const;
    void SetState(TState state);
    // Takes the new rectangle, repainting only where the old and the new
    // one differ on screen.
    void MoveTo(const TRect& rect);
    void ShowSize() const;

    TState m_state = csIdle;
    TRect m_rect;
    TPoint m_anchor;
    TRect m_startRect;
    int m_hit = HandleNone;
};

// A crop: the pixels of the picture and of the original picture that it
// cut away (at first the rest of their storage, which the crop left them a
// window of), and where the picture lay before (its crop rectangle and the
// lossless codec's geometry). Undo puts the whole pictures back from what
// is kept and what the document still holds; redo cuts again.
class TKvCropCommandState : public TKvCustomGraphicsCommandState {
public:
    // Takes what cutting the document down to rect (within the picture)
    // will remove; null when there is no picture to cut.
    static std::unique_ptr<TKvCropCommandState> Take(IKvGraphicsTool* tool, const TRect& rect,
                                                     TKvGraphicsDocument* document);

    void Undo() override;
    void Redo() override;
    void Compact() override;

    // Bytes kept for undo.
    std::size_t Size() const { return m_image.Size() + m_original.Size(); }

private:
    TKvCropCommandState(IKvGraphicsTool* tool, const TRect& rect, TKvGraphicsDocument* document);

    TCropMargins m_image;
    TCropMargins m_original;
    TKvGraphicsGeometry m_before;
};

class TKvCropTool : public TKvGraphicsTool {
    Q_OBJECT
public:
    static const QUuid SettingsGuid;

    // The button and the frame go into the panel; without one they stand
    // alone.
    explicit TKvCropTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel = nullptr);
    ~TKvCropTool() override;

    TKvCropFrame* CropFrame() const { return m_frame; }
    // The control on the view of the document; none without one.
    TKvCropToolControl* CropControl() const;

    // Cuts the document down to rect (picture coordinates) as one undoable
    // command. False, and nothing recorded, when rect misses the picture or
    // the memory for the cut or its undo cannot be had (then said so).
    bool CropToRect(const TRect& rect);
    // Crops to the rectangle on screen and drops it.
    void Perform();
    // Drops the rectangle, then the framework's cancel.
    void Cancel();

    bool OptionsShown() const { return m_optionsShown; }
    void SetOptionsShown(bool shown);

    // The rectangle is cancelled before the document is saved, closed, or
    // its history moves: it may no longer fit the picture afterwards.
    void CommitOrCancelOpenChange(TKvGraphicsDocument* document) override;
    void Activated() override;
    // The picture is replaced whole, never written pixel by pixel.
    bool EditWritesPixels() const override { return false; }
    void AfterCreate() override;
    void UpdateControls() override;
    void Localize() override;
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;
    void GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint) override;


private:
    TKvToolPanelModule* m_panel;
    TKvCropFrame* m_frame = nullptr;
    std::unique_ptr<TKvCropFrame> m_ownFrame;
    bool m_optionsShown = false;
};
