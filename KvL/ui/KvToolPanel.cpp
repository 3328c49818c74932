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
    layout->setContentsMargins(BorderSize, BorderSize, BorderSize, BorderSize);
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

// The panels docked on the panel's side in screen order: the lines across
// the side (its rows), and the places along each line.
std::vector<std::vector<QDockWidget*>> TKvToolPanelModule::DockLines(Qt::DockWidgetArea area) const
{
    const QMainWindow* window = m_shell->Window();
    const bool vertical = area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
    const auto across = [vertical](const QDockWidget* panel) { return vertical ? panel->x() : panel->y(); };
    const auto along = [vertical](const QDockWidget* panel) { return vertical ? panel->y() : panel->x(); };
    std::vector<QDockWidget*> docked;
    for (QDockWidget* panel : window->findChildren<QDockWidget*>())
        if (!panel->isFloating() && window->dockWidgetArea(panel) == area)
            docked.push_back(panel);
    std::sort(docked.begin(), docked.end(), [&](const QDockWidget* a, const QDockWidget* b) {
        return across(a) != across(b) ? across(a) < across(b) : along(a) < along(b);
    });
    std::vector<std::vector<QDockWidget*>> lines;
    for (QDockWidget* panel : docked) {
        if (lines.empty() || across(lines.back().front()) != across(panel))
            lines.emplace_back();
        lines.back().push_back(panel);
    }
    return lines;
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
    const Qt::DockWidgetArea area = m_shell->Window()->dockWidgetArea(Panel);
    state.DockSide = static_cast<quint8>(DockSideOf(area).value_or(TKvDockSide::Right));
    const std::vector<std::vector<QDockWidget*>> lines = DockLines(area);
    for (std::size_t row = 0; row < lines.size(); ++row) {
        const auto place = std::find(lines[row].begin(), lines[row].end(), Panel);
        if (place == lines[row].end())
            continue;
        state.DockRow = qint32(row);
        state.DockPosition = qint32(place - lines[row].begin());
    }
    state.DockedWidth = Panel->width();
    state.DockedHeight = Panel->height();
    // Qt keeps one size per panel, whether it shares its line or not.
    state.SplitWidth = Panel->width();
    state.SplitHeight = Panel->height();
    return state;
}

std::vector<QDockWidget*> TKvToolPanelModule::PanelLine() const
{
    for (const std::vector<QDockWidget*>& line : DockLines(m_shell->Window()->dockWidgetArea(Panel)))
        if (std::find(line.begin(), line.end(), Panel) != line.end())
            return line;
    return {};
}

// Puts the panel at the place along its line: the line's panels are laid
// out again in their order with the panel at that place.
void TKvToolPanelModule::PlaceInLine(int position)
{
    QMainWindow* window = m_shell->Window();
    const Qt::DockWidgetArea area = window->dockWidgetArea(Panel);
    std::vector<QDockWidget*> line = PanelLine();
    std::erase(line, Panel);
    if (line.empty())
        return;
    line.insert(line.begin() + std::clamp<std::ptrdiff_t>(position, 0, std::ptrdiff_t(line.size())), Panel);
    const Qt::Orientation along =
        area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea ? Qt::Vertical : Qt::Horizontal;
    for (std::size_t i = 1; i < line.size(); ++i)
        window->splitDockWidget(line[i - 1], line[i], along);
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
    QMainWindow* window = m_shell->Window();
    // Only the sides the panel may dock on count.
    if (state.DockSide <= static_cast<quint8>(TKvDockSide::Right)) {
        const auto side = static_cast<TKvDockSide>(state.DockSide);
        if (Panel->isAreaAllowed(DockAreaOf(side)) && window->dockWidgetArea(Panel) != DockAreaOf(side))
            m_shell->DockPanel(Panel, side);
    }
    // The main window keeps one line of panels on each side (no nesting):
    // the row cannot be other than the first, the place along it can.
    PlaceInLine(state.DockPosition);
    const bool shared = PanelLine().size() > 1;
    m_dockedSize = shared ? QSize(state.SplitWidth, state.SplitHeight) : QSize(state.DockedWidth, state.DockedHeight);
    ApplyDockedSize(this);
    // The main window shares its sides out anew when it is first shown:
    // the size is given again once it is.
    if (!window->isVisible() && KvApplication)
        KvApplication->PostCall(TKvMethod(this, &TKvToolPanelModule::ApplyDockedSize), this);
}

// The width across the panel's side, and, when it shares its line with
// other panels, its length along the line.
void TKvToolPanelModule::ApplyDockedSize(QObject*)
{
    QMainWindow* window = m_shell->Window();
    if (Panel->isFloating())
        return;
    if (m_dockedSize.width() > 0)
        window->resizeDocks({Panel}, {m_dockedSize.width()}, Qt::Horizontal);
    // Qt shares a line out in proportion to the lengths its panels are
    // given: the panel is given its own, the others what is left of the
    // line, in proportion to their lengths now.
    const std::vector<QDockWidget*> line = PanelLine();
    if (line.size() > 1 && m_dockedSize.height() > 0) {
        int total = 0;
        for (const QDockWidget* panel : line)
            total += panel->height();
        const int others = total - Panel->height();
        const int left = std::max(total - m_dockedSize.height(), 1);
        QList<QDockWidget*> panels;
        QList<int> lengths;
        for (QDockWidget* panel : line) {
            panels << panel;
            lengths << (panel == Panel ? m_dockedSize.height()
                                       : std::max(1, int(qint64(panel->height()) * left / std::max(others, 1))));
        }
        window->resizeDocks(panels, lengths, Qt::Vertical);
    }
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
