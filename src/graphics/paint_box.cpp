#include "graphics/paint_box.h"

#include <algorithm>
#include <cmath>

namespace orba {

namespace {
// Rounds to the nearest integer, halves to even.
int32_t RoundEven(float v) { return static_cast<int32_t>(std::nearbyint(std::clamp(v, -2e9f, 2e9f))); }
}  // namespace

void TCustomDXPaintBox::SetDIB(const TDIB& source) {
  if (&source == &dib_) return;
  dib_.Assign(&source);
  ++InvalidateCount;
}

TRect TCustomDXPaintBox::DrawRect(int32_t cw, int32_t ch) const {
  if (dib_.Empty()) return TRect{};
  const int32_t dw = dib_.Width(), dh = dib_.Height();
  int32_t w = dw, h = dh;
  auto fit = [&](int32_t bw, int32_t bh) {
    const float s = std::min(static_cast<float>(cw) / static_cast<float>(bw), static_cast<float>(ch) / static_cast<float>(bh));
    w = RoundEven(static_cast<float>(bw) * s);
    h = RoundEven(static_cast<float>(bh) * s);
  };
  if (view_width_ > 0 || view_height_ > 0) {
    const int32_t vw = view_width_ > 0 ? view_width_ : dw, vh = view_height_ > 0 ? view_height_ : dh;
    if (auto_stretch_ && (cw < vw || ch < vh)) fit(vw, vh);
    else w = vw, h = vh;
  } else if (auto_stretch_) {
    if (cw < dw || ch < dh) fit(dw, dh);
  } else if (stretch_) {
    if (keep_aspect_) fit(dw, dh);
    else w = cw, h = ch;
  }
  int32_t left = 0, top = 0;
  if (center_) {
    left = (cw - w) / 2;
    top = (ch - h) / 2;
  }
  return TRect{left, top, left + w, top + h};
}

void TCustomDXPaintBox::Paint(TDIB& client) {
  if (dib_.Empty()) return;
  dib_.Draw(client, DrawRect(client.Width(), client.Height()));
}

}  // namespace orba
