#include "kit/ProgressBar.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define QV_ISATTY(stream) _isatty(_fileno(stream))
#else
#include <unistd.h>
#define QV_ISATTY(stream) isatty(fileno(stream))
#endif

namespace {
constexpr int BAR_WIDTH = 40;
}  // namespace

ProgressBar::ProgressBar(std::string label) : label_(std::move(label)), enabled_(QV_ISATTY(stderr) != 0) {}

ProgressBar::~ProgressBar() {
  if (enabled_ && shown_ >= 0) std::fprintf(stderr, "\r%*s\r", static_cast<int>(label_.size()) + BAR_WIDTH + 10, "");
}

void ProgressBar::Update(std::uint64_t done, std::uint64_t total) {
  if (!enabled_) return;
  int permille = total == 0 ? 1000 : static_cast<int>(done >= total ? 1000 : done * 1000 / total);
  // Redrawn when the figure changes, at most ten times a second, and always
  // when the work is done.
  if (permille == shown_) return;
  auto now = std::chrono::steady_clock::now();
  if (shown_ >= 0 && permille < 1000 && now - drawn_ < std::chrono::milliseconds(100)) return;
  shown_ = permille;
  drawn_ = now;
  char bar[BAR_WIDTH + 1];
  int filled = permille * BAR_WIDTH / 1000;
  for (int i = 0; i < BAR_WIDTH; ++i) bar[i] = i < filled ? '#' : '.';
  bar[BAR_WIDTH] = '\0';
  std::fprintf(stderr, "\r%s [%s] %3d.%d%%", label_.c_str(), bar, permille / 10, permille % 10);
  std::fflush(stderr);
}
