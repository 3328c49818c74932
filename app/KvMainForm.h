// The main window: menu bar, toolbar docks and panel docks on all four
// sides, status bar, and the merge operations through which every module
// inserts its own menus, toolbar buttons and panels. It owns only File >
// Exit, the View menu with its Toolbars and Language submenus, and the
// empty Help menu. It remembers its placement and the chosen language,
// opens the first file dropped on it, and opens the menu from the keyboard.
#pragma once

#include "KvForms.h"
#include "KvImageList.h"
#include "KvShell.h"

#include <QAction>
#include <QByteArray>
#include <QKeySequence>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QUuid>

#include <functional>
#include <optional>

class QDockWidget;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolBar;

// A side of the main window where toolbars go (a toolbar dock) or dockable
// panels (a multi-dock).
class TKvDock : public QObject {
    Q_OBJECT
public:
    enum TKind { Toolbars, Panels };

    TKvDock(TKvDockSide side, TKind kind, const QString& name, QObject* parent);

    TKvDockSide Side() const { return m_side; }
    TKind Kind() const { return m_kind; }
    Qt::ToolBarArea ToolBarArea() const;
    Qt::DockWidgetArea DockArea() const;

private:
    TKvDockSide m_side;
    TKind m_kind;
};

// A menu item that shows and hides a control (a toolbar), checked while the
// control is shown. Its caption is the control's; RefreshCaption takes it
// again.
class TKvVisibilityToggleItem : public QAction {
    Q_OBJECT
public:
    TKvVisibilityToggleItem(QWidget* control, QObject* parent);

    void RefreshCaption();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_control;
};

// The window placement record kept in the configuration file: eleven
// little-endian 32-bit numbers, 44 bytes: length (44), flags, show command,
// minimised position (x, y), maximised position (x, y), and the window's
// normal rectangle (left, top, right, bottom; right and bottom exclusive).
struct TKvWindowPlacement {
    static constexpr int RecordSize = 44;
    static constexpr qint32 ShowNormal = 1;
    static constexpr qint32 ShowMinimized = 2;
    static constexpr qint32 ShowMaximized = 3;
    // In Flags: a minimised window returns to the maximised state.
    static constexpr qint32 RestoreToMaximized = 2;

    qint32 Length = RecordSize;
    qint32 Flags = 0;
    qint32 ShowCmd = ShowNormal;
    QPoint MinPosition{-1, -1};
    QPoint MaxPosition{-1, -1};
    QRect NormalPosition;

    QByteArray ToBytes() const;
    static TKvWindowPlacement FromBytes(const QByteArray& bytes);
};

// The placement of a top-level window, from its normal geometry and state.
TKvWindowPlacement GetWindowPlacement(const QWidget& window);
// Applies a placement: the normal geometry (moved onto a screen when it
// lies off every screen) and the maximised state. A record whose length
// field is not 44 or whose rectangle is empty is ignored (false).
bool SetWindowPlacement(QWidget& window, const TKvWindowPlacement& placement);

class TMainForm : public TKvFormOf<QMainWindow>, public IKvShell {
    Q_OBJECT
public:
    static const QUuid SettingsGuid;

    TMainForm();
    ~TMainForm() override;

    // Makes the main form in `reference` as the application's form, for the
    // editor that has it made.
    static TKvShellMaker Maker(TMainForm*& reference);

    // Docks for toolbars, and multi-docks for dockable panels.
    TKvDock* TopDock;
    TKvDock* LeftDock;
    TKvDock* RightDock;
    TKvDock* BottomDock;
    TKvDock* TopMultiDock;
    TKvDock* BottomMultiDock;
    TKvDock* LeftMultiDock;
    TKvDock* RightMultiDock;

    QMenuBar* Menu;
    QMenu* FileMenuItem;
    QAction* FileMenuSeparator;
    QAction* ExitMenuItem;
    QMenu* ViewMenuItem;
    QMenu* ToolbarsMenuItem;
    QAction* ViewMenuSeparator;
    QMenu* LanguageMenuItem;
    QMenu* HelpMenuItem;
    QStatusBar* StatusBar;
    // Used only while no shared image list is set.
    TKvImageList* DefaultImages;

    // Called with the name of a file dropped on the window.
    std::function<void(const QString& fileName)> OnDropFile;

    // The program-wide image list of menus and toolbars.
    static void SetSharedImages(TKvImageList* images);
    static TKvImageList* SharedImages();

    // --- Shell
    TKvFormOf<QMainWindow>* Window() override { return this; }
    TKvShellItems Items() const override;
    // The shared image list when set, else DefaultImages.
    TKvImageList* Images() const override;
    QAction* AddMenuItem(const QString& caption, const QKeySequence& shortcut, const TKvMethod& onClick,
                         int imageIndex, QMenu* parent = nullptr, QAction* before = nullptr) override;
    QMenu* AddSubmenu(const QString& caption, QMenu* parent = nullptr, QAction* before = nullptr) override;
    QAction* AddSeparator(QWidget* parent, QAction* before = nullptr) override;
    QToolBar* AddToolbar(const QString& caption) override;
    void AddToolButton(QWidget* toolbar, TKvImageList* images, QAction* before, const QString& caption,
                       int imageIndex, const TKvMethod& onClick, QAction*& item) override;
    QDockWidget* CreateDockablePanel() override;
    void DockPanel(QDockWidget* panel, TKvDockSide side) override;
    int AddResourceImage(const QString& name) override;
    void SetOnDropFile(std::function<void(const QString& fileName)> handler) override;

    void DockPanel(QDockWidget* panel, TKvDock* multiDock);
    // The dock of this window on that side.
    TKvDock* MultiDockAt(TKvDockSide side) const;

    void Localize() override;
    void UpdateControls() override;
    void Initialize() override;
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;

    // Click handlers.
    void ExitMenuItemClick(QObject* sender);
    void LanguageMenuItemClick(QObject* sender);
    // Captions of the Toolbars menu's toggle items from their toolbars.
    void RefreshToolbarsMenu(QObject* sender);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OpenKeyboardMenu();

    static TKvImageList* s_sharedImages;
};

// Inserts the item into the parent just before `before` when that is one
// of the parent's items, otherwise at the end.
void InsertItem(QWidget* parent, QAction* item, QAction* before);
// Runs the handler with the item as sender when the item is triggered.
void ConnectClick(QAction* item, const TKvMethod& onClick);
