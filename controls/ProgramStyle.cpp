#include "controls/ProgramStyle.h"

#include <QStyleOptionComplex>
#include <QStyleOptionMenuItem>
#include <algorithm>
#include <cmath>

namespace {
double sizeFactor = 1.0;
double applicationScale = 1.0;
// Between a check box or radio button and its caption, as the design's
// controls stand: less than some styles leave, which would cut captions
// in the design's widths.
constexpr int kLabelSpacing = 4;

// A menu item's check column as some styles (Fusion) draw it: at least
// this many pixels, and about four fifths of the item's height, which the
// size they report for the item leaves out.
constexpr int kMenuCheckColumn = 21;
constexpr double kMenuCheckColumnPerHeight = 0.8;

int Grown(int pixels) { return int(std::lround(pixels * sizeFactor)); }

// A button along the right edge of a box, widened to the left by the size
// factor; the edit field beside it gives up the room.
void WidenRightButton(QRect& button) {
  const int width = Grown(button.width());
  button.setLeft(button.right() + 1 - width);
}
}  // namespace

void ProgramStyle::SetScreen(const ScreenMetrics& screen) {
  const double dpi = screen.pixelsPerInch > 0 ? screen.pixelsPerInch : kDesignPixelsPerInch;
  applicationScale = ApplicationScale(screen).Factor();
  sizeFactor = applicationScale * kDesignPixelsPerInch / dpi;
  if (!(sizeFactor > 0)) sizeFactor = applicationScale = 1.0;
}

double ProgramStyle::SizeFactor() { return sizeFactor; }

int ProgramStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                              const QWidget* widget) const {
  if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing)
    return std::max(1, int(std::lround(kLabelSpacing * applicationScale)));
  const int base = QProxyStyle::pixelMetric(metric, option, widget);
  switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
    case PM_ScrollBarExtent:
    case PM_ScrollBarSliderMin:
    case PM_TitleBarHeight:
    case PM_TitleBarButtonSize:
    case PM_TitleBarButtonIconSize:
    case PM_MdiSubWindowMinimizedWidth:
    case PM_SmallIconSize:
    case PM_ButtonIconSize:
    case PM_ListViewIconSize:
    case PM_IconViewIconSize:
    case PM_MessageBoxIconSize:
    case PM_MenuBarItemSpacing:
      return base > 0 ? std::max(1, Grown(base)) : base;
    default:
      return base;
  }
}

QRect ProgramStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                   SubControl sub, const QWidget* widget) const {
  QRect rect = QProxyStyle::subControlRect(control, option, sub, widget);
  if (sizeFactor <= 1.0) return rect;
  if (control == CC_ComboBox) {
    QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
    const int gap = arrow.left() - rect.right();
    WidenRightButton(arrow);
    if (sub == SC_ComboBoxArrow) return arrow;
    if (sub == SC_ComboBoxEditField) rect.setRight(std::max(rect.left(), arrow.left() - gap));
  } else if (control == CC_SpinBox) {
    QRect up = QProxyStyle::subControlRect(control, option, SC_SpinBoxUp, widget);
    const int gap = up.left() - rect.right();
    if (sub == SC_SpinBoxUp || sub == SC_SpinBoxDown) {
      WidenRightButton(rect);
      return rect;
    }
    WidenRightButton(up);
    if (sub == SC_SpinBoxEditField) rect.setRight(std::max(rect.left(), up.left() - gap));
  }
  return rect;
}

QSize ProgramStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                     const QSize& contents, const QWidget* widget) const {
  QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
  if (type == CT_MenuItem) {
    // A larger font makes the item taller and its drawn check column wider
    // than the size counts: the text would lose its middle ("Prin...etup").
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item && item->menuItemType != QStyleOptionMenuItem::Separator) {
      const int drawn = int(std::ceil(size.height() * kMenuCheckColumnPerHeight));
      size.rwidth() += std::max(0, drawn - std::max(item->maxIconWidth, kMenuCheckColumn));
    }
  } else if ((type == CT_ComboBox || type == CT_SpinBox) && sizeFactor > 1.0) {
    // The widened button takes its room from the text: the box asks for as
    // much more, so that one laid out at its size shows its text whole.
    if (const auto* box = qstyleoption_cast<const QStyleOptionComplex*>(option)) {
      const QRect button = type == CT_ComboBox
          ? QProxyStyle::subControlRect(CC_ComboBox, box, SC_ComboBoxArrow, widget)
          : QProxyStyle::subControlRect(CC_SpinBox, box, SC_SpinBoxUp, widget);
      size.rwidth() += Grown(button.width()) - button.width();
    }
  }
  return size;
}

int ProgramStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
  if (hint == SH_ComboBox_Popup) return 0;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}
