// The owner set of a picture cache entry against a std::set: joins and
// leaves in random order (erases move later entries of a probe run back),
// duplicates and the null address.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "items/brix_owners.h"

namespace orba {
namespace {

TEST(BrixOwners, AnOwnerCountsOnceAndLeavesOnce) {
  TBrixOwners owners;
  int a = 0, b = 0;
  EXPECT_TRUE(owners.Empty());
  EXPECT_TRUE(owners.Add(&a));
  EXPECT_FALSE(owners.Add(&a));
  EXPECT_TRUE(owners.Add(&b));
  EXPECT_EQ(owners.Count(), 2u);
  EXPECT_TRUE(owners.Remove(&a));
  EXPECT_FALSE(owners.Remove(&a));
  EXPECT_FALSE(owners.Contains(&a));
  EXPECT_TRUE(owners.Contains(&b));
  EXPECT_EQ(owners.Count(), 1u);
}

TEST(BrixOwners, TheNullAddressIsAnOwnerLikeAnyOther) {
  TBrixOwners owners;
  int a = 0;
  EXPECT_FALSE(owners.Contains(nullptr));
  EXPECT_TRUE(owners.Add(nullptr));
  EXPECT_FALSE(owners.Add(nullptr));
  owners.Add(&a);
  EXPECT_EQ(owners.Count(), 2u);
  EXPECT_TRUE(owners.Remove(nullptr));
  EXPECT_FALSE(owners.Contains(nullptr));
  EXPECT_TRUE(owners.Contains(&a));
  EXPECT_EQ(owners.Count(), 1u);
}

// Owners a few bytes apart (fields of one object, as a list box's two
// picture slots are) and far apart, joining and leaving at random through
// several growths of the table.
TEST(BrixOwners, RandomJoinsAndLeavesMatchASet) {
  std::vector<char> objects(20000);
  std::mt19937 rng(11);
  TBrixOwners owners;
  std::set<const void*> model;
  for (int step = 0; step < 60000; ++step) {
    const void* owner = &objects[rng() % (step < 30000 ? 3000 : objects.size())];
    if (rng() % 3 != 0) {
      ASSERT_EQ(owners.Add(owner), model.insert(owner).second) << "step " << step;
    } else {
      ASSERT_EQ(owners.Remove(owner), model.erase(owner) == 1) << "step " << step;
    }
    ASSERT_EQ(owners.Count(), model.size()) << "step " << step;
  }
  for (size_t i = 0; i < objects.size(); i += 7)
    ASSERT_EQ(owners.Contains(&objects[i]), model.contains(&objects[i])) << "object " << i;
  for (const void* owner : model) ASSERT_TRUE(owners.Remove(owner));
  EXPECT_TRUE(owners.Empty());
}

}  // namespace
}  // namespace orba
