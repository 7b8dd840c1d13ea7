#include "items/screen_source.h"

#include <cstring>

#include "graphics/canvas.h"
#include "graphics/color_convert.h"
#include "graphics/depth_convert.h"
#include "graphics/dibx.h"
#include "items/base_list.h"
#include "items/brix_cache.h"

namespace orba {

namespace {

// The bitmap behind a drawing surface: a memory surface's own bitmap, else
// the pixels copied through the surface's device context into Copy at the
// surface's depth. Null for an empty surface.
TDIBSurface* SurfaceBitmap(TCustomDIBX* dib, TDIBSurface& copy) {
  if (dib == nullptr || dib->IsEmpty()) return nullptr;
  if (auto* memory = dynamic_cast<TDIBX*>(dib)) return &memory->Surface();
  HDC dc = dib->GetDC();
  if (dc == nullptr) return nullptr;
  copy.SetSize(dib->Width(), dib->Height(), dib->BitCount());
  if (dib->BitCount() <= 8) {
    std::memcpy(copy.ColorTable.data(), dc->Palette.data(), dc->Palette.size());
    copy.CommitTable();
  }
  ConvertCopy(copy.WriteView(), dc->Palette.data(), 0, 0, DCView(dc), dc->Palette.data(), copy.GetBounds());
  dib->ReleaseDC();
  return &copy;
}

}  // namespace

int32_t TBaseListScreens::ScreenWidth() const { return manager_.Width; }
int32_t TBaseListScreens::ScreenHeight() const { return manager_.Height; }

void TBaseListScreens::CaptureScreen(bool other, TDIBSurface& picture) {
  TOrbaBase* root = manager_.GetBase(manager_.Active ^ (other ? 1 : 0));
  root->Draw();
  picture.SetSize(manager_.Width, manager_.Height, 24);
  TDIBSurface copy;
  if (TDIBSurface* screen = SurfaceBitmap(root->GetDIB(), copy)) DrawConvert(picture, 0, 0, -1, *screen);
}

bool TBaseListScreens::SaveBitmap(const std::string& image, TKsBigStream& bitmap) {
  if (image.empty()) {
    TDIBSurface copy;
    TDIBSurface* screen = SurfaceBitmap(manager_.ActiveBase()->GetDIB(), copy);
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
    TDIBSurface copy;
    if (TDIBSurface* surface = frame != nullptr ? SurfaceBitmap(frame->DIB.get(), copy) : nullptr) {
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
