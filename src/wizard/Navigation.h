// The page sequence and its navigation rule: plain logic over two integers.
#pragma once
#include <cstdint>

// The value with which a page dialog ends.
enum PageResult : int32_t {
  PAGE_NEXT = 1,
  PAGE_BACK = 2,
  PAGE_ABORT = 3,
};

// Terminal values of the cursor: the run ends with the matching notice.
constexpr int32_t PAGE_ABORTED = -1;
constexpr int32_t PAGE_FINISHED = -2;

constexpr int32_t PAGE_FIRST = 1;
constexpr int32_t PAGE_LAST = 7;
constexpr int32_t PAGE_INSTALL = 6;  // the install step runs in the place of page 6

struct WizardCursor {
  int32_t current;  // page to run next, or a terminal value
  int32_t last;     // number of the last page; never changes
};

extern WizardCursor Cursor;     // where the wizard stands
extern int32_t LastPageResult;  // what the last page dialog returned; 0 before any

// Applies the navigation rule to Cursor using LastPageResult.
void AdvancePage();
