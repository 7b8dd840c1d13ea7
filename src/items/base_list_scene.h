// The object manager's whole object tree, with its event queue and focus, as
// the scene of a game slot.
#pragma once

#include <cstdint>

#include "core/streams/big_stream.h"
#include "script/save/save_sections.h"

namespace orba {

class TOrbaBaseList;

class TBaseListScene : public TSceneSection {
 public:
  explicit TBaseListScene(TOrbaBaseList& manager) : manager_(manager) {}
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  TOrbaBaseList& manager_;
};

}  // namespace orba
