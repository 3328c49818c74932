// The font families the system's font configuration (fontconfig) chooses
// for a generic name such as "serif" or "sans-serif": the text tool falls
// back to them when none of its preferred fonts is installed, so that a
// font is always chosen.
#pragma once

#include <QString>

// The family fontconfig matches for the name; empty when it matches none.
QString MatchedFontFamily(const QString& name);
