#pragma once

#include <QFont>

// The windows' face, "MS Sans Serif", at a point size; where it is missing the
// platform's sans-serif font at the same size stands in.
QFont msSansSerif(double pointSize);

inline constexpr double kDefaultFontPt = 9.75;
inline constexpr double kSmallFontPt = 8.25;
