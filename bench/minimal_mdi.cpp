// The yardstick of the start-up benchmark: the smallest Qt program with a
// multiple-document frame. Prints "SHOWN <monotonic ns>" once its frame is
// shown and the event loop idle, and quits.
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QTimer>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow frame;
  frame.setWindowTitle("Minimal MDI");
  frame.menuBar()->addMenu("&File");
  frame.setCentralWidget(new QMdiArea);
  frame.resize(600, 411);
  frame.show();
  QTimer::singleShot(0, &app, [] {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("SHOWN %lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    std::fflush(stdout);
    QApplication::quit();
  });
  return app.exec();
}
