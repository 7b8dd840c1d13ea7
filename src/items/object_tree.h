// The debugging views of a scene: the object tree (one captioned node per
// object, the two screen roots first, then the components that draw
// nothing) and the property list of one object (one row per property id,
// captioned with its display label, with its value as text). Tools and the
// player print them as text (`orbatool save dump --tree`,
// `orba --headless --tree FILE`).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orba {

class TOrbaBaseList;
class TOrbaObject;

// One node of the tree: its caption (Shift-JIS), the object it stands for
// and its child nodes.
struct TTreeNode {
  std::string Caption;
  TOrbaObject* Object = nullptr;
  bool Expanded = false;
  std::vector<std::unique_ptr<TTreeNode>> Children;
};

// The nodes of a tree view: the top-level nodes in order.
struct TTreeNodes {
  std::vector<std::unique_ptr<TTreeNode>> Roots;
  // Adds a node under Parent (at the top level when Parent is nullptr).
  TTreeNode* Add(TTreeNode* parent, std::string caption, TOrbaObject* object);
};

// One row of a property list: the caption and the sub-items (the value).
struct TListItem {
  std::string Caption;
  std::vector<std::string> SubItems;
};

// Adds Object's node under Parent and recurses into its children. A name
// that begins with the internal mark (0x01), or an object without a
// component type, is captioned with "*" before its name; a screen root
// reads "画面1" or "画面2", with " (アクティブ)" for the active one, and
// is expanded. Scrapped objects and objects without a manager add nothing.
void AddToTree(TOrbaObject& object, TTreeNodes& nodes, TTreeNode* parent);
// The manager's tree: both roots, then every component that is no screen
// object and is not scrapped, in list order.
void AddManagerToTree(const TOrbaBaseList& manager, TTreeNodes& nodes);
// One row per property id 0 to 164: the display label (the property's
// name where it has none) and the current value as text.
void ListProperties(TOrbaObject& object, std::vector<TListItem>& items);
// The display label of a property id.
std::string PropertyLabel(int prop_id);

// The whole view as text: the tree, two spaces of indent a level, then each
// object's property list ("[caption]" and "  label = value" lines).
std::string ObjectTreeText(const TOrbaBaseList& manager);

}  // namespace orba
