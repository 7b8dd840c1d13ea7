#include "items/button.h"

#include <algorithm>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "items/base_list.h"
#include "items/brix_cache.h"

namespace orba {

static_assert(kButtonCaptionTextVersion <= kSceneVersion, "the caption's text is written from its version on");

TOrbaButton::TOrbaButton(TOrbaBaseList* manager) : TOrbaImages(manager) {
  while (static_cast<int32_t>(Strips.size()) < GetStripCount()) Strips.push_back(std::make_unique<TOrbaImageList>());
  Caption.Add();
}

TOrbaButton::~TOrbaButton() {
  OverrideDIB = nullptr;
  OverrideMask = nullptr;
  Strips.clear();
}

std::string& TOrbaButton::StripSource(int32_t strip) {
  return strip == kHover ? HoverSource : (strip == kPressed ? PressedSource : ClickedSource);
}

TOrbaMotion* TOrbaButton::GetMotion() const {
  if (CurrentStrip >= kHover && CurrentStrip <= kClicked) return StripMotions[static_cast<size_t>(CurrentStrip - 1)].get();
  return CurrentStrip == kNormal ? Motion.get() : nullptr;
}

void TOrbaButton::SetStripSource(int32_t strip, std::string v) {
  if (v == StripSource(strip)) return;
  StripSource(strip) = std::move(v);
  const bool showing = CurrentStrip == strip;
  if (showing) {
    SetIndex(-1);
    SetDIB(nullptr);
    SetMaskDIB(nullptr);
  }
  TOrbaImageList& cells = *Strips[static_cast<size_t>(strip)];
  std::unique_ptr<TOrbaMotion>& motion = StripMotions[static_cast<size_t>(strip - 1)];
  cells.Clear();
  motion.reset();
  const std::string& source = StripSource(strip);
  if (IsFilmName(source)) {
    // The film plays on this button; its own motion stays apart.
    std::unique_ptr<TOrbaMotion> own = std::move(Motion);
    StartMotion(source);
    motion = std::move(Motion);
    Motion = std::move(own);
  } else if (IsBrixName(source)) {
    cells.LoadBrix(this, source, false);
  } else if (!source.empty()) {
    // The strip stays empty, as an image item does: the author is told.
    TellPictureRefused(source, kNotABrixName);
  }
  if (showing && cells.Count() > 0) SetIndex(0);
}

void TOrbaButton::SetStrip(int32_t strip) {
  if (CurrentStrip == kClicked) {
    ReturnStrip = strip;
    return;
  }
  if (strip < kNormal || strip > kClicked) return;
  if (strip != CurrentStrip && strip != kNormal && StripMotions[static_cast<size_t>(strip - 1)] == nullptr &&
      Strips[static_cast<size_t>(strip)]->Count() == 0)
    return;
  Invalidate();
  CurrentStrip = strip;
  if (strip == kClicked) ReturnStrip = kNormal;
  SetIndex(-1);
  SetIndex(0);
  if (TOrbaImageData* cell = CurrentCell()) {
    Remaining = cell->GetDelay();
  } else {
    SetDIB(nullptr);
    SetMaskDIB(nullptr);
  }
  if (TOrbaMotion* motion = GetMotion()) motion->Rewind();
  Invalidate();
}

std::string TOrbaButton::GetText() const { return Caption.GetItem(0)->Text; }

void TOrbaButton::SetText(std::string v) {
  Caption.GetItem(0)->SetText(v);
  Invalidate();
}

void TOrbaButton::CaptionChanged() {
  Caption.Invalidate();
  if (!GetText().empty()) Invalidate();
}

void TOrbaButton::SetFontName(std::string v) {
  if (v == Caption.FontName) return;
  Caption.FontName = std::move(v);
  CaptionChanged();
}

void TOrbaButton::SetFontHeight(int32_t v) {
  if (v == Caption.FontSize) return;
  Caption.SetFontSize(v);
  CaptionChanged();
}

void TOrbaButton::SetFontStyle(TFontStyle v) {
  const auto style = static_cast<uint8_t>(FontStyleToInt(v));
  if (style == Caption.Style) return;
  Caption.Style = style;
  CaptionChanged();
}

void TOrbaButton::SetFontColor(int32_t v) {
  if (v == Caption.TextColor) return;
  Caption.TextColor = v;
  CaptionChanged();
}

void TOrbaButton::SetAntiAlias(bool v) {
  Caption.AntiAlias = v ? 3 : 0;
  CaptionChanged();
}

void TOrbaButton::SetGroupIndex(int32_t v) {
  if (v == GroupIndex) return;
  GroupIndex = v;
  if (TOrbaControl* parent = GetParent()) parent->UpdateGroup(nullptr, GroupIndex);
}

void TOrbaButton::SetSelected(bool v) {
  if ((v && GroupIndex == 0) || v == Selected) return;
  Selected = v;
  SetStrip(v ? kPressed : kNormal);
  if (TOrbaControl* parent = GetParent()) parent->UpdateGroup(this, GroupIndex);
}

void TOrbaButton::SetGroupSelected(bool selected) {
  Selected = selected;
  SetStrip(selected ? kPressed : kNormal);
}

void TOrbaButton::SetAllowAllUp(bool v) {
  TOrbaControl* parent = GetParent();
  if (GroupIndex == 0 || parent == nullptr) {
    AllowAllUp = v;
    return;
  }
  parent->SetGroupFlags(GroupIndex, v);
  parent->UpdateGroup(nullptr, GroupIndex);
}

void TOrbaButton::SetPaused(bool v) {
  TOrbaImages::SetPaused(v);
  if (!v) SetStrip(kNormal);
}

void TOrbaButton::Click() {
  if (!OnNotify.empty()) QueueEvent(OnNotify, PR_ONNOTIFY);
  if (GroupIndex != 0) {
    if (!Selected || AllowAllUp) SetSelected(!Selected);
    return;
  }
  SetStrip(kClicked);
  if (CurrentStrip != kClicked && AutoScrap) PressState = -1;
}

bool TOrbaButton::UnderPointer() const {
  TOrbaBase* root = GetScreen();
  return root != nullptr && root->HitTest(TPoint{root->MouseX, root->MouseY}, 17) == this;
}

void TOrbaButton::DoMouseMove() {
  if (PressState == 1) {
    SetStrip(Selected || UnderPointer() ? kPressed : kNormal);
    return;
  }
  SetStrip(!Paused && !Selected ? kHover : (Selected ? kPressed : kNormal));
  TOrbaImages::DoMouseMove();
}

void TOrbaButton::DoMouseOut() {
  if (CurrentStrip != kClicked) SetStrip(Selected ? kPressed : kNormal);
  TOrbaImages::DoMouseOut();
}

void TOrbaButton::DoLButtonDown() {
  if (IgnoreMouse != IM_NONE && IgnoreMouse != IM_RCLICK) {
    TOrbaImages::DoLButtonDown();
    return;
  }
  TOrbaBase* root = GetScreen();
  if (!Paused && CurrentStrip != kClicked) {
    // The button holds the press: "@LPush" reads false until the release.
    if (root != nullptr) root->Capture |= TOrbaBase::kLeftCaptured;
    SetStrip(kPressed);
    PressState = 1;
  }
  if (root != nullptr) root->LeftPressed = false;
}

void TOrbaButton::DoLButtonUp() {
  if (PressState == 1 && UnderPointer()) {
    Click();
    if (PressState == -1) return;
  }
  PressState = 0;
  if (GroupIndex == 0 && CurrentStrip != kClicked) SetStrip(kNormal);
}

void TOrbaButton::DoKeyRepeat() {
  if (Manager != nullptr) {
    const std::vector<int32_t>& keys = Manager->KeysRepeat;
    if (std::find(keys.begin(), keys.end(), 13) != keys.end() || std::find(keys.begin(), keys.end(), 32) != keys.end())
      Click();
  }
  TOrbaImages::DoKeyRepeat();
}

bool TOrbaButton::StepFrames() {
  TOrbaImageList* cells = GetImageList();
  if (Index < 0 || cells == nullptr || cells->Count() <= Index || !GetVisible() || Paused || GetAniPaused())
    return false;
  Remaining = AddMilliseconds(Remaining, -int64_t{FrameTime});
  while (Remaining < 1) {
    if (Index < cells->Count() - 1) {
      SetIndex(Index + 1);
      Remaining = CurrentCell()->GetDelay();
      continue;
    }
    if (GetRepeat()) {
      Remaining = 0;
      SetIndex(0);
      return false;
    }
    return CurrentStrip == kClicked;
  }
  return false;
}

bool TOrbaButton::Idle() {
  if (PressState == -1) return true;
  IdleImage();
  TOrbaMotion* motion = GetMotion();
  if (!(motion != nullptr ? motion->Step() : StepFrames())) return false;
  if (AutoScrap) return true;
  if (!OnPlayEnd.empty()) QueueEvent(OnPlayEnd, PR_ONPLAYEND);
  CurrentStrip = -1;
  SetStrip(ReturnStrip);
  return false;
}

void TOrbaButton::AfterDrawImage() {
  TKsLabelDIB* label = Caption.GetItem(0);
  if (label->Text.empty()) return;
  Caption.Target = GetSurface();
  if (label->Changed) {
    Caption.CalcWidths();
    label->Render();
  }
  const int32_t shift = CurrentStrip == kPressed || CurrentStrip == kClicked ? 1 : 0;
  label->Draw(SaturateInt32((int64_t{Width} - label->Width) / 2 + GetScreenLeft() + shift),
              SaturateInt32((int64_t{Height} - label->Height) / 2 + GetScreenTop() + shift));
}

void TOrbaButton::FreeSurface() {
  TOrbaImages::FreeSurface();
  Caption.Invalidate();
}

void TOrbaButton::RestoreSurface() {
  TOrbaImages::RestoreSurface();
  Caption.Invalidate();
}

void TOrbaButton::SaveToStream(TKsBigStream& stream) const {
  TOrbaImages::SaveToStream(stream);
  WriteStreamString(stream, HoverSource);
  WriteStreamString(stream, PressedSource);
  WriteStreamInt(stream, GroupIndex);
  WriteStreamBool(stream, Selected);
  WriteStreamBool(stream, AllowAllUp);
  WriteStreamString(stream, OnNotify);
  WriteStreamString(stream, OnIdle);
  WriteStreamString(stream, ClickedSource);
  Caption.SaveToStream(stream);
  WriteStreamString(stream, GetText());
}

void TOrbaButton::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaImages::LoadFromStream(stream, version);
  const int32_t kept = Index, kept_remaining = Remaining;
  SetHoverSource(ReadStreamString(stream));
  SetPressedSource(ReadStreamString(stream));
  GroupIndex = ReadStreamInt(stream);
  const bool selected = ReadStreamBool(stream);
  AllowAllUp = ReadStreamBool(stream);
  OnNotify = ReadStreamString(stream);
  OnIdle = ReadStreamString(stream);
  SetClickedSource(ReadStreamString(stream));
  if (version >= kSceneCaptionVersion) Caption.LoadFromStream(stream, version);
  if (version >= kButtonCaptionTextVersion) SetText(ReadStreamString(stream));
  SetSelected(selected);
  PressState = 0;
  SetIndex(kept);
  Remaining = kept_remaining;
}

}  // namespace orba
