#include "core/system/desktop.h"

#include "platform/host.h"
#include "platform/text_convert.h"

namespace orba {

void GetWorkArea(TRect& rect) {
  const THostRect area = Host().WorkArea();
  rect = TRect{area.Left, area.Top, area.Right, area.Bottom};
}

bool SetWallPaper(const std::string& file_name, int32_t style) {
  const TWallpaperStyle s = style == 0 ? TWallpaperStyle::Center
                            : style == 1 ? TWallpaperStyle::Tile
                                         : TWallpaperStyle::Stretch;
  return Host().SetDesktopWallpaper(SjisToUtf8(file_name), s);
}

}  // namespace orba
