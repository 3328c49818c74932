// Mapping between a logical and a device coordinate space by origins and
// extents, computed by the program itself: views use it for zoom and scroll
// (picture pixels to window pixels), printing for HiMetric units (0.01 mm)
// on the paper. Also the HiMetric unit conversions and a list of points.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

// What printing needs to know about a printer page.
struct TKvPrinterMetrics {
    QSize PixelSize;       // printable area in device pixels
    QSize SizeMm;          // printable area in millimetres
    QPoint PhysicalOffset; // printable area's corner from the paper's, in pixels
};

// The scale on each axis is device extent / logical extent. Mapped values
// are floored, so negative coordinates round towards minus infinity.
class TKvMapMode {
public:
    virtual ~TKvMapMode() = default;

    QPoint LogicalToDevice(const QPoint& point) const;
    QPoint DeviceToLogical(const QPoint& point) const;
    // Maps the four edges; right and bottom are exclusive (left + width).
    QRect LogicalToDevice(const QRect& rect) const;

    // Logical units become 0.01 mm from the paper's corner.
    void SetupForPrinter(const TKvPrinterMetrics& printer);

    QPoint LogicalOrigin{0, 0};
    QPoint LogicalExtent{1, 1};
    QPoint DeviceOrigin{0, 0};
    QPoint DeviceExtent{1, 1};
};

// A map mode whose logical units are HiMetric (0.01 mm).
class TKvHiMetric : public TKvMapMode {
};

// Conversions to HiMetric round to the nearest integer, halves to even.
int CmToHiMetric(float cm);
int InchToHiMetric(float inches);
int MmToHiMetric(float mm);
int PointToHiMetric(float points);
float HiMetricToCm(int hiMetric);
float HiMetricToInch(int hiMetric);
float HiMetricToMm(int hiMetric);
float HiMetricToPoint(int hiMetric);

// An ordered list of points.
class TKvPointList {
public:
    int Add(const QPoint& point);
    bool Get(int index, QPoint& point) const;
    int Count() const { return static_cast<int>(m_points.size()); }
    void Delete(int index);
    void Clear() { m_points.clear(); }

private:
    std::vector<QPoint> m_points;
};
