#include "items/screen_source.h"

#include "graphics/depth_convert.h"
#include "graphics/dibx.h"
#include "items/base_list.h"
#include "items/brix_cache.h"

namespace orba {

namespace {

// The bitmap behind a drawing surface, when it has one in memory.
TDIBSurface* MemorySurface(TCustomDIBX* dib) {
  auto* memory = dynamic_cast<TDIBX*>(dib);
  return memory != nullptr && !memory->IsEmpty() ? &memory->Surface() : nullptr;
}

}  // namespace

int32_t TBaseListScreens::ScreenWidth() const { return manager_.Width; }
int32_t TBaseListScreens::ScreenHeight() const { return manager_.Height; }

void TBaseListScreens::CaptureScreen(bool other, TDIBSurface& picture) {
  TOrbaBase* root = manager_.GetBase(manager_.Active ^ (other ? 1 : 0));
  root->Draw();
  picture.SetSize(manager_.Width, manager_.Height, 24);
  if (TDIBSurface* screen = MemorySurface(root->GetDIB())) DrawConvert(picture, 0, 0, -1, *screen);
}

bool TBaseListScreens::SaveBitmap(const std::string& image, TKsBigStream& bitmap) {
  if (image.empty()) {
    TDIBSurface* screen = MemorySurface(manager_.ActiveBase()->GetDIB());
    if (screen == nullptr) return false;
    screen->SaveToStream(bitmap);
    return true;
  }
  TBrixCollection* cache = BrixCollection();
  if (cache == nullptr) return false;
  TBrixItem& item = cache->Acquire(this, image, false, false);
  bool saved = false;
  try {
    const TBrixItemFrame* frame = item.GetFrame(0);
    if (TDIBSurface* surface = frame != nullptr ? MemorySurface(frame->DIB.get()) : nullptr) {
      surface->SaveToStream(bitmap);
      saved = true;
    }
  } catch (...) {  // cleaned up, then rethrown
    item.RemoveOwner(this);
    throw;
  }
  item.RemoveOwner(this);
  return saved;
}

void TBaseListScreens::ForgetPicture(const std::string& name) {
  if (TBrixCollection* cache = BrixCollection()) cache->ReleaseFile(name);
}

}  // namespace orba
