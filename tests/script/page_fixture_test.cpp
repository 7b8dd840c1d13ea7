#include <gtest/gtest.h>

#include "authoring/page_dump.h"
#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "script/interp/page.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Compares our JSON listing with the fixture writer's, field by field.
// Property names that the fixture does not know ("PR_<id>") are not compared.
constexpr char kCompare[] = R"PY(
import json, re, sys
def cmp(a, b, path):
    if isinstance(b, dict):
        if not isinstance(a, dict): return [path + ": not an object"]
        out = []
        for k in b:
            if k == "file" or (k == "prop" and re.fullmatch(r"PR_\d+", b[k])): continue
            if k not in a: out.append(path + "/" + k + ": missing"); continue
            out += cmp(a[k], b[k], path + "/" + k)
        out += [path + "/" + k + ": extra" for k in a if k not in b and k != "file"]
        return out
    if isinstance(b, list):
        if not isinstance(a, list) or len(a) != len(b): return [path + ": lists differ"]
        return [d for i, (x, y) in enumerate(zip(a, b)) for d in cmp(x, y, "%s[%d]" % (path, i))]
    return [] if a == b and type(a) == type(b) else ["%s: ours %r, fixture %r" % (path, a, b)]
diffs = cmp(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])), "")
print("\n".join(diffs[:20]) if diffs else "same")
)PY";

class PythonPages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    made_ = test::RunPython("fixtures/page_fixture.py", {"make", dir_->path()}).exit_code == 0;
  }
  static void TearDownTestSuite() { delete dir_; }
  static test::TempDir* dir_;
  static bool made_;
};
test::TempDir* PythonPages::dir_ = nullptr;
bool PythonPages::made_ = false;

TEST_F(PythonPages, LoadWithTheFieldsTheWriterDescribes) {
  ASSERT_TRUE(made_);
  for (const char* name : {"page_a", "page_b", "page_c", "page_d", "page_e"}) {
    SCOPED_TRACE(name);
    TPage page;
    page.LoadFromFile(*dir_ / (std::string(name) + ".osb"));
    const std::string ours = *dir_ / (std::string(name) + ".ours.json");
    test::WriteFileBytes(ours, test::Bytes(PageToJson(page)));
    const auto r = test::RunCommand(
        {ORBA_PYTHON, "-c", kCompare, ours, *dir_ / (std::string(name) + ".json")});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "same\n");
  }
}

TEST_F(PythonPages, ReadThenWriteGivesTheSameBytes) {
  ASSERT_TRUE(made_);
  // page_a uses 61 records of 21 bytes and only operand codes 0 to 4.
  const auto bytes = test::ReadFileBytes(*dir_ / "page_a.osb");
  TPage page;
  TKsMemoryStream in(bytes);
  page.LoadFromStream(in);
  TKsMemoryStream out;
  page.SaveToStream(out);
  EXPECT_EQ(test::ToHex(out.Bytes()), test::ToHex(bytes));
}

TEST_F(PythonPages, ToolListsThePages) {
  ASSERT_TRUE(made_);
  const auto text = test::RunOrbaTool({"page", "dump", *dir_ / "page_a.osb"});
  EXPECT_EQ(text.exit_code, 0);
  for (const char* line : {"BoxNew", "PR_LEFT (3) = ____0 := x * 2; ____1 := ____0 + -5; ____arg := ____1",
                           "HoldEvents = ____arg := TRUE"}) {
    EXPECT_NE(text.output.find(line), std::string::npos) << line;
  }

  const auto json = test::RunOrbaTool({"page", "dump", "--json", *dir_ / "page_b.osb"});
  EXPECT_EQ(json.exit_code, 0);
  EXPECT_EQ(json.output.rfind("{\"file\":", 0), 0u);
  const auto old = test::RunOrbaTool({"page", "dump", *dir_ / "page_e.osb"});
  EXPECT_EQ(old.exit_code, 0);
  EXPECT_NE(old.output.find("too old"), std::string::npos);
  EXPECT_NE(test::RunOrbaTool({"page", "dump", *dir_ / "missing.osb"}).exit_code, 0);
  EXPECT_NE(test::RunOrbaTool({"page"}).exit_code, 0);
}

// Damaged pages end in read errors only: every truncation and byte change
// either loads or raises EReadError.
TEST_F(PythonPages, DamagedPagesRaiseReadErrorsOnly) {
  ASSERT_TRUE(made_);
  int failures = 0, loads = 0;
  for (const char* name : {"page_a", "page_b", "page_c"}) {
    const auto bytes = test::ReadFileBytes(*dir_ / (std::string(name) + ".osb"));
    auto attempt = [&](const std::vector<uint8_t>& data) {
      TPage page;
      TKsMemoryStream in(data);
      try {
        page.LoadFromStream(in);
        ++loads;
      } catch (const EReadError&) {
        ++failures;
      }
    };
    for (size_t len = 0; len < bytes.size(); len += 7) {
      attempt(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len)));
    }
    uint32_t seed = 12345;
    for (size_t pos = 0; pos < bytes.size(); pos += 5) {
      for (uint8_t value : {uint8_t{0x00}, uint8_t{0xff}}) {
        std::vector<uint8_t> data = bytes;
        seed = seed * 1103515245u + 12345u;
        data[pos] = static_cast<uint8_t>(value ^ (seed >> 24 & 0x0f));
        attempt(data);
      }
    }
  }
  EXPECT_GT(failures, 0);
  EXPECT_GT(loads, 0);
}

}  // namespace
}  // namespace orba
