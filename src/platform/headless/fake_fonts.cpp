#include "platform/headless/fake_fonts.h"

#include <algorithm>

namespace orba {

namespace {

class TFakeFace : public TFontFace {
 public:
  TFakeFace(const TFakeFonts& owner, const TFontRequest& request)
      : gray_fail_(owner.GrayFailCodes), size_(std::clamp(request.Size, 1, 2048)), style_(request.Style) {
    metrics_.Height = size_;
    metrics_.Descent = size_ / 8;
    metrics_.Ascent = size_ - size_ / 8;
    metrics_.AveCharWidth = size_ / 2;
    metrics_.MaxCharWidth = size_;
    metrics_.Weight = (style_ & kFontBold) != 0 ? 700 : 400;
    metrics_.CharSet = 128;
    metrics_.EmSquare = static_cast<uint32_t>(size_);
    metrics_.UnderscorePosition = -1;
    metrics_.UnderscoreSize = std::max(1, size_ / 16);
    metrics_.StrikeoutPosition = metrics_.Ascent / 3;
    metrics_.StrikeoutSize = static_cast<uint32_t>(metrics_.UnderscoreSize);
  }

  const TFontMetrics& Metrics() const override { return metrics_; }

  TAbcWidths CharWidths(uint16_t code) override {
    TGlyphBitmap box = Box(code);
    if (box.Width == 0) return TAbcWidths{0, box.Advance, 0};
    return TAbcWidths{box.OriginX, box.Width, box.Advance - box.OriginX - box.Width};
  }

  bool RenderGlyph(uint16_t code, int32_t level, TGlyphBitmap& out) override {
    if (level > 0 && gray_fail_.count(code) != 0) return false;
    out = Box(code);
    out.Coverage.resize(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height));
    for (int32_t y = 0; y < out.Height; ++y)
      for (int32_t x = 0; x < out.Width; ++x) {
        const int32_t gray = FakeGray(code, x, y);
        out.Coverage[static_cast<size_t>(y * out.Width + x)] =
            level <= 0 ? (gray >= 32 ? 255 : 0) : CoverageOfGray(level, gray * MaxGrayOfLevel(level) / 64);
      }
    return true;
  }

 private:
  TGlyphBitmap Box(uint16_t code) const {
    TGlyphBitmap box;
    const bool wide = code >= 0x100;
    box.Advance = (wide ? size_ : size_ / 2) + ((style_ & kFontBold) != 0 ? 1 : 0);
    if (code == 0x20 || code == 0x8140) return box;
    box.OriginX = 1;
    box.Width = std::max(1, box.Advance - 2) + ((style_ & kFontItalic) != 0 ? size_ / 5 : 0);
    box.OriginY = wide ? metrics_.Ascent - 1 : std::max(1, metrics_.Ascent * 3 / 4);
    box.Height = wide ? std::max(1, size_ - 2) : box.OriginY;
    return box;
  }

  std::set<uint16_t> gray_fail_;
  int32_t size_;
  uint8_t style_;
  TFontMetrics metrics_;
};

}  // namespace

int32_t FakeGray(uint16_t code, int32_t x, int32_t y) { return y % 4 == 3 ? 0 : (x * 5 + y * 3 + code) % 65; }

std::unique_ptr<TFontFace> TFakeFonts::CreateFace(const TFontRequest& request) {
  if (NoFaces) return nullptr;
  return std::make_unique<TFakeFace>(*this, request);
}

}  // namespace orba
