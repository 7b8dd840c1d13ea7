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

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

bool IsDesktopUrl(const std::string& url) {
  for (const char c : url) {
    if (c <= ' ' || c > '~') return false;
  }
  std::string rest;
  if (StartsWith(url, "http://")) {
    rest = url.substr(7);
  } else if (StartsWith(url, "https://")) {
    rest = url.substr(8);
  } else if (StartsWith(url, "ftp://")) {
    rest = url.substr(6);
  } else {
    return false;
  }
  const std::string host = rest.substr(0, rest.find_first_of("/?#"));
  if (host.empty() || !(IsAlnum(host[0]) || host[0] == '[')) return false;
  for (const char c : host) {
    if (!IsAlnum(c) && std::string("-._~%!$&'()*+,;=:@[]").find(c) == std::string::npos) return false;
  }
  return true;
}

}  // namespace orba
