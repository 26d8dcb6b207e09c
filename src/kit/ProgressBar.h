// A one-line progress bar on stderr, drawn only when stderr is a terminal so
// that logs and pipes stay clean.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

#include "kit/WorkProgress.h"

class ProgressBar {
 public:
  explicit ProgressBar(std::string label);
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  // Clears the bar's line.
  ~ProgressBar();

  void Update(std::uint64_t done, std::uint64_t total);
  // A callback for work that reports its progress.
  WorkProgress Callback() {
    return [this](std::uint64_t done, std::uint64_t total) { Update(done, total); };
  }

 private:
  std::string label_;
  bool enabled_;
  int shown_ = -1;                               // per mille last drawn
  std::chrono::steady_clock::time_point drawn_;  // when it was drawn
};
