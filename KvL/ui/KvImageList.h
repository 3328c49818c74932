// An image list: numbered icons of one size that menus and toolbars share.
// Menu items and toolbar buttons refer to their picture by index; an item
// whose index is out of range, or whose entry is empty, shows no picture.
#pragma once

#include <QIcon>
#include <QObject>
#include <QSize>

#include <vector>

class QAction;

// Makes the pictures compiled into the program (":/images/...") available;
// every use of them calls it first.
void RegisterProgramImages();

class TKvImageList : public QObject {
    Q_OBJECT
public:
    explicit TKvImageList(QSize size, QObject* parent = nullptr);

    QSize Size() const { return m_size; }
    int Count() const { return static_cast<int>(m_icons.size()); }

    // Appends the icon (an empty icon keeps its place); returns its index.
    int Add(const QIcon& icon);
    // The icon at the index; an empty icon when the index is out of range.
    QIcon Icon(int index) const;

private:
    QSize m_size;
    std::vector<QIcon> m_icons;
};

// The image list and index a menu item or toolbar button shows its picture
// from. They are kept with the item, so that the index can be changed later
// (the composition root sets indices on items other modules created).
void SetItemImage(QAction* item, TKvImageList* images, int imageIndex);
void SetImageIndex(QAction* item, int imageIndex);
int ImageIndex(const QAction* item);
TKvImageList* ItemImages(const QAction* item);

// The image list a toolbar gives the buttons added without one of their own.
void SetToolbarImages(QObject* toolbar, TKvImageList* images);
TKvImageList* ToolbarImages(const QObject* toolbar);
