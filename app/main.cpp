// Entry point of the editor: for now a window that shows one picture, the
// one named on the command line or the bundled sample.
#include "KvLTBitmap.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

namespace {

// Shows a picture fitted into the window (never enlarged), centred.
class TPictureWindow : public QWidget {
public:
    explicit TPictureWindow(TKvLTBitmap& picture) : Picture(picture) {}

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().window());
        int w = Picture.Width();
        int h = Picture.Height();
        if (w > width() || h > height())
            FitSize(Picture.Width(), Picture.Height(), width(), height(), w, h);
        const TRect dest = RectOfSize((width() - w) / 2, (height() - h) / 2, w, h);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        Picture.Draw(painter, dest, FromQRect(event->rect()));
    }

private:
    TKvLTBitmap& Picture;
};

// Reads a picture file into the bitmap as 24-bit pixels; the reader's
// complaint when it cannot.
QString LoadPicture(const QString& path, TKvLTBitmap& picture)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return reader.errorString();
    image.convertTo(QImage::Format_BGR888);
    TKvPixels pixels;
    pixels.Init(RectOfSize(0, 0, image.width(), image.height()), image.bits(), PixelFormatBGR24,
                int(image.bytesPerLine()));
    if (!picture.AssignPixels(pixels))
        return QApplication::tr("Not enough memory for a picture of %1 x %2 pixels.")
            .arg(image.width())
            .arg(image.height());
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QImageReader::setAllocationLimit(0); // 24-megapixel photographs exceed the default limit
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QDir(QApplication::applicationDirPath()).filePath("Demo/coffee.png");
    TKvLTBitmap picture;
    const QString error = LoadPicture(path, picture);
    if (!error.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Orvane"), QStringLiteral("%1\n\n%2").arg(path, error));
        return 1;
    }
    TPictureWindow window(picture);
    window.setWindowTitle(QStringLiteral("Orvane - %1").arg(QFileInfo(path).fileName()));
    window.resize(QSize(picture.Width(), picture.Height()).boundedTo({1000, 750}).expandedTo({320, 240}));
    window.show();
    return app.exec();
}
