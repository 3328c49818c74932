// The graphics editor's fields in the main window's status bar: the image
// point under the pointer (X, Y), the picture's size (W, H) and the colour
// of the pixel under the pointer (R, G, B), each field after its label.
// The view fills X, Y, R, G, B, the document W and H, through the editor.
#pragma once

#include "KvBitmap.h"

class QLabel;
class QPoint;
class QStatusBar;

class TKvStatusPanels {
public:
    // Seven pairs of a label and its field, appended to the bar; h is the
    // height of the main window's font in pixels.
    TKvStatusPanels(QStatusBar* bar, int h);

    QLabel* X;
    QLabel* Y;
    QLabel* W;
    QLabel* H;
    QLabel* R;
    QLabel* G;
    QLabel* B;

    void ShowImageSize(int width, int height);
    void ShowPointerInfo(const QPoint& imagePoint, TColorTriple pixel);
};
