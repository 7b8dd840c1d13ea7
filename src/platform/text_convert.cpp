#include "platform/text_convert.h"

#include <errno.h>
#include <iconv.h>

#include <mutex>
#include <string>

namespace orba {
namespace {

constexpr char kUtf8Replacement[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kSjisReplacement[] = "?";

// One converter per direction, opened once. iconv descriptors are not
// thread-safe, so each use holds the converter's lock.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Usable()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`. Where a sequence cannot be converted, appends
  // `replacement` and skips `skip(in, pos)` bytes (at least 1); an
  // incomplete sequence at the very end becomes one replacement.
  template <typename SkipFn>
  std::string Run(const std::string& in, const char* replacement, SkipFn skip) {
    std::string out;
    if (in.empty()) return out;
    std::lock_guard<std::mutex> lock(mutex_);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    size_t pos = 0;
    char buffer[4096];
    while (pos < in.size()) {
      char* src = const_cast<char*>(in.data()) + pos;
      size_t src_left = in.size() - pos;
      char* dst = buffer;
      size_t dst_left = sizeof buffer;
      const size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      const int error = errno;
      out.append(buffer, static_cast<size_t>(dst - buffer));
      pos = in.size() - src_left;
      if (r != static_cast<size_t>(-1) || error == E2BIG) continue;
      out += replacement;
      if (error == EINVAL) break;  // truncated sequence at the end
      const size_t n = skip(in, pos);
      pos += n == 0 ? 1 : n;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
  std::mutex mutex_;
};

bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsSjisTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Without a converter only ASCII passes; every other byte is replaced.
std::string AsciiOnly(const std::string& in, const char* replacement) {
  std::string out;
  for (const char c : in) {
    if (static_cast<unsigned char>(c) < 0x80) {
      out += c;
    } else {
      out += replacement;
    }
  }
  return out;
}

}  // namespace

std::string SjisToUtf8(const std::string& sjis) {
  static Converter conv("UTF-8", "CP932");
  if (!conv.Usable()) return AsciiOnly(sjis, kUtf8Replacement);
  return conv.Run(sjis, kUtf8Replacement, [](const std::string& in, size_t pos) -> size_t {
    // An unmapped pair is one character; a lead byte followed by a byte that
    // cannot be a trail byte (a newline, say) is replaced alone.
    const bool pair = IsSjisLead(static_cast<unsigned char>(in[pos])) && pos + 1 < in.size() &&
                      IsSjisTrail(static_cast<unsigned char>(in[pos + 1]));
    return pair ? 2 : 1;
  });
}

std::string Utf8ToSjis(const std::string& utf8) {
  static Converter conv("CP932", "UTF-8");
  if (!conv.Usable()) return AsciiOnly(utf8, kSjisReplacement);
  return conv.Run(utf8, kSjisReplacement, [](const std::string& in, size_t pos) -> size_t {
    const unsigned char c = static_cast<unsigned char>(in[pos]);
    const size_t len = c < 0xC2 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 1;
    // Step over a whole UTF-8 sequence only when its continuation bytes are there.
    for (size_t i = 1; i < len; ++i) {
      if (pos + i >= in.size() || (static_cast<unsigned char>(in[pos + i]) & 0xC0) != 0x80) return 1;
    }
    return len;
  });
}

}  // namespace orba
