#include "platform/fonts.h"

namespace orba {

namespace {

constexpr uint8_t kGray4[5] = {0, 79, 127, 207, 255};
constexpr uint8_t kGray16[17] = {0, 43, 55, 67, 79, 91, 103, 115, 159, 171, 183, 195, 207, 219, 231, 243, 255};
constexpr uint8_t kGray64[65] = {0,   18,  21,  24,  27,  30,  33,  36,  55,  58,  61,  64,  67,  70,  73,  76,  79,
                                 82,  85,  88,  91,  94,  97,  100, 119, 122, 125, 128, 131, 134, 137, 140, 143, 146,
                                 149, 152, 155, 158, 161, 164, 183, 186, 189, 192, 195, 198, 201, 204, 207, 210, 213,
                                 216, 219, 222, 225, 228, 231, 234, 237, 240, 243, 246, 249, 252, 255};

class TNoFonts : public TFontEngine {
 public:
  std::unique_ptr<TFontFace> CreateFace(const TFontRequest&) override { return nullptr; }
};

std::shared_ptr<TFontEngine>& Current() {
  static std::shared_ptr<TFontEngine> engine = std::make_shared<TNoFonts>();
  return engine;
}

uint32_t generation = 0;

}  // namespace

int32_t MaxGrayOfLevel(int32_t level) {
  switch (level) {
    case 1: return 4;
    case 2: return 16;
    case 3: return 64;
    default: return 1;
  }
}

uint8_t CoverageOfGray(int32_t level, int32_t gray) {
  if (gray <= 0) return 0;
  if (gray >= MaxGrayOfLevel(level)) return 255;
  switch (level) {
    case 1: return kGray4[gray];
    case 2: return kGray16[gray];
    default: return kGray64[gray];
  }
}

TFontEngine& Fonts() { return *Current(); }

std::shared_ptr<TFontEngine> SetFontEngine(std::shared_ptr<TFontEngine> engine) {
  std::shared_ptr<TFontEngine> old = Current();
  Current() = engine ? std::move(engine) : std::make_shared<TNoFonts>();
  ++generation;
  return old;
}

uint32_t FontEngineGeneration() { return generation; }

}  // namespace orba
