// The object commands and the screen object functions against the object
// manager, in what no game shows: the test games and the demo create boxes,
// images and timers, set and read properties, delete objects, fill a
// cabinet and call every object function through the player.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/game_clock.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/object_funcs.h"
#include "items/orba_globals.h"
#include "script/expr/expr_compiler.h"
#include "script/expr_test_env.h"
#include "script/interp/call_man.h"
#include "script/interp/com_component.h"
#include "script/interp/com_object.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"

namespace orba {
namespace {

class ObjectCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { m.Services.Funcs = &funcs; }
  static void Set(TOrbaParser& parser, const std::string& text) {
    parser.Clear();
    ASSERT_TRUE(CompileText(text, parser)) << text;
  }
  // Gives the command an expression for the property.
  static void Prop(TComComponent& command, uint8_t id, const std::string& text) {
    command.Expressions[id] = std::make_unique<TOrbaParser>();
    if (!text.empty()) Set(*command.Expressions[id], text);
  }
  void Run(TCommand& command) {
    TPage* page = nullptr;
    int32_t pc = 0;
    command.Start(&cm);
    command.Execute(&cm, page, pc);
    EXPECT_EQ(pc, 1);
  }

  TOrbaBaseList m;
  TParamCollection store;
  TSysFuncMan funcs{store};
  TCallManHost host;
  TCallMan cm{funcs, m.Services, host};
};

TEST_F(ObjectCommandsTest, BoxNewAppliesItsExpressions) {
  TComBoxNew command(nullptr);
  Prop(command, PR_NAME, "\"box\"");
  Prop(command, PR_COLOR, "");   // present but empty: -1
  Prop(command, PR_PARENT, "\"nowhere\"");
  Prop(command, PR_PLUSX, "9");  // never applied
  Run(command);
  TOrbaObject* box = m.FindObject("box");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(std::make_pair(box->GetColor(), box->GetPlusX()), std::make_pair(-1, 0));
  EXPECT_EQ(box->GetParent(), m.ActiveBase());
  // Without a name the item keeps its automatic one; the same name again
  // renames the older box.
  TComBoxNew unnamed(nullptr);
  Prop(unnamed, PR_NAME, "");
  Run(unnamed);
  EXPECT_NE(m.FindObject("object0"), nullptr);  // the first free number again
  Run(command);
  EXPECT_EQ(m.FindObject("box_2"), box);
  // A kind whose creator is not registered here (sound) creates nothing.
  TComSound sound(nullptr);
  Run(sound);
  EXPECT_EQ(m.GetObjectCount(), 3);
}

// Only the low 8 bits of a property id count; the empty name reads the
// current screen root; an id expression without a value is refused once the
// object was found, and a missing object is passed over.
TEST_F(ObjectCommandsTest, PropertyCommandsTakeIdsAndNames) {
  auto* box = NewOrbaObject<TOrbaBox>(&m);
  box->SetName("b");
  box->SetParent(m.ActiveBase());
  store.AddVar(PT_STR)->SetName("v");
  TComSetProp set(nullptr);
  Set(set.ObjectName, "\"b\"");
  Set(set.PropId, std::to_string(256 + PR_LEFT));
  Set(set.Value, "120");
  Run(set);
  EXPECT_EQ(box->GetLeft(), 120);
  TComGetProp get(nullptr);
  Set(get.ObjectName, "\"\"");
  Set(get.PropId, std::to_string(PR_NAME));
  get.VarName = "v";
  Run(get);
  EXPECT_EQ(store.Find("v")->GetAsStr(), kBaseName0);
  get.PropId.Clear();
  TPage* page = nullptr;
  int32_t pc = 0;
  EXPECT_THROW(get.Execute(&cm, page, pc), EScriptError);
  Set(get.ObjectName, "\"missing\"");
  pc = 0;
  get.Execute(&cm, page, pc);
  EXPECT_EQ(pc, 1);
}

// A transition that writes each call into Calls.
std::string Calls;
class TRecordedWipe final : public TCustomWipe {
 public:
  explicit TRecordedWipe(int32_t kind) { Note("make", kind); }
  static void Note(const char* what, int32_t value) { Calls += std::string(what) + " " + std::to_string(value) + ";"; }
  void SetReverse(bool reverse) override { Note("rev", reverse); }
  int32_t GetLength() const override { return length_; }
  void SetLength(int32_t length) override { Note("len", length_ = length); }
  void SetPosition(int32_t position) override { Note("pos", position); }
  TRect CurrentRect() const override { return TRect{}; }
  void Step() override {}
  void SetParam(int32_t index, int32_t value) override { Note(index == 0 ? "p0" : "p1", value); }
  void SetMaskName(const std::string& name) override { Calls += "mask " + name + ";"; }
  void Prepare() override { Calls += "prepare;"; }

 private:
  int32_t length_ = 0;
};

class FlipTest : public ObjectCommandsTest {
 protected:
  void SetUp() override {
    ObjectCommandsTest::SetUp();
    GameClock = 0;
    SetWipeFactory([](int32_t kind, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&) -> std::unique_ptr<TCustomWipe> {
      return std::make_unique<TRecordedWipe>(kind);
    });
    m.SetWidth(16);
    m.SetHeight(8);
  }
  void TearDown() override { SetWipeFactory(nullptr); }
  // Steps the started command 15 ms apart until it moves on: the steps.
  int32_t Play(TComFlip& flip) {
    TPage* page = nullptr;
    int32_t pc = 0, steps = 0;
    for (; pc == 0 && steps < 100; ++steps) {
      GameClock += 15;
      flip.Execute(&cm, page, pc);
    }
    return steps;
  }
};

// Kinds outside 1..38 make no transition, times of 0 or less last 1 ms, the
// set-up calls come in order, and a selection without a time changes the
// screens at the first step.
TEST_F(FlipTest, KindTimeAndSetUp) {
  const struct { const char *kind, *time, *select, *calls; int32_t steps; } cases[] = {
      {"45", "300", "", "", 3},
      {"-1", "300", "", "", 3},
      {"2", "-5", "", "make 2;len 1;rev 0;pos 0;p0 7;mask m.brx;prepare;", 3},
      {"3", "30", "", "make 3;len 30;rev 0;pos 0;p0 7;mask m.brx;prepare;pos 15;", 4},
      {"3", "0", "1", "", 1},
  };
  for (const auto& c : cases) {
    Calls.clear();
    TComFlip flip(nullptr);
    Set(flip.Kind, c.kind);
    Set(flip.Time, c.time);
    if (*c.select != 0) Set(flip.Select, c.select);
    Set(flip.Param0, "7");
    Set(flip.Mask, "\"m.brx\"");
    flip.Start(&cm);
    EXPECT_EQ(std::make_tuple(Play(flip), Calls, m.Active), std::make_tuple(c.steps, c.calls, 1)) << c.kind;
    m.Flip({.Index = 0, .Force = true});
  }
}

// Select 1 carries the listed children, 0 the others, 2 none; the old
// picture stays on top of the old root as the snapshot until the end;
// ClearOld then scraps what is left there except the cabinet, also when the
// command is abandoned.
TEST_F(FlipTest, SelectionAndClearOld) {
  const struct { const char* select; bool abort; std::vector<std::string> carried, scrapped; } cases[] = {{"1", false, {"a", "cab"}, {"b", "c"}},
               {"0", false, {"b", "c"}, {"a"}},
               {"2", true, {}, {"a", "b", "c"}}};
  for (const auto& c : cases) {
    m.Reset();
    m.Flip({.Index = 0, .Force = true});
    for (const char* name : {"a", "b", "c", "cab"}) {
      TOrbaObject* object = CreateCompoByType(&m, name[1] == 'a' ? CT_CABINET : CT_BOX);
      object->SetName(name);
      object->SetParent(m.GetBase(0));
    }
    TComFlip flip(nullptr);
    Set(flip.Kind, "1");
    Set(flip.Time, "30");
    Set(flip.Select, c.select);
    flip.Names.push_back(std::make_unique<TOrbaParser>());
    Set(*flip.Names.back(), "\"a\" ++ Chr(13) ++ Chr(10) ++ \"cab\"");
    Set(flip.ClearOld, "TRUE");
    flip.Start(&cm);
    const TOrbaControl* shot = m.FindControl(kFlipSnapshotName);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(std::make_tuple(shot->GetParent(), shot->GetWidth(), shot->GetHeight(), shot->GetIgnoreMouse()),
              std::make_tuple(static_cast<TOrbaControl*>(m.GetBase(0)), 16, 8, uint8_t{IM_ALL}));
    for (int i = 0; c.abort && i < 2; ++i) flip.Abort();  // the second does nothing
    if (!c.abort) Play(flip);
    std::vector<std::string> carried;
    for (int32_t i = 0; i < m.GetBase(1)->GetChildCount(); ++i) carried.push_back(m.GetBase(1)->GetChild(i)->GetName());
    std::sort(carried.begin(), carried.end());
    EXPECT_EQ(std::make_tuple(carried, m.Active, m.Transition.get()), std::make_tuple(c.carried, 1, nullptr));
    for (const std::string& name : c.scrapped) EXPECT_EQ(m.FindObject(name), nullptr) << name;
    EXPECT_NE(m.FindObject("cab"), nullptr);
    EXPECT_EQ(m.FindControl(kFlipSnapshotName), nullptr);
  }
}

TEST_F(ObjectCommandsTest, CabinetsStoreAndRestoreChildren) {
  m.Flip({.Index = 1});  // root 0 is now the other root
  for (const char* name : {"a", "b", "c"}) {
    auto* box = NewOrbaObject<TOrbaBox>(&m);
    box->SetName(name);
    box->SetParent(m.GetBase(0));
  }
  TComCabinetSave save(nullptr);
  Prop(save, PR_NAME, "\"cab\"");
  for (const char* name : {"\"a\"", "\"b\""}) {
    save.Names.push_back(std::make_unique<TOrbaParser>());
    Set(*save.Names.back(), name);
  }
  Run(save);
  TOrbaObject* cab = m.FindObject("cab");
  ASSERT_NE(cab, nullptr);
  EXPECT_EQ(cab->GetChildCount(), 2);
  EXPECT_EQ(m.GetBase(0)->GetChildCount(), 2);  // c and the cabinet
  EXPECT_TRUE(m.FindObject("a")->InCabinet());

  TComCabinetLoad load(nullptr);
  Prop(load, PR_NAME, "\"cab\"");
  Set(load.Invert, "TRUE");  // everything not named: both boxes
  Run(load);
  EXPECT_EQ(cab->GetChildCount(), 0);
  EXPECT_TRUE(cab->IsScrapped());
  EXPECT_FALSE(m.FindObject("a")->InCabinet());
}

// An object whose end makes a box under another object still to be freed:
// freeing everything frees that box with its parent in the same round.
class TMakesAChildWhenFreed final : public TOrbaControl {
 public:
  using TOrbaControl::TOrbaControl;
  ~TMakesAChildWhenFreed() override {
    auto* child = NewOrbaObject<TOrbaBox>(GetManager());
    child->SetParent(Parent);
  }
  TOrbaControl* Parent = nullptr;
};

// An object made while everything is freed, and freed again in the same
// round by its parent, leaves the list as it goes: no later round reads it
// (ASan sees any read of the freed box).
TEST(ObjectManager, FreeingEverythingFreesObjectsMadeMeanwhileOnce) {
  TOrbaBaseList m;
  auto* maker = NewOrbaObject<TMakesAChildWhenFreed>(&m);
  maker->Parent = NewOrbaObject<TOrbaBox>(&m);
  m.Reset();
  EXPECT_TRUE(m.Objects.empty());
}

// What the objfuncs game does not reach: the text and buttons of a preview
// menu (a stand-in whose button "no" is 1 and whose group index is ten times
// the index asked), a flipped screen, property ids beyond a byte.
class TMenuStandIn final : public TOrbaControl {
 public:
  using TOrbaControl::TOrbaControl;
  uint8_t GetCompoType() const override { return CT_PREVMENU; }
  std::string GetText() const override { return " \tyes\r\nNo\nmaybe\r\n"; }
  int32_t GetItemGroupIndex(int32_t index) const override { return index * 10; }
  int32_t IndexOfButton(const std::string& name) const override { return name == "no" ? 1 : -1; }
};

TEST(ObjectFuncs, MenusFlippedRootsAndPropertyIds) {
  TOrbaBaseList m;
  test::TExprEnv env;
  TObjectFuncService service(m);
  env.funcs.SetObjectService(&service);
  NewOrbaObject<TMenuStandIn>(&m)->SetName("menu");
  NewOrbaObject<TOrbaBox>(&m)->SetName("box");
  m.Flip({.Index = 1});
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"IndexOfMenu(\"menu\", \"NO\")", "1"}, {"IndexOfMenu(\"menu\", \"\")", "-1"},  // no empty last line
      {"GetGroupIndex(\"menu\", \"2\")", "20"}, {"GetGroupIndex(\"menu\", \"no\")", "10"},
      {"GetGroupIndex(\"menu\", \"zzz\")", "-10"}, {"GetGroupIndex(\"box\", \"2\")", "0"},
      // FindControl takes \x01BASE0 for root 0, FindObject for the shown root.
      {"InPrimary(Chr(1) ++ \"BASE0\")", "FALSE"},
      {"GetProp(Chr(1) ++ \"BASE0\", 0) == (Chr(1) ++ \"BASE1\")", "TRUE"},
      // An id beyond a byte raises instead of reaching property 259 - 256.
      {"SetProp(\"box\", 259, 5)", "<nil>"}, {"GetProp(\"box\", 3)", "0"},
  };
  for (const auto& [expression, answer] : cases) EXPECT_EQ(env.Run({expression}), answer) << expression;
}

// The unit globals: the selection pattern, the grey ramps (5-6-5 by hand),
// each root's Work bitmap sized with the roots and keyed on 0x800080.
TEST(OrbaGlobals, StartUpBuildsThem) {
  InitOrbaGlobals();
  EXPECT_EQ((std::vector<uint32_t>{SelRectDIB->GetPixel(0, 0), SelRectDIB->GetPixel(1, 0), SelRectDIB->GetPixel(0, 1),
                                   SelRectDIB->GetPixel(1, 1)}),
            (std::vector<uint32_t>{0xFFFFFF, 0, 0, 0xFFFFFF}));
  EXPECT_EQ((std::vector<uint32_t>{GreyRamp16[0], GreyRamp16[8], GreyRamp16[128], GreyRamp16[255], GreyRamp32[128]}),
            (std::vector<uint32_t>{0, 0x0841, 0x8410, 0xFFFF, 0x808080}));
  Bases->SetWidth(40);
  Bases->SetHeight(30);
  TDIBX& w = Bases->GetBase(1)->Work;
  EXPECT_EQ((std::vector<int32_t>{w.Width(), w.Height(), w.TransparentColor}), (std::vector<int32_t>{40, 30, 0x800080}));
  DoneOrbaGlobals();
}

}  // namespace
}  // namespace orba
