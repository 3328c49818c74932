#include "KvGraphicsPrint.h"

#include "KvGraphicsDocument.h"
#include "KvGraphicsEditor.h"
#include "KvLocalizer.h"
#include "KvPrinter.h"
#include "KvShell.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

namespace {

struct TUnitText {
    qint32 Id;
    const char* Text;
};

constexpr std::array<TUnitText, PrintUnitCount> UnitTexts{{
    {StringId(509), "mm"},
    {StringId(510), "cm"},
    {StringId(759), "in"},
    {StringId(760), "pt"},
}};

// HiMetric in one unit of each kind.
constexpr std::array<double, PrintUnitCount> HiMetricPerUnit{100.0, 1000.0, 2540.0, 2540.0 / 72.0};

constexpr int HiMetricPerInch = 2540;

// Rounds halves to even and keeps the result within the int range.
int RoundToInt(double value)
{
    if (std::isnan(value))
        return 0;
    value = std::nearbyint(value);
    return int(std::clamp(value, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
}

QLocale NumberLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

// A number as the user typed it, in the locale's notation.
std::optional<double> ParseNumber(const QString& text)
{
    bool ok = false;
    const double value = NumberLocale().toDouble(text, &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// Fixed notation with up to `decimals` decimals, trailing zeros dropped.
QString FormatTrimmed(double value, int decimals)
{
    const QLocale locale = NumberLocale();
    QString text = locale.toString(value, 'f', decimals);
    const QString point = locale.decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

// The other side of a picture of the natural aspect: side * to / from,
// rounded half away from zero as an integer multiply-divide rounds.
qint64 AspectFollower(int side, int to, int from)
{
    return std::llround(double(side) * to / from);
}

int UsableResolution(int dpi)
{
    return dpi > 0 ? dpi : DefaultPrintResolution;
}

int NaturalExtent(int pixels, int dpi)
{
    const double hiMetric = std::nearbyint(double(std::max(pixels, 0)) / UsableResolution(dpi) * HiMetricPerInch);
    return int(std::clamp(hiMetric, 1.0, double(std::numeric_limits<int>::max())));
}

} // namespace

int PrintUnitToHiMetric(double value, int unit)
{
    return RoundToInt(value * HiMetricPerUnit[size_t(std::clamp(unit, 0, PrintUnitCount - 1))]);
}

double HiMetricToPrintUnit(int hiMetric, int unit)
{
    return hiMetric / HiMetricPerUnit[size_t(std::clamp(unit, 0, PrintUnitCount - 1))];
}

QString FormatPrintValue(double value)
{
    return FormatTrimmed(value, 3);
}

QString FormatPrintScale(double percent)
{
    // "#" shows no leading zero: 0.5 reads ".5".
    QString text = FormatTrimmed(percent, 2);
    const QString zero = QStringLiteral("0");
    if (text == zero)
        text.clear();
    else if (text.startsWith(zero + NumberLocale().decimalPoint()))
        text.remove(0, 1);
    return text + QLatin1Char('%');
}

QSize NaturalPrintSize(QSize pixels, int xDpi, int yDpi)
{
    return {NaturalExtent(pixels.width(), xDpi), NaturalExtent(pixels.height(), yDpi)};
}

QRect ScaleToFitMedia(QSize paper, QRect printable, QSize size)
{
    // Symmetric margins: each side takes the larger of the opposite pair.
    int left = printable.left();
    int top = printable.top();
    int right = printable.left() + printable.width();
    int bottom = printable.top() + printable.height();
    if (paper.width() - right < left)
        right = paper.width() - left;
    else
        left = paper.width() - right;
    if (paper.height() - bottom < top)
        bottom = paper.height() - top;
    else
        top = paper.height() - bottom;

    const double width = std::max(size.width(), 1);
    const double height = std::max(size.height(), 1);
    const double k = std::min((bottom - top) / height, (right - left) / width);
    const int newWidth = RoundToInt(width * k);
    const int newHeight = RoundToInt(height * k);
    return {(left + right) / 2 - newWidth / 2, (top + bottom) / 2 - newHeight / 2, newWidth, newHeight};
}

// ---------------------------------------------------------------------------
// TKvGraphicsPrintForm

TKvGraphicsPrintForm::TKvGraphicsPrintForm(TKvPrinter& printer, QWidget* parent)
    : TKvForm(parent), m_printer(printer)
{
    setObjectName(QStringLiteral("GraphicsPrintForm"));

    PositionAndSizeGroupBox = new QGroupBox(this);
    PositionAndSizeGroupBox->setObjectName(QStringLiteral("PositionAndSizeGroupBox"));
    const auto makeLabel = [this](const char* name) {
        auto* label = new QLabel(PositionAndSizeGroupBox);
        label->setObjectName(QLatin1String(name));
        return label;
    };
    const auto makeEdit = [this](const char* name) {
        auto* edit = new QLineEdit(PositionAndSizeGroupBox);
        edit->setObjectName(QLatin1String(name));
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000.000")) + 16);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { EditChange(edit); });
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { EditExit(edit); });
        return edit;
    };
    const auto makeUnits = [this](const char* name) {
        auto* box = new QComboBox(PositionAndSizeGroupBox);
        box->setObjectName(QLatin1String(name));
        for (int i = 0; i < PrintUnitCount; ++i)
            box->addItem(QString());
        connect(box, &QComboBox::currentIndexChanged, this, [this, box] { UnitsChange(box); });
        return box;
    };
    const auto makeCheckBox = [this](const char* name) {
        auto* box = new QCheckBox(PositionAndSizeGroupBox);
        box->setObjectName(QLatin1String(name));
        connect(box, &QCheckBox::toggled, this, &TKvGraphicsPrintForm::OptionsChange);
        return box;
    };

    LeftLabel = makeLabel("LeftLabel");
    LeftEdit = makeEdit("LeftEdit");
    LeftUnitsComboBox = makeUnits("LeftUnitsComboBox");
    TopLabel = makeLabel("TopLabel");
    TopEdit = makeEdit("TopEdit");
    TopUnitsComboBox = makeUnits("TopUnitsComboBox");
    CenterImageCheckBox = makeCheckBox("CenterImageCheckBox");
    ScaleLabel = makeLabel("ScaleLabel");
    ScaleEdit = makeEdit("ScaleEdit");
    WidthLabel = makeLabel("WidthLabel");
    WidthEdit = makeEdit("WidthEdit");
    WidthUnitsComboBox = makeUnits("WidthUnitsComboBox");
    HeightLabel = makeLabel("HeightLabel");
    HeightEdit = makeEdit("HeightEdit");
    HeightUnitsComboBox = makeUnits("HeightUnitsComboBox");
    ScaleToFitMediaCheckBox = makeCheckBox("ScaleToFitMediaCheckBox");

    auto* grid = new QGridLayout(PositionAndSizeGroupBox);
    const auto addRow = [grid](int row, QLabel* label, QLineEdit* edit, QComboBox* units) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        if (units)
            grid->addWidget(units, row, 2);
    };
    addRow(0, LeftLabel, LeftEdit, LeftUnitsComboBox);
    addRow(1, TopLabel, TopEdit, TopUnitsComboBox);
    grid->addWidget(CenterImageCheckBox, 2, 1, 1, 2);
    addRow(3, ScaleLabel, ScaleEdit, nullptr);
    addRow(4, WidthLabel, WidthEdit, WidthUnitsComboBox);
    addRow(5, HeightLabel, HeightEdit, HeightUnitsComboBox);
    grid->addWidget(ScaleToFitMediaCheckBox, 6, 1, 1, 2);

    const auto makeButton = [this](const char* name) {
        auto* button = new QPushButton(this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        return button;
    };
    PrinterButton = makeButton("PrinterButton");
    PrintButton = makeButton("PrintButton");
    PrintButton->setDefault(true);
    CancelButton = makeButton("CancelButton");
    connect(PrinterButton, &QPushButton::clicked, this, &TKvGraphicsPrintForm::PrinterButtonClick);
    connect(PrintButton, &QPushButton::clicked, this, &TKvGraphicsPrintForm::PrintButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(PrintButton);
    buttons->addWidget(CancelButton);
    buttons->addSpacing(12);
    buttons->addWidget(PrinterButton);
    buttons->addStretch(1);
    auto* row = new QHBoxLayout(this);
    row->addWidget(PositionAndSizeGroupBox);
    row->addLayout(buttons);
}

void TKvGraphicsPrintForm::Initialize()
{
    // The unit the user's locale measures in: centimetres in the metric
    // system, inches otherwise.
    const int unit = QLocale::system().measurementSystem() == QLocale::MetricSystem ? PrintUnitCm : PrintUnitInch;
    m_writing = true;
    for (QComboBox* box : {LeftUnitsComboBox, TopUnitsComboBox, WidthUnitsComboBox, HeightUnitsComboBox})
        box->setCurrentIndex(unit);
    m_writing = false;
    TKvForm::Initialize();
}

void TKvGraphicsPrintForm::Localize()
{
    const QString print = LocalStr(21, QStringLiteral("Print"));
    setWindowTitle(print);
    PrintButton->setText(PlainCaption(print));
    PrinterButton->setText(PlainCaption(LocalStr(524, QStringLiteral("Printer")) + QStringLiteral("...")));
    CancelButton->setText(PlainCaption(LocalStr(2, QStringLiteral("Cancel"))));
    PositionAndSizeGroupBox->setTitle(QLatin1Char(' ') + LocalStr(746, QStringLiteral("Position And Size"))
                                      + QStringLiteral(": "));
    const std::pair<QLabel*, TUnitText> labels[] = {
        {LeftLabel, {StringId(149), "Left"}},   {TopLabel, {StringId(148), "Top"}},
        {ScaleLabel, {StringId(35), "Scale"}},  {WidthLabel, {StringId(505), "Width"}},
        {HeightLabel, {StringId(506), "Height"}}};
    for (const auto& [label, text] : labels)
        label->setText(LocalStr(text.Id, QLatin1String(text.Text)) + QLatin1Char(':'));
    CenterImageCheckBox->setText(LocalStr(757, QStringLiteral("Center Image")));
    ScaleToFitMediaCheckBox->setText(LocalStr(758, QStringLiteral("Scale To Fit Media")));

    // Refilling keeps each box's unit.
    const bool writing = m_writing;
    m_writing = true;
    for (QComboBox* box : {LeftUnitsComboBox, TopUnitsComboBox, WidthUnitsComboBox, HeightUnitsComboBox})
        for (int i = 0; i < PrintUnitCount; ++i)
            box->setItemText(i, LocalStr(UnitTexts[size_t(i)].Id, QLatin1String(UnitTexts[size_t(i)].Text))
                                    + QLatin1Char('.'));
    m_writing = writing;
    setFixedSize(sizeHint());
}

void TKvGraphicsPrintForm::SetDocument(TKvGraphicsDocument* document)
{
    m_document = document;
    const TKvLTBitmap& image = document->Image();
    const QSize natural = NaturalPrintSize(QSize(image.Width(), image.Height()), document->Properties().XResolution,
                                           document->Properties().YResolution);
    m_naturalWidth = natural.width();
    m_naturalHeight = natural.height();
    m_width = m_naturalWidth;
    m_height = m_naturalHeight;
    Centre();
    ShowValue(WidthEdit);
    ShowValue(HeightEdit);
    ShowScale();
}

// --- Measures of the page

QSize TKvGraphicsPrintForm::PaperSize()
{
    // Device points count from the printable area's corner, so the sheet's
    // far corner lies at its size less the printable area's offset.
    const QPoint corner = m_printer.HiMetric().DeviceToLogical(
        QPoint(m_printer.PhysicalWidth(), m_printer.PhysicalHeight()) - m_printer.PhysicalOffset());
    return {std::max(corner.x(), 0), std::max(corner.y(), 0)};
}

QRect TKvGraphicsPrintForm::PrintableArea()
{
    const TKvHiMetric& hiMetric = m_printer.HiMetric();
    const QSize page = m_printer.PageSize();
    // Both conversions floor, so the corners are moved inwards until they
    // map back into the page: a picture fitted to the area, or moved to its
    // corner, then lies inside the printable page.
    QPoint topLeft = hiMetric.DeviceToLogical(QPoint(0, 0));
    QPoint bottomRight = hiMetric.DeviceToLogical(QPoint(page.width(), page.height()));
    for (int step = 0; step < 4 && hiMetric.LogicalToDevice(topLeft).x() < 0; ++step)
        topLeft.rx() += 1;
    for (int step = 0; step < 4 && hiMetric.LogicalToDevice(topLeft).y() < 0; ++step)
        topLeft.ry() += 1;
    for (int step = 0; step < 4 && hiMetric.LogicalToDevice(bottomRight).x() > page.width(); ++step)
        bottomRight.rx() -= 1;
    for (int step = 0; step < 4 && hiMetric.LogicalToDevice(bottomRight).y() > page.height(); ++step)
        bottomRight.ry() -= 1;
    return {topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y())};
}

int TKvGraphicsPrintForm::ClampPosition(qint64 hiMetric, bool horizontal)
{
    const QSize paper = PaperSize();
    const qint64 reach = std::max(horizontal ? paper.width() : paper.height(), 1);
    return int(std::clamp(hiMetric, -reach, reach));
}

int TKvGraphicsPrintForm::ClampSize(qint64 hiMetric)
{
    const QSize paper = PaperSize();
    const qint64 reach = 10 * qint64(std::max({paper.width(), paper.height(), 1}));
    return int(std::clamp(hiMetric, qint64(1), reach));
}

void TKvGraphicsPrintForm::Centre()
{
    const QSize paper = PaperSize();
    m_left = int((qint64(paper.width()) - m_width) / 2);
    m_top = int((qint64(paper.height()) - m_height) / 2);
    ShowValue(LeftEdit);
    ShowValue(TopEdit);
}

void TKvGraphicsPrintForm::FitToMedia()
{
    const QRect fitted = ScaleToFitMedia(PaperSize(), PrintableArea(), QSize(m_width, m_height));
    m_left = fitted.x();
    m_top = fitted.y();
    m_width = std::max(fitted.width(), 1);
    m_height = std::max(fitted.height(), 1);
    ShowAll();
}

// --- Showing values

int& TKvGraphicsPrintForm::ValueOf(QLineEdit* edit)
{
    if (edit == LeftEdit)
        return m_left;
    if (edit == TopEdit)
        return m_top;
    if (edit == WidthEdit)
        return m_width;
    return m_height;
}

QComboBox* TKvGraphicsPrintForm::UnitsOf(QLineEdit* edit) const
{
    if (edit == LeftEdit)
        return LeftUnitsComboBox;
    if (edit == TopEdit)
        return TopUnitsComboBox;
    if (edit == WidthEdit)
        return WidthUnitsComboBox;
    if (edit == HeightEdit)
        return HeightUnitsComboBox;
    return nullptr;
}

QLineEdit* TKvGraphicsPrintForm::EditOf(QComboBox* box) const
{
    for (QLineEdit* edit : {LeftEdit, TopEdit, WidthEdit, HeightEdit})
        if (UnitsOf(edit) == box)
            return edit;
    return nullptr;
}

void TKvGraphicsPrintForm::ShowValue(QLineEdit* edit)
{
    const bool writing = m_writing;
    m_writing = true;
    edit->setText(FormatPrintValue(HiMetricToPrintUnit(ValueOf(edit), UnitsOf(edit)->currentIndex())));
    m_writing = writing;
}

void TKvGraphicsPrintForm::ShowScale()
{
    const double percent =
        m_naturalHeight >= m_naturalWidth ? 100.0 * m_height / m_naturalHeight : 100.0 * m_width / m_naturalWidth;
    const bool writing = m_writing;
    m_writing = true;
    ScaleEdit->setText(FormatPrintScale(percent));
    m_writing = writing;
}

void TKvGraphicsPrintForm::ShowAll()
{
    for (QLineEdit* edit : {LeftEdit, TopEdit, WidthEdit, HeightEdit})
        ShowValue(edit);
    ShowScale();
}

// --- Handlers

void TKvGraphicsPrintForm::OptionsChange()
{
    if (m_optionsChanging)
        return;
    m_optionsChanging = true;
    const bool fit = ScaleToFitMediaCheckBox->isChecked();
    CenterImageCheckBox->setEnabled(!fit);
    if (fit)
        CenterImageCheckBox->setChecked(true);
    const bool centred = CenterImageCheckBox->isChecked();
    if (fit)
        FitToMedia();
    else if (centred)
        Centre();
    LeftEdit->setEnabled(!centred);
    TopEdit->setEnabled(!centred);
    for (QLineEdit* edit : {ScaleEdit, WidthEdit, HeightEdit})
        edit->setEnabled(!fit);
    m_optionsChanging = false;
}

void TKvGraphicsPrintForm::UnitsChange(QComboBox* box)
{
    if (m_writing)
        return;
    if (QLineEdit* edit = EditOf(box))
        ShowValue(edit);
}

bool TKvGraphicsPrintForm::eventFilter(QObject* watched, QEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit || event->type() != QEvent::KeyPress)
        return TKvForm::eventFilter(watched, event);
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    // Editing and moving keys are not typed characters.
    if (keyEvent->text().isEmpty() || keyEvent->text().at(0).category() == QChar::Other_Control
        || keyEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return TKvForm::eventFilter(watched, event);
    QChar key = keyEvent->text().at(0);
    if (!EditKeyPress(edit, key))
        return true;
    if (key != keyEvent->text().at(0)) {
        edit->insert(key);
        return true;
    }
    return TKvForm::eventFilter(watched, event);
}

bool TKvGraphicsPrintForm::EditKeyPress(QLineEdit* edit, QChar& key) const
{
    const QString text = edit->text();
    // Where the character goes: the start of a selection, else the caret.
    const int caret = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const bool atStart = caret == 0;
    const bool atEnd = caret == text.size();
    const bool endsWithPercent = text.endsWith(QLatin1Char('%'));
    if (key.isDigit())
        return !(edit == ScaleEdit && atEnd && endsWithPercent);
    if (key == QLatin1Char(',') || key == QLatin1Char('.')) {
        if (atStart)
            return false;
        key = NumberLocale().decimalPoint().at(0);
        return true;
    }
    if (key == QLatin1Char('-'))
        return (edit == LeftEdit || edit == TopEdit) && atStart;
    if (key == QLatin1Char('%'))
        return edit == ScaleEdit && atEnd && !text.isEmpty() && !endsWithPercent;
    return false;
}

void TKvGraphicsPrintForm::EditChange(QLineEdit* edit)
{
    if (m_writing || edit->text().isEmpty())
        return;
    QString text = edit->text();
    if (edit == ScaleEdit) {
        if (text.endsWith(QLatin1Char('%')))
            text.chop(1);
        const std::optional<double> scale = ParseNumber(text);
        if (!scale)
            return;
        // The larger side is kept within reach; the other follows the
        // natural aspect.
        const double larger = std::max(m_naturalWidth, m_naturalHeight);
        const double limited = std::min(*scale, double(ClampSize(std::numeric_limits<qint64>::max())) * 100 / larger);
        m_width = ClampSize(RoundToInt(m_naturalWidth * limited / 100));
        m_height = ClampSize(RoundToInt(m_naturalHeight * limited / 100));
        if (CenterImageCheckBox->isChecked())
            Centre();
        ShowValue(WidthEdit);
        ShowValue(HeightEdit);
        return;
    }
    const std::optional<double> number = ParseNumber(text);
    if (!number)
        return;
    // Converted in double first: a huge number must not overflow on its way.
    const double hiMetric = std::clamp(*number * HiMetricPerUnit[size_t(UnitsOf(edit)->currentIndex())], -1e15, 1e15);
    const qint64 value = qint64(std::nearbyint(hiMetric));
    if (edit == LeftEdit || edit == TopEdit) {
        ValueOf(edit) = ClampPosition(value, edit == LeftEdit);
        return;
    }
    if (edit == WidthEdit) {
        m_width = ClampSize(value);
        m_height = ClampSize(AspectFollower(m_width, m_naturalHeight, m_naturalWidth));
        if (CenterImageCheckBox->isChecked())
            Centre();
        ShowValue(HeightEdit);
    } else {
        m_height = ClampSize(value);
        m_width = ClampSize(AspectFollower(m_height, m_naturalWidth, m_naturalHeight));
        if (CenterImageCheckBox->isChecked())
            Centre();
        ShowValue(WidthEdit);
    }
    ShowScale();
}

void TKvGraphicsPrintForm::EditExit(QLineEdit* edit)
{
    QString text = edit->text();
    text.remove(QLatin1Char('%'));
    const QString point = NumberLocale().decimalPoint();
    if (text.endsWith(point))
        text.chop(point.size());
    const std::optional<double> number = ParseNumber(text);
    if (!number) {
        text = QStringLiteral("0");
    } else if (edit == ScaleEdit) {
        text = NumberLocale().toString(*number, 'g', 15);
    } else {
        // What was typed, unless it lay beyond the paper's reach: then the
        // value kept.
        const int kept = ValueOf(edit);
        const double typed = *number * HiMetricPerUnit[size_t(UnitsOf(edit)->currentIndex())];
        text = std::abs(typed - kept) < 1 ? NumberLocale().toString(*number, 'g', 15)
                                          : FormatPrintValue(HiMetricToPrintUnit(kept, UnitsOf(edit)->currentIndex()));
    }
    if (edit == ScaleEdit)
        text += QLatin1Char('%');
    if (text != edit->text())
        edit->setText(text);
}

void TKvGraphicsPrintForm::PrinterButtonClick()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setObjectName(QStringLiteral("PrintSetupDialog"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() == QDialog::Accepted)
        OptionsChange();
}

void TKvGraphicsPrintForm::PrintButtonClick()
{
    const QString caption = LocalStr(21, QStringLiteral("Print"));
    if (!m_printer.HasPage()) {
        KvApplication->MessageBox(LocalStr(3805, QStringLiteral("The printer reports no paper size. Choose a printer "
                                                                "or a paper size with Printer...")),
                                  caption, 48);
        return;
    }
    const TKvHiMetric& hiMetric = m_printer.HiMetric();
    const QRect r = hiMetric.LogicalToDevice(QRect(m_left, m_top, m_width, m_height));
    const QSize page = m_printer.PageSize();
    const bool inside = r.left() >= 0 && r.top() >= 0 && r.x() + r.width() <= page.width()
                        && r.y() + r.height() <= page.height();
    if (!inside) {
        if (KvApplication->MessageBox(LocalStr(761, QStringLiteral("The picture extends beyond the printable area "
                                                                   "of the page. Print it anyway?")),
                                      windowTitle(), 4 + 32)
            != idYes) {
            if (r.width() > page.width() || r.height() > page.height()) {
                FitToMedia();
            } else {
                const QPoint origin = PrintableArea().topLeft();
                m_left = origin.x();
                m_top = origin.y();
                ShowValue(LeftEdit);
                ShowValue(TopEdit);
            }
            return;
        }
    }
    if (Print(r))
        accept();
}

bool TKvGraphicsPrintForm::ChoosePdfFile()
{
    QFileDialog dialog(this, LocalStr(3801, QStringLiteral("Print to PDF File")));
    dialog.setObjectName(QStringLiteral("PdfFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(LocalStr(3807, QStringLiteral("PDF files")) + QStringLiteral(" (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    // Beside the picture, named after it.
    const QString folder = m_document && !m_document->FileName().isEmpty()
                               ? QFileInfo(m_document->FileName()).absolutePath()
                               : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (m_document)
        dialog.selectFile(QDir(folder).filePath(QFileInfo(m_document->DisplayName()).completeBaseName()
                                                + QStringLiteral(".pdf")));
    else
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    m_printer.setOutputFileName(dialog.selectedFiles().constFirst());
    return true;
}

bool TKvGraphicsPrintForm::Print(const QRect& deviceRect)
{
    const QString caption = LocalStr(21, QStringLiteral("Print"));
    const bool toPdf = m_printer.outputFormat() == QPrinter::PdfFormat;
    if (toPdf && m_printer.outputFileName().isEmpty() && !ChoosePdfFile())
        return false;
    if (m_document)
        m_printer.setDocName(m_document->DisplayName());
    QPainter painter;
    if (!painter.begin(&m_printer)) {
        const QString message =
            toPdf ? LocalFormat(3803, {QDir::toNativeSeparators(m_printer.outputFileName())},
                                QStringLiteral("Cannot write the PDF file %s."))
                  : LocalStr(3804, QStringLiteral("The printer could not print the page."));
        KvApplication->MessageBox(message, caption, 16);
        return false;
    }
    const bool drawn = m_document && m_document->Image().Print(
                                         painter, {deviceRect.left(), deviceRect.top(),
                                                   deviceRect.left() + deviceRect.width(),
                                                   deviceRect.top() + deviceRect.height()});
    const bool ended = painter.end();
    if (!drawn || !ended || m_printer.printerState() == QPrinter::Error) {
        KvApplication->MessageBox(LocalStr(3804, QStringLiteral("The printer could not print the page.")), caption, 16);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// TKvGraphicsPrintModule

namespace {

// The desktop's printer settings program, where one is installed.
QString PrinterSettingsProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("system-config-printer"));
}

// Without a printer: print into a PDF file (true), or start the printer
// settings program when there is one, or neither.
bool OfferPdfWithoutPrinter()
{
    const QString settings = PrinterSettingsProgram();
    QMessageBox box(QMessageBox::Question, LocalStr(21, QStringLiteral("Print")),
                    LocalStr(170, QStringLiteral("No printer is installed.")) + QLatin1Char(' ')
                        + (settings.isEmpty()
                               ? LocalStr(3806, QStringLiteral("Do you want to print to a PDF file instead?"))
                               : LocalStr(3800, QStringLiteral("Do you want to print to a PDF file instead, or "
                                                               "add a printer in the printer settings?"))),
                    QMessageBox::Yes | QMessageBox::Cancel, KvApplication ? KvApplication->MainForm() : nullptr);
    box.setObjectName(QStringLiteral("NoPrinterMessage"));
    box.button(QMessageBox::Yes)->setText(PlainCaption(LocalStr(3801, QStringLiteral("Print to PDF File"))));
    if (!settings.isEmpty()) {
        box.addButton(QMessageBox::No);
        box.button(QMessageBox::No)->setText(PlainCaption(LocalStr(3802, QStringLiteral("Printer Settings..."))));
    }
    box.button(QMessageBox::Cancel)->setText(PlainCaption(LocalStr(2, QStringLiteral("Cancel"))));
    box.setDefaultButton(QMessageBox::Yes);
    const auto answer = QMessageBox::StandardButton(box.exec());
    if (answer == QMessageBox::No)
        QProcess::startDetached(settings, {});
    return answer == QMessageBox::Yes;
}

} // namespace

TKvGraphicsPrintModule::TKvGraphicsPrintModule(TKvGraphicsEditor* editor) : m_editor(editor)
{
    IKvShell* shell = editor->Shell();
    const TKvShellItems main = shell->Items();
    const QString caption = PlainCaption(LocalStr(21, QStringLiteral("Print"))) + QStringLiteral("...");
    const TKvMethod print(this, &TKvGraphicsPrintModule::PrintCommand);
    PrintMenuSeparator = shell->AddSeparator(main.FileMenuItem, main.FileMenuSeparator);
    PrintMenuItem = shell->AddMenuItem(caption, QKeySequence(Qt::CTRL | Qt::Key_P), print, 3, main.FileMenuItem,
                                       main.FileMenuSeparator);
    PrintMenuItem->setObjectName(QStringLiteral("PrintMenuItem"));
    shell->AddToolButton(m_editor->StandardToolbar, nullptr, m_editor->EditToolbarSeparator, caption, 3, print,
                         PrintToolButton);
    PrintToolButton->setObjectName(QStringLiteral("PrintToolButton"));
}

TKvGraphicsPrintModule::~TKvGraphicsPrintModule() = default;

TKvPrinter& TKvGraphicsPrintModule::Printer()
{
    if (!m_printer)
        m_printer = std::make_unique<TKvPrinter>();
    return *m_printer;
}

void TKvGraphicsPrintModule::Localize()
{
    const QString caption = PlainCaption(LocalStr(21, QStringLiteral("Print"))) + QStringLiteral("...");
    for (QAction* item : {PrintMenuItem, PrintToolButton}) {
        item->setText(caption);
        item->setToolTip(caption);
    }
}

void TKvGraphicsPrintModule::UpdateControls()
{
    const bool plugin = m_editor->PluginMode();
    const bool enabled = m_editor->SaveAsMenuItem && m_editor->SaveAsMenuItem->isEnabled() && !plugin;
    PrintMenuItem->setEnabled(enabled);
    PrintToolButton->setEnabled(enabled);
    PrintToolButton->setVisible(!plugin);
}

void TKvGraphicsPrintModule::PrintCommand(QObject*)
{
    TKvGraphicsDocument* document = m_editor->ActiveGraphicsDocument();
    if (!document)
        return;
    TKvPrinter& printer = Printer();
    if (!TKvPrinter::HasPrinters()) {
        if (!OfferPdfWithoutPrinter())
            return;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString());
    }
    TKvGraphicsPrintForm* form = NewInitialized<TKvGraphicsPrintForm>(printer, KvApplication->MainForm());
    const std::unique_ptr<TKvGraphicsPrintForm> owner(form);
    // The page shows what a save would write: a tool's change still open is
    // committed or dropped first, exactly as before saving.
    document->CommitOrCancelOpenChanges();
    form->SetDocument(document);
    form->exec();
}
