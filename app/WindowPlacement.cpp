#include "app/WindowPlacement.h"

#include <algorithm>
#include <cstdint>

namespace {
// One axis: a length within [least, room] and a start that keeps it inside
// [origin, origin + room). Wide arithmetic: stored values may be anything.
void Fit(int64_t& start, int64_t& length, int64_t origin, int64_t room, int64_t least) {
  length = std::clamp<int64_t>(length, std::min(least, room), room);
  start = std::clamp<int64_t>(start, origin, origin + room - length);
}
}  // namespace

QRect FitOnScreen(int left32, int top32, int width32, int height32, const QRect& available,
                  const QSize& minimum) {
  int64_t left = left32, top = top32, width = width32, height = height32;
  if (available.isEmpty()) return QRect(0, 0, std::max(1, minimum.width()), std::max(1, minimum.height()));
  Fit(left, width, available.left(), available.width(), std::max(1, minimum.width()));
  Fit(top, height, available.top(), available.height(), std::max(1, minimum.height()));
  return QRect(int(left), int(top), int(width), int(height));
}
