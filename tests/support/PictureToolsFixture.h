// The whole-picture tools (original image, rotate and flip, brightness and
// contrast, crop) over a graphics view of a picture whose every pixel
// differs from its neighbours, the original picture a copy of it, at 1:1.
// Header-only: it needs the user-interface layer, which the support library
// does not link.
#pragma once

#include "GraphicsViewFixture.h"
#include "KvBrightnessContrastTool.h"
#include "KvCropTool.h"
#include "KvOriginalImageTool.h"
#include "KvRotateTool.h"
#include "ViewMouse.h"

#include <memory>

// The colour of pixel (x, y) of the fixture's picture.
inline TColorTriple NumberedColor(int x, int y)
{
    return {std::uint8_t(x * 3 + y), std::uint8_t(y * 5 + x / 7), std::uint8_t((x ^ y) * 11)};
}

// Whether two pixel rectangles have the same size and pixels.
inline bool SamePicture(const TKvPixels& a, const TKvPixels& b)
{
    if (a.Width != b.Width || a.Height != b.Height || a.Format != b.Format)
        return false;
    for (int y = 0; y < a.Height; ++y)
        if (std::memcmp(a.PixelAt(a.Left, a.Top + y), b.PixelAt(b.Left, b.Top + y), std::size_t(a.Width) * 3) != 0)
            return false;
    return true;
}

// A 24-bit copy of the pixels, at (0, 0).
inline std::unique_ptr<TKvPixelBuffer> CopyOf(const TKvPixels& pixels)
{
    auto copy = std::make_unique<TKvPixelBuffer>();
    copy->SetFormat(pixels.Format, RectOfSize(0, 0, pixels.Width, pixels.Height));
    copy->CopyFrom(0, 0, pixels.GetBounds(), pixels);
    return copy;
}

class PictureToolsFixture : public GraphicsViewFixture {
public:
    PictureToolsFixture(int width = 120, int height = 90, QSize viewSize = QSize(200, 160))
        : GraphicsViewFixture(width, height, viewSize)
    {
        FillPicture(NumberedColor);
        document->Original().AssignPixels(document->Image().Pixels());
        original = std::make_unique<TKvOriginalImageTool>(&tools);
        rotate = std::make_unique<TKvRotateTool>(&tools);
        tone = std::make_unique<TKvBrightnessContrastTool>(&tools);
        crop = std::make_unique<TKvCropTool>(&tools);
        for (TKvGraphicsTool* tool : All()) {
            static_cast<TestGraphicsEditor&>(editor).Tools.push_back(tool);
            tool->AfterCreate();
            tool->CreateControl(view);
            tool->DocumentOpened(document);
        }
    }
    ~PictureToolsFixture() { static_cast<TestGraphicsEditor&>(editor).Tools.clear(); }

    // The document takes the file's picture (and, for a JPEG, the lossless
    // codec its source), as when it is opened.
    bool Load(const QString& path)
    {
        if (!document->LoadFromFile(path))
            return false;
        view->ImageChanged();
        for (TKvGraphicsTool* tool : All())
            tool->DocumentOpened(document);
        return true;
    }

    std::vector<TKvGraphicsTool*> All() const { return {original.get(), rotate.get(), tone.get(), crop.get()}; }

    // Undo and redo as the editor takes them: an open change settled first,
    // every tool told before and after.
    void Undo()
    {
        document->CommitOrCancelOpenChanges();
        document->BroadcastBeforeUndo();
        document->History().Undo();
        document->BroadcastAfterUndo();
    }
    void Redo()
    {
        document->CommitOrCancelOpenChanges();
        document->BroadcastBeforeRedo();
        document->History().Redo();
        document->BroadcastAfterRedo();
    }

    TKvCropToolControl* CropControl() const { return crop->CropControl(); }
    const TKvPixels& Image() const { return document->Image().Pixels(); }
    const TKvPixels& Original() const { return document->Original().Pixels(); }
    TColorTriple ImageAt(int x, int y) const
    {
        const std::uint8_t* p = Image().PixelAt(x, y);
        return {p[0], p[1], p[2]};
    }
    // The colour the view shows at the picture point (1:1 unless zoomed).
    TColorTriple ShownAt(const QImage& painted, int x, int y) const
    {
        const QColor c = painted.pixelColor(view->ImageToClient(QPoint(x, y)));
        return {std::uint8_t(c.blue()), std::uint8_t(c.green()), std::uint8_t(c.red())};
    }

    std::unique_ptr<TKvOriginalImageTool> original;
    std::unique_ptr<TKvRotateTool> rotate;
    std::unique_ptr<TKvBrightnessContrastTool> tone;
    std::unique_ptr<TKvCropTool> crop;
};
