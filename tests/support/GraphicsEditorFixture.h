// A stand-in for the graphics editor around graphics documents: the real
// format registry, a list of tools, a view that records what it was asked
// to repaint, and scripted answers to the editor's questions. Header-only:
// it needs the user-interface layer, which the support library does not link.
#pragma once

#include "KvGraphicsDocument.h"
#include "KvGraphicsFormats.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

// A view that notes the image rectangles it was asked to repaint.
class RecordingView : public QWidget, public IKvGraphicsDocumentView {
public:
    void InvalidateImageRect(const TRect& rect) override { Invalidated.push_back(rect); }
    void ImageChanged() override { ++ImageChanges; }

    std::vector<TRect> Invalidated;
    int ImageChanges = 0;
};

class TestGraphicsEditor : public IKvGraphicsDocumentEditor {
public:
    TKvDocumentFormats* Formats() override { return &FormatRegistry; }
    void UpdateCaption() override { ++CaptionUpdates; }
    int AskSaveChanges(const QString& name) override
    {
        Questions.push_back(name);
        return Answer;
    }
    bool SaveDocumentAs(TKvDocument* document) override
    {
        return SaveAs ? SaveAs(document) : false;
    }
    void RemoveDocument(TKvDocument* document) override
    {
        Removed.push_back(document);
        std::erase_if(Documents, [document](const auto& owned) { return owned.get() == document; });
    }
    const std::vector<IKvGraphicsTool*>& GraphicsTools() const override { return Tools; }
    void ShowImageSize(int width, int height) override
    {
        ShownWidth = width;
        ShownHeight = height;
    }
    QWidget* CreateView(TKvGraphicsDocument*) override { return new RecordingView; }

    // A document owned by this editor, as the editor's document list holds it.
    TKvGraphicsDocument* NewDocument()
    {
        Documents.push_back(std::make_unique<TKvGraphicsDocument>(this));
        return static_cast<TKvGraphicsDocument*>(Documents.back().get());
    }

    TKvGraphicsFormats FormatRegistry;
    std::vector<IKvGraphicsTool*> Tools;
    std::vector<std::unique_ptr<TKvDocument>> Documents;
    std::vector<TKvDocument*> Removed;
    std::vector<QString> Questions;
    int Answer = 2; // Cancel
    std::function<bool(TKvDocument*)> SaveAs;
    int CaptionUpdates = 0;
    int ShownWidth = -1;
    int ShownHeight = -1;
};

// A picture of smooth gradients, with sharp bars unless smooth is set: a
// shift by a few pixels shows, and a smooth one JPEG keeps close.
inline QImage PatternPicture(int width, int height, bool smooth = false)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool bar = !smooth && (x / 7 + y / 11) % 5 == 0;
            image.setPixelColor(x, y, QColor(bar ? 250 : (x * 255) / std::max(width - 1, 1),
                                             bar ? 20 : (y * 255) / std::max(height - 1, 1),
                                             ((x + y) * 127) / std::max(width + height - 2, 1)));
        }
    return image;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The document's picture (the image rectangle) as a QImage copy.
inline QImage DocumentPicture(const TKvGraphicsDocument& document)
{
    const TRect rect = document.GetImageRect();
    const TKvPixels& pixels = document.Image().Pixels();
    return QImage(static_cast<const uchar*>(pixels.PixelAt(rect.Left, rect.Top)), rect.Width(), rect.Height(),
                  pixels.Stride, QImage::Format_BGR888)
        .convertToFormat(QImage::Format_RGB888);
}

// Calls visit with the difference of every channel of every pixel of two
// pictures of the same size.
template <typename Visit>
void VisitDifferences(const QImage& a, const QImage& b, Visit visit)
{
    const QImage ca = a.convertToFormat(QImage::Format_RGB888);
    const QImage cb = b.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < ca.height(); ++y) {
        const uchar* pa = ca.constScanLine(y);
        const uchar* pb = cb.constScanLine(y);
        for (int i = 0; i < ca.width() * 3; ++i)
            visit(std::abs(int(pa[i]) - int(pb[i])));
    }
}

// The largest difference of any channel of any pixel; INT_MAX when the
// sizes differ.
inline int MaxDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return INT_MAX;
    int worst = 0;
    VisitDifferences(a, b, [&](int difference) { worst = std::max(worst, difference); });
    return worst;
}

// The mean difference over every channel of every pixel; a large number
// when the sizes differ.
inline double MeanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1e9;
    double sum = 0;
    VisitDifferences(a, b, [&](int difference) { sum += difference; });
    return sum / (double(a.width()) * a.height() * 3);
}
