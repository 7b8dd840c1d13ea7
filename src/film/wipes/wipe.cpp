#include "film/wipes/wipe.h"

#include <algorithm>

#include "core/vocab/wipe_defaults.h"

namespace orba {
namespace {

// A surface's pixels locked for one frame; Unlock follows a lock that gave
// an address.
class TFrameLock {
 public:
  explicit TFrameLock(TCustomDIBX& surface) : surface_(surface), view_(surface.LockView()) {}
  TFrameLock(const TFrameLock&) = delete;
  TFrameLock& operator=(const TFrameLock&) = delete;
  ~TFrameLock() {
    if (view_.Bits != nullptr) surface_.Unlock();
  }
  const TPixelView& View() const { return view_; }
  bool Usable() const { return !view_.Empty() && view_.BitCount == 32; }

 private:
  TCustomDIBX& surface_;
  TPixelView view_;
};

}  // namespace

void MixRow(TPix* d, const TPix* a, const TPix* b, int32_t n, uint32_t w) {
  for (int32_t x = 0; x < n; ++x) d[x] = MixPixel(a[x], b[x], w);
}

void MixRowColor(TPix* d, const TPix* a, uint32_t c, int32_t n, uint32_t w) {
  const uint32_t crb = (c & 0xFF00FFu) * (256 - w), cg = (c & 0x00FF00u) * (256 - w);
  for (int32_t x = 0; x < n; ++x) {
    const uint32_t p = a[x];
    d[x] = ((((p & 0xFF00FFu) * w + crb) >> 8) & 0xFF00FFu) | ((((p & 0x00FF00u) * w + cg) >> 8) & 0x00FF00u);
  }
}

void DrawRowSpans(const TWipeFrame& f, int32_t y, TSpans& spans) {
  std::sort(spans.begin(), spans.end(), [](const TSpan& a, const TSpan& b) { return a.X0 < b.X0; });
  int32_t x = 0;  // drawn up to here
  for (const TSpan& s : spans) {
    const int32_t x0 = std::clamp(s.X0, x, f.Width), x1 = std::clamp(s.X1, x, f.Width);
    if (x1 <= x0) continue;
    f.CopySpan(false, y, x, x0);
    f.CopySpan(true, y, x0, x1);
    x = x1;
  }
  f.CopySpan(false, y, x, f.Width);
}

void MirrorSpans(TSpans& spans, int32_t width) {
  for (TSpan& s : spans) s = TSpan{width - s.X1, width - s.X0};
}

void DrawRowSelect(const TWipeFrame& f, int32_t y, const uint32_t* select) {
  TPix* d = f.DestRow(y);
  const TPix *n = f.NewRow(y), *o = f.OldRow(y);
  for (int32_t x = 0; x < f.Width; ++x) d[x] = (n[x] & select[x]) | (o[x] & ~select[x]);
}

TWipe::TWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page, TCustomDIBX& old_page)
    : Dest(dest), NewPage(new_page), OldPage(old_page), kind_(kind) {
  const TWipeParams defaults = GetWipeDefaultParams(kind);
  Params[0] = defaults.P0;
  Params[1] = defaults.P1;
}

void TWipe::SetLength(int32_t length) {
  Length = std::max(length, 1);
  Position_ = std::min(Position_, Length);
}

void TWipe::SetPosition(int32_t position) { Position_ = std::clamp(position, 0, Length); }

void TWipe::SetParam(int32_t index, int32_t value) {
  if (index == 0 || index == 1) Params[index] = value;
}

TRect TWipe::CurrentRect() const {
  return TRect{0, 0, std::min({Dest.Width(), NewPage.Width(), OldPage.Width()}),
               std::min({Dest.Height(), NewPage.Height(), OldPage.Height()})};
}

void TWipe::Step() {
  {
    const TFrameLock dest(Dest), fresh(NewPage), old(OldPage);
    if (dest.Usable() && fresh.Usable() && old.Usable()) {
      TWipeFrame frame;
      frame.Dest = dest.View();
      frame.New = fresh.View();
      frame.Old = old.View();
      frame.Width = std::min({frame.Dest.Width, frame.New.Width, frame.Old.Width});
      frame.Height = std::min({frame.Dest.Height, frame.New.Height, frame.Old.Height});
      if (Position_ <= 0 || Position_ >= Length) {
        const bool new_page = Position_ >= Length;
        for (int32_t y = 0; y < frame.Height; ++y) frame.CopySpan(new_page, y, 0, frame.Width);
      } else {
        Render(frame);
      }
      return;
    }
  }
  // Pages this transition cannot blend: a cut in the middle.
  TCustomDIBX& page = Position_ * 2 >= Length ? NewPage : OldPage;
  Dest.Draw(0, 0, page, page.GetBoundsRect(), false, false, false);
}

}  // namespace orba
