// The message window with the backlog and the read marks: pages of TextIns
// commands served from memory; every character is a square cell of the
// font size.
#include "items/message_window.h"

#include <algorithm>
#include <map>

#include "authoring/page_asm.h"
#include "items/base_list_scene.h"
#include "items/choice_items_support.h"
#include "items/orba_globals.h"
#include "script/interp/page.h"

namespace orba {
namespace {

class TListingPages : public TPageHost {
 public:
  std::map<std::string, std::vector<uint8_t>> Files;
  std::vector<std::string> Freed;
  void PageFreed(const std::string& name) override { Freed.push_back(name); }
  void Put(const std::string& name, const std::string& listing) {
    TKsMemoryStream s;
    AssemblePage(ParsePageListing(listing, name + ".txt", name))->SaveToStream(s);
    Files[name] = s.Bytes();
  }
  void LoadToStream(const std::string& name, TKsMemoryStream& stream) override {
    const auto it = Files.find(name);
    if (it == Files.end()) throw EFOpenError(name);
    stream.MutableBytes() = it->second;
  }
};

class MessageWindowTest : public test::ChoiceItemsTest {
 protected:
  void SetUp() override {
    ChoiceItemsTest::SetUp();
    TextHistoryFormats = new TOrbaHistoryFormatManager();
    TextRead = new TOrbaReadList();
    SetPageHost(&pages_);
    // Four one-row messages (four 16-pixel cells in 64), then one of two
    // rows (two words, each wider than the window).
    pages_.Put("m.osb", "TextIns Window=\"mes\" Text=\"AAAA\"\nTextIns Window=\"mes\" Text=\"BBBB\"\n"
                        "TextIns Window=\"mes\" Text=\"CCCC\"\nTextIns Window=\"mes\" Text=\"DDDD\"\n"
                        "TextIns Window=\"mes\" Text=\"EEEEEEE FFFFFF\"\nCalc Expression={1}");
    pages_.Freed.clear();  // the assembler's own page
    w = Make<TOrbaMes>();
    w->SetName("mes");
    w->SetBounds(0, 8, 64, 40);
    w->SetFontHeight(16);
    w->SetOnPlaystart("start");
  }
  void TearDown() override {
    SetPageHost(nullptr);
    ChoiceItemsTest::TearDown();
    delete TextHistoryFormats;
    delete TextRead;
    TextHistoryFormats = nullptr;
    TextRead = nullptr;
  }
  // Shows commands From..To of m.osb one after another, then clears.
  void ShowMessages(int32_t from, int32_t to) {
    for (int32_t i = from; i <= to; ++i) w->StartMessage(true, "m.osb", i);
    w->ClearText();
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) {
      GameClock += 15;
      m.Idle_();
    }
  }
  std::vector<uint8_t> SavedScene() {
    TKsMemoryStream s;
    m.SaveToStream(s);
    TextHistoryFormats->SaveToStream(s);
    return s.Bytes();
  }
  void LoadScene(const std::vector<uint8_t>& bytes) {
    TKsMemoryStream s;
    s.MutableBytes() = bytes;
    m.LoadFromStream(s, kSceneVersion);
    TextHistoryFormats->LoadFromStream(s, kSceneVersion);
    TBaseListScene(m).AfterLoad();
    w = AsMessageWindow(m.FindObject("mes"));
  }
  TListingPages pages_;
  TOrbaMes* w = nullptr;
};

// Layout mode at 64 x 40 pixels, 16-pixel rows: two one-row messages fill a
// sheet; the two-row message takes a sheet of its own.
TEST_F(MessageWindowTest, LayoutModeKeepsSheetsOfRowsInPixels) {
  TextHistoryFormats->FindOrAdd("wide").Params = {16, 0, 0, 64, 40, 0};
  ShowMessages(0, 4);
  const TOrbaNewHistory& h = TextHistoryFormats->Find("wide")->History;
  std::string dump;
  for (const TOrbaHistData& sheet : h.Sheets) {
    dump += "sheet " + std::to_string(sheet.TotalHeight) + ":";
    for (const THistRow& r : sheet.Rows)
      dump += " [" + r.PageName + " " + std::to_string(r.CommandIndex) + " " + std::to_string(r.First) + ".." +
              std::to_string(r.Last) + " h" + std::to_string(r.Height) + "]";
    dump += "\n";
  }
  EXPECT_EQ(dump, "sheet 32: [m.osb 0 0..3 h16] [ 1 0..3 h16]\nsheet 32: [m.osb 2 0..3 h16] [ 3 0..3 h16]\n"
                  "sheet 32: [m.osb 4 0..13 h32]\n");
  EXPECT_EQ(h.GetSize(), 96);
  // The default format (all 0) is in record mode: five records.
  EXPECT_EQ(TextHistoryFormats->Default().History.GetSize(), 5);

  // Pixels 20 .. 60: the second row from 4 pixels above the window down to
  // the third sheet's first row.
  m.Services.ShowBacklog(w->Handle(), 20, 40, "wide", true);
  EXPECT_EQ(w->RecordMode, TOrbaMes::kBacklogDisplay);
  EXPECT_EQ(w->TopOffset, -4);
  EXPECT_EQ(w->MesData.Rows.Count(), 3);
  ASSERT_EQ(w->PageCount(), 1);
  EXPECT_EQ(w->CurrentPage()->GetCount(), 3);
  EXPECT_EQ(w->CurrentPage()->Row(0)->Y, -4);
  EXPECT_EQ(w->CurrentPage()->Row(2)->Y, 28);
}

TEST_F(MessageWindowTest, RecordModeShowsRecordsAndOnlyWhatExists) {
  TextHistoryFormats->Default().History.Limit = 3;
  ShowMessages(0, 4);
  const TOrbaNewHistory& h = TextHistoryFormats->Default().History;
  ASSERT_EQ(h.GetSize(), 3);
  EXPECT_EQ(h.Records.Items[0].CommandIndex, 2);
  const int32_t queued = m.Events.Count();
  // Start past the extent, Count 0 and an unknown format do nothing.
  m.Services.ShowBacklog(w->Handle(), 3, 1, "", true);
  m.Services.ShowBacklog(w->Handle(), 0, 0, "", true);
  m.Services.ShowBacklog(w->Handle(), 0, 1, "none", true);
  EXPECT_EQ(w->RecordMode, TOrbaMes::kPlainText);
  EXPECT_EQ(m.Events.Count(), queued);
  // Start -5 and Count 3: the first three, stacked row after row.
  m.Services.ShowBacklog(w->Handle(), -5, 3, "", true);
  EXPECT_EQ(w->MesData.Messages.size(), 3u);
  ASSERT_EQ(w->PageCount(), 1);
  EXPECT_EQ(w->CurrentPage()->GetCount(), 4);  // commands 2, 3 and the two rows of 4
  EXPECT_EQ(w->CurrentPage()->Row(1)->Y, 16);
  // A record whose page index the text no longer reaches shows nothing of it.
  w->MesData.Messages[0].PageIndex = 7;
  w->InsertText(false, true);
  ASSERT_EQ(w->PageCount(), 1);
  EXPECT_EQ(w->Pages[0]->GetCount(), 3);
}

TEST_F(MessageWindowTest, ReadMarksMakeOnPlayStartCarryOne) {
  // The OnPlayStart arguments of each start; the queue is emptied as a
  // script would take the events.
  std::string args;
  const auto start = [&](bool record) {
    w->StartMessage(record, "m.osb", 1);
    for (int32_t i = 0; i < m.Events.Count(); ++i)
      if (m.Events.GetItem(i)->Label == "start") args += m.Events.GetItem(i)->Args.Get(0);
    m.Events.Clear();
  };
  start(true);
  Ticks(40);
  EXPECT_EQ(w->GetState(), 2);  // shown to its end
  w->ClearText();
  start(true);
  start(false);  // plain text never consults the marks
  EXPECT_EQ(args, "010");
  m.Services.ClearReadMarks();
  EXPECT_EQ(TextRead->Count(), 0);
  // FormatHist copies the window's six values; no object zeroes them.
  w->SetLineSpace(3);
  m.Services.DefineBacklogFormat("mes", "f");
  EXPECT_EQ(TextHistoryFormats->Find("f")->Params, (std::array<int32_t, 6>{16, 0, 0, 64, 40, 3}));
  m.Services.DefineBacklogFormat("", "f");
  EXPECT_EQ(TextHistoryFormats->Find("f")->Params, (std::array<int32_t, 6>{}));
  // The window's copies of the pages go without telling the page host
  // (which would drop the interpreter's page variables).
  m.Reset();
  TextHistoryFormats->Clear();
  EXPECT_TRUE(pages_.Freed.empty());
}

TEST_F(MessageWindowTest, ASaveWhileTypingLoadsAndSavesTheSameBytes) {
  ShowMessages(0, 1);
  w->StartMessage(true, "m.osb", 4);
  Ticks(6);
  const std::string typed = w->GetText();
  ASSERT_FALSE(typed.empty());
  ASSERT_NE(typed, "EEEEEEE ");
  const std::vector<uint8_t> saved = SavedScene();
  LoadScene(saved);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->GetText(), typed);
  EXPECT_EQ(SavedScene(), saved);
  // Page states claiming more bytes than are left: the load fails and the
  // running scene stays.
  TKsMemoryStream item, states;
  w->SaveToStream(item);
  for (const auto& page : w->Pages) page->SaveState(states);
  std::vector<uint8_t> damaged = saved;
  const auto at = std::search(damaged.begin(), damaged.end(), item.Bytes().begin(), item.Bytes().end());
  ASSERT_NE(at, damaged.end());
  const auto size_field = at + static_cast<std::ptrdiff_t>(item.GetSize() - states.GetSize() - 4);
  ASSERT_EQ(*size_field, static_cast<uint8_t>(states.GetSize()));
  size_field[3] = 0x7F;
  TKsMemoryStream in;
  in.MutableBytes() = damaged;
  EXPECT_THROW(m.LoadFromStream(in, kSceneVersion), EReadError);
  EXPECT_EQ(AsMessageWindow(m.FindObject("mes")), w);
  EXPECT_EQ(w->GetText(), typed);
}

}  // namespace
}  // namespace orba
