// Room for the values a step makes: the heap watch's answer to a request
// for room, and statements that would make many megabytes at once, which
// are made with room and refused without it (the ceiling then counts as
// passed and the statement's value stays as it was).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/system/heap_watch.h"
#include "script/expr_test_env.h"
#include "script/values/value_room.h"

namespace orba {
namespace {

constexpr uint64_t kNoCeiling = 0, kFarCeiling = uint64_t{1} << 60;
constexpr int64_t kMiB = int64_t{1} << 20;

class ValueRoom : public testing::Test {
 protected:
  void SetUp() override {
    ResetHeapCeiling();
    ResetValueRoom();
  }
  void TearDown() override {
    SetHeapCeiling(kNoCeiling);
    ResetHeapCeiling();
    ResetValueRoom();
  }
};

// The ceiling (above the memory in use now, or as it stands), the bytes
// asked for, the answer, and whether the ceiling counts as passed after.
struct RoomCase {
  bool above_in_use;
  uint64_t ceiling;
  uint64_t bytes;
  bool room;
  bool passed;
};

TEST_F(ValueRoom, TheHeapWatchAnswersARequestForRoomByTheMemoryInUseNow) {
  const std::vector<RoomCase> cases = {
      {false, kNoCeiling, uint64_t{1} << 62, true, false},  // no watch: always room
      {false, kFarCeiling, uint64_t{1} << 40, true, false},
      {true, 64 * kMiB, 16 * kMiB, true, false},
      {true, 8 * kMiB, 16 * kMiB, false, true},
      {true, 0, kFarCeiling, false, true},
      {false, 1, 0, false, true},  // already past with nothing asked
  };
  for (const RoomCase& c : cases) {
    ResetHeapCeiling();
    SetHeapCeiling(c.above_in_use ? HeapInUse() + c.ceiling : c.ceiling);
    EXPECT_EQ(HeapRoomFor(c.bytes), c.room) << c.ceiling << " " << c.bytes;
    EXPECT_EQ(HeapCeilingPassed(), c.passed) << c.ceiling << " " << c.bytes;
  }
  // Once passed, no request finds room, however far the ceiling is moved.
  SetHeapCeiling(kFarCeiling);
  EXPECT_FALSE(HeapRoomFor(1));
}

TEST_F(ValueRoom, SixteenMebibytesAreMadeBeforeTheMemoryIsReadAgain) {
  SetHeapCeiling(1);  // any read finds the ceiling passed
  ClaimValueRoom(kValueBytesBetweenReads / 2);
  ClaimValueRoom(kValueBytesBetweenReads / 2);
  EXPECT_FALSE(HeapCeilingPassed());
  EXPECT_THROW(ClaimValueRoom(1), ENoValueRoom);
  EXPECT_TRUE(HeapCeilingPassed());
  // Refused once, every later value asks and is refused, however small.
  SetHeapCeiling(kFarCeiling);
  EXPECT_THROW(ClaimValueRoom(1), ENoValueRoom);
}

// A statement making 16 MiB or more in one step, and what the values then
// hold (Check below).
struct MakeCase {
  const char* statement;
  const char* made;
};

// The length of "t", the size of the array "a" and the length of its last
// element.
constexpr char kCheck[] = "Length(t) ++ \"|\" ++ GetArraySize(a) ++ \"|\" ++ Length(a[GetArraySize(a) - 1])";
constexpr char kBefore[] = "6|4|0";

class ValuesMadeInOneStep : public ValueRoom, public testing::WithParamInterface<MakeCase> {
 protected:
  // An 8 MiB text "s", a short text "t", an array "a" of four empty texts
  // and an array "b" of three copies of "s".
  void Prepare(test::TExprEnv& env) {
    env.Declare("s", PT_STR)->SetAsStr(std::string(8 * kMiB, 'x'));
    env.Run({"a = \"\"", "SetArray(a, 4)", "t = \"before\"", "b = \"\"", "SetArray(b, 3)", "FillMem(b, s)"});
    ASSERT_EQ(env.Run({kCheck}), kBefore);
    ResetValueRoom();
  }
};

TEST_P(ValuesMadeInOneStep, AreMadeWithRoom) {
  test::TExprEnv env;
  Prepare(env);
  SetHeapCeiling(kFarCeiling);
  env.Run({GetParam().statement});
  EXPECT_FALSE(HeapCeilingPassed());
  EXPECT_EQ(env.Run({kCheck}), GetParam().made);
}

TEST_P(ValuesMadeInOneStep, AreRefusedWithoutRoomAndTheCeilingCountsAsPassed) {
  test::TExprEnv env;
  Prepare(env);
  ClaimValueRoom(kValueBytesBetweenReads);  // what the step made before
  SetHeapCeiling(HeapInUse() + 8 * kMiB);
  env.Run({GetParam().statement});
  EXPECT_TRUE(HeapCeilingPassed());
  // Read back with the watch off: nothing was made.
  SetHeapCeiling(kNoCeiling);
  ResetHeapCeiling();
  ResetValueRoom();
  EXPECT_EQ(env.Run({kCheck}), kBefore);
}

INSTANTIATE_TEST_SUITE_P(Statements, ValuesMadeInOneStep,
                         ::testing::ValuesIn(std::vector<MakeCase>{
                             {"t = s ++ s", "16777216|4|0"},
                             {"t = StringOfChar(\"ab\", 8388608)", "16777216|4|0"},
                             {"SetArray(a, 1048576)", "6|1048576|0"},
                             {"FillMem(a, s)", "6|4|8388608"},
                             {"CopyArray(a, b)", "6|3|8388608"},
                         }));

}  // namespace
}  // namespace orba
