// The table behind the Windows backend's 32-bit handles.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "transport/windows_hid/handle_table.hpp"

namespace gpio_dll::transport {
namespace {

TEST(HandleTable, NumbersAreNeverTheNoHandleValuesNorShared) {
  HandleTable<std::string> table;
  std::set<std::int32_t> seen;
  for (int i = 0; i < 100; ++i) {
    const std::int32_t n = table.add("record " + std::to_string(i));
    EXPECT_GE(n, 1);  // neither kInvalidHandle (-1) nor kNoEvent (0)
    EXPECT_TRUE(seen.insert(n).second) << n;
  }
  EXPECT_EQ(table.size(), 100u);
}

TEST(HandleTable, ARecordIsFoundByItsNumberUntilTaken) {
  HandleTable<std::string> table;
  const std::int32_t a = table.add("a");
  const std::int32_t b = table.add("b");
  ASSERT_NE(table.find(a), nullptr);
  EXPECT_EQ(*table.find(b), "b");
  EXPECT_EQ(table.take(a), std::optional<std::string>("a"));
  EXPECT_EQ(table.find(a), nullptr);
  EXPECT_EQ(table.take(a), std::nullopt);  // a second close finds nothing
  EXPECT_NE(table.add("c"), a);            // a stale copy of `a` must not reach the next record
  EXPECT_EQ(table.find(-1), nullptr);
  EXPECT_EQ(table.find(0), nullptr);
}

TEST(HandleTable, AfterTheLargestNumberItStartsAgainAndSkipsLiveOnes) {
  HandleTable<int> table(INT32_MAX - 1);
  const std::int32_t a = table.add(1);
  const std::int32_t b = table.add(2);
  EXPECT_EQ(a, INT32_MAX - 1);
  EXPECT_EQ(b, INT32_MAX);
  table.take(b);
  // Back at the first number, which is still live: the next free one is used.
  EXPECT_EQ(table.add(3), INT32_MAX);
  table.take(a);
  EXPECT_EQ(table.add(4), INT32_MAX - 1);
}

}  // namespace
}  // namespace gpio_dll::transport
