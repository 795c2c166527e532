#pragma once

#include <QFont>

// The windows' face, "MS Sans Serif", at a point size; where it is missing the
// platform's sans-serif font at the same size stands in.
QFont msSansSerif(double pointSize);

inline constexpr double kDefaultFontPt = 9.75;
inline constexpr double kSmallFontPt = 8.25;

class QLabel;

// Makes a word-wrapped label's face smaller, a quarter point at a time, until
// its text fits the label's fixed box: the boxes were measured for
// "MS Sans Serif", and a stand-in face may need a little more room.
void shrinkToFit(QLabel* label, double smallestPointSize = 6.5);
