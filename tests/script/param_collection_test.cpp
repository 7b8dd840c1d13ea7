#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "core/streams/stream_encoding.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"
#include "script/values/param_text.h"
#include "script/values/system_params.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ToHex;

// A host with fixed answers, recording what the store writes into it.
class FakeHost : public TSystemVarHost {
 public:
  std::vector<std::string> args;
  std::unique_ptr<TCustomParam> frame_result;
  bool wheel_down = true;
  int32_t mouse_x = 0;
  long double now = 0.0L;
  std::string active = "button";
  std::array<int32_t, 6> history_params{};
  int history_param_writes = 0;

  TCustomParam* GetFrameResult() override { return frame_result.get(); }
  int32_t GetParamCount() override { return static_cast<int32_t>(args.size()); }
  std::string GetArg(int32_t i) override { return args.at(static_cast<size_t>(i)); }
  bool GetWheelDown() override { return wheel_down; }
  bool GetKeyPush(int32_t key) override { return key == 65; }
  int32_t GetMouseX() override { return mouse_x; }
  void SetMouseX(int32_t v) override { mouse_x = v; }
  long double GetNow() override { return now; }
  std::string GetActiveCompo() override { return active; }
  void SetActiveCompo(const std::string& name) override { active = name; }
  void SetDefaultHistoryParams(const std::array<int32_t, 6>& p) override {
    history_params = p;
    ++history_param_writes;
  }
};

TParamCollectionItem* AddNamed(TParamCollection& store, uint8_t code, const std::string& name) {
  TParamCollectionItem* item = store.AddVar(code);
  item->SetName(name);
  return item;
}

std::vector<uint8_t> SaveGame(const TParamCollection& store) {
  TKsMemoryStream s;
  store.SaveGameVars(s);
  return s.TakeBytes();
}

TEST(VarStore, LookupAndScope) {
  TParamCollection store;
  ASSERT_EQ(store.Count(), 51);  // the system variables come first
  EXPECT_EQ(store.IndexOf("@stackcount"), 50);
  auto local_x = [&](int32_t frame) {
    TParamCollectionItem* v = AddNamed(store, PT_INT, "x");
    std::tie(v->Local, v->FrameId) = std::make_tuple(uint8_t{1}, frame);
    return v;
  };
  TParamCollectionItem* global = AddNamed(store, PT_INT, "x");
  store.CurrentFrame = 1;
  TParamCollectionItem* outer = local_x(1);
  EXPECT_EQ(store.Find("X"), outer);  // a local of the current frame wins
  store.CurrentFrame = 2;
  EXPECT_EQ(store.Find("x"), global);  // locals of other frames are invisible
  TParamCollectionItem* inner = local_x(2);
  EXPECT_EQ((std::vector{store.Find("x"), store.FindScoped("x", true), store.FindScoped("x", false)}),
            (std::vector{inner, inner, global}));
  // A second global of the same name: the first one named stays found.
  TParamCollectionItem* later = AddNamed(store, PT_INT, "x");
  store.CurrentFrame = 0;
  EXPECT_EQ(store.Find("x"), global);
  store.FreeVar(global);
  EXPECT_EQ(store.Find("x"), later);

  AddNamed(store, PT_STR, "score");
  EXPECT_NE(store.Find("SCORE"), nullptr);
  // Full-width letters fold too: ｓ (82 93) and Ｓ (82 72).
  AddNamed(store, PT_INT, "\x82\x93");
  EXPECT_NE(store.Find("\x82\x72"), nullptr);

  store.CurrentFrame = 2;
  store.DeleteFrameVars(2);
  EXPECT_EQ(store.Find("x"), later);
  EXPECT_EQ(store.Count(), 51 + 4);
  for (int i = 0; i < store.Count(); ++i) EXPECT_EQ(store.GetItem(i)->Index(), i);
  store.DeleteFrameVars(-1);  // never frees the system variables
  EXPECT_EQ(store.Count(), 52);
  EXPECT_EQ(store.GetItem(51), outer);
}

// Freeing one variable moves only those behind it; a system variable is
// never freed. (An expression frees its temporaries one by one from the
// end: each is one step, not a pass over the whole store.)
TEST(VarStore, FreeVarKeepsTheOthersAndTheirIndexes) {
  TParamCollection store;
  const int32_t system = store.Count();
  std::vector<TParamCollectionItem*> vars;
  for (const char* name : {"a", "b", "c", "d"}) vars.push_back(AddNamed(store, PT_INT, name));
  store.FreeVar(vars[1]);
  store.FreeVar(vars[3]);
  store.FreeVar(store.GetItem(0));  // a system variable stays
  store.FreeVar(nullptr);
  EXPECT_EQ(store.Count(), system + 2);
  EXPECT_EQ((std::vector{store.Find("a"), store.Find("b"), store.Find("c"), store.Find("d")}),
            (std::vector<TParamCollectionItem*>{vars[0], nullptr, vars[2], nullptr}));
  for (int i = 0; i < store.Count(); ++i) EXPECT_EQ(store.GetItem(i)->Index(), i);
}

TEST(VarStore, SetNameRules) {
  TParamCollection store;
  TParamCollectionItem* item = store.AddVar(PT_INT);
  for (const char* bad : {"", "a b", "1x", "1abc", "9"}) {
    try {
      item->SetName(bad);
      ADD_FAILURE() << bad;
    } catch (const EScriptError& e) {
      // "%s"：変数名が不正です
      EXPECT_EQ(std::string(e.what()), BadVarNameMessage(bad));
    }
  }
  EXPECT_EQ(BadVarNameMessage("1x"), "\x22" "1x\x22\x81" "F\x95\xcf\x90\x94\x96\xbc\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7");
  item->SetName("_a1");
  EXPECT_EQ(store.Find("_A1"), item);
  item->SetName("b2");  // renaming drops the old name
  EXPECT_EQ(std::make_tuple(store.Find("_a1"), store.Find("B2")), std::make_tuple(nullptr, item));

}

TEST(VarStore, ClearKeepsSystemAndPersistent) {
  TParamCollection store;
  AddNamed(store, PT_INT, "game");
  TParamCollectionItem* status = AddNamed(store, PT_STR, "status");
  status->Persistent = 1;
  status->SetAsStr("kept");
  store.Find("@TextDelay")->SetAsInt(10);
  store.Find("@Cursor")->SetAsStr("hand");
  store.Clear();
  EXPECT_EQ(store.Count(), 52);
  EXPECT_EQ(store.Find("game"), nullptr);
  EXPECT_EQ(store.Find("status")->GetAsStr() + "|" + store.Find("@TextDelay")->GetAsStr() + "|" +
                store.Find("@Cursor")->GetAsStr(),
            "kept|50|");
}

TEST(VarStore, CopyValue) {
  TParamCollection store;
  TParamCollectionItem* arr = AddNamed(store, PT_FLOAT, "f");
  arr->SetDims({2});
  arr->SetFloatItem(1, 2.5L);
  auto copy = store.CopyValue("f");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::make_tuple(copy->GetParamType(), copy->GetFloatItem(1)), std::make_tuple(PT_FLOAT, 2.5L));
  EXPECT_EQ(store.CopyValue("nothing"), nullptr);
  EXPECT_THROW(store.CopyValue("@Pi"), EScriptError);
  AddNamed(store, PT_NONE, "r");
  EXPECT_THROW(store.CopyValue("r"), EScriptError);
}

TEST(VarStore, PushAndPopVar) {
  FakeHost host;
  TParamCollection store;
  store.SetHost(&host);
  store.PopVar();  // nothing to pop
  store.PushVar({"missing"});
  EXPECT_EQ(store.PushedFrameCount(), 1);
  store.PopVar();
  EXPECT_EQ(store.PushedFrameCount(), 0);
  EXPECT_EQ(store.Count(), 51);

  TParamCollectionItem* n = AddNamed(store, PT_INT, "n");
  n->SetDims({3});
  n->SetIntItem(2, 7);
  store.Find("@TextDelay")->SetAsInt(30);
  host.mouse_x = 11;
  store.PushVar({"n", "@TextDelay", "@MouseX", "nothing"});
  n->SetParamType(PT_STR);
  n->SetAsStr("now a string");
  store.Find("@TextDelay")->SetAsInt(99);
  host.mouse_x = 0;
  store.PopVar();
  TParamCollectionItem* back = store.Find("n");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::make_tuple(back->GetParamType(), back->GetCount(), back->GetIntItem(2)), std::make_tuple(PT_INT, 3, 7));
  // System variables are written through their setters and stay in place.
  EXPECT_EQ(store.GetItem(SV_TEXTDELAY)->Name(), "@TextDelay");
  EXPECT_TRUE(store.GetItem(SV_TEXTDELAY)->IsSystem());
  EXPECT_EQ(std::make_tuple(store.TextDelay, host.mouse_x, store.Count()), std::make_tuple(30, 11, 52));
}

// The texts of the variables, joined by "|".
std::string Texts(TParamCollection& store, const std::vector<const char*>& names) {
  std::string out;
  for (const char* name : names) out += (out.empty() ? "" : "|") + store.Find(name)->GetAsStr();
  return out;
}

TEST(SystemVars, ReadsAndWritesGoToTheHost) {
  FakeHost host;
  TParamCollection store;
  store.SetHost(&host);
  TParamCollectionItem* result = store.Find("@Result");
  EXPECT_EQ(std::make_tuple(result->GetAsInt(), result->GetParamType()), std::make_tuple(0, PT_NONE));
  result->SetAsInt(5);  // ignored with an empty call stack
  host.frame_result = CreateParamByType(PT_STR);
  result->SetAsInt(5);
  EXPECT_EQ(std::make_tuple(host.frame_result->GetAsStr(), result->GetParamType()), std::make_tuple(std::string("5"), PT_STR));

  host.args = {"a", "b", "c"};
  TParamCollectionItem* params = store.Find("@ParamStr");
  TParamCollectionItem* keys = store.Find("@KeyPush");
  EXPECT_EQ(std::make_tuple(params->GetCount(), params->GetStrItem(1) + "|" + params->GetStrItem(5) + "|" + params->GetAsStr(),
                            keys->GetCount()),
            std::make_tuple(3, std::string("b||"), 258));
  EXPECT_EQ((std::vector<bool>{keys->GetFlagItem(65), keys->GetFlagItem(66), keys->GetFlagItem(256),
                               keys->GetFlagItem(300), keys->GetAsFlag()}),
            (std::vector<bool>{true, false, true, false, false}));
  host.now = 1.75L;  // 31 December 1899, a Sunday, 18:00
  EXPECT_EQ(Texts(store, {"@Week", "@Year", "@Day", "@Hour"}), "1|1899|31|18");
  host.now = 46362.5L;  // 6 December 2026, a Sunday
  EXPECT_EQ(Texts(store, {"@Month", "@Day", "@Week", "@Pi", "@IsDebug", "@1Hour"}),
            "12|6|1|3.14159265358979|FALSE|" + FloatToText(1.0L / 24.0L));
  EXPECT_EQ(store.Find("@1Hour")->GetAsFloat(), 1.0L / 24.0L);

  TParamCollectionItem* delay = store.Find("@TextDelay");
  delay->SetAsStr("12");
  delay->SetAsStr("abc");  // not a number: kept
  EXPECT_EQ(delay->GetAsInt(), 12);
  delay->SetAsFloat(20.9L);
  store.Find("@ActiveCompo")->SetAsStr("");  // ignored
  store.Find("@Pi")->SetAsFloat(1.0L);       // read-only
  store.Find("@SelStr")->SetAsInt(4);
  EXPECT_EQ(std::make_tuple(store.TextDelay, delay->GetAsStr(), host.active, store.Find("@Pi")->GetAsInt(), store.SelStr,
                            store.Find("@MidiPorts")->GetCount()),
            std::make_tuple(20, std::string("20"), std::string("button"), 3, std::string("4"), 0));
  store.Find("@ActiveCompo")->SetAsStr("edit");
  EXPECT_EQ(host.active, "edit");

  // "@Temp" stands for the variable named by TempTargetName.
  TParamCollectionItem* temp = store.Find("@Temp");
  EXPECT_EQ(std::make_tuple(temp->GetParamType(), temp->GetCount()), std::make_tuple(PT_NONE, 1));
  TParamCollectionItem* target = AddNamed(store, PT_INT, "score");
  target->SetDims({4});
  store.TempTargetName = "SCORE";
  temp->SetIntItem(3, 9);
  EXPECT_EQ(std::make_tuple(target->GetIntItem(3), temp->GetCount(), temp->GetParamType()),
            std::make_tuple(9, 4, PT_INT));
}

// ---- game and status variable lists ----

// The game variable part written independently of the store's writer, in the
// layout of a given game version.
std::vector<uint8_t> OldGameVars(int32_t version) {
  TKsMemoryStream s;
  // Two records: integer "score" = 7, not persistent, frame -1, global; a
  // string record with an empty name, read and dropped.
  const auto records = test::FromHex(
      "02000000  01 05000000 73636f7265 00000000 01000000 07000000 00 00 ffffffff 00"
      "04 00000000 00000000 01000000 04000000 676f6e65 00 00 ffffffff 00");
  s.WriteBuffer(records.data(), static_cast<int64_t>(records.size()));
  WriteStreamInt(s, 33);       // @TextDelay
  WriteStreamString(s, "arrow");  // @Cursor
  WriteStreamString(s, "sel");    // @SelStr
  WriteStreamInt(s, 4);           // @SelIndex
  if (version >= 113 && version < 135) {
    for (int32_t p : {24, 1, 2, 400, 300, 6}) WriteStreamInt(s, p);
  }
  if (version >= 121) WriteStreamString(s, "score");
  if (version >= 139) {
    // One PushVar frame: int32 K, then (int32 code, name, value).
    for (int32_t v : {1, 1, int32_t{PT_INT}}) WriteStreamInt(s, v);
    WriteStreamString(s, "score");
    for (int32_t v : {0, 1, 3}) WriteStreamInt(s, v);
  }
  return s.TakeBytes();
}

class GameVarVersions : public ::testing::TestWithParam<int32_t> {};

TEST_P(GameVarVersions, LoadsTheVersionedFieldsAndRoundTrips) {
  const int32_t version = GetParam();
  FakeHost host;
  TParamCollection store;
  store.SetHost(&host);
  store.SelStr = "before";
  store.SelIndex = -5;
  store.TempTargetName = "old";
  AddNamed(store, PT_INT, "stale");
  TParamCollectionItem* status = AddNamed(store, PT_INT, "status");
  status->Persistent = 1;
  store.PushVar({"status"});

  TKsMemoryStream in(OldGameVars(version));
  store.LoadGameVars(in, version);
  EXPECT_EQ(in.GetPosition(), in.GetSize());
  EXPECT_EQ(store.Find("stale"), nullptr);
  EXPECT_NE(store.Find("status"), nullptr);
  EXPECT_EQ(std::make_tuple(store.Find("score")->GetAsInt(), store.Count(), store.TextDelay, store.CursorName),
            std::make_tuple(7, 53, 33, std::string("arrow")));
  const bool v113 = version >= 113 && version < 135;
  EXPECT_EQ(std::make_tuple(store.SelStr, store.SelIndex), std::make_tuple(std::string("sel"), 4));
  EXPECT_EQ(std::make_tuple(host.history_param_writes, host.history_params[3]), v113 ? std::make_tuple(1, 400) : std::make_tuple(0, 0));
  EXPECT_EQ(store.TempTargetName, version >= 121 ? "score" : "old");
  EXPECT_EQ(store.PushedFrameCount(), version >= 139 ? 1 : 0);

  // What the store writes reads back into a second store unchanged.
  const std::vector<uint8_t> saved = SaveGame(store);
  TParamCollection other;
  TKsMemoryStream again(saved);
  other.LoadGameVars(again, kGameSaveVersion);
  EXPECT_EQ(ToHex(SaveGame(other)), ToHex(saved));
  if (version >= 139) {
    other.PopVar();
    EXPECT_EQ(other.Find("score")->GetAsInt(), 3);
  }
}

// 107 is the oldest game slot that loads.
INSTANTIATE_TEST_SUITE_P(Versions, GameVarVersions, ::testing::Values(107, 113, 121, 139),
                         ::testing::PrintToStringParamName());

TEST(GameVars, ReferencesFollowTheirTargets) {
  TParamCollection store;
  store.CurrentFrame = 2;
  TParamCollectionItem* arr = AddNamed(store, PT_STR, "names");
  arr->SetDims({2, 2});
  arr->SetStrItem(3, "\x95\xcf\x90\x94");
  TParamCollectionItem* local = AddNamed(store, PT_FLOAT, "f");
  local->Local = 1;
  local->FrameId = 2;
  local->SetAsFloat(-0.1L);
  TParamCollectionItem* ref = AddNamed(store, PT_NONE, "____d_1");
  ref->SetReference("names", {1, 1});
  TParamCollectionItem* flag = AddNamed(store, PT_BOOL, "on");
  flag->SetAsFlag(true);
  // A reference to a variable that is not written (persistent) still goes out.
  TParamCollectionItem* status = AddNamed(store, PT_INT, "st");
  status->Persistent = 1;
  AddNamed(store, PT_NONE, "____d_2")->SetReference("st", {0});

  const std::vector<uint8_t> saved = SaveGame(store);
  // Writing order: passes from the last entry; a reference waits for its target.
  TKsMemoryStream in(saved);
  ASSERT_EQ(ReadStreamInt(in), 5);
  std::vector<std::string> order;
  for (int i = 0; i < 5; ++i) {
    const uint8_t code = ReadByteVal(in);
    auto item = std::make_unique<TParamCollectionItem>(nullptr);
    item->Value = CreateParamByType(code);
    item->LoadFromStream(in);
    order.push_back(item->Name());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"on", "f", "names", "____d_1", "____d_2"}));

  TParamCollection other;
  other.CurrentFrame = 2;
  TKsMemoryStream again(saved);
  other.LoadGameVars(again, kGameSaveVersion);
  TParamCollectionItem* back = other.Find("____d_1");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetAsStr(), "\x95\xcf\x90\x94");
  EXPECT_EQ(std::make_tuple(other.Find("f")->GetAsFloat(), other.Find("f")->FrameId, other.Find("names")->GetDimSize(1)),
            std::make_tuple(-0.1L, 2, 2));
  EXPECT_EQ(other.Find("____d_2")->GetParamType(), PT_NONE);  // target not present
}

TEST(StatusVars, RoundTripAddsWithoutRemoving) {
  TParamCollection store;
  TParamCollectionItem* a = AddNamed(store, PT_STR, "seen");
  a->Persistent = 1;
  a->SetAsStr("yes");
  AddNamed(store, PT_INT, "game");
  TKsMemoryStream s;
  store.SaveStatusVars(s);
  TParamCollection other;
  AddNamed(other, PT_INT, "existing");
  s.SetPosition(0);
  other.LoadStatusVars(s);
  EXPECT_EQ(std::make_tuple(other.Find("seen")->GetAsStr(), other.Find("seen")->Persistent), std::make_tuple(std::string("yes"), 1));

  EXPECT_NE(other.Find("existing"), nullptr);
  EXPECT_EQ(other.Find("game"), nullptr);
}

TEST(GameVars, BadInputIsAReadErrorAndChangesNothing) {
  TParamCollection source;
  AddNamed(source, PT_INT, "a")->SetDims({3, 2});
  AddNamed(source, PT_FLOAT, "b")->SetAsFloat(1.5L);
  AddNamed(source, PT_STR, "c")->SetAsStr("text");
  AddNamed(source, PT_BOOL, "d");
  AddNamed(source, PT_NONE, "____d_1")->SetReference("a", {2, 1});
  source.PushVar({"a", "c"});
  source.PushVar({"b"});
  const std::vector<uint8_t> good = SaveGame(source);

  TParamCollection target;
  AddNamed(target, PT_INT, "keep")->SetAsInt(1);
  const std::vector<uint8_t> before = SaveGame(target);

  // Truncations at every length, type codes that make no value, bad names.
  for (size_t len = 0; len < good.size(); ++len) {
    TKsMemoryStream in(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len)));
    EXPECT_THROW(target.LoadGameVars(in, kGameSaveVersion), EReadError) << len;
  }
  std::vector<uint8_t> bad_code = good;
  bad_code[4] = 7;
  std::vector<uint8_t> bad_name = good;
  bad_name[9] = '1';  // first name now begins with a digit
  for (const auto& bytes : {bad_code, bad_name}) {
    TKsMemoryStream in(bytes);
    EXPECT_THROW(target.LoadGameVars(in, kGameSaveVersion), EReadError);
  }
  EXPECT_EQ(ToHex(SaveGame(target)), ToHex(before));

  // Random mutations end in success or a read error, never anything else.
  std::mt19937 rng(12345);
  int failures = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<uint8_t> bytes = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    TParamCollection store;
    TKsMemoryStream in(bytes);
    try {
      store.LoadGameVars(in, kGameSaveVersion);
      while (store.PushedFrameCount() > 0) store.PopVar();
    } catch (const EReadError&) {
      ++failures;
    }
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace orba
