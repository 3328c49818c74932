// The tool panel: the dockable panel on the right of the main window with
// the tools' buttons at its top and, below them, the option frame of the
// active tool. The module creates the panel and its button frame, offers a
// View menu item that shows and hides it, creates the tools' option frames
// in it, and remembers where and how it is docked.
#pragma once

#include "KvForms.h"
#include "KvModule.h"
#include "KvShell.h"

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QUuid>

#include <vector>

class QAction;
class QDockWidget;
class QVBoxLayout;
class TKvPanelToolbar;

// The frame at the top of the tool panel holding the tools' buttons; it is
// as high as its (wrapping) toolbar and a little more.
class TKvToolFrame : public TKvFrame {
    Q_OBJECT
public:
    explicit TKvToolFrame(QWidget* parent = nullptr);

    TKvPanelToolbar* Toolbar;

    void ToolbarResize();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutToolbar();
};

// The saved state of the panel: 47 bytes, little-endian, no padding.
struct TKvPanelState {
    static constexpr int RecordSize = 47;

    bool Visible = true;
    bool Floating = false;
    // Meaningful while floating.
    QPoint FloatingPosition;
    qint32 FloatingWidth = 0;
    qint32 FloatingHeight = 0;
    // Meaningful while docked: the side (0 top, 1 bottom, 2 left, 3 right),
    // the place among the dock's panels, its row, the docked size and the
    // size when it shares its row.
    quint8 DockSide = 3;
    qint32 DockPosition = 0;
    qint32 DockRow = 0;
    qint32 DockedWidth = 0;
    qint32 DockedHeight = 0;
    qint32 SplitWidth = 0;
    qint32 SplitHeight = 0;

    QByteArray ToBytes() const;
    // False for a record that is not 47 bytes long or whose size field is
    // not 47.
    static bool FromBytes(const QByteArray& bytes, TKvPanelState& state);
};

class TKvToolPanelModule : public TKvModuleWithControls {
    Q_OBJECT
public:
    static const QUuid SettingsGuid;
    static constexpr int DefaultWidth = 200;
    // The space between the panel's edge and what it holds.
    static constexpr int BorderSize = 8;

    // The panel is docked in the shell's window.
    explicit TKvToolPanelModule(IKvShell* shell);
    ~TKvToolPanelModule() override;

    QAction* VisibleMenuItem;
    QDockWidget* Panel;
    TKvPanelToolbar* Toolbar;
    TKvToolFrame* ToolFrame;

    // A tool's button on the panel's toolbar, made in `button`, with the
    // caption as its hint.
    void AddToolButton(const QString& caption, const TKvMethod& onClick, QAction*& button);
    // Creates a tool's option frame in `frame` (set before its constructor
    // runs, null again if it throws), below the buttons, filling the rest
    // of the panel and scrolling when it does not fit; it is initialised at
    // once.
    template <class T>
    T* AddToolFrame(T*& frame);

    // Shows the frame in the panel in place of the other tools' frames (the
    // active tool's frame is the one in front).
    void BringFrameToFront(QWidget* frame);

    bool PanelVisible() const;
    void SetPanelVisible(bool visible);
    // Fixes the panel's width (tools with wide frames ask for 272); a width
    // below the panel's minimum is ignored.
    void SetPanelWidth(int width);

    TKvPanelState CapturePanelState() const;
    void ApplyPanelState(const TKvPanelState& state);

    void Localize() override;
    void UpdateControls() override;
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;

    void VisibleMenuItemClick(QObject* sender);

private:
    void PlaceToolFrame(QWidget* frame);
    std::vector<std::vector<QDockWidget*>> DockLines(Qt::DockWidgetArea area) const;
    // The panels of the line the panel is docked in, the panel among them.
    std::vector<QDockWidget*> PanelLine() const;
    void PlaceInLine(int position);
    void ApplyDockedSize(QObject* sender);

    IKvShell* m_shell;
    // The docked size the settings asked for.
    QSize m_dockedSize;
    QWidget* m_client;
    QWidget* m_framesContainer;
    QVBoxLayout* m_framesLayout;
};

template <class T>
T* TKvToolPanelModule::AddToolFrame(T*& frame)
{
    ConstructInto(frame, m_framesContainer);
    PlaceToolFrame(frame);
    frame->Initialize();
    return frame;
}
