// The message backlog: the message pages that message windows have shown,
// kept per named format, and the data a message window builds its text
// from. No text is copied: an entry names the script page, the index of the
// TextIns command in it and a range of text offsets, and the text is taken
// again from that command's glyph stream (through a small cache of loaded
// pages and their glyph streams) whenever it is shown.
//
// A format whose layout width is not 0 lays old messages out again at its
// own size and keeps them as sheets of rows measured in pixels (layout
// mode); with width 0 it only records which message page was shown and the
// window size it was shown at (record mode).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "text/ks_word.h"

namespace orba {

class TPage;
class TSysFuncMan;
class TWdPage;

// The game-state version of the newest backlog record.
constexpr int32_t kBacklogVersion = 140;

// One row of a sheet (or of a window's message data): a glyph range of one
// TextIns command. First and Last are text offsets (Last < 0: to the end).
struct THistRow {
  std::string PageName;
  int32_t CommandIndex = 0;
  int32_t First = 0;
  int32_t Last = -1;
  int32_t Height = 0;
  std::string VarLines;  // "name=value" lines of the variables shown
};

// A sheet of rows. A row's page name is stored empty when it equals (letter
// case ignored) the resolved name of the row before it.
class TOrbaHistData {
 public:
  std::vector<THistRow> Rows;
  int32_t TotalHeight = 0;

  int32_t Count() const { return static_cast<int32_t>(Rows.size()); }
  bool Empty() const { return Rows.empty(); }
  // The nearest non-empty name at Index or before it.
  std::string ResolvedName(int32_t index) const;
  // Appends a row, storing its name by the rule above.
  void AddRow(const THistRow& row);
  void Clear();
  void SaveToStream(TKsBigStream& stream) const;
  void LoadFromStream(TKsBigStream& stream, int32_t version);
};

// One recorded message (record mode), or one message of a window's list.
struct THistMessage {
  std::string PageName;
  int32_t CommandIndex = 0;
  int32_t PageIndex = 0;
  int32_t Width = 0, Height = 0;
};

// The records of a record-mode history: names stored as in TOrbaHistData;
// deleting the first record passes its name on to the next.
class THistoryOldDataList {
 public:
  std::vector<THistMessage> Items;
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  std::string ResolvedName(int32_t index) const;
  void Add(const THistMessage& message);
  void DeleteFirst();
};

// The loaded script pages and their messages' glyph streams, most recently
// used first: at most 4 pages, 16 messages a page.
class TMesDataCacheList {
 public:
  TMesDataCacheList();
  ~TMesDataCacheList();
  TMesDataCacheList(const TMesDataCacheList&) = delete;
  TMesDataCacheList& operator=(const TMesDataCacheList&) = delete;

  static constexpr size_t kMaxPages = 4, kMaxWords = 16;
  // True when the script page can be loaded (it is cached then).
  bool PageExists(const std::string& page_name);
  // The engine holding the glyph stream of that TextIns command; nullptr
  // when the page cannot be loaded, the index is out of its commands, the
  // command is no TextIns or its stream cannot be read.
  TKsWord* GetWord(const std::string& page_name, int32_t command_index);
  void Clear();
  // Names of the cached pages, most recent first (for tests).
  std::vector<std::string> PageNames() const;

 private:
  struct TCachedWord;
  struct TCachedPage;
  TCachedPage* GetCachedPage(const std::string& page_name);
  std::vector<std::unique_ptr<TCachedPage>> pages_;
};

// What a message window builds its text from: one row of a just-inserted
// message, the rows of a backlog sheet range (layout mode) or a list of
// recorded messages (record mode).
class TOrbaNewMesData {
 public:
  TMesDataCacheList Cache;
  TOrbaHistData Rows;
  std::vector<THistMessage> Messages;

  bool IsEmpty() const { return Rows.Empty() && Messages.empty(); }
  void AddMessage(const THistMessage& message) { Messages.push_back(message); }
  void ClearMessages() { Messages.clear(); }
  // Lays the text out into Pages (which the caller owns and has emptied).
  void BuildWord(TKsWord& word, std::vector<std::unique_ptr<TWdPage>>& pages, bool from_backlog,
                 bool pack_rows, int32_t top_offset);
  // Rows (when given) are written in place of the data's own.
  void SaveToStream(TKsBigStream& stream, const TOrbaHistData* rows = nullptr) const;
  void LoadFromStream(TKsBigStream& stream, int32_t version);

 private:
  void BuildFromMessages(TKsWord& word, std::vector<std::unique_ptr<TWdPage>>& pages, bool pack_rows);
};

// The rows of the pixel range Pos .. Pos + Height of a list of sheets into
// Rows; TopOffset is how far the first row starts above Pos (0 or less).
// Sheets without rows are passed over.
void ExtractRows(const std::vector<TOrbaHistData>& sheets, int32_t pos, int32_t height, int32_t& top_offset,
                 TOrbaHistData& rows);

// The message a window shows now, waiting to go into the backlog.
struct TPendingMessage {
  std::string WindowName;
  int32_t WindowWidth = 0, WindowHeight = 0;
  std::string PageName;  // empty: nothing pending
  int32_t CommandIndex = 0;
  int32_t PageIndex = 0;
  int32_t First = 0, Last = 0;
  std::string VarLines;
};

class TOrbaHistoryFormat;

// The history of one format.
class TOrbaNewHistory {
 public:
  // The engine's six layout settings start at 0, as the format's do.
  explicit TOrbaNewHistory(TOrbaHistoryFormat& format) : Format(format) { Word.FontSize = 0; }
  TOrbaHistoryFormat& Format;
  TKsWord Word;
  std::vector<TOrbaHistData> Sheets;
  TPendingMessage Pending;
  THistoryOldDataList Records;
  int32_t Limit = 0;  // below 1: no limit
  TMesDataCacheList Cache;

  bool LayoutMode() const { return Word.Width != 0; }
  // Layout mode: the total height of the sheets; record mode: the records.
  int32_t GetSize() const;
  int32_t GetCount() const;
  void SetMessage(const TPendingMessage& message);
  void AddShownMessage(const std::string& window_name, TSysFuncMan* funcs);
  void Clear();
  void SaveToStream(TKsBigStream& stream) const;
  void LoadFromStream(TKsBigStream& stream, int32_t version);

 private:
  // The glyph stream of the pending message's command in Word.
  bool LoadCommand();
  std::string loaded_page_;
  int32_t loaded_index_ = -1;
};

// Layout parameters of a format, in stored order.
enum THistParam { hpFontHeight, hpFontBorder, hpFontShadow, hpWidth, hpHeight, hpLineSpace, hpCount };

class TOrbaHistoryFormat {
 public:
  explicit TOrbaHistoryFormat(std::string name) : Name(std::move(name)) {}
  std::string Name;  // compared exactly
  std::array<int32_t, hpCount> Params{};
  TOrbaNewHistory History{*this};
  void ClearParams() { Params.fill(0); }
};

// Every format by name; the default format (name "") is always first.
class TOrbaHistoryFormatManager {
 public:
  TOrbaHistoryFormatManager() { Clear(); }
  // Runs the variable expressions of laid-out messages (may be nullptr).
  TSysFuncMan* Funcs = nullptr;

  int32_t Count() const { return static_cast<int32_t>(formats_.size()); }
  TOrbaHistoryFormat& Item(int32_t index) const { return *formats_.at(static_cast<size_t>(index)); }
  TOrbaHistoryFormat& Default() const { return *formats_.front(); }
  TOrbaHistoryFormat* Find(const std::string& name) const;
  TOrbaHistoryFormat& FindOrAdd(const std::string& name);
  void SetMessage(const TPendingMessage& message);
  void AddShownMessage(const std::string& window_name);
  // Empties every history; the formats and their parameters stay.
  void ClearHistories();
  // Only the default format, with its parameters 0 and an empty history.
  void Clear();
  void SaveToStream(TKsBigStream& stream) const;
  // Every count is checked against the bytes left; a stream that cannot be
  // read raises and leaves the formats as they were.
  void LoadFromStream(TKsBigStream& stream, int32_t version);
  // A slot before version 135 holds the default format's history alone.
  void LoadDefaultHistory(TKsBigStream& stream, int32_t version);

 private:
  std::vector<std::unique_ptr<TOrbaHistoryFormat>> formats_;
};

// The "name=value" lines of a variable-lines text (CR LF or LF separated).
std::vector<std::string> SplitVarLines(const std::string& text);

}  // namespace orba
