#pragma once
// The application object: an exception that escapes an event handler goes
// to the application's exception display instead of ending the program.
#include <QApplication>

class ExceptionDisplay;

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  void SetExceptionDisplay(ExceptionDisplay* display) { display_ = display; }
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ExceptionDisplay* display_ = nullptr;
};
