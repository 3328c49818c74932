// Small pictures and label maps for the tests of the clipping work.
#pragma once

#include "KvBitmap.h"
#include "MarkedRegion.h"

#include <ostream>
#include <string>
#include <vector>

// A 24-bit picture of width x height pixels, all of one colour.
void MakePicture(TKvPixelBuffer& picture, int width, int height, TColorTriple fill = {});
void SetPixel(TKvPixels& picture, int x, int y, TColorTriple color);
TColorTriple PixelOf(const TKvPixels& picture, int x, int y);
// copy becomes a 24-bit copy of picture.
void CopyPicture(TKvPixelBuffer& copy, const TKvPixels& picture);
// Whether the two pictures have the same size and pixels.
bool SamePixels(const TKvPixels& a, const TKvPixels& b);

// Lets test failures show colours as (blue, green, red).
inline void PrintTo(const TColorTriple& c, std::ostream* out)
{
    *out << '(' << int(c.Blue) << ", " << int(c.Green) << ", " << int(c.Red) << ')';
}

// Label maps drawn as text, one string per row: '.' is 0, '0'..'9' the digit,
// 'a'.. 'z' 10..35, 'A'..'Z' 128 + 0..25 (labels shown with the background
// effect), '#' anything else.
char LabelChar(int label);
std::vector<std::string> LabelRows(const TMarkedRegion& region);
std::vector<std::string> SegmentRows(const TMarkedRegion& region);
// Gives every pixel the label its character stands for (no '#').
void PaintLabels(TMarkedRegion& region, const std::vector<std::string>& rows);

// The label counts add up to the picture and agree with the labels.
bool CountsAgree(const TMarkedRegion& region);
