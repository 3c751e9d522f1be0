#pragma once
// Where Tile puts the equalizer windows when they stand two or three to a
// column: the columns side by side, sharing the workspace's width, so that
// however many windows there are, none stands beyond the workspace.
#include <QRect>
#include <QSize>

// The place of window `index` (0 first) of `count`, `perColumn` to a
// column, in a workspace of `area`.
QRect TiledPlace(int index, int count, int perColumn, const QSize& area);
