#pragma once
// A one-line progress bar on standard error for a bus scan, drawn only when
// standard error is a terminal (a full scan is minutes of time-outs).
#include <string>

class ScanProgress {
 public:
  explicit ScanProgress(int total);
  ~ScanProgress();
  // `done` addresses of `total` asked, `found` devices answered so far;
  // `address` is the one being asked now.
  void Show(int done, int address, int found);
  // Clears the bar so that messages and the result print on clean lines.
  void Clear();

 private:
  int total_;
  bool enabled_;
  bool drawn_ = false;
};
