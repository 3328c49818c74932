// The paste tool: puts an object of the object library into the picture.
// Its panel shows the library as a grid of thumbnails, a preview of the
// selected object turned by the rotation, and the rotation slider; on the
// picture the user drags a rectangle into which the object is stretched,
// turned and (drawn leftwards or upwards) mirrored, shown live at the view's
// resolution.  Enter or a click outside commits it as one undoable step
// with the Hermite filter and soft edges (the same RenderPaste orvane-paste
// runs); Esc or the right button drops it.
#pragma once

#include "BGRAlpha.h"
#include "KvPasteFrame.h"
#include "KvPlacedRectControl.h"
#include "PasteRender.h"
#include "ThumbnailList.h"

#include <QUuid>

#include <filesystem>
#include <memory>

class TKvPasteTool;
class TKvToolPanelModule;

class TKvPasteToolControl : public TKvPlacedRectControl {
public:
    using TKvPlacedRectControl::TKvPlacedRectControl;

    TKvPasteTool* PasteTool() const;

protected:
    // Only with an object to paste.
    bool MayCreate() const override;
    void PaintPreview(TKvPixels& canvas, const TViewPixels& view) override;
    void Commit() override;
    void Cancel() override;
};

class TKvPasteTool : public TKvGraphicsTool {
    Q_OBJECT
public:
    static const QUuid SettingsGuid;
    static constexpr int PanelWidth = 272;
    static constexpr int GridColumns = 3;
    static constexpr int CellSize = 72;

    // The tool reads the library in folder; its button and frame go into the
    // panel, without one they stand alone.
    TKvPasteTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel, std::filesystem::path folder);
    ~TKvPasteTool() override;

    TKvPasteFrame* PasteFrame() const { return m_frame; }
    const TThumbnailList& List() const { return m_list; }
    const TBGRWithAlpha& Object() const { return m_object; }
    int Rotation() const { return m_rotation; }
    // The control's rectangle as a paste: the rotation and the mirroring.
    TPastePlacement PlacementOf(const TKvPasteToolControl& control) const;
    // The control that holds a rectangle on the document; none.
    TKvPasteToolControl* ControlWithRectangle(const TKvGraphicsDocument* document = nullptr) const;

    // --- What the panel, the scripts and the clipping tool call
    // An object was saved: its entry (the library's newest when no name is
    // given) joins the list, selected and loaded.
    void AddNewestEntry(const QString& name = {});
    // The angle (any whole number of degrees, brought into 0..359) goes to
    // the slider.
    void SetRotation(int angle);
    // Deletes the selected entry's files without asking.
    void DeleteSelected();
    // Selects the cell before the selected one.
    void SelectPreviousCell();
    // Selects the grid cell as a click on it does: its entry is loaded (a
    // cell without an entry leaves nothing to paste).
    void SelectCell(int column, int row);
    // Clears the list and reads the library again.
    void ReadLibrary();

    // --- The rectangle
    // Pastes the object into the picture as one undoable step; a paste that
    // changes no pixel records nothing.
    void CommitPaste(TKvPasteToolControl* control);
    void CancelPaste(TKvPasteToolControl* control);

    // --- The panel's events
    void DeleteButtonClick();
    void RotationTrackBarChange();

    // --- Tool framework
    void AfterCreate() override;
    void Activated() override;
    void Deactivated() override;
    void SetAvailable(bool available) override;
    void DocumentClosing(TKvGraphicsDocument* document) override;
    // A placed rectangle is committed, one being drawn or dragged dropped,
    // before the document is saved, printed, undone or closed.
    void CommitOrCancelOpenChange(TKvGraphicsDocument* document) override;
    bool HasOpenChange(const TKvGraphicsDocument* document) const override;
    void UpdateControls() override;
    void Localize() override;
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;

private:
    void RegisterDemoNames();
    // The grid's rows for the list, and its selected cell.
    void RefreshGrid();
    void SelectGridCell(int index);
    void LoadSelected();
    void RedrawPreviewImage();
    void DrawCell(QPainter& painter, const QRect& rect, int column, int row) const;
    // Drops every rectangle (on the document; every one without a document).
    void CancelRectangles(const TKvGraphicsDocument* document = nullptr);
    void RecordLines(const QString& suffix, const QString& value = {});

    TKvToolPanelModule* m_panel;
    TKvPasteFrame* m_frame = nullptr;
    std::unique_ptr<TKvPasteFrame> m_ownFrame;
    TThumbnailList m_list;
    TBGRWithAlpha m_object;
    int m_rotation = 0;
};
