#include "KvAbout.h"

#include "KvBitmap.h"
#include "KvLocalizer.h"
#include "KvShell.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>
#include <QVBoxLayout>

#include <array>
#include <cmath>
#include <memory>

namespace {

constexpr char PageProperty[] = "aboutPage";

bool IsSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char(':') || c == QLatin1Char('\\');
}

} // namespace

QString AboutLinkCaption(const QString& address)
{
    const QUrl url(address);
    if (url.isLocalFile())
        return QFileInfo(url.toLocalFile()).fileName();
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return QString();
    qsizetype start = colon + 1;
    while (start < address.size() && IsSeparator(address[start]))
        ++start;
    qsizetype end = start;
    while (end < address.size() && !IsSeparator(address[end]))
        ++end;
    return address.mid(start, end - start);
}

QString AboutPageCaption(int page)
{
    switch (page) {
    case 0: return LocalStr(47, QStringLiteral("About"));
    case 1: return LocalStr(53, QStringLiteral("Credits"));
    case 2: return LocalStr(167, QStringLiteral("License"));
    default: return QString();
    }
}

// ---------------------------------------------------------------------------
// TKvLogoBackground

TKvLogoBackground::TKvLogoBackground(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LogoBackground"));
}

void TKvLogoBackground::SetPicture(const QImage& picture)
{
    m_picture = picture;
    // The picture covers every pixel: no background is erased under it.
    setAttribute(Qt::WA_OpaquePaintEvent, !m_picture.isNull());
    update();
}

void TKvLogoBackground::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), m_picture);
}

void TKvLogoBackground::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit Resized();
}

// ---------------------------------------------------------------------------
// TKvAboutForm

TKvAboutForm::TKvAboutForm(const TKvAboutDescription& description, QWidget* parent)
    : TKvForm(parent), OpenLink([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      m_description(description)
{
    setObjectName(QStringLiteral("AboutForm"));
    AboutTabControl = new QWidget(this);
    AboutTabControl->setObjectName(QStringLiteral("AboutTabControl"));
    AboutTabs = new QTabBar(AboutTabControl);
    AboutTabs->setObjectName(QStringLiteral("AboutTabs"));
    AboutTabs->setDrawBase(true);
    LogoBackground = new TKvLogoBackground(AboutTabControl);
    LogoBackground->SetPicture(QImage(description.Picture));

    auto* tabColumn = new QVBoxLayout(AboutTabControl);
    tabColumn->setContentsMargins(0, 0, 0, 0);
    tabColumn->setSpacing(0);
    tabColumn->addWidget(AboutTabs);
    tabColumn->addWidget(LogoBackground, 1);
    auto* margins = new QVBoxLayout(this);
    margins->setContentsMargins(4, 4, 4, 4);
    margins->addWidget(AboutTabControl);

    AboutTabs->addTab(QString());
    AboutTabs->setTabData(0, 0);
    for (const TKvAboutEntry& entry : m_description.Entries)
        if (entry.Page > 0)
            AddTabFor(entry.Page);

    CreateLabels();
    connect(AboutTabs, &QTabBar::currentChanged, this, &TKvAboutForm::AboutTabControlChange);
    connect(LogoBackground, &TKvLogoBackground::Resized, this, &TKvAboutForm::LayOutEntries);
    resize(499 + 8, 334 + 8);
}

void TKvAboutForm::AddTabFor(int page)
{
    for (int i = 0; i < AboutTabs->count(); ++i)
        if (AboutTabs->tabData(i).toInt() == page)
            return;
    AboutTabs->setTabData(AboutTabs->addTab(AboutPageCaption(page)), page);
}

void TKvAboutForm::Localize()
{
    setWindowTitle(LocalStr(47, QStringLiteral("About")));
    for (int i = 0; i < AboutTabs->count(); ++i)
        AboutTabs->setTabText(i, AboutPageCaption(AboutTabs->tabData(i).toInt()));
    LayOutEntries();
}

int TKvAboutForm::PageOf(const QLabel* label)
{
    return label->property(PageProperty).toInt();
}

QString TKvAboutForm::EntryText(const TKvAboutEntry& entry) const
{
    QString text = entry.TextId != 0 ? LocalFormat(entry.TextId, entry.Values, entry.Text) : entry.Text;
    if (entry.Flags & AboutLink)
        text = AboutLinkCaption(text);
    if (entry.Flags & AboutColon)
        text += QLatin1Char(':');
    return text;
}

void TKvAboutForm::CreateLabels()
{
    for (const TKvAboutEntry& entry : m_description.Entries) {
        auto* label = new QLabel(LogoBackground);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setProperty(PageProperty, entry.Page);
        QFont font = label->font();
        font.setBold(entry.Flags & AboutBold);
        font.setUnderline(entry.Flags & AboutLink);
        label->setFont(font);
        label->setWordWrap(entry.Flags & AboutWordWrap);
        label->setAlignment((entry.Flags & AboutRightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, entry.Flags & AboutLink    ? QColor(0, 0, 255)
                                               : entry.Flags & AboutWhite ? QColor(Qt::white)
                                                                          : palette.color(QPalette::WindowText));
        label->setPalette(palette);
        if (entry.Flags & AboutLink) {
            label->setCursor(Qt::PointingHandCursor);
            label->installEventFilter(this);
        }
        m_labels.push_back(label);
    }
}

void TKvAboutForm::LayOutEntries()
{
    const int backgroundWidth = LogoBackground->width();
    const int pictureWidth = LogoBackground->Picture().width();
    const auto scaled = [&](int value) {
        return pictureWidth > 0 ? MulDiv(value, backgroundWidth, pictureWidth) : value;
    };

    QRect previous(0, 0, 0, 0);
    int lineHeight = 0;
    int leading = 0;
    for (size_t i = 0; i < m_labels.size(); ++i) {
        const TKvAboutEntry& entry = m_description.Entries[i];
        QLabel* label = m_labels[i];
        if (i == 0) {
            // Lines are measured in the first label's font.
            const QFontMetrics metrics(label->font());
            lineHeight = metrics.lineSpacing();
            leading = metrics.leading();
        }
        label->setText(EntryText(entry));
        if (entry.Flags & AboutLink) {
            const QString address = entry.TextId != 0 ? LocalStr(entry.TextId, entry.Text) : entry.Text;
            label->setToolTip(address);
            label->setProperty("address", address);
        }

        previous.setBottom(previous.bottom() + int(std::nearbyint(lineHeight * entry.LineSpacing)));
        QPoint topLeft;
        if (entry.Flags & AboutSameLine) {
            topLeft = QPoint(previous.right() + 1 + QFontMetrics(label->font()).averageCharWidth(), previous.top());
        } else {
            topLeft = QPoint(entry.Left != 0 ? scaled(entry.Left) : previous.left(),
                             entry.Top != 0 ? scaled(entry.Top) : previous.bottom() + 1 + 2 * leading);
        }
        // Automatic size, unless a width or height is given.
        QSize size = label->sizeHint();
        if (entry.Width != 0) {
            size.setWidth(scaled(entry.Width));
            if (entry.Flags & AboutWordWrap)
                size.setHeight(label->heightForWidth(size.width()));
        }
        if (entry.Height != 0)
            size.setHeight(scaled(entry.Height));
        label->setGeometry(QRect(topLeft, size));

        previous = entry.Flags & AboutSameLine ? previous.united(label->geometry()) : label->geometry();
    }
    AboutTabControlChange();
}

void TKvAboutForm::AboutTabControlChange()
{
    const int page = AboutTabs->currentIndex();
    for (QLabel* label : m_labels)
        label->setVisible(PageOf(label) == page || PageOf(label) < 0);
}

void TKvAboutForm::LinkLabelClick(QLabel* label)
{
    const QString address = label->property("address").toString();
    if (!address.isEmpty() && OpenLink)
        OpenLink(QUrl(address));
}

bool TKvAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* label = qobject_cast<QLabel*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (label && mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            LinkLabelClick(label);
            return true;
        }
    }
    return TKvForm::eventFilter(watched, event);
}

void TKvAboutForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    TKvForm::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// TKvAbout

TKvAbout::TKvAbout(IKvShell* shell)
{
    QMenu* help = shell->Items().HelpMenuItem;
    AboutMenuSeparator = shell->AddSeparator(help);
    AboutMenuItem = shell->AddMenuItem(PlainCaption(LocalStr(47, QStringLiteral("About"))), QKeySequence(),
                                       TKvMethod(this, &TKvAbout::AboutMenuItemClick), -1, help);
    AboutMenuItem->setObjectName(QStringLiteral("AboutMenuItem"));
}

void TKvAbout::Localize()
{
    AboutMenuItem->setText(PlainCaption(LocalStr(47, QStringLiteral("About"))));
}

void TKvAbout::AboutMenuItemClick(QObject*)
{
    const std::unique_ptr<TKvAboutForm> form(
        NewInitialized<TKvAboutForm>(Description, KvApplication ? KvApplication->MainForm() : nullptr));
    form->exec();
}
