#include <gtest/gtest.h>

#include "wizard/Navigation.h"

namespace {

struct Move {
  int32_t from;
  int32_t result;
  int32_t to;
  const char* why;
};

// Every page with every result the pages produce, and the values no page
// produces (0 before any page, -1 from a dialog that could not be shown).
const Move kMoves[] = {
    {1, PAGE_NEXT, 2, "Next on the welcome page"},
    {1, PAGE_BACK, 1, "Back on the first page stays there"},
    {1, PAGE_ABORT, PAGE_ABORTED, "Abort on the welcome page"},
    {2, PAGE_NEXT, 3, "I Agree"},
    {2, PAGE_BACK, 1, "Back from page 2"},
    {2, PAGE_ABORT, PAGE_ABORTED, "I Disagree"},
    {3, PAGE_NEXT, 4, "Next on the information page"},
    {3, PAGE_BACK, 2, "Back on the information page"},
    {3, PAGE_ABORT, PAGE_ABORTED, "Abort on the information page"},
    {4, PAGE_NEXT, 5, "Next on the directory page"},
    {4, PAGE_BACK, 3, "Back on the directory page"},
    {4, PAGE_ABORT, PAGE_ABORTED, "Abort on the directory page"},
    {5, PAGE_NEXT, 6, "Next on the ready page reaches the install step"},
    {5, PAGE_BACK, 4, "Back on the ready page"},
    {5, PAGE_ABORT, PAGE_ABORTED, "Abort on the ready page"},
    {6, PAGE_NEXT, 7, "the install step keeps the Next that led to it"},
    {7, PAGE_NEXT, PAGE_FINISHED, "page 7 always ends the run"},
    {7, PAGE_BACK, 6, "a Back on page 7 would go back (the sequencer never lets it)"},
    {7, PAGE_ABORT, PAGE_ABORTED, "Abort after page 7"},
    {1, 0, 1, "no result yet leaves the page"},
    {4, 0, 4, "no result leaves page 4"},
    {3, -1, 3, "a dialog that failed leaves the page"},
    {5, 4, 5, "an unknown result leaves the page"},
    {PAGE_ABORTED, PAGE_NEXT, 0 + PAGE_ABORTED + 1 == 0 ? PAGE_FIRST : 0, "Next from -1 gives 0, which becomes page 1"},
    {PAGE_ABORTED, 0, PAGE_ABORTED, "-1 is not greater than the last page"},
    {PAGE_FINISHED, 0, PAGE_FINISHED, "-2 stays"},
};

class AdvancePageTest : public testing::TestWithParam<Move> {};

TEST_P(AdvancePageTest, FollowsTheRule) {
  const Move& move = GetParam();
  Cursor = {move.from, PAGE_LAST};
  LastPageResult = move.result;
  AdvancePage();
  EXPECT_EQ(Cursor.current, move.to) << move.why;
  EXPECT_EQ(Cursor.last, PAGE_LAST) << "the last page never changes";
}

INSTANTIATE_TEST_SUITE_P(EveryPageAndResult, AdvancePageTest, testing::ValuesIn(kMoves));

// The whole forward road: Next everywhere, then whatever page 7 answered.
TEST(AdvancePage, ForwardRoadVisitsEveryPageOnceThenFinishes) {
  Cursor = {PAGE_FIRST, PAGE_LAST};
  LastPageResult = PAGE_NEXT;
  std::vector<int32_t> visited;
  while (Cursor.current > 0) {
    visited.push_back(Cursor.current);
    AdvancePage();
  }
  EXPECT_EQ(visited, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(Cursor.current, PAGE_FINISHED);
}

}  // namespace
