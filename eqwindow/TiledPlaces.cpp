#include "eqwindow/TiledPlaces.h"

#include <algorithm>

QRect TiledPlace(int index, int count, int perColumn, const QSize& area) {
  perColumn = std::max(1, perColumn);
  const int columns = std::max(1, (count + perColumn - 1) / perColumn);
  const int column = index / perColumn, row = index % perColumn;
  // Columns of one width, which a window keeps when resized (the last
  // may end a pixel short of the edge); rows to the workspace's bottom.
  const int width = std::max(1, area.width() / columns);
  const int top = area.height() * row / perColumn, bottom = area.height() * (row + 1) / perColumn;
  return QRect(column * width, top, width, std::max(1, bottom - top));
}
