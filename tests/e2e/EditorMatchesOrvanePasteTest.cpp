// The editor's paste and orvane-paste run the same code: an object pasted
// with the paste tool in the assembled program (drawn mirrored, turned,
// moved partly off the picture) leaves exactly the pixels orvane-paste
// writes for the same picture, entry, rectangle, angle and mirroring.
#include "EditorTestSupport.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "KvPasteTool.h"
#include "ObjectLibraryFixture.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "ViewMouse.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

QImage Picture()
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB888);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            picture.setPixelColor(x, y, QColor(30 + x, 60 + (x ^ y) % 90, 220 - y));
    return picture;
}

class EditorMatchesOrvanePaste : public ::testing::Test, protected TProgramModules {
protected:
    EditorMatchesOrvanePaste()
    {
        entry = WriteDiscEntry(ObjectLibraryFolder(), 36);
        CreateProgram(*application);
        MainForm->resize(900, 700);
        MainForm->show();
        QApplication::processEvents();
    }
    ~EditorMatchesOrvanePaste() override
    {
        CloseEveryDocumentUnasked(GraphicsEditor);
        application.reset();
    }

    QString Path(const char* name) const { return QDir(folder.path()).filePath(QLatin1String(name)); }
    TKvGraphicsView* View() const { return GraphicsEditor->ActiveView(); }

    QImage RunOrvanePaste(const QStringList& options)
    {
        const QString out = Path("out.png");
        QFile::remove(out);
        QProcess process;
        process.start(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/orvane-paste"),
                      QStringList{Path("picture.png"), QString::fromStdString(entry), QStringLiteral("--out"), out}
                          + options);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            ADD_FAILURE() << "orvane-paste: " << process.readAllStandardError().toStdString();
            return {};
        }
        return QImage(out).convertToFormat(QImage::Format_BGR888);
    }

    TTempUserFolders userFolders;
    TTestLocalizer localizer;
    QTemporaryDir folder;
    std::string entry;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
};

int DifferentPixels(const TKvPixels& document, const QImage& written)
{
    int count = 0;
    for (int y = 0; y < document.Height; ++y)
        for (int x = 0; x < document.Width; ++x)
            count += std::memcmp(document.PixelAt(x, y), written.constScanLine(y) + 3 * x, 3) != 0;
    return count;
}

TEST_F(EditorMatchesOrvanePaste, ThePasteToolsCommitAndOrvanePasteWriteTheSamePixels)
{
    struct Case {
        const char* what;
        int rotation;
        std::vector<QPointF> drag; // draws the rectangle
        std::vector<QPointF> move; // then moves it by its inside (none: stays)
        TRect rect;
        QStringList options;
    };
    const Case cases[] = {
        {"drawn leftwards, turned by 30", 30, {{100, 20}, {60, 50}, {20, 90}}, {}, {20, 20, 100, 90},
         {"--rect", "20,20,100,90", "--angle", "30", "--flip-x"}},
        {"drawn upwards, turned by 300, moved partly off", 300, {{40, 110}, {110, 30}}, {{70, 70}, {10, 90}},
         {-20, 50, 50, 130},
         {"--rect", "-20,50,50,130", "--angle", "300", "--flip-y"}},
    };
    ASSERT_TRUE(Picture().save(Path("picture.png")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TKvDocument* opened = nullptr;
        ASSERT_TRUE(GraphicsEditor->OpenFile(Path("picture.png"), opened, false));
        auto* document = static_cast<TKvGraphicsDocument*>(opened);
        GraphicsEditor->SetActiveTool(PasteTool);
        PasteTool->UpdateControls();
        ASSERT_EQ(PasteTool->List().NameOf(PasteTool->List().Selected()), entry);
        PasteTool->SetRotation(c.rotation);
        Drag(View(), c.drag);
        if (!c.move.empty())
            Drag(View(), c.move);
        auto* control = PasteTool->ControlWithRectangle(document);
        ASSERT_NE(control, nullptr);
        ASSERT_EQ(control->Placement().Rect(), c.rect);
        QTest::keyClick(View(), Qt::Key_Return);
        ASSERT_EQ(document->History().Count(), 1);

        const QImage written = RunOrvanePaste(c.options);
        ASSERT_EQ(written.size(), QSize(kWidth, kHeight));
        EXPECT_EQ(DifferentPixels(document->Image().Pixels(), written), 0);
        EXPECT_GT(DifferentPixels(document->Image().Pixels(), Picture().convertToFormat(QImage::Format_BGR888)), 500)
            << "the object was pasted";
        CloseEveryDocumentUnasked(GraphicsEditor);
    }
}

} // namespace
