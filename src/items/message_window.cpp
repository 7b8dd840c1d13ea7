#include "items/message_window.h"

#include <algorithm>
#include <utility>

#include "core/streams/stream_encoding.h"
#include "items/base_list.h"
#include "items/orba_globals.h"

namespace orba {

namespace {

// The record reserves an int32 and three strings after the scroll offset.
constexpr TReservedFields kMesReservedFields{.Ints = 1, .Strings = 3};

// The lines of a text (CR LF, CR or LF separated) as event arguments.
TArrayString LinesOf(const std::string& text, TArrayString args = {}) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    args.Add(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return args;
}

}  // namespace

TOrbaMes* AsMessageWindow(TOrbaObject* object) { return dynamic_cast<TOrbaMes*>(object); }

TOrbaMes::TOrbaMes(TOrbaBaseList* manager) : TOrbaControl(manager) {
  Word.AntiAlias = 3;
  Word.ScreenBitCount = TOrbaBase::kScreenBits;
  if (manager != nullptr) Word.Funcs = manager->Services.Funcs;
  Word.OnEvent = [this](TKsWord&, const std::string& text) {
    if (OnNotify.empty()) return;
    const TArrayString args = LinesOf(text);
    QueueEvent(OnNotify, PR_ONNOTIFY, &args);
  };
}

TOrbaMes::~TOrbaMes() {
  Invalidate();
  Word.OnEvent = nullptr;
  FreePages();
}

TWdPage* TOrbaMes::CurrentPage() const {
  return PageIndex >= 0 && PageIndex < PageCount() ? Pages[static_cast<size_t>(PageIndex)].get() : nullptr;
}

void TOrbaMes::FreePages() { Pages.clear(); }

void TOrbaMes::PlaceWord() {
  Word.X = GetScreenLeft();
  Word.Y = GetScreenTop();
  if (Manager != nullptr && Word.Funcs == nullptr) Word.Funcs = Manager->Services.Funcs;
}

void TOrbaMes::RenderCurrent(bool all) {
  if (TWdPage* page = CurrentPage()) {
    PlaceWord();
    page->Render(all);
  }
}

// ---- the message's life --------------------------------------------------------------------------

void TOrbaMes::RegisterPage() {
  TWdPage* page = CurrentPage();
  if (RecordMode != kRecorded || PageName.empty() || page == nullptr) return;
  page->StoreVarValues();
  TPendingMessage m;
  m.WindowName = GetName();
  m.WindowWidth = Width;
  m.WindowHeight = Height;
  m.PageName = PageName;
  m.CommandIndex = CommandIndex;
  m.PageIndex = PageIndex;
  m.First = Word.TextOffsetOf(page->GetFirstChar());
  m.Last = Word.TextOffsetOf(page->GetLastChar());
  m.VarLines = page->VarValues;
  if (TextHistoryFormats != nullptr) TextHistoryFormats->SetMessage(m);
  if (TextRead != nullptr) TextRead->SetPending(GetName(), PageName, CommandIndex, PageIndex);
}

void TOrbaMes::NotifyPlayStart() {
  if (OnPlayStart.empty()) return;
  const bool read = RecordMode == kRecorded && !PageName.empty() && TextRead != nullptr &&
                    TextRead->IsRead(PageName, CommandIndex, PageIndex);
  TArrayString args;
  args.Add(read ? "1" : "0");
  QueueEvent(OnPlayStart, PR_ONPLAYSTART, &args);
  SkipCounter = 1;
}

void TOrbaMes::SetIndex(int32_t index) {
  if (index < 0 || index >= PageCount() || index == PageIndex) return;
  ShowPage(index);
}

void TOrbaMes::ShowFirstBuiltPage() {
  if (PageCount() > 0) ShowPage(0);
}

void TOrbaMes::ShowPage(int32_t index) {
  if (PageIndex >= 0 && TextHistoryFormats != nullptr) TextHistoryFormats->AddShownMessage(GetName());
  PageIndex = index;
  ScrollOffset = 0;
  NotifyPlayStart();
  RegisterPage();
  CurrentPage()->ResetDisplay();
  RenderNeeded = RenderAll = true;
  Invalidate();
}

void TOrbaMes::SetText(std::string v) {
  Invalidate();
  MesData.Rows.Clear();
  Text = std::move(v);
  if (TextHistoryFormats != nullptr) TextHistoryFormats->AddShownMessage(GetName());
  TopOffset = 0;
  FreePages();
  Word.Clear();
  PlaceWord();
  try {
    Word.BuildGlyphs(Text);
  } catch (const EOrbaError&) {
    // The glyphs built before the faulty tag stay.
  }
  Word.ExpandVars(0, -1, false);
  Word.Layout(Pages, 0, -1);
  PageIndex = 0;
  ScrollOffset = 0;
  if (!Pages.empty()) {
    RenderNeeded = RenderAll = true;
    NotifyPlayStart();
  }
}

std::string TOrbaMes::GetText() const {
  TWdPage* page = CurrentPage();
  return page != nullptr ? page->GetVisibleText() : std::string();
}

void TOrbaMes::BuildText(bool raise_start, bool from_backlog, bool record) {
  Invalidate();
  Text.clear();
  if (record && TextHistoryFormats != nullptr) TextHistoryFormats->AddShownMessage(GetName());
  if (record) RegisterPage();
  FreePages();
  PageIndex = -1;
  PlaceWord();
  MesData.BuildWord(Word, Pages, from_backlog, PackRows, TopOffset);
  if (!Pages.empty()) {
    if (raise_start) NotifyPlayStart();
    RenderNeeded = RenderAll = true;
  }
}

void TOrbaMes::InsertText(bool raise_start, bool from_backlog) { BuildText(raise_start, from_backlog, true); }

void TOrbaMes::StartMessage(bool record, const std::string& page_name, int32_t command_index) {
  RecordMode = kPlainText;
  TopOffset = 0;
  if (record) {
    RecordMode = kRecorded;
    PageName = page_name;
    CommandIndex = command_index;
  }
  MesData.Rows.Clear();
  MesData.Rows.AddRow(THistRow{.PageName = page_name,
                               .CommandIndex = command_index,
                               .First = 0,
                               .Last = -1,
                               .Height = 0,
                               .VarLines = std::string()});
  PackRows = false;
  InsertText(false, false);
  if (!Pages.empty()) SetIndex(0);
}

void TOrbaMes::ClearText() {
  RecordMode = kPlainText;
  SetText(std::string());
}

void TOrbaMes::RebuildAfterLoad() {
  const int32_t index = PageIndex, scroll = ScrollOffset, command = CommandIndex;
  const uint8_t mode = RecordMode;
  const std::string page_name = PageName;
  try {
    if (MesData.IsEmpty()) {
      // Plain text: laid out again without touching the backlog.
      const std::string text = Text;
      FreePages();
      Word.Clear();
      PlaceWord();
      Word.BuildGlyphs(text);
      Word.ExpandVars(0, -1, false);
      Word.Layout(Pages, 0, -1);
    } else {
      // The backlog already holds what the saved game recorded.
      BuildText(false, false, false);
    }
  } catch (const EOrbaError&) {
    // A text that cannot be laid out again (its font is gone): the window
    // keeps what was built.
  }
  PageIndex = index, ScrollOffset = scroll, RecordMode = mode, PageName = page_name, CommandIndex = command;
  SkipCounter = 0;
  if (TWdPage* page = CurrentPage()) {
    page->ResetDisplay();
    page->ScrollOffset = ScrollOffset;
    try {
      RenderCurrent(false);
    } catch (const EOrbaError&) {
    }
  }
  if (PendingStates != nullptr) {
    PendingStates->SetPosition(0);
    const int64_t end = PendingStates->GetSize();
    try {
      for (const auto& page : Pages) page->LoadState(*PendingStates, end);
    } catch (const EOrbaError&) {
      // States cut short: the pages keep what was read.
    }
    PendingStates.reset();
  }
  RenderNeeded = RenderAll = false;
  Invalidate();
}

// ---- properties ----------------------------------------------------------------------------------

uint8_t TOrbaMes::GetState() const {
  TWdPage* page = CurrentPage();
  return page != nullptr && page->IsShowing() ? 0 : 2;
}

bool TOrbaMes::GetPlaying() const {
  TWdPage* page = CurrentPage();
  return page != nullptr && (PageIndex + 1 < PageCount() || page->IsShowing());
}

void TOrbaMes::SetScrollY(int32_t v) {
  if (v == ScrollOffset) return;
  ScrollOffset = v;
  if (TWdPage* page = CurrentPage()) {
    page->ScrollOffset = v;
    page->ResetTiming();
  }
  Invalidate();
}

void TOrbaMes::SetFontName(std::string v) {
  Word.FontName = std::move(v);
  if (CurrentPage() == nullptr) return;
  RenderNeeded = true;
  Invalidate();
}

void TOrbaMes::ChangeSetting(int32_t& field, int32_t v) {
  if (field == v) return;
  Invalidate();
  field = v;
  RenderNeeded = true;
  Invalidate();
}

void TOrbaMes::ChangeColor(int32_t& field, int32_t v) {
  if (field == v) return;
  field = v;
  RenderNeeded = true;
  Invalidate();
}

void TOrbaMes::SetAntiAlias(bool v) {
  const int32_t level = v ? 3 : 0;
  if (level == Word.AntiAlias) return;
  Word.AntiAlias = level;
  if (CurrentPage() != nullptr) RenderNeeded = true;
  Invalidate();
}

void TOrbaMes::SetAlpha(int32_t v) {
  if (v == Word.Alpha) return;
  Word.Alpha = v;
  Invalidate();
}

void TOrbaMes::SetTextDelay(int32_t v) {
  TextDelay = v;
  Word.TextDelay = v;
}

void TOrbaMes::SyncPause() {
  const uint8_t paused = Paused || TextPaused ? 1 : 0;
  const bool resumed = Word.Paused != 0 && paused == 0;
  Word.Paused = paused;
  if (resumed)
    if (TWdPage* page = CurrentPage()) page->ResetTiming();
}

void TOrbaMes::SetPaused(bool v) {
  Paused = v;
  SyncPause();
}

void TOrbaMes::SetTextPaused(bool v) {
  TextPaused = v;
  SyncPause();
}

void TOrbaMes::SetWidth(int32_t v) {
  TOrbaControl::SetWidth(v);
  Word.Width = v;
}

void TOrbaMes::SetHeight(int32_t v) {
  TOrbaControl::SetHeight(v);
  Word.MaxHeight = v;
}

void TOrbaMes::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TOrbaControl::SetBounds(left, top, width, height);
  Word.Width = width;
  Word.MaxHeight = height;
}

void TOrbaMes::SetOnNotify(std::string v) {
  OnNotify = std::move(v);
  Word.EventsEnabled = OnNotify.empty() ? 0 : 1;
}

// ---- the tick, painting and input ----------------------------------------------------------------

void TOrbaMes::InvalidateDirty() {
  TOrbaBase* screen = GetScreen();
  if (!GetVisible() || screen == nullptr) return;
  for (const TRect& r : Word.DirtyRects) screen->InvalidateRect(r);
}

bool TOrbaMes::Idle() {
  TOrbaControl::Idle();
  if (SkipCounter > 0) {
    --SkipCounter;
    return false;
  }
  if (EventQueued(PR_ONPLAYSTART)) return false;
  if (RenderNeeded) {
    RenderCurrent(RenderAll);
    RenderNeeded = RenderAll = false;
    Invalidate();
  }
  if (TWdPage* page = CurrentPage()) {
    PlaceWord();
    bool completed = false;
    std::string text;
    page->Step(completed, text);
    if (!text.empty() && !OnPlaying.empty()) {
      TArrayString args;
      args.Add(text);
      QueueEvent(OnPlaying, PR_ONPLAYING, &args);
    }
    if (completed) {
      if (TextRead != nullptr) TextRead->CommitPending(GetName());
      if (!OnPlayEnd.empty()) QueueEvent(OnPlayEnd, PR_ONPLAYEND);
    }
    InvalidateDirty();
  }
  return false;
}

void TOrbaMes::Draw() {
  TCustomDIBX* surface = GetSurface();
  TWdPage* page = CurrentPage();
  if (surface != nullptr && page != nullptr && GetVisible() && GetScreen() != nullptr) {
    const TRect saved = surface->GetClipRect();
    TRect overlap;
    IntersectRects(GetBoundsRect(), saved, overlap);
    if (!RectIsEmpty(overlap)) {
      surface->ResetClipRect();
      surface->IncludeClipRect(overlap);
      PlaceWord();
      Word.Target = surface;
      Word.PaintRect = overlap;
      page->Paint();
      Word.Target = nullptr;
      surface->ResetClipRect();
      surface->IncludeClipRect(saved);
    }
  }
  TOrbaControl::Draw();
}

TOrbaObject* TOrbaMes::HitTest(TPoint p, uint32_t mask) {
  if (!GetVisible() || !PointInRect(p, GetBoundsRect())) return nullptr;
  for (size_t i = GetChildren().size(); i-- > 0;) {
    TOrbaControl* child = GetChildren()[i];
    if (child->GetName().empty()) continue;
    if (TOrbaObject* hit = child->HitTest(p, mask)) return hit;
  }
  const uint8_t v = GetIgnoreMouse();
  const bool allowed = v < 8 && ((mask >> v) & 1) != 0;
  if (!allowed) return nullptr;
  if (!CaptureLink) return this;
  TWdPage* page = CurrentPage();
  if (page == nullptr) return nullptr;
  PlaceWord();
  TWdGlyph* g = page->GlyphAt(p.X, p.Y);
  return g != nullptr && !g->GetLink().empty() ? this : nullptr;
}

void TOrbaMes::HoverTo(int32_t x, int32_t y) {
  TWdPage* page = CurrentPage();
  PlaceWord();
  Word.ClearDirtyRects();
  page->HoverAt(x, y);
  InvalidateDirty();
}

void TOrbaMes::DoMouseMove() {
  TWdPage* page = CurrentPage();
  TOrbaBase* screen = GetScreen();
  if (!GetVisible() || screen == nullptr || page == nullptr) {
    TOrbaControl::DoMouseMove();
    return;
  }
  if (Paused || page->IsShowing())
    HoverTo(-1, -1);
  else
    HoverTo(screen->MouseX, screen->MouseY);
}

void TOrbaMes::DoMouseOut() {
  TWdPage* page = CurrentPage();
  if (GetVisible() && GetScreen() != nullptr && page != nullptr)
    HoverTo(-1, -1);
  else
    TOrbaControl::DoMouseOut();
}

void TOrbaMes::DoLButtonDown() {
  TWdPage* page = CurrentPage();
  if (!OnLink.empty() && page != nullptr && page->HoverGlyph != nullptr && !EventQueued(PR_ONLINK)) {
    const TArrayString head = [&] {
      TArrayString a;
      a.Add(page->GetHoverText());
      return a;
    }();
    const TArrayString args = LinesOf(page->HoverGlyph->GetLink(), head);
    QueueEvent(OnLink, PR_ONLINK, &args);
    if (TOrbaBase* screen = GetScreen()) screen->LeftPressed = false;
    return;
  }
  TOrbaControl::DoLButtonDown();
}

void TOrbaMes::FreeSurface() {
  Word.FreeImages();
  Word.TextSurface.SetSize(0, 0, Word.TextSurface.BitCount());
  Word.Coverage.SetSize(0, 0, 8);
}

void TOrbaMes::RestoreSurface() {
  Word.LoadImages();
  RenderCurrent(true);
}

// ---- saved state ---------------------------------------------------------------------------------

void TOrbaMes::SaveToStream(TKsBigStream& s) const {
  TOrbaControl::SaveToStream(s);
  // The variable values shown on the current page go with every row.
  TOrbaHistData rows = MesData.Rows;
  if (TWdPage* page = CurrentPage()) {
    page->StoreVarValues();
    for (THistRow& row : rows.Rows) row.VarLines = page->VarValues;
  }
  Word.SaveToStream(s);
  MesData.SaveToStream(s, &rows);
  WriteStreamBool(s, PackRows);
  WriteStreamInt(s, TopOffset);
  WriteStreamString(s, Text);
  WriteStreamInt(s, PageIndex);
  WriteStreamInt(s, ScrollOffset);
  kMesReservedFields.Write(s);
  for (const std::string* label : {&OnPlaying, &OnPlayStart, &OnPlayEnd, &OnLink, &OnNotify})
    WriteStreamString(s, *label);
  WriteStreamBool(s, Paused);
  WriteStreamBool(s, TextPaused);
  WriteStreamInt(s, TextDelay);
  WriteStreamByte(s, RecordMode);
  WriteStreamString(s, PageName);
  WriteStreamInt(s, CommandIndex);
  WriteStreamString(s, OnIdle);
  WriteStreamBool(s, CaptureLink);
  TKsMemoryStream states;
  if (PendingStates != nullptr) {
    states.Write(PendingStates->Bytes().data(), PendingStates->GetSize());
  } else {
    for (const auto& page : Pages) page->SaveState(states);
  }
  WriteStreamInt(s, static_cast<int32_t>(states.GetSize()));
  s.Write(states.Bytes().data(), states.GetSize());
}

void TOrbaMes::LoadFromStream(TKsBigStream& s, int32_t version) {
  TOrbaControl::LoadFromStream(s, version);
  Word.LoadFromStream(s, version);
  MesData.LoadFromStream(s, version);
  PackRows = ReadStreamBool(s);
  TopOffset = version >= kSceneTopOffsetVersion ? ReadStreamInt(s) : 0;
  Text = ReadStreamString(s);
  PageIndex = ReadStreamInt(s);
  ScrollOffset = ReadStreamInt(s);
  kMesReservedFields.Skip(s);
  for (std::string* label : {&OnPlaying, &OnPlayStart, &OnPlayEnd, &OnLink, &OnNotify})
    *label = ReadStreamString(s);
  Paused = ReadStreamBool(s);
  TextPaused = ReadStreamBool(s);
  TextDelay = ReadStreamInt(s);
  RecordMode = ReadByteVal(s);
  PageName = ReadStreamString(s);
  CommandIndex = ReadStreamInt(s);
  OnIdle = ReadStreamString(s);
  if (version >= kSceneTagVersion) CaptureLink = ReadStreamBool(s);
  const int32_t size = ReadStreamInt(s);
  PendingStates.reset();
  if (size >= 1) {
    // The size must lie within the bytes left: a larger one is a damaged save.
    CheckStoredCount(s, size, 1);
    auto states = std::make_unique<TKsMemoryStream>();
    states->SetSize(size);
    if (s.Read(states->MutableBytes().data(), size) != size) throw EReadError("message window: states cut short");
    PendingStates = std::move(states);
  }
}

// ---- the backlog display ------------------------------------------------------------------------

void FillMessage(TOrbaNewHistory& history, int32_t start, int32_t count, TOrbaMes& window) {
  window.RecordMode = TOrbaMes::kBacklogDisplay;
  if (history.LayoutMode()) {
    int32_t top = 0;
    window.MesData.ClearMessages();
    ExtractRows(history.Sheets, start, count, top, window.MesData.Rows);
    window.TopOffset = top;
  } else {
    window.MesData.ClearMessages();
    window.MesData.Rows.Clear();
    for (int64_t i = start; i < int64_t{start} + count && i < history.Records.Count(); ++i) {
      const auto k = static_cast<int32_t>(i);
      THistMessage m = history.Records.Items[static_cast<size_t>(k)];
      m.PageName = history.Records.ResolvedName(k);
      window.MesData.AddMessage(m);
    }
    window.SetOffsetY(0);
  }
  window.InsertText(true, true);
  window.ShowFirstBuiltPage();
}

}  // namespace orba
