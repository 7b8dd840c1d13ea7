#include "items/box.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/strings/text_utils.h"
#include "graphics/custom_dibx.h"
#include "items/base_list.h"

namespace orba {

void TOrbaBox::SetBorderWidth(int32_t v) {
  if (v == BorderWidth) return;
  BorderWidth = v;
  Invalidate();
}

void TOrbaBox::SetBorderColor(int32_t v) {
  if (v == BorderColor) return;
  BorderColor = v;
  Invalidate();
}

void TOrbaBox::SetAlpha(int32_t v) {
  if (v == Alpha) return;
  Alpha = v;
  Invalidate();
}


void TOrbaBox::TakeBlurSnapshot() {
  BlurRect = TRect{Left, Top, Width, Height};
  BlurBorder = BorderWidth;
}

bool TOrbaBox::MovedSinceSnapshot() const {
  return !(BlurRect == TRect{Left, Top, Width, Height}) || BlurBorder != BorderWidth;
}

void TOrbaBox::SetBlurSpan(int32_t v) {
  if (v == BlurSpan) return;
  BlurSpan = v;
  BlurElapsed = 0;
  TakeBlurSnapshot();
}

// One frame or fill in the alpha range of the box: blended below 255,
// opaque at 255, additive with the colour scaled by alpha - 256 above.
void PaintAlphaRect(TCustomDIBX& s, TPaint what, const TRect& r, int32_t width, int32_t color, int32_t alpha) {
  if (alpha >= 256) {
    const auto px = static_cast<uint32_t>(s.ColorToPixel(ScaleColor(color, alpha - 256)));
    if (what == TPaint::Frame) s.FrameRectAdd(r, width, px); else s.FillRectAdd(r, px);
    return;
  }
  const auto px = static_cast<uint32_t>(s.ColorToPixel(color));
  if (alpha == 255) {
    if (what == TPaint::Frame) s.FrameRect(r, width, px); else s.FillRect(r, px);
  } else {
    if (what == TPaint::Frame) s.FrameRectAlpha(r, width, px, alpha); else s.FillRectAlpha(r, px, alpha);
  }
}

// An opaque fill without a frame is one plain fill of the box's rectangle.
bool TOrbaBox::PaintsOver(const TRect& area) const {
  TCustomDIBX* surface = GetSurface();
  if (surface == nullptr || !surface->IsMemorySurface() || (surface->BitCount() != 24 && surface->BitCount() != 32))
    return false;
  if (Alpha != 255 || BorderWidth >= 1 || GetColor() < 0) return false;
  const TRect r = GetBoundsRect();
  return r.Left <= area.Left && r.Top <= area.Top && r.Right >= area.Right && r.Bottom >= area.Bottom;
}

void TOrbaBox::Draw() {
  if (!GetVisible() || Alpha < 1 || Alpha > 511) return;
  TCustomDIBX* surface = GetSurface();
  if (surface == nullptr) return;
  const TRect r = GetBoundsRect();
  const int32_t color = GetColor();
  // The box sets no clip of its own, so that through a wave item its rows
  // land shifted beyond its columns. Only a frame wider than half the box
  // would reach outside it, beyond the area its invalidation covers: that
  // one is kept inside the box's rectangle.
  const int64_t twice = 2 * int64_t{BorderWidth};
  const bool wide_frame = BorderWidth >= 1 && BorderColor >= 0 &&
                          (twice > int64_t{r.Right} - r.Left || twice > int64_t{r.Bottom} - r.Top);
  const bool had_clip = surface->HasClipRect();
  const TRect saved_clip = surface->GetClipRect();
  if (wide_frame) {
    TRect inside;
    IntersectRects(saved_clip, r, inside);
    surface->SetClipRect(inside);
  }
  if (BorderWidth < 1) {
    if (color >= 0) PaintAlphaRect(*surface, TPaint::Fill, r, 0, color, Alpha);
  } else {
    if (BorderColor >= 0) PaintAlphaRect(*surface, TPaint::Frame, r, BorderWidth, BorderColor, Alpha);
    if (color >= 0) {
      const int64_t bw = BorderWidth;
      const TRect inner{static_cast<int32_t>(std::min<int64_t>(r.Left + bw, INT32_MAX)),
                        static_cast<int32_t>(std::min<int64_t>(r.Top + bw, INT32_MAX)),
                        static_cast<int32_t>(std::max<int64_t>(r.Right - bw, INT32_MIN)),
                        static_cast<int32_t>(std::max<int64_t>(r.Bottom - bw, INT32_MIN))};
      if (!RectIsEmpty(inner)) PaintAlphaRect(*surface, TPaint::Fill, inner, 0, color, Alpha);
    }
  }
  if (wide_frame) {
    if (had_clip)
      surface->SetClipRect(saved_clip);
    else
      surface->ResetClipRect();
  }
  TOrbaControl::Draw();
}

bool TOrbaBox::Idle() {
  const bool answer = TOrbaControl::Idle();
  if (BlurSpan > 0 && BlurDelay > 0 && Manager != nullptr) {
    BlurElapsed = static_cast<int32_t>(std::min<int64_t>(int64_t{BlurElapsed} + FrameTime, INT32_MAX));
    if (BlurElapsed >= BlurSpan) {
      BlurElapsed = 0;
      if (MovedSinceSnapshot()) {
        auto* blur = NewOrbaObject<TOrbaBlurBox>(Manager);
        blur->AssignName(Manager->MakeUniqueName(GetName()));
        blur->SourceItem = Handle();
        blur->SetParent(GetParent());
        blur->SetPriority(GetPriority());
        blur->SetBounds(Left, Top, Width, Height);
        blur->SetColor(GetColor());
        blur->SetBorderWidth(BorderWidth);
        blur->SetBorderColor(BorderColor);
        blur->StartAlpha = Alpha / 2;
        blur->Alpha = blur->StartAlpha;
        blur->Delay = BlurDelay;
        blur->Invalidate();
        TakeBlurSnapshot();
      }
    }
  }
  return answer;
}

bool FadeAfterimage(int32_t& elapsed, int32_t delay, int32_t start_alpha, int32_t& alpha) {
  elapsed = static_cast<int32_t>(std::min<int64_t>(int64_t{elapsed} + FrameTime, INT32_MAX));
  if (elapsed >= delay || delay <= 0) return true;
  const double faded = static_cast<double>(elapsed) / delay * (start_alpha % 256);
  alpha = static_cast<int32_t>(std::clamp<int64_t>(int64_t{start_alpha} - static_cast<int64_t>(std::nearbyint(faded)),
                                                   INT32_MIN, INT32_MAX));
  return false;
}

void TOrbaBox::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  WriteStreamInt(stream, BorderWidth);
  WriteStreamInt(stream, BorderColor);
  WriteStreamInt(stream, Alpha);
  WriteStreamString(stream, OnIdle);
  WriteStreamString(stream, Source);
  WriteStreamBool(stream, Repeat);
  WriteStreamBool(stream, AutoScrap);
  WriteStreamString(stream, OnPlayEnd);
  WriteStreamBool(stream, Paused);
  WriteStreamBool(stream, AniPaused);
  WriteStreamInt(stream, BlurSpan);
  WriteStreamInt(stream, BlurDelay);
}

void TOrbaBox::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  BorderWidth = ReadStreamInt(stream);
  BorderColor = ReadStreamInt(stream);
  Alpha = ReadStreamInt(stream);
  OnIdle = ReadStreamString(stream);
  SetSource(ReadStreamString(stream));
  Repeat = ReadStreamBool(stream);
  AutoScrap = ReadStreamBool(stream);
  OnPlayEnd = ReadStreamString(stream);
  Paused = ReadStreamBool(stream);
  AniPaused = ReadStreamBool(stream);
  if (version >= kSceneBlurVersion) {
    BlurSpan = ReadStreamInt(stream);
    BlurDelay = ReadStreamInt(stream);
  }
}

}  // namespace orba
