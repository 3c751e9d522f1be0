#pragma once
// The slider's bitmaps: the thumb images in their three sizes, box and
// pointer, with the pointer's mask, drawn pixel by pixel in four colours;
// their enlargement pixel for pixel to the size a scale and a device pixel
// ratio ask for; the copying, tiling and flood filling the slider draws its
// thumb and disabled look with; and the thumb's cursor.
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "controls/TzkTrackBar.h"

namespace trackbar_bitmaps {

// The four colours of the thumb images.
inline constexpr QRgb kBlack = 0xFF000000;
inline constexpr QRgb kWhite = 0xFFFFFFFF;
inline constexpr QRgb kSilver = 0xFFC0C0C0;
inline constexpr QRgb kGrey = 0xFF808080;

inline bool IsSilver(QRgb c) { return (c & 0x00FFFFFF) == (kSilver & 0x00FFFFFF); }

// Vertical thumb images are breadth wide and length high; the horizontal
// ones are the same images turned about the top-left to bottom-right
// diagonal, so their top-left edges stay white and their grooves turn with
// the track.
QSize VerticalImageSize(TzkTrackBar::TThumbSize size);

QImage Transposed(const QImage& image);

// First pixel of row y that belongs to a left-pointing pointer of height h:
// the two left corners are cut away in triangles depth rows deep (3, 2, 1
// pixels in the small size), leaving a tip two rows high.
int PointerRowStart(int y, int h);

// A raised button: white top and left edges, black bottom and right edges
// with a grey line inside them, silver face. Across the face runs a grey
// groove with a white highlight under it, stopping one pixel short of the
// edges so the face stays one area.
QImage VerticalBox(QSize s);

// A raised button whose left end comes to a point. Pixels outside the
// shape are black so that OR-ing the image onto the masked background
// leaves the background there.
QImage VerticalPointer(QSize s);

QImage VerticalPointerMask(QSize s);

// Resizes image by taking for every new pixel the source pixel under its
// centre: a bitmap stays sharp-edged, each of its pixels becoming a block
// with no blended colours.
QImage ScaledNearest(const QImage& image, QSize size);

// The pixel of an image scaled by ScaledNearest from `from` to `to` that
// shows source pixel p: the one at the middle of p's block.
QPoint ScaledPoint(QPoint p, QSize from, QSize to);

// Copies src into dst with its top-left corner at `at`, both 32-bit images,
// leaving out what falls outside dst. No painter: the pixels land exactly
// where they are meant to, whatever dst's device pixel ratio.
void CopyPixels(QImage& dst, QPoint at, const QImage& src);

// Tiles rect of image with pattern, aligned with the image's top-left
// corner.
void TilePixels(QImage& image, const QRect& rect, const QImage& pattern);

// Fills the silver area of image containing seed, four-connected, with the
// pattern (tiled from the image's top-left corner).
void FloodFillSilver(QImage& image, QPoint seed, const QImage& pattern);

// The cursor shown over the thumb: a black up-and-down arrow with a white
// outline, its hot spot in the middle.
QCursor MakeThumbCursor();

}  // namespace trackbar_bitmaps
