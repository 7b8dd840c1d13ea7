#include "core/system/desktop.h"

#include <string_view>

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

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The characters an address carries as they are (RFC 3986's unreserved and
// reserved ones); "%" is judged apart.
bool IsUrlChar(char c) {
  return IsAlnum(c) || std::string_view("-._~:/?#[]@!$&'()*+,;=").find(c) != std::string_view::npos;
}

// The length of the scheme with its "//", or 0 when the scheme is none the
// desktop may open.
size_t SchemeLength(const std::string& url) {
  for (const char* scheme : {"http://", "https://", "ftp://"})
    if (StartsWith(url, scheme)) return std::string_view(scheme).size();
  return 0;
}

// Where the host (with its user and port) ends: at the first "/", "?" or
// "#" after the scheme, or at the end.
size_t HostEnd(const std::string& url, size_t scheme_length) {
  const size_t end = url.find_first_of("/?#", scheme_length);
  return end == std::string::npos ? url.size() : end;
}

// What PercentEncode escapes: the bytes outside the address characters (a
// path, query or fragment), or only those outside ASCII (a host, whose
// ASCII IsDesktopUrl judges as it stands).
enum class TEncode { Outside, NonAscii };

// Percent-encodes the bytes of Utf8 that Which names.
std::string PercentEncode(const std::string& utf8, TEncode which = TEncode::Outside) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    const bool escape = c == '%' && i + 2 < utf8.size() && IsHexDigit(utf8[i + 1]) && IsHexDigit(utf8[i + 2]);
    const bool ascii = static_cast<unsigned char>(c) < 0x80;
    if (which == TEncode::NonAscii ? ascii : IsUrlChar(c) || escape) {
      out += c;
      continue;
    }
    const auto b = static_cast<unsigned char>(c);
    out += '%';
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

}  // namespace

bool IsDesktopUrl(const std::string& url) {
  for (const char c : url) {
    if (c <= ' ' || c > '~') return false;
  }
  const size_t scheme = SchemeLength(url);
  if (scheme == 0) return false;
  const std::string host = url.substr(scheme, HostEnd(url, scheme) - scheme);
  // A host starts with a letter, a digit, "[" or the escape of a byte of a
  // character beyond ASCII ("%80" to "%FF").
  const bool wide_first = host.size() >= 3 && host[0] == '%' && std::string_view("89ABCDEFabcdef").find(host[1]) !=
                                                                      std::string_view::npos && IsHexDigit(host[2]);
  if (host.empty() || !(IsAlnum(host[0]) || host[0] == '[' || wide_first)) return false;
  for (const char c : host) {
    if (!IsAlnum(c) && std::string("-._~%!$&'()*+,;=:@[]").find(c) == std::string::npos) return false;
  }
  return true;
}

std::string DesktopUrl(const std::string& sjis_url) {
  const size_t scheme = SchemeLength(sjis_url);
  if (scheme == 0) return std::string();
  // The host goes converted to UTF-8 with its characters beyond ASCII
  // percent-encoded, its ASCII as it is: IsDesktopUrl refuses one with an
  // ASCII byte outside its characters. No Shift-JIS trail byte (0x40 and
  // above) is taken for the "/", "?" or "#" that ends it.
  const size_t host_end = HostEnd(sjis_url, scheme);
  const std::string host = SjisToUtf8(sjis_url.substr(scheme, host_end - scheme));
  std::string url = sjis_url.substr(0, scheme) + PercentEncode(host, TEncode::NonAscii) +
                    PercentEncode(SjisToUtf8(sjis_url.substr(host_end)));
  return IsDesktopUrl(url) ? url : std::string();
}

}  // namespace orba
