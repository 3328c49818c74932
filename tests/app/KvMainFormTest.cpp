// The main form: merge operations, language menu and re-captioning, window
// placement, dropped files and pictures by name.
#include "KvMainForm.h"
#include "KvSDF.h"
#include "ShellTestSupport.h"

#include <QBuffer>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

class TClickProbe : public QObject {
public:
    QObject* Sender = nullptr;
    int Clicks = 0;
    void Click(QObject* sender)
    {
        Sender = sender;
        ++Clicks;
    }
};

class KvMainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TMainForm::SetSharedImages(nullptr);
        application->CreateForm(MainForm);
    }
    void TearDown() override { application = nullptr; }

    // Runs the calls posted to the main form so far (and no more).
    void RunOnePostedCall() { QCoreApplication::sendPostedEvents(MainForm, TKvApplication::PostCallEvent); }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    TMainForm* MainForm = nullptr;
    TClickProbe probe;
};

TEST_F(KvMainFormTest, ItemsGoJustBeforeAnItemOfTheSameParentAndAtTheEndOtherwise)
{
    QMenu* file = MainForm->FileMenuItem;
    QAction* separator = MainForm->FileMenuSeparator;
    QAction* exit = MainForm->ExitMenuItem;
    QAction* inView = MainForm->ViewMenuSeparator;

    QAction* beforeSeparator = MainForm->AddMenuItem(QStringLiteral("Open"), QKeySequence(), TKvMethod(), -1, file,
                                                     separator);
    EXPECT_EQ(file->actions(), (QList<QAction*>{beforeSeparator, separator, exit}));

    QAction* foreignBefore = MainForm->AddMenuItem(QStringLiteral("Print"), QKeySequence(), TKvMethod(), -1, file,
                                                   inView);
    QAction* noBefore = MainForm->AddSeparator(file);
    EXPECT_EQ(file->actions(), (QList<QAction*>{beforeSeparator, separator, exit, foreignBefore, noBefore}));

    QMenu* edit = MainForm->AddSubmenu(QStringLiteral("Edit"), nullptr, MainForm->ViewMenuItem->menuAction());
    EXPECT_EQ(MainForm->Menu->actions(),
              (QList<QAction*>{file->menuAction(), edit->menuAction(), MainForm->ViewMenuItem->menuAction(),
                               MainForm->HelpMenuItem->menuAction()}));

    QToolBar* toolbar = MainForm->AddToolbar(QStringLiteral("Standard"));
    QAction* last = nullptr;
    MainForm->AddToolButton(toolbar, nullptr, nullptr, QStringLiteral("Last"), -1, TKvMethod(), last);
    QAction* toolSeparator = MainForm->AddSeparator(toolbar, last);
    QAction* first = nullptr;
    MainForm->AddToolButton(toolbar, nullptr, toolSeparator, QStringLiteral("First"), -1, TKvMethod(), first);
    EXPECT_EQ(toolbar->actions(), (QList<QAction*>{first, toolSeparator, last}));
}

TEST_F(KvMainFormTest, MenuItemsAndToolButtonsCarryCaptionShortcutImageAndHandler)
{
    TKvImageList images(QSize(24, 24));
    images.Add(QIcon());
    QPixmap square(24, 24);
    square.fill(Qt::red);
    images.Add(QIcon(square));
    TMainForm::SetSharedImages(&images);

    QAction* item = MainForm->AddMenuItem(QStringLiteral("Save && Close"), QKeySequence(Qt::CTRL | Qt::Key_S),
                                          TKvMethod(&probe, &TClickProbe::Click), 1, MainForm->FileMenuItem);
    EXPECT_EQ(item->text(), QStringLiteral("Save &&&& Close"));
    EXPECT_EQ(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_FALSE(item->icon().isNull());
    EXPECT_EQ(ImageIndex(item), 1);
    item->trigger();
    EXPECT_EQ(probe.Clicks, 1);
    EXPECT_EQ(probe.Sender, item);

    QToolBar* toolbar = MainForm->AddToolbar(QStringLiteral("Standard"));
    QAction* button = nullptr;
    MainForm->AddToolButton(toolbar, nullptr, nullptr, QStringLiteral("Zoom In"), 1,
                            TKvMethod(&probe, &TClickProbe::Click), button);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Zoom In"));
    EXPECT_EQ(ItemImages(button), &images);
    EXPECT_EQ(toolbar->iconSize(), QSize(24, 24));
    TMainForm::SetSharedImages(nullptr);
}

TEST_F(KvMainFormTest, EachToolbarGetsAToggleItemThatFollowsItsVisibility)
{
    QToolBar* toolbar = MainForm->AddToolbar(QStringLiteral("Standard"));
    ASSERT_EQ(MainForm->ToolbarsMenuItem->actions().size(), 1);
    auto* toggle = qobject_cast<TKvVisibilityToggleItem*>(MainForm->ToolbarsMenuItem->actions().first());
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->text(), QStringLiteral("Standard"));
    EXPECT_TRUE(toggle->isChecked());

    toggle->trigger();
    EXPECT_TRUE(toolbar->isHidden());
    toolbar->show();
    EXPECT_TRUE(toggle->isChecked());
}

// A module with a toolbar that it re-captions in its own Localize, which
// runs after the main form's.
class TToolbarOwner : public QObject {
public:
    QToolBar* Toolbar = nullptr;
    void Localize() { Toolbar->setWindowTitle(LocalStr(162)); }
};

TEST_F(KvMainFormTest, ALanguageSwitchRecaptionsMenusAtOnceAndTheToolbarsMenuOnePostedCallLater)
{
    application->LoadAllSettings();
    TToolbarOwner owner;
    owner.Toolbar = MainForm->AddToolbar(LocalStr(162));
    AddLocalizeHandler(TKvMethod(&owner, &TToolbarOwner::Localize), &owner);
    RunEventLoopFor(10);
    QAction* toggle = MainForm->ToolbarsMenuItem->actions().first();
    ASSERT_EQ(toggle->text(), QStringLiteral("Standard"));

    SetLanguage(1049);
    EXPECT_EQ(MainForm->FileMenuItem->title(), QStringLiteral("Файл"));
    EXPECT_EQ(MainForm->ExitMenuItem->text(), QStringLiteral("Выход"));
    EXPECT_EQ(MainForm->ToolbarsMenuItem->title(), QStringLiteral("Панели инструментов"));
    EXPECT_EQ(toggle->text(), QStringLiteral("Standard"));

    RunOnePostedCall();
    EXPECT_EQ(toggle->text(), QStringLiteral("Стандартная"));
    RemoveLocalizeHandler(TKvMethod(&owner, &TToolbarOwner::Localize));
}

TEST_F(KvMainFormTest, TheLanguageMenuListsEveryLanguageAndChecksTheCurrentOne)
{
    application->LoadAllSettings();
    const QList<QAction*> items = MainForm->LanguageMenuItem->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(GetLanguages().size()));
    ASSERT_GE(items.size(), 2);
    QAction* german = nullptr;
    for (QAction* item : items) {
        EXPECT_EQ(item->isChecked(), item->data().toUInt() == 1033u) << item->text().toStdString();
        if (item->data().toUInt() == 1031u)
            german = item;
    }
    ASSERT_NE(german, nullptr);
    german->trigger();
    EXPECT_EQ(CurrentLanguage(), 1031);
    for (QAction* item : items)
        EXPECT_EQ(item->isChecked(), item == german);
}

// ---------------------------------------------------------------------------
// Window placement

TEST(KvWindowPlacementTest, TheRecordIsElevenLittleEndianNumbersWithExclusiveRightAndBottom)
{
    TKvWindowPlacement placement;
    placement.ShowCmd = TKvWindowPlacement::ShowMaximized;
    placement.NormalPosition = QRect(10, 20, 300, 200);
    const QByteArray bytes = placement.ToBytes();
    ASSERT_EQ(bytes.size(), 44);
    const qint32 expected[] = {44, 0, 3, -1, -1, -1, -1, 10, 20, 310, 220};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(qFromLittleEndian<qint32>(bytes.constData() + 4 * i), expected[i]) << "field " << i;

    const TKvWindowPlacement back = TKvWindowPlacement::FromBytes(bytes);
    EXPECT_EQ(back.Length, 44);
    EXPECT_EQ(back.ShowCmd, 3);
    EXPECT_EQ(back.NormalPosition, placement.NormalPosition);
}

TEST(KvWindowPlacementTest, BadRecordsLeaveTheWindowWhereItIs)
{
    QWidget window;
    window.setGeometry(30, 40, 300, 200);
    TKvWindowPlacement wrongLength;
    wrongLength.Length = 40;
    wrongLength.NormalPosition = QRect(0, 0, 100, 100);
    TKvWindowPlacement empty;
    empty.NormalPosition = QRect(50, 50, 0, 100);
    QByteArray longer = TKvWindowPlacement().ToBytes() + QByteArray(4, '\0');

    for (const TKvWindowPlacement& placement : {wrongLength, empty, TKvWindowPlacement::FromBytes(longer)})
        EXPECT_FALSE(SetWindowPlacement(window, placement));
    EXPECT_EQ(window.geometry(), QRect(30, 40, 300, 200));
}

TEST(KvWindowPlacementTest, AWindowSavedOffEveryScreenComesBackOntoThePrimaryScreen)
{
    QWidget window;
    TKvWindowPlacement placement;
    placement.NormalPosition = QRect(-5000, 9000, 400, 300);
    ASSERT_TRUE(SetWindowPlacement(window, placement));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(available.contains(window.geometry().topLeft()));
    EXPECT_EQ(window.size(), QSize(400, 300).boundedTo(available.size()));
}

TEST_F(KvMainFormTest, PlacementAndLanguageComeBackFromTheSettings)
{
    struct Case {
        const char* Name;
        bool Maximized;
    };
    for (const Case& c : {Case{"normal", false}, Case{"maximised", true}}) {
        const QRect normal(40, 50, 420, 310);
        MainForm->setWindowState(Qt::WindowNoState);
        MainForm->setGeometry(normal);
        if (c.Maximized)
            MainForm->setWindowState(Qt::WindowMaximized);
        MainForm->show();
        SetLanguage(1031);

        QBuffer stream;
        stream.open(QIODevice::ReadWrite);
        {
            TKvSDFWriter writer(&stream, false);
            MainForm->SaveSettings(writer);
        }
        SetLanguage(1033);

        TMainForm restarted;
        stream.seek(0);
        TKvSDFReader reader(&stream, false);
        restarted.LoadSettings(reader);
        EXPECT_EQ(CurrentLanguage(), 1031) << c.Name;
        EXPECT_EQ(restarted.isMaximized(), c.Maximized) << c.Name;
        restarted.show();
        EXPECT_EQ(restarted.normalGeometry(), normal) << c.Name;
        EXPECT_EQ(restarted.isMaximized(), c.Maximized) << c.Name;
        EXPECT_EQ(reader.CurrentNode(), nullptr) << c.Name;
    }
}

// ---------------------------------------------------------------------------
// Dropped files

TEST_F(KvMainFormTest, OnlyTheFirstDroppedFileIsOpenedAndOnlyWhenItExists)
{
    QTemporaryDir dir;
    QStringList files;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        files << dir.filePath(QLatin1String(name));
        QFile file(files.last());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString missing = dir.filePath(QStringLiteral("missing.png"));

    QStringList opened;
    MainForm->OnDropFile = [&](const QString& name) { opened << name; };
    auto drop = [&](const QStringList& names) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& name : names)
            urls << QUrl::fromLocalFile(name);
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(MainForm, &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(MainForm, &drop);
        RunEventLoopFor(10);
    };

    drop(files);
    EXPECT_EQ(opened, QStringList{files.first()});
    drop({missing, files.at(1)});
    drop({dir.path()});
    EXPECT_EQ(opened, QStringList{files.first()});
}

TEST_F(KvMainFormTest, F10OpensTheFirstMenuFromTheKeyboard)
{
    MainForm->show();
    QAction* keyboardMenu = nullptr;
    for (QAction* action : MainForm->actions())
        if (action->shortcut() == QKeySequence(Qt::Key_F10))
            keyboardMenu = action;
    ASSERT_NE(keyboardMenu, nullptr);
    keyboardMenu->trigger();
    EXPECT_EQ(MainForm->Menu->activeAction(), MainForm->FileMenuItem->menuAction());
    MainForm->FileMenuItem->close();
}

// ---------------------------------------------------------------------------
// Pictures by name

TEST_F(KvMainFormTest, APictureNameWithoutAPictureGivesNoImage)
{
    const int count = MainForm->Images()->Count();
    EXPECT_EQ(MainForm->AddResourceImage(QStringLiteral("NoSuchPicture")), -1);
    EXPECT_EQ(MainForm->Images()->Count(), count);

    const int index = MainForm->AddResourceImage(QStringLiteral("Paste"));
    EXPECT_EQ(index, count);
    EXPECT_FALSE(MainForm->Images()->Icon(index).isNull());
}

} // namespace
