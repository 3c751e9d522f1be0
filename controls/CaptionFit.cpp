#include "controls/CaptionFit.h"

#include <QWidget>
#include <algorithm>

void GrowToCaption(QWidget& control, int rightEdge) {
  const int room = rightEdge - control.x();
  const int wanted = std::min(control.sizeHint().width(), room);
  if (wanted > control.width()) control.resize(wanted, control.height());
}
