// The program's printer: Qt's printer with the measurements by which the
// print dialog places a picture on the paper. Device units are the
// printer's pixels counted from the printable area's corner (where Qt's
// painter on the printer starts); HiMetric units are 0.01 mm counted from
// the paper's corner. The print module keeps one for the run, so that the
// paper, printer and PDF file chosen stay chosen.
#pragma once

#include "KvMapMode.h"

#include <QPoint>
#include <QPrinter>
#include <QRect>
#include <QSize>

// A printer's page in device units.
struct TKvPrinterPage {
    QSize Paper;       // the whole sheet
    QRect Printable;   // the printable area, from the sheet's corner
    int Resolution = 0; // pixels per inch
};

// The HiMetric map mode of a page: logical 0.01 mm from the paper's corner,
// device pixels from the printable area's corner. A page without a
// resolution maps as if it had one pixel per inch (nothing divides by 0).
TKvHiMetric HiMetricOf(const TKvPrinterPage& page);

class TKvPrinter : public QPrinter {
public:
    TKvPrinter();
    ~TKvPrinter() override;

    // The page as the printer reports it now (paper, orientation and
    // resolution follow the printer's settings).
    virtual TKvPrinterPage Page() const;
    // True when the page has a sheet, a printable area and a resolution; a
    // broken printer may report none.
    bool HasPage() const;

    // The map mode of the current page, read again on each call.
    const TKvHiMetric& HiMetric();
    int PhysicalWidth() const { return Page().Paper.width(); }
    int PhysicalHeight() const { return Page().Paper.height(); }
    QPoint PhysicalOffset() const { return Page().Printable.topLeft(); }
    // The printable area's size in device units.
    QSize PageSize() const { return Page().Printable.size(); }

    // The system knows at least one printer. Printing to a PDF file is
    // possible without one.
    static bool HasPrinters();

private:
    TKvHiMetric m_hiMetric;
};
