// What kitpack is doing, for the message of a failure that no step foresaw:
// the C++ library throwing (out of memory, a file system call failing) ends
// in main, which then names the step that was under way. A step is named
// for as long as its KitStep lives; one that ends by an exception stays
// named, so that main finds the innermost step that failed.
#pragma once
#include <string>

class KitStep {
 public:
  explicit KitStep(std::string what);
  ~KitStep();
  KitStep(const KitStep&) = delete;
  KitStep& operator=(const KitStep&) = delete;

  // The step under way, or that failed; the command line's words before
  // any step is named.
  static const std::string& Current();
  static void Begin(std::string what);

 private:
  std::string previous_;
  int exceptions_;
};
