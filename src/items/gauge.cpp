#include "items/gauge.h"

#include <algorithm>
#include <exception>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"

namespace orba {

void TOrbaGauge::SizeBar() {
  BarW = Image.Width() / 2;
  BarH = Image.Height();
  if (BarSize > 0) (Upright() ? BarH : BarW) = BarSize;
  SetWidth(BarW);
  SetHeight(BarH);
}

void TOrbaGauge::SetSource(std::string v) {
  if (v == Source) return;
  Source = std::move(v);
  std::exception_ptr failure;
  try {
    Image.Change(Source);
  } catch (...) {  // kept, rethrown after the update below
    failure = std::current_exception();
  }
  SizeBar();
  if (failure) std::rethrow_exception(failure);
}

void TOrbaGauge::SetOrientation(uint8_t v) {
  if (v == Orientation) return;
  Orientation = v;
  SizeBar();
}

void TOrbaGauge::SetBarSize(int32_t v) {
  if (v == BarSize) return;
  BarSize = v;
  SizeBar();
}

void TOrbaGauge::SetBound(int32_t& field, int32_t v) {
  if (v == field) return;
  field = v;
  // A new range shows the value at once.
  Trail = 0;
  Shown = ClampedValue();
  AnimPhase = kIdle;
  Invalidate();
}

void TOrbaGauge::SetValue(int32_t v) {
  if (v == Value) return;
  const int32_t old = ClampedValue();
  Value = v;
  const int32_t now = ClampedValue();
  if (old <= now) {
    Trail = 0;
    AnimValue = Shown;
    AnimPhase = kRising;
  } else {
    Shown = now;
    Trail = SumInt32({old, -int64_t{now}});
    AnimValue = Trail;
    HoldLeft = Duration;
    AnimPhase = kTrailing;
  }
  Invalidate();
}

void TOrbaGauge::SetReverse(bool v) {
  if (v == Reverse) return;
  Reverse = v;
  Invalidate();
}

void TOrbaGauge::Finish() {
  Shown = ClampedValue();
  Trail = 0;
  AnimPhase = kIdle;
  Invalidate();
}

bool TOrbaGauge::Idle() {
  const bool answer = TOrbaControl::Idle();
  if (AnimPhase == kIdle) return answer;
  const int64_t range = Range();
  const bool animated = Delay > 0 && range >= 0;
  const long double travel =
      animated ? static_cast<long double>(range) / Delay * static_cast<long double>(FrameTime) : 0;
  if (AnimPhase == kTrailing) {
    if (HoldLeft >= 1) {
      HoldLeft = SumInt32({HoldLeft, -int64_t{FrameTime}});
      return answer;
    }
    if (!animated) {
      Finish();
      return answer;
    }
    AnimValue -= travel;
    const int32_t trail = TruncToInt32(AnimValue);
    if (trail != Trail) Invalidate();
    Trail = trail;
    if (Trail < 1) Finish();
    Invalidate();
  } else {
    if (!animated) {
      Finish();
      return answer;
    }
    AnimValue += travel;
    const int32_t shown = TruncToInt32(AnimValue);
    if (shown != Shown) Invalidate();
    Shown = shown;
    if (ClampedValue() <= Shown) Finish();
    Invalidate();
  }
  return answer;
}

int32_t TOrbaGauge::PixelLength(int64_t amount, int64_t length) const {
  const int64_t range = Range();
  if (range <= 0) return 0;
  const int32_t pixels =
      RoundToInt32(static_cast<long double>(length) * static_cast<long double>(amount) / static_cast<long double>(range));
  return static_cast<int32_t>(std::clamp<int64_t>(pixels, 0, std::max<int64_t>(length, 0)));
}

void TOrbaGauge::Draw() {
  TCustomDIBX* surface = GetSurface();
  if (surface == nullptr || Width == 0 || Height == 0 || Image.Entry == nullptr ||
      !RectsOverlap(GetBoundsRect(), surface->GetClipRect()))
    return;
  const bool vertical = Upright();
  const int32_t length = vertical ? BarH : BarW;
  // Both parts stay on the bar whatever the animation reached.
  const int32_t main = PixelLength(int64_t{Shown} - Min, length);
  const int32_t trail = std::min(PixelLength(Trail, length), length - main);
  const int32_t cw = Image.Width() / 2, ch = Image.Height();
  const int64_t left = GetScreenLeft(), top = GetScreenTop();
  // The part of the bar from Start (pixels from the filling end) Size long.
  auto part = [&](int64_t start, int64_t size) {
    if (vertical) {
      const int64_t y = Reverse ? top + start : top + BarH - start - size;
      return TRect{SumInt32({left}), SumInt32({y}), SumInt32({left, BarW}), SumInt32({y, size})};
    }
    const int64_t x = Reverse ? left + BarW - start - size : left + start;
    return TRect{SumInt32({x}), SumInt32({top}), SumInt32({x, size}), SumInt32({top, BarH})};
  };
  const bool flip_h = Reverse && !vertical, flip_v = Reverse && vertical;
  if (main > 0 && ch > 0)
    Image.DrawTiled(*surface, part(0, main), TRect{0, 0, cw, ch}, 0, vertical ? ch - main % ch : 0, flip_h, flip_v,
                    Alpha);
  if (trail >= 1 && ch > 0)
    Image.DrawTiled(*surface, part(main, trail), TRect{cw, 0, 2 * cw, ch}, vertical ? 0 : main,
                    vertical ? ch - static_cast<int32_t>((int64_t{main} + trail) % ch) : 0, flip_h, flip_v, Alpha);
  TOrbaControl::Draw();
}

void TOrbaGauge::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  WriteStreamString(stream, Source);
  for (int32_t v : {Min, Max, Value, Alpha}) WriteStreamInt(stream, v);
  WriteStreamBool(stream, Paused);
  WriteStreamByte(stream, Orientation);
  WriteStreamInt(stream, Delay);
  WriteStreamInt(stream, Duration);
  WriteStreamBool(stream, Reverse);
  WriteStreamString(stream, OnIdle);
  WriteStreamInt(stream, BarSize);
}

void TOrbaGauge::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  SetSource(ReadStreamString(stream));
  for (int32_t* v : {&Min, &Max, &Value, &Alpha}) *v = ReadStreamInt(stream);
  Paused = ReadStreamBool(stream);
  Orientation = ReadByteVal(stream);
  Delay = ReadStreamInt(stream);
  Duration = ReadStreamInt(stream);
  Reverse = ReadStreamBool(stream);
  if (version >= kSceneGaugeIdleVersion) OnIdle = ReadStreamString(stream);
  if (version >= kSceneBarSizeVersion) BarSize = ReadStreamInt(stream);
  // The bar follows the orientation and the override just read; the
  // animation is not saved.
  SizeBar();
  Finish();
}

}  // namespace orba
