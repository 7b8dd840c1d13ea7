#include "items/surface_kinds.h"

#include <functional>

#include "graphics/dibx.h"
#include "graphics/dx_dibx.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "items/object_tree.h"
#include "items/orba_base.h"
#include "items/orba_object.h"

namespace orba {

const char* SurfaceKind(const TCustomDIBX* surface) {
  if (surface == nullptr) return "none";
  if (dynamic_cast<const TDxDIBX*>(surface) != nullptr) return "DirectDraw";
  if (dynamic_cast<const TDIBX*>(surface) != nullptr) return "memory";
  return "other";
}

std::string SurfaceKindsText(const TOrbaBaseList& manager) {
  std::string text = "[surfaces]\n";
  // What the active root draws into (the screen manager's presentation
  // surface while the screen runs accelerated).
  text += std::string("  screen = ") + SurfaceKind(manager.GetDIB()) + "\n";
  TTreeNodes nodes;
  AddManagerToTree(manager, nodes);
  const std::function<void(const TTreeNode&)> walk = [&](const TTreeNode& node) {
    // A root's own picture: the active one draws into the manager's
    // composition bitmap, which is always a memory bitmap.
    const auto* root = dynamic_cast<const TOrbaBase*>(node.Object);
    if (const TCustomDIBX* dib = root != nullptr ? root->Screen.get() : node.Object->GetDIB())
      text += "  " + node.Caption + " = " + SurfaceKind(dib) + "\n";
    for (const auto& child : node.Children) walk(*child);
  };
  for (const auto& root : nodes.Roots) walk(*root);
  if (const TBrixCollection* cache = BrixCollection()) {
    for (int32_t i = 0; i < cache->Count(); ++i) {
      const TBrixItem& item = cache->GetBrix(i);
      for (int32_t f = 0; f < item.GetFrameCount(); ++f)
        text += "  picture " + item.Name() + " frame " + std::to_string(f) + " = " +
                SurfaceKind(item.GetFrame(f)->DIB.get()) + "\n";
    }
  }
  return text;
}

}  // namespace orba
