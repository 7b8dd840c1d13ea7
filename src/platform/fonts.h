// The font service text is drawn through: a font is created from a face
// name, a size and style bits, and answers its metrics, the ABC widths of a
// character and the coverage bitmap of a character at an anti-alias level.
//
// Character codes are Shift-JIS: a byte below 256, or lead byte * 256 +
// trail byte. Face names are Shift-JIS. Sizes are the cell height in pixels
// (ascent + descent), as a Windows program asks for them.
//
// Coverage bitmaps come already mapped to 0..255 through the gray tables of
// the levels: level 0 is two-tone (only 0 and 255), levels 1, 2 and 3 have
// 5, 17 and 65 gray values (CoverageOfGray).
//
// The FreeType back end lives in platform/linux, a fake with fixed boxes and
// widths for tests in platform/headless. Window thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orba {

// Style bits of a font request.
constexpr uint8_t kFontBold = 1;
constexpr uint8_t kFontItalic = 2;
constexpr uint8_t kFontUnderline = 4;
constexpr uint8_t kFontStrikeOut = 8;

struct TFontRequest {
  std::string FaceName;  // Shift-JIS
  int32_t Size = 12;     // cell height in pixels
  uint8_t Style = 0;
};

// Metrics of a created font in pixels, named and signed as a Windows
// program sees them (positions above the baseline are positive).
struct TFontMetrics {
  // The text metrics.
  int32_t Height = 0, Ascent = 0, Descent = 0, InternalLeading = 0, ExternalLeading = 0;
  int32_t AveCharWidth = 0, MaxCharWidth = 0, Weight = 400, Overhang = 0;
  uint8_t FirstChar = 0x20, LastChar = 0xFC, DefaultChar = 0x1F, BreakChar = 0x20;
  uint8_t Italic = 0, Underlined = 0, StruckOut = 0, PitchAndFamily = 0, CharSet = 0;
  // The outline metrics.
  std::array<uint8_t, 10> Panose{};
  uint32_t Selection = 0, EmbeddingType = 0;
  int32_t SlopeRise = 1, SlopeRun = 0, ItalicAngle = 0;
  uint32_t EmSquare = 0;
  int32_t TypoAscent = 0, TypoDescent = 0;
  uint32_t LineGap = 0, CapHeight = 0, XHeight = 0;
  int32_t BoxLeft = 0, BoxTop = 0, BoxRight = 0, BoxBottom = 0;
  int32_t MacAscent = 0, MacDescent = 0;
  uint32_t MacLineGap = 0, MinimumPpem = 0;
  int32_t SubscriptSizeX = 0, SubscriptSizeY = 0, SubscriptOffsetX = 0, SubscriptOffsetY = 0;
  int32_t SuperscriptSizeX = 0, SuperscriptSizeY = 0, SuperscriptOffsetX = 0, SuperscriptOffsetY = 0;
  uint32_t StrikeoutSize = 0;
  int32_t StrikeoutPosition = 0, UnderscoreSize = 0, UnderscorePosition = 0;
};

// A + B + C is the advance; B is the width of the black box.
struct TAbcWidths {
  int32_t A = 0, B = 0, C = 0;
};

// One character's black box. OriginX is the box's left edge from the pen,
// OriginY its top edge above the baseline. An empty box has no coverage.
struct TGlyphBitmap {
  int32_t Width = 0, Height = 0;
  int32_t OriginX = 0, OriginY = 0;
  int32_t Advance = 0;
  std::vector<uint8_t> Coverage;  // Width x Height bytes, rows top down
};

// The greatest gray value of an anti-alias level (1, 4, 16, 64; level 0
// has bits).
int32_t MaxGrayOfLevel(int32_t level);
// A gray value of a level as coverage 0..255; level 0 takes 0 or 1.
uint8_t CoverageOfGray(int32_t level, int32_t gray);

class TFontFace {
 public:
  virtual ~TFontFace() = default;
  virtual const TFontMetrics& Metrics() const = 0;
  virtual TAbcWidths CharWidths(uint16_t code) = 0;
  // Fills Out with the character's box at the level (0..3); false when
  // the outline cannot be fetched in that form.
  virtual bool RenderGlyph(uint16_t code, int32_t level, TGlyphBitmap& out) = 0;
};

class TFontEngine {
 public:
  virtual ~TFontEngine() = default;
  // A face the name does not reach is replaced by the default Japanese
  // face; nullptr only when that one is missing too.
  virtual std::unique_ptr<TFontFace> CreateFace(const TFontRequest& request) = 0;
  // Makes the fonts a game brings in its font folder (Shift-JIS, "\" or
  // "/" separators; the game's folder followed by "fonts") available: the
  // regular files that lie inside the game's folder, no link leading out,
  // no FIFO or device. A missing folder is ignored.
  virtual void AddFontFolder(const std::string& folder) {}
};

// The engine in use. Until one is installed there are no fonts: every
// CreateFace answers nullptr.
TFontEngine& Fonts();
// Installs an engine (nullptr restores none) and returns the previous one.
std::shared_ptr<TFontEngine> SetFontEngine(std::shared_ptr<TFontEngine> engine);
// Counts the installs, so that a cache of faces knows when to drop them.
uint32_t FontEngineGeneration();

}  // namespace orba
