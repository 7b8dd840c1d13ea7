// The script event queue: its operations and its stored form.
#include <gtest/gtest.h>

#include "core/streams/stream_encoding.h"
#include "interp_env.h"
#include "support/test_support.h"

namespace orba::test {
namespace {

std::string Dump(const TTimerList& q, const TFakeObjects& objects) {
  std::string out;
  for (int32_t i = 0; i < q.Count(); ++i) {
    const TTimerData* e = q.GetItem(i);
    out += e->Label + "/" + objects.GetObjectName(e->Sender) + "/" + std::to_string(e->Code) + "/" +
           std::to_string(e->Level);
    for (const auto& a : e->Args.Items()) out += "/" + a;
    out += ";";
  }
  return out;
}

TEST(EventQueue, Operations) {
  TFakeObjects o;
  TObjectHandle a = o.Add("a"), b = o.Add("b");
  TTimerList& q = o.Queue;
  TArrayString args;
  args.Add("1");
  EXPECT_EQ(q.QueueEvent(a, "p:x", &args, 36), 0);
  args.Add("2");  // the entry holds its own copy
  EXPECT_EQ((std::vector<int32_t>{q.QueueEvent(b, "p:y", nullptr, 37), q.QueueEvent(a, "p:z", nullptr, 37)}),
            (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Dump(q, o), "p:x/a/36/0/1;p:y/b/37/0;p:z/a/37/0;");
  EXPECT_EQ(std::make_tuple(q.FindQueuedEvent(a, 37), q.FindQueuedEvent(b, 36)), std::make_tuple(2, -1));
  q.FirstReady()->Level = 1;
  EXPECT_EQ(q.FirstReady()->Label, "p:y");
  q.GetItem(1)->Level = 2;
  EXPECT_EQ(q.FindQueuedEvent(b, 37), 1);  // any level
  q.RemoveSender(a);  // the running entry of a stays
  EXPECT_EQ(Dump(q, o), "p:x/a/36/1/1;p:y/b/37/2;");
  EXPECT_EQ(q.FirstReady(), nullptr);
  q.QueueEvent(b, "p:w", nullptr, 40);
  q.DeleteLevel(2);
  EXPECT_EQ(Dump(q, o), "p:x/a/36/1/1;p:w/b/40/0;");
  q.DeleteNested();
  EXPECT_EQ(Dump(q, o), "p:w/b/40/0;");
}

// Hand-worked stored form: a freed sender is written as an empty name.
TEST(EventQueue, StoredFormAndRoundTrip) {
  TFakeObjects o;
  TObjectHandle a = o.Add("a");
  TObjectHandle gone = o.Add("gone");
  TArrayString args;
  args.Add("12");
  o.Queue.QueueEvent(a, "p:x", &args, 36);
  o.Queue.QueueEvent(gone, "q", nullptr, 113);
  o.Queue.GetItem(1)->Level = 3;
  o.Live.erase(gone.Id);  // freed without telling the queue
  TKsMemoryStream s;
  o.Queue.SaveToStream(s);
  const std::string expected =
      "02 00 00 00"
      "03 00 00 00 70 3a 78  01 00 00 00 61  24  00 00 00 00  01 00 00 00 02 00 00 00 31 32"
      "01 00 00 00 71  00 00 00 00  71  03 00 00 00  00 00 00 00";
  EXPECT_EQ(ToHex(s.Bytes()), ToHex(FromHex(expected)));

  TFakeObjects o2;
  o2.Add("x");
  o2.Add("a");
  o2.Queue.QueueEvent(TObjectHandle{}, "old", nullptr, 1);
  s.SetPosition(0);
  o2.Queue.LoadFromStream(s, 140);
  EXPECT_EQ(Dump(o2.Queue, o2), "p:x/a/36/0/12;q//113/3;");
  EXPECT_EQ(o2.Queue.GetItem(0)->Sender, o2.FindObject("a"));  // looked up again by name
  EXPECT_FALSE(o2.Queue.GetItem(1)->Sender);

}

TEST(EventQueue, VersionBefore114StoresTheLevelInOneByte) {
  TFakeObjects o;
  o.Add("a");
  TKsMemoryStream s(FromHex(
      "02 00 00 00"
      "01 00 00 00 70  01 00 00 00 61  24  05  00 00 00 00"
      "01 00 00 00 71  00 00 00 00  25  00  00 00 00 00"));
  o.Queue.LoadFromStream(s, 113);
  EXPECT_EQ(Dump(o.Queue, o), "p/a/36/1;q//37/0;");
}

TEST(EventQueue, DamagedStreamsLeaveTheQueueAsItWas) {
  TFakeObjects o;
  o.Queue.QueueEvent(TObjectHandle{}, "keep", nullptr, 1);
  const std::vector<std::string> bad = {
      "",
      "ff ff ff ff",                                  // negative count
      "ff ff ff 7f",                                  // count beyond the data
      "01 00 00 00 01 00 00 00 70 00 00 00 00 24",    // ends inside the entry
      "01 00 00 00 05 00 00 00 70",                   // label longer than the data
  };
  for (const auto& hex : bad) {
    TKsMemoryStream s(FromHex(hex));
    EXPECT_THROW(o.Queue.LoadFromStream(s, 140), EReadError) << hex;
    EXPECT_EQ(Dump(o.Queue, o), "keep//1/0;") << hex;
  }
}

}  // namespace
}  // namespace orba::test
