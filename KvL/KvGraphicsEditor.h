// The graphics editor: the document editor for pictures. It supplies the
// graphics document, the picture formats (with the JPEG quality question and
// the quality kept in its settings), and a view that shows the picture
// fitted into the window; dropped files are opened.
#pragma once

#include "KvEditor.h"
#include "KvGraphicsDocument.h"
#include "KvGraphicsFormats.h"

#include <QWidget>

#include <vector>

// Shows a graphics document's picture (its crop rectangle) centred in the
// window, reduced to fit when it is larger, never enlarged.
class TKvFittedPictureView : public QWidget, public IKvGraphicsDocumentView {
    Q_OBJECT
public:
    explicit TKvFittedPictureView(TKvGraphicsDocument* document, QWidget* parent = nullptr);

    void InvalidateImageRect(const TRect& rect) override;
    void ImageChanged() override;
    // Where the picture is painted, in the view's coordinates.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TKvGraphicsDocument* m_document;
};

class TKvGraphicsEditor : public TKvEditor, public IKvGraphicsDocumentEditor {
    Q_OBJECT
public:
    static const QUuid GraphicsSettingsGuid;

    TKvGraphicsEditor();
    ~TKvGraphicsEditor() override;

    // A Boolean kept in the settings for the program's later versions.
    bool KeepSetting = false;

    // The editor's recent files, then the JPEG quality and KeepSetting.
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;

    TKvDocumentFormats* Formats() override { return &m_formats; }
    TKvGraphicsFormats& GraphicsFormats() { return m_formats; }
    std::unique_ptr<TKvDocument> CreateDocument() override;

    const std::vector<IKvGraphicsTool*>& GraphicsTools() const override { return m_tools; }
    void ShowImageSize(int width, int height) override;
    QWidget* CreateView(TKvGraphicsDocument* document) override;

private:
    TKvGraphicsFormats m_formats;
    std::vector<IKvGraphicsTool*> m_tools;
};

// The graphics editor of the run; null while there is none.
extern TKvGraphicsEditor* GraphicsEditor;
