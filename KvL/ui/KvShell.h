// What the modules of the library ask of the program's main window: its
// own menus and status bar, by which they place their items, and the merge
// operations through which they add menu items, toolbars, toolbar buttons
// and dockable panels. The editor, the tool panel and the tools use it; the
// program's main form implements it, and the composition root hands it to
// the editor that makes the main form.
#pragma once

#include "KvForms.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QDockWidget;
class QMenu;
class QStatusBar;
class QToolBar;
class QWidget;
class TKvImageList;

// A side of the main window where toolbars or dockable panels go. The
// numbering is that of the saved panel state.
enum class TKvDockSide : quint8 { Top = 0, Bottom = 1, Left = 2, Right = 3 };

Qt::ToolBarArea ToolBarAreaOf(TKvDockSide side);
Qt::DockWidgetArea DockAreaOf(TKvDockSide side);
// The side a panel area stands for; none for areas without one.
std::optional<TKvDockSide> DockSideOf(Qt::DockWidgetArea area);

// The main window's own items.
struct TKvShellItems {
    QMenu* FileMenuItem = nullptr;
    // File commands go before it, the recent files after it.
    QAction* FileMenuSeparator = nullptr;
    QAction* ExitMenuItem = nullptr;
    QMenu* ViewMenuItem = nullptr;
    QMenu* ToolbarsMenuItem = nullptr;
    QMenu* HelpMenuItem = nullptr;
    QStatusBar* StatusBar = nullptr;
};

class IKvShell {
public:
    // The window itself: caption, geometry, font, docks, close query, and
    // the parent of the program's dialogs.
    virtual TKvFormOf<QMainWindow>* Window() = 0;
    virtual TKvShellItems Items() const = 0;
    // The image list of menus and toolbars.
    virtual TKvImageList* Images() const = 0;

    // Merge operations. Captions are plain texts (an "&" shows as it is).
    // An item is inserted just before `before` when that is an item of the
    // same parent, otherwise appended. A submenu's item is its menuAction();
    // no parent menu means the menu bar.
    virtual QAction* AddMenuItem(const QString& caption, const QKeySequence& shortcut, const TKvMethod& onClick,
                                 int imageIndex, QMenu* parent = nullptr, QAction* before = nullptr) = 0;
    virtual QMenu* AddSubmenu(const QString& caption, QMenu* parent = nullptr, QAction* before = nullptr) = 0;
    // `parent` is a menu, the menu bar or a toolbar.
    virtual QAction* AddSeparator(QWidget* parent, QAction* before = nullptr) = 0;
    // A toolbar docked at the top, with a toggle item in the Toolbars menu.
    virtual QToolBar* AddToolbar(const QString& caption) = 0;
    // A button on the toolbar, made in `item`, with the caption as its
    // hint; `images` null means the toolbar's image list.
    virtual void AddToolButton(QWidget* toolbar, TKvImageList* images, QAction* before, const QString& caption,
                               int imageIndex, const TKvMethod& onClick, QAction*& item) = 0;
    // A dockable panel, not yet docked (see DockPanel).
    virtual QDockWidget* CreateDockablePanel() = 0;
    virtual void DockPanel(QDockWidget* panel, TKvDockSide side) = 0;
    // Adds the picture compiled in under the name to Images; its index, or
    // -1 when there is no such picture.
    virtual int AddResourceImage(const QString& name) = 0;
    // Called with the name of a file dropped on the window; none stops it.
    virtual void SetOnDropFile(std::function<void(const QString& fileName)> handler) = 0;

protected:
    ~IKvShell() = default;
};

// Makes the main window when the editor that owns the window's menus is
// created: the window is an application component created right after the
// editor.
using TKvShellMaker = std::function<IKvShell*()>;
