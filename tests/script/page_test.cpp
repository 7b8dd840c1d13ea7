// Page files: the header and property bitmaps, the records of the commands
// worked out by hand, damaged pages, and pages of the independent Python
// writer.
#include <gtest/gtest.h>

#include <tuple>

#include "authoring/page_dump.h"
#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "interp_env.h"
#include "script/interp/com_component.h"
#include "script/interp/com_flow.h"
#include "script/interp/com_object.h"
#include "script/interp/page.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

std::vector<uint8_t> SavePage(const TPage& page) {
  TKsMemoryStream s;
  page.SaveToStream(s);
  return s.TakeBytes();
}

void LoadPage(TPage& page, const std::vector<uint8_t>& bytes) {
  TKsMemoryStream in(bytes);
  page.LoadFromStream(in);
  EXPECT_EQ(in.GetPosition(), in.GetSize());
}

class PageFile : public ::testing::Test {
 protected:
  void SetUp() override { SetPageHost(&host_); }
  void TearDown() override { SetPageHost(nullptr); }
  test::TMemoryPages host_;
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

TEST_F(PageFile, OpcodesFrom61RaiseBadCommand) {
  for (const char* op : {"bd", "3d", "7f"}) {
    host_.Files["p.osb"] = OneCommandPage(110, op);
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
  host_.Files["new.osb"] = FromHex("74000000 04 ffffffff 2020");
  TPage page;
  host_.Files["p.osb"] = OneCommandPage(110, "03");
  host_.Files["p.osb"].back() = 0;  // Label with an empty name
  page.LoadFromFile("p.osb");
  ASSERT_EQ(page.Commands.Count(), 1);
  page.LoadFromFile("new.osb");
  EXPECT_EQ(std::make_tuple(page.Version, page.Commands.Count(), host_.Warnings.size()), std::make_tuple(116, 0, size_t{0}));
}

TEST_F(PageFile, TooOldVersionAsksForARebuild) {
  host_.Files["old.osb"] = OneCommandPage(102, "00");
  TPage page;
  page.LoadFromFile("old.osb");
  EXPECT_EQ(page.Commands.Count(), 0);
  ASSERT_EQ(host_.Warnings.size(), 1u);
  EXPECT_EQ(host_.Warnings[0].first, "\x8c\x78\x8d\x90");  // 警告
  // old.osb, CR LF, リビルドしてください
  EXPECT_EQ(ToHex(test::Bytes(host_.Warnings[0].second)),
            ToHex(FromHex("6f6c642e6f7362 0d0a 838a8372838b836882b582c482ad82be82b382a2")));
}

// A missing file raises and keeps the page; freeing a page tells the host;
// without a host, files are read from the disk.
TEST_F(PageFile, FilesThroughTheHostOrTheDisk) {
  host_.Files["p.osb"] = OneCommandPage(110, "00");
  {
    TPage page;
    EXPECT_THROW(page.LoadFromFile("none.osb"), EFOpenError);
    EXPECT_EQ(page.Name, "");
    page.LoadFromFile("p.osb");
  }
  EXPECT_EQ(host_.Freed, std::vector<std::string>{"p.osb"});
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
                                           MaskCase{70, 21}, MaskCase{12, 0}, MaskCase{20, 21}),
    [](const auto& info) { return "Count" + std::to_string(info.param.count) + "Size" + std::to_string(info.param.size); });

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
                                           "6f000000 01 00000000 15000000 01000000"),
    [](const auto& info) { return test::IndexedCaseName(info.index, ""); });   // command missing

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
  TKsMemoryStream out;
  WriteVersionHeader(out);
  EXPECT_EQ(out.Bytes(), test::Bytes("orba100"));
}

INSTANTIATE_TEST_SUITE_P(Command, VersionHeader,
                         ::testing::Values(HeaderCase{"orba100xyz", 100, 7}, HeaderCase{"orba107", 107, 7},
                                           HeaderCase{"orba1", 0, 0}, HeaderCase{"abcd100", 0, 0},
                                           HeaderCase{"Orba100", 0, 0}, HeaderCase{"orbaxyz", 0, 7}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.bytes); });


// Each gated field is stored from its version on: one empty expression (or
// one int32) more in the record.
TEST(VersionGates, FieldsAppearAtTheirVersion) {
  for (const auto& [opcode, since] : {std::pair{OP_Wait, 107}, {OP_GameSave, 105}, {OP_MovieStop, 107}, {OP_TextIns, 107},
                                      {OP_Flip, 107}, {OP_PropMotion, 108}, {OP_CallHist, 111}, {OP_FormatHist, 111}}) {
    auto record_size = [&, opcode = opcode](int32_t version) {
      TPage page;
      page.Version = version;
      page.AddCommand(opcode);
      return SavePage(page).size();
    };
    EXPECT_EQ(record_size(since), record_size(since - 1) + 4) << int(opcode);
    EXPECT_EQ(record_size(kNewestPageVersion), record_size(since)) << int(opcode);
  }
}

// Records worked out by hand (header: Depth 1, Skip 0, Continue 0, Line 5),
// listed with what the command answers for Skip, Continue and Yield, and
// written back as read.
struct HandRecord {
  const char* label;
  int32_t version;
  const char* hex;  // opcode byte and record
  const char* listed;
};

class HandRecords : public ::testing::TestWithParam<HandRecord> {};

// The command's name and fields as the page listing gives them, and the
// flags it answers true.
std::string Listed(TPage& page) {
  const std::string text = PageToText(page);
  size_t at = text.find("\n0: ") + 4;
  std::string out = text.substr(at, text.find(" (opcode", at) - at) + ":";
  for (at = text.find('\n', at); at + 1 < text.size(); at = text.find('\n', at + 1)) {
    const std::string line = text.substr(at + 1, text.find('\n', at + 1) - at - 1);
    out += std::string(out.back() == ':' ? " " : "; ") + line.substr(line.find_first_not_of(' '));
  }
  const TCommand& c = *page.Commands.GetItem(0);
  return out + " [" + (c.GetSkip() ? "skip" : "") + (c.GetContinue() ? "continue" : "") +
         (c.GetYield() ? "yield" : "") + "]";
}

TEST_P(HandRecords, ReadListAndWriteBack) {
  const HandRecord& c = GetParam();
  // Version, ResultType 0, then bitmap records of one byte each, up to and
  // including the command's own (bit 0: PR_NAME).
  const uint8_t opcode = FromHex(c.hex).front();
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(c.version), 0, 0, 0, 0,
                                static_cast<uint8_t>(opcode + 1), 0, 0, 0, 1, 0, 0, 0};
  bytes.insert(bytes.end(), opcode, 0);
  bytes.push_back(1);
  const std::vector<uint8_t> commands = FromHex("01000000" + std::string(c.hex));
  bytes.insert(bytes.end(), commands.begin(), commands.end());
  TPage page;
  LoadPage(page, bytes);
  ASSERT_EQ(page.Commands.Count(), 1);
  EXPECT_EQ(std::make_tuple(page.Commands.GetItem(0)->Depth, page.Commands.GetItem(0)->Line), std::make_tuple(1, 5));
  EXPECT_EQ(Listed(page), c.listed);
  // The writer keeps 61 bitmaps of 21 bytes; the commands follow as read.
  const auto saved = SavePage(page);
  EXPECT_EQ(ToHex(std::vector<uint8_t>(saved.end() - static_cast<std::ptrdiff_t>(commands.size()), saved.end())),
            ToHex(commands));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HandRecords,
    ::testing::Values(
        HandRecord{"GameSave104", 104, "26 01000000 00 00 05000000 00000000 03000000 616263 00000000",
                   "GameSave: Slot = (empty); OnLoadPage = \"abc\"; OnLoadTarget = (not stored); Caption = (empty) []"},
        HandRecord{"GameSave105", 105, "26 01000000 00 00 05000000 00000000 03000000 616263 07000000 00000000",
                   "GameSave: Slot = (empty); OnLoadPage = \"abc\"; OnLoadTarget = 7; Caption = (empty) []"},
        // Kind, Time, Reverse, Select, 1 name, ClearOld, Param0, Param1,
        // Mask, EventLock; Time is 500.
        HandRecord{"Flip107", 107,
                   "0d 01000000 00 00 05000000 00000000 01000000 01 07000000 5f5f5f5f617267 01000000 01 f4010000"
                   "00000000 00000000 01000000 00000000 00000000 00000000 00000000 00000000 00000000",
                   "Flip: Kind = (empty); Time = ____arg := 500; Reverse = (empty); Select = (empty); Names = 1 item(s); "
                   "[0] (empty); ClearOld = (empty); Param0 = (empty); Param1 = (empty); Mask = (empty); EventLock = (empty) []"},
        HandRecord{"VarNew", 110, "0f 01000000 00 00 05000000 01000000 61 04 00000000 03",
                   "VarNew: Name = \"a\"; Type = 4; Initial = (empty); Scope = 3 []"},
        HandRecord{"Reset", 110, "29 01000000 00 00 05000000 02000000 7a7a 09000000 01",
                   "Reset: PageName = \"zz\"; PC = 9; ClearStack = 1 []"},
        // SaveCabinet with PR_NAME, Invert, and an unsigned count of two name
        // expressions.
        HandRecord{"SaveCabinet", 110, "3b 01000000 00 00 05000000 00000000 00000000 02000000 00000000 00000000",
                   "SaveCabinet: PR_NAME (0) = (empty); Invert = (empty); Names = 2 item(s); [0] (empty); "
                   "[1] (empty) []"},
        // Records of one expression (1 op: ____arg := 9) or none.
        HandRecord{"GameLoad", 110,
                   "27 01000000 00 00 05000000 01000000 01 07000000 5f5f5f5f617267 01000000 01 09000000",
                   "GameLoad: Slot = ____arg := 9 []"},
        HandRecord{"Calc", 110, "0e 01000000 00 00 05000000 01000000 01 01000000 61 01000000 03 01",
                   "Calc: Expression = a := TRUE []"},
        HandRecord{"VarDel", 110, "10 01000000 00 00 05000000 02000000 8140", "VarDel: Name = \"\xe3\x80\x80\" []"},
        HandRecord{"PCReset", 110, "28 01000000 00 00 05000000 00000000 feffffff 00",
                   "PCReset: PageName = \"\"; PC = -2; ClearStack = 0 []"},
        HandRecord{"WhileLoop", 110, "21 01000000 00 00 05000000 00000000 03000000",
                   "WhileLoop: Step = (empty); LoopTarget = 3 [continue]"},
        HandRecord{"Terminate", 110, "2d 01000000 00 00 05000000", "Terminate: []"},
        HandRecord{"ClrRead", 110, "2f 01000000 00 00 05000000", "ClrRead: []"},
        HandRecord{"Else", 110, "02 01000000 00 00 05000000", "Else: [continue]"},
        HandRecord{"DoEvent", 110, "2e 01000000 00 01 05000000", "DoEvent: [yield]"},
        HandRecord{"TextClr", 110, "1c 01000000 00 00 05000000 00000000", "TextClr: Window = (empty) []"},
        HandRecord{"MenuClose", 110, "1a 01000000 00 00 05000000 00000000", "MenuClose: MenuName = (empty) []"},
        HandRecord{"MediaPlay", 110, "37 01000000 00 00 05000000 00000000", "MediaPlay: ObjectName = (empty) []"},
        HandRecord{"LoadCabinet", 110, "3c 01000000 00 00 05000000 00000000 00000000 00000000",
                   "LoadCabinet: PR_NAME (0) = (empty); Invert = (empty); Names = 0 item(s) []"},
        // Comment: Skip is always answered true, Continue false; the stored
        // flags stay as read.
        HandRecord{"Comment", 110, "1b 01000000 00 01 05000000 01000000 78", "Comment: Text = \"x\" [skip]"},
        HandRecord{"TextIns106", 106, "14 01000000 00 00 05000000 03000000 4b7357 00000000 00000000 00000000",
                   "TextIns: Text = 4b7357 (3 bytes); Window = (empty); ReadMark = (empty); Wait = (empty); "
                   "EventLock = (not stored) []"}),
    [](const auto& info) { return std::string(info.param.label); });

// Bad counts inside records raise before allocating; the page is unchanged.
class BadRecords : public ::testing::TestWithParam<const char*> {};

TEST_P(BadRecords, RaiseReadErrorAndLeaveThePage) {
  TPage page;
  LoadPage(page, OneCommandPage(110, "06"));
  const auto before = SavePage(page);
  TKsMemoryStream in(FromHex("6e000000 00 00000000 15000000 01000000" + std::string(GetParam())));
  EXPECT_THROW(page.LoadFromStream(in), EReadError);
  EXPECT_EQ(SavePage(page), before);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BadRecords,
    ::testing::Values(
        // Call with a negative argument count, and one beyond the bytes left
        "05 00000000 00 00 00000000 00000000 00000000 00000000 00000000 ffffffff",
        "05 00000000 00 00 00000000 00000000 00000000 00000000 00000000 ffffff7f 00000000",
        // TextIns with a negative byte count and one beyond the bytes left
        "14 00000000 00 00 00000000 feffffff",
        "14 00000000 00 00 00000000 10000000 00",
        // Flip with an unsigned name count of 2^32 - 1
        "0d 00000000 00 00 00000000 00000000 00000000 00000000 00000000 ffffffff",
        // SaveCabinet (no properties in this page) with a name count beyond
        // the bytes left
        "3b 00000000 00 00 00000000 00000000 00000100",
        // a record cut short
        "07 00000000 00 00"),
    [](const auto& info) { return test::IndexedCaseName(info.index, ""); });

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
  void SetUp() override {
    ASSERT_EQ(test::RunPython("fixtures/page_fixture.py", {"make", dir_.path()}).exit_code, 0);
  }
  test::TempDir dir_;
};

TEST_F(PythonPages, LoadWithTheFieldsTheWriterDescribes) {
  for (const char* name : {"page_a", "page_b", "page_c", "page_d", "page_e"}) {
    SCOPED_TRACE(name);
    TPage page;
    page.LoadFromFile(dir_ / (std::string(name) + ".osb"));
    const std::string ours = dir_ / (std::string(name) + ".ours.json");
    test::WriteFileBytes(ours, test::Bytes(PageToJson(page)));
    const auto r = test::RunCommand(
        {ORBA_PYTHON, "-c", kCompare, ours, dir_ / (std::string(name) + ".json")});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "same\n");
  }
  // page_a uses 61 records of 21 bytes and only operand codes 0 to 4: read
  // then written, it gives the same bytes.
  const auto bytes = test::ReadFileBytes(dir_ / "page_a.osb");
  TPage page;
  LoadPage(page, bytes);
  EXPECT_EQ(test::ToHex(SavePage(page)), test::ToHex(bytes));
}

// The tool lists pages as text or JSON; a page too old for loading is named
// so; a missing page or a missing file name is an error.
TEST_F(PythonPages, ToolListsThePages) {
  const auto text = test::RunOrbaTool({"page", "dump", dir_ / "page_a.osb"});
  const auto json = test::RunOrbaTool({"page", "dump", "--json", dir_ / "page_b.osb"});
  const auto old = test::RunOrbaTool({"page", "dump", dir_ / "page_e.osb"});
  EXPECT_EQ(std::make_tuple(text.exit_code, json.exit_code, old.exit_code), std::make_tuple(0, 0, 0));
  EXPECT_NE(text.output.find("PR_LEFT (3) = ____0 := x * 2; ____1 := ____0 + -5; ____arg := ____1"), std::string::npos);
  EXPECT_EQ(json.output.rfind("{\"file\":", 0), 0u);
  EXPECT_NE(old.output.find("too old"), std::string::npos);
  EXPECT_NE(test::RunOrbaTool({"page", "dump", dir_ / "missing.osb"}).exit_code, 0);
  EXPECT_NE(test::RunOrbaTool({"page"}).exit_code, 0);
}

}  // namespace
}  // namespace orba
