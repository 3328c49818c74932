// The open and save dialogs: file type lists and titles from the registry,
// and the preview area, whose previews come from a worker thread and must
// show the latest selection only.
#include "KvDialogs.h"
#include "KvLocalizer.h"

#include "QtPrinters.h"
#include "ShellTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace {

const std::map<QString, QColor> PreviewColors{
    {"a", Qt::red}, {"b", Qt::green}, {"c", Qt::blue}};

// Everything the fake registry's worker-thread calls and the previews'
// painting leave behind, guarded for the two threads.
struct TTrace {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::set<QString> Blocked; // previews that wait until released
    std::vector<QString> Started;
    std::vector<QString> Finished;
    std::vector<QString> Posted; // previews handed to the main thread
    std::vector<QString> Painted;

    void Log(std::vector<QString>& list, const QString& name)
    {
        const std::lock_guard lock(Mutex);
        list.push_back(name);
        Changed.notify_all();
    }
    bool Contains(std::vector<QString>& list, const QString& name)
    {
        const std::lock_guard lock(Mutex);
        return std::find(list.begin(), list.end(), name) != list.end();
    }
    std::set<QString> PaintedNames()
    {
        const std::lock_guard lock(Mutex);
        return {Painted.begin(), Painted.end()};
    }
    void Block(const QString& name)
    {
        const std::lock_guard lock(Mutex);
        Blocked.insert(name);
    }
    void Release(const QString& name)
    {
        const std::lock_guard lock(Mutex);
        Blocked.erase(name);
        Changed.notify_all();
    }
    void PassGate(const QString& name)
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [&] { return !Blocked.count(name); });
    }
};

// Fills the rectangle it was made for with its file's colour, centred.
class TColorPreview : public TKvThumbnail {
public:
    TColorPreview(QString name, QSize size, TTrace& trace) : m_name(std::move(name)), m_size(size), m_trace(trace) {}

    bool Draw(QPainter& painter, const QRect& rect, QRect& drawn) override
    {
        m_trace.Log(m_trace.Painted, m_name);
        drawn = QRect(QPoint(), m_size);
        drawn.moveCenter(rect.center());
        painter.fillRect(drawn, PreviewColors.at(m_name));
        return true;
    }

private:
    QString m_name;
    QSize m_size;
    TTrace& m_trace;
};

class TFakeInfo : public TKvFileInfo {
public:
    using TKvFileInfo::TKvFileInfo;
    QString Text() const override { return QStringLiteral("Fake picture ") + QFileInfo(Path).baseName(); }
};

// Knows "*.fake" files; its previews wait at a gate the test controls.
class TFakeFormats : public TKvFileFormats {
public:
    explicit TFakeFormats(TTrace& trace) : m_trace(trace) {}

    int Count() const override { return 1; }
    TKvFileFormatInfo Items(int) const override { return {7, "Fake", "*.fake", ".fake"}; }
    bool GetFileInfo(const QString& path, std::unique_ptr<TKvFileInfo>& info) const override
    {
        if (!path.endsWith(QStringLiteral(".fake")))
            return false;
        info = std::make_unique<TFakeInfo>(path);
        return true;
    }
    bool GetThumbnail(const QString& path, int width, int height,
                      std::unique_ptr<TKvThumbnail>& thumbnail) const override
    {
        const QString name = QFileInfo(path).baseName();
        m_trace.Log(m_trace.Started, name);
        m_trace.PassGate(name);
        thumbnail = std::make_unique<TColorPreview>(name, QSize(width, height) / 2, m_trace);
        m_trace.Log(m_trace.Finished, name);
        return true;
    }

private:
    TTrace& m_trace;
};

class DialogPreview : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        for (const char* name : {"a.fake", "b.fake", "c.fake", "unknown.xyz"}) {
            QFile file(m_folder.filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
        ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("folder")));

        m_dialog = std::make_unique<TKvOpenDialog>(nullptr, m_formats);
        m_dialog->SetFilterIndex(3); // all files, so that the unknown one is listed
        m_dialog->setDirectory(m_folder.path());
        m_dialog->show();
        // The file list fills in the background; wait until it holds them all.
        ASSERT_TRUE(WaitUntil([this] {
            Select(QStringLiteral("unknown.xyz"));
            return m_dialog->InfoLabel() && Current() == QStringLiteral("unknown.xyz");
        }));
    }
    void TearDown() override
    {
        for (const char* name : {"a", "b", "c"})
            m_trace.Release(name);
        m_dialog.reset();
    }

    void Select(const QString& name)
    {
        m_current.clear();
        QMetaObject::Connection watch = QObject::connect(m_dialog.get(), &QFileDialog::currentChanged,
                                                         [this](const QString& path) { m_current = path; });
        // What a click in the file list does: make the file current.
        const auto* model = m_dialog->findChild<QFileSystemModel*>();
        auto* list = m_dialog->findChild<QListView*>(QStringLiteral("listView"));
        const QModelIndex index = model->index(m_folder.filePath(name));
        if (index.isValid())
            list->setCurrentIndex(index);
        QObject::disconnect(watch);
    }
    QString Current() const { return QFileInfo(m_current).fileName(); }

    QColor BoxCentre() const
    {
        const QImage shot = m_dialog->PreviewBox()->grab().toImage();
        return shot.pixelColor(shot.rect().center());
    }
    QColor BoxColour() const { return m_dialog->PreviewBox()->palette().color(QPalette::Window); }

    QTemporaryDir m_folder;
    TTrace m_trace;
    TFakeFormats m_formats{m_trace};
    std::unique_ptr<TKvOpenDialog> m_dialog;
    QString m_current;
};

} // namespace

TEST_F(DialogPreview, ShowsOnlyThePreviewOfTheFileThatStaysSelected)
{
    m_trace.Block("a");
    m_trace.Block("c");
    Select("a.fake");
    ASSERT_EQ(Current(), QStringLiteral("a.fake"));
    ASSERT_TRUE(WaitUntil([this] { return m_trace.Contains(m_trace.Started, "a"); }));
    Select("b.fake");
    Select("c.fake");
    ASSERT_EQ(Current(), QStringLiteral("c.fake"));
    m_trace.Release("a");
    // Once the worker is at c, a's preview has been either dropped or sent.
    ASSERT_TRUE(WaitUntil([this] { return m_trace.Contains(m_trace.Started, "c"); }));
    QApplication::processEvents();
    EXPECT_EQ(BoxCentre(), BoxColour()) << "a's preview was shown while c is selected";
    m_trace.Release("c");

    ASSERT_TRUE(WaitUntil([this] { return BoxCentre() == QColor(Qt::blue); }));
    EXPECT_EQ(m_trace.PaintedNames(), std::set<QString>{"c"});
    EXPECT_EQ(m_dialog->InfoLabel()->text(), QStringLiteral("\nFake picture c"));
}

TEST_F(DialogPreview, PreviewOvertakenOnItsWayToTheScreenIsDropped)
{
    QObject::connect(
        m_dialog.get(), &TKvOpenDialog::PreviewPosted, m_dialog.get(), [this] { m_trace.Log(m_trace.Posted, "a"); },
        Qt::DirectConnection);
    Select("a.fake");
    // Keep the main thread away from its event loop while the worker
    // finishes a's preview and hands it over.
    {
        std::unique_lock lock(m_trace.Mutex);
        ASSERT_TRUE(m_trace.Changed.wait_for(lock, std::chrono::seconds(60), [this] { return !m_trace.Posted.empty(); }));
        m_trace.Blocked.insert("b");
    }
    Select("b.fake");
    ASSERT_TRUE(WaitUntil([this] { return m_trace.Contains(m_trace.Started, "b"); }));
    QApplication::processEvents();
    EXPECT_EQ(BoxCentre(), BoxColour()) << "a's preview arrived after b was selected";

    m_trace.Release("b");
    ASSERT_TRUE(WaitUntil([this] { return BoxCentre() == QColor(Qt::green); }));
    EXPECT_EQ(m_trace.PaintedNames(), std::set<QString>{"b"});
}

TEST_F(DialogPreview, FolderOrUnknownFileEmptiesTheArea)
{
    for (const QString& other : {QStringLiteral("folder"), QStringLiteral("unknown.xyz")}) {
        SCOPED_TRACE(other.toStdString());
        Select("a.fake");
        ASSERT_TRUE(WaitUntil([this] { return BoxCentre() == QColor(Qt::red); }));
        EXPECT_EQ(m_dialog->InfoLabel()->text(), QStringLiteral("\nFake picture a"));

        Select(other);
        ASSERT_EQ(Current(), other);
        EXPECT_EQ(m_dialog->InfoLabel()->text(), QString());
        EXPECT_EQ(BoxCentre(), BoxColour());
    }
}

TEST(FileDialogFilters, RegistryFilterBecomesQtNameFilters)
{
    struct Case {
        const char* filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png", {"JPEG (*.jpg *.jpeg)", "PNG (*.png)"}},
        {"All Files (*.*)|*.*", {"All Files (*)"}},
        {"Pictures (x) (*.a)|*.a", {"Pictures (x) (*.a)"}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameFiltersFromFilter(QString::fromLatin1(c.filter)), c.expected) << c.filter;
}

TEST(FileDialogFilters, OpenListsAllFormatsSaveOnlyTheSavedOnes)
{
    TTrace trace;
    TFakeFormats formats(trace);

    TKvOpenDialog open(nullptr, formats);
    ASSERT_EQ(open.nameFilters().size(), 3);
    EXPECT_EQ(open.nameFilters()[0], QStringLiteral("Fake (*.fake)"));
    EXPECT_EQ(open.nameFilters()[2].right(3), QStringLiteral("(*)"));
    EXPECT_EQ(open.FilterIndex(), formats.Count() + 1) << "all supported files";
    EXPECT_EQ(open.fileMode(), QFileDialog::ExistingFile);

    TKvSaveDialog save(nullptr, formats);
    EXPECT_EQ(save.nameFilters(), QStringList{"Fake (*.fake)"});
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    save.SetFilterIndex(1);
    EXPECT_EQ(save.FilterIndex(), 1);
    save.SetFilterIndex(5); // out of range: stays
    EXPECT_EQ(save.FilterIndex(), 1);
}

TEST(FileDialogExecute, TitlesAndPresetName)
{
    const TTestEnglishStrings strings("12=Open it\n15=Save it\n");
    TTrace trace;
    TFakeFormats formats(trace);

    TKvSaveDialog save(nullptr, formats);
    save.SetFileName(strings.FilePath(QStringLiteral("picture")));
    QString title;
    QTimer::singleShot(0, &save, [&] {
        title = save.windowTitle();
        QMetaObject::invokeMethod(&save, "accept");
    });
    EXPECT_TRUE(save.Execute());
    EXPECT_EQ(title, QStringLiteral("Save it"));
    EXPECT_EQ(save.FileName(), strings.FilePath(QStringLiteral("picture")));

    TKvOpenDialog open(nullptr, formats);
    QTimer::singleShot(0, &open, [&] {
        title = open.windowTitle();
        open.reject();
    });
    EXPECT_FALSE(open.Execute());
    EXPECT_EQ(title, QStringLiteral("Open it"));
}
