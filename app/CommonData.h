// The shared 24 x 24 image list of menus and toolbars, and the pictures
// compiled into the program by name.
#pragma once

#include "KvImageList.h"

#include <QIcon>
#include <QObject>
#include <QString>

class TCommonDataModule : public QObject {
    Q_OBJECT
public:
    static constexpr int ImageCount = 80;

    TCommonDataModule();
    ~TCommonDataModule() override;

    // 80 images by fixed index (1 open, 2 save, 3 print, 8 undo, 9 redo,
    // 10-13 zoom in, zoom out, actual size, best fit, 14-15 previous and
    // next picture, 16-19 rotate right and left, flip vertically and
    // horizontally, 31-34 brightness up and down, contrast up and down,
    // 77 clipping, 78 paste, 79 text); the other entries are empty.
    TKvImageList* New24TBXImageList;
};

// The picture compiled in under the name, shown with the desktop theme's
// icon for the same standard action when the theme has one; an empty icon
// when no picture has that name.
QIcon ResourceImage(const QString& name);
