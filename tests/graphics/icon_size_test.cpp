// The size of the image a cursor or icon file would give, read from its
// headers alone: hand-worked BMP headers of both forms (a top-down one
// among them), an icon directory, and headers that do not parse.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "core/streams/byte_order.h"
#include "graphics/graphic_errors.h"
#include "graphics/icon_file.h"

namespace orba {
namespace {

std::vector<uint8_t> Le16(uint32_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
std::vector<uint8_t> Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
}
std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// "BM", file size, reserved, bits offset; then the information header.
std::vector<uint8_t> BmpHead(const std::vector<uint8_t>& info) {
  return Join({{'B', 'M'}, Le32(0), Le32(0), Le32(14 + static_cast<uint32_t>(info.size())), info});
}

TEST(IconImageSize, FromTheHeadersAlone) {
  const std::vector<uint8_t> info40 =
      Join({Le32(40), Le32(8192), Le32(8192), Le16(1), Le16(8), Le32(1), std::vector<uint8_t>(20, 0)});
  const std::vector<uint8_t> top_down =
      Join({Le32(40), Le32(300), Le32(static_cast<uint32_t>(-20)), Le16(1), Le16(24), std::vector<uint8_t>(24, 0)});
  const std::vector<uint8_t> core12 = Join({Le32(12), Le16(640), Le16(480), Le16(1), Le16(24)});
  // An icon directory of one entry whose information header says 48 x 96:
  // colour rows and AND mask, 48 x 48.
  const std::vector<uint8_t> ico = Join({Le16(0), Le16(2), Le16(1), {48, 48, 0, 0}, Le16(3), Le16(4), Le32(40), Le32(22),
                                         Le32(40), Le32(48), Le32(96), Le16(1), Le16(32), std::vector<uint8_t>(24, 0)});
  struct TCase {
    std::string name;
    std::vector<uint8_t> bytes;
    int64_t width, height;
  };
  const TCase cases[] = {{"info header", BmpHead(info40), 8192, 8192},
                         {"top down", BmpHead(top_down), 300, 20},
                         {"core header", BmpHead(core12), 640, 480},
                         {"cursor", ico, 48, 48}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TKsMemoryStream s(c.bytes);
    const TIconSize size = IconImageSize(s);
    EXPECT_EQ(size.Width, c.width);
    EXPECT_EQ(size.Height, c.height);
    EXPECT_EQ(s.GetPosition(), 0);
  }
}

TEST(IconImageSize, HeadersThatDoNotParseAreDamaged) {
  const std::vector<uint8_t> zero_width =
      BmpHead(Join({Le32(40), Le32(0), Le32(16), Le16(1), Le16(8), std::vector<uint8_t>(24, 0)}));
  const std::vector<uint8_t> short_head = {'B', 'M', 1, 2, 3};
  const std::vector<uint8_t> no_entries = Join({Le16(0), Le16(1), Le16(0)});
  for (const auto& bytes : {zero_width, short_head, no_entries}) {
    TKsMemoryStream s(bytes);
    EXPECT_THROW(IconImageSize(s), EInvalidGraphic);
  }
}

}  // namespace
}  // namespace orba
