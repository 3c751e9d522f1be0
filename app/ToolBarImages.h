#pragma once
// The tool bar's button images, drawn by the program: each a picture in a
// 16 by 16 grid, drawn at the size the tool bar asks for, in a normal and
// a disabled (grey, embossed) state.
#include <QIcon>
#include <QImage>

enum class ToolGlyph { New, Open, Save, Print, Copy, Paste, Clear, Tile, Bus, ComSetup, Exit };

// The picture at size by size pixels (drawn in the 16 by 16 design grid).
QImage ToolGlyphImage(ToolGlyph glyph, int size = 16);
// The disabled state of an image: its shape in grey with a white shadow
// shadowOffset pixels down and right.
QImage DisabledImage(const QImage& normal, int shadowOffset = 1);
// Both states in one icon, drawn at the size and device pixel ratio it is
// shown at.
QIcon ToolBarIcon(ToolGlyph glyph);
