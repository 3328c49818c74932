#include "KvMainForm.h"

#include "CommonData.h"
#include "KvLocalizer.h"
#include "KvSDF.h"

#include <QActionGroup>
#include <QApplication>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QtEndian>

#include <array>

TKvImageList* TMainForm::s_sharedImages = nullptr;

const QUuid TMainForm::SettingsGuid{QStringLiteral("{7AF6D7FF-618B-41D9-882E-419D500DF28B}")};

// ---------------------------------------------------------------------------
// Docks

TKvDock::TKvDock(TKvDockSide side, TKind kind, const QString& name, QObject* parent)
    : QObject(parent), m_side(side), m_kind(kind)
{
    setObjectName(name);
}

Qt::ToolBarArea TKvDock::ToolBarArea() const
{
    return ToolBarAreaOf(m_side);
}

Qt::DockWidgetArea TKvDock::DockArea() const
{
    return DockAreaOf(m_side);
}

// ---------------------------------------------------------------------------
// Visibility toggle items

TKvVisibilityToggleItem::TKvVisibilityToggleItem(QWidget* control, QObject* parent)
    : QAction(parent), m_control(control)
{
    setCheckable(true);
    setChecked(!control->isHidden());
    RefreshCaption();
    connect(this, &QAction::triggered, control, [control](bool checked) { control->setVisible(checked); });
    control->installEventFilter(this);
}

void TKvVisibilityToggleItem::RefreshCaption()
{
    if (m_control)
        setText(PlainCaption(m_control->windowTitle()));
}

bool TKvVisibilityToggleItem::eventFilter(QObject* watched, QEvent* event)
{
    if (m_control && watched == m_control && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        setChecked(!m_control->isHidden());
    return false;
}

// ---------------------------------------------------------------------------
// Window placement

QByteArray TKvWindowPlacement::ToBytes() const
{
    const std::array<qint32, 11> fields{
        Length,
        Flags,
        ShowCmd,
        MinPosition.x(),
        MinPosition.y(),
        MaxPosition.x(),
        MaxPosition.y(),
        NormalPosition.left(),
        NormalPosition.top(),
        NormalPosition.left() + NormalPosition.width(),
        NormalPosition.top() + NormalPosition.height(),
    };
    QByteArray bytes(RecordSize, '\0');
    for (size_t i = 0; i < fields.size(); ++i)
        qToLittleEndian(fields[i], bytes.data() + 4 * i);
    return bytes;
}

TKvWindowPlacement TKvWindowPlacement::FromBytes(const QByteArray& bytes)
{
    TKvWindowPlacement placement;
    if (bytes.size() != RecordSize) {
        placement.Length = 0;
        return placement;
    }
    std::array<qint32, 11> fields{};
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i] = qFromLittleEndian<qint32>(bytes.constData() + 4 * i);
    placement.Length = fields[0];
    placement.Flags = fields[1];
    placement.ShowCmd = fields[2];
    placement.MinPosition = QPoint(fields[3], fields[4]);
    placement.MaxPosition = QPoint(fields[5], fields[6]);
    placement.NormalPosition = QRect(QPoint(fields[7], fields[8]), QSize(fields[9] - fields[7], fields[10] - fields[8]));
    return placement;
}

TKvWindowPlacement GetWindowPlacement(const QWidget& window)
{
    TKvWindowPlacement placement;
    const Qt::WindowStates state = window.windowState();
    placement.NormalPosition = window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
    if (state & Qt::WindowMinimized) {
        placement.ShowCmd = TKvWindowPlacement::ShowMinimized;
        if (state & Qt::WindowMaximized)
            placement.Flags |= TKvWindowPlacement::RestoreToMaximized;
    } else if (state & Qt::WindowMaximized) {
        placement.ShowCmd = TKvWindowPlacement::ShowMaximized;
    }
    return placement;
}

namespace {

// A rectangle that does not show enough of itself on any screen to be
// taken hold of is moved to the top left of the primary screen (and cut to
// its size), as the screens may have changed since it was saved.
QRect FitOntoScreens(QRect rect)
{
    constexpr int Visible = 48;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(rect);
        if (common.width() >= std::min(Visible, rect.width()) && common.height() >= std::min(Visible, rect.height()))
            return rect;
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return rect;
    const QRect available = primary->availableGeometry();
    return QRect(available.topLeft(), rect.size().boundedTo(available.size()));
}

} // namespace

bool SetWindowPlacement(QWidget& window, const TKvWindowPlacement& placement)
{
    if (placement.Length != TKvWindowPlacement::RecordSize || placement.NormalPosition.width() <= 0 ||
        placement.NormalPosition.height() <= 0)
        return false;
    // A window saved while minimised opens in the state it was minimised
    // from, not as an icon.
    const bool maximized = placement.ShowCmd == TKvWindowPlacement::ShowMaximized ||
                           (placement.ShowCmd == TKvWindowPlacement::ShowMinimized &&
                            (placement.Flags & TKvWindowPlacement::RestoreToMaximized));
    window.setWindowState(Qt::WindowNoState);
    window.setGeometry(FitOntoScreens(placement.NormalPosition));
    if (maximized)
        window.setWindowState(Qt::WindowMaximized);
    return true;
}

// ---------------------------------------------------------------------------
// Merge helpers

void InsertItem(QWidget* parent, QAction* item, QAction* before)
{
    parent->insertAction(before && parent->actions().contains(before) ? before : nullptr, item);
}

void ConnectClick(QAction* item, const TKvMethod& onClick)
{
    if (onClick.IsEmpty())
        return;
    QObject::connect(item, &QAction::triggered, item, [item, onClick] { onClick.Call(item); });
}

// ---------------------------------------------------------------------------
// Main form

TMainForm::TMainForm()
    : TopDock(new TKvDock(TKvDockSide::Top, TKvDock::Toolbars, QStringLiteral("TopDock"), this)),
      LeftDock(new TKvDock(TKvDockSide::Left, TKvDock::Toolbars, QStringLiteral("LeftDock"), this)),
      RightDock(new TKvDock(TKvDockSide::Right, TKvDock::Toolbars, QStringLiteral("RightDock"), this)),
      BottomDock(new TKvDock(TKvDockSide::Bottom, TKvDock::Toolbars, QStringLiteral("BottomDock"), this)),
      TopMultiDock(new TKvDock(TKvDockSide::Top, TKvDock::Panels, QStringLiteral("TopMultiDock"), this)),
      BottomMultiDock(new TKvDock(TKvDockSide::Bottom, TKvDock::Panels, QStringLiteral("BottomMultiDock"), this)),
      LeftMultiDock(new TKvDock(TKvDockSide::Left, TKvDock::Panels, QStringLiteral("LeftMultiDock"), this)),
      RightMultiDock(new TKvDock(TKvDockSide::Right, TKvDock::Panels, QStringLiteral("RightMultiDock"), this)),
      Menu(new QMenuBar(this)),
      StatusBar(new QStatusBar(this)),
      DefaultImages(new TKvImageList(QSize(16, 16), this))
{
    setObjectName(QStringLiteral("MainForm"));
    setAcceptDrops(true);
    setDockNestingEnabled(false);

    Menu->setObjectName(QStringLiteral("Menu"));
    setMenuBar(Menu);
    FileMenuItem = AddSubmenu(QString());
    FileMenuItem->setObjectName(QStringLiteral("FileMenuItem"));
    FileMenuSeparator = AddSeparator(FileMenuItem);
    FileMenuSeparator->setObjectName(QStringLiteral("FileMenuSeparator"));
    ExitMenuItem = AddMenuItem(QString(), QKeySequence(), TKvMethod(this, &TMainForm::ExitMenuItemClick), -1,
                               FileMenuItem);
    ExitMenuItem->setObjectName(QStringLiteral("ExitMenuItem"));
    ExitMenuItem->setMenuRole(QAction::QuitRole);
    ViewMenuItem = AddSubmenu(QString());
    ViewMenuItem->setObjectName(QStringLiteral("ViewMenuItem"));
    ToolbarsMenuItem = AddSubmenu(QString(), ViewMenuItem);
    ToolbarsMenuItem->setObjectName(QStringLiteral("ToolbarsMenuItem"));
    ViewMenuSeparator = AddSeparator(ViewMenuItem);
    ViewMenuSeparator->setObjectName(QStringLiteral("ViewMenuSeparator"));
    LanguageMenuItem = AddSubmenu(QString(), ViewMenuItem);
    LanguageMenuItem->setObjectName(QStringLiteral("LanguageMenuItem"));
    HelpMenuItem = AddSubmenu(QString());
    HelpMenuItem->setObjectName(QStringLiteral("HelpMenuItem"));

    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    setStatusBar(StatusBar);

    // The work space behind the documents.
    auto* workspace = new QWidget(this);
    workspace->setObjectName(QStringLiteral("Workspace"));
    workspace->setAutoFillBackground(true);
    QPalette palette = workspace->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Dark));
    workspace->setPalette(palette);
    setCentralWidget(workspace);

    // F10 opens the menu from the keyboard, as menu bars do on the desktop.
    auto* keyboardMenu = new QAction(this);
    keyboardMenu->setShortcut(QKeySequence(Qt::Key_F10));
    connect(keyboardMenu, &QAction::triggered, this, &TMainForm::OpenKeyboardMenu);
    addAction(keyboardMenu);

    // The window manager chooses the position; the size is three quarters
    // of the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size() * 3 / 4);
}

TMainForm::~TMainForm() = default;

TKvShellMaker TMainForm::Maker(TMainForm*& reference)
{
    return [&reference]() -> IKvShell* {
        KvApplication->CreateForm(reference);
        return reference;
    };
}

void TMainForm::SetSharedImages(TKvImageList* images)
{
    s_sharedImages = images;
}

TKvImageList* TMainForm::SharedImages()
{
    return s_sharedImages;
}

TKvImageList* TMainForm::Images() const
{
    return s_sharedImages ? s_sharedImages : DefaultImages;
}

TKvShellItems TMainForm::Items() const
{
    return {FileMenuItem, FileMenuSeparator, ExitMenuItem, ViewMenuItem, ToolbarsMenuItem, HelpMenuItem, StatusBar};
}

void TMainForm::SetOnDropFile(std::function<void(const QString& fileName)> handler)
{
    OnDropFile = std::move(handler);
}

QAction* TMainForm::AddMenuItem(const QString& caption, const QKeySequence& shortcut, const TKvMethod& onClick,
                                int imageIndex, QMenu* parent, QAction* before)
{
    QWidget* owner = parent ? static_cast<QWidget*>(parent) : Menu;
    auto* item = new QAction(PlainCaption(caption), owner);
    item->setShortcut(shortcut);
    SetItemImage(item, Images(), imageIndex);
    ConnectClick(item, onClick);
    InsertItem(owner, item, before);
    return item;
}

QMenu* TMainForm::AddSubmenu(const QString& caption, QMenu* parent, QAction* before)
{
    QWidget* owner = parent ? static_cast<QWidget*>(parent) : Menu;
    auto* submenu = new QMenu(PlainCaption(caption), owner);
    InsertItem(owner, submenu->menuAction(), before);
    return submenu;
}

QAction* TMainForm::AddSeparator(QWidget* parent, QAction* before)
{
    auto* separator = new QAction(parent);
    separator->setSeparator(true);
    InsertItem(parent, separator, before);
    return separator;
}

QToolBar* TMainForm::AddToolbar(const QString& caption)
{
    auto* toolbar = new QToolBar(caption, this);
    toolbar->setIconSize(Images()->Size());
    SetToolbarImages(toolbar, Images());
    addToolBar(TopDock->ToolBarArea(), toolbar);
    ToolbarsMenuItem->addAction(new TKvVisibilityToggleItem(toolbar, ToolbarsMenuItem));
    return toolbar;
}

void TMainForm::AddToolButton(QWidget* toolbar, TKvImageList* images, QAction* before, const QString& caption,
                              int imageIndex, const TKvMethod& onClick, QAction*& item)
{
    item = new QAction(toolbar);
    item->setText(PlainCaption(caption));
    item->setToolTip(caption);
    SetItemImage(item, images ? images : ToolbarImages(toolbar), imageIndex);
    ConnectClick(item, onClick);
    InsertItem(toolbar, item, before);
}

QDockWidget* TMainForm::CreateDockablePanel()
{
    return new QDockWidget(this);
}

void TMainForm::DockPanel(QDockWidget* panel, TKvDock* multiDock)
{
    addDockWidget(multiDock->DockArea(), panel);
}

void TMainForm::DockPanel(QDockWidget* panel, TKvDockSide side)
{
    addDockWidget(DockAreaOf(side), panel);
}

TKvDock* TMainForm::MultiDockAt(TKvDockSide side) const
{
    for (TKvDock* dock : {TopMultiDock, BottomMultiDock, LeftMultiDock, RightMultiDock})
        if (dock->Side() == side)
            return dock;
    return nullptr;
}

int TMainForm::AddResourceImage(const QString& name)
{
    const QIcon icon = ResourceImage(name);
    if (icon.isNull())
        return -1;
    return Images()->Add(icon);
}

void TMainForm::Initialize()
{
    // One language of several is chosen: the items show as radio items.
    auto* languages = new QActionGroup(LanguageMenuItem);
    for (const TKvLanguage& language : GetLanguages()) {
        QAction* item = AddMenuItem(language.Name, QKeySequence(),
                                    TKvMethod(this, &TMainForm::LanguageMenuItemClick), -1, LanguageMenuItem);
        item->setActionGroup(languages);
        item->setCheckable(true);
        item->setData(language.LangId);
        item->setChecked(language.LangId == CurrentLanguage());
    }
    TKvFormOf<QMainWindow>::Initialize();
}

void TMainForm::Localize()
{
    Menu->setWindowTitle(LocalStr(161));
    Menu->setAccessibleName(LocalStr(161));
    FileMenuItem->setTitle(PlainCaption(LocalStr(10)));
    ExitMenuItem->setText(PlainCaption(LocalStr(23)));
    ViewMenuItem->setTitle(PlainCaption(LocalStr(34)));
    ToolbarsMenuItem->setTitle(PlainCaption(LocalStr(163)));
    LanguageMenuItem->setTitle(PlainCaption(LocalStr(41)));
    HelpMenuItem->setTitle(PlainCaption(LocalStr(46)));
    for (QAction* item : LanguageMenuItem->actions()) {
        const auto langId = static_cast<quint16>(item->data().toUInt());
        item->setChecked(langId == CurrentLanguage());
        item->setText(PlainCaption(LanguageName(langId)));
    }
    // The modules that own the toolbars re-caption them in their own
    // Localize, which may run after this one.
    if (KvApplication)
        KvApplication->PostCall(TKvMethod(this, &TMainForm::RefreshToolbarsMenu), this);
}

namespace {

void RefreshToggleItems(const QMenu* menu)
{
    for (QAction* item : menu->actions()) {
        if (auto* toggle = qobject_cast<TKvVisibilityToggleItem*>(item))
            toggle->RefreshCaption();
        if (const QMenu* submenu = item->menu())
            RefreshToggleItems(submenu);
    }
}

} // namespace

void TMainForm::RefreshToolbarsMenu(QObject*)
{
    RefreshToggleItems(ViewMenuItem);
}

void TMainForm::LoadSettings(TKvSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid))
        return;
    QByteArray record(TKvWindowPlacement::RecordSize, '\0');
    if (reader.ReadBuffer(2, record.data(), TKvWindowPlacement::RecordSize))
        SetWindowPlacement(*this, TKvWindowPlacement::FromBytes(record));
    qint32 language = CurrentLanguage();
    if (reader.ReadInteger(1, language))
        SetLanguage(static_cast<quint16>(language & 0xFFFF));
    reader.LeaveNode();
}

void TMainForm::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.WriteBuffer(2, GetWindowPlacement(*this).ToBytes());
    writer.WriteInteger(1, CurrentLanguage());
    writer.EndNode();
}

void TMainForm::UpdateControls()
{
    // Menus that no module has filled yet are left out of the way.
    ToolbarsMenuItem->menuAction()->setEnabled(!ToolbarsMenuItem->isEmpty());
    HelpMenuItem->menuAction()->setVisible(!HelpMenuItem->isEmpty());
}

void TMainForm::ExitMenuItemClick(QObject*)
{
    close();
}

void TMainForm::LanguageMenuItemClick(QObject* sender)
{
    if (const auto* item = qobject_cast<QAction*>(sender))
        SetLanguage(static_cast<quint16>(item->data().toUInt()));
}

// ---------------------------------------------------------------------------
// Dropped files

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    if (urls.isEmpty())
        return;
    // Only the first file counts. It is opened once the drop has finished,
    // so that the program it was dragged from does not wait for the opening.
    const QString fileName = urls.first().toLocalFile();
    if (fileName.isEmpty() || !OnDropFile || !QFileInfo(fileName).isFile())
        return;
    QMetaObject::invokeMethod(
        this, [this, fileName] { if (OnDropFile) OnDropFile(fileName); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Keyboard menu

// Qt itself tells a highlighted toolbar button that the pointer has left
// when a menu opens, so nothing is left hot-tracked behind the menu.
void TMainForm::OpenKeyboardMenu()
{
    for (QAction* item : Menu->actions()) {
        if (item->isVisible() && item->isEnabled() && item->menu()) {
            Menu->setActiveAction(item);
            return;
        }
    }
}
