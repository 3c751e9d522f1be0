#pragma once
// Which marks of a level scale carry a label when not all of them fit:
// the slider scale of the equalizer windows and the level axis of the
// response picture follow the same rule, so that labels never pile up and
// the scale's ends are always named.
#include <functional>
#include <vector>

// Where a label lies along the scale, in pixels: from `from` to `to`.
struct LabelSpan {
  double from = 0;
  double to = 0;
};

// The values from low to high that carry a label, in descending order.
// Both ends always do, and 0 when it lies between them (unless its label
// would touch an end's). Between them stand the multiples of the finest
// spacing of base, 2 × base, 4 × base ... whose labels keep at least `gap`
// pixels from each other; a multiple whose label would touch an end's is
// left out. span gives the pixels a value's label covers.
std::vector<double> ThinnedScaleLabels(double low, double high, double base,
                                       const std::function<LabelSpan(double value)>& span,
                                       double gap);
