// The read marks and the backlog records: their rules and their stored
// forms, with streams of every version the readers tell apart written out
// field by field here.
#include "text/backlog.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "core/errors.h"
#include "script/save/save_sections.h"
#include "support/test_support.h"
#include "text/read_marks.h"

namespace orba {
namespace {

// A little-endian writer of the stored forms.
struct TW {
  std::vector<uint8_t> b;
  TW& I(int32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
    return *this;
  }
  TW& S(const std::string& s) {
    I(static_cast<int32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
};

std::vector<uint8_t> Saved(const std::function<void(TKsBigStream&)>& save) {
  TKsMemoryStream s;
  save(s);
  return s.Bytes();
}

std::unique_ptr<TKsMemoryStream> StreamOf(const std::vector<uint8_t>& bytes) {
  auto s = std::make_unique<TKsMemoryStream>();
  s->MutableBytes() = bytes;
  return s;
}

TEST(ReadMarks, CommitRulesAndKeysWithoutCase) {
  TOrbaReadList marks;
  marks.SetPending("mes", "Main.osb", 3, 0);
  marks.CommitPending("other");  // another context: nothing, still pending
  EXPECT_EQ(marks.Count(), 0);
  EXPECT_EQ(marks.PendingKey, "Main.osb");
  marks.CommitPending("mes");
  EXPECT_TRUE(marks.IsRead("MAIN.OSB", 3, 0));
  EXPECT_FALSE(marks.IsRead("main.osb", 0, 3));
  EXPECT_TRUE(marks.PendingKey.empty());
  marks.SetPending("mes", "main.osb", 3, 0);  // the same pair again: stored once, stays pending
  marks.CommitPending("mes");
  EXPECT_EQ(marks.Item(0).A.size(), 1u);
  EXPECT_EQ(marks.PendingKey, "main.osb");
}

TEST(ReadMarks, StoredFormRoundTripsAndGuardsItsCounts) {
  TOrbaReadList marks;
  marks.SetPending("w", "a.osb", 1, 2);
  marks.CommitPending("w");
  marks.SetPending("w", "a.osb", 5, 0);
  marks.CommitPending("w");
  marks.SetPending("w", "b.osb", 7, 1);
  const std::vector<uint8_t> expected =
      TW().I(1).S("a.osb").I(2).I(1).I(5).I(2).I(0).S("b.osb").I(7).I(1).S("w").b;
  const std::vector<uint8_t> bytes = Saved([&](TKsBigStream& s) { marks.SaveToStream(s); });
  ASSERT_EQ(test::ToHex(bytes), test::ToHex(expected));
  TOrbaReadList loaded;
  auto in = StreamOf(bytes);
  loaded.LoadFromStream(*in, 100);
  EXPECT_EQ(Saved([&](TKsBigStream& s) { loaded.SaveToStream(s); }), bytes);
  // Version 99: empty, whatever follows.
  auto old = StreamOf(bytes);
  loaded.LoadFromStream(*old, 99);
  EXPECT_EQ(loaded.Count(), 0);
  // Counts past the bytes left raise before allocating; the store stays.
  for (const std::vector<uint8_t>& hostile : {TW().I(0x7FFFFFFF).b, TW().I(1).S("k").I(0x10000000).b, TW().I(-1).b}) {
    auto h = StreamOf(hostile);
    TOrbaReadList kept;
    kept.SetPending("w", "k", 1, 1);
    kept.CommitPending("w");
    EXPECT_THROW(kept.LoadFromStream(*h, 103), EReadError);
    EXPECT_TRUE(kept.IsRead("k", 1, 1));
  }
}

TEST(Backlog, RecordsStoreASharedPageNameOnceAndKeepTheNewest) {
  TOrbaHistoryFormat format("");
  TOrbaNewHistory& h = format.History;
  h.Limit = 3;
  for (int32_t i = 0; i < 5; ++i) {
    TPendingMessage m;
    m.WindowName = "mes", m.WindowWidth = 100, m.WindowHeight = 20;
    m.PageName = i < 3 ? "a.osb" : "A.OSB", m.CommandIndex = i, m.PageIndex = i % 2;
    h.SetMessage(m);
    h.AddShownMessage("other", nullptr);  // another window: stays pending
    h.AddShownMessage("mes", nullptr);
  }
  ASSERT_EQ(h.GetSize(), 3);
  // The first two were deleted, each passing its name on.
  EXPECT_EQ(h.Records.Items[0].PageName, "a.osb");
  EXPECT_EQ(h.Records.Items[1].PageName, "");
  EXPECT_EQ(h.Records.Items[2].PageName, "");
  EXPECT_EQ(h.Records.ResolvedName(2), "a.osb");
  EXPECT_EQ(h.Records.Items[2].CommandIndex, 4);
  EXPECT_EQ(h.Records.Items[2].Width, 100);
}

// One history written in the form of each version, and the newest form it
// saves again.
TEST(Backlog, HistoryStreamsOfEachVersionLoadAndSaveTheNewestForm) {
  const auto sheet = [](TW& w, bool var_lines) {
    w.I(2).S("p.osb").I(4).I(0).I(9).I(16);
    if (var_lines) w.S("x=1");
    w.S("").I(4).I(10).I(12).I(8);
    if (var_lines) w.S("");
    w.I(24);
  };
  const auto newest = [&](bool with_sheets, bool var_lines) {
    TW w;
    w.I(2).S("p.osb").I(4).I(0).I(320).I(90).S("").I(5).I(1).I(320).I(90);  // records
    w.S("q.osb").I(6).I(1).I(320).I(90).S("mes");                        // pending
    if (with_sheets) {
      w.I(3).I(16).I(1).I(2).I(200).I(100).I(4).I(7).I(11);
      w.I(1);
      TW s;
      sheet(s, true);
      if (!var_lines) {  // saved again with empty variable lines
        s = TW();
        s.I(2).S("p.osb").I(4).I(0).I(9).I(16).S("").S("").I(4).I(10).I(12).I(8).S("").I(24);
      }
      w.b.insert(w.b.end(), s.b.begin(), s.b.end());
    } else {
      w.I(0).I(0).I(0).I(0).I(0).I(0).I(0).I(0).I(0).I(0);
    }
    w.S(var_lines ? "v=2" : "");
    return w.b;
  };
  for (const int32_t version : {112, 113, 123, 124, 140}) {
    TW w;
    if (version < 113) {
      w.S("dropped").I(2).S("p.osb").S("").I(4).I(5).I(0).I(1).I(320).I(90).I(320).I(90);
    } else {
      w.I(2).S("p.osb").I(4).I(0).I(320).I(90).S("").I(5).I(1).I(320).I(90);
    }
    w.S("q.osb").I(6).I(1).I(320).I(90).S("mes");
    if (version >= 113) {
      w.I(3).I(16).I(1).I(2).I(200).I(100).I(4).I(7).I(11).I(1);
      sheet(w, version >= 124);
    }
    if (version >= 124) w.S("v=2");
    TOrbaHistoryFormat format("f");
    auto in = StreamOf(w.b);
    format.History.LoadFromStream(*in, version);
    EXPECT_EQ(in->GetPosition(), in->GetSize()) << version;
    EXPECT_EQ(test::ToHex(Saved([&](TKsBigStream& s) { format.History.SaveToStream(s); })),
              test::ToHex(newest(version >= 113, version >= 124)))
        << version;
  }
}

TEST(Backlog, FormatsKeepTheDefaultFirstAndRefuseCountsPastTheBytes) {
  TOrbaHistoryFormatManager formats;
  formats.FindOrAdd("wide").Params = {16, 1, 2, 200, 100, 4};
  EXPECT_EQ(formats.Find("WIDE"), nullptr);  // names compare exactly
  const std::vector<uint8_t> bytes = Saved([&](TKsBigStream& s) { formats.SaveToStream(s); });
  TOrbaHistoryFormatManager loaded;
  auto in = StreamOf(bytes);
  loaded.LoadFromStream(*in, 140);
  EXPECT_EQ(Saved([&](TKsBigStream& s) { loaded.SaveToStream(s); }), bytes);
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(loaded.Item(1).Params[hpWidth], 200);
  for (std::vector<uint8_t> hostile : {TW().I(1000).b, TW().I(1).S("").I(0).I(0).I(0).I(0).I(0).I(0).I(0x7FFFFFF).b}) {
    auto h = StreamOf(hostile);
    EXPECT_THROW(loaded.LoadFromStream(*h, 140), EReadError);
    EXPECT_EQ(loaded.Count(), 2);
  }
}

// Holding nothing, both write exactly the empty forms of the save data.
TEST(Backlog, EmptyFormatsAndMarksWriteTheEmptyForms) {
  TOrbaHistoryFormatManager formats;
  TOrbaReadList marks;
  EXPECT_EQ(Saved([&](TKsBigStream& s) { formats.SaveToStream(s); }),
            Saved([](TKsBigStream& s) { TEmptyBacklog().SaveToStream(s); }));
  EXPECT_EQ(Saved([&](TKsBigStream& s) { marks.SaveToStream(s); }),
            Saved([](TKsBigStream& s) { TEmptyReadMarks().SaveToStream(s); }));
}

TEST(Backlog, ExtractRowsTakesThePixelRangeAndPassesEmptySheets) {
  std::vector<TOrbaHistData> sheets(3);
  for (int32_t i = 0; i < 4; ++i)
    sheets[i < 2 ? 0 : 2].AddRow(
        THistRow{.PageName = "p.osb", .CommandIndex = i, .First = 0, .Last = 3, .Height = 10, .VarLines = ""});
  int32_t top = 1;
  TOrbaHistData rows;
  ExtractRows(sheets, 5, 20, top, rows);  // rows 0 (0..10), 1 (10..20), 2 (20..30)
  EXPECT_EQ(top, -5);
  ASSERT_EQ(rows.Count(), 3);
  EXPECT_EQ(rows.Rows[0].PageName, "p.osb");
  EXPECT_EQ(rows.Rows[2].PageName, "");
  EXPECT_EQ(rows.Rows[2].CommandIndex, 2);
  ExtractRows(sheets, 40, 10, top, rows);
  EXPECT_EQ(rows.Count(), 0);
}

}  // namespace
}  // namespace orba
