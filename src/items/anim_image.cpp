#include "items/anim_image.h"

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "script/expr/expr_exec.h"
#include "script/interp/com_component.h"
#include "script/values/params.h"

namespace orba {

// ---- TOrbaCustomImages -------------------------------------------------------

bool TOrbaCustomImages::IsValidCell(int32_t index) const {
  TOrbaImageList* list = GetImageList();
  return list != nullptr && list->GetCell(index) != nullptr;
}

TOrbaImageData* TOrbaCustomImages::CurrentCell() const {
  TOrbaImageList* list = GetImageList();
  return list != nullptr ? list->GetCell(Index) : nullptr;
}

int32_t TOrbaCustomImages::GetCount() const {
  TOrbaImageList* list = GetImageList();
  return list != nullptr ? list->Count() : 0;
}

void TOrbaCustomImages::SetIndex(int32_t v) {
  if (v == Index) return;
  if (IsValidCell(Index))
    Invalidate();
  else
    Remaining = 0;
  Index = v;
  TOrbaImageData* cell = CurrentCell();
  if (cell == nullptr) return;
  cell->SetBrightness(Brightness);
  SetDIB(cell->GetDIB());
  SetMaskDIB(cell->GetMask());
  FilmColorKey = cell->GetColorKey();
  Remaining = AddMilliseconds(Remaining, cell->GetDelay());
  TOrbaImageList* list = GetImageList();
  if (v == list->Count() - 1 && list->Count() > 1 && !EndExpression.Empty() && Manager != nullptr &&
      Manager->Services.Funcs != nullptr) {
    EndExpression.Result.reset();
    ExecuteParser(EndExpression, *Manager->Services.Funcs);
    if (EndExpression.Result) Remaining = AddMilliseconds(Remaining, EndExpression.Result->GetAsInt());
  }
  if (IsAutoSized()) {
    const int32_t w = Width, h = Height;
    Invalidate();
    UpdateWidth();
    UpdateHeight();
    if (w != Width || h != Height) Invalidate();
  }
}

void TOrbaCustomImages::SetBrightness(int32_t v) {
  if (v == Brightness) return;
  Brightness = v;
  if (TOrbaImageData* cell = CurrentCell()) {
    cell->SetBrightness(v);
    SetDIB(cell->GetDIB());
    Invalidate();
  }
}

void TOrbaCustomImages::SetPaused(bool v) {
  if (v == Paused) return;
  Paused = v;
  Remaining = 0;
}

void TOrbaCustomImages::SetVisible(bool v) {
  TOrbaCustomImage::SetVisible(v);
  Remaining = 0;
}

bool TOrbaCustomImages::GetPlaying() const {
  if (Motion != nullptr) return TOrbaCustomImage::GetPlaying();
  if (!GetRepeat() && Index >= GetCount() - 1 && Remaining < 1) return false;
  return !Paused && !GetAniPaused();
}

bool TOrbaCustomImages::Idle() {
  bool answer = TOrbaCustomImage::Idle();
  if (Motion != nullptr || !IsValidCell(Index) || !GetVisible() || Paused || GetAniPaused()) return answer;
  if (Remaining > 0) Remaining = AddMilliseconds(Remaining, -int64_t{FrameTime});
  const int32_t count = GetCount();
  while (Remaining <= 0) {
    if (Index < count - 1) {
      // Two cells or fewer drop the overshoot; longer lists carry it.
      if (count <= 2) Remaining = 0;
      SetIndex(Index + 1);
      continue;
    }
    if (GetRepeat()) {
      Remaining = 0;
      SetIndex(0);
      break;
    }
    if (GetAutoScrap()) return true;
    const std::string label = GetOnPlayEnd();
    if (!label.empty()) QueueEvent(label, PR_ONPLAYEND);
    break;
  }
  return answer;
}

void TOrbaCustomImages::FreeSurface() {
  SetDIB(nullptr);
  TOrbaCustomImage::FreeSurface();
}

void TOrbaCustomImages::RestoreSurface() {
  if (TOrbaImageData* cell = CurrentCell()) SetDIB(cell->GetDIB());
  TOrbaCustomImage::RestoreSurface();
  // A film's frame bitmap went with the surfaces: the film shows its
  // current frame again.
  if (TOrbaMotion* motion = GetMotion()) motion->ReapplyFrame();
}

void TOrbaCustomImages::SaveToStream(TKsBigStream& stream) const {
  TOrbaCustomImage::SaveToStream(stream);
  WriteStreamInt(stream, Remaining);
  WriteStreamInt(stream, GetIndex());
  WriteStreamInt(stream, Brightness);
  WriteStreamBool(stream, Paused);
  EndExpression.SaveToStream(stream);
}

void TOrbaCustomImages::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaCustomImage::LoadFromStream(stream, version);
  Remaining = ReadStreamInt(stream);
  Index = ReadStreamInt(stream);
  Brightness = ReadStreamInt(stream);
  Paused = ReadStreamBool(stream);
  EndExpression.LoadFromStream(stream);
}

// ---- TOrbaImages ---------------------------------------------------------------

TOrbaImages::TOrbaImages(TOrbaBaseList* manager) : TOrbaCustomImages(manager) {
  for (int32_t i = 0; i < GetStripCount(); ++i) Strips.push_back(std::make_unique<TOrbaImageList>());
}

TOrbaImages::~TOrbaImages() {
  // The lists give their cache entries back; the shown cell goes with them.
  OverrideDIB = nullptr;
  OverrideMask = nullptr;
  Strips.clear();
}

TOrbaImageList* TOrbaImages::GetImageList() const {
  const int32_t strip = GetStrip();
  if (strip < 0 || strip >= static_cast<int32_t>(Strips.size())) return nullptr;
  return Strips[static_cast<size_t>(strip)].get();
}

bool IsBrixName(const std::string& name) {
  return name.size() >= 4 && SjisLowerCase(name.substr(name.size() - 4)) == ".brx";
}

void TOrbaImages::SetSource(std::string v) {
  if (v == Source) return;
  Source = std::move(v);
  if (GetStrip() == 0) {
    SetIndex(-1);
    SetDIB(nullptr);
    SetMaskDIB(nullptr);
  }
  Strips[0]->Clear();
  Motion.reset();
  if (IsBrixName(Source)) {
    Strips[0]->LoadBrix(this, Source, false);
  } else if (IsFilmName(Source)) {
    StartMotion(Source);
    if (Motion != nullptr) {
      Motion->Step();
      Motion->Rewind();
    } else {
      SetWidth(0);
      SetHeight(0);
    }
  } else {
    // An image item shows Brix pictures and films only: any other picture
    // named here stays 0 x 0, and the author is told so.
    if (!Source.empty()) TellPictureRefused(Source, kNotABrixName);
    SetWidth(0);
    SetHeight(0);
  }
  if (GetStrip() == 0 && Strips[0]->Count() > 0) SetIndex(0);
}

void TOrbaImages::SetRepeat(bool v) {
  if (v == Repeat) return;
  Repeat = v;
  if (!v) return;
  if (Motion == nullptr) {
    if (GetImageList() != nullptr && GetImageList()->Count() > 0 && !IsValidCell(Index)) SetIndex(0);
  } else if (Motion->Ended()) {
    Motion->Rewind();
  }
}

void TOrbaImages::FreeSurface() {
  TOrbaCustomImages::FreeSurface();
  for (auto& strip : Strips) strip->FreeSurfaces();
}

void TOrbaImages::RestoreSurface() {
  for (auto& strip : Strips) strip->RestoreSurfaces();
  TOrbaCustomImages::RestoreSurface();
}

void TOrbaImages::SaveToStream(TKsBigStream& stream) const {
  TOrbaCustomImages::SaveToStream(stream);
  WriteStreamBool(stream, Repeat);
  WriteStreamBool(stream, AutoScrap);
  WriteStreamString(stream, Source);
  WriteStreamString(stream, OnPlayEnd);
  WriteStreamString(stream, OnIdle);
}

void TOrbaImages::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaCustomImages::LoadFromStream(stream, version);
  const int32_t kept = Index;
  const int32_t kept_remaining = Remaining;
  Repeat = ReadStreamBool(stream);
  AutoScrap = ReadStreamBool(stream);
  SetSource(ReadStreamString(stream));
  OnPlayEnd = ReadStreamString(stream);
  OnIdle = ReadStreamString(stream);
  SetIndex(kept);
  // Selecting the cells again added their delays; the saved time left for
  // the cell holds.
  Remaining = kept_remaining;
}

void TOrbaImages::TakeCommandExpressions(TComComponent& command) {
  if ((command.GetOpcode() & 0x7F) != OP_ImgNew) return;
  if (const TOrbaParser* delay = command.Expressions[PR_DELAY].get()) EndExpression.Assign(*delay);
}

void RegisterImageItems() {
  RegisterCompoType(CT_IMAGES, [](TOrbaBaseList* manager) -> TOrbaObject* {
    return NewOrbaObject<TOrbaImages>(manager);
  });
}

}  // namespace orba
