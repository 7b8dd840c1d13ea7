// The event queue's tallies: whether a sender has an entry, or one of a
// code, is answered without walking the queue, and a handler's end looks
// only at the running entries at the front. Each case changes the queue and
// checks the answers against a walk over every entry.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "script/interp/event_queue.h"

namespace orba {
namespace {

// The answers of a plain walk over the queue.
bool Walked(const TTimerList& q, TObjectHandle sender, int code) {
  for (int32_t i = 0; i < q.Count(); ++i) {
    const TTimerData* e = q.GetItem(i);
    if (e->Sender == sender && (code < 0 || e->Code == code)) return true;
  }
  return false;
}

std::string Levels(const TTimerList& q) {
  std::string out;
  for (int32_t i = 0; i < q.Count(); ++i)
    out += std::to_string(q.GetItem(i)->Sender.Id) + ":" + std::to_string(q.GetItem(i)->Level) + " ";
  return out;
}

struct TTallyCase {
  std::string Name;
  std::function<void(TTimerList&)> Change;
  std::string Left;  // sender:level of each entry left
};

class EventTallyTest : public ::testing::TestWithParam<TTallyCase> {};

constexpr TObjectHandle kA{1}, kB{2}, kC{3};

TEST_P(EventTallyTest, AnswersMatchAWalkOverTheQueue) {
  TTimerList q;
  // a's handler runs at level 1, b's at level 2; c and a wait behind them.
  q.QueueEvent(kA, "p", nullptr, 33);
  q.QueueEvent(kB, "p", nullptr, 33);
  q.QueueEvent(kC, "p", nullptr, 113);
  q.QueueEvent(kA, "p", nullptr, 113);
  q.SetLevel(*q.GetItem(0), 1);
  q.SetLevel(*q.GetItem(1), 2);
  GetParam().Change(q);
  EXPECT_EQ(Levels(q), GetParam().Left);
  for (TObjectHandle sender : {TObjectHandle{}, kA, kB, kC}) {
    EXPECT_EQ(q.HasSender(sender), Walked(q, sender, -1)) << sender.Id;
    for (int code : {33, 113})
      EXPECT_EQ(q.HasQueuedEvent(sender, static_cast<uint8_t>(code)), Walked(q, sender, code)) << sender.Id;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, EventTallyTest,
    ::testing::Values(
        TTallyCase{"Queued", [](TTimerList&) {}, "1:1 2:2 3:0 1:0 "},
        TTallyCase{"InnerHandlerEnds", [](TTimerList& q) { q.DeleteLevel(2); }, "1:1 3:0 1:0 "},
        TTallyCase{"OuterHandlerEnds", [](TTimerList& q) { q.DeleteLevel(1); }, "2:2 3:0 1:0 "},
        TTallyCase{"NestedDropped", [](TTimerList& q) { q.DeleteNested(); }, "3:0 1:0 "},
        TTallyCase{"WaitingDropped", [](TTimerList& q) { q.DeleteLevel(0); }, "1:1 2:2 "},
        TTallyCase{"SenderRemoved", [](TTimerList& q) { q.RemoveSender(kA); }, "1:1 2:2 3:0 "},
        TTallyCase{"SenderDetached",
                   [](TTimerList& q) {
                     q.RemoveSender(kA);
                     q.DetachSender(kA);
                   },
                   "0:1 2:2 3:0 "},
        TTallyCase{"OneDeleted", [](TTimerList& q) { q.Delete(2); }, "1:1 2:2 1:0 "},
        TTallyCase{"WaitsAgain",
                   [](TTimerList& q) {
                     q.SetLevel(*q.GetItem(1), 0);
                     q.DeleteNested();
                   },
                   "2:0 3:0 1:0 "},
        // A damaged save may leave a running entry behind waiting ones: it
        // is still found when its handler ends.
        TTallyCase{"RunningBehindWaiting",
                   [](TTimerList& q) {
                     q.SetLevel(*q.GetItem(3), 3);
                     q.DeleteLevel(3);
                   },
                   "1:1 2:2 3:0 "},
        TTallyCase{"Cleared", [](TTimerList& q) { q.Clear(); }, ""}),
    [](const auto& info) { return info.param.Name; });

}  // namespace
}  // namespace orba
