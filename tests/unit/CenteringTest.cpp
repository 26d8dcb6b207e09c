#include <gtest/gtest.h>

#include "wizard/Centering.h"

namespace {

struct Case {
  int screenWidth, screenHeight, windowWidth, windowHeight;
  int x, y;
  const char* why;
};

const Case kCases[] = {
    {1024, 768, 431, 300, 297, 234, "odd width: 512 - 215"},
    {1024, 768, 430, 301, 297, 234, "even width, odd height"},
    {1023, 767, 431, 301, 296, 233, "odd screen: each size halved on its own"},
    {800, 600, 800, 600, 0, 0, "a window as large as the screen"},
    {640, 480, 1001, 700, -180, -110, "a window larger than the screen goes past its edges: 320 - 500"},
    {1, 1, 1, 1, 0, 0, "one pixel"},
};

TEST(CenteredOrigin, HalvesEachSizeBeforeSubtracting) {
  for (const Case& c : kCases) {
    const ScreenPoint origin = CenteredOrigin(c.screenWidth, c.screenHeight, c.windowWidth, c.windowHeight);
    EXPECT_EQ(origin.x, c.x) << c.why;
    EXPECT_EQ(origin.y, c.y) << c.why;
  }
}

}  // namespace
