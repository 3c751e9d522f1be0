#include "app/TApplication.h"

#include <cstdio>
#include <exception>

#include "serial/UiInterfaces.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    if (display_)
      display_->ShowException(e.what());
    else
      std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    if (display_) display_->ShowException("Unknown error");
  }
  return false;
}
