#include "platform/unique_resource.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmo {
namespace {

// Records every close so the tests can see exactly what was closed and when.
std::vector<int>& closed() {
  static std::vector<int> values;
  return values;
}

struct FakeTraits {
  using Type = int;
  static Type invalid() { return -1; }
  static bool is_valid(Type v) { return v != -1; }
  static void close(Type v) { closed().push_back(v); }
};
using FakeResource = UniqueResource<FakeTraits>;

class UniqueResourceTest : public testing::Test {
 protected:
  void SetUp() override { closed().clear(); }
};

TEST_F(UniqueResourceTest, ClosesOnceWhenDestroyed) {
  { FakeResource r(7); }
  EXPECT_EQ(closed(), std::vector<int>{7});
}

TEST_F(UniqueResourceTest, InvalidValueIsNeverClosed) {
  { FakeResource r; }
  { FakeResource r(-1); }
  EXPECT_TRUE(closed().empty());
}

TEST_F(UniqueResourceTest, MoveHandsOverWithoutClosing) {
  FakeResource a(1);
  FakeResource b(std::move(a));
  EXPECT_FALSE(a.is_valid());
  EXPECT_TRUE(closed().empty());
  FakeResource c(2);
  c = std::move(b);
  EXPECT_EQ(closed(), std::vector<int>{2});
  EXPECT_EQ(c.get(), 1);
}

TEST_F(UniqueResourceTest, ResetClosesTheOldValue) {
  FakeResource r(3);
  r.reset(4);
  EXPECT_EQ(closed(), std::vector<int>{3});
  r.reset();
  EXPECT_EQ(closed(), (std::vector<int>{3, 4}));
  EXPECT_FALSE(r.is_valid());
}

TEST_F(UniqueResourceTest, ReleaseGivesUpOwnership) {
  FakeResource r(5);
  EXPECT_EQ(r.release(), 5);
  EXPECT_FALSE(r.is_valid());
  EXPECT_TRUE(closed().empty());
}

TEST_F(UniqueResourceTest, PutClosesWhatWasHeldBeforeTheCallFillsIt) {
  FakeResource r(6);
  *r.put() = 8;
  EXPECT_EQ(closed(), std::vector<int>{6});
  EXPECT_EQ(r.get(), 8);
}

TEST_F(UniqueResourceTest, SelfMoveKeepsTheValue) {
  FakeResource r(9);
  FakeResource& alias = r;
  r = std::move(alias);
  EXPECT_EQ(r.get(), 9);
  EXPECT_TRUE(closed().empty());
}

}  // namespace
}  // namespace velmo
