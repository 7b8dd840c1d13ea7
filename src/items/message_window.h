// The message window item: shows one text at a time, laid out by its own
// text engine into pages, one page current and typed out tick by tick. It
// raises OnPlayStart, OnPlaying, OnPlayEnd, OnLink and OnNotify, feeds the
// backlog and the read marks with the pages of TextIns messages (record
// mode 1), and shows old messages when the backlog command fills it
// (record mode 2).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "items/orba_object.h"
#include "text/backlog.h"
#include "text/ks_word.h"
#include "text/wd_page.h"

namespace orba {

class TOrbaMes : public TOrbaControl {
 public:
  explicit TOrbaMes(TOrbaBaseList* manager);
  ~TOrbaMes() override;

  // Record modes.
  static constexpr uint8_t kPlainText = 0, kRecorded = 1, kBacklogDisplay = 2;

  TKsWord Word;
  std::vector<std::unique_ptr<TWdPage>> Pages;
  int32_t PageIndex = 0;  // -1: none
  int32_t ScrollOffset = 0;
  std::string OnPlaying, OnPlayStart, OnPlayEnd, OnLink, OnNotify, OnIdle;
  bool Paused = false, TextPaused = false;
  int32_t TextDelay = 256;
  uint8_t RecordMode = kPlainText;
  int32_t CommandIndex = 0;
  std::string PageName;
  TOrbaNewMesData MesData;
  std::string Text;
  int32_t SkipCounter = 0;
  bool PackRows = false;
  bool RenderNeeded = false, RenderAll = false;
  int32_t TopOffset = 0;
  bool CaptureLink = false;
  // The saved page states, between a load and RebuildAfterLoad.
  std::unique_ptr<TKsMemoryStream> PendingStates;

  TWdPage* CurrentPage() const;
  int32_t PageCount() const { return static_cast<int32_t>(Pages.size()); }

  // The operations of the text commands and the backlog.
  void InsertText(bool raise_start, bool from_backlog);
  void SetIndex(int32_t index) override;
  // After InsertText, which leaves no page shown: shows the text's first
  // page, if it has one, as SetIndex shows a page.
  void ShowFirstBuiltPage();
  // TextIns: the window takes the message of a TextIns command.
  void StartMessage(bool record, const std::string& page_name, int32_t command_index);
  // TextClr: plain text mode and no text.
  void ClearText();
  // After a saved game was loaded: the text is built again and each page
  // takes its saved display state.
  void RebuildAfterLoad();

  uint8_t GetCompoType() const override { return CT_MES; }
  uint8_t GetState() const override;
  std::string GetText() const override;
  void SetText(std::string v) override;
  void ResetTextMode() override { RecordMode = kPlainText; }
  int32_t GetIndex() const override { return PageIndex; }
  int32_t GetCount() const override { return PageCount(); }
  bool GetPlaying() const override;
  int32_t GetScrollY() const override { return ScrollOffset; }
  void SetScrollY(int32_t v) override;
  std::string GetFontName() const override { return Word.FontName; }
  void SetFontName(std::string v) override;
  int32_t GetFontHeight() const override { return Word.FontSize; }
  void SetFontHeight(int32_t v) override { ChangeSetting(Word.FontSize, v); }
  int32_t GetFontBorder() const override { return Word.DefaultBorder; }
  void SetFontBorder(int32_t v) override { ChangeSetting(Word.DefaultBorder, v); }
  int32_t GetFontShadow() const override { return Word.DefaultShadow; }
  void SetFontShadow(int32_t v) override { ChangeSetting(Word.DefaultShadow, v); }
  int32_t GetLineSpace() const override { return Word.LineSpace; }
  void SetLineSpace(int32_t v) override { ChangeSetting(Word.LineSpace, v); }
  int32_t GetFontColor() const override { return Word.TextColor; }
  void SetFontColor(int32_t v) override { ChangeColor(Word.TextColor, v); }
  int32_t GetFontLinkColor() const override { return Word.LinkColor; }
  void SetFontLinkColor(int32_t v) override { ChangeColor(Word.LinkColor, v); }
  int32_t GetFontHoverColor() const override { return Word.HoverColor; }
  void SetFontHoverColor(int32_t v) override { ChangeColor(Word.HoverColor, v); }
  int32_t GetFontBorderColor() const override { return Word.BorderColor; }
  void SetFontBorderColor(int32_t v) override { ChangeColor(Word.BorderColor, v); }
  int32_t GetFontShadowColor() const override { return Word.ShadowColor; }
  void SetFontShadowColor(int32_t v) override { ChangeColor(Word.ShadowColor, v); }
  bool GetAntiAlias() const override { return Word.AntiAlias > 0; }
  void SetAntiAlias(bool v) override;
  int32_t GetAlpha() const override { return Word.Alpha; }
  void SetAlpha(int32_t v) override;
  int32_t GetDelay() const override { return Word.FadeTime; }
  void SetDelay(int32_t v) override { Word.SetFadeTime(std::max(v, 0)); }
  int32_t GetTextDelay() const override { return TextDelay; }
  void SetTextDelay(int32_t v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override;
  bool GetTextPaused() const override { return TextPaused; }
  void SetTextPaused(bool v) override;
  TPoint GetCaretPos() const override { return Word.Caret; }
  int32_t GetCaretHeight() const override { return Word.CaretHeight; }
  bool GetCaptureLink() const override { return CaptureLink; }
  void SetCaptureLink(bool v) override { CaptureLink = v; }
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  std::string GetOnNotify() const override { return OnNotify; }
  void SetOnNotify(std::string v) override;
  std::string GetOnPlaying() const override { return OnPlaying; }
  void SetOnPlaying(std::string v) override { OnPlaying = std::move(v); }
  std::string GetOnPlaystart() const override { return OnPlayStart; }
  void SetOnPlaystart(std::string v) override { OnPlayStart = std::move(v); }
  std::string GetOnPlayEnd() const override { return OnPlayEnd; }
  void SetOnPlayEnd(std::string v) override { OnPlayEnd = std::move(v); }
  std::string GetOnLink() const override { return OnLink; }
  void SetOnLink(std::string v) override { OnLink = std::move(v); }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }

  void Draw() override;
  TOrbaObject* HitTest(TPoint p, uint32_t mask) override;
  bool Idle() override;
  void DoLButtonDown() override;
  void DoMouseMove() override;
  void DoMouseOut() override;
  // The pictures of the text go, and the page's text and coverage bitmaps;
  // RestoreSurface renders the page again.
  void FreeSurface() override;
  void RestoreSurface() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  // Shows page Index (one of the pages) whether or not it is shown already.
  void ShowPage(int32_t index);
  void RegisterPage();
  void NotifyPlayStart();
  void FreePages();
  void PlaceWord();
  void HoverTo(int32_t x, int32_t y);
  void InvalidateDirty();
  void RenderCurrent(bool all);
  void ChangeSetting(int32_t& field, int32_t v);
  void ChangeColor(int32_t& field, int32_t v);
  void SyncPause();
  // Builds the pages from the message data; Record sends the pending page
  // into the backlog first.
  void BuildText(bool raise_start, bool from_backlog, bool record);
};

// The object as a message window, or nullptr.
TOrbaMes* AsMessageWindow(TOrbaObject* object);
inline const TOrbaMes* AsMessageWindow(const TOrbaObject* object) { return dynamic_cast<const TOrbaMes*>(object); }

// CallHist: shows Count from Start of a history in the window (backlog
// display): a pixel range of the sheets in layout mode, record indexes in
// record mode.
void FillMessage(TOrbaNewHistory& history, int32_t start, int32_t count, TOrbaMes& window);

}  // namespace orba
