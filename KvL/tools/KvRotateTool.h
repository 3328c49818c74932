// The rotate and flip tool: quarter turns to the left and right and mirrors
// across and up and down of the whole picture, both the picture and the
// original picture, losslessly (pixels are moved, never resampled; the
// lossless JPEG codec follows). Each is one command that keeps only its
// operation code: undo applies the inverse operation. The four operations
// sit on the editor's standard toolbar; the tool's panel offers them too,
// with a live preview of the chosen one on a thumbnail.
#pragma once

#include "KvForms.h"
#include "KvGraphicsCommandState.h"
#include "KvGraphicsTool.h"
#include "KvLTBitmap.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QRadioButton;
class QToolBar;
class QToolButton;
class IKvShell;
class TKvRotateTool;
class TKvToolPanelModule;

// The operations, by the codes the commands keep.
enum TKvRotateOperation : quint8 {
    roRotateLeft = 1,    // a quarter turn counter-clockwise
    roRotateRight = 2,   // a quarter turn clockwise
    roFlipHorizontal = 3, // left and right exchanged
    roFlipVertical = 4,  // top and bottom exchanged
};

// The operation that takes an operation back.
TKvRotateOperation InverseRotateOperation(TKvRotateOperation operation);
// The turn of the pixels an operation is.
TPixelTurn PixelTurnOf(TKvRotateOperation operation);
// Applies the operation to the document; false, nothing changed, when it
// cannot be done (not enough memory).
bool ApplyRotateOperation(TKvGraphicsDocument* document, TKvRotateOperation operation);

// The box the preview is drawn in: its bounds as a frame, the preview
// centred in it.
class TKvThumbnailView : public QWidget {
public:
    explicit TKvThumbnailView(QWidget* parent = nullptr);

    // The picture shown; none draws the frame alone.
    const TKvLTBitmap* Preview = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The tool's panel: with options hidden, the four operation buttons; with
// options shown, the preview, the four options and one button that performs
// the chosen option.
class TKvRotateFrame : public TKvFrame {
    Q_OBJECT
public:
    static constexpr int ThumbnailWidth = 176;
    static constexpr int ThumbnailHeight = 150;

    explicit TKvRotateFrame(QWidget* parent = nullptr);

    TKvRotateTool* Tool = nullptr;

    QLabel* TitleLabel;
    QWidget* PreviewControl;
    QWidget* PreviewPanel;
    TKvThumbnailView* ThumbnailView;
    QRadioButton* RotateRightRadioButton;
    QRadioButton* RotateLeftRadioButton;
    QRadioButton* FlipHorizontalRadioButton;
    QRadioButton* FlipVerticalRadioButton;
    QPushButton* RotateButton;
    QPushButton* RotateRightButton;
    QPushButton* RotateLeftButton;
    QPushButton* FlipHorizontalButton;
    QPushButton* FlipVerticalButton;
    QToolButton* ShowOptions;

    // The operation of the checked option.
    TKvRotateOperation CheckedOperation() const;
    QRadioButton* OptionOf(TKvRotateOperation operation) const;

    // Makes the thumbnail of the document's picture again (none without a
    // document), then the preview.
    void RebuildThumbnail(const TKvGraphicsDocument* document);
    // The thumbnail with the checked option applied, shown at once.
    void RebuildPreview();
    const TKvLTBitmap* Thumbnail() const { return m_thumbnail.get(); }
    const TKvLTBitmap* Preview() const { return m_preview.get(); }

    void Localize() override;
    // With options shown the preview and its options, else the four buttons.
    void ShowOptionsLayout(bool shown);

    void RotateButtonClick();
    void RotateRadioButtonChange(QRadioButton* option);
    void ShowOptionsButtonClick();

private:
    std::unique_ptr<TKvLTBitmap> m_thumbnail;
    std::unique_ptr<TKvLTBitmap> m_preview;
};

// One operation on the document, undone by the inverse operation.
class TKvRotateCommandState : public TKvCustomGraphicsCommandState {
public:
    TKvRotateCommandState(IKvGraphicsTool* tool, TKvGraphicsDocument* document, TKvRotateOperation operation);

    TKvRotateOperation Operation() const { return m_operation; }

    void Undo() override;
    void Redo() override;

private:
    TKvRotateOperation m_operation;
};

class TKvRotateTool : public TKvGraphicsTool {
    Q_OBJECT
public:
    // The button and the frame go into the panel; without one they stand
    // alone.
    explicit TKvRotateTool(IKvGraphicsEditor* editor, TKvToolPanelModule* panel = nullptr);
    ~TKvRotateTool() override;

    TKvRotateFrame* RotateFrame() const { return m_frame; }

    // The buttons on the editor's standard toolbar.
    QAction* RotateRightToolButton = nullptr;
    QAction* RotateLeftToolButton = nullptr;
    QAction* FlipVerticalToolButton = nullptr;
    QAction* FlipHorizontalToolButton = nullptr;
    // Adds a separator and the four buttons to the editor's toolbar, with
    // pictures from the shared image list.
    void AddEditorButtons(IKvShell* shell, QToolBar* toolbar);

    // Each is one undoable command; false when it could not be done (then
    // said so, and nothing is recorded).
    bool RotateLeft();
    bool RotateRight();
    bool FlipHorizontal();
    bool FlipVertical();
    bool Perform(TKvRotateOperation operation);

    // The editor toolbar's actions: in plug-in mode the turns are half
    // turns.
    void RotateRightToolButtonClick();
    void RotateLeftToolButtonClick();

    bool OptionsShown() const { return m_optionsShown; }
    void SetOptionsShown(bool shown);
    // Rebuilds the preview when it is on screen.
    void RefreshPreview();

    void RecordState() override;
    void StateChanged(TKvGraphicsDocument* document, IKvGraphicsTool* tool, const TRect& rect) override;
    void DocumentOpened(TKvGraphicsDocument* document) override;
    void Activated() override;
    // The picture is replaced whole, never written pixel by pixel.
    bool EditWritesPixels() const override { return false; }
    void AfterCreate() override;
    void UpdateControls() override;
    void Localize() override;
    void GetScriptTarget(const TKvCustomProperties& params, bool& found, QPoint& screenPoint) override;

private:
    void RegisterDemoNames();

    TKvToolPanelModule* m_panel;
    TKvRotateFrame* m_frame = nullptr;
    std::unique_ptr<TKvRotateFrame> m_ownFrame;
    TKvRotateOperation m_operation = roRotateRight;
    bool m_optionsShown = false;
};
