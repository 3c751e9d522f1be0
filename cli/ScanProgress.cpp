#include "cli/ScanProgress.h"

#include <unistd.h>

#include <cstdio>

ScanProgress::ScanProgress(int total) : total_(total), enabled_(isatty(STDERR_FILENO) == 1) {}

ScanProgress::~ScanProgress() { Clear(); }

void ScanProgress::Show(int done, int address, int found) {
  if (!enabled_ || total_ <= 0) return;
  constexpr int kWidth = 30;
  const int filled = done * kWidth / total_;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kWidth - filled), '.');
  std::fprintf(stderr, "\r[%s] %d/%d  address %d  found %d", bar.c_str(), done, total_, address,
               found);
  std::fflush(stderr);
  drawn_ = true;
}

void ScanProgress::Clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}
