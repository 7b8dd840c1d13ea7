// The font service on Linux: FreeType renders, fontconfig finds the files.
//
// A face name reaches a file in this order: our own stand-ins for the
// Windows Japanese faces ("ＭＳ ゴシック" and "MS Gothic" are IPAGothic;
// "ＭＳ Ｐゴシック", "MS PGothic" and "MS UI Gothic" IPAPGothic; the Mincho
// faces IPAMincho and IPAPMincho), then a fontconfig family of exactly that
// name (asked with lang=ja), then IPAGothic. A file that FreeType cannot
// open is replaced by IPAGothic as well.
//
// Sizes are cell heights. A stand-in face is scaled to ppem = size, so that
// its square glyphs fill the engine's square cells; any other face to
// ppem = round(size x units per em / (Windows ascent + Windows descent)).
// The descent is the OS/2 table's Windows descent (hhea's without that
// table) at that ppem, grown to hold every row the Latin descenders draw;
// the ascent is the rest of the cell: a cell of the size holds them whole.
// Bold is the outline emboldened by one pixel (the advance grows by one),
// italic the outline sheared by 0.2; the Japanese faces have neither.
// Character codes become Unicode through code page 932.
//
// A game's own font folder is read as core/system/game_fonts.h finds it:
// fontconfig gets each checked file, never the folder to scan.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/fonts.h"

namespace orba {

// A font file (UTF-8 path; empty when nothing was found) and the face index
// inside it.
struct TFontFile {
  std::string Path;
  int32_t Index = 0;
  bool StandIn = false;  // one of our stand-ins for a Windows face
};

class TFreeTypeFonts : public TFontEngine {
 public:
  TFreeTypeFonts();
  ~TFreeTypeFonts() override;
  TFreeTypeFonts(const TFreeTypeFonts&) = delete;
  TFreeTypeFonts& operator=(const TFreeTypeFonts&) = delete;

  std::unique_ptr<TFontFace> CreateFace(const TFontRequest& request) override;
  void AddFontFolder(const std::string& folder) override;
  // The file a Shift-JIS face name reaches.
  TFontFile Resolve(const std::string& face_name);

  struct TLibrary;

 private:
  std::shared_ptr<TLibrary> library_;
  std::map<std::string, TFontFile> resolved_;
};

}  // namespace orba
