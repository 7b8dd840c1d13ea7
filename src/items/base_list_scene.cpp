#include "items/base_list_scene.h"

#include "items/base_list.h"

namespace orba {

void TBaseListScene::SaveToStream(TKsBigStream& stream) { manager_.SaveToStream(stream); }

void TBaseListScene::LoadFromStream(TKsBigStream& stream, int32_t version) {
  manager_.LoadFromStream(stream, version);
}

}  // namespace orba
