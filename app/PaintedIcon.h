#pragma once
// Icons the program draws itself, at whatever size and in whatever state
// they are asked for, and only when they are: sharp at any scale and device
// pixel ratio, and nothing drawn at start-up that is never shown.
#include <QIcon>
#include <QImage>
#include <functional>

// Draws the picture side by side device pixels, normal or disabled.
using IconPainter = std::function<QImage(int side, QIcon::Mode mode)>;

QIcon PaintedIcon(IconPainter paint);
