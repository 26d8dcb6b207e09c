// In the unit tests a fatal report becomes an exception carrying its message,
// so that a test can see which report a call made.
#pragma once
#include <stdexcept>
#include <string>

struct FatalReport : std::runtime_error {
  using std::runtime_error::runtime_error;
};
