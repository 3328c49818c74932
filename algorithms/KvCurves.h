// Tonal curves: a curve segment between two end points, the straight line
// through them, the lookup table a line becomes (one entry per input value,
// clamped to 0..maximum) and a table applied to every channel of a picture.
// The brightness and contrast tool builds its table here from the line its
// two values define and applies it to the picture as it was before the
// adjustment; nothing here knows about documents or widgets.
#pragma once

#include "KvBitmap.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// A lookup table: entry i is the output for input i; the low byte of an
// entry is what an 8-bit channel becomes.
using TKvLUT = std::vector<std::uint16_t>;

// BuildLUT's results.
constexpr std::int32_t LutSucceeded = 0;
constexpr std::int32_t LutFailed = std::int32_t(0x80004005u);

// A piece of a tonal curve between two end points. Setting an end point
// recalculates what the segment derives from them.
class TKvCurveSegment {
public:
    virtual ~TKvCurveSegment() = default;

    TPointF P1() const { return m_p1; }
    TPointF P2() const { return m_p2; }
    void SetP1(const TPointF& point);
    void SetP2(const TPointF& point);

protected:
    // Called after an end point was set.
    virtual void Recalculate() {}

private:
    TPointF m_p1;
    TPointF m_p2;
};

// The straight line through the two end points, y = Slope * x + Intercept;
// a vertical line (both points at one x) has an infinite slope and writes
// no table.
class TKvLineSegment : public TKvCurveSegment {
public:
    TKvLineSegment();

    double Slope() const { return m_slope; }
    double Intercept() const { return m_intercept; }

    // Writes the entries ceil(start) .. end of the table (those the table
    // has): the line's value there, rounded to nearest with halves to even
    // and clamped to 0 .. maximum.
    virtual void FillLUT(int maximum, TKvLUT& table, double end, double start) const;

protected:
    void Recalculate() override;

private:
    double m_slope;
    double m_intercept;
};

// The table of maximum + 1 entries of the line through the two points of
// the list: LutSucceeded; any other number of points (or a negative
// maximum) leaves the table empty and gives LutFailed.
std::int32_t BuildLUT(std::span<const TPoint> points, int maximum, TKvLUT& table);

// The lowest and highest brightness and contrast.
constexpr int MinToneValue = -127;
constexpr int MaxToneValue = 127;

// The two points of the line that brightness and contrast (each clamped to
// -127..127) make of the 0..255 range: brightness moves the line sideways,
// a positive contrast moves both ends inwards, a negative one raises the
// bottom and lowers the top. The points never share an x.
std::array<TPoint, 2> BrightnessContrastPoints(int brightness, int contrast);

// The 256-entry table of a brightness and contrast pair.
TKvLUT BrightnessContrastTable(int brightness, int contrast);

// Each channel of every 24-bit pixel of to that from also covers becomes
// the low byte of the table's entry for the same channel in from; from and
// to may be the same pixels. Entries the table lacks map to 0. Pictures in
// other formats are left alone.
void ApplyLUT(const TKvPixels& from, TKvPixels& to, const TKvLUT& table);
