// The application object: components, idle dispatch, posted calls, message
// boxes, the configuration file; and the frames' ControlsEnabled.
#include "FileSizeLimit.h"
#include "KvForms.h"
#include "KvSDF.h"
#include "ShellTestSupport.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUuid>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A component that records the calls the application makes on it into a
// shared journal, and keeps one integer setting in its own node.
class TJournalComponent : public QObject, public IKvAppComponent {
public:
    TJournalComponent(QString name, QStringList& journal, QUuid guid)
        : m_name(std::move(name)), m_journal(journal), Guid(guid)
    {
    }

    void Initialize() override { m_journal << m_name + QStringLiteral(".Initialize"); }
    void Start() override { m_journal << m_name + QStringLiteral(".Start"); }
    void LoadSettings(TKvSDFReader& reader) override
    {
        m_journal << m_name + QStringLiteral(".LoadSettings");
        if (!reader.EnterNode(1, Guid))
            return;
        reader.ReadInteger(2, Value);
        if (LeaveNode)
            reader.LeaveNode();
    }
    void SaveSettings(TKvSDFWriter& writer) override
    {
        if (!Saves)
            return;
        writer.BeginNode(1, Guid);
        writer.WriteInteger(2, Value);
        if (!Padding.isEmpty())
            writer.WriteBuffer(3, Padding);
        writer.EndNode();
    }

    QString m_name;
    QStringList& m_journal;
    QUuid Guid;
    qint32 Value = 0;
    bool Saves = true;
    bool LeaveNode = true;
    QByteArray Padding;
};

class TPlainForm : public TKvForm {
public:
    int PostCallEvents = 0;
    int Localizations = 0;
    void Localize() override { ++Localizations; }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == TKvApplication::PostCallEvent)
            ++PostCallEvents;
        return TKvForm::event(event);
    }
};

class KvApplicationTest : public ::testing::Test {
protected:
    TTempUserFolders folders;
    TTestLocalizer localizer;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
};

// ---------------------------------------------------------------------------
// Components

// Records, while constructing, whether the global reference already held it.
class TSelfAwareComponent : public QObject {
public:
    static TSelfAwareComponent* Instance;
    static bool ReferenceSetInConstructor;
    TSelfAwareComponent() { ReferenceSetInConstructor = Instance == this; }
};
TSelfAwareComponent* TSelfAwareComponent::Instance = nullptr;
bool TSelfAwareComponent::ReferenceSetInConstructor = false;

class TFailingComponent : public QObject {
public:
    TFailingComponent() { throw std::runtime_error("constructor failed"); }
};

TEST_F(KvApplicationTest, CreateComponentSetsTheReferenceBeforeTheConstructorRunsAndClearsItOnFailure)
{
    application->CreateComponent(TSelfAwareComponent::Instance);
    EXPECT_TRUE(TSelfAwareComponent::ReferenceSetInConstructor);
    ASSERT_EQ(application->ComponentCount(), 1);
    EXPECT_EQ(application->Components(0), TSelfAwareComponent::Instance);

    TFailingComponent* failing = reinterpret_cast<TFailingComponent*>(0x1);
    EXPECT_THROW(application->CreateComponent(failing), std::runtime_error);
    EXPECT_EQ(failing, nullptr);
    EXPECT_EQ(application->ComponentCount(), 1);
}

// Creates another component while it is being constructed.
class TOuterComponent : public QObject {
public:
    static QObject* Inner;
    TOuterComponent() { KvApplication->CreateComponent(Inner); }
};
QObject* TOuterComponent::Inner = nullptr;

TEST_F(KvApplicationTest, ComponentsAreInTheOrderTheirConstructionStartedAndLeaveTheListWhenFreed)
{
    auto* first = application->CreateComponent<QObject>();
    TOuterComponent* outer = nullptr;
    application->CreateComponent(outer);
    ASSERT_EQ(application->ComponentCount(), 3);
    EXPECT_EQ(application->Components(0), first);
    EXPECT_EQ(application->Components(1), outer);
    EXPECT_EQ(application->Components(2), TOuterComponent::Inner);

    delete outer;
    EXPECT_EQ(application->ComponentCount(), 2);
    EXPECT_EQ(application->Components(1), TOuterComponent::Inner);
}

TEST_F(KvApplicationTest, TheFirstWindowCreatedWithCreateFormIsTheMainForm)
{
    QObject* dataModule = nullptr;
    TPlainForm* first = nullptr;
    TPlainForm* second = nullptr;
    application->CreateForm(dataModule);
    EXPECT_EQ(application->MainForm(), nullptr);
    application->CreateForm(first);
    application->CreateForm(second);
    EXPECT_EQ(application->MainForm(), first);
}

// ---------------------------------------------------------------------------
// Idle dispatch

class TIdleProbe : public QObject {
public:
    QStringList Calls;
    std::function<void()> OnA;
    void A()
    {
        Calls << QStringLiteral("A");
        if (OnA)
            OnA();
    }
    void B() { Calls << QStringLiteral("B"); }
    void C() { Calls << QStringLiteral("C"); }
};

// Runs the loop until it is about to wait for events with the condition
// holding: whatever the idle pass of that moment did is done.
template <typename Condition>
bool RunUntilBlockingWith(Condition condition)
{
    QEventLoop loop;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                     [&] {
                         if (condition())
                             loop.exit(0);
                     });
    QTimer::singleShot(60000, &loop, [&] { loop.exit(1); }); // a guard against hanging
    return loop.exec() == 0;
}

// Lets the loop run until an idle pass happened.
void RunUntilIdlePass(const QStringList& calls)
{
    const qsizetype before = calls.size();
    ASSERT_TRUE(RunUntilBlockingWith([&] { return calls.size() > before; }));
}

TEST_F(KvApplicationTest, IdleHandlersRunInListOrderAndOnesAddedDuringAPassWaitForTheNext)
{
    TIdleProbe probe;
    application->AddIdleHandler(TKvMethod(&probe, &TIdleProbe::A), &probe);
    application->AddIdleHandler(TKvMethod(&probe, &TIdleProbe::B), &probe);
    probe.OnA = [&] {
        application->AddIdleHandler(TKvMethod(&probe, &TIdleProbe::C), &probe);
        probe.OnA = nullptr;
    };
    RunUntilIdlePass(probe.Calls);
    EXPECT_EQ(probe.Calls, (QStringList{"A", "B"}));

    probe.Calls.clear();
    QCoreApplication::postEvent(&probe, new QEvent(QEvent::User));
    RunUntilIdlePass(probe.Calls);
    EXPECT_EQ(probe.Calls.mid(0, 3), (QStringList{"A", "B", "C"}));
}

TEST_F(KvApplicationTest, OnIdleRunsFirstAndCanHoldBackTheHandlers)
{
    TIdleProbe probe;
    application->AddIdleHandler(TKvMethod(&probe, &TIdleProbe::B), &probe);
    bool holdBack = true;
    application->OnIdle = [&](QObject* sender, bool& done) {
        EXPECT_EQ(sender, application.get());
        probe.Calls << QStringLiteral("OnIdle");
        done = !holdBack;
    };
    RunUntilIdlePass(probe.Calls);
    EXPECT_EQ(probe.Calls, QStringList{"OnIdle"});

    holdBack = false;
    probe.Calls.clear();
    QCoreApplication::postEvent(&probe, new QEvent(QEvent::User));
    RunUntilIdlePass(probe.Calls);
    EXPECT_EQ(probe.Calls.mid(0, 2), (QStringList{"OnIdle", "B"}));
}

// A handler that repaints and re-captions a window on every call; notes
// what the window last painted and the events it was sent.
class TRepaintingHandler : public QObject {
public:
    TRepaintingHandler() { Label.installEventFilter(this); }

    QLabel Label;
    int Calls = 0;
    int Events = 0;
    QString Painted;
    void UpdateControls()
    {
        ++Calls;
        Label.setText(QString::number(Calls));
        Label.update();
    }
    // The handler's last repaint is done.
    bool Shown() const { return Calls > 0 && Painted == QString::number(Calls); }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            ++Events;
        return QObject::event(event);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            Painted = Label.text();
        return false;
    }
};

// What a repaint brings (the update request, the paint) is no activity: a
// handler that repaints gets one pass per batch of processed events, and a
// loop without events stays blocked instead of calling it again and again.
TEST_F(KvApplicationTest, AHandlerThatRepaintsDoesNotKeepAQuietLoopBusy)
{
    TRepaintingHandler handler;
    handler.Label.show();
    application->AddIdleHandler(TKvMethod(&handler, &TRepaintingHandler::UpdateControls), &handler);
    ASSERT_TRUE(RunUntilBlockingWith([&] { return handler.Shown(); }));

    for (int batch = 1; batch <= 5; ++batch) {
        const int before = handler.Calls;
        QCoreApplication::postEvent(&handler, new QEvent(QEvent::User));
        // A busy loop would call the handler again at every wait, and its
        // latest repaint would never be the one shown when the loop blocks.
        ASSERT_TRUE(RunUntilBlockingWith([&] { return handler.Events == batch && handler.Shown(); })) << batch;
        EXPECT_EQ(handler.Calls, before + 1) << batch;
    }
}

// ---------------------------------------------------------------------------
// Posted calls

class TCallProbe : public QObject {
public:
    QStringList Calls;
    TPlainForm* Form = nullptr;
    std::vector<int> EventsAtCall;
    int NestedRuns = 0;

    void Record(const QString& name)
    {
        Calls << name;
        EventsAtCall.push_back(Form ? Form->PostCallEvents : -1);
    }
    void First()
    {
        Record(QStringLiteral("First"));
        // Had a second call event been posted already, it would run now,
        // inside this one.
        const qsizetype before = Calls.size();
        QCoreApplication::sendPostedEvents(Form, TKvApplication::PostCallEvent);
        NestedRuns += static_cast<int>(Calls.size() - before);
    }
    void Second() { Record(QStringLiteral("Second")); }
    void Third() { Record(QStringLiteral("Third")); }
    void Repost()
    {
        Record(QStringLiteral("Repost"));
        KvApplication->PostCall(TKvMethod(this, &TCallProbe::Reposted), this);
    }
    void Reposted() { Record(QStringLiteral("Reposted")); }
};

class KvPostCallTest : public KvApplicationTest {
protected:
    void CreateMainForm()
    {
        application->CreateForm(form);
        probe.Form = form;
    }
    void RunPostedCalls()
    {
        for (int i = 0; i < 20; ++i)
            QCoreApplication::sendPostedEvents(form, TKvApplication::PostCallEvent);
    }

    TPlainForm* form = nullptr;
    TCallProbe probe;
};

TEST_F(KvPostCallTest, CallsRunInPostingOrderOnePerEventWithOneEventPendingAtATime)
{
    CreateMainForm();
    application->PostCall(TKvMethod(&probe, &TCallProbe::First), &probe);
    application->PostCall(TKvMethod(&probe, &TCallProbe::Second), &probe);
    application->PostCall(TKvMethod(&probe, &TCallProbe::Third), &probe);
    EXPECT_TRUE(probe.Calls.isEmpty());

    RunPostedCalls();
    EXPECT_EQ(probe.Calls, (QStringList{"First", "Second", "Third"}));
    EXPECT_EQ(probe.NestedRuns, 0);
    EXPECT_EQ(probe.EventsAtCall, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(form->PostCallEvents, 3);
}

TEST_F(KvPostCallTest, ACallPostedFromACallRunsAfterTheOnesAlreadyQueued)
{
    CreateMainForm();
    application->PostCall(TKvMethod(&probe, &TCallProbe::Repost), &probe);
    application->PostCall(TKvMethod(&probe, &TCallProbe::Second), &probe);
    application->PostCall(TKvMethod(&probe, &TCallProbe::Third), &probe);
    RunPostedCalls();
    EXPECT_EQ(probe.Calls, (QStringList{"Repost", "Second", "Third", "Reposted"}));
}

TEST_F(KvPostCallTest, ACallPostedBeforeTheMainFormExistsNeverRuns)
{
    application->PostCall(TKvMethod(&probe, &TCallProbe::Second), &probe);
    CreateMainForm();
    RunPostedCalls();
    RunEventLoopFor(20);
    EXPECT_TRUE(probe.Calls.isEmpty());

    application->PostCall(TKvMethod(&probe, &TCallProbe::Third), &probe);
    RunPostedCalls();
    EXPECT_EQ(probe.Calls, QStringList{"Third"});
}

// ---------------------------------------------------------------------------
// Forms and frames

TEST_F(KvApplicationTest, AFormCreatedByTheApplicationAfterStartUpIsNotInitialised)
{
    TPlainForm* before = nullptr;
    application->CreateForm(before);
    application->LoadAllSettings();
    EXPECT_EQ(before->Localizations, 1);

    TPlainForm* after = nullptr;
    application->CreateForm(after);
    SetLanguage(1031);
    EXPECT_EQ(before->Localizations, 2);
    EXPECT_EQ(after->Localizations, 0);

    auto* owned = NewInitialized<TPlainForm>();
    EXPECT_EQ(owned->Localizations, 1);
    delete owned;
    // A freed form is no longer called.
    SetLanguage(1033);
}

TEST_F(KvApplicationTest, ControlsEnabledReachesNestedControlsOnlyWhenTheValueChanges)
{
    TKvFrame frame;
    auto* box = new QGroupBox(&frame);
    auto* nested = new QPushButton(box);
    auto* direct = new QPushButton(&frame);
    nested->setEnabled(false);

    // Initialize makes it true without touching any control.
    EXPECT_FALSE(frame.ControlsEnabled());
    frame.Initialize();
    EXPECT_TRUE(frame.ControlsEnabled());
    EXPECT_FALSE(nested->isEnabled());

    frame.SetControlsEnabled(false);
    EXPECT_FALSE(nested->isEnabled());
    EXPECT_FALSE(direct->isEnabled());
    EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(frame.isEnabled());

    // The same value again leaves the controls alone.
    direct->setEnabled(true);
    frame.SetControlsEnabled(false);
    EXPECT_TRUE(direct->isEnabled());

    frame.SetControlsEnabled(true);
    EXPECT_TRUE(nested->isEnabled());
    EXPECT_TRUE(box->isEnabled());
}

// ---------------------------------------------------------------------------
// Message boxes

TEST(KvMessageBoxTest, WindowsFlagsMapOntoButtonsDefaultButtonAndIcon)
{
    using B = QMessageBox;
    struct Case {
        unsigned Flags;
        QMessageBox::StandardButtons Buttons;
        QMessageBox::StandardButton Default;
        QMessageBox::Icon Icon;
    };
    const Case cases[] = {
        {0, B::Ok, B::Ok, B::NoIcon},
        {4, B::Yes | B::No, B::Yes, B::NoIcon},
        {16, B::Ok, B::Ok, B::Critical},
        {36, B::Yes | B::No, B::Yes, B::Question},
        {51, B::Yes | B::No | B::Cancel, B::Yes, B::Warning},
        {52, B::Yes | B::No, B::Yes, B::Warning},
        {64, B::Ok, B::Ok, B::Information},
        {1, B::Ok | B::Cancel, B::Ok, B::NoIcon},
        {3 + 256, B::Yes | B::No | B::Cancel, B::No, B::NoIcon},
        {4 + 512, B::Yes | B::No, B::Yes, B::NoIcon},
    };
    for (const Case& c : cases) {
        const TKvMessageBoxLayout layout = MessageBoxLayout(c.Flags);
        EXPECT_EQ(layout.Buttons, c.Buttons) << "flags " << c.Flags;
        EXPECT_EQ(layout.DefaultButton, c.Default) << "flags " << c.Flags;
        EXPECT_EQ(layout.Icon, c.Icon) << "flags " << c.Flags;
    }
}

TEST(KvMessageBoxTest, ButtonsMapBackOntoTheWindowsResultNumbers)
{
    const std::pair<QMessageBox::StandardButton, int> cases[] = {
        {QMessageBox::Ok, 1},  {QMessageBox::Cancel, 2}, {QMessageBox::Abort, 3},  {QMessageBox::Retry, 4},
        {QMessageBox::Ignore, 5}, {QMessageBox::Yes, 6}, {QMessageBox::No, 7}, {QMessageBox::NoButton, 2},
    };
    for (const auto& [button, result] : cases)
        EXPECT_EQ(MessageBoxResult(button), result) << "button " << button;
}

TEST_F(KvApplicationTest, MessageBoxIsCaptionedWithTheTitleAndReturnsTheButtonPressed)
{
    application->SetTitle(QStringLiteral("Orvane"));
    QString caption;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(application->MessageBox(QStringLiteral("Replace it?"), 36), idNo);
    EXPECT_EQ(caption, QStringLiteral("Orvane"));
}

TEST_F(KvApplicationTest, MessageBoxShowsItsTextAsItIsNeverAsMarkup)
{
    // A file name may look like markup; the message names it as it is.
    const QString text = QStringLiteral("Cannot open /home/me/<b>holiday</b> &amp; more.jpg.");
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (const QLabel* label : box->findChildren<QLabel*>())
            if (label->text() == text && label->textFormat() == Qt::PlainText)
                shown = label->text();
        box->button(QMessageBox::Ok)->click();
    });
    application->MessageBox(text, 16);
    EXPECT_EQ(shown, text);
}

TEST_F(KvApplicationTest, StandardButtonsFollowTheChosenLanguage)
{
    application->Initialize();
    SetLanguage(1031);
    QMessageBox german(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(german.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Nein"));
    SetLanguage(1033);
    QMessageBox english(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(english.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("No"));
}

TEST_F(KvApplicationTest, SettingTheTitleFiresOnTitleChange)
{
    struct TListener : QObject {
        QString Seen;
        void TitleChanged(QObject* sender) { Seen = static_cast<TKvApplication*>(sender)->Title(); }
    } listener;
    application->OnTitleChange = TKvMethod(&listener, &TListener::TitleChanged);
    application->SetTitle(QStringLiteral("Orvane"));
    EXPECT_EQ(listener.Seen, QStringLiteral("Orvane"));
}

// ---------------------------------------------------------------------------
// Configuration file

// The application creates components by class; these hold the journal.
QStringList* g_journal = nullptr;
int g_created = 0;

class TRecordedComponent : public TJournalComponent {
public:
    static inline std::vector<QUuid> Guids;
    TRecordedComponent()
        : TJournalComponent(QStringLiteral("C%1").arg(g_created), *g_journal,
                            Guids.at(static_cast<size_t>(g_created)))
    {
        ++g_created;
    }
};

class KvConfigurationTest : public KvApplicationTest {
protected:
    void SetUp() override
    {
        g_journal = &journal;
        g_created = 0;
        TRecordedComponent::Guids = {QUuid::createUuid(), QUuid::createUuid()};
    }
    void TearDown() override { g_journal = nullptr; }

    // A run of the program's passes over two fresh components.
    std::pair<TRecordedComponent*, TRecordedComponent*> CreateComponents()
    {
        g_created = 0;
        TRecordedComponent* first = nullptr;
        TRecordedComponent* second = nullptr;
        application->CreateComponent(first);
        application->CreateComponent(second);
        return {first, second};
    }
    void Restart()
    {
        application = nullptr;
        application = std::make_unique<TKvApplication>();
        journal.clear();
    }
    QString ConfigFile() const { return application->ConfigFileName(); }
    QByteArray ReadConfig() const
    {
        QFile file(ConfigFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void WriteConfig(const QByteArray& contents) const
    {
        QDir().mkpath(QFileInfo(ConfigFile()).absolutePath());
        QFile file(ConfigFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QStringList journal;
};

TEST_F(KvConfigurationTest, TheFileLivesInAFolderNamedAfterTheExecutableInTheUsersConfigurationFolder)
{
    const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    EXPECT_EQ(ConfigFile(), QDir(folders.Root()).filePath(QStringLiteral("xdg_config_home/") + base +
                                                          QLatin1Char('/') + base + QStringLiteral(".cfg")));
}

TEST_F(KvConfigurationTest, FirstRunInitialisesAndStartsEveryComponentThenCreatesTheFileAndItsFolder)
{
    auto [first, second] = CreateComponents();
    first->Value = 11;
    second->Value = 22;
    ASSERT_FALSE(QFileInfo::exists(QFileInfo(ConfigFile()).absolutePath()));

    application->LoadAllSettings();
    EXPECT_EQ(journal, (QStringList{"C0.Initialize", "C1.Initialize", "C0.Start", "C1.Start"}));
    application->SaveAllSettings();
    ASSERT_TRUE(QFileInfo(ConfigFile()).isFile());

    Restart();
    auto [again, secondAgain] = CreateComponents();
    application->LoadAllSettings();
    EXPECT_EQ(journal, (QStringList{"C0.LoadSettings", "C0.Initialize", "C1.LoadSettings", "C1.Initialize",
                                    "C0.Start", "C1.Start"}));
    EXPECT_EQ(again->Value, 11);
    EXPECT_EQ(secondAgain->Value, 22);
}

TEST_F(KvConfigurationTest, WhenNothingIsSavedAnExistingFileIsLeftAlone)
{
    WriteConfig("previous contents");
    auto [first, second] = CreateComponents();
    first->Saves = false;
    second->Saves = false;
    application->SaveAllSettings();
    EXPECT_EQ(ReadConfig(), QByteArray("previous contents"));
}

TEST_F(KvConfigurationTest, AComponentThatDoesNotLeaveItsNodeDoesNotHideTheNextOnesNode)
{
    auto [first, second] = CreateComponents();
    first->Value = 1;
    second->Value = 2;
    application->SaveAllSettings();

    Restart();
    auto [again, secondAgain] = CreateComponents();
    again->LeaveNode = false;
    application->LoadAllSettings();
    EXPECT_EQ(again->Value, 1);
    EXPECT_EQ(secondAgain->Value, 2);
}

TEST_F(KvConfigurationTest, UnreadableOrDamagedFilesStartWithDefaults)
{
    auto [first, second] = CreateComponents();
    first->Value = 1;
    second->Value = 2;
    application->SaveAllSettings();
    const QByteArray good = ReadConfig();
    // Each component's node is 4 + 16 (GUID) + 8 (integer) + 1 (end) bytes.
    const int nodeSize = 29;
    ASSERT_EQ(good.size(), 2 * nodeSize);

    struct Case {
        const char* Name;
        QByteArray Contents;
        bool AsFolder;
        qint32 First;
        qint32 Second;
    };
    const Case cases[] = {
        {"garbage", QByteArray(200, '\xA7'), false, 0, 0},
        {"empty", QByteArray(), false, 0, 0},
        {"cut inside the second node", good.left(nodeSize + 10), false, 1, 0},
        {"cut inside the first node", good.left(12), false, 0, 0},
        {"a folder in its place", QByteArray(), true, 0, 0},
    };
    for (const Case& c : cases) {
        QFile::remove(ConfigFile());
        QDir(ConfigFile()).removeRecursively();
        if (c.AsFolder)
            QDir().mkpath(ConfigFile());
        else
            WriteConfig(c.Contents);

        Restart();
        auto [again, secondAgain] = CreateComponents();
        application->LoadAllSettings();
        EXPECT_EQ(again->Value, c.First) << c.Name;
        EXPECT_EQ(secondAgain->Value, c.Second) << c.Name;
        EXPECT_TRUE(journal.contains(QStringLiteral("C1.Start"))) << c.Name;
    }
    QDir(ConfigFile()).removeRecursively();
}

TEST_F(KvConfigurationTest, AFailedWriteLeavesTheOldFileIntact)
{
    auto [first, second] = CreateComponents();
    first->Value = 1;
    application->SaveAllSettings();
    const QByteArray good = ReadConfig();
    ASSERT_FALSE(good.isEmpty());

    // Settings larger than the file's write buffer are written at once, a
    // few kilobytes more wait in the buffer until the file is closed.
    for (const int padding : {64 * 1024, 8 * 1024}) {
        first->Value = 2;
        second->Padding = QByteArray(padding, 'x');
        {
            TFileSizeLimit limit(4096);
            application->SaveAllSettings();
        }
        EXPECT_EQ(ReadConfig(), good) << padding;
        // No half-written temporary file is left beside it.
        const QStringList files = QFileInfo(ConfigFile()).dir().entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(files, QStringList{QFileInfo(ConfigFile()).fileName()}) << padding;
    }

    // Once writing works again the new settings arrive.
    application->SaveAllSettings();
    EXPECT_GT(ReadConfig().size(), 8 * 1024);
}

} // namespace
