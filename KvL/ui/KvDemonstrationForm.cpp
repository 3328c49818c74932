#include "KvDemonstrationForm.h"

#include "KvLocalizer.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor FrameColor(203, 203, 203);

// A white square with the light grey frame round its edge.
QImage FramedSquare()
{
    QImage square(TKvDemonstrationForm::PictureSize, TKvDemonstrationForm::PictureSize, QImage::Format_RGB888);
    square.fill(Qt::white);
    return square;
}

void DrawFrame(QImage& square)
{
    QPainter painter(&square);
    painter.setPen(FrameColor);
    painter.drawRect(0, 0, square.width() - 1, square.height() - 1);
}

} // namespace

TKvDemonstrationForm::TKvDemonstrationForm(const QString& folder, int lastIndex, bool showAtStartup,
                                           QWidget* parent)
    : TKvForm(parent), SelectLabel(new QLabel(this)), DemoListView(new QListWidget(this)),
      ShowAtStartupCheckBox(new QCheckBox(this)), StartButton(new QPushButton(this)),
      CloseButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("DemonstrationForm"));
    SelectLabel->setObjectName(QStringLiteral("SelectLabel"));
    DemoListView->setObjectName(QStringLiteral("DemoListView"));
    ShowAtStartupCheckBox->setObjectName(QStringLiteral("ShowAtStartupCheckBox"));
    StartButton->setObjectName(QStringLiteral("StartButton"));
    CloseButton->setObjectName(QStringLiteral("CloseButton"));

    SelectLabel->setWordWrap(true);
    DemoListView->setViewMode(QListView::IconMode);
    DemoListView->setIconSize(QSize(PictureSize, PictureSize));
    DemoListView->setGridSize(QSize(PictureSize * 2, PictureSize + 48));
    DemoListView->setResizeMode(QListView::Adjust);
    DemoListView->setMovement(QListView::Static);
    DemoListView->setWordWrap(true);
    DemoListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DemoListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ShowAtStartupCheckBox->setChecked(showAtStartup);
    StartButton->setDefault(true);
    StartButton->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ShowAtStartupCheckBox);
    buttons->addStretch();
    buttons->addWidget(StartButton);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SelectLabel);
    layout->addWidget(DemoListView, 1);
    layout->addLayout(buttons);
    resize(460, 320);

    connect(DemoListView, &QListWidget::itemSelectionChanged, this, &TKvDemonstrationForm::DemoListViewChange);
    connect(DemoListView, &QListWidget::itemDoubleClicked, this, &TKvDemonstrationForm::DemoListViewDblClick);
    connect(StartButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate(folder, lastIndex);
}

TKvDemonstrationForm::~TKvDemonstrationForm() = default;

void TKvDemonstrationForm::Localize()
{
    setWindowTitle(LocalStr(37, QStringLiteral("Demonstrations")));
    SelectLabel->setText(LocalStr(910, QStringLiteral("Select a demonstration:")));
    ShowAtStartupCheckBox->setText(LocalStr(802, QStringLiteral("Show at startup")));
    StartButton->setText(LocalStr(75, QStringLiteral("Start")));
    CloseButton->setText(LocalStr(13, QStringLiteral("Close")));
}

void TKvDemonstrationForm::FormCreate(const QString& folder, int lastIndex)
{
    const QDir dir(folder);
    // Sorted by file name without regard to case; folders named like
    // scripts are not scripts.
    QStringList names = dir.entryList({QStringLiteral("*.dsc")}, QDir::Files | QDir::Readable,
                                      QDir::Name | QDir::IgnoreCase);
    if (names.size() > MaxScripts)
        names.erase(names.begin() + MaxScripts, names.end());
    const QIcon defaultIcon(QPixmap::fromImage(DefaultPicture()));
    for (const QString& name : names) {
        auto script = std::make_unique<TKvDemoScript>();
        if (!script->LoadFromFile(dir.filePath(name)))
            continue;
        const QString image = script->InfoValue("Image");
        const QImage picture = image.isEmpty() ? QImage() : FramedPicture(dir.filePath(image));
        auto* item = new QListWidgetItem(picture.isNull() ? defaultIcon : QIcon(QPixmap::fromImage(picture)),
                                         script->Title(), DemoListView);
        item->setData(Qt::UserRole, int(m_scripts.size()));
        item->setToolTip(name);
        m_scripts.push_back(std::move(script));
    }
    if (DemoListView->count() > 0)
        DemoListView->setCurrentRow(std::clamp(lastIndex, 0, DemoListView->count() - 1));
    DemoListViewChange();
}

QImage TKvDemonstrationForm::FramedPicture(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile())
        return {};
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > MaxPictureSide || size.height() > MaxPictureSide
        || qint64(size.width()) * size.height() > MaxPicturePixels)
        return {};
    // Scaled while decoding where the format can, which keeps large
    // photographs cheap.
    const QSize fitted = size.scaled(PictureSize - 2, PictureSize - 2, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    reader.setScaledSize(fitted);
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    const QImage thumbnail = image.size() == fitted
        ? image
        : image.scaled(fitted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage square = FramedSquare();
    {
        QPainter painter(&square);
        painter.drawImage((PictureSize - thumbnail.width()) / 2, (PictureSize - thumbnail.height()) / 2, thumbnail);
    }
    DrawFrame(square);
    return square;
}

// A frame round a plain page with a play mark.
QImage TKvDemonstrationForm::DefaultPicture()
{
    QImage square = FramedSquare();
    {
        QPainter painter(&square);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(FrameColor);
        const QPointF mark[] = {{24, 18}, {24, 46}, {46, 32}};
        painter.drawPolygon(mark, 3);
    }
    DrawFrame(square);
    return square;
}

const TKvDemoScript* TKvDemonstrationForm::SelectedScript() const
{
    const QList<QListWidgetItem*> selected = DemoListView->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    return m_scripts[size_t(selected.front()->data(Qt::UserRole).toInt())].get();
}

int TKvDemonstrationForm::SelectedIndex() const
{
    const QList<QListWidgetItem*> selected = DemoListView->selectedItems();
    return selected.isEmpty() ? -1 : DemoListView->row(selected.front());
}

bool TKvDemonstrationForm::ShowAtStartup() const
{
    return ShowAtStartupCheckBox->isChecked();
}

void TKvDemonstrationForm::DemoListViewChange()
{
    StartButton->setEnabled(SelectedScript() != nullptr);
}

void TKvDemonstrationForm::DemoListViewDblClick()
{
    if (StartButton->isEnabled())
        StartButton->click();
}
