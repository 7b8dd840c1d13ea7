// Downloaded bodies against their two limits (one body, all bodies
// together), charged by the memory they reserve and given back when they
// go; and the text an HTTP item hands the script, cut to a script text's
// limit on a whole character.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items/base_list.h"
#include "items/http.h"
#include "script/functions/sys_func.h"

namespace orba {
namespace {

using A = THttpBody::TAppend;

TEST(HttpBody, OneBodyEndsAtItsLimitAndIsChargedWhatItReserves) {
  const size_t before = THttpBody::HeldBytes();
  {
    THttpBody body;
    const std::string mib(size_t{1} << 20, 'x');
    EXPECT_EQ(body.Append("ab", 2), A::Appended);
    const size_t first = THttpBody::HeldBytes() - before;
    EXPECT_GE(first, 2u);
    EXPECT_LT(first, size_t{1} << 20);
    for (size_t i = 0; i + 1 < THttpBody::kMaxBytes >> 20; ++i) ASSERT_EQ(body.Append(mib.data(), mib.size()), A::Appended);
    // Up to the last byte and not one more; a refused piece adds nothing.
    const size_t left = THttpBody::kMaxBytes - body.Text().size();
    EXPECT_EQ(body.Append(mib.data(), left + 1), A::TooLarge);
    EXPECT_EQ(body.Append(mib.data(), left), A::Appended);
    EXPECT_EQ(body.Text().size(), THttpBody::kMaxBytes);
    EXPECT_EQ(body.Append("y", 1), A::TooLarge);
    EXPECT_EQ(THttpBody::HeldBytes() - before, THttpBody::kMaxBytes);
    // A moved body keeps its charge; the emptied one holds none.
    THttpBody moved(std::move(body));
    EXPECT_TRUE(body.Empty());
    EXPECT_EQ(THttpBody::HeldBytes() - before, THttpBody::kMaxBytes);
    moved.Clear();
    EXPECT_EQ(THttpBody::HeldBytes(), before);
    EXPECT_EQ(moved.Append("z", 1), A::Appended);
  }
  EXPECT_EQ(THttpBody::HeldBytes(), before);
}

TEST(HttpBody, AllBodiesTogetherStopAtTheSharedLimit) {
  const size_t before = THttpBody::HeldBytes();
  const std::string chunk(size_t{4} << 20, 'x');
  std::vector<THttpBody> bodies(4);
  // Round by round, as transfers running side by side grow.
  bool refused = false;
  while (!refused) {
    for (THttpBody& body : bodies) {
      const A result = body.Append(chunk.data(), chunk.size());
      EXPECT_NE(result, A::TooLarge);
      refused = refused || result == A::OverHeldLimit;
      EXPECT_LE(THttpBody::HeldBytes(), THttpBody::kMaxHeldBytes);
    }
  }
  size_t held = 0;
  for (const THttpBody& body : bodies) held += body.Text().size();
  EXPECT_GT(held, THttpBody::kMaxHeldBytes / 2);
  // One body let go makes room for the others again.
  bodies[0] = THttpBody();
  EXPECT_EQ(bodies[1].Append(chunk.data(), chunk.size()), A::Appended);
  bodies.clear();
  EXPECT_EQ(THttpBody::HeldBytes(), before);
}

TEST(HttpBody, TheScriptGetsATextCutToItsLimitOnAWholeCharacter) {
  TOrbaBaseList m;
  auto* item = NewOrbaObject<TOrbaHttp>(&m);
  const size_t limit = static_cast<size_t>(kMaxTextResult);
  const struct {
    std::string body;
    size_t expected;   // bytes of the text handed over
    std::string tail;  // its last bytes
  } cases[] = {
      {std::string(limit, 'a') + "b", limit, "aa"},
      // An EUC-JP pair across the limit is left out whole.
      {std::string(limit - 1, 'a') + "\xC6\xFC", limit - 1, "aa"},
      {std::string(limit - 2, 'a') + "\xC6\xFC" + "c", limit, "a\x93\xfa"},
      // Line breaks become one byte 0x01 each, a last one none.
      {std::string(limit - 3, 'a') + "\r\nc" + "dd", limit - 1, "a\x01" "c"},
      {std::string(limit - 2, 'a') + "\r\nc", limit - 2, "aa"},
  };
  for (const auto& c : cases) {
    item->Response.Clear();
    ASSERT_EQ(item->Response.Append(c.body.data(), c.body.size()), A::Appended);
    const std::string text = item->GetText();
    EXPECT_EQ(text.size(), c.expected) << c.body.size();
    EXPECT_EQ(text.substr(text.size() - c.tail.size()), c.tail) << c.body.size();
  }
  item->Response.Clear();
  EXPECT_EQ(item->GetText(), "");
}

}  // namespace
}  // namespace orba
