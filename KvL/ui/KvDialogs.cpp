#include "KvDialogs.h"

#include "KvLocalizer.h"

#include <QEvent>
#include <QFileInfo>
#include <QFontInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QGuiApplication>
#include <QThread>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

QStringList NameFiltersFromFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList nameFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& caption = parts[i];
        // The caption repeats the patterns in parentheses; Qt reads them
        // from there, separated by blanks.
        const qsizetype open = caption.lastIndexOf(QStringLiteral(" ("));
        const QString name = open >= 0 ? caption.left(open) : caption;
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern == QStringLiteral("*.*"))
                pattern = QStringLiteral("*");
        nameFilters << name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return nameFilters;
}

// ---------------------------------------------------------------------------

// Paints the current preview centred in its client rectangle, the rest in
// the box's colour, inside a thin frame.
class TKvPreviewBox : public QWidget {
public:
    explicit TKvPreviewBox(QWidget* parent) : QWidget(parent) {}

    void SetPreview(std::shared_ptr<TKvThumbnail> preview)
    {
        m_preview = std::move(preview);
        update();
    }
    // The size a preview is made for: the client area inside the frame.
    QSize PreviewSize() const { return (size() - QSize(2, 2)).expandedTo(QSize(0, 0)); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect client = rect();
        QRect drawn;
        if (!m_preview || !m_preview->Draw(painter, client, drawn))
            drawn = QRect();
        painter.save();
        painter.setClipRegion(QRegion(client).subtracted(QRegion(drawn)));
        painter.fillRect(client, palette().window());
        painter.restore();
        painter.setPen(palette().color(QPalette::Dark));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(client.adjusted(0, 0, -1, -1));
    }

private:
    std::shared_ptr<TKvThumbnail> m_preview;
};

// ---------------------------------------------------------------------------

// Makes previews off the main thread. It holds at most one pending request;
// a newer request replaces it, and a preview finished while a newer request
// is pending is thrown away. Finished previews go to the delivery function
// (which must be safe to call from this thread).
class TKvDialogPreviewThread : public QThread {
public:
    using TDelivery = std::function<void(quint64 selection, std::shared_ptr<TKvThumbnail> preview)>;

    TKvDialogPreviewThread(const TKvFileFormats& formats, TDelivery deliver)
        : m_formats(formats), m_deliver(std::move(deliver))
    {
    }
    ~TKvDialogPreviewThread() override
    {
        Stop();
        wait();
    }

    // Runs the thread, or keeps it running when a stop was asked for but
    // has not yet taken effect.
    void Run()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = false;
        }
        start();
    }
    // Asks the thread to end after the preview it is making, if any; that
    // preview is not delivered.
    void Stop()
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_pending.reset();
        m_wake.notify_all();
    }
    void Request(quint64 selection, const QString& path, QSize size)
    {
        const std::lock_guard lock(m_mutex);
        m_pending = TRequest{selection, path, size};
        m_wake.notify_all();
    }
    void Withdraw()
    {
        const std::lock_guard lock(m_mutex);
        m_pending.reset();
    }

protected:
    void run() override
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            if (!m_pending) {
                m_wake.wait(lock);
                continue;
            }
            const TRequest request = std::move(*m_pending);
            m_pending.reset();
            lock.unlock();
            std::unique_ptr<TKvThumbnail> preview;
            const bool made = m_formats.GetThumbnail(request.Path, request.Size.width(), request.Size.height(), preview)
                              && preview;
            lock.lock();
            if (made && !m_pending && !m_stop)
                m_deliver(request.Selection, std::shared_ptr<TKvThumbnail>(std::move(preview)));
        }
    }

private:
    struct TRequest {
        quint64 Selection;
        QString Path;
        QSize Size;
    };

    const TKvFileFormats& m_formats;
    const TDelivery m_deliver;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<TRequest> m_pending;
    bool m_stop = false;
};

// ---------------------------------------------------------------------------

TKvOpenDialog::TKvOpenDialog(QWidget* owner, const TKvFileFormats& formats) : TKvOpenDialog(owner, formats, TKind::Open)
{
}

TKvOpenDialog::TKvOpenDialog(QWidget* owner, const TKvFileFormats& formats, TKind kind)
    : QFileDialog(owner), m_formats(formats), m_kind(kind)
{
    setOption(QFileDialog::DontUseNativeDialog);
    BuildPreviewArea();

    // Finished previews reach the dialog as queued calls on the main
    // thread, so storing and freeing previews never race; a preview whose
    // selection is no longer the latest is dropped there.
    m_previewThread = std::make_unique<TKvDialogPreviewThread>(
        m_formats, [this](quint64 selection, std::shared_ptr<TKvThumbnail> preview) {
            QMetaObject::invokeMethod(
                this, [this, selection, preview] { PreviewMade(selection, preview); }, Qt::QueuedConnection);
            emit PreviewPosted();
        });
    m_previewThread->Run();
    connect(this, &QFileDialog::currentChanged, this, &TKvOpenDialog::SelectionChanged);

    // Room for the file list's columns beside the preview area.
    QSize size = sizeHint().expandedTo(QSize(920, 540));
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);

    TKvFileFormatList list;
    if (m_kind == TKind::Open) {
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::ExistingFile);
        m_formats.OpenFormats(list);
        setNameFilters(NameFiltersFromFilter(BuildFilter(list)));
        SetFilterIndex(m_formats.Count() + 1);
    } else {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setOption(QFileDialog::DontConfirmOverwrite);
        m_formats.SaveFormats(list);
        setNameFilters(NameFiltersFromFilter(BuildFilter(list)));
    }
}

TKvOpenDialog::~TKvOpenDialog() = default;

void TKvOpenDialog::BuildPreviewArea()
{
    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("PreviewPanel"));
    m_panel->setFrameShape(QFrame::NoFrame);
    auto* column = new QVBoxLayout(m_panel);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(0);

    m_previewBox = new TKvPreviewBox(m_panel);
    m_previewBox->setObjectName(QStringLiteral("PreviewBox"));
    m_previewBox->setFixedHeight(224);
    column->addWidget(m_previewBox);

    m_infoLabel = new QLabel(m_panel);
    m_infoLabel->setObjectName(QStringLiteral("InfoLabel"));
    m_infoLabel->setTextFormat(Qt::PlainText);
    m_infoLabel->setWordWrap(true);
    m_infoLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_infoLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    column->addWidget(m_infoLabel, 1);

    const int averageChar = QFontMetrics(m_infoLabel->font()).averageCharWidth();
    m_panel->setFixedWidth(qMax(240, 34 * averageChar));
    m_panel->installEventFilter(this);

    // The file dialog's own controls stand in a grid; the preview area
    // takes a new column on its right over the grid's full height.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(m_panel, 0, grid->columnCount(), grid->rowCount(), 1);
    else
        m_panel->hide();

    // With the preview area beside it the detail list is narrower: its
    // size, type and date columns take the width their texts need, the
    // name the rest.
    if (auto* details = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}

QWidget* TKvOpenDialog::PreviewBox() const
{
    return m_previewBox;
}

bool TKvOpenDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panel && event->type() == QEvent::Resize)
        FitPreviewBoxToPanel();
    return QFileDialog::eventFilter(watched, event);
}

// The box takes the panel's height but for about seven lines of the label.
void TKvOpenDialog::FitPreviewBoxToPanel()
{
    const int labelLines = static_cast<int>(std::lround(1.25 * 7 * QFontInfo(m_infoLabel->font()).pixelSize()));
    const QMargins margins = m_panel->layout()->contentsMargins();
    const int height = m_panel->height() - margins.top() - margins.bottom() - labelLines;
    m_previewBox->setFixedHeight(qMax(height, 32));
}

bool TKvOpenDialog::Execute()
{
    setWindowTitle(LocalStr(m_kind == TKind::Open ? 12 : 15));
    return exec() == QDialog::Accepted;
}

QString TKvOpenDialog::FileName() const
{
    return selectedFiles().value(0);
}

void TKvOpenDialog::SetFileName(const QString& fileName)
{
    const QFileInfo file(fileName);
    if (file.isAbsolute())
        setDirectory(file.absolutePath());
    selectFile(file.isAbsolute() ? file.fileName() : fileName);
}

int TKvOpenDialog::FilterIndex() const
{
    const qsizetype index = nameFilters().indexOf(selectedNameFilter());
    return index < 0 ? 0 : static_cast<int>(index) + 1;
}

void TKvOpenDialog::SetFilterIndex(int index)
{
    const QStringList filters = nameFilters();
    if (index >= 1 && index <= filters.size())
        selectNameFilter(filters[index - 1]);
}

void TKvOpenDialog::showEvent(QShowEvent* event)
{
    m_previewThread->Run();
    QFileDialog::showEvent(event);
}

void TKvOpenDialog::done(int result)
{
    ++m_selection; // whatever preview is still on its way is stale now
    m_previewThread->Stop();
    QToolTip::hideText();
    QFileDialog::done(result);
}

void TKvOpenDialog::SelectionChanged(const QString& path)
{
    ++m_selection;
    DropPreview();
    std::unique_ptr<TKvFileInfo> info;
    if (QFileInfo(path).isFile() && m_formats.GetFileInfo(path, info) && info) {
        m_infoLabel->setText(QLatin1Char('\n') + info->Text());
        m_previewThread->Request(m_selection, path, m_previewBox->PreviewSize());
    } else {
        m_infoLabel->clear();
        m_previewThread->Withdraw();
    }
}

void TKvOpenDialog::DropPreview()
{
    m_previewBox->SetPreview(nullptr);
}

void TKvOpenDialog::PreviewMade(quint64 selection, std::shared_ptr<TKvThumbnail> preview)
{
    if (selection != m_selection || !preview)
        return;
    m_previewBox->SetPreview(std::move(preview));
}

// ---------------------------------------------------------------------------

TKvSaveDialog::TKvSaveDialog(QWidget* owner, const TKvFileFormats& formats)
    : TKvOpenDialog(owner, formats, TKind::Save)
{
}
