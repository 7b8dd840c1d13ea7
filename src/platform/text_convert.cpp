#include "platform/text_convert.h"

#include <errno.h>
#include <iconv.h>

#include <mutex>
#include <string>

namespace orba {
namespace {

// One converter per direction, opened once. iconv descriptors are not
// thread-safe, so each use holds the converter's lock.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }

  // Converts `in`; on a byte sequence it cannot take, appends `replacement`
  // and skips `skip(in, pos)` bytes of input.
  template <typename SkipFn>
  std::string Run(const std::string& in, const std::string& replacement, SkipFn skip) {
    std::string out;
    if (in.empty()) return out;
    std::lock_guard<std::mutex> lock(mutex_);
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return in;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    size_t pos = 0;
    char buffer[4096];
    while (pos < in.size()) {
      char* src = const_cast<char*>(in.data()) + pos;
      size_t src_left = in.size() - pos;
      char* dst = buffer;
      size_t dst_left = sizeof buffer;
      size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      pos = in.size() - src_left;
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (truncated sequence at the end): replace and move on.
        out += replacement;
        pos += skip(in, pos);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
  std::mutex mutex_;
};

bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

std::string SjisToUtf8(const std::string& sjis) {
  static Converter conv("UTF-8", "CP932");
  return conv.Run(sjis, "\xEF\xBF\xBD", [](const std::string& in, size_t pos) -> size_t {
    return (IsSjisLead(static_cast<unsigned char>(in[pos])) && pos + 1 < in.size()) ? 2 : 1;
  });
}

std::string Utf8ToSjis(const std::string& utf8) {
  static Converter conv("CP932", "UTF-8");
  return conv.Run(utf8, "?", [](const std::string& in, size_t pos) -> size_t {
    const unsigned char c = static_cast<unsigned char>(in[pos]);
    size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    // Step over a whole UTF-8 sequence only when its continuation bytes are there.
    for (size_t i = 1; i < len; ++i) {
      if (pos + i >= in.size() || (static_cast<unsigned char>(in[pos + i]) & 0xC0) != 0x80) return 1;
    }
    return len;
  });
}

}  // namespace orba
