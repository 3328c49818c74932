// The editor and orvane-cut run the same extraction: a band painted with the
// clipping tool's brush in the assembled program, then Separate and Effect,
// leaves exactly the pixels orvane-cut writes for the same picture and band,
// with every background effect.
#include "CommonData.h"
#include "EditorTestSupport.h"
#include "KvClippingTool.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvJPEGOptions.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "ModalAnswers.h"
#include "Model.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "ViewMouse.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr double kCentreX = 78.5;
constexpr double kCentreY = 61;
constexpr double kRadius = 36;

// A grainy warm disc on a grainy cool background: GrowCut has texture to
// work through, as on a photograph.
QImage TexturedDisc()
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB888);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u;
            h ^= h >> 13;
            h *= 0x5bd1e995u;
            const int t = int((h ^ (h >> 15)) % 31) - 15;
            const bool inside = std::hypot(x - kCentreX, y - kCentreY) <= kRadius;
            picture.setPixelColor(x, y, inside ? QColor(210 + t / 2, 150 + t, 50 + t) : QColor(50 + t, 100 + t, 180 + t));
        }
    return picture;
}

// One background effect as the panel sets it and as orvane-cut is told it.
struct Effect {
    const char* name;
    int index;
    std::function<void(TKvClippingTool&)> setParameter;
    QStringList options;
};

class EditorMatchesOrvaneCut : public ::testing::Test, protected TProgramModules {
protected:
    EditorMatchesOrvaneCut()
    {
        CreateProgram(*application);
        MainForm->resize(900, 700);
        MainForm->show();
        QApplication::processEvents();
    }
    ~EditorMatchesOrvaneCut() override
    {
        CloseEveryDocumentUnasked(GraphicsEditor);
        application.reset();
    }

    QString Path(const char* name) const { return QDir(folder.path()).filePath(QLatin1String(name)); }
    TKvGraphicsView* View() const { return GraphicsEditor->ActiveView(); }

    // A ring of dabs over the disc's edge, dragged with the left button.
    void PaintRingOverTheEdge()
    {
        ClippingTool->SetSize(13);
        Drag(View(), RingPoints(kCentreX, kCentreY, kRadius, 160));
    }

    // The band the brush painted, white on black, as orvane-cut reads it.
    QImage PaintedBand() const
    {
        const TMarkedRegion& region = ClippingTool->Region();
        QImage band(region.Width(), region.Height(), QImage::Format_RGB888);
        for (int y = 0; y < region.Height(); ++y)
            for (int x = 0; x < region.Width(); ++x) {
                const std::uint8_t label = region.LabelAt(x, y);
                band.setPixelColor(x, y, label == LabelBand || label == LabelOutline ? Qt::white : Qt::black);
            }
        return band;
    }

    void Click(QAbstractButton* button)
    {
        ClippingTool->UpdateControls();
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        button->click();
        ClippingTool->UpdateControls();
    }

    // orvane-cut's picture, blue first like the document's; null when it
    // failed.  threads, when given, are its --threads.
    QImage RunOrvaneCut(const Effect& effect, const QStringList& threads = {})
    {
        const QString out = Path("out.png");
        QFile::remove(out);
        QProcess process;
        process.start(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/orvane-cut"),
                      QStringList{Path("picture.png"), Path("band.png"), QStringLiteral("--effect"),
                                  QLatin1String(effect.name), QStringLiteral("--out"), out}
                          + effect.options + threads);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            ADD_FAILURE() << "orvane-cut: " << process.readAllStandardError().toStdString();
            return {};
        }
        return QImage(out).convertToFormat(QImage::Format_BGR888);
    }

    TTempUserFolders userFolders;
    TTestLocalizer localizer;
    QTemporaryDir folder;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
    TModalAnswers answers;
};

// The positions of the pixels in which the two differ, and how many.
struct Difference {
    int count = 0;
    QPoint first{-1, -1};
};

Difference Compare(const TKvPixels& document, const QImage& written)
{
    Difference d;
    for (int y = 0; y < document.Height; ++y)
        for (int x = 0; x < document.Width; ++x)
            if (std::memcmp(document.PixelAt(x, y), written.constScanLine(y) + 3 * x, 3) != 0 && d.count++ == 0)
                d.first = {x, y};
    return d;
}

TEST_F(EditorMatchesOrvaneCut, SeparateAndEffectGiveTheSamePixelsWithEveryBackground)
{
    const QImage original = TexturedDisc();
    ASSERT_TRUE(original.save(Path("picture.png")));
    TKvDocument* opened = nullptr;
    ASSERT_TRUE(GraphicsEditor->OpenFile(Path("picture.png"), opened, false));
    auto* document = static_cast<TKvGraphicsDocument*>(opened);
    ClippingTool->UpdateControls();

    PaintRingOverTheEdge();
    ASSERT_TRUE(ClippingTool->Region().HasLabel(LabelBand));
    ASSERT_TRUE(PaintedBand().save(Path("band.png")));
    TKvClippingFrame* frame = ClippingTool->ClippingFrame();
    Click(frame->SeparateTBXButton);
    ASSERT_TRUE(ClippingTool->Region().HasLabel(LabelCutLine));

    const QImage originalBgr = original.convertToFormat(QImage::Format_BGR888);
    const std::vector<Effect> effects = {
        {"color", 0, [](TKvClippingTool& t) { t.SetBackgroundColor(0x336699); }, {QStringLiteral("--color"), QStringLiteral("996633")}},
        {"shadow", 1, [](TKvClippingTool& t) { t.SetShadowLevel(4); }, {QStringLiteral("--level"), QStringLiteral("4")}},
        {"blur", 2, [](TKvClippingTool& t) { t.SetBlurLevel(2); }, {QStringLiteral("--level"), QStringLiteral("2")}},
        {"mono", 3, [](TKvClippingTool& t) { t.SetMonochromeColor(0x20C0FF); }, {QStringLiteral("--color"), QStringLiteral("FFC020")}},
    };
    for (const Effect& effect : effects) {
        SCOPED_TRACE(effect.name);
        effect.setParameter(*ClippingTool);
        ClippingTool->SetBackgroundEffect(effect.index);
        Click(frame->EffectTBXButton);
        const TKvPixels& shown = document->Image().Pixels();

        // orvane-cut on one thread, on two and on every core.
        for (const QStringList& threads :
             {QStringList{QStringLiteral("--threads"), QStringLiteral("1")},
              QStringList{QStringLiteral("--threads"), QStringLiteral("2")}, QStringList{}}) {
            const QImage written = RunOrvaneCut(effect, threads);
            ASSERT_EQ(written.size(), QSize(shown.Width, shown.Height)) << threads.join(' ').toStdString();
            const Difference d = Compare(shown, written);
            EXPECT_EQ(d.count, 0) << threads.join(' ').toStdString() << ": first at " << d.first.x() << ", "
                                  << d.first.y();
        }
        // Both did something: the background changed, the disc's middle not.
        EXPECT_GT(Compare(shown, originalBgr).count, kWidth * kHeight / 2);
        EXPECT_EQ(std::memcmp(shown.PixelAt(int(kCentreX), int(kCentreY)),
                              originalBgr.constScanLine(int(kCentreY)) + 3 * int(kCentreX), 3),
                  0);

        // Back to the separated band for the next effect.
        GraphicsEditor->Undo();
        ASSERT_TRUE(ClippingTool->Region().HasLabel(LabelCutLine));
    }
}

TEST_F(EditorMatchesOrvaneCut, SaveObjectWritesTheSameEntryAsOrvaneCut)
{
    // A JPEG, saved in the source's coding; a PNG, encoded at the quality
    // chosen in the dialog and given to orvane-cut.
    struct Source {
        const char* name;
        QStringList options;
    };
    const Source sources[] = {{"picture.jpg", {}}, {"picture.png", {QStringLiteral("--quality"), QStringLiteral("70")}}};
    int saved = 0;
    for (const Source& source : sources) {
        SCOPED_TRACE(source.name);
        ASSERT_TRUE(TexturedDisc().save(Path(source.name), nullptr, 92));
        TKvDocument* opened = nullptr;
        ASSERT_TRUE(GraphicsEditor->OpenFile(Path(source.name), opened, false));
        ClippingTool->UpdateControls();
        PaintRingOverTheEdge();
        ASSERT_TRUE(PaintedBand().save(Path("band.png")));
        TKvClippingFrame* frame = ClippingTool->ClippingFrame();
        Click(frame->SeparateTBXButton);
        Click(frame->EffectTBXButton);
        if (!source.options.isEmpty())
            answers.Then([](QWidget* modal) {
                if (auto* form = qobject_cast<TKvJPEGOptionsForm*>(modal)) {
                    form->SetQuality(70);
                    form->OkButton->click();
                }
            });
        Click(frame->StoreTBXButton);
        EXPECT_TRUE(answers.Done());
        const std::string name = "00000" + std::to_string(++saved);

        const QString library = Path("cli-library");
        QDir(library).removeRecursively();
        QProcess process;
        process.start(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/orvane-cut"),
                      QStringList{Path(source.name), Path("band.png"), QStringLiteral("--save-object"), library}
                          + source.options);
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        ASSERT_EQ(process.readAllStandardOutput(), QByteArray("000001\n"));
        for (const char* extension : {".jpg", ".alp", ".tmb"}) {
            const auto read = [](const std::filesystem::path& path) {
                std::ifstream file(path, std::ios::binary);
                return std::string(std::istreambuf_iterator<char>(file), {});
            };
            const std::string editor = read(ObjectLibraryFolder() / (name + extension));
            ASSERT_FALSE(editor.empty()) << extension;
            EXPECT_TRUE(editor == read(std::filesystem::path(library.toStdString()) / (std::string("000001") + extension)))
                << extension << " differs";
        }
        static_cast<TKvGraphicsDocument*>(opened)->SetNoSavePrompt(true);
    }
    EXPECT_EQ(answers.Unexpected, 0);
}

} // namespace
