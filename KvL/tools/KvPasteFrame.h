// The paste tool's panel: a preview of the selected library object turned
// by the rotation, the Delete button, the rotation slider and the grid of
// the library's thumbnails.  The paste tool creates it in the tool panel and
// hands the user's clicks and choices to the tool; its controls carry the
// names demonstration scripts find them by.
#pragma once

#include "KvForms.h"

class QFrame;
class QLabel;
class QPushButton;
class QSlider;
class TKvDrawGrid;
class TKvPasteTool;

class TKvPasteFrame : public TKvFrame {
    Q_OBJECT
public:
    static constexpr int PreviewSize = 248;

    explicit TKvPasteFrame(QWidget* parent = nullptr);

    TKvPasteTool* Tool = nullptr;

    QLabel* TitleLabel;
    QFrame* ImagePanel;
    // Shows the preview picture.
    QLabel* PasteTntImage;
    QPushButton* DeleteButton;
    QLabel* RotationLabel;
    QSlider* RotationTrackBar;
    QFrame* Panel1;
    TKvDrawGrid* DrawGrid;

    void Localize() override;

    void DeleteButtonClick();
    void RotationTrackBarChange();
    void DrawGridSelectCell(int column, int row);
};
