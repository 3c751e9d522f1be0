#pragma once
// Adapts a form designed for an 800 by 600 screen at 96 pixels per inch to
// the screen it runs on: sizes, places and fonts grow or shrink once, at
// the end of the form's creation, all by one factor, so that the form
// looks like the design, larger or smaller.
class QWidget;

// What the scaling depends on: the primary screen's size in pixels, the
// height left for windows (without panels and task bars; 0 means the whole
// height) and its logical dots per inch.
struct ScreenMetrics {
  int width = 800;
  int height = 600;
  int pixelsPerInch = 96;
  int availableHeight = 0;

  int AvailableHeight() const { return availableHeight > 0 ? availableHeight : height; }
  // The primary screen as the platform reports it.
  static ScreenMetrics Primary();
};

inline constexpr int kDesignScreenWidth = 800;
inline constexpr int kDesignScreenHeight = 600;
inline constexpr int kDesignPixelsPerInch = 96;
// Design font height of every form: 11 pixels (stored negative, as pixel
// heights are).
inline constexpr int kDesignFontHeight = -11;

// The factor a form was scaled by, as a fraction: design lengths become
// design * Num / Den (toward zero), as the form's own controls did.
struct FormScale {
  int Num = 1;
  int Den = 1;

  double Factor() const { return double(Num) / Den; }
  int Of(int designLength) const;
  bool operator==(const FormScale&) const = default;
};

// How a form takes the screen: main and equalizer windows by the screen's
// width alone (a tiled window may reach beyond the screen's height, the
// frame scrolls); dialogs by the width too, but never taller than what
// fits the screen's available height, so their buttons stay reachable on
// wide screens.
enum class FormFit { Width, WithinScreenHeight };

// Scales form (a top-level widget laid out with absolute geometry) for the
// given screen; nothing changes on the design screen. Off it, the form's
// size, its controls' places, sizes and fonts grow by one factor, screen
// width / 800 (for FormFit::WithinScreenHeight at most what keeps the form
// within 9/10 of the available height). At other than 96 pixels per inch
// every control directly on the form then has its font multiplied by whole
// steps of the design height, counted on the form's font as designed
// (before the width scaling, which already makes text as large as the
// form): used only when 2 or more. Fonts are scaled in their own unit
// (pixels or points), each once. Returns the factor, which the form also
// keeps (ScaleOf).
FormScale ScaleFormToScreen(QWidget& form, const ScreenMetrics& screen,
                            FormFit fit = FormFit::Width);
FormScale ScaleFormToScreen(QWidget& form, FormFit fit = FormFit::Width);

// The factor ScaleFormToScreen gave the form that holds widget (1 for a
// form never scaled).
FormScale ScaleOf(const QWidget& widget);

// The factor the application's own texts (menus, tool tips, message boxes,
// file dialogs, sub-window title bars) take on this screen: the same as a
// form's, 1 on the design screen.
FormScale ApplicationScale(const ScreenMetrics& screen);

// Makes what the application draws outside the forms as large, relative
// to the design, as the forms: its font (the font the application started
// with, measured at 96 pixels per inch, times ApplicationScale; the width
// scaling already makes text large on a dense screen, so the screen's own
// dots per inch do not enlarge it again) and the sizes of the program's
// style. Safe to call more than once.
void ScaleApplicationToScreen(const ScreenMetrics& screen);

// Font height as the forms store it: minus the pixel size (a point-sized
// font is converted at the screen's dots per inch).
int FontHeight(const QWidget& widget, int pixelsPerInch);
