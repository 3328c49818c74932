// Which picture pixel each pixel of a part of a view's canvas shows: the
// paste and text tools draw their live previews at the view's resolution,
// one canvas pixel at a time, over the picture the view shows at any zoom.
// The tools fill it from the view's map mode; the previews read it.
#pragma once

#include "KvTypes.h"

#include <vector>

struct TViewPixels {
    // The canvas pixels to draw (device coordinates).
    TRect Clip;
    // The picture column canvas column x shows is PictureX[x - Clip.Left],
    // the picture row canvas row y shows PictureY[y - Clip.Top].
    std::vector<int> PictureX;
    std::vector<int> PictureY;
};
