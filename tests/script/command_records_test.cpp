#include <gtest/gtest.h>

#include <tuple>

#include "authoring/page_dump.h"
#include "core/errors.h"
#include "core/streams/stream_encoding.h"
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

void SetResult(TOrbaParser& e, int32_t value) {
  e.Clear();
  TOpeData* op = e.AddOp();
  op->Op = ocTo;
  op->Dest = "____arg";
  op->AddInt(value);
}

// Fills every field a command visits with a value of its own, so that a
// field read into the wrong place shows up.
class TFiller final : public TRecordIO {
 public:
  TFiller() : TRecordIO(1000) {}
  int32_t next = 1;

  void Expr(const char*, TOrbaParser& e, int32_t) override {
    SetResult(e, next++);
    TOpeData* op = e.AddOp();
    op->Op = ocFunc;
    op->FuncId = static_cast<uint8_t>(next++ % kFuncCount);
    op->Dest = "____0";
    op->AddVar("\x95\xcf\x90\x94");  // 変数
    op->AddFloat(0.25L * next++);
    op->AddFlag(true);
    op->AddStr("t");
  }
  void Str(const char*, std::string& v) override { v = "s" + std::to_string(next++) + "\x82\xa0"; }
  void Int(const char*, int32_t& v, int32_t) override { v = -1000 * next++; }
  void Byte(const char*, uint8_t& v) override { v = static_cast<uint8_t>(next++); }
  void ExprList(const char* name, std::vector<std::unique_ptr<TOrbaParser>>& list, bool) override {
    list.clear();
    for (int i = 0; i < 2; ++i) {
      list.push_back(std::make_unique<TOrbaParser>());
      Expr(name, *list.back(), 0);
    }
  }
  void Blob(const char*, TKsMemoryStream& b) override {
    b.Clear();
    const uint8_t bytes[] = {1, 2, 3, static_cast<uint8_t>(next++)};
    b.WriteBuffer(bytes, sizeof bytes);
  }
  void PropExpr(uint8_t, TOrbaParser& e) override { Expr("", e, 0); }
};

// A page holding every one of the 61 commands with every field filled; with
// `small`, object-creating commands carry only PR_NAME and PR_LEFT.
std::unique_ptr<TPage> AllCommandsPage(int32_t version, bool small = false) {
  auto page = std::make_unique<TPage>();
  page->Version = version;
  if (small) {
    for (TPropMask& m : page->PropertyMasks) {
      if (m != TPropMask{}) m = TPropMask{0x09};
    }
  }
  page->ResultType = PT_STR;
  TFiller filler;
  for (int op = 0; op < kOpcodeCount; ++op) {
    TCommand* c = page->AddCommand(static_cast<uint8_t>(op));
    c->Depth = op - 3;
    c->Skip = op % 2;
    c->Continue = (op / 2) % 2;
    c->Line = 1000 + op;
    c->Fields(filler);
  }
  return page;
}

class AllCommands : public ::testing::TestWithParam<int32_t> {};

TEST_P(AllCommands, WriteReadDumpAndWriteAgainByteForByte) {
  auto page = AllCommandsPage(GetParam());
  const auto bytes = SavePage(*page);
  TPage loaded;
  LoadPage(loaded, bytes);
  ASSERT_EQ(loaded.Commands.Count(), kOpcodeCount);
  for (int op = 0; op < kOpcodeCount; ++op) {
    EXPECT_EQ(loaded.Commands.GetItem(op)->GetOpcode(), op);
    EXPECT_STREQ(CommandClassName(static_cast<uint8_t>(op)),
                 CommandClassName(page->Commands.GetItem(op)->GetOpcode()));
  }
  EXPECT_EQ(PageToJson(loaded), PageToJson(*page));
  EXPECT_EQ(ToHex(SavePage(loaded)), ToHex(bytes));
}

INSTANTIATE_TEST_SUITE_P(Versions, AllCommands, ::testing::Values(106, 107, 108, 111, 115));

// Each gated field is stored from its version on: one empty expression (or
// one int32) more in the record.
struct GateCase {
  uint8_t opcode;
  int32_t since;
};

class VersionGates : public ::testing::TestWithParam<GateCase> {};

TEST_P(VersionGates, FieldAppearsAtItsVersion) {
  auto record_size = [&](int32_t version) {
    TPage page;
    page.Version = version;
    page.AddCommand(GetParam().opcode);
    return SavePage(page).size();
  };
  EXPECT_EQ(record_size(GetParam().since), record_size(GetParam().since - 1) + 4);
  EXPECT_EQ(record_size(kNewestPageVersion), record_size(GetParam().since));
}

INSTANTIATE_TEST_SUITE_P(Commands, VersionGates,
                         ::testing::Values(GateCase{OP_Wait, 107}, GateCase{OP_GameSave, 105},
                                           GateCase{OP_MovieStop, 107}, GateCase{OP_TextIns, 107},
                                           GateCase{OP_Flip, 107}, GateCase{OP_PropMotion, 108},
                                           GateCase{OP_CallHist, 111}, GateCase{OP_FormatHist, 111}));

// Records worked out by hand (header: Depth 1, Skip 0, Continue 0, Line 5).
struct HandRecord {
  const char* label;
  int32_t version;
  const char* hex;  // opcode byte and record
  void (*check)(TCommand&);
};

class HandRecords : public ::testing::TestWithParam<HandRecord> {};

TEST_P(HandRecords, ReadAndWriteBack) {
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
  TCommand& cmd = *page.Commands.GetItem(0);
  EXPECT_EQ(std::make_tuple(cmd.Depth, cmd.Line), std::make_tuple(1, 5));

  c.check(cmd);
  // The writer keeps 61 bitmaps of 21 bytes; the commands follow as read.
  const auto saved = SavePage(page);
  const size_t tail = commands.size();
  EXPECT_EQ(ToHex(std::vector<uint8_t>(saved.end() - tail, saved.end())),
            ToHex(std::vector<uint8_t>(bytes.end() - tail, bytes.end())));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HandRecords,
    ::testing::Values(
        HandRecord{"GameSave104", 104,
                   "26 01000000 00 00 05000000  00000000 03000000 616263 00000000",
                   [](TCommand& c) {
                     auto& g = dynamic_cast<TComGameSave&>(c);
                     EXPECT_EQ(std::make_tuple(g.OnLoadPage, g.OnLoadTarget, g.GetContinue()),
                               std::make_tuple(std::string("abc"), 0, false));
                   }},
        HandRecord{"GameSave105", 105,
                   "26 01000000 00 00 05000000  00000000 03000000 616263 07000000 00000000",
                   [](TCommand& c) { EXPECT_EQ(dynamic_cast<TComGameSave&>(c).OnLoadTarget, 7); }},
        // Kind, Time, Reverse, Select, 1 name, ClearOld, Param0, Param1,
        // Mask, EventLock; Time is 500.
        HandRecord{"Flip107", 107,
                   "0d 01000000 00 00 05000000  00000000"
                   "01000000 01 07000000 5f5f5f5f617267 01000000 01 f4010000"
                   "00000000 00000000 01000000 00000000 00000000 00000000 00000000 00000000 00000000",
                   [](TCommand& c) {
                     auto& f = dynamic_cast<TComFlip&>(c);
                     EXPECT_EQ(std::make_tuple(f.Time.GetOp(0)->Operands[0]->GetAsInt(), f.Names.size(), f.EventLock.Empty()),
                               std::make_tuple(500, size_t{1}, true));
                   }},
        HandRecord{"VarNew", 110,
                   "0f 01000000 00 00 05000000  01000000 61 04 00000000 03",
                   [](TCommand& c) {
                     auto& v = dynamic_cast<TComVarNew&>(c);
                     EXPECT_EQ(std::make_tuple(v.Name, int(v.Type), int(v.Scope)), std::make_tuple(std::string("a"), 4, 3));
                   }},
        HandRecord{"Reset", 110, "29 01000000 00 00 05000000  02000000 7a7a 09000000 01",
                   [](TCommand& c) {
                     auto& r = dynamic_cast<TComPCReset&>(c);
                     EXPECT_EQ(std::make_tuple(int(r.GetOpcode()), r.PageName, r.PC, int(r.ClearStack)),
                               std::make_tuple(int(OP_Reset), std::string("zz"), 9, 1));
                   }},
        // SaveCabinet with PR_NAME, Invert, and an unsigned count of two name
        // expressions.
        HandRecord{"SaveCabinet", 110,
                   "3b 01000000 00 00 05000000  00000000 00000000 02000000 00000000 00000000",
                   [](TCommand& c) {
                     auto& cab = dynamic_cast<TComCabinetSave&>(c);
                     EXPECT_EQ(std::make_tuple(cab.Expressions[PR_NAME] != nullptr, cab.Expressions[PR_LEFT] != nullptr,
                                               cab.Names.size()),
                               std::make_tuple(true, false, size_t{2}));
                   }},
        // Records of one expression (1 op: ____arg := 9) or none.
        HandRecord{"GameLoad", 110,
                   "27 01000000 00 00 05000000  01000000 01 07000000 5f5f5f5f617267 01000000 01 09000000",
                   [](TCommand& c) {
                     EXPECT_EQ(dynamic_cast<TComGameLoad&>(c).Slot.GetOp(0)->Operands[0]->GetAsInt(), 9);
                     EXPECT_FALSE(c.GetContinue());
                   }},
        HandRecord{"Calc", 110, "0e 01000000 00 00 05000000  01000000 01 01000000 61 01000000 03 01",
                   [](TCommand& c) {
                     EXPECT_TRUE(dynamic_cast<TComCalc&>(c).Expression.GetOp(0)->Operands[0]->GetAsFlag());
                   }},
        HandRecord{"VarDel", 110, "10 01000000 00 00 05000000  02000000 8140",
                   [](TCommand& c) { EXPECT_EQ(dynamic_cast<TComVarDel&>(c).Name, "\x81\x40"); }},
        HandRecord{"PCReset", 110, "28 01000000 00 00 05000000  00000000 feffffff 00",
                   [](TCommand& c) {
                     auto& r = dynamic_cast<TComPCReset&>(c);
                     EXPECT_EQ(std::make_tuple(int(r.GetOpcode()), r.PC), std::make_tuple(int(OP_PCReset), -2));
                   }},
        HandRecord{"WhileLoop", 110, "21 01000000 00 00 05000000  00000000 03000000",
                   [](TCommand& c) {
                     EXPECT_EQ(std::make_tuple(dynamic_cast<TComWhileLoop&>(c).LoopTarget, c.GetContinue()), std::make_tuple(3, true));
                   }},
        HandRecord{"Terminate", 110, "2d 01000000 00 00 05000000", [](TCommand& c) {}},
        HandRecord{"ClrRead", 110, "2f 01000000 00 00 05000000", [](TCommand& c) {}},
        HandRecord{"Else", 110, "02 01000000 00 00 05000000",
                   [](TCommand& c) { EXPECT_TRUE(c.GetContinue()); }},
        HandRecord{"DoEvent", 110, "2e 01000000 00 01 05000000",
                   [](TCommand& c) { EXPECT_EQ(std::make_tuple(c.GetContinue(), c.GetYield()), std::make_tuple(false, true)); }},
        HandRecord{"TextClr", 110, "1c 01000000 00 00 05000000  00000000", [](TCommand& c) {}},
        HandRecord{"MenuClose", 110, "1a 01000000 00 00 05000000  00000000", [](TCommand& c) {}},
        HandRecord{"MediaPlay", 110, "37 01000000 00 00 05000000  00000000", [](TCommand& c) {}},
        HandRecord{"LoadCabinet", 110,
                   "3c 01000000 00 00 05000000  00000000 00000000 00000000",
                   [](TCommand& c) { EXPECT_TRUE(dynamic_cast<TComCabinetLoad&>(c).Names.empty()); }},
        // Comment: Skip is always answered true, Continue false; the stored
        // flags stay as read.
        HandRecord{"Comment", 110, "1b 01000000 00 01 05000000  01000000 78",
                   [](TCommand& c) {
                     EXPECT_EQ(std::make_tuple(c.GetSkip(), c.GetContinue(), int(c.Continue), dynamic_cast<TComComment&>(c).Name),
                               std::make_tuple(true, false, 1, std::string("x")));
                   }},
        HandRecord{"TextIns106", 106,
                   "14 01000000 00 00 05000000  03000000 4b7357 00000000 00000000 00000000",
                   [](TCommand& c) {
                     auto& t = dynamic_cast<TComTextIns&>(c);
                     EXPECT_EQ(std::make_tuple(t.Text.Bytes(), t.EventLock.Empty()), std::make_tuple(test::Bytes("KsW"), true));
                   }}),
    [](const auto& info) { return std::string(info.param.label); });

// The property sets that the built-in bitmaps give the object-creating
// commands, as the command table names them.
struct BuiltinSet {
  uint8_t opcode;
  std::vector<std::string> props;
};

class BuiltinBitmaps : public ::testing::TestWithParam<BuiltinSet> {};

TEST_P(BuiltinBitmaps, NewCommandsHoldExactlyTheseExpressions) {
  TPage page;
  auto& c = dynamic_cast<TComComponent&>(*page.AddCommand(GetParam().opcode));
  std::vector<std::string> present;
  for (int id = 0; id < kPropCount; ++id) {
    if (c.Expressions[id]) present.push_back(std::string(PropNames[id]).substr(3));
  }
  EXPECT_EQ(present, GetParam().props);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BuiltinBitmaps,
    ::testing::Values(
        BuiltinSet{OP_Timer, {"NAME", "DELAY", "PAUSED", "ONNOTIFY", "AUTOSCRAP", "TAG"}},
        BuiltinSet{OP_Sound, {"NAME", "SOURCE", "DELAY", "PAUSED", "VOLUME", "REPEAT", "BALANCE",
                              "ONPLAYEND", "INDEX", "AUTOSCRAP", "REWINDONLOAD", "TAG", "MUTEONLOAD",
                              "REPEATPOS"}},
        BuiltinSet{OP_EditNew, {"NAME", "PARENT", "LEFT", "TOP", "WIDTH", "HEIGHT", "COLOR",
                                "OFFSETX", "OFFSETY", "FONTNAME", "FONTHEIGHT", "FONTSTYLE",
                                "FONTCOLOR", "PAUSED", "ONNOTIFY", "VISIBLE", "TEXT", "READONLY",
                                "TAG"}},
        BuiltinSet{OP_LoadCabinet, {"NAME"}}));

// Bad counts inside records raise before allocating; the page is unchanged.
class BadRecords : public ::testing::TestWithParam<const char*> {};

TEST_P(BadRecords, RaiseReadErrorAndLeaveThePage) {
  auto page = AllCommandsPage(110);
  const auto before = SavePage(*page);
  std::vector<uint8_t> bytes = FromHex("6e000000 00 00000000 15000000 01000000" + std::string(GetParam()));
  TKsMemoryStream in(bytes);
  EXPECT_THROW(page->LoadFromStream(in), EReadError);
  EXPECT_EQ(SavePage(*page), before);
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
        "07 00000000 00 00"));

// Damaged pages of every command end in read errors only.
TEST(AllCommandsDamaged, RaiseReadErrorsOnly) {
  const auto bytes = SavePage(*AllCommandsPage(115, true));
  int failures = 0;
  auto attempt = [&](const std::vector<uint8_t>& data) {
    TPage page;
    TKsMemoryStream in(data);
    try {
      page.LoadFromStream(in);
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
      data[pos] ^= value == 0 ? data[pos] : value;
      attempt(data);
    }
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace orba
