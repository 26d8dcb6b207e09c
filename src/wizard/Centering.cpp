#include "wizard/Centering.h"

// Halving by an arithmetic shift rounds towards minus infinity, also for
// the negative sizes a broken rectangle could give.
static int Half(int value) { return value >> 1; }

ScreenPoint CenteredOrigin(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  return {Half(screenWidth) - Half(windowWidth), Half(screenHeight) - Half(windowHeight)};
}
