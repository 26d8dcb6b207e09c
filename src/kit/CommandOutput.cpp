#include "kit/CommandOutput.h"

#include <cstdio>

int Fail(const std::string& message) {
  std::fprintf(stderr, "kitpack: %s\n", message.c_str());
  return 1;
}

bool Refuse(const std::string& message) { return Fail(message) == 0; }

void Note(const std::string& message) { std::fprintf(stderr, "kitpack: note: %s\n", message.c_str()); }

int FailWithProblems(const std::string& prefix, const std::vector<std::string>& problems) {
  constexpr std::size_t SHOWN = 50;
  for (std::size_t i = 0; i < problems.size() && i < SHOWN; ++i) Fail(prefix + problems[i]);
  if (problems.size() > SHOWN) Fail(prefix + "... and " + std::to_string(problems.size() - SHOWN) + " more problems");
  return 1;
}

std::string Percent(std::uint64_t part, std::uint64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", whole == 0 ? 100.0 : 100.0 * static_cast<double>(part) / whole);
  return text;
}
