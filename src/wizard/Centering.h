// Where a window goes to stand in the middle of the screen.
#pragma once

struct ScreenPoint {
  int x;
  int y;
};

// Top-left corner that centres a window of the given outer size on a screen
// of the given size. Each of the four sizes is halved on its own, rounding
// down, before the subtraction.
ScreenPoint CenteredOrigin(int screenWidth, int screenHeight, int windowWidth, int windowHeight);
