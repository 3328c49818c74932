// The tool panel: its saved state, its View menu item, wrapping buttons and
// the tools' option frames.
#include "KvMainForm.h"
#include "KvPanelToolbar.h"
#include "KvSDF.h"
#include "KvToolPanel.h"
#include "ShellTestSupport.h"

#include <QBuffer>
#include <QDockWidget>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

// ---------------------------------------------------------------------------
// Saved state record

TEST(KvPanelStateTest, TheRecordIs47BytesWithTheFieldsAtTheirOffsets)
{
    TKvPanelState docked;
    docked.Visible = true;
    docked.DockSide = 2;
    docked.DockPosition = 1;
    docked.DockRow = 2;
    docked.DockedWidth = 272;
    docked.DockedHeight = 500;
    docked.SplitWidth = 260;
    docked.SplitHeight = 480;
    const QByteArray bytes = docked.ToBytes();
    ASSERT_EQ(bytes.size(), 47);
    auto at = [&](int offset) { return qFromLittleEndian<qint32>(bytes.constData() + offset); };
    EXPECT_EQ(at(0), 47);
    EXPECT_EQ(bytes[4], 1);
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(bytes[22], 2);
    const std::pair<int, qint32> fields[] = {{23, 1}, {27, 2}, {31, 272}, {35, 500}, {39, 260}, {43, 480}};
    for (const auto& [offset, value] : fields)
        EXPECT_EQ(at(offset), value) << "offset " << offset;

    TKvPanelState floating;
    floating.Visible = false;
    floating.Floating = true;
    floating.FloatingPosition = QPoint(-10, 20);
    floating.FloatingWidth = 300;
    floating.FloatingHeight = 400;
    const QByteArray floatingBytes = floating.ToBytes();
    TKvPanelState back;
    ASSERT_TRUE(TKvPanelState::FromBytes(floatingBytes, back));
    EXPECT_FALSE(back.Visible);
    EXPECT_TRUE(back.Floating);
    EXPECT_EQ(back.FloatingPosition, QPoint(-10, 20));
    EXPECT_EQ(back.FloatingWidth, 300);
    EXPECT_EQ(back.FloatingHeight, 400);
}

TEST(KvPanelStateTest, RecordsOfAnotherSizeAreRefused)
{
    const QByteArray good = TKvPanelState().ToBytes();
    QByteArray wrongSizeField = good;
    qToLittleEndian<qint32>(46, wrongSizeField.data());
    TKvPanelState state;
    for (const QByteArray& bytes : {good.left(46), good + QByteArray(1, '\0'), wrongSizeField})
        EXPECT_FALSE(TKvPanelState::FromBytes(bytes, state)) << bytes.size();
    EXPECT_TRUE(TKvPanelState::FromBytes(good, state));
}

// ---------------------------------------------------------------------------
// The panel in a main form

class KvToolPanelTest : public ::testing::Test {
protected:
    void SetUp() override { Start(); }
    void TearDown() override { application = nullptr; }

    // A program with a main form and the tool panel, its settings loaded
    // from `settings`.
    void Start(const QByteArray& settings = QByteArray())
    {
        application = nullptr;
        application = std::make_unique<TKvApplication>();
        TMainForm::SetSharedImages(nullptr);
        application->CreateForm(MainForm);
        application->CreateComponent(ToolPanelModule, MainForm);
        ToolPanelModule->Toolbar->SetWrapping(true);
        if (withNeighbour) {
            // Another module's panel, docked on the right after the tool panel.
            Neighbour = MainForm->CreateDockablePanel();
            Neighbour->setObjectName(QStringLiteral("Neighbour"));
            Neighbour->setWidget(new QLabel(QStringLiteral("Neighbour")));
            MainForm->DockPanel(Neighbour, TKvDockSide::Right);
        }
        if (!settings.isEmpty()) {
            QBuffer stream;
            stream.setData(settings);
            stream.open(QIODevice::ReadOnly);
            TKvSDFReader reader(&stream, false);
            MainForm->LoadSettings(reader);
            ToolPanelModule->LoadSettings(reader);
        }
        MainForm->Initialize();
        ToolPanelModule->Initialize();
        MainForm->show();
        RunEventLoopFor(10);
    }
    QByteArray Settings() const
    {
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        TKvSDFWriter writer(&stream, false);
        MainForm->SaveSettings(writer);
        ToolPanelModule->SaveSettings(writer);
        return stream.data();
    }
    static QByteArray PanelNode(const QByteArray& element)
    {
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        TKvSDFWriter writer(&stream, false);
        writer.BeginNode(1, TKvToolPanelModule::SettingsGuid);
        writer.WriteBuffer(1, element);
        writer.EndNode();
        return stream.data();
    }
    Qt::DockWidgetArea PanelArea() { return MainForm->dockWidgetArea(ToolPanelModule->Panel); }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    std::unique_ptr<TKvApplication> application;
    TMainForm* MainForm = nullptr;
    TKvToolPanelModule* ToolPanelModule = nullptr;
    bool withNeighbour = false;
    QDockWidget* Neighbour = nullptr;
};

TEST_F(KvToolPanelTest, ThePanelStartsDockedOnTheRightAndVisible)
{
    EXPECT_EQ(PanelArea(), Qt::RightDockWidgetArea);
    EXPECT_TRUE(ToolPanelModule->PanelVisible());
    EXPECT_EQ(ToolPanelModule->Panel->windowTitle(), QStringLiteral("Tools"));
    // The View menu item sits just before Toolbars.
    const QList<QAction*> view = MainForm->ViewMenuItem->actions();
    const qsizetype index = view.indexOf(ToolPanelModule->VisibleMenuItem);
    ASSERT_GE(index, 0);
    EXPECT_EQ(view.at(index + 1), MainForm->ToolbarsMenuItem->menuAction());
}

TEST_F(KvToolPanelTest, TheViewMenuItemTogglesThePanelAndIsCheckedWhileItShows)
{
    ToolPanelModule->UpdateControls();
    EXPECT_TRUE(ToolPanelModule->VisibleMenuItem->isChecked());
    ToolPanelModule->VisibleMenuItem->trigger();
    ToolPanelModule->UpdateControls();
    EXPECT_FALSE(ToolPanelModule->PanelVisible());
    EXPECT_FALSE(ToolPanelModule->VisibleMenuItem->isChecked());
}

TEST_F(KvToolPanelTest, StateAfterARestart)
{
    struct Case {
        const char* Name;
        std::function<void()> Change;
        bool Visible;
        Qt::DockWidgetArea Area;
    };
    const Case cases[] = {
        {"untouched", [] {}, true, Qt::RightDockWidgetArea},
        {"hidden through the View menu", [this] { ToolPanelModule->VisibleMenuItem->trigger(); }, false,
         Qt::RightDockWidgetArea},
        {"docked on the left", [this] { MainForm->DockPanel(ToolPanelModule->Panel, MainForm->LeftMultiDock); }, true,
         Qt::LeftDockWidgetArea},
    };
    for (const Case& c : cases) {
        Start();
        c.Change();
        const QByteArray settings = Settings();
        Start(settings);
        EXPECT_EQ(ToolPanelModule->PanelVisible(), c.Visible) << c.Name;
        EXPECT_EQ(PanelArea(), c.Area) << c.Name;
    }
}

TEST_F(KvToolPanelTest, ADockedWidthComesBack)
{
    TKvPanelState state = ToolPanelModule->CapturePanelState();
    state.DockedWidth = 310;
    Start(PanelNode(state.ToBytes()));
    EXPECT_EQ(ToolPanelModule->Panel->width(), 310);
}

// Sharing its side with another panel, the tool panel comes back at its
// place along the side and with its height, not only on its side.
TEST_F(KvToolPanelTest, ThePlaceAndHeightBesideAnotherPanelComeBack)
{
    withNeighbour = true;
    Start();
    ASSERT_LT(ToolPanelModule->Panel->y(), Neighbour->y());
    MainForm->splitDockWidget(Neighbour, ToolPanelModule->Panel, Qt::Vertical);
    MainForm->resizeDocks({ToolPanelModule->Panel}, {380}, Qt::Vertical);
    RunEventLoopFor(10);
    ASSERT_GT(ToolPanelModule->Panel->y(), Neighbour->y());
    const int height = ToolPanelModule->Panel->height();
    const TKvPanelState saved = ToolPanelModule->CapturePanelState();
    EXPECT_EQ(saved.DockPosition, 1);
    EXPECT_EQ(saved.DockRow, 0);
    EXPECT_EQ(saved.DockedHeight, height);
    EXPECT_EQ(saved.SplitHeight, height);

    Start(Settings());
    RunEventLoopFor(10);
    EXPECT_GT(ToolPanelModule->Panel->y(), Neighbour->y());
    EXPECT_EQ(ToolPanelModule->Panel->height(), height);
}

TEST_F(KvToolPanelTest, ThePanelHasABorderOf8Pixels)
{
    const QMargins margins = ToolPanelModule->Panel->widget()->layout()->contentsMargins();
    EXPECT_EQ(margins, QMargins(8, 8, 8, 8));
}

TEST_F(KvToolPanelTest, UnusableRecordsKeepThePanelDockedOnTheRightAndVisible)
{
    TKvPanelState hidden;
    hidden.Visible = false;
    hidden.DockSide = 2;
    TKvPanelState floating;
    floating.Floating = true;
    floating.FloatingPosition = QPoint(100, 100);
    floating.FloatingWidth = 200;
    floating.FloatingHeight = 300;
    TKvPanelState onTop;
    onTop.DockSide = 0;
    TKvPanelState unknownSide;
    unknownSide.DockSide = 9;

    const std::pair<const char*, QByteArray> cases[] = {
        {"too short", hidden.ToBytes().left(40)},
        {"too long", hidden.ToBytes() + QByteArray(3, '\0')},
        {"floating, which the panel cannot", floating.ToBytes()},
        {"on a side the panel cannot dock on", onTop.ToBytes()},
        {"on no side at all", unknownSide.ToBytes()},
    };
    for (const auto& [name, record] : cases) {
        Start(PanelNode(record));
        EXPECT_TRUE(ToolPanelModule->PanelVisible()) << name;
        EXPECT_FALSE(ToolPanelModule->Panel->isFloating()) << name;
        EXPECT_EQ(PanelArea(), Qt::RightDockWidgetArea) << name;
    }
}

// ---------------------------------------------------------------------------
// Buttons and frames

// An option frame that checks, while constructing, that the reference
// already holds it, and counts its captioning.
class TOptionsFrame : public TKvFrame {
public:
    static TOptionsFrame* Instance;
    static bool ReferenceSetInConstructor;
    explicit TOptionsFrame(QWidget* parent) : TKvFrame(parent)
    {
        ReferenceSetInConstructor = Instance == this;
        new QLabel(QStringLiteral("Options"), this);
        setMinimumHeight(100);
    }
    int Localizations = 0;
    void Localize() override { ++Localizations; }
};
TOptionsFrame* TOptionsFrame::Instance = nullptr;
bool TOptionsFrame::ReferenceSetInConstructor = false;

TEST_F(KvToolPanelTest, AToolFrameIsCreatedInItsReferenceInsideThePanelAndInitialisedAtOnce)
{
    ToolPanelModule->AddToolFrame(TOptionsFrame::Instance);
    TOptionsFrame* frame = TOptionsFrame::Instance;
    EXPECT_TRUE(TOptionsFrame::ReferenceSetInConstructor);
    EXPECT_TRUE(ToolPanelModule->Panel->isAncestorOf(frame));
    EXPECT_TRUE(frame->ControlsEnabled());
    EXPECT_EQ(frame->Localizations, 1);
}

TEST_F(KvToolPanelTest, ManyButtonsWrapIntoRowsAndTheFrameBelowMovesDown)
{
    ToolPanelModule->AddToolFrame(TOptionsFrame::Instance);
    TOptionsFrame* options = TOptionsFrame::Instance;
    TKvPanelToolbar* toolbar = ToolPanelModule->Toolbar;
    std::vector<QAction*> buttons(12, nullptr);
    for (size_t i = 0; i < buttons.size(); ++i)
        MainForm->AddToolButton(toolbar, nullptr, nullptr, QStringLiteral("Tool %1").arg(i), -1, TKvMethod(),
                                buttons[i]);
    RunEventLoopFor(10);

    const int rowHeight = toolbar->ButtonOf(buttons[0])->height();
    const int rows = toolbar->height() / rowHeight;
    EXPECT_GT(rows, 1);
    EXPECT_EQ(ToolPanelModule->ToolFrame->height(), toolbar->height() + 6);
    auto optionsTop = [&] { return options->mapTo(ToolPanelModule->Panel, QPoint(0, 0)).y(); };
    auto buttonsBottom = [&] {
        return ToolPanelModule->ToolFrame->mapTo(ToolPanelModule->Panel, QPoint(0, 0)).y() +
               ToolPanelModule->ToolFrame->height();
    };
    EXPECT_GE(optionsTop(), buttonsBottom());
    for (QAction* button : buttons)
        EXPECT_LE(toolbar->ButtonOf(button)->geometry().right(), toolbar->width() - 1);

    // Hidden buttons take no place: the rows shrink and the frame moves up.
    const int topBefore = optionsTop();
    for (size_t i = 2; i < buttons.size(); ++i)
        buttons[i]->setVisible(false);
    RunEventLoopFor(10);
    EXPECT_LT(toolbar->height() / rowHeight, rows);
    EXPECT_LT(optionsTop(), topBefore);
    EXPECT_GE(optionsTop(), buttonsBottom());
}

TEST_F(KvToolPanelTest, TheFrameBroughtToFrontIsTheOnlyOneShown)
{
    TKvFrame* first = nullptr;
    TKvFrame* second = nullptr;
    ToolPanelModule->AddToolFrame(first);
    ToolPanelModule->AddToolFrame(second);
    ToolPanelModule->SetPanelVisible(true);
    ToolPanelModule->BringFrameToFront(second);
    EXPECT_FALSE(first->isVisibleTo(ToolPanelModule->Panel));
    EXPECT_TRUE(second->isVisibleTo(ToolPanelModule->Panel));
    ToolPanelModule->BringFrameToFront(first);
    EXPECT_TRUE(first->isVisibleTo(ToolPanelModule->Panel));
    EXPECT_FALSE(second->isVisibleTo(ToolPanelModule->Panel));
}

TEST_F(KvToolPanelTest, SetPanelWidthFixesTheWidthButNotBelowTheMinimum)
{
    ToolPanelModule->SetPanelWidth(272);
    RunEventLoopFor(10);
    QWidget* client = ToolPanelModule->Panel->widget();
    EXPECT_EQ(client->minimumWidth(), 272);
    EXPECT_EQ(client->maximumWidth(), 272);
    EXPECT_EQ(client->width(), 272);

    ToolPanelModule->SetPanelWidth(150);
    EXPECT_EQ(client->minimumWidth(), 272);
    EXPECT_EQ(client->maximumWidth(), 272);
}

} // namespace
