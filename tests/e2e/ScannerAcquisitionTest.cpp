// Acquiring pictures in the program, against the scanner library's virtual
// test devices: the scanners are listed in File > Import, acquiring opens an
// untitled picture of the scanned size with progress in the status bar, a
// scanner that fails in the middle of the transfer is reported without
// touching the open picture, and a running scan can be cancelled.
#include "CommonData.h"
#include "EditorTestSupport.h"
#include "KvGraphicsEditor.h"
#include "KvMainForm.h"
#include "KvScanner.h"
#include "Model.h"
#include "ModalAnswers.h"
#include "SaneTestBackend.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace {

constexpr int WaitMs = 60000; // a bound for hangs, never reached by a working scan

class ScannerAcquisition : public ::testing::Test, protected TProgramModules {
protected:
    // The whole program on the given scanners, with transfer files in a
    // folder of the test's own.
    void StartProgram(std::unique_ptr<TSaneTestBackend> scanners)
    {
        backend = std::move(scanners);
        qputenv("TMPDIR", transfers.path().toLocal8Bit());
        application->SetTitle(QStringLiteral("Orvane"));
        CreateProgram(*application);
        editor = GraphicsEditor;
        ASSERT_TRUE(WaitUntil([&] { return editor->ImportSubmenu->menuAction()->isEnabled(); }, WaitMs));
    }

    void TearDown() override
    {
        CloseEveryDocumentUnasked(editor);
        application.reset();
        backend.reset();
        if (hadTemp)
            qputenv("TMPDIR", previousTemp);
        else
            qunsetenv("TMPDIR");
    }

    // The Import submenu's items as the user sees them when it opens.
    QList<QAction*> ImportItems()
    {
        emit editor->ImportSubmenu->aboutToShow();
        return editor->ImportSubmenu->actions();
    }

    // A small green picture saved in a folder of the test's own and opened
    // in the program: its path and document (none when that failed).
    struct TOpenedPicture {
        QString path;
        TKvDocument* document = nullptr;
    };
    TOpenedPicture OpenPicture()
    {
        QImage picture(20, 10, QImage::Format_RGB888);
        picture.fill(Qt::green);
        TOpenedPicture opened{QDir(pictures.path()).filePath(QStringLiteral("open.png"))};
        if (!picture.save(opened.path) || !editor->OpenFile(opened.path, opened.document, true))
            opened.document = nullptr;
        return opened;
    }

    QProgressBar* Bar() const { return Module->ProgressMeter()->Bar(); }
    QStringList TransferFiles() const { return QDir(transfers.path()).entryList(QDir::Files); }

    TTempUserFolders userFolders;
    TTestLocalizer localizer;
    bool hadTemp = qEnvironmentVariableIsSet("TMPDIR");
    QByteArray previousTemp = qgetenv("TMPDIR");
    QTemporaryDir transfers;
    QTemporaryDir pictures;
    std::unique_ptr<TSaneTestBackend> backend;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    TKvGraphicsEditor* editor = nullptr;
    TModalAnswers answers;
};

TEST_F(ScannerAcquisition, TheScannersAreListedAndAcquiringOpensAnUntitledPicture)
{
    StartProgram(std::make_unique<TSaneTestBackend>());
    const QList<QAction*> items = ImportItems();
    const QStringList names = editor->Scanner()->SourceNames();
    ASSERT_EQ(items.size(), 2);
    ASSERT_EQ(names.size(), 2);
    for (qsizetype i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i]->text(), names[i]);

    QList<int> shownProgress;
    QObject::connect(Bar(), &QProgressBar::valueChanged, [&](int value) { shownProgress << value; });
    items[1]->trigger();
    EXPECT_TRUE(editor->CancelScanButton->isVisibleTo(MainForm));
    ASSERT_TRUE(WaitUntil([&] { return editor->ActiveDocument() != nullptr; }, WaitMs));

    auto* document = editor->ActiveGraphicsDocument();
    EXPECT_EQ(document->Image().Width(), TSaneTestBackend::ScanWidth);
    EXPECT_EQ(document->Image().Height(), TSaneTestBackend::ScanHeight);
    EXPECT_TRUE(document->FileName().isEmpty());
    EXPECT_FALSE(document->Saved());
    EXPECT_EQ(MainForm->windowTitle(), LocalStr(74) + QStringLiteral(" - Orvane"));
    EXPECT_TRUE(editor->RecentFiles().isEmpty());
    EXPECT_TRUE(TransferFiles().isEmpty());
    // The bar showed the scan's progress and is empty again.
    EXPECT_TRUE(shownProgress.contains(100));
    EXPECT_EQ(Bar()->value(), Bar()->minimum());
    EXPECT_FALSE(editor->CancelScanButton->isVisibleTo(MainForm));
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(ScannerAcquisition, AScannerFailingMidTransferIsReportedAndTheOpenPictureStays)
{
    // An input/output error after 3 lines.
    StartProgram(TSaneTestBackend::WithFaultyScanner("read 9 3"));
    const auto [open, document] = OpenPicture();
    ASSERT_NE(document, nullptr);

    const QList<QAction*> items = ImportItems();
    ASSERT_EQ(items.size(), 1);
    answers.Answer(QMessageBox::Ok);
    items[0]->trigger();
    ASSERT_TRUE(WaitUntil([&] { return answers.Done(); }, WaitMs));
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_EQ(answers.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_FALSE(answers.Messages[0].Text.isEmpty());
    EXPECT_EQ(editor->ActiveDocument(), document);
    EXPECT_EQ(editor->ActiveDocument()->FileName(), open);
    EXPECT_TRUE(TransferFiles().isEmpty());
    EXPECT_FALSE(editor->CancelScanButton->isVisibleTo(MainForm));
    EXPECT_EQ(answers.Unexpected, 0);
}

// Import asks about the open picture before scanning, as Acquire does:
// asked after the scan, a Cancel would have thrown the scan away.
TEST_F(ScannerAcquisition, ImportAsksAboutAnUnsavedPictureBeforeScanning)
{
    StartProgram(std::make_unique<TSaneTestBackend>());
    TKvDocument* const document = OpenPicture().document;
    ASSERT_NE(document, nullptr);
    document->NotifyChanged();
    const QList<QAction*> items = ImportItems();
    ASSERT_FALSE(items.isEmpty());

    answers.Answer(QMessageBox::Cancel);
    items[0]->trigger();
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_FALSE(editor->Scanner()->IsBusy());
    EXPECT_FALSE(editor->CancelScanButton->isVisibleTo(MainForm));
    EXPECT_EQ(editor->ActiveDocument(), document);

    answers.Answer(QMessageBox::No);
    items[0]->trigger();
    EXPECT_EQ(answers.Messages.size(), 2u);
    ASSERT_TRUE(WaitUntil([&] { return editor->ActiveDocument() != nullptr; }, WaitMs));
    EXPECT_TRUE(editor->ActiveDocument()->FileName().isEmpty());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(ScannerAcquisition, ARunningScanCanBeCancelledFromTheStatusBar)
{
    // 64 bytes each 0.2 s: a scan of minutes, which only cancelling ends in time.
    StartProgram(std::make_unique<TSaneTestBackend>(std::map<std::string, std::string>{
        {"read-limit", "true"}, {"read-limit-size", "64"}, {"read-delay", "true"}, {"read-delay-duration", "200000"}}));
    const QList<QAction*> items = ImportItems();
    ASSERT_FALSE(items.isEmpty());
    items[0]->trigger();
    ASSERT_TRUE(editor->CancelScanButton->isVisibleTo(MainForm));
    editor->CancelScanButton->click();
    ASSERT_TRUE(WaitUntil([&] { return !editor->Scanner()->IsBusy(); }, WaitMs));
    QApplication::processEvents();
    EXPECT_EQ(editor->ActiveDocument(), nullptr);
    EXPECT_FALSE(editor->CancelScanButton->isVisibleTo(MainForm));
    EXPECT_TRUE(TransferFiles().isEmpty());
    EXPECT_TRUE(answers.Messages.empty());
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(ScannerAcquisition, WithoutScannersTheItemsStayOff)
{
    backend = TSaneTestBackend::WithoutScanners();
    application->SetTitle(QStringLiteral("Orvane"));
    CreateProgram(*application);
    editor = GraphicsEditor;
    // The search ends with nothing found: the items stay disabled, nothing is reported.
    QSignalSpy listed(editor->Scanner(), &TKvScanner::SourcesChanged);
    ASSERT_TRUE(listed.wait(WaitMs));
    EXPECT_FALSE(editor->ImportSubmenu->menuAction()->isEnabled());
    EXPECT_FALSE(editor->AcquireMenuItem->isEnabled());
    EXPECT_TRUE(ImportItems().isEmpty());
    EXPECT_TRUE(answers.Messages.empty());
}

} // namespace
