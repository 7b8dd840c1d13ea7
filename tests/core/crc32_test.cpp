#include "core/streams/crc32.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace orba {
namespace {

TEST(StreamCrc32, KnownValuesOverTheWholeStream) {
  struct Case {
    std::string text;
    uint32_t crc;
  };
  for (const Case& c : std::vector<Case>{{"123456789", 0xCBF43926u},
                                         {"", 0u},
                                         {"a", 0xE8B7BE43u},
                                         {"The quick brown fox jumps over the lazy dog", 0x414FA339u}}) {
    TKsMemoryStream s(test::Bytes(c.text));
    s.SetPosition(s.GetSize());  // counts from position 0 wherever it stands
    EXPECT_EQ(StreamCrc32(s), c.crc) << c.text;
    EXPECT_EQ(s.GetPosition(), s.GetSize());
  }
}

TEST(StreamCrc32, PiecesOfAMebibyteChainTogether) {
  std::vector<uint8_t> bytes(3 * 1048576 + 17, 0);
  bytes.back() = 1;
  TKsMemoryStream s(bytes);
  // Python: zlib.crc32(bytes(3 * 1048576 + 16) + b"\x01")
  EXPECT_EQ(StreamCrc32(s), 0xB4616EC7u);
}

}  // namespace
}  // namespace orba
