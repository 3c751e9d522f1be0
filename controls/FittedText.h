#pragma once
// Text in a box too narrow for it: rather than lose its last letters, the
// text is drawn narrower (squeezed across, not shortened), down to a
// smallest share of its width; only text longer than that is cut.
#include <QLabel>
#include <QRect>
#include <QString>

class QPainter;

// The narrowest a text is squeezed to: 60 % of its natural width.
inline constexpr double kMinTextSqueeze = 0.6;

// The horizontal factor that fits a text of naturalWidth into room pixels:
// 1 when it fits, else room / naturalWidth, but not below kMinTextSqueeze.
double TextSqueeze(int naturalWidth, int room);

// Draws text in box with the alignment given, in the painter's font and
// pen, squeezed to fit its width when needed and clipped to the box.
void DrawFittedText(QPainter& painter, const QRect& box, Qt::Alignment alignment,
                    const QString& text);

// A status bar panel: a sunken frame around a one-line text that is
// squeezed rather than cut when the panel is too narrow for it. Screen
// readers read its caption (the accessible name) and its text
// (StatusPanelAccessible).
class StatusPanel : public QLabel {
  Q_OBJECT

 public:
  explicit StatusPanel(const QString& text, QWidget* parent = nullptr);
  // The text's room inside the frame and its small inner margin.
  QRect TextRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The text assistive technology last heard of.
  QString announced_;
};
