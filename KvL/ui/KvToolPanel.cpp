#include "KvToolPanel.h"

#include "KvImageList.h"
#include "KvLocalizer.h"
#include "KvPanelToolbar.h"
#include "KvSDF.h"

#include <QDockWidget>
#include <QMenu>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QtEndian>

#include <algorithm>

const QUuid TKvToolPanelModule::SettingsGuid{QStringLiteral("{9FC124C8-2014-4832-8878-3489538D623F}")};

// ---------------------------------------------------------------------------
// Button frame

TKvToolFrame::TKvToolFrame(QWidget* parent) : TKvFrame(parent), Toolbar(new TKvPanelToolbar(this))
{
    setObjectName(QStringLiteral("ToolFrame"));
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(Toolbar, &TKvPanelToolbar::Resized, this, &TKvToolFrame::ToolbarResize);
    connect(Toolbar, &TKvPanelToolbar::ContentsChanged, this, &TKvToolFrame::LayoutToolbar);
    LayoutToolbar();
}

void TKvToolFrame::ToolbarResize()
{
    setFixedHeight(Toolbar->height() + 6);
}

void TKvToolFrame::resizeEvent(QResizeEvent* event)
{
    TKvFrame::resizeEvent(event);
    LayoutToolbar();
}

void TKvToolFrame::LayoutToolbar()
{
    Toolbar->setGeometry(0, 0, width(), Toolbar->heightForWidth(width()));
    ToolbarResize();
}

// ---------------------------------------------------------------------------
// Saved state

namespace {

template <class T>
void Put(QByteArray& bytes, int offset, T value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

template <class T>
T Get(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<T>(bytes.constData() + offset);
}

} // namespace

QByteArray TKvPanelState::ToBytes() const
{
    QByteArray bytes(RecordSize, '\0');
    Put<qint32>(bytes, 0, RecordSize);
    Put<quint8>(bytes, 4, Visible ? 1 : 0);
    Put<quint8>(bytes, 5, Floating ? 1 : 0);
    if (Floating) {
        Put<qint32>(bytes, 6, FloatingPosition.x());
        Put<qint32>(bytes, 10, FloatingPosition.y());
        Put<qint32>(bytes, 14, FloatingWidth);
        Put<qint32>(bytes, 18, FloatingHeight);
    } else {
        Put<quint8>(bytes, 22, DockSide);
        Put<qint32>(bytes, 23, DockPosition);
        Put<qint32>(bytes, 27, DockRow);
        Put<qint32>(bytes, 31, DockedWidth);
        Put<qint32>(bytes, 35, DockedHeight);
        Put<qint32>(bytes, 39, SplitWidth);
        Put<qint32>(bytes, 43, SplitHeight);
    }
    return bytes;
}

bool TKvPanelState::FromBytes(const QByteArray& bytes, TKvPanelState& state)
{
    if (bytes.size() != RecordSize || Get<qint32>(bytes, 0) != RecordSize)
        return false;
    state = TKvPanelState();
    state.Visible = Get<quint8>(bytes, 4) != 0;
    state.Floating = Get<quint8>(bytes, 5) != 0;
    if (state.Floating) {
        state.FloatingPosition = QPoint(Get<qint32>(bytes, 6), Get<qint32>(bytes, 10));
        state.FloatingWidth = Get<qint32>(bytes, 14);
        state.FloatingHeight = Get<qint32>(bytes, 18);
    } else {
        state.DockSide = Get<quint8>(bytes, 22);
        state.DockPosition = Get<qint32>(bytes, 23);
        state.DockRow = Get<qint32>(bytes, 27);
        state.DockedWidth = Get<qint32>(bytes, 31);
        state.DockedHeight = Get<qint32>(bytes, 35);
        state.SplitWidth = Get<qint32>(bytes, 39);
        state.SplitHeight = Get<qint32>(bytes, 43);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Module

TKvToolPanelModule::TKvToolPanelModule(IKvShell* shell)
    : Panel(shell->CreateDockablePanel()),
      m_shell(shell),
      m_client(new QWidget),
      m_framesContainer(new QWidget),
      m_framesLayout(new QVBoxLayout(m_framesContainer))
{
    Panel->setObjectName(QStringLiteral("Panel"));
    Panel->setWindowTitle(LocalStr(176));
    Panel->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    Panel->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);

    auto* layout = new QVBoxLayout(m_client);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    ToolFrame = NewInitialized<TKvToolFrame>(m_client);
    Toolbar = ToolFrame->Toolbar;
    Toolbar->SetIconSize(shell->Images()->Size());
    SetToolbarImages(Toolbar, shell->Images());
    layout->addWidget(ToolFrame);

    auto* frames = new QScrollArea(m_client);
    frames->setObjectName(QStringLiteral("FramesArea"));
    frames->setFrameShape(QFrame::NoFrame);
    frames->setWidgetResizable(true);
    m_framesLayout->setContentsMargins(0, 0, 0, 0);
    frames->setWidget(m_framesContainer);
    layout->addWidget(frames, 1);

    Panel->setWidget(m_client);
    shell->DockPanel(Panel, TKvDockSide::Right);
    shell->Window()->resizeDocks({Panel}, {DefaultWidth}, Qt::Horizontal);

    const TKvShellItems main = shell->Items();
    VisibleMenuItem = shell->AddMenuItem(LocalStr(176), QKeySequence(),
                                         TKvMethod(this, &TKvToolPanelModule::VisibleMenuItemClick), -1,
                                         main.ViewMenuItem, main.ToolbarsMenuItem->menuAction());
    VisibleMenuItem->setObjectName(QStringLiteral("VisibleMenuItem"));
    VisibleMenuItem->setCheckable(true);
}

TKvToolPanelModule::~TKvToolPanelModule() = default;

void TKvToolPanelModule::AddToolButton(const QString& caption, const TKvMethod& onClick, QAction*& button)
{
    m_shell->AddToolButton(Toolbar, nullptr, nullptr, caption, -1, onClick, button);
}

void TKvToolPanelModule::PlaceToolFrame(QWidget* frame)
{
    m_framesLayout->addWidget(frame, 1);
}

void TKvToolPanelModule::BringFrameToFront(QWidget* frame)
{
    for (int i = 0; i < m_framesLayout->count(); ++i)
        if (QWidget* placed = m_framesLayout->itemAt(i)->widget())
            placed->setVisible(placed == frame);
}

bool TKvToolPanelModule::PanelVisible() const
{
    return !Panel->isHidden();
}

void TKvToolPanelModule::SetPanelVisible(bool visible)
{
    Panel->setVisible(visible);
}

void TKvToolPanelModule::SetPanelWidth(int width)
{
    if (width < m_client->minimumWidth())
        return;
    m_client->setMinimumWidth(width);
    m_client->setMaximumWidth(width);
    m_shell->Window()->resizeDocks({Panel}, {width}, Qt::Horizontal);
}

TKvPanelState TKvToolPanelModule::CapturePanelState() const
{
    TKvPanelState state;
    state.Visible = PanelVisible();
    state.Floating = Panel->isFloating();
    if (state.Floating) {
        state.FloatingPosition = Panel->pos();
        state.FloatingWidth = Panel->width();
        state.FloatingHeight = Panel->height();
        return state;
    }
    const QMainWindow* window = m_shell->Window();
    const Qt::DockWidgetArea area = window->dockWidgetArea(Panel);
    state.DockSide = static_cast<quint8>(DockSideOf(area).value_or(TKvDockSide::Right));
    // The place among the panels docked on the same side, in screen order.
    std::vector<QDockWidget*> neighbours;
    for (QDockWidget* panel : window->findChildren<QDockWidget*>())
        if (!panel->isFloating() && window->dockWidgetArea(panel) == area)
            neighbours.push_back(panel);
    const bool vertical = area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
    std::sort(neighbours.begin(), neighbours.end(), [vertical](const QDockWidget* a, const QDockWidget* b) {
        return vertical ? a->y() < b->y() : a->x() < b->x();
    });
    state.DockPosition = static_cast<qint32>(std::find(neighbours.begin(), neighbours.end(), Panel) - neighbours.begin());
    state.DockedWidth = Panel->width();
    state.DockedHeight = Panel->height();
    state.SplitWidth = Panel->width();
    state.SplitHeight = Panel->height();
    return state;
}

void TKvToolPanelModule::ApplyPanelState(const TKvPanelState& state)
{
    SetPanelVisible(state.Visible);
    // The panel does not float; a record that says otherwise (written by
    // another build, or damaged) keeps it docked.
    if (state.Floating && Panel->features().testFlag(QDockWidget::DockWidgetFloatable)) {
        Panel->setFloating(true);
        Panel->setGeometry(QRect(state.FloatingPosition, QSize(state.FloatingWidth, state.FloatingHeight)));
        return;
    }
    // Only the sides the panel may dock on count.
    if (state.DockSide <= static_cast<quint8>(TKvDockSide::Right)) {
        const auto side = static_cast<TKvDockSide>(state.DockSide);
        if (Panel->isAreaAllowed(DockAreaOf(side)) && m_shell->Window()->dockWidgetArea(Panel) != DockAreaOf(side))
            m_shell->DockPanel(Panel, side);
    }
    if (state.DockedWidth > 0)
        m_shell->Window()->resizeDocks({Panel}, {state.DockedWidth}, Qt::Horizontal);
}

void TKvToolPanelModule::Localize()
{
    Panel->setWindowTitle(LocalStr(176));
    VisibleMenuItem->setText(PlainCaption(LocalStr(176)));
}

void TKvToolPanelModule::UpdateControls()
{
    VisibleMenuItem->setChecked(PanelVisible());
}

void TKvToolPanelModule::LoadSettings(TKvSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid))
        return;
    QByteArray record(TKvPanelState::RecordSize, '\0');
    TKvPanelState state;
    if (reader.ReadBuffer(1, record.data(), TKvPanelState::RecordSize) && TKvPanelState::FromBytes(record, state))
        ApplyPanelState(state);
    reader.LeaveNode();
}

void TKvToolPanelModule::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.WriteBuffer(1, CapturePanelState().ToBytes());
    writer.EndNode();
}

void TKvToolPanelModule::VisibleMenuItemClick(QObject*)
{
    SetPanelVisible(!PanelVisible());
}
