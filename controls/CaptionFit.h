#pragma once
// Captions in another face than the design's: a control laid out at its
// design width may be too narrow for its caption.
class QWidget;

// Widens a control whose caption the font cuts at its design width, up
// to its size hint but never past rightEdge (the first pixel it must leave
// free); it never narrows and never moves.
void GrowToCaption(QWidget& control, int rightEdge);
