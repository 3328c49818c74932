// Printing the picture of a document on one page: the Print dialog, in
// which the user places and sizes the picture on the paper in millimetres,
// centimetres, inches or points, and the module that offers Print in the
// File menu and on the standard toolbar. Positions and sizes are held in
// HiMetric units (0.01 mm) measured on the paper; the printer's map mode
// (KvPrinter) turns them into device pixels. Without a printer the page is
// printed into a PDF file through the same dialog.
#pragma once

#include "KvForms.h"
#include "KvModule.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TKvGraphicsDocument;
class TKvGraphicsEditor;
class IKvShell;
class TKvPrinter;

// --- Measures of the dialog

// The units of the four unit boxes, in their order.
enum TKvPrintUnit { PrintUnitMm = 0, PrintUnitCm = 1, PrintUnitInch = 2, PrintUnitPoint = 3 };
constexpr int PrintUnitCount = 4;

// A value in a unit in HiMetric, rounded (halves to even); and back.
int PrintUnitToHiMetric(double value, int unit);
double HiMetricToPrintUnit(int hiMetric, int unit);

// Values shown with at most three decimals ("0.###"), the scale with at
// most two and no leading zero ("#.##%"), in the current locale.
QString FormatPrintValue(double value);
QString FormatPrintScale(double percent);

// A picture whose resolution is missing, 0 or negative is printed at this
// many dots per inch.
constexpr int DefaultPrintResolution = 96;
// The picture's size on paper at its resolution, in HiMetric, at least
// 1 x 1.
QSize NaturalPrintSize(QSize pixels, int xDpi, int yDpi);

// The rectangle a picture of `size` (a side of 0 counted as 1) takes when
// scaled, keeping its aspect, into the printable area made symmetric on the
// paper (each pair of opposite margins takes the larger of the two), and
// centred there. All in HiMetric.
QRect ScaleToFitMedia(QSize paper, QRect printable, QSize size);

// --- The dialog

class TKvGraphicsPrintForm : public TKvForm {
    Q_OBJECT
public:
    TKvGraphicsPrintForm(TKvPrinter& printer, QWidget* parent = nullptr);

    // Called once before the dialog is shown: the picture at its natural
    // size, centred on the paper.
    void SetDocument(TKvGraphicsDocument* document);

    void Initialize() override;
    void Localize() override;

    QPushButton* PrinterButton;
    QPushButton* PrintButton;
    QPushButton* CancelButton;
    QGroupBox* PositionAndSizeGroupBox;
    QLabel* LeftLabel;
    QLineEdit* LeftEdit;
    QComboBox* LeftUnitsComboBox;
    QLabel* TopLabel;
    QLineEdit* TopEdit;
    QComboBox* TopUnitsComboBox;
    QCheckBox* CenterImageCheckBox;
    QLabel* ScaleLabel;
    QLineEdit* ScaleEdit;
    QLabel* WidthLabel;
    QLineEdit* WidthEdit;
    QComboBox* WidthUnitsComboBox;
    QLabel* HeightLabel;
    QLineEdit* HeightEdit;
    QComboBox* HeightUnitsComboBox;
    QCheckBox* ScaleToFitMediaCheckBox;

    // The picture's place and size on the paper, HiMetric.
    QRect Placement() const { return {m_left, m_top, m_width, m_height}; }
    QSize NaturalSize() const { return {m_naturalWidth, m_naturalHeight}; }

    // The handlers, as the controls call them.
    void PrinterButtonClick();
    void PrintButtonClick();
    void OptionsChange();
    void UnitsChange(QComboBox* box);
    void EditChange(QLineEdit* edit);
    void EditExit(QLineEdit* edit);

protected:
    // The key filter of the five edits.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether the edit takes the typed character; "," and "." become the
    // locale's decimal separator.
    bool EditKeyPress(QLineEdit* edit, QChar& key) const;

    QSize PaperSize();
    QRect PrintableArea();
    // Typed values are kept within the paper's reach, so that nothing
    // overflows: positions within one paper size of its corner, sizes from
    // 0.01 mm to ten paper sizes.
    int ClampPosition(qint64 hiMetric, bool horizontal);
    int ClampSize(qint64 hiMetric);

    void Centre();
    void FitToMedia();
    void ShowValue(QLineEdit* edit);
    void ShowScale();
    void ShowAll();
    int& ValueOf(QLineEdit* edit);
    QComboBox* UnitsOf(QLineEdit* edit) const;
    QLineEdit* EditOf(QComboBox* box) const;

    // Prints the page; false, after saying why, when it could not be.
    bool Print(const QRect& deviceRect);
    bool ChoosePdfFile();

    TKvPrinter& m_printer;
    TKvGraphicsDocument* m_document = nullptr;
    int m_naturalWidth = 1;
    int m_naturalHeight = 1;
    int m_left = 0;
    int m_top = 0;
    int m_width = 1;
    int m_height = 1;
    bool m_writing = false;   // the form writes into an edit
    bool m_optionsChanging = false;
};

// --- The module

class TKvGraphicsPrintModule : public TKvModuleWithControls {
    Q_OBJECT
public:
    // Adds Print to the editor's File menu and standard toolbar.
    explicit TKvGraphicsPrintModule(TKvGraphicsEditor* editor);
    ~TKvGraphicsPrintModule() override;

    QAction* PrintMenuItem = nullptr;
    QAction* PrintMenuSeparator = nullptr;
    QAction* PrintToolButton = nullptr;

    // Print in the File menu and on the toolbar: the dialog over the
    // editor's document; without a printer, the offer of a PDF file.
    void PrintCommand(QObject* sender);
    void Localize() override;
    void UpdateControls() override;

    // The printer of the run, made at the first print.
    TKvPrinter& Printer();

private:
    TKvGraphicsEditor* m_editor;
    std::unique_ptr<TKvPrinter> m_printer;
};
