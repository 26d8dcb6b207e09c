#include "kit/KitStep.h"

#include <exception>
#include <utility>

namespace {

std::string CurrentStep;  // the step that main names when something fails unforeseen

}  // namespace

KitStep::KitStep(std::string what) : previous_(std::move(what)), exceptions_(std::uncaught_exceptions()) {
  std::swap(previous_, CurrentStep);
}

KitStep::~KitStep() {
  if (std::uncaught_exceptions() == exceptions_) std::swap(previous_, CurrentStep);
}

const std::string& KitStep::Current() { return CurrentStep; }

void KitStep::Begin(std::string what) { CurrentStep = std::move(what); }
