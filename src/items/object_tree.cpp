#include "items/object_tree.h"

#include <functional>

#include "core/vocab/vocab.h"
#include "items/base_list.h"
#include "items/orba_base.h"
#include "items/prop_dispatch.h"
#include "script/values/params.h"

namespace orba {

namespace {

constexpr char kScreenCaption[] = "\x89\xe6\x96\xca";                          // 画面
constexpr char kActiveSuffix[] = " (\x83" "A\x83N\x83" "e\x83" "B\x83u)";      //  (アクティブ)

// The display labels the vocabulary carries; the other ids show their name.
struct TLabel {
  int Id;
  const char* Text;
};
constexpr TLabel kLabels[] = {
    {PR_LEFT, "X\x8d\xc0\x95W"},                                              // X座標
    {PR_FONTHEIGHT, "\x83t\x83H\x83\x93\x83g\x83T\x83" "C\x83Y"},             // フォントサイズ
};

std::string Caption(const TOrbaObject& object) {
  if (object.IsScreenRoot()) {
    const auto* root = static_cast<const TOrbaBase*>(&object);
    std::string text = kScreenCaption + std::to_string(root->Index + 1);
    if (object.GetManager() != nullptr && object.GetManager()->ActiveBase() == root) text += kActiveSuffix;
    return text;
  }
  const std::string& name = object.GetName();
  const bool marked = (!name.empty() && name[0] == kInternalMark) || object.GetCompoType() == CT_NONE;
  return marked ? "*" + name : name;
}

}  // namespace

TTreeNode* TTreeNodes::Add(TTreeNode* parent, std::string caption, TOrbaObject* object) {
  auto node = std::make_unique<TTreeNode>();
  node->Caption = std::move(caption);
  node->Object = object;
  TTreeNode* added = node.get();
  (parent != nullptr ? parent->Children : Roots).push_back(std::move(node));
  return added;
}

void AddToTree(TOrbaObject& object, TTreeNodes& nodes, TTreeNode* parent) {
  if (object.GetManager() == nullptr || object.IsScrapped()) return;
  TTreeNode* node = nodes.Add(parent, Caption(object), &object);
  node->Expanded = object.IsScreenRoot();
  for (int32_t i = 0; i < object.GetChildCount(); ++i) AddToTree(*object.GetChild(i), nodes, node);
}

void AddManagerToTree(const TOrbaBaseList& manager, TTreeNodes& nodes) {
  AddToTree(*manager.GetBase(0), nodes, nullptr);
  AddToTree(*manager.GetBase(1), nodes, nullptr);
  for (int32_t i = 0; i < manager.GetObjectCount(); ++i) {
    TOrbaObject* object = manager.GetObject(i);
    if (object == nullptr || dynamic_cast<const TOrbaControl*>(object) != nullptr) continue;
    if (manager.IsObjectScrapped(object)) continue;
    AddToTree(*object, nodes, nullptr);
  }
}

std::string PropertyLabel(int prop_id) {
  for (const TLabel& label : kLabels)
    if (label.Id == prop_id) return label.Text;
  return PropNames[static_cast<size_t>(prop_id)];
}

void ListProperties(TOrbaObject& object, std::vector<TListItem>& items) {
  for (int id = 0; id < kPropCount; ++id) {
    TParamStr value;
    DoGetProp(value, object, static_cast<uint8_t>(id));
    items.push_back(TListItem{PropertyLabel(id), {value.GetAsStr()}});
  }
}

std::string ObjectTreeText(const TOrbaBaseList& manager) {
  TTreeNodes nodes;
  AddManagerToTree(manager, nodes);
  std::string text;
  std::vector<const TTreeNode*> order;
  const std::function<void(const TTreeNode&, int)> walk = [&](const TTreeNode& node, int depth) {
    text += std::string(static_cast<size_t>(depth) * 2, ' ') + node.Caption + "\n";
    order.push_back(&node);
    for (const auto& child : node.Children) walk(*child, depth + 1);
  };
  for (const auto& root : nodes.Roots) walk(*root, 0);
  for (const TTreeNode* node : order) {
    std::vector<TListItem> rows;
    ListProperties(*node->Object, rows);
    text += "[" + node->Caption + "]\n";
    for (const TListItem& row : rows) text += "  " + row.Caption + " = " + row.SubItems[0] + "\n";
  }
  return text;
}

}  // namespace orba
