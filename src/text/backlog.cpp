#include "text/backlog.h"

#include <algorithm>
#include <utility>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "script/interp/com_object.h"
#include "script/interp/page.h"
#include "script/save/save_versions.h"
#include "text/glyph_stream.h"
#include "text/wd_page.h"

namespace orba {

namespace {

int32_t ReadCount(TKsBigStream& s, int64_t element_size) {
  const int32_t count = ReadStreamInt(s);
  if (count < 0) throw EReadError("backlog: negative count");
  CheckStoredCount(s, count, element_size);
  return count;
}

// The glyph index of a text offset of a word without expanded variables;
// -1 past the last glyph.
int32_t GlyphOfOffset(const TKsWord& word, int32_t offset) { return word.IndexOfTextOffset(offset); }

// Appends copies of the source's glyphs of the text offsets First..Last
// (Last < 0: to the end).
void CopyRange(TKsWord& word, const TKsWord& source, int32_t first, int32_t last) {
  const int32_t from = GlyphOfOffset(source, first);
  if (from < 0) return;
  int32_t to = last < 0 ? -1 : GlyphOfOffset(source, last);
  if (to < 0) to = source.GetCount() - 1;
  word.CopyGlyphs(source, from, to);
}

// The first and last glyph of a page that belong to the word (an indent
// space belongs to its row).
TWdGlyph* FirstWordGlyph(const TKsWord& word, TWdPage& page) {
  for (int32_t r = 0; r < page.GetCount(); ++r)
    for (TWdGlyph* g : page.Row(r)->Children())
      if (word.IndexOf(g) >= 0) return g;
  return nullptr;
}

TWdGlyph* LastWordGlyph(const TKsWord& word, TWdPage& page) {
  for (int32_t r = page.GetCount(); r-- > 0;) {
    const std::vector<TWdGlyph*>& children = page.Row(r)->Children();
    for (size_t i = children.size(); i-- > 0;)
      if (word.IndexOf(children[i]) >= 0) return children[i];
  }
  return nullptr;
}

// Moves every row of Source down by Y into Target; answers the bottom of
// the last moved row (Y when there was none).
int32_t MoveRows(TWdPage& source, TWdPage& target, int32_t y) {
  const std::vector<TWdGlyph*> rows = source.Children();
  int32_t bottom = y;
  for (TWdGlyph* row : rows) {
    row->Y += y;
    bottom = row->Y + row->GetHeight();
    std::unique_ptr<TWdGlyph> taken = source.ReleaseChild(row);
    if (taken != nullptr) target.AddOwned(std::move(taken));
  }
  target.FHeight = std::max(target.FHeight, bottom);
  return bottom;
}

void WriteMessageList(TKsBigStream& s, const std::vector<THistMessage>& list) {
  WriteStreamInt(s, static_cast<int32_t>(list.size()));
  for (const THistMessage& m : list) WriteStreamString(s, m.PageName);
  for (const THistMessage& m : list) WriteStreamInt(s, m.CommandIndex);
  for (const THistMessage& m : list) WriteStreamInt(s, m.PageIndex);
  for (const THistMessage& m : list) {
    WriteStreamInt(s, m.Width);
    WriteStreamInt(s, m.Height);
  }
}

std::vector<THistMessage> ReadMessageList(TKsBigStream& s) {
  std::vector<THistMessage> list(static_cast<size_t>(ReadCount(s, 20)));
  for (THistMessage& m : list) m.PageName = ReadStreamString(s);
  for (THistMessage& m : list) m.CommandIndex = ReadStreamInt(s);
  for (THistMessage& m : list) m.PageIndex = ReadStreamInt(s);
  for (THistMessage& m : list) {
    m.Width = ReadStreamInt(s);
    m.Height = ReadStreamInt(s);
  }
  return list;
}

}  // namespace

std::vector<std::string> SplitVarLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// ---- sheets and records --------------------------------------------------------------------------

namespace {

// Rows and records store a page name only where it changes (letter case
// ignored): the resolved name of an entry is the nearest one at it or
// before it.
template <class T>
std::string NearestName(const std::vector<T>& items, int32_t index) {
  for (int32_t i = std::min(index, static_cast<int32_t>(items.size()) - 1); i >= 0; --i)
    if (!items[static_cast<size_t>(i)].PageName.empty()) return items[static_cast<size_t>(i)].PageName;
  return std::string();
}

template <class T>
void AppendNamed(std::vector<T>& items, const T& item) {
  T stored = item;
  if (!items.empty() && SjisSameText(item.PageName, NearestName(items, static_cast<int32_t>(items.size()) - 1)))
    stored.PageName.clear();
  items.push_back(std::move(stored));
}

}  // namespace

std::string TOrbaHistData::ResolvedName(int32_t index) const { return NearestName(Rows, index); }

void TOrbaHistData::AddRow(const THistRow& row) {
  AppendNamed(Rows, row);
  TotalHeight += row.Height;
}

void TOrbaHistData::Clear() {
  Rows.clear();
  TotalHeight = 0;
}

void TOrbaHistData::SaveToStream(TKsBigStream& s) const {
  WriteStreamInt(s, Count());
  for (const THistRow& r : Rows) {
    WriteStreamString(s, r.PageName);
    for (int32_t v : {r.CommandIndex, r.First, r.Last, r.Height}) WriteStreamInt(s, v);
    WriteStreamString(s, r.VarLines);
  }
  WriteStreamInt(s, TotalHeight);
}

void TOrbaHistData::LoadFromStream(TKsBigStream& s, int32_t version) {
  TOrbaHistData loaded;
  loaded.Rows.resize(static_cast<size_t>(ReadCount(s, version >= kSlotVarLinesVersion ? 24 : 20)));
  for (THistRow& r : loaded.Rows) {
    r.PageName = ReadStreamString(s);
    r.CommandIndex = ReadStreamInt(s);
    r.First = ReadStreamInt(s);
    r.Last = ReadStreamInt(s);
    r.Height = ReadStreamInt(s);
    if (version >= kSlotVarLinesVersion) r.VarLines = ReadStreamString(s);
  }
  loaded.TotalHeight = ReadStreamInt(s);
  *this = std::move(loaded);
}

std::string THistoryOldDataList::ResolvedName(int32_t index) const { return NearestName(Items, index); }

void THistoryOldDataList::Add(const THistMessage& message) { AppendNamed(Items, message); }

void THistoryOldDataList::DeleteFirst() {
  if (Items.empty()) return;
  if (Items.size() > 1 && !Items[0].PageName.empty() && Items[1].PageName.empty())
    Items[1].PageName = Items[0].PageName;
  Items.erase(Items.begin());
}

// ---- message cache -------------------------------------------------------------------------------

struct TMesDataCacheList::TCachedWord {
  int32_t Index = 0;
  std::unique_ptr<TKsWord> Word;
};

struct TMesDataCacheList::TCachedPage {
  std::string Name;
  std::unique_ptr<TPage> Page;
  std::vector<TCachedWord> Words;
};

TMesDataCacheList::TMesDataCacheList() = default;
TMesDataCacheList::~TMesDataCacheList() = default;

void TMesDataCacheList::Clear() { pages_.clear(); }

std::vector<std::string> TMesDataCacheList::PageNames() const {
  std::vector<std::string> names;
  for (const auto& p : pages_) names.push_back(p->Name);
  return names;
}

TMesDataCacheList::TCachedPage* TMesDataCacheList::GetCachedPage(const std::string& page_name) {
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (!SjisSameText(pages_[i]->Name, page_name)) continue;
    std::rotate(pages_.begin(), pages_.begin() + static_cast<std::ptrdiff_t>(i),
                pages_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return pages_.front().get();
  }
  if (page_name.empty()) return nullptr;
  auto cached = std::make_unique<TCachedPage>();
  cached->Name = page_name;
  cached->Page = std::make_unique<TPage>();
  try {
    cached->Page->LoadFromFile(page_name);
  } catch (const std::exception&) {
    return nullptr;  // a page that cannot be read counts as missing
  }
  // This copy is not the interpreter's page: freeing it must not tell the
  // page host that the page went (which drops the page's variables).
  cached->Page->Name.clear();
  pages_.insert(pages_.begin(), std::move(cached));
  while (pages_.size() > kMaxPages) pages_.pop_back();
  return pages_.front().get();
}

bool TMesDataCacheList::PageExists(const std::string& page_name) { return GetCachedPage(page_name) != nullptr; }

TKsWord* TMesDataCacheList::GetWord(const std::string& page_name, int32_t command_index) {
  TCachedPage* page = GetCachedPage(page_name);
  if (page == nullptr) return nullptr;
  std::vector<TCachedWord>& words = page->Words;
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i].Index != command_index) continue;
    std::rotate(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(i),
                words.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return words.front().Word.get();
  }
  if (command_index < 0 || command_index >= page->Page->Commands.Count()) return nullptr;
  auto* command = dynamic_cast<TComTextIns*>(page->Page->Commands.GetItem(command_index));
  if (command == nullptr) return nullptr;
  auto word = std::make_unique<TKsWord>();
  try {
    command->Text.SetPosition(0);
    LoadGlyphStream(*word, command->Text);
  } catch (const std::exception&) {
    return nullptr;
  }
  words.insert(words.begin(), TCachedWord{command_index, std::move(word)});
  while (words.size() > kMaxWords) words.pop_back();
  return words.front().Word.get();
}

// ---- a window's message data ---------------------------------------------------------------------

void TOrbaNewMesData::BuildWord(TKsWord& word, std::vector<std::unique_ptr<TWdPage>>& pages, bool from_backlog,
                                bool pack_rows, int32_t top_offset) {
  if (Rows.Empty()) {
    BuildFromMessages(word, pages, pack_rows);
    return;
  }
  word.Clear();
  if (Rows.Count() == 1 && Rows.TotalHeight == 0) {
    // A message just inserted by its TextIns command: the glyphs are laid
    // out from the start of the new word.
    const THistRow& row = Rows.Rows.front();
    const TKsWord* source = Cache.GetWord(row.PageName, row.CommandIndex);
    if (source == nullptr) return;
    CopyRange(word, *source, row.First, row.Last);
    word.VarValues = SplitVarLines(row.VarLines);
    word.ExpandVars(0, -1, from_backlog);
    word.LayoutGlyphs(pages, 0, -1);
    return;
  }
  pages.push_back(std::make_unique<TWdPage>(word));
  TWdPage& target = *pages.back();
  int32_t y = top_offset;
  for (int32_t i = 0; i < Rows.Count(); ++i) {
    const THistRow& row = Rows.Rows[static_cast<size_t>(i)];
    const std::string name = Rows.ResolvedName(i);
    if (!Cache.PageExists(name)) break;
    const TKsWord* source = Cache.GetWord(name, row.CommandIndex);
    if (source == nullptr) continue;
    const int32_t start = word.GetCount();
    CopyRange(word, *source, row.First, row.Last);
    word.VarValues = SplitVarLines(row.VarLines);
    word.ExpandVars(start, -1, from_backlog);
    std::vector<std::unique_ptr<TWdPage>> work;
    word.LayoutGlyphs(work, start, -1);
    if (!work.empty() && work.front()->GetCount() > 0) y = MoveRows(*work.front(), target, y) + word.LineSpace;
  }
}

void TOrbaNewMesData::BuildFromMessages(TKsWord& word, std::vector<std::unique_ptr<TWdPage>>& pages,
                                        bool pack_rows) {
  word.Clear();
  const int32_t width = word.Width, height = word.MaxHeight;
  if (Messages.size() == 1 && Messages.front().PageIndex < 0) {
    const THistMessage& m = Messages.front();
    if (const TKsWord* source = Cache.GetWord(m.PageName, m.CommandIndex)) {
      word.CopyGlyphs(*source, 0, source->GetCount() - 1);
      word.Width = m.Width;
      word.MaxHeight = m.Height;
      word.LayoutGlyphs(pages, 0, -1);
    }
    word.Width = width, word.MaxHeight = height;
    return;
  }
  if (Messages.empty()) return;
  pages.push_back(std::make_unique<TWdPage>(word));
  TWdPage& target = *pages.back();
  int32_t y = 0;
  for (const THistMessage& m : Messages) {
    if (!Cache.PageExists(m.PageName)) break;
    const TKsWord* source = Cache.GetWord(m.PageName, m.CommandIndex);
    if (source == nullptr) continue;
    const int32_t start = word.GetCount();
    word.CopyGlyphs(*source, 0, source->GetCount() - 1);
    word.Width = m.Width;
    word.MaxHeight = m.Height;
    word.ExpandVars(start, -1, false);
    std::vector<std::unique_ptr<TWdPage>> work;
    word.LayoutGlyphs(work, start, -1);
    // A page index the text no longer reaches (the text or its variables
    // changed since it was recorded) shows nothing of that message.
    if (m.PageIndex < 0 || m.PageIndex >= static_cast<int32_t>(work.size())) continue;
    const int32_t bottom = MoveRows(*work[static_cast<size_t>(m.PageIndex)], target, y);
    y = pack_rows ? bottom + word.LineSpace : y + m.Height;
  }
  word.Width = width, word.MaxHeight = height;
}

void TOrbaNewMesData::SaveToStream(TKsBigStream& s, const TOrbaHistData* rows) const {
  WriteMessageList(s, Messages);
  (rows != nullptr ? *rows : Rows).SaveToStream(s);
}

void TOrbaNewMesData::LoadFromStream(TKsBigStream& s, int32_t version) {
  std::vector<THistMessage> messages = ReadMessageList(s);
  TOrbaHistData rows;
  if (version >= kSlotHistorySheetsVersion) rows.LoadFromStream(s, version);
  Messages = std::move(messages);
  Rows = std::move(rows);
}

// ---- sheet ranges --------------------------------------------------------------------------------

void ExtractRows(const std::vector<TOrbaHistData>& sheets, int32_t pos, int32_t height, int32_t& top_offset,
                 TOrbaHistData& rows) {
  rows.Clear();
  top_offset = 0;
  const int64_t end = int64_t{pos} + height;
  std::vector<int64_t> starts;  // cumulative start of each sheet
  int64_t sum = 0;
  for (const TOrbaHistData& sheet : sheets) {
    starts.push_back(sum);
    sum += sheet.TotalHeight;
  }
  size_t first = sheets.size();
  for (size_t i = 0; i < sheets.size(); ++i)
    if (!sheets[i].Empty() && starts[i] + sheets[i].TotalHeight > pos) {
      first = i;
      break;
    }
  if (first == sheets.size()) return;
  // The first entry whose end passes Pos; none: the sheet's last.
  const TOrbaHistData& s0 = sheets[first];
  int32_t first_entry = -1;
  int64_t top = starts[first], entry_top = top;
  for (int32_t e = 0; e < s0.Count(); ++e) {
    const int32_t h = s0.Rows[static_cast<size_t>(e)].Height;
    if (top + h > pos) {
      first_entry = e;
      entry_top = top;
      break;
    }
    top += h;
  }
  if (first_entry < 0) {
    first_entry = s0.Count() - 1;
    entry_top = top - s0.Rows.back().Height;
  }
  top_offset = static_cast<int32_t>(std::clamp<int64_t>(entry_top - pos, INT32_MIN, 0));
  size_t last = sheets.size() - 1;
  for (size_t j = first + 1; j < sheets.size(); ++j)
    if (starts[j] >= end) {
      last = j - 1;
      break;
    }
  while (last > first && sheets[last].Empty()) --last;
  const TOrbaHistData& s1 = sheets[last];
  int32_t last_entry = s1.Count() - 1;
  int64_t bottom = starts[last];
  for (int32_t e = 0; e < s1.Count(); ++e) {
    bottom += s1.Rows[static_cast<size_t>(e)].Height;
    if (bottom >= end) {
      last_entry = e;
      break;
    }
  }
  if (last == first) last_entry = std::max(last_entry, first_entry);
  for (size_t k = first; k <= last; ++k) {
    const TOrbaHistData& sheet = sheets[k];
    const int32_t from = k == first ? first_entry : 0;
    const int32_t to = k == last ? last_entry : sheet.Count() - 1;
    for (int32_t e = from; e <= to; ++e) {
      THistRow row = sheet.Rows[static_cast<size_t>(e)];
      row.PageName = sheet.ResolvedName(e);
      rows.AddRow(row);
    }
  }
}

// ---- the history of a format ---------------------------------------------------------------------

int32_t TOrbaNewHistory::GetSize() const {
  if (!LayoutMode()) return Records.Count();
  int64_t total = 0;
  for (const TOrbaHistData& sheet : Sheets) total += sheet.TotalHeight;
  return static_cast<int32_t>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
}

int32_t TOrbaNewHistory::GetCount() const {
  return LayoutMode() ? static_cast<int32_t>(Sheets.size()) : Records.Count();
}

void TOrbaNewHistory::SetMessage(const TPendingMessage& message) {
  const TPendingMessage before = Pending;
  Pending = message;
  if (Format.Params[hpFontHeight] != 0) {
    Pending.WindowWidth = before.WindowWidth;
    Pending.WindowHeight = before.WindowHeight;
    Pending.PageIndex = before.PageIndex;
  }
  if (Sheets.empty()) {
    const auto& p = Format.Params;
    Word.FontSize = p[hpFontHeight];
    Word.DefaultBorder = p[hpFontBorder];
    Word.DefaultShadow = p[hpFontShadow];
    Word.Width = p[hpWidth];
    Word.MaxHeight = p[hpHeight];
    Word.LineSpace = p[hpLineSpace];
  }
}

bool TOrbaNewHistory::LoadCommand() {
  if (loaded_index_ == Pending.CommandIndex && SjisSameText(loaded_page_, Pending.PageName) &&
      !loaded_page_.empty())
    return true;
  const TKsWord* source = Cache.GetWord(Pending.PageName, Pending.CommandIndex);
  if (source == nullptr) return false;
  Word.Clear();
  Word.CopyGlyphs(*source, 0, source->GetCount() - 1);
  loaded_page_ = Pending.PageName;
  loaded_index_ = Pending.CommandIndex;
  return true;
}

void TOrbaNewHistory::AddShownMessage(const std::string& window_name, TSysFuncMan* funcs) {
  if (Pending.PageName.empty() || window_name != Pending.WindowName) return;
  if (!LayoutMode()) {
    Records.Add(THistMessage{Pending.PageName, Pending.CommandIndex, Pending.PageIndex, Pending.WindowWidth,
                             Pending.WindowHeight});
    while (Limit >= 1 && Limit < Records.Count()) Records.DeleteFirst();
    Pending.PageName.clear();
    return;
  }
  if (!Cache.PageExists(Pending.PageName)) {
    Pending.PageName.clear();
    return;
  }
  if (!LoadCommand()) return;  // stays pending until the next message replaces it
  const int32_t from = GlyphOfOffset(Word, Pending.First);
  if (from < 0) {
    Pending.PageName.clear();
    return;
  }
  int32_t last = Pending.Last < 0 ? -1 : GlyphOfOffset(Word, Pending.Last);
  if (last < 0) last = Word.GetCount() - 1;
  TWdGlyph* const last_glyph = Word.GetGlyph(last);
  Word.Funcs = funcs;
  Word.VarValues = SplitVarLines(Pending.VarLines);
  Word.ExpandVars(from, last, true);
  // The range ends after what the last glyph inserted.
  last = Word.IndexOf(last_glyph);
  while (last + 1 < Word.GetCount() && Word.GetGlyph(last + 1)->GetTextLength() == 0) ++last;
  std::vector<std::unique_ptr<TWdPage>> work;
  Word.LayoutGlyphs(work, from, last);
  for (const auto& page : work) {
    TWdGlyph* first_glyph = FirstWordGlyph(Word, *page);
    TWdGlyph* end_glyph = LastWordGlyph(Word, *page);
    if (first_glyph == nullptr || end_glyph == nullptr) continue;
    THistRow row{.PageName = Pending.PageName,
                 .CommandIndex = Pending.CommandIndex,
                 .First = Word.TextOffsetOf(first_glyph),
                 .Last = Word.TextOffsetOf(end_glyph),
                 .Height = page->GetHeight() + Word.LineSpace,
                 .VarLines = Pending.VarLines};
    if (Sheets.empty() || int64_t{Sheets.back().TotalHeight} + row.Height > Word.MaxHeight)
      Sheets.emplace_back();
    Sheets.back().AddRow(row);
  }
  while (Limit >= 1 && Limit < static_cast<int32_t>(Sheets.size())) Sheets.erase(Sheets.begin());
  work.clear();
  Word.CollapseVars(from, last);
  Word.Funcs = nullptr;
  Pending.PageName.clear();
}

void TOrbaNewHistory::Clear() {
  Sheets.clear();
  Records.Items.clear();
  Pending.PageName.clear();
  Pending.VarLines.clear();
  Word.Clear();
  loaded_page_.clear();
  loaded_index_ = -1;
}

void TOrbaNewHistory::SaveToStream(TKsBigStream& s) const {
  WriteStreamInt(s, Records.Count());
  for (const THistMessage& m : Records.Items) {
    WriteStreamString(s, m.PageName);
    for (int32_t v : {m.CommandIndex, m.PageIndex, m.Width, m.Height}) WriteStreamInt(s, v);
  }
  WriteStreamString(s, Pending.PageName);
  for (int32_t v : {Pending.CommandIndex, Pending.PageIndex, Pending.WindowWidth, Pending.WindowHeight})
    WriteStreamInt(s, v);
  WriteStreamString(s, Pending.WindowName);
  for (int32_t v : {Limit, Word.FontSize, Word.DefaultBorder, Word.DefaultShadow, Word.Width, Word.MaxHeight,
                    Word.LineSpace, Pending.First, Pending.Last})
    WriteStreamInt(s, v);
  WriteStreamInt(s, static_cast<int32_t>(Sheets.size()));
  for (const TOrbaHistData& sheet : Sheets) sheet.SaveToStream(s);
  WriteStreamString(s, Pending.VarLines);
}

void TOrbaNewHistory::LoadFromStream(TKsBigStream& s, int32_t version) {
  THistoryOldDataList records;
  if (version < kSlotHistorySheetsVersion) {
    ReadStreamString(s);
    records.Items = ReadMessageList(s);
  } else {
    records.Items.resize(static_cast<size_t>(ReadCount(s, 20)));
    for (THistMessage& m : records.Items) {
      m.PageName = ReadStreamString(s);
      m.CommandIndex = ReadStreamInt(s);
      m.PageIndex = ReadStreamInt(s);
      m.Width = ReadStreamInt(s);
      m.Height = ReadStreamInt(s);
    }
  }
  TPendingMessage pending;
  pending.PageName = ReadStreamString(s);
  pending.CommandIndex = ReadStreamInt(s);
  pending.PageIndex = ReadStreamInt(s);
  pending.WindowWidth = ReadStreamInt(s);
  pending.WindowHeight = ReadStreamInt(s);
  pending.WindowName = ReadStreamString(s);
  std::array<int32_t, 7> params{Limit, Word.FontSize, Word.DefaultBorder, Word.DefaultShadow, Word.Width,
                                Word.MaxHeight, Word.LineSpace};
  std::vector<TOrbaHistData> sheets;
  if (version >= kSlotHistorySheetsVersion) {
    for (int32_t& v : params) v = ReadStreamInt(s);
    pending.First = ReadStreamInt(s);
    pending.Last = ReadStreamInt(s);
    sheets.resize(static_cast<size_t>(ReadCount(s, 8)));
    for (TOrbaHistData& sheet : sheets) sheet.LoadFromStream(s, version);
  }
  if (version >= kSlotVarLinesVersion) pending.VarLines = ReadStreamString(s);
  Clear();
  Records = std::move(records);
  Pending = std::move(pending);
  Sheets = std::move(sheets);
  Limit = params[0];
  Word.FontSize = params[1], Word.DefaultBorder = params[2], Word.DefaultShadow = params[3];
  Word.Width = params[4], Word.MaxHeight = params[5], Word.LineSpace = params[6];
}

// ---- the formats ---------------------------------------------------------------------------------

TOrbaHistoryFormat* TOrbaHistoryFormatManager::Find(const std::string& name) const {
  for (const auto& f : formats_)
    if (f->Name == name) return f.get();
  return nullptr;
}

TOrbaHistoryFormat& TOrbaHistoryFormatManager::FindOrAdd(const std::string& name) {
  if (TOrbaHistoryFormat* f = Find(name)) return *f;
  formats_.push_back(std::make_unique<TOrbaHistoryFormat>(name));
  return *formats_.back();
}

void TOrbaHistoryFormatManager::SetMessage(const TPendingMessage& message) {
  for (const auto& f : formats_) f->History.SetMessage(message);
}

void TOrbaHistoryFormatManager::AddShownMessage(const std::string& window_name) {
  for (const auto& f : formats_) f->History.AddShownMessage(window_name, Funcs);
}

void TOrbaHistoryFormatManager::ClearHistories() {
  for (const auto& f : formats_) f->History.Clear();
}

void TOrbaHistoryFormatManager::Clear() {
  formats_.clear();
  formats_.push_back(std::make_unique<TOrbaHistoryFormat>(std::string()));
}

void TOrbaHistoryFormatManager::SaveToStream(TKsBigStream& s) const {
  WriteStreamInt(s, Count());
  for (const auto& f : formats_) {
    WriteStreamString(s, f->Name);
    for (int32_t p : f->Params) WriteStreamInt(s, p);
    f->History.SaveToStream(s);
  }
}

void TOrbaHistoryFormatManager::LoadFromStream(TKsBigStream& s, int32_t version) {
  std::vector<std::unique_ptr<TOrbaHistoryFormat>> loaded(static_cast<size_t>(ReadCount(s, 28)));
  for (auto& f : loaded) {
    f = std::make_unique<TOrbaHistoryFormat>(ReadStreamString(s));
    for (int32_t& p : f->Params) p = ReadStreamInt(s);
    f->History.LoadFromStream(s, version);
  }
  // The default format stays first.
  const auto named_default = std::find_if(loaded.begin(), loaded.end(), [](const auto& f) { return f->Name.empty(); });
  if (named_default == loaded.end())
    loaded.insert(loaded.begin(), std::make_unique<TOrbaHistoryFormat>(std::string()));
  else
    std::rotate(loaded.begin(), named_default, named_default + 1);
  formats_.swap(loaded);
}

void TOrbaHistoryFormatManager::LoadDefaultHistory(TKsBigStream& s, int32_t version) {
  auto format = std::make_unique<TOrbaHistoryFormat>(std::string());
  format->History.LoadFromStream(s, version);
  formats_.clear();
  formats_.push_back(std::move(format));
}

}  // namespace orba
