// A message window's saved state at the version its first byte picks (100
// to 140, those below the oldest game slot that loads read as it), laid out
// again as after a load (its pages cannot be found, so the text stays as the
// state gives it) and painted.
#include <algorithm>

#include "fuzz_support.h"
#include "items/base_list.h"
#include "items/message_window.h"
#include "script/save/save_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  orba::fuzz::Refused([&] {
    orba::TOrbaBaseList manager;
    manager.SetWidth(64);
    manager.SetHeight(48);
    auto* window = orba::NewOrbaObject<orba::TOrbaMes>(&manager);
    window->SetParent(manager.ActiveBase());
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data + 1, size - 1));
    window->LoadFromStream(s, std::max(orba::kOldestGameStateVersion, 100 + data[0] % 41));
    window->RebuildAfterLoad();
    manager.ActiveBase()->InvalidateAll();
    manager.Draw();
  });
  return 0;
}
