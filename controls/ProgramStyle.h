#pragma once
// The program's look: the platform's style, with list boxes that open as a
// list of their visible-items count (some styles open every item as a
// menu, which fills the screen's height with the 241 addresses), and with
// the sizes the style keeps in fixed pixels (check boxes, radio buttons,
// scroll bars, title bars, the buttons of list and number boxes, small
// icons) grown by the same factor as the forms, so that a form on a large
// screen looks like the design, larger. Sizes that layouts ask for (the
// toolkit's own dialogs, menus) grow with what the style draws larger.
#include <QProxyStyle>

#include "controls/zkScale.h"

class ProgramStyle : public QProxyStyle {
 public:
  // The factor the style's own sizes take (1 on the design screen), for
  // every ProgramStyle of the application; set with the application font.
  static void SetScreen(const ScreenMetrics& screen);
  // What a style size of design pixels becomes: the application's scale,
  // less what the style already adds for a screen of more than 96 dots
  // per inch (the forms count every size at 96).
  static double SizeFactor();

  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                       SubControl sub, const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                         const QWidget* widget = nullptr) const override;
  int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                const QWidget* widget = nullptr,
                QStyleHintReturn* returnData = nullptr) const override;
};
