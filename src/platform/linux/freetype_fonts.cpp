#include "platform/linux/freetype_fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <utility>

#include <strings.h>

#include "core/system/game_fonts.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

constexpr char kDefaultFamily[] = "IPAGothic";

struct TAlias {
  const char* Name;  // Shift-JIS
  const char* Family;
};

constexpr TAlias kAliases[] = {
    {"\x82l\x82r \x83S\x83V\x83" "b\x83N", "IPAGothic"},               // ＭＳ ゴシック
    {"MS Gothic", "IPAGothic"},
    {"\x82l\x82r \x82o\x83S\x83V\x83" "b\x83N", "IPAPGothic"},         // ＭＳ Ｐゴシック
    {"MS PGothic", "IPAPGothic"},
    {"MS UI Gothic", "IPAPGothic"},
    {"\x82l\x82r \x96\xbe\x92\xa9", "IPAMincho"},                      // ＭＳ 明朝
    {"MS Mincho", "IPAMincho"},
    {"\x82l\x82r \x82o\x96\xbe\x92\xa9", "IPAPMincho"},                // ＭＳ Ｐ明朝
    {"MS PMincho", "IPAPMincho"},
};

// The shear of synthesised italics (x grows by 0.2 of the height above the
// baseline), in 16.16.
constexpr FT_Fixed kItalicShear = 0x3333;

// The first character of a UTF-8 text; 0 for none.
char32_t FirstCodePoint(const std::string& s) {
  if (s.empty()) return 0;
  const auto b = [&](size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) & 0x3Fu : 0u; };
  const auto c = static_cast<unsigned char>(s[0]);
  if (c < 0x80) return c;
  if (c < 0xE0) return ((c & 0x1Fu) << 6) | b(1);
  if (c < 0xF0) return ((c & 0x0Fu) << 12) | (b(1) << 6) | b(2);
  return ((c & 0x07u) << 18) | (b(1) << 12) | (b(2) << 6) | b(3);
}

char32_t UnicodeOf(uint16_t code) {
  std::string sjis;
  if (code >= 0x100) sjis += static_cast<char>(code >> 8);
  sjis += static_cast<char>(code & 0xFF);
  return FirstCodePoint(SjisToUtf8(sjis));
}

bool SameFamily(const std::string& a, const char* b) {
  return a.size() == std::strlen(b) && strncasecmp(a.c_str(), b, a.size()) == 0;
}

// The descriptors fontconfig knows the game's font files by. They stay open
// for as long as it may read them, until another game's folder replaces
// them or the program ends, so that no such name ever reaches another file.
std::vector<int>& GameFontFiles() {
  static std::vector<int> files;
  return files;
}

bool FontconfigReady() {
  if (!FcInit()) return false;
  // Its configuration lives until the program ends; free it then (a second
  // FcFini is harmless).
  static const bool fini_registered = std::atexit(FcFini) == 0;
  (void)fini_registered;
  return true;
}

// The file of a fontconfig family of exactly that name (UTF-8).
TFontFile FindFamily(const std::string& family, bool stand_in) {
  TFontFile found;
  if (family.empty() || !FontconfigReady()) return found;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* name = nullptr;
  bool same = false;
  for (int n = 0; match != nullptr && !same && FcPatternGetString(match, FC_FAMILY, n, &name) == FcResultMatch; ++n)
    same = SameFamily(family, reinterpret_cast<const char*>(name));
  FcChar8* file = nullptr;
  int index = 0;
  if (same && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    found = TFontFile{reinterpret_cast<const char*>(file), index, stand_in};
  }
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return found;
}

// Cuts the rows and columns without coverage off a bitmap's edges (the
// grid-fitted outline box may have some), so the box is the black box.
void TrimToInk(TGlyphBitmap& g) {
  int32_t left = g.Width, right = -1, top = g.Height, bottom = -1;
  for (int32_t y = 0; y < g.Height; ++y)
    for (int32_t x = 0; x < g.Width; ++x)
      if (g.Coverage[static_cast<size_t>(y) * static_cast<size_t>(g.Width) + static_cast<size_t>(x)] != 0) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  if (right < 0) {
    g.Width = g.Height = 0;
    g.Coverage.clear();
    return;
  }
  std::vector<uint8_t> ink;
  for (int32_t y = top; y <= bottom; ++y) {
    const auto row = g.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * g.Width;
    ink.insert(ink.end(), row + left, row + right + 1);
  }
  g.Coverage = std::move(ink);
  g.OriginX += left, g.OriginY -= top;
  g.Width = right - left + 1, g.Height = bottom - top + 1;
}

}  // namespace

// The FreeType library and every face file opened, shared by the engine
// and the fonts it made, so that either may go first.
struct TFreeTypeFonts::TLibrary {
  // A file by its name, face index and the file the name reaches now: a
  // game's font is named by a descriptor number that a later game's font
  // may reuse.
  using TKey = std::tuple<std::string, int32_t, dev_t, ino_t>;
  FT_Library Library = nullptr;
  std::map<TKey, FT_Face> Faces;  // nullptr: the file failed
  // The rows the Latin descenders draw below the baseline, by face, ppem
  // and style: measured once, as a game switching fonts makes faces often.
  std::map<std::tuple<FT_Face, int32_t, uint8_t>, int32_t> Descenders;

  TLibrary() {
    if (FT_Init_FreeType(&Library) != 0) Library = nullptr;
  }
  ~TLibrary() {
    for (auto& [key, face] : Faces)
      if (face != nullptr) FT_Done_Face(face);
    if (Library != nullptr) FT_Done_FreeType(Library);
  }
  FT_Face Open(const TFontFile& file) {
    if (Library == nullptr || file.Path.empty()) return nullptr;
    struct stat st {};
    if (::stat(file.Path.c_str(), &st) != 0) st = {};
    const TKey key{file.Path, file.Index, st.st_dev, st.st_ino};
    auto it = Faces.find(key);
    if (it != Faces.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(Library, file.Path.c_str(), file.Index, &face) != 0 || !FT_IS_SCALABLE(face) ||
        FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
      if (face != nullptr) FT_Done_Face(face);
      face = nullptr;
    }
    Faces.emplace(key, face);
    return face;
  }
};

namespace {

class TFreeTypeFace : public TFontFace {
 public:
  TFreeTypeFace(std::shared_ptr<TFreeTypeFonts::TLibrary> library, FT_Face face, FT_Size size, bool stand_in,
                const TFontRequest& request)
      : library_(std::move(library)), face_(face), size_(size), style_(request.Style) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
    const auto* head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
    const int32_t em = std::max<int32_t>(face->units_per_EM, 1);
    // The ascent and descent a Windows program is told are the OS/2
    // table's Windows ones; a face without that table has the hhea ones.
    int32_t win_ascent = os2 != nullptr ? os2->usWinAscent : hhea != nullptr ? hhea->Ascender : face->ascender;
    int32_t win_descent = os2 != nullptr ? os2->usWinDescent : hhea != nullptr ? -hhea->Descender : -face->descender;
    if (win_ascent + win_descent <= 0) win_ascent = em, win_descent = 0;
    const int32_t cell = std::clamp(request.Size, 1, 2048);
    const auto ppem = static_cast<int32_t>(
        stand_in ? cell : std::max<long>(1, std::lround(double{1} * cell * em / (win_ascent + win_descent))));
    FT_Activate_Size(size_);
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(ppem));
    const double scale = double{1} * ppem / em;
    const auto px = [scale](double v) { return static_cast<int32_t>(std::lround(v * scale)); };
    const bool bold = (style_ & kFontBold) != 0, italic = (style_ & kFontItalic) != 0;

    // The cell is the size asked for (a stand-in's em square, as the
    // Windows faces it stands in for have it; another face's Windows ascent
    // plus descent), split at the Windows descent below the baseline.
    // Hinting moves the bottoms of the Latin descenders a row further down
    // than that descent says (IPA's "j" at 24 px draws 6 rows below the
    // baseline, its Windows descent is 4.7 px): the descent grows to hold
    // every row drawn for them, so that a cell of the font's height holds
    // them whole, and the ascent is what the cell leaves above.
    TFontMetrics& m = metrics_;
    m.Height = stand_in ? ppem : px(win_ascent + win_descent);
    m.Descent = static_cast<int32_t>(std::lround(double{1} * m.Height * win_descent / (win_ascent + win_descent)));
    if (stand_in) m.Descent = px(win_descent);
    const auto measured = library_->Descenders.try_emplace({face_, ppem, style_}, -1).first;
    if (measured->second < 0) measured->second = DeepestDescender();
    m.Descent = std::clamp(std::max(m.Descent, measured->second), 0, m.Height);
    m.Ascent = m.Height - m.Descent;
    m.InternalLeading = std::max(0, m.Height - ppem);
    if (hhea != nullptr)
      m.ExternalLeading = std::max(0, px(hhea->Line_Gap - ((win_ascent + win_descent) - (hhea->Ascender - hhea->Descender))));
    m.AveCharWidth = os2 != nullptr ? px(os2->xAvgCharWidth) : ppem / 2;
    m.MaxCharWidth = px(face->max_advance_width) + (bold ? 1 : 0);
    m.Weight = bold ? 700 : 400;
    m.Italic = italic ? 1 : 0;
    m.Underlined = (style_ & kFontUnderline) != 0 ? 1 : 0;
    m.StruckOut = (style_ & kFontStrikeOut) != 0 ? 1 : 0;
    // Outline and TrueType; bit 0 set means a variable pitch.
    m.PitchAndFamily = static_cast<uint8_t>(0x06 | (FT_IS_FIXED_WIDTH(face) ? 0 : 1));
    m.CharSet = FT_Get_Char_Index(face, U'\u3042') != 0 ? 128 : 0;
    m.EmSquare = static_cast<uint32_t>(em);
    m.BoxLeft = px(face->bbox.xMin), m.BoxTop = px(face->bbox.yMax);
    m.BoxRight = px(face->bbox.xMax), m.BoxBottom = px(face->bbox.yMin);
    if (os2 != nullptr) {
      std::copy(std::begin(os2->panose), std::end(os2->panose), m.Panose.begin());
      m.Selection = os2->fsSelection | (italic ? 0x01u : 0u) | (bold ? 0x20u : 0u);
      m.EmbeddingType = os2->fsType;
      m.TypoAscent = px(os2->sTypoAscender), m.TypoDescent = px(os2->sTypoDescender);
      m.LineGap = static_cast<uint32_t>(std::max(0, px(os2->sTypoLineGap)));
      m.CapHeight = static_cast<uint32_t>(std::max(0, px(os2->sCapHeight)));
      m.XHeight = static_cast<uint32_t>(std::max(0, px(os2->sxHeight)));
      m.SubscriptSizeX = px(os2->ySubscriptXSize), m.SubscriptSizeY = px(os2->ySubscriptYSize);
      m.SubscriptOffsetX = px(os2->ySubscriptXOffset), m.SubscriptOffsetY = px(os2->ySubscriptYOffset);
      m.SuperscriptSizeX = px(os2->ySuperscriptXSize), m.SuperscriptSizeY = px(os2->ySuperscriptYSize);
      m.SuperscriptOffsetX = px(os2->ySuperscriptXOffset), m.SuperscriptOffsetY = px(os2->ySuperscriptYOffset);
      m.StrikeoutSize = static_cast<uint32_t>(px(os2->yStrikeoutSize));
      m.StrikeoutPosition = px(os2->yStrikeoutPosition);
    }
    if (m.StrikeoutPosition <= 0) m.StrikeoutPosition = m.Ascent / 3;
    m.StrikeoutSize = std::max<uint32_t>(m.StrikeoutSize, 1);
    if (hhea != nullptr) {
      m.MacAscent = px(hhea->Ascender), m.MacDescent = px(hhea->Descender);
      m.MacLineGap = static_cast<uint32_t>(std::max(0, px(hhea->Line_Gap)));
    }
    if (head != nullptr) m.MinimumPpem = head->Lowest_Rec_PPEM;
    if (post != nullptr) {
      m.UnderscoreSize = px(post->underlineThickness);
      m.UnderscorePosition = px(post->underlinePosition);
      m.ItalicAngle = static_cast<int32_t>(std::lround(post->italicAngle / 65536.0 * 10));
    }
    if (italic) m.SlopeRise = 5, m.SlopeRun = 1, m.ItalicAngle = -113;  // atan(0.2) in tenths of a degree
    m.UnderscoreSize = std::max(m.UnderscoreSize, 1);
    if (m.UnderscorePosition >= 0) m.UnderscorePosition = -1;
  }

  ~TFreeTypeFace() override { FT_Done_Size(size_); }

  const TFontMetrics& Metrics() const override { return metrics_; }

  TAbcWidths CharWidths(uint16_t code) override {
    int32_t advance = 0;
    if (!Load(code, advance)) return TAbcWidths{0, 0, 0};
    const FT_Outline& outline = face_->glyph->outline;
    if (outline.n_points == 0) return TAbcWidths{0, advance, 0};
    FT_BBox box;
    FT_Outline_Get_CBox(&outline, &box);
    const auto left = static_cast<int32_t>(box.xMin >> 6), right = static_cast<int32_t>((box.xMax + 63) >> 6);
    return TAbcWidths{left, right - left, advance - right};
  }

  bool RenderGlyph(uint16_t code, int32_t level, TGlyphBitmap& out) override {
    const bool mono = level <= 0;
    int32_t advance = 0;
    if (!Load(code, advance)) return false;
    out = TGlyphBitmap{};
    out.Advance = advance;
    FT_GlyphSlot slot = face_->glyph;
    if (slot->outline.n_points == 0) return true;
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    out.Width = static_cast<int32_t>(bitmap.width);
    out.Height = static_cast<int32_t>(bitmap.rows);
    out.OriginX = slot->bitmap_left;
    out.OriginY = slot->bitmap_top;
    out.Coverage.assign(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height), 0);
    const int32_t max_gray = MaxGrayOfLevel(level);
    for (int32_t y = 0; y < out.Height; ++y) {
      const unsigned char* row =
          bitmap.pitch >= 0 ? bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch
                            : bitmap.buffer + static_cast<ptrdiff_t>(out.Height - 1 - y) * -bitmap.pitch;
      uint8_t* dest = out.Coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(out.Width);
      for (int32_t x = 0; x < out.Width; ++x) {
        if (mono) {
          dest[x] = (row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
        } else {
          dest[x] = CoverageOfGray(level, (row[x] * max_gray + 127) / 255);
        }
      }
    }
    TrimToInk(out);
    return true;
  }

 private:
  // Loads the hinted outline into the glyph slot with the synthesised
  // styles applied; false when the face has no outline for it. Every level
  // draws the one outline its ABC widths measure: hinted for two tones, an
  // outline without instructions is grid-fitted across by the auto-hinter,
  // and its box then strays from those widths by pixels (a "p" narrower
  // on the right, a "q" moved right, a gap between them).
  bool Load(uint16_t code, int32_t& advance) {
    FT_Activate_Size(size_);
    const FT_UInt index = FT_Get_Char_Index(face_, UnicodeOf(code));
    const FT_Int32 flags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL;
    if (FT_Load_Glyph(face_, index, flags) != 0 || face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    FT_Outline& outline = face_->glyph->outline;
    advance = static_cast<int32_t>((face_->glyph->advance.x + 32) >> 6);
    if ((style_ & kFontBold) != 0) {
      if (outline.n_points > 0) FT_Outline_EmboldenXY(&outline, 64, 0);
      ++advance;
    }
    if ((style_ & kFontItalic) != 0) {
      FT_Matrix shear{0x10000, kItalicShear, 0, 0x10000};
      FT_Outline_Transform(&outline, &shear);
    }
    return true;
  }

  // The most rows any of the Latin descenders "gjpqy" draws below the
  // baseline at this size, two-tone or smoothed, as RenderGlyph draws them.
  int32_t DeepestDescender() {
    int32_t deepest = 0;
    for (const char letter : {'g', 'j', 'p', 'q', 'y'})
      for (const int32_t level : {0, 3}) {
        TGlyphBitmap glyph;
        if (RenderGlyph(static_cast<uint8_t>(letter), level, glyph) && glyph.Height > 0)
          deepest = std::max(deepest, glyph.Height - glyph.OriginY);
      }
    return deepest;
  }

  std::shared_ptr<TFreeTypeFonts::TLibrary> library_;
  FT_Face face_;
  FT_Size size_;
  uint8_t style_;
  TFontMetrics metrics_;
};

}  // namespace

TFreeTypeFonts::TFreeTypeFonts() : library_(std::make_shared<TLibrary>()) {}
TFreeTypeFonts::~TFreeTypeFonts() = default;

TFontFile TFreeTypeFonts::Resolve(const std::string& face_name) {
  auto it = resolved_.find(face_name);
  if (it != resolved_.end()) return it->second;
  TFontFile file;
  for (const TAlias& alias : kAliases)
    if (face_name == alias.Name) file = FindFamily(alias.Family, true);
  if (file.Path.empty()) file = FindFamily(SjisToUtf8(face_name), false);
  if (file.Path.empty()) file = FindFamily(kDefaultFamily, true);
  resolved_.emplace(face_name, file);
  return file;
}

std::unique_ptr<TFontFace> TFreeTypeFonts::CreateFace(const TFontRequest& request) {
  TFontFile file = Resolve(request.FaceName);
  FT_Face face = library_->Open(file);
  if (face == nullptr) {
    file = FindFamily(kDefaultFamily, true);
    face = library_->Open(file);
  }
  FT_Size size = nullptr;
  if (face == nullptr || FT_New_Size(face, &size) != 0) return nullptr;
  return std::make_unique<TFreeTypeFace>(library_, face, size, file.StandIn, request);
}

void TFreeTypeFonts::AddFontFolder(const std::string& folder) {
  if (!FontconfigReady()) return;
  // Fontconfig is handed each checked file by its descriptor's name, never
  // the folder: scanning that itself it would follow every link and wait
  // on every FIFO there. Fontconfig and FreeType then open the file the
  // descriptor holds, whatever the folder holds meanwhile.
  std::vector<int>& files = GameFontFiles();
  if (!files.empty()) FcConfigAppFontClear(nullptr);
  for (const int fd : files) ::close(fd);
  files.clear();
  for (const int fd : OpenGameFontFiles(folder)) {
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    if (FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(name.c_str()))) {
      files.push_back(fd);
    } else {
      ::close(fd);
    }
  }
  resolved_.clear();
}

}  // namespace orba
