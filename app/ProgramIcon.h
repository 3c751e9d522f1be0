#pragma once
// The program's icon, drawn by the program: the sliders of a graphic
// equalizer drawing a curve, the same picture as the desktop entry's icon.
#include <QIcon>
#include <QImage>

// The picture at size by size pixels (drawn in a 64 by 64 grid).
QImage ProgramIconImage(int size);
// The icon, drawn at the sizes window decorations and task bars ask for.
QIcon ProgramIcon();
