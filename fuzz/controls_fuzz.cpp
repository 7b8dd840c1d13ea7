// The saved form of a slider, scroll bar, gauge or image-font label read into
// a fresh item on a real screen, then drawn, ticked and saved again. The
// first byte picks the kind, the second the data version (100 to the
// newest, those below the oldest game slot that loads read as it); the rest
// is the item's record.
#include <algorithm>

#include "core/game_clock.h"
#include "fuzz_support.h"
#include "items/base_list.h"
#include "items/gauge.h"
#include "items/image_font_label.h"
#include "items/slider.h"
#include "script/save/save_data.h"

namespace {

template <class T>
void ReadItem(orba::TOrbaBaseList& manager, orba::TKsMemoryStream& s, int32_t version) {
  T* item = orba::NewOrbaObject<T>(&manager);
  item->SetParent(manager.ActiveBase());
  item->LoadFromStream(s, version);
  for (int i = 0; i < 3; ++i) {
    item->Idle();
    item->DoKeyRepeat();
  }
  manager.ActiveBase()->InvalidateAll();
  manager.Draw();
  orba::TKsMemoryStream out;
  item->SaveToStream(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  orba::FrameTime = 15;
  orba::fuzz::Refused([&] {
    orba::TOrbaBaseList manager;
    manager.SetWidth(64);
    manager.SetHeight(48);
    const int32_t version = std::max(orba::kOldestGameStateVersion, 100 + data[1] % (orba::kSceneVersion - 99));
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data + 2, size - 2));
    switch (data[0] & 3) {
      case 0: ReadItem<orba::TOrbaSlider>(manager, s, version); break;
      case 1: ReadItem<orba::TOrbaScrollbar>(manager, s, version); break;
      case 2: ReadItem<orba::TOrbaGauge>(manager, s, version); break;
      default: ReadItem<orba::TOrbaCGLabel>(manager, s, version); break;
    }
  });
  return 0;
}
