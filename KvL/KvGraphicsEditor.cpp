#include "KvGraphicsEditor.h"

#include "KvJPEGOptions.h"
#include "KvMainForm.h"
#include "KvSDF.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStatusBar>

TKvGraphicsEditor* GraphicsEditor = nullptr;

// ---------------------------------------------------------------------------
// Fitted picture view

TKvFittedPictureView::TKvFittedPictureView(TKvGraphicsDocument* document, QWidget* parent)
    : QWidget(parent), m_document(document)
{
    setObjectName(QStringLiteral("PictureView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect TKvFittedPictureView::PictureRect() const
{
    const TRect source = m_document->GetImageRect();
    int w = source.Width();
    int h = source.Height();
    if (w <= 0 || h <= 0)
        return {};
    if (w > width() || h > height())
        FitSize(source.Width(), source.Height(), width(), height(), w, h);
    return QRect((width() - w) / 2, (height() - h) / 2, w, h);
}

void TKvFittedPictureView::InvalidateImageRect(const TRect&)
{
    update();
}

void TKvFittedPictureView::ImageChanged()
{
    update();
}

void TKvFittedPictureView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect picture = PictureRect();
    painter.save();
    painter.setClipRegion(QRegion(event->rect()).subtracted(picture));
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    painter.restore();
    if (picture.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_document->Image().Draw(painter, FromQRect(picture), FromQRect(event->rect()), m_document->GetImageRect());
}

// ---------------------------------------------------------------------------
// Graphics editor

const QUuid TKvGraphicsEditor::GraphicsSettingsGuid{QStringLiteral("{E1195915-FFAE-4A56-B331-F4567336FF25}")};

TKvGraphicsEditor::TKvGraphicsEditor()
{
    setObjectName(QStringLiteral("GraphicsEditor"));
    // Cancelling the quality question cancels the save: no failure to report.
    m_formats.SetJpegOptionsDialog([this](int quality) {
        const std::optional<int> chosen = AskJPEGQuality(quality, MainForm);
        if (!chosen)
            NoteSaveCancelled();
        return chosen;
    });
    MainForm->OnDropFile = [this](const QString& fileName) {
        TKvDocument* document = nullptr;
        OpenFile(fileName, document, true);
    };
}

TKvGraphicsEditor::~TKvGraphicsEditor()
{
    if (MainForm)
        MainForm->OnDropFile = nullptr;
    if (GraphicsEditor == this)
        GraphicsEditor = nullptr;
}

std::unique_ptr<TKvDocument> TKvGraphicsEditor::CreateDocument()
{
    return std::make_unique<TKvGraphicsDocument>(this);
}

QWidget* TKvGraphicsEditor::CreateView(TKvGraphicsDocument* document)
{
    return new TKvFittedPictureView(document);
}

void TKvGraphicsEditor::ShowImageSize(int width, int height)
{
    if (MainForm)
        MainForm->StatusBar->showMessage(QStringLiteral("%1 x %2").arg(width).arg(height));
}

void TKvGraphicsEditor::SaveSettings(TKvSDFWriter& writer)
{
    TKvEditor::SaveSettings(writer);
    writer.BeginNode(1, GraphicsSettingsGuid);
    writer.WriteInteger(1, m_formats.JpegQuality);
    writer.WriteBoolean(2, KeepSetting);
    writer.EndNode();
}

void TKvGraphicsEditor::LoadSettings(TKvSDFReader& reader)
{
    TKvEditor::LoadSettings(reader);
    if (!reader.EnterNode(1, GraphicsSettingsGuid))
        return;
    qint32 quality = m_formats.JpegQuality;
    if (reader.ReadInteger(1, quality))
        m_formats.JpegQuality = qBound(0, quality, 100);
    reader.ReadBoolean(2, KeepSetting);
    reader.LeaveNode();
}
