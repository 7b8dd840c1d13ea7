// The debugging views: the tree's captions and order, and one property row
// per id with its label and value.
#include "items/object_tree.h"

#include <gtest/gtest.h>

#include "items/box.h"
#include "items/choice_items_support.h"
#include "items/timer.h"

namespace orba {
namespace {

class ObjectTreeTest : public test::ChoiceItemsTest {
 protected:
  template <class T>
  T* Named(const std::string& name, TOrbaControl* parent) {
    T* item = NewOrbaObject<T>(&m);
    item->SetName(name);
    if (parent != nullptr) item->SetParent(parent);
    return item;
  }
};

TEST_F(ObjectTreeTest, RootsThenNonVisualComponentsWithMarkedNames) {
  TOrbaBox* outer = Named<TOrbaBox>("outer", m.ActiveBase());
  Named<TOrbaBox>("inner", outer);
  Named<TOrbaBox>("\x01hidden", m.ActiveBase());
  Named<TOrbaBox>("other", m.GetBase(1));
  Named<TOrbaTimer>("tick", nullptr);
  TOrbaTimer* gone = Named<TOrbaTimer>("gone", nullptr);
  m.ScrapObject(gone);

  TTreeNodes nodes;
  AddManagerToTree(m, nodes);
  ASSERT_EQ(nodes.Roots.size(), 3u);
  // 画面1 (アクティブ), 画面2: the roots, the active one marked, expanded.
  EXPECT_EQ(nodes.Roots[0]->Caption, "\x89\xe6\x96\xca" "1 (\x83" "A\x83N\x83" "e\x83" "B\x83u)");
  EXPECT_EQ(nodes.Roots[1]->Caption, "\x89\xe6\x96\xca" "2");
  EXPECT_TRUE(nodes.Roots[0]->Expanded);
  EXPECT_TRUE(nodes.Roots[1]->Expanded);
  // A name with the internal mark reads with "*" before it; children keep
  // the order of their parent's list.
  std::vector<std::string> first;
  for (const auto& child : nodes.Roots[0]->Children) first.push_back(child->Caption);
  EXPECT_EQ(first, (std::vector<std::string>{"*\x01hidden", "outer"}));
  EXPECT_EQ(nodes.Roots[0]->Children[1]->Children.at(0)->Caption, "inner");
  EXPECT_EQ(nodes.Roots[1]->Children.at(0)->Caption, "other");
  // The live timer, not the scrapped one.
  EXPECT_EQ(nodes.Roots[2]->Caption, "tick");
  EXPECT_FALSE(nodes.Roots[2]->Expanded);
}

TEST_F(ObjectTreeTest, PropertyListHasEveryIdWithLabelAndValue) {
  TOrbaBox* box = Named<TOrbaBox>("b", m.ActiveBase());
  box->SetLeft(15);
  std::vector<TListItem> rows;
  ListProperties(*box, rows);
  ASSERT_EQ(rows.size(), 165u);
  EXPECT_EQ(rows[0].Caption, "PR_NAME");
  EXPECT_EQ(rows[0].SubItems.at(0), "b");
  EXPECT_EQ(rows[PR_LEFT].Caption, "X\x8d\xc0\x95W");  // X座標
  EXPECT_EQ(rows[PR_LEFT].SubItems.at(0), "15");
  EXPECT_EQ(rows[PR_FONTHEIGHT].Caption, "\x83t\x83H\x83\x93\x83g\x83T\x83" "C\x83Y");  // フォントサイズ
  EXPECT_EQ(rows[PR_BLURDELAY].Caption, "PR_BLURDELAY");
}

TEST_F(ObjectTreeTest, TextViewIndentsTheTreeThenListsEachNodesProperties) {
  Named<TOrbaBox>("b", m.ActiveBase());
  const std::string text = ObjectTreeText(m);
  EXPECT_EQ(text.substr(0, text.find('[')),
            "\x89\xe6\x96\xca" "1 (\x83" "A\x83N\x83" "e\x83" "B\x83u)\n  b\n\x89\xe6\x96\xca" "2\n");
  EXPECT_NE(text.find("[b]\n  PR_NAME = b\n  PR_PARENT = \x01" "BASE0\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace orba
