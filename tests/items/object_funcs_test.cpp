// What no game reaches yet: text and buttons of a preview menu (a stand-in
// here), a flipped screen, property ids beyond a byte.
#include <gtest/gtest.h>

#include "items/base_list.h"
#include "items/box.h"
#include "items/object_funcs.h"
#include "script/expr_test_env.h"

namespace orba {
namespace {

// The button "no" is 1; a group index of ten times the index asked.
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
  m.Flip(1, 0, false, false, 0, 0);
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

}  // namespace
}  // namespace orba
