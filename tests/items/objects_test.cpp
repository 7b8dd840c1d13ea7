// The object commands and the screen object functions against the object
// manager, in what no game shows: the test games and the demo create boxes,
// images and timers, set and read properties, delete objects, fill a
// cabinet and call every object function through the player.
#include <gtest/gtest.h>

#include <string>

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
  // A kind that is not built yet (sound) creates nothing.
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
  EXPECT_EQ(box->Left, 120);
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
