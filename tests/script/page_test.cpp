#include <gtest/gtest.h>

#include <tuple>


#include "authoring/page_dump.h"
#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "script/interp/com_component.h"
#include "script/interp/com_flow.h"
#include "script/interp/page.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

// Serves files from memory and records what the page asks of the program.
class TRecordingHost final : public TPageHost {
 public:
  std::map<std::string, std::vector<uint8_t>> files;
  std::vector<std::pair<std::string, std::string>> warnings;
  std::vector<std::string> freed;

  void LoadToStream(const std::string& name, TKsMemoryStream& stream) override {
    auto it = files.find(name);
    if (it == files.end()) throw EFOpenError(name);
    stream.MutableBytes() = it->second;
    stream.SetPosition(0);
  }
  void PageTooOld(const std::string& caption, const std::string& text) override {
    warnings.emplace_back(caption, text);
  }
  void PageFreed(const std::string& name) override { freed.push_back(name); }
};

class PageFile : public ::testing::Test {
 protected:
  void SetUp() override { SetPageHost(&host_); }
  void TearDown() override { SetPageHost(nullptr); }
  TRecordingHost host_;
};

// Page header: version, ResultType, MaskCount, MaskSize (no bitmaps), then
// one command: the opcode byte, header (Depth 2, Skip 0, Continue 1, Line 7)
// and an empty condition.
std::vector<uint8_t> OneCommandPage(int32_t version, const char* opcode_hex) {
  std::vector<uint8_t> b = FromHex("00000000 03 00000000 15000000 01000000");
  b[0] = static_cast<uint8_t>(version);
  const auto cmd = FromHex(std::string(opcode_hex) + " 02000000 00 01 07000000 00000000");
  b.insert(b.end(), cmd.begin(), cmd.end());
  return b;
}

TEST_F(PageFile, NewPageDefaults) {
  TPage page;
  EXPECT_EQ(std::make_tuple(int(page.ResultType), page.Version, page.Commands.Count()), std::make_tuple(int(PT_INT), 104, 0));
  EXPECT_EQ(page.PropertyMasks[OP_If], TPropMask{});
}

TEST_F(PageFile, OpcodeBit7IsIgnored) {
  host_.files["p.osb"] = OneCommandPage(110, "80");
  TPage page;
  page.LoadFromFile("p.osb");
  ASSERT_EQ(page.Commands.Count(), 1);
  TCommand& c = *page.Commands.GetItem(0);
  EXPECT_NE(dynamic_cast<TComIf*>(&c), nullptr);
  EXPECT_EQ(std::make_tuple(c.Depth, int(c.Continue), c.Line, int(page.ResultType), page.Name),
            std::make_tuple(2, 1, 7, 3, std::string("p.osb")));
  // All bitmaps were replaced by the file's (none): zero.
  EXPECT_EQ(page.PropertyMasks[OP_BoxNew], TPropMask{});
}

TEST_F(PageFile, OpcodesFrom61RaiseBadCommand) {
  for (const char* op : {"bd", "3d", "7f"}) {
    host_.files["p.osb"] = OneCommandPage(110, op);
    TPage page;
    try {
      page.LoadFromFile("p.osb");
      ADD_FAILURE() << op;
    } catch (const EReadError& e) {
      EXPECT_STREQ(e.what(), "\x95\x73\x90\xb3\x82\xc8\x83\x52\x83\x7d\x83\x93\x83\x68");  // 不正なコマンド
    }
    EXPECT_EQ(page.Commands.Count(), 0);
  }
}

TEST_F(PageFile, LaterVersionLoadsWithoutCommandsOrMessage) {
  host_.files["new.osb"] = FromHex("74000000 04 ffffffff 2020");
  TPage page;
  host_.files["p.osb"] = OneCommandPage(110, "03");
  host_.files["p.osb"].back() = 0;  // Label with an empty name
  page.LoadFromFile("p.osb");
  ASSERT_EQ(page.Commands.Count(), 1);
  page.LoadFromFile("new.osb");
  EXPECT_EQ(std::make_tuple(page.Version, page.Commands.Count(), host_.warnings.size()), std::make_tuple(116, 0, size_t{0}));
}

TEST_F(PageFile, TooOldVersionAsksForARebuild) {
  host_.files["old.osb"] = OneCommandPage(102, "00");
  TPage page;
  page.LoadFromFile("old.osb");
  EXPECT_EQ(page.Commands.Count(), 0);
  ASSERT_EQ(host_.warnings.size(), 1u);
  EXPECT_EQ(host_.warnings[0].first, "\x8c\x78\x8d\x90");  // 警告
  // old.osb, CR LF, リビルドしてください
  EXPECT_EQ(ToHex(test::Bytes(host_.warnings[0].second)),
            ToHex(FromHex("6f6c642e6f7362 0d0a 838a8372838b836882b582c482ad82be82b382a2")));
}

TEST_F(PageFile, WrittenFileReadsBackThroughTheDefaultHost) {
  SetPageHost(nullptr);
  test::TempDir dir;
  TPage page;
  page.Version = 111;
  auto& label = dynamic_cast<TComLabel&>(*page.AddCommand(OP_Label));
  label.Name = "\x83\x65\x83\x58\x83\x67";  // テスト
  page.SaveToFile(dir / "w.osb");
  TPage loaded;
  loaded.LoadFromFile(dir / "w.osb");
  EXPECT_EQ(std::make_tuple(loaded.Version, loaded.FindLabel(label.Name)), std::make_tuple(111, 0));
  EXPECT_EQ(loaded.PropertyMasks, page.PropertyMasks);
}

TEST_F(PageFile, MissingFileRaisesAndKeepsThePage) {
  TPage page;
  EXPECT_THROW(page.LoadFromFile("none.osb"), EFOpenError);
  EXPECT_EQ(page.Name, "");
}

TEST_F(PageFile, FreeingAPageTellsTheHost) {
  host_.files["p.osb"] = OneCommandPage(110, "00");
  {
    TPage page;
    page.LoadFromFile("p.osb");
  }
  EXPECT_EQ(host_.freed, std::vector<std::string>{"p.osb"});
}

// Bitmap records of other sizes and counts. Record i holds the bytes
// i*16+k (k = 0 .. size-1); one Timer command follows, whose expressions
// are those of the bitmap kept for opcode 11.
struct MaskCase {
  int32_t count, size;
};

class MaskRecords : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskRecords, KeepTheFirst21BytesOfTheFirst61Records) {
  const MaskCase c = GetParam();
  std::vector<uint8_t> b = {0x6e, 0, 0, 0, 1};
  for (int32_t v : {c.count, c.size}) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
  }
  for (int32_t i = 0; i < c.count; ++i) {
    for (int32_t k = 0; k < c.size; ++k) b.push_back(static_cast<uint8_t>(i * 16 + k));
  }
  // Timer: opcode 11, header; its expressions follow, all empty.
  const auto head = FromHex("01000000 0b 00000000 00 01 00000000");
  b.insert(b.end(), head.begin(), head.end());
  int present = 0;
  for (int id = 0; id < kPropCount; ++id) {
    const int byte = id / 8;
    if (byte < std::min(c.size, 21) && ((static_cast<uint8_t>(11 * 16 + byte) >> (id % 8)) & 1)) ++present;
  }
  b.insert(b.end(), 4 * present, 0);
  TPage page;
  TKsMemoryStream in(b);
  page.LoadFromStream(in);
  EXPECT_EQ(in.GetPosition(), in.GetSize());
  for (int i = 0; i < kOpcodeCount; ++i) {
    for (int k = 0; k < kPropMaskBytes; ++k) {
      const uint8_t want = (i < c.count && k < c.size) ? static_cast<uint8_t>(i * 16 + k) : 0;
      ASSERT_EQ(page.PropertyMasks[i][k], want) << i << " " << k;
    }
  }
  ASSERT_EQ(page.Commands.Count(), 1);
  int loaded = 0;
  for (auto& e : dynamic_cast<TComTimer&>(*page.Commands.GetItem(0)).Expressions) loaded += e != nullptr;
  EXPECT_EQ(loaded, present);
}

INSTANTIATE_TEST_SUITE_P(Page, MaskRecords,
                         ::testing::Values(MaskCase{61, 21}, MaskCase{61, 30}, MaskCase{61, 10},
                                           MaskCase{70, 21}, MaskCase{12, 0}, MaskCase{20, 21}));

// Bad page headers raise before allocating; the page stays as it was.
class BadPages : public ::testing::TestWithParam<const char*> {};

TEST_P(BadPages, RaiseReadErrorAndKeepThePage) {
  TPage page;
  {
    TKsMemoryStream in(OneCommandPage(110, "06"));
    page.LoadFromStream(in);
  }
  TKsMemoryStream in(FromHex(GetParam()));
  EXPECT_THROW(page.LoadFromStream(in), EReadError);
  EXPECT_EQ(std::make_tuple(page.Version, int(page.ResultType)), std::make_tuple(110, 3));
  ASSERT_EQ(page.Commands.Count(), 1);
  EXPECT_EQ(std::make_tuple(int(page.Commands.GetItem(0)->GetOpcode()), page.Commands.GetItem(0)->Page),
            std::make_tuple(int(OP_Exit), &page));
}

INSTANTIATE_TEST_SUITE_P(Page, BadPages,
                         ::testing::Values("6f00",                                       // cut version
                                           "6f000000 01 ffffffff 15000000 00000000",     // negative count
                                           "6f000000 01 01000000 ffffffff 00000000",     // negative size
                                           "6f000000 01 ffffff7f ffffff7f 00000000",     // masks beyond
                                           "6f000000 01 00000000 15000000 ffffffff",     // negative commands
                                           "6f000000 01 00000000 15000000 00001000 00",  // commands beyond
                                           "6f000000 01 00000000 15000000 01000000"));   // command missing

TEST(PageLabels, FirstLabelOfTheExactNameWins) {
  TPage page;
  for (const char* name : {"a", "A", "a"}) dynamic_cast<TComLabel&>(*page.AddCommand(OP_Label)).Name = name;
  page.AddCommand(OP_If);
  EXPECT_EQ((std::vector<int32_t>{page.FindLabel("a"), page.FindLabel("A"), page.FindLabel("b"),
                                  page.IndexOf(page.Commands.GetItem(3)), page.IndexOf(nullptr)}),
            (std::vector<int32_t>{0, 1, -1, 3, -1}));
}

struct HeaderCase {
  const char* bytes;
  int32_t value;
  int64_t position;
};

class VersionHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(VersionHeader, Reads) {
  const std::string s = GetParam().bytes;
  TKsMemoryStream in(test::Bytes(s));
  const int32_t value = ReadVersionHeader(in);
  EXPECT_EQ(std::make_tuple(value, in.GetPosition()), std::make_tuple(GetParam().value, GetParam().position));
}

INSTANTIATE_TEST_SUITE_P(Command, VersionHeader,
                         ::testing::Values(HeaderCase{"orba100xyz", 100, 7}, HeaderCase{"orba107", 107, 7},
                                           HeaderCase{"orba1", 0, 0}, HeaderCase{"abcd100", 0, 0},
                                           HeaderCase{"Orba100", 0, 0}, HeaderCase{"orbaxyz", 0, 7}));

TEST(VersionHeaderWrite, IsSevenAsciiBytes) {
  TKsMemoryStream s;
  WriteVersionHeader(s);
  EXPECT_EQ(ToHex(s.Bytes()), ToHex(test::Bytes("orba100")));
}

}  // namespace
}  // namespace orba
