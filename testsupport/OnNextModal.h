#pragma once
// GUI tests: answers a modal dialog that the code under test opens and
// waits in.
#include <QApplication>
#include <QTimer>
#include <functional>

// Runs `act` on the next modal dialog once it is shown.
inline void OnNextModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(modal);
    }
  });
  timer->start(10);
}
