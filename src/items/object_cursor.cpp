#include "items/object_cursor.h"

#include "core/files/vr_file_manager.h"
#include "core/system/trace.h"
#include "graphics/graphic_errors.h"
#include "graphics/icon_file.h"
#include "items/base_list.h"
#include "platform/text_convert.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace orba {

namespace {

// The largest cursor file read: a cursor is one small picture (at most
// 256 x 256 in 32 bits, 256 KiB) or a few frames of one.
constexpr int64_t kMaxCursorFileBytes = int64_t{16} << 20;  // 16 MiB

}  // namespace

bool LoadCursorImage(const std::string& name, TCursorImage& image) {
  const TBrixCollection* cache = BrixCollection();
  try {
    TVrFileManager* files = cache != nullptr ? &cache->FileLayer() : VrFileManager();
    if (files == nullptr || !files->Exists(name)) return false;
    TKsMemoryStream stream;
    files->LoadToStream(stream, name, kMaxCursorFileBytes);
    stream.SetPosition(0);
    // A picture larger than the platform shows is refused from its headers,
    // before its pixels are made.
    const TIconSize size = IconImageSize(stream);
    if (size.Width > kMaxCursorSide || size.Height > kMaxCursorSide)
      throw EInvalidGraphic("cursor refused: " + std::to_string(size.Width) + " x " + std::to_string(size.Height) +
                            " is larger than " + std::to_string(kMaxCursorSide) + " x " +
                            std::to_string(kMaxCursorSide));
    TDIBSurface surface;
    TPoint hotspot;
    bool has_alpha = false;
    int64_t key = -1;
    ReadIcon(surface, stream, hotspot, has_alpha, false, key);
    const TRgbaPicture rgba = SurfaceToRgba(surface, key);
    image = TCursorImage{name, rgba.Width, rgba.Height, rgba.Pixels, hotspot.X, hotspot.Y};
    return true;
  } catch (const EOrbaError& e) {
    // The pointer keeps its look; the fault is told once.
    TraceOnce(SjisToUtf8(name) + ": " + SjisToUtf8(e.what()));
    return false;
  }
}

void ShowObjectCursor(TOrbaBaseList& manager, const TOrbaObject& target) {
  std::string name = target.GetCurrentCursor();
  if (name.empty() && manager.Services.Funcs != nullptr) name = manager.Services.Funcs->Store().CursorName;
  if (name.empty()) {
    if (manager.CustomCursor) Cursors().ShowDefault();
    manager.CustomCursor = false;
    return;
  }
  if (manager.CustomCursor) return;
  TCursorImage image;
  if (!LoadCursorImage(name, image)) return;
  Cursors().ShowCustom(image);
  manager.CustomCursor = true;
}

}  // namespace orba
