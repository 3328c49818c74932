// Pasting a library object into a 24-megapixel photo, side by side with
// Pillow in the same run:
//   commit   RenderPaste with the Hermite filter of a 3000 x 2000 object
//            (a soft-edged ellipse) stretched over the whole picture and
//            turned by 30 degrees
//            vs Pillow: rotate (bicubic) + resize to the picture (bicubic) +
//            paste with the object's alpha as mask, the same object
//   preview  one live-preview frame while a rectangle covering the picture
//            is dragged, in the editor at best fit in a 1600 x 1000 window:
//            from the mouse move until the view has painted (no peer;
//            target under 33 ms)
//   text     the text tool's commit of two lines in DejaVu Sans at 96 points
//            into a 4800 x 2400 rectangle: the mask rendered, stretched and
//            blended, recorded as one step
//            vs Pillow: ImageDraw text into a mask of the text's size +
//            resize to the rectangle (bicubic) + paste of the colour through
//            it, the same font and size
// Figures are wall-clock medians of several runs (the peer times itself
// inside Python, so its start-up is not counted); ours may use both cores.
#include "BenchClock.h"
#include "CommonData.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvObjectLibrary.h"
#include "KvPasteTool.h"
#include "KvTextTool.h"
#include "Model.h"
#include "ObjectLibraryFixture.h"
#include "PaintClock.h"
#include "PasteRender.h"
#include "PhotoJpeg.h"
#include "PhotoScene.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// The processor time of every thread of the process so far.
double ProcessCpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

constexpr int Runs = 5;
constexpr int ObjectWidth = 3000;
constexpr int ObjectHeight = 2000;
constexpr int Rotation = 30;
constexpr int Width = 6000;
constexpr int Height = 4000;
constexpr int PreviewFrames = 20;
const char* const Text = "Orvane\nYalta 1945";
const char* const TextFont = "DejaVu Sans";
const char* const TextFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int TextSize = 96; // points, rendered at 96 dots per inch
const TRect TextRect{600, 800, 5400, 3200};
constexpr TColor TextColor = 0x2050E0; // $00BBGGRR

// A warm, shaded ellipse with a soft rim filling most of its rectangle.
void MakeObject(TBGRWithAlpha& object)
{
    object.SetSize(ObjectWidth, ObjectHeight);
    const double cx = (ObjectWidth - 1) / 2.0;
    const double cy = (ObjectHeight - 1) / 2.0;
    for (int x = 0; x < ObjectWidth; ++x)
        for (int y = 0; y < ObjectHeight; ++y) {
            const double r = std::hypot((x - cx) / (cx * 0.8), (y - cy) / (cy * 0.8));
            const int alpha = std::clamp(int((1.05 - r) * 20 * 255), 0, 255);
            object.SetAlpha(x, y, std::uint8_t(alpha));
            const unsigned grain = photo_scene::Hash(x, y) % 24;
            object.SetColor(x, y, RGBToTriple(std::uint8_t(200 + grain / 2), std::uint8_t(120 + grain), std::uint8_t(40 + (x % 97))));
        }
}

void WriteRaw(const fs::path& path, const TKvPixels& pixels)
{
    std::ofstream raw(path, std::ios::binary);
    for (int y = pixels.Top; y < pixels.Top + pixels.Height; ++y)
        raw.write(reinterpret_cast<const char*>(pixels.PixelAt(pixels.Left, y)), std::streamsize(pixels.Width) * 3);
}

// The object as raw RGBA, row by row.
void WriteObjectRaw(const fs::path& path, const TBGRWithAlpha& object)
{
    std::ofstream raw(path, std::ios::binary);
    std::vector<char> row(std::size_t(object.Width()) * 4);
    for (int y = 0; y < object.Height(); ++y) {
        for (int x = 0; x < object.Width(); ++x) {
            const TColorTriple c = object.GetColor(x, y);
            char* p = row.data() + std::size_t(x) * 4;
            p[0] = char(c.Red);
            p[1] = char(c.Green);
            p[2] = char(c.Blue);
            p[3] = char(object.GetAlpha(x, y));
        }
        raw.write(row.data(), std::streamsize(row.size()));
    }
}

const char* PillowPaste = R"(
import sys, time
from PIL import Image
picture_path, object_path, width, height, ow, oh, angle, runs = sys.argv[1:9]
width, height, ow, oh, angle, runs = int(width), int(height), int(ow), int(oh), int(angle), int(runs)
picture = Image.frombytes('RGB', (width, height), open(picture_path, 'rb').read(), 'raw', 'BGR')
obj = Image.frombytes('RGBA', (ow, oh), open(object_path, 'rb').read())
times = []
cpu = []
for _ in range(runs):
    target = picture.copy()
    start = time.perf_counter()
    cpu_start = time.process_time()
    turned = obj.rotate(-angle, resample=Image.BICUBIC)
    stretched = turned.resize((width, height), Image.BICUBIC)
    target.paste(stretched, (0, 0), stretched)
    times.append(time.perf_counter() - start)
    cpu.append(time.process_time() - cpu_start)
times.sort()
cpu.sort()
print(times[len(times) // 2], cpu[len(cpu) // 2])
)";

// The peer's wall-clock and processor seconds; -1 when it did not run.
std::pair<double, double> RunPython(const fs::path& script, const std::string& arguments)
{
    const std::string command = "/usr/bin/python3 " + script.string() + " " + arguments;
    double seconds = -1;
    double cpu = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (std::fscanf(pipe, "%lf %lf", &seconds, &cpu) != 2)
            seconds = cpu = -1;
        pclose(pipe);
    }
    return {seconds, cpu};
}

void PrintComparison(const char* what, double ours, const char* peerName, double peer, const char* target)
{
    std::printf("%s\n  ours                 %7.3f s   (target %s)\n", what, ours, target);
    if (peer > 0)
        std::printf("  %-20s %7.3f s\n  ratio ours/peer      %7.2f\n", peerName, peer, ours / peer);
    else
        std::printf("  %-20s not measured (are python3 and python3-pil installed?)\n", peerName);
}

void BenchCommit(const fs::path& dir, const TBGRWithAlpha& object)
{
    TKvPixelBuffer picture;
    TKvPixelMask band;
    photo_scene::MakeScene(picture, band);
    const TPastePlacement placement{picture.GetBounds(), Rotation, false, false};

    std::vector<double> times;
    std::vector<double> cpu;
    TKvPixelBuffer target;
    for (int run = 0; run < Runs; ++run) {
        target.SetFormat(PixelFormatBGR24, picture.GetBounds());
        target.Assign(picture);
        const double cpuStart = ProcessCpuNow();
        times.push_back(WallSeconds([&] { RenderPaste(target, object, placement, pfHermite); }));
        cpu.push_back(ProcessCpuNow() - cpuStart);
    }
    std::printf("(ours: %.3f s of processor time on all cores)\n", Median(cpu));

    const fs::path script = dir / "paste.py";
    std::ofstream(script) << PillowPaste;
    WriteRaw(dir / "picture.bgr", picture);
    WriteObjectRaw(dir / "object.rgba", object);
    const auto [peer, peerCpu] = RunPython(script, (dir / "picture.bgr").string() + " " + (dir / "object.rgba").string() + " "
                                              + std::to_string(picture.Width) + " " + std::to_string(picture.Height)
                                              + " " + std::to_string(ObjectWidth) + " "
                                              + std::to_string(ObjectHeight) + " " + std::to_string(Rotation) + " "
                                              + std::to_string(Runs));
    std::printf("picture %d x %d, object %d x %d turned by %d degrees over the whole picture\n", picture.Width,
                picture.Height, ObjectWidth, ObjectHeight, Rotation);
    std::printf("(Pillow: %.3f s of processor time)\n", peerCpu);
    PrintComparison("Committed paste (Hermite)", Median(times), "Pillow", peer, "<= 0.7 x Pillow, < 1 s");
}

// The object as an entry of the user's library, so that the paste tool
// selects it when the program starts.
bool StoreObject(const TBGRWithAlpha& object)
{
    const fs::path library = ObjectLibraryFolder();
    fs::create_directories(library);
    return !WriteTestEntry(
                library, object.Width(), object.Height(), [&](int x, int y) { return object.GetColor(x, y); },
                [&](int x, int y) { return object.GetAlpha(x, y); })
                .empty();
}

// The mouse on the view at a picture point, as the user would use it.
void SendMouse(TKvGraphicsView* view, QEvent::Type type, QPoint picture, Qt::MouseButton button, Qt::MouseButtons held)
{
    const QPointF local = view->ImageToClient(picture);
    QMouseEvent event(type, local, view->mapToGlobal(local), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &event);
}

void DragOnPicture(TKvGraphicsView* view, QPoint from, QPoint to)
{
    SendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    SendMouse(view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

// A rectangle over the whole picture is placed and then moved by its
// inside, a few view pixels at a time; each frame is timed from the mouse
// move until the view has painted it.
void BenchPreviewFrame(TModule* module, TKvGraphicsDocument* document)
{
    TKvGraphicsEditor* editor = module->GraphicsEditor;
    TKvGraphicsView* view = editor->ActiveView();
    editor->SetActiveTool(module->PasteTool);
    editor->BestFit();
    QApplication::processEvents();
    // The same repaint without a rectangle: what the view costs by itself.
    std::vector<double> plain;
    std::vector<double> plainCpu;
    for (int frame = 0; frame < PreviewFrames; ++frame) {
        const double cpuStart = ProcessCpuNow();
        plain.push_back(WallSeconds([&] { view->repaint(); }));
        plainCpu.push_back(ProcessCpuNow() - cpuStart);
    }
    DragOnPicture(view, {0, 0}, {Width, Height});
    TKvPasteToolControl* control = module->PasteTool->ControlWithRectangle(document);
    if (!control || control->State() != TPlaceState::Placed) {
        std::printf("Live-preview frame: no rectangle was placed\n");
        return;
    }
    view->repaint();
    const QPoint centre(Width / 2, Height / 2);
    SendMouse(view, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
    TPaintClock paints(view);
    std::vector<double> frames;
    std::vector<double> framesCpu;
    for (int frame = 1; frame <= PreviewFrames; ++frame) {
        paints.Start();
        const double cpuStart = ProcessCpuNow();
        SendMouse(view, QEvent::MouseMove, centre + QPoint(frame * 25, frame * 15), Qt::NoButton, Qt::LeftButton);
        view->repaint(); // the paint the move asked for, made now
        frames.push_back(paints.FirstPaintSeconds());
        framesCpu.push_back(ProcessCpuNow() - cpuStart);
    }
    SendMouse(view, QEvent::MouseButtonRelease, centre + QPoint(PreviewFrames * 25, PreviewFrames * 15), Qt::LeftButton,
              Qt::NoButton);
    module->PasteTool->CancelPaste(control);
    std::sort(frames.begin(), frames.end());
    std::printf("Live-preview frame at fitted zoom (view %d x %d, rectangle over the whole picture, turned by %d)\n"
                "  ours                 %7.3f s   (slowest %.3f s; target < 0.033 s; %.3f s of processor time)\n"
                "  the view alone       %7.3f s   (the same repaint without a rectangle; %.3f s of processor time)\n",
                view->width(), view->height(), module->PasteTool->Rotation(), Median(frames), frames.back(),
                Median(framesCpu), Median(plain), Median(plainCpu));
}

const char* PillowText = R"(
import sys, time
from PIL import Image, ImageDraw, ImageFont
picture_path, width, height, font_path, size, text, l, t, r, b, red, green, blue, runs = sys.argv[1:15]
width, height, size, l, t, r, b, runs = int(width), int(height), int(size), int(l), int(t), int(r), int(b), int(runs)
colour = (int(red), int(green), int(blue))
picture = Image.frombytes('RGB', (width, height), open(picture_path, 'rb').read(), 'raw', 'BGR')
font = ImageFont.truetype(font_path, size)
lines = text.split('|')
times = []
cpu = []
for _ in range(runs):
    target = picture.copy()
    start = time.perf_counter()
    cpu_start = time.process_time()
    ascent, descent = font.getmetrics()
    line_height = ascent + descent
    mask = Image.new('L', (int(max(font.getlength(line) for line in lines)), line_height * len(lines)), 0)
    draw = ImageDraw.Draw(mask)
    for i, line in enumerate(lines):
        draw.text((0, i * line_height), line, fill=255, font=font)
    stretched = mask.resize((r - l, b - t), Image.BICUBIC)
    target.paste(colour, (l, t, r, b), stretched)
    times.append(time.perf_counter() - start)
    cpu.append(time.process_time() - cpu_start)
times.sort()
cpu.sort()
print(times[len(times) // 2], cpu[len(cpu) // 2])
)";

// The text tool's commit: the mask rendered from the memo, then blended into
// the rectangle and recorded; undone between runs.
void BenchTextCommit(TModule* module, TKvGraphicsDocument* document, const fs::path& dir)
{
    TKvGraphicsEditor* editor = module->GraphicsEditor;
    TKvGraphicsView* view = editor->ActiveView();
    TKvTextTool* tool = module->TextTool;
    editor->SetActiveTool(tool);
    tool->TextFrame()->FontNameComboBox->setCurrentText(QString::fromLatin1(TextFont));
    tool->SetFontSize(TextSize);
    tool->SetTextColor(TextColor);
    tool->TextFrame()->TextMemo->setPlainText(QString::fromLatin1(Text));
    std::vector<double> times;
    std::vector<double> cpu;
    std::vector<double> blends;
    for (int run = 0; run < Runs; ++run) {
        DragOnPicture(view, {TextRect.Left, TextRect.Top}, {TextRect.Right, TextRect.Bottom});
        TKvTextToolControl* control = tool->ControlWithRectangle(document);
        if (!control) {
            std::printf("Text commit: no rectangle was placed\n");
            return;
        }
        const int steps = document->History().Position();
        TKvPixelBuffer copy;
        copy.SetFormat(PixelFormatBGR24, document->Image().Pixels().GetBounds());
        copy.Assign(document->Image().Pixels());
        const TTextPlacement placement = tool->PlacementOf(*control);
        blends.push_back(WallSeconds([&] { BlendText(copy, tool->Mask(), placement, tool->ColorRule()); }));
        const double cpuStart = ProcessCpuNow();
        times.push_back(WallSeconds([&] {
            tool->RenderMask();
            tool->CommitText(control);
        }));
        cpu.push_back(ProcessCpuNow() - cpuStart);
        if (document->History().Position() != steps + 1)
            std::printf("(the text commit recorded no step)\n");
        editor->Undo();
    }

    const fs::path script = dir / "text.py";
    std::ofstream(script) << PillowText;
    WriteRaw(dir / "picture.bgr", document->Image().Pixels());
    std::string lines = Text;
    std::replace(lines.begin(), lines.end(), '\n', '|');
    const int pixels = int(std::lround(TextSize * 96.0 / 72.0));
    const std::string arguments = (dir / "picture.bgr").string() + " " + std::to_string(Width) + " "
        + std::to_string(Height) + " " + TextFontFile + " " + std::to_string(pixels) + " '" + lines + "' "
        + std::to_string(TextRect.Left) + " " + std::to_string(TextRect.Top) + " " + std::to_string(TextRect.Right) + " "
        + std::to_string(TextRect.Bottom) + " " + std::to_string(TextColor & 0xFF) + " "
        + std::to_string((TextColor >> 8) & 0xFF) + " " + std::to_string((TextColor >> 16) & 0xFF) + " "
        + std::to_string(Runs);
    const auto [peer, peerCpu] = RunPython(script, arguments);
    std::printf("text \"%s\" in %s at %d points (mask %d x %d) into %d x %d\n", lines.c_str(), TextFont, TextSize,
                tool->Mask().Width(), tool->Mask().Height(), TextRect.Width(), TextRect.Height());
    std::printf("(ours: %.3f s of processor time on all cores, of which the blend alone %.3f s wall;"
                " Pillow: %.3f s of processor time)\n",
                Median(cpu), Median(blends), peerCpu);
    PrintComparison("Text commit", Median(times), "Pillow", peer, "<= 1.0 x Pillow");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qt(argc, argv);
    QTemporaryDir temporary;
    const fs::path dir(temporary.path().toStdString());
    if (qEnvironmentVariableIsEmpty("SANE_CONFIG_DIR"))
        qputenv("SANE_CONFIG_DIR", temporary.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (dir / "config").string().c_str());
    qputenv("XDG_DATA_HOME", (dir / "data").string().c_str());

    TBGRWithAlpha object;
    MakeObject(object);
    BenchCommit(dir, object);

    const QString photo = QString::fromStdString((dir / "photo.jpg").string());
    if (!StoreObject(object) || !WritePhotoJpeg(photo, Width, Height)) {
        std::fprintf(stderr, "cannot write the library entry or the test picture\n");
        return 1;
    }
    TKvApplication application;
    application.SetTitle(QStringLiteral("Orvane"));
    TCommonDataModule* commonData = nullptr;
    TModule* module = nullptr;
    application.CreateForm(commonData);
    application.CreateForm(module, commonData);
    module->MainForm->resize(1600, 1000);
    module->MainForm->show();
    QApplication::processEvents();
    TKvDocument* opened = nullptr;
    if (!module->GraphicsEditor->OpenFile(photo, opened, false) || !module->GraphicsEditor->ActiveView()) {
        std::fprintf(stderr, "the picture did not open\n");
        return 1;
    }
    auto* document = static_cast<TKvGraphicsDocument*>(opened);
    QApplication::processEvents();
    module->PasteTool->SetRotation(Rotation);
    BenchPreviewFrame(module, document);
    BenchTextCommit(module, document, dir);
    document->SetNoSavePrompt(true);
    return 0;
}
