// The graphics view on a 24-megapixel JPEG in a 1600 x 1000 window:
//   open       the editor opens the file (decoding, the view placed and fitted)
//   first paint the first complete paint of the view at best fit
//   scrolling  50 scroll steps of 20 pixels (up and down between the
//              picture's edges), each painted, at 1:1, 1:4 and 4:1
//   zoom change a complete paint right after changing the zoom (1:2, then 1:4)
// There is no peer program to compare with: the figures are absolute. Targets:
// first paint under 0.5 s, scrolling at 1:1 at 60 frames per second or more.
#include "BenchClock.h"
#include "PhotoJpeg.h"
#include "KvForms.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsView.h"
#include "KvMainForm.h"
#include "KvScrollTool.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

namespace {

constexpr int Width = 6000;
constexpr int Height = 4000;
constexpr int Steps = 50;
constexpr int StepPixels = 20;

// Paints whatever the view has pending, as the event loop would.
void PaintPending()
{
    QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QApplication::processEvents();
}

double ScrollingFramesPerSecond(TKvGraphicsView* view)
{
    int direction = -1;
    const double seconds = WallSeconds([&] {
        for (int step = 0; step < Steps; ++step) {
            // Up and down between the picture's edges.
            int dx = 0;
            int dy = direction * StepPixels;
            view->ClampScroll(dx, dy);
            if (dy == 0) {
                direction = -direction;
                dy = direction * StepPixels;
                view->ClampScroll(dx, dy);
            }
            view->ScrollBy(dx, dy);
            PaintPending();
        }
    });
    return Steps / seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qt(argc, argv);
    QTemporaryDir folder;
    // No scanner is needed: the scanner library reads an empty folder
    // instead of probing for devices.
    if (qEnvironmentVariableIsEmpty("SANE_CONFIG_DIR"))
        qputenv("SANE_CONFIG_DIR", QFile::encodeName(folder.path()));
    const QString photo = QDir(folder.path()).filePath(QStringLiteral("photo.jpg"));
    if (!WritePhotoJpeg(photo, Width, Height)) {
        std::fprintf(stderr, "cannot write the test picture\n");
        return 1;
    }

    TKvApplication application;
    application.SetTitle(QStringLiteral("Orvane"));
    TKvGraphicsEditor* editor = nullptr;
    TMainForm* mainForm = nullptr;
    TKvScrollTool* hand = nullptr;
    application.CreateComponent(editor, TMainForm::Maker(mainForm));
    application.CreateComponent(hand, editor);
    mainForm->resize(1600, 1000);
    mainForm->show();
    QApplication::processEvents();

    TKvDocument* document = nullptr;
    const double open = WallSeconds([&] { editor->OpenFile(photo, document, false); });
    TKvGraphicsView* view = editor->ActiveView();
    if (!view) {
        std::fprintf(stderr, "the picture did not open\n");
        return 1;
    }
    const double firstPaint = WallSeconds([&] { view->repaint(); });
    const TKvZoom fit = editor->Zoom();
    std::printf("view %dx%d, best fit %d:%d\n", view->width(), view->height(), fit.Numerator, fit.Denominator);
    std::printf("%-34s %7.3f s\n", "open (decode, place, fit)", open);
    std::printf("%-34s %7.3f s   (target < 0.5 s)\n", "first complete paint at best fit", firstPaint);

    editor->SetZoom(view, {1, 1});
    view->repaint();
    std::printf("%-34s %7.1f frames/s   (target >= 60)\n", "scrolling at 1:1", ScrollingFramesPerSecond(view));

    const double half = WallSeconds([&] {
        editor->SetZoom(view, {1, 2});
        view->repaint();
    });
    const double quarter = WallSeconds([&] {
        editor->SetZoom(view, {1, 4});
        view->repaint();
    });
    const double again = WallSeconds([&] { view->repaint(); });
    std::printf("%-34s %7.3f s\n", "zoom to 1:2 and paint", half);
    std::printf("%-34s %7.3f s\n", "zoom to 1:4 and paint", quarter);
    std::printf("%-34s %7.3f s\n", "paint again at 1:4", again);
    std::printf("%-34s %7.1f frames/s\n", "scrolling at 1:4", ScrollingFramesPerSecond(view));

    editor->SetZoom(view, {4, 1});
    view->repaint();
    std::printf("%-34s %7.1f frames/s\n", "scrolling at 4:1", ScrollingFramesPerSecond(view));

    if (TKvDocument* active = editor->ActiveDocument())
        active->SetNoSavePrompt(true);
    return 0;
}
