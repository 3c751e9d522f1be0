#pragma once
// The tool bar's button images, drawn by the program: each a 16 by 16
// picture in a normal and a disabled (grey, embossed) state.
#include <QIcon>
#include <QImage>

enum class ToolGlyph { New, Open, Save, Print, Copy, Paste, Clear, Tile, ComSetup, Exit };

QImage ToolGlyphImage(ToolGlyph glyph);
// The disabled state of an image: its shape in grey with a white shadow
// one pixel down and right.
QImage DisabledImage(const QImage& normal);
// Both states in one icon.
QIcon ToolBarIcon(ToolGlyph glyph);
