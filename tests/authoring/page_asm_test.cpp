#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>

#include "authoring/ksword_stream_writer.h"
#include "authoring/page_asm.h"
#include "authoring/page_dump.h"
#include "core/streams/stream_encoding.h"
#include "script/expr/expr_compiler.h"
#include "script/interp/com_component.h"
#include "script/interp/com_flow.h"
#include "script/interp/com_object.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ToHex;

std::vector<uint8_t> SavePage(const TPage& page) {
  TKsMemoryStream s;
  page.SaveToStream(s);
  return s.TakeBytes();
}

std::unique_ptr<TPage> Assemble(const std::string& text, const TListingLookup& others = {}) {
  return AssemblePage(ParsePageListing(text, "t.osb.txt", "t.osb"), others);
}

void Compiled(const std::string& text, TOrbaParser& e) { ASSERT_TRUE(CompileText(text, e)) << text; }

// Writes a listing line that gives every field of a command a value of its
// own, and sets the same values on a command built directly, as the page
// writer would hold them.
class TListingFiller final : public TRecordIO {
 public:
  TListingFiller(int32_t version, std::string& line) : TRecordIO(version), line_(line) {}
  int n = 1;

  void Expr(const char* name, TOrbaParser& e, int32_t since) override {
    if (!Stored(since)) return;
    const std::string text = "x = " + std::to_string(n++) + " * y";
    line_ += std::string(" ") + name + "={" + text + "}";
    Compiled(text, e);
  }
  void Str(const char* name, std::string& v) override {
    v = "s" + std::to_string(n++) + "\x82\xa0";  // あ
    line_ += std::string(" ") + name + "=\"" + v + "\"";
  }
  void Int(const char* name, int32_t& v, int32_t since) override {
    if (!Stored(since)) return;
    v = -7 * n++;
    line_ += std::string(" ") + name + "=" + std::to_string(v);
  }
  void Byte(const char* name, uint8_t& v) override {
    v = static_cast<uint8_t>(n++);
    line_ += std::string(" ") + name + "=" + std::to_string(v);
  }
  void ExprList(const char* name, std::vector<std::unique_ptr<TOrbaParser>>& list, bool) override {
    const std::string a = std::to_string(n++), b = "\"p;q\" ++ z";
    line_ += std::string(" ") + name + "={" + a + "; " + b + "}";
    list.clear();
    for (const std::string& t : {a, b}) {
      list.push_back(std::make_unique<TOrbaParser>());
      Compiled(t, *list.back());
    }
  }
  void Blob(const char* name, TKsMemoryStream& bytes) override {
    const std::string text = "\x82\xa0\x82\xa2\x82\xa4\r\nN" + std::to_string(n++);  // あいう
    line_ += std::string(" ") + name + "=\"\x82\xa0\x82\xa2\x82\xa4\\nN" + std::to_string(n - 1) + "\"";
    bytes.Clear();
    WriteKsWordText(bytes, text);
  }
  // The first two properties an object-creating command carries, by their
  // names without "PR_" in mixed case.
  void PropExpr(uint8_t id, TOrbaParser& e) override {
    if (props_++ >= 2) return;
    std::string key = std::string(PropNames[id]).substr(3);
    for (size_t i = 1; i < key.size(); ++i) key[i] = static_cast<char>(std::tolower(key[i]));
    const std::string text = std::to_string(n++) + " + 1";
    line_ += " " + key + "={" + text + "}";
    Compiled(text, e);
  }
  void NextCommand() { props_ = 0; }

 private:
  std::string& line_;
  int props_ = 0;
};

class AllOpcodes : public ::testing::TestWithParam<int32_t> {};

TEST_P(AllOpcodes, ListingAssemblesToThePageWriterBytesAndDumpsBack) {
  const int32_t version = GetParam();
  TPage expected;
  expected.Name = "t.osb";
  expected.Version = version;
  expected.ResultType = PT_STR;
  std::string listing = ".version " + std::to_string(version) + "\n.result str\n# every command\n";
  int32_t line_no = 3;
  for (int op = 0; op < kOpcodeCount; ++op) {
    TCommand* c = expected.AddCommand(static_cast<uint8_t>(op));
    c->Depth = op % 3;
    c->Skip = op % 2;
    c->Continue = (op / 2) % 2;
    c->Line = ++line_no;
    std::string line = std::string(static_cast<size_t>(2 * c->Depth), ' ') + OpcodeNames[op] +
                       " Skip=" + std::to_string(c->Skip) + " Continue=" + std::to_string(c->Continue);
    TListingFiller filler(version, line);
    c->Fields(filler);
    listing += line + "\n";
  }
  std::unique_ptr<TPage> page = Assemble(listing);
  EXPECT_EQ(PageToJson(*page), PageToJson(expected));
  const std::vector<uint8_t> bytes = SavePage(*page);
  EXPECT_EQ(ToHex(bytes), ToHex(SavePage(expected)));

  TPage loaded;
  TKsMemoryStream in(bytes);
  loaded.LoadFromStream(in);
  loaded.Name = "t.osb";
  EXPECT_EQ(PageToJson(loaded), PageToJson(expected));

  // Damaged, the page of every command ends in read errors only: cut short,
  // and with bytes after the bitmaps cleared or changed.
  int failures = 0;
  auto attempt = [&](const std::vector<uint8_t>& data) {
    TPage page;
    TKsMemoryStream damaged(data);
    try {
      page.LoadFromStream(damaged);
    } catch (const EReadError&) {
      ++failures;
    }
  };
  for (size_t len = 0; len < bytes.size(); len += 17) {
    attempt(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len)));
  }
  for (size_t pos = 1300; pos < bytes.size(); pos += 13) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0xfe}}) {
      std::vector<uint8_t> data = bytes;
      data[pos] = value == 0 ? 0 : data[pos] ^ value;
      attempt(data);
    }
  }
  EXPECT_GT(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, AllOpcodes, ::testing::Values(106, 107, 108, 111, 115),
                         ::testing::PrintToStringParamName());

// The command at Index as class T; a command of another class stops the test
// with a failure instead of reading through a null pointer.
template <typename T>
T& At(TPage& page, int32_t index) {
  auto* c = dynamic_cast<T*>(page.Commands.GetItem(index));
  if (c == nullptr) throw std::runtime_error("command " + std::to_string(index) + " is of another class");
  return *c;
}

TEST(PageAsm, LabelsLoopsAndTargetsResolve) {
  const std::string text =
      "*top\n"                                    // 0
      "WhileInit Init={i = 0}\n"                  // 1
      "While Condition={i < 10}\n"                // 2
      "  While Condition={j < 3}\n"               // 3
      "    Break Condition={j == 2}\n"            // 4
      "  WhileLoop Step={j = j + 1}\n"            // 5
      "  Continue Condition={i == 5}\n"           // 6
      "  Break\n"                                 // 7
      "WhileLoop Step={i = i + 1}\n"              // 8
      "Jump top Condition={i > 3}\n"              // 9
      "Jump other.osb:entry\n"                    // 10
      "Call Target=bottom ResultVar=r\n"          // 11
      "GameSave Slot=1 OnLoadPage=other.osb OnLoadTarget=entry Caption=\"c\"\n"  // 12
      "PCReset PageName=\"\" PC=top\n"            // 13
      "Label Name=\"bottom\"\n";                  // 14
  TPageListing other = ParsePageListing("Calc Expression={a = 1}\n*entry\n", "other.osb.txt", "other.osb");
  auto page = Assemble(text, [&](const std::string& name) { return name == "other.osb" ? &other : nullptr; });
  ASSERT_EQ(page->Commands.Count(), 15);
  // The resolved targets of commands 2 to 13, then the label's index.
  EXPECT_EQ((std::vector<int32_t>{At<TComWhile>(*page, 2).ExitTarget, At<TComWhile>(*page, 3).ExitTarget,
                                  At<TComBreak>(*page, 4).Target, At<TComWhileLoop>(*page, 5).LoopTarget,
                                  At<TComContinue>(*page, 6).Target, At<TComBreak>(*page, 7).Target,
                                  At<TComWhileLoop>(*page, 8).LoopTarget, At<TComJump>(*page, 9).Target,
                                  At<TComJump>(*page, 10).Target, At<TComCall>(*page, 11).Target,
                                  At<TComGameSave>(*page, 12).OnLoadTarget, At<TComPCReset>(*page, 13).PC,
                                  page->FindLabel("bottom")}),
            (std::vector<int32_t>{9, 6, 6, 3, 8, 9, 2, 0, 1, 14, 1, 0, 14}));
  EXPECT_EQ(At<TComJump>(*page, 9).PageName + "|" + At<TComJump>(*page, 10).PageName + "|" +
                At<TComCall>(*page, 11).PageName,
            "t.osb|other.osb|t.osb");
  // Depth follows the indentation; an unconditional Break or Jump gets the
  // condition TRUE, an If keeps an empty one.
  EXPECT_EQ(page->Commands.GetItem(4)->Depth, 2);
  EXPECT_EQ(ExpressionToText(At<TComBreak>(*page, 7).Condition), "____arg := TRUE");
  EXPECT_EQ(ExpressionToText(At<TComJump>(*page, 10).Condition), "____arg := TRUE");
  EXPECT_TRUE(At<TComIf>(*Assemble("If\n"), 0).Condition.Empty());
}

TEST(PageAsm, PropertiesByNameGrowTheBitmapAndContinuationLinesJoin) {
  auto page = Assemble(
      "Timer Name=\"t\" \\\n"
      "      PR_LEFT=5 top={1 + 2} Delay=100\n"
      "TextIns Text=\"a\"\n");
  ASSERT_EQ(page->Commands.Count(), 2);
  auto& timer = At<TComTimer>(*page, 0);
  EXPECT_TRUE(page->HasProp(OP_Timer, PR_LEFT) && page->HasProp(OP_Timer, PR_TOP));
  EXPECT_FALSE(page->HasProp(OP_Timer, PR_WIDTH));
  ASSERT_TRUE(timer.Expressions[PR_LEFT]);
  EXPECT_EQ(ExpressionToText(*timer.Expressions[PR_LEFT]), "____arg := 5");
  EXPECT_EQ(ExpressionToText(*timer.Expressions[PR_DELAY]), "____arg := 100");
  EXPECT_EQ(std::make_tuple(timer.Line, page->Commands.GetItem(1)->Line), std::make_tuple(1, 3));
  EXPECT_TRUE(At<TComTextIns>(*page, 1).ReadMark.Empty());
}

// "構文エラー"
constexpr char kSyntaxError[] = "\x8d\x5c\x95\xb6\x83G\x83\x89\x81[";

struct ErrorCase {
  const char* listing;
  int32_t line;
  const char* text;
};

class AsmErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(AsmErrors, NameTheFileAndLine) {
  try {
    Assemble(GetParam().listing);
    FAIL() << "no error for: " << GetParam().listing;
  } catch (const EAsmError& e) {
    EXPECT_EQ(e.File, "t.osb.txt");
    EXPECT_EQ(e.Line, GetParam().line);
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("t.osb.txt:" + std::to_string(GetParam().line) + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(GetParam().text), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Listings, AsmErrors,
    ::testing::Values(
        ErrorCase{"# c\nFrobnicate x=1\n", 2, "unknown command"},
        ErrorCase{"Calc Expression={a = 1} Colour=3\n", 1, "unknown field \"Colour\" of Calc"},
        ErrorCase{"\nBoxNew Name=\"b\" Sparkle=3\n", 2, "unknown property \"Sparkle\""},
        ErrorCase{"Calc\nCalc Expression={a = b = 1}\n", 2, kSyntaxError},
        ErrorCase{"If Condition={(1 + 2}\n", 1, kSyntaxError},
        ErrorCase{"Calc Expression={x = nosuchfunc(1)}\n", 1, "nosuchfunc"},
        ErrorCase{"Jump nowhere\n", 1, "no label \"nowhere\""},
        ErrorCase{"Jump other.osb:x\n", 1, "no such page"},
        ErrorCase{"*a\nCalc\n*a\n", 3, "defined twice (first on line 1)"},
        ErrorCase{"Calc\nWhileLoop\n", 2, "WhileLoop without its While"},
        ErrorCase{"Calc\nWhile Condition=TRUE\n  Calc\n", 2, "While without its WhileLoop"},
        ErrorCase{"Break\n", 1, "outside a While block"},
        ErrorCase{"Calc\n   Calc\n", 2, "indentation"},
        ErrorCase{"Calc Expression={\"abc}\n", 1, "closing quote"},
        ErrorCase{"Calc Expression={a = 1\n", 1, "\"}\""},
        ErrorCase{".version 106\nWait Time=1 HoldEvents=TRUE\n", 2, "from page version 107"},
        ErrorCase{"Calc\n.version 110\n", 2, "before the first command"},
        ErrorCase{".version 99\n", 1, ".version"},
        ErrorCase{"VarNew Name=a Type=list\n", 1, "Type must be"},
        ErrorCase{"Calc Expression={a = 1} Expression={a = 2}\n", 1, "given twice"},
        ErrorCase{"Jump a b\n*a\n*b\n", 1, "more than one target"},
        ErrorCase{"Calc \\\n  Expression={a = }\n", 1, "Expression"}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.text); });

// Listings made of random pieces of the syntax either assemble or raise the
// listing error; nothing else escapes and nothing reads out of bounds.
TEST(PageAsm, RandomListingsAssembleOrRaiseTheListingError) {
  static const char* const kPieces[] = {
      "If", "While", "WhileLoop", "Break", "Jump", "Call", "TextIns", "BoxNew", "Flip", "VarNew", "*",
      ".version 107", ".result", " ", "  ", "\t", "\n", "\\", "{", "}", "\"", "=", ":", ";", "x",
      "Condition=", "Target=", "Names=", "Text=", "Left=", "Type=", "Skip=", "1", "-", "(", ")",
      "\x82", "\x82\xa0", "\x83\x5c", "#"};
  std::mt19937 random(7);
  int assembled = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int pieces = static_cast<int>(random() % 40);
    for (int i = 0; i < pieces; ++i) text += kPieces[random() % std::size(kPieces)];
    try {
      Assemble(text);
      ++assembled;
    } catch (const EAsmError&) {
    }
  }
  EXPECT_GT(assembled, 0);
}

TEST(KsWordWriter, CharactersAndLineBreaksByHand) {
  TKsMemoryStream s;
  WriteKsWordText(s, "<WAIT VALUE=30>a\x82\xa0<BR>\x83\x5c</WAIT>");  // a あ BR ソ (trail byte 0x5C)
  const char* expected =
      "4b 73 57 6f 72 64 31 30 32"  // "KsWord102"
      " 01 00 00 00"                 // one style
      " 03 00 00 00 ff ff ff ff ff ff ff ff 00 00 00 00 00 00 ff ff ff ff"
      " 00 00 00 00 00 00 00 00 ff ff ff ff ff ff ff ff"
      " 04 00 00 00"                                       // four glyphs
      " 01 00 00 00 00 1e 00 00 00 61 00 00 00 00 00"     // a
      " 01 00 00 00 00 1e 00 00 00 a0 82 00 00 00 00"     // あ
      " 03 00"                                             // line break
      " 01 00 00 00 00 1e 00 00 00 5c 83 00 00 00 00";    // ソ
  EXPECT_EQ(ToHex(s.TakeBytes()), ToHex(test::FromHex(expected)));

  TKsMemoryStream empty;
  WriteKsWordText(empty, "");
  EXPECT_EQ(ToHex(empty.TakeBytes()), ToHex(test::FromHex("4b73576f7264313032 00000000 00000000")));
}

}  // namespace
}  // namespace orba
