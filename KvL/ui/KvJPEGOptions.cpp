#include "KvJPEGOptions.h"

#include "KvLocalizer.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <array>
#include <memory>

namespace {

struct TQualityPreset {
    qint32 TextId;
    const char* Text;
    int Quality;
};

const std::array<TQualityPreset, 5> QualityPresets{{
    {StringId(208), "Low", 10},
    {StringId(209), "Medium", 30},
    {StringId(210), "High", 60},
    {StringId(211), "Very High", 80},
    {StringId(212), "Maximum", 100},
}};

constexpr long long ParseCap = 1'000'000'000; // far above any quality; keeps the sum from overflowing

int DigitValue(QChar c, int base)
{
    const int value = c.isDigit() ? c.digitValue()
                      : (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))
                          ? c.toLower().unicode() - 'a' + 10
                          : -1;
    return value < base ? value : -1;
}

} // namespace

TKvQualityText ParseQualityText(const QString& input)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return {};
    qsizetype pos = 0;
    const bool negative = text[0] == QLatin1Char('-');
    if (negative || text[0] == QLatin1Char('+'))
        ++pos;
    int base = 10;
    if (text.mid(pos, 1) == QStringLiteral("$")) {
        base = 16;
        pos += 1;
    } else if (text.mid(pos, 2).compare(QStringLiteral("0x"), Qt::CaseInsensitive) == 0) {
        base = 16;
        pos += 2;
    }
    long long value = 0;
    const qsizetype firstDigit = pos;
    for (int digit; pos < text.size() && (digit = DigitValue(text[pos], base)) >= 0; ++pos)
        value = qMin(value * base + digit, ParseCap);
    if (pos < text.size() || pos == firstDigit)
        return {false, value};
    const long long whole = negative ? -value : value;
    return {whole >= 0 && whole <= 100, whole};
}

int QualityPresetIndex(int quality)
{
    int index = int(QualityPresets.size()) - 1;
    while (index > 0 && QualityPresets[size_t(index)].Quality > quality)
        --index;
    return index;
}

TKvJPEGOptionsForm::TKvJPEGOptionsForm(QWidget* parent) : TKvForm(parent)
{
    setObjectName(QStringLiteral("JPEGOptionsForm"));

    QualityGroupBox = new QGroupBox(this);
    QualityGroupBox->setObjectName(QStringLiteral("QualityGroupBox"));
    QualityLabel = new QLabel(QualityGroupBox);
    QualityLabel->setObjectName(QStringLiteral("QualityLabel"));
    QualityLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QualityEdit = new QLineEdit(QualityGroupBox);
    QualityEdit->setObjectName(QStringLiteral("QualityEdit"));
    QualityEdit->setFixedWidth(QualityEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    QualityComboBox = new QComboBox(QualityGroupBox);
    QualityComboBox->setObjectName(QStringLiteral("QualityComboBox"));
    for (const TQualityPreset& preset : QualityPresets)
        QualityComboBox->addItem(QString::fromLatin1(preset.Text));
    QualityTrackBar = new QSlider(Qt::Horizontal, QualityGroupBox);
    QualityTrackBar->setObjectName(QStringLiteral("QualityTrackBar"));
    QualityTrackBar->setRange(0, 100);
    QualityTrackBar->setTickInterval(5);
    QualityTrackBar->setTickPosition(QSlider::TicksBelow);
    SmallFileLabel = new QLabel(QualityGroupBox);
    SmallFileLabel->setObjectName(QStringLiteral("SmallFileLabel"));
    LargeFileLabel = new QLabel(QualityGroupBox);
    LargeFileLabel->setObjectName(QStringLiteral("LargeFileLabel"));
    LargeFileLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* grid = new QGridLayout(QualityGroupBox);
    grid->addWidget(QualityLabel, 0, 0);
    grid->addWidget(QualityEdit, 0, 1);
    grid->addWidget(QualityComboBox, 0, 2);
    grid->setColumnStretch(2, 1);
    grid->addWidget(QualityTrackBar, 1, 0, 1, 3);
    grid->addWidget(SmallFileLabel, 2, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(LargeFileLabel, 2, 2, Qt::AlignRight);

    OkButton = new QPushButton(this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* column = new QVBoxLayout(this);
    column->addWidget(QualityGroupBox);
    column->addLayout(buttons);

    connect(QualityEdit, &QLineEdit::textChanged, this, [this] { QualityChange(QualityEdit); });
    connect(QualityComboBox, &QComboBox::currentIndexChanged, this, [this] { QualityChange(QualityComboBox); });
    connect(QualityTrackBar, &QSlider::valueChanged, this, [this] { QualityChange(QualityTrackBar); });
    connect(OkButton, &QPushButton::clicked, this, &TKvJPEGOptionsForm::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TKvJPEGOptionsForm::Localize()
{
    setWindowTitle(LocalStr(205, QStringLiteral("JPEG Options")));
    QualityLabel->setText(LocalStr(207, QStringLiteral("Quality")) + QLatin1Char(':'));
    SmallFileLabel->setText(LocalStr(213, QStringLiteral("Small File")));
    LargeFileLabel->setText(LocalStr(214, QStringLiteral("Large File")));
    OkButton->setText(PlainCaption(LocalStr(1, QStringLiteral("OK"))));
    CancelButton->setText(PlainCaption(LocalStr(2, QStringLiteral("Cancel"))));
    for (size_t i = 0; i < QualityPresets.size(); ++i)
        QualityComboBox->setItemText(int(i), LocalStr(QualityPresets[i].TextId, QString::fromLatin1(QualityPresets[i].Text)));
    QualityChange(QualityTrackBar);
    // A fixed dialog, as large as its captions in this language need.
    setFixedSize(sizeHint().expandedTo(QSize(352, 163)));
}

void TKvJPEGOptionsForm::SetQuality(int value)
{
    QualityTrackBar->setValue(value);
    QualityChange(QualityTrackBar);
}

int TKvJPEGOptionsForm::GetQuality() const
{
    return QualityTrackBar->value();
}

void TKvJPEGOptionsForm::QualityChange(QObject* sender)
{
    // The controls changed here report their own changes; those must not
    // echo back.
    if (m_changing)
        return;
    m_changing = true;
    if (sender == QualityEdit) {
        const TKvQualityText typed = ParseQualityText(QualityEdit->text());
        if (typed.Valid) {
            QualityComboBox->setCurrentIndex(QualityPresetIndex(int(typed.Value)));
            QualityTrackBar->setValue(int(typed.Value));
        }
    } else if (sender == QualityTrackBar) {
        QualityEdit->setText(QString::number(QualityTrackBar->value()));
        QualityComboBox->setCurrentIndex(QualityPresetIndex(QualityTrackBar->value()));
    } else {
        const int preset = QualityPresets[size_t(qMax(0, QualityComboBox->currentIndex()))].Quality;
        QualityTrackBar->setValue(preset);
        QualityEdit->setText(QString::number(preset));
    }
    m_changing = false;
}

void TKvJPEGOptionsForm::OkButtonClick()
{
    const TKvQualityText typed = ParseQualityText(QualityEdit->text());
    if (typed.Valid) {
        accept();
        return;
    }
    KvApplication->MessageBox(LocalStr(216, QStringLiteral("The quality must be a whole number from 0 to 100.")),
                              windowTitle(), 16);
    SetQuality(int(qBound(0LL, typed.Value, 100LL)));
}

std::optional<int> AskJPEGQuality(int quality, QWidget* parent)
{
    const std::unique_ptr<TKvJPEGOptionsForm> form(NewInitialized<TKvJPEGOptionsForm>(parent));
    form->SetQuality(quality);
    if (form->exec() != QDialog::Accepted)
        return std::nullopt;
    return form->GetQuality();
}
