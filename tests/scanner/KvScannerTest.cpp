// The scanner component against the scanner library's virtual test devices:
// listing, acquiring into transfer files, cancelling, failures, the default
// source and its dialog.
#include "KvScanner.h"
#include "SaneTestBackend.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int waitMs = 60000;  // a bound for hangs, never reached by a working scan

using Settings = std::map<std::string, std::string>;

// 64 bytes each 0.2 s: a scan of minutes, which only cancelling ends in time.
const Settings slowScan{{"read-limit", "true"},
                        {"read-limit-size", "64"},
                        {"read-delay", "true"},
                        {"read-delay-duration", "200000"}};

// A scanner component on the test devices, with its transfer files and
// settings in folders of its own.
class ScannerTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        m_scanner.reset();
        if (m_hadTemp)
            qputenv("TMPDIR", m_previousTemp);
        else
            qunsetenv("TMPDIR");
        m_backend.reset();
    }

    // Creates the component on test devices configured with the settings and
    // waits until it listed them.
    TKvScanner& Start(const Settings& settings = {})
    {
        return Start(std::make_unique<TSaneTestBackend>(settings));
    }

    TKvScanner& Start(std::unique_ptr<TSaneTestBackend> backend)
    {
        m_scanner.reset();
        m_backend = std::move(backend);
        qputenv("TMPDIR", m_transfers.path().toLocal8Bit());
        m_scanner = std::make_unique<TKvScanner>(nullptr, SettingsFile());
        QSignalSpy listed(m_scanner.get(), &TKvScanner::SourcesChanged);
        EXPECT_TRUE(listed.wait(waitMs));
        return *m_scanner;
    }

    QString SettingsFile() const { return m_settingsFolder.filePath("scanner.ini"); }
    QStringList TransferFiles() const { return QDir(m_transfers.path()).entryList(QDir::Files); }

    // Everything one acquisition announced.
    struct Announced {
        QStringList images;
        QStringList failures;
        QList<int> progress;
    };

    // Starts acquiring from the source (the default one when empty) and waits
    // until the acquisition ended; onFirstProgress runs at the first progress
    // report.
    Announced AcquireAndWait(const QString& source = {}, std::function<void()> onFirstProgress = {})
    {
        Announced announced;
        TKvScanner& scanner = *m_scanner;
        QObject context;
        QObject::connect(&scanner, &TKvScanner::ImageReady, &context,
                         [&](const QString& path) { announced.images.append(path); });
        QObject::connect(&scanner, &TKvScanner::AcquireFailed, &context,
                         [&](const QString& message) { announced.failures.append(message); });
        QObject::connect(&scanner, &TKvScanner::Progress, &context, [&](int percent) {
            announced.progress.append(percent);
            if (announced.progress.size() == 1 && onFirstProgress)
                onFirstProgress();
        });
        QSignalSpy finished(&scanner, &TKvScanner::AcquireFinished);
        const bool started = source.isEmpty() ? scanner.Acquire() : scanner.AcquireFrom(source);
        EXPECT_TRUE(started);
        if (started) {
            EXPECT_TRUE(finished.wait(waitMs));
        }
        return announced;
    }

    bool m_hadTemp = qEnvironmentVariableIsSet("TMPDIR");
    QByteArray m_previousTemp = qgetenv("TMPDIR");
    QTemporaryDir m_transfers;
    QTemporaryDir m_settingsFolder;
    std::unique_ptr<TSaneTestBackend> m_backend;
    std::unique_ptr<TKvScanner> m_scanner;
};

TEST_F(ScannerTest, ListsTheAttachedScannersAndBecomesAvailable)
{
    m_backend = std::make_unique<TSaneTestBackend>(Settings{{"number_of_devices", "2"}});
    TKvScanner scanner(nullptr, SettingsFile());
    EXPECT_FALSE(scanner.IsAvailable());  // until the search ended
    QSignalSpy availability(&scanner, &TKvScanner::AvailabilityChanged);
    ASSERT_TRUE(availability.wait(waitMs));
    EXPECT_EQ(availability.takeFirst().at(0).toBool(), true);
    EXPECT_TRUE(scanner.IsAvailable());
    const QStringList names = scanner.SourceNames();
    ASSERT_EQ(names.size(), 2);
    EXPECT_TRUE(names[0].contains("test:0")) << names[0].toStdString();
    EXPECT_TRUE(names[1].contains("test:1")) << names[1].toStdString();
    EXPECT_EQ(scanner.DefaultSource(), names[0]);
}

TEST_F(ScannerTest, WithoutScannersIsUnavailableAndAcquiresNothing)
{
    TKvScanner& scanner = Start(TSaneTestBackend::WithoutScanners());
    EXPECT_FALSE(scanner.IsAvailable());
    EXPECT_TRUE(scanner.SourceNames().isEmpty());
    EXPECT_TRUE(scanner.DefaultSource().isEmpty());
    QSignalSpy failed(&scanner, &TKvScanner::AcquireFailed);
    EXPECT_FALSE(scanner.Acquire());
    EXPECT_EQ(failed.count(), 0);
}

TEST_F(ScannerTest, AcquiresAColourPictureOfTheScannedSizeIntoATransferFile)
{
    TKvScanner& scanner = Start({{"test-picture", "\"Color pattern\""}});
    QSignalSpy availability(&scanner, &TKvScanner::AvailabilityChanged);
    const Announced announced = AcquireAndWait(scanner.SourceNames().at(1));
    ASSERT_EQ(announced.images.size(), 1);
    EXPECT_TRUE(announced.failures.isEmpty());

    const QImage picture(announced.images[0]);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(TSaneTestBackend::ScanWidth, TSaneTestBackend::ScanHeight));
    EXPECT_FALSE(picture.isGrayscale());  // the devices start in grey; colour was chosen

    ASSERT_FALSE(announced.progress.isEmpty());
    EXPECT_TRUE(std::is_sorted(announced.progress.begin(), announced.progress.end()));
    EXPECT_EQ(announced.progress.last(), 100);
    // Unavailable while scanning, available again afterwards.
    ASSERT_EQ(availability.count(), 2);
    EXPECT_FALSE(availability[0].at(0).toBool());
    EXPECT_TRUE(availability[1].at(0).toBool());
    EXPECT_TRUE(scanner.IsAvailable());
}

// Scanners deliver their pictures in several layouts; each must give the
// picture that one interleaved eight-bit colour frame gives.
TEST_F(ScannerTest, EveryFrameLayoutGivesTheSamePicture)
{
    const Settings pattern{{"test-picture", "\"Color pattern\""}};
    Start(pattern);
    const Announced reference = AcquireAndWait();
    ASSERT_EQ(reference.images.size(), 1);
    const QImage expected = QImage(reference.images[0]).convertToFormat(QImage::Format_RGB888);

    const Settings layouts[] = {
        {{"three-pass", "true"}, {"three-pass-order", "GBR"}},
        {{"read-limit", "true"}, {"read-limit-size", "7"}},
    };
    for (Settings layout : layouts) {
        layout.insert(pattern.begin(), pattern.end());
        Start(layout);
        const Announced announced = AcquireAndWait();
        ASSERT_EQ(announced.images.size(), 1) << layout.begin()->first;
        EXPECT_EQ(QImage(announced.images[0]).convertToFormat(QImage::Format_RGB888), expected)
            << layout.begin()->first;
    }
}

TEST_F(ScannerTest, SixteenBitSamplesGiveTheirHighByte)
{
    // In sixteen-bit colour the test pattern's red ramps by one high-byte step
    // per pixel from x = 4 on, while its low byte follows the row.
    Start({{"depth", "16"}, {"test-picture", "\"Color pattern\""}});
    const Announced announced = AcquireAndWait();
    ASSERT_EQ(announced.images.size(), 1);
    const QImage picture(announced.images[0]);
    for (int y : {50, 150})
        for (int x = 4; x < 10; ++x)
            EXPECT_EQ(qRed(picture.pixel(x, y)), x - 4) << x << ", " << y;
}

TEST_F(ScannerTest, AHandScannerOfUnknownHeightGivesTheLinesItScanned)
{
    Start({{"hand-scanner", "true"}});
    const Announced announced = AcquireAndWait();
    ASSERT_EQ(announced.images.size(), 1);
    const QImage picture(announced.images[0]);
    EXPECT_EQ(picture.width(), 216);  // a fixed width of 11 cm at 50 dpi
    EXPECT_GT(picture.height(), 0);
}

TEST_F(ScannerTest, CancellingStopsTheScanAndAnnouncesNothing)
{
    TKvScanner& scanner = Start(slowScan);
    const Announced announced = AcquireAndWait({}, [&] { scanner.Cancel(); });
    EXPECT_TRUE(announced.images.isEmpty());
    EXPECT_TRUE(announced.failures.isEmpty());
    ASSERT_FALSE(announced.progress.isEmpty());
    EXPECT_LT(announced.progress.last(), 100);
    EXPECT_TRUE(TransferFiles().isEmpty());
    EXPECT_TRUE(scanner.IsAvailable());  // free for the next acquisition
}

// Failures at every stage, simulated by a scanner that fails on request:
// each gives one message naming the scanner and the cause, and no picture.
TEST_F(ScannerTest, AFailingScannerGivesAnErrorAndNoPicture)
{
    struct Case {
        const char* fault;  // stage, the library's status number, lines before it
        const char* says;
        const char* cause;
    };
    const Case cases[] = {
        {"open 3", "cannot be opened", "The device is busy."},
        {"open 11", "cannot be opened", "Access to the device has been denied."},
        {"start 6", "could not start scanning", "The document feeder is jammed."},
        {"start 8", "could not start scanning", "The scanner cover is open."},
        {"read 9 0", "no picture was taken", "Error during device I/O."},
        {"read 9 4", "no picture was taken", "Error during device I/O."},
        {"read 6 7", "no picture was taken", "The document feeder is jammed."},
        {"read 5 4", "incomplete picture", ""},  // the data ends early
        {"read 99 1", "no picture was taken", "The scanner reported error 99."},
    };
    for (const Case& c : cases) {
        Start(TSaneTestBackend::WithFaultyScanner(c.fault));
        const QString source = m_scanner->DefaultSource();
        ASSERT_TRUE(source.contains("orvanefake:0")) << source.toStdString();
        const Announced announced = AcquireAndWait();
        EXPECT_TRUE(announced.images.isEmpty()) << c.fault;
        ASSERT_EQ(announced.failures.size(), 1) << c.fault;
        const std::string message = announced.failures[0].toStdString();
        EXPECT_TRUE(announced.failures[0].contains(source)) << message;
        EXPECT_TRUE(announced.failures[0].contains(c.says)) << message;
        EXPECT_TRUE(announced.failures[0].contains(c.cause)) << message;
        EXPECT_TRUE(TransferFiles().isEmpty()) << c.fault;
        EXPECT_TRUE(m_scanner->IsAvailable()) << c.fault;
    }
}

// The fault simulator without a fault: a grey scanner with no scan modes to
// choose from, whose picture arrives line by line.
TEST_F(ScannerTest, AGreyScannerWithoutModesGivesItsGreyPicture)
{
    Start(TSaneTestBackend::WithFaultyScanner("none 0"));
    const Announced announced = AcquireAndWait();
    ASSERT_EQ(announced.images.size(), 1);
    const QImage picture(announced.images[0]);
    EXPECT_EQ(picture.size(), QSize(24, 10));
    EXPECT_EQ(qGray(picture.pixel(0, 9)), 109);  // grey line 9 is 100 + 9
}

TEST_F(ScannerTest, AScannerThatCannotBeOpenedGivesAnError)
{
    Start();
    const Announced announced = AcquireAndWait("test:9");
    EXPECT_TRUE(announced.images.isEmpty());
    ASSERT_EQ(announced.failures.size(), 1);
    EXPECT_TRUE(announced.failures[0].contains("test:9 cannot be opened"))
        << announced.failures[0].toStdString();
}

TEST_F(ScannerTest, OneAcquisitionAtATime)
{
    TKvScanner& scanner = Start(slowScan);
    bool busy = false, available = true, secondStarted = true;
    AcquireAndWait({}, [&] {
        busy = scanner.IsBusy();
        available = scanner.IsAvailable();
        secondStarted = scanner.Acquire();
        scanner.Cancel();
    });
    EXPECT_TRUE(busy);
    EXPECT_FALSE(available);
    EXPECT_FALSE(secondStarted);
}

TEST_F(ScannerTest, DestroyedWhileScanningLeavesNoTransferFile)
{
    TKvScanner& scanner = Start(slowScan);
    QSignalSpy progress(&scanner, &TKvScanner::Progress);
    ASSERT_TRUE(scanner.Acquire());
    ASSERT_TRUE(progress.wait(waitMs));
    m_scanner.reset();
    EXPECT_TRUE(TransferFiles().isEmpty());
}

TEST_F(ScannerTest, TheChosenDefaultSourceIsUsedAndKept)
{
    TKvScanner& scanner = Start();
    const QString second = scanner.SourceNames().at(1);
    scanner.SetDefaultSource(second);
    EXPECT_EQ(scanner.DefaultSource(), second);
    scanner.SetDefaultSource("no such scanner");
    EXPECT_EQ(scanner.DefaultSource(), second);

    Start();  // a new component reads the choice back
    EXPECT_EQ(m_scanner->DefaultSource(), second);

    Start({{"number_of_devices", "1"}});  // the chosen scanner is gone: the first one serves
    EXPECT_EQ(m_scanner->DefaultSource(), m_scanner->SourceNames().at(0));
}

TEST_F(ScannerTest, TheSourceDialogSetsTheDefaultSource)
{
    TKvScanner& scanner = Start();
    const QStringList names = scanner.SourceNames();
    bool listedAll = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* list = dialog->findChild<QListWidget*>("SourceList");
        ASSERT_NE(list, nullptr);
        listedAll = list->count() == names.size() && list->currentRow() == 0;
        list->setCurrentRow(1);
        dialog->findChild<QPushButton*>("OkButton")->click();
    });
    EXPECT_TRUE(scanner.SelectSource());
    EXPECT_TRUE(listedAll);
    EXPECT_EQ(scanner.DefaultSource(), names[1]);

    QTimer::singleShot(0, [] {
        QApplication::activeModalWidget()->findChild<QPushButton*>("CancelButton")->click();
    });
    EXPECT_FALSE(scanner.SelectSource());
    EXPECT_EQ(scanner.DefaultSource(), names[1]);
}

} // namespace
