// Character styles: characters point to interned, reference-counted style
// records kept in their word's style list, so that equal attributes are
// stored once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"

namespace orba {

class TKsWord;

struct TDecorate {
  int32_t RefCount = 0;
  int32_t Color = -1, BorderColor = -1, ShadowColor = -1;  // -1: the word's
  int32_t Size = 0;                                        // 0: the word's
  uint8_t Style = 0;  // 1 bold, 2 italic, 4 underline, 8 strike-out
  std::string FontName;
  uint8_t NoBreak = 0;
  std::string Ruby;
  int32_t Border = -1, Shadow = -1;  // -1: the word's

  // Equal in all ten attributes (strings byte for byte).
  bool SameAs(const TDecorate& other) const;
};

struct TCellSize {
  int32_t Width = 0, Height = 0;
};
// The largest side of a character cell (either sign).
constexpr int64_t kMaxCellSide = 1 << 16;

class TDecorateList {
 public:
  explicit TDecorateList(TKsWord& word) : word_(word) {}
  TDecorateList(const TDecorateList&) = delete;
  TDecorateList& operator=(const TDecorateList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // nullptr outside 0..Count-1.
  TDecorate* Get(int32_t index) const;
  int32_t IndexOf(const TDecorate* style) const;
  void Clear() { items_.clear(); }

  // The style equal to Attrs with one more reference, or a new one.
  TDecorate* Intern(const TDecorate& attrs);
  // One reference less; the style is freed when none is left.
  void Release(TDecorate* style);
  // Moves Ref to Style of this list (one more reference), releasing the old.
  void Share(TDecorate*& ref, TDecorate* style);
  // Moves Ref to a style with the attributes Attrs (see the notes in the
  // source); Ref holds one reference before and after.
  void Change(TDecorate*& ref, const TDecorate& attrs);

  // The cell of a character of that style: a square of its size, widened
  // by italic, ruby, border and shadow.
  TCellSize CellSize(const TDecorate& style) const;
  // The size, border and shadow with the word's defaults put in.
  int32_t SizeOf(const TDecorate& style) const;
  int32_t BorderOf(const TDecorate& style) const;
  int32_t ShadowOf(const TDecorate& style) const;

  // Reads a style table of a stream version (count then records); the
  // stored reference counts are not kept (the glyphs that take a style
  // count it). Nothing is appended until the whole table was read.
  static std::vector<std::unique_ptr<TDecorate>> ReadTable(TKsBigStream& stream, int32_t version);
  void Append(std::vector<std::unique_ptr<TDecorate>> styles);
  // Drops the styles from Count on (a failed load's).
  void Truncate(int32_t count) {
    if (count >= 0 && count < Count()) items_.resize(static_cast<size_t>(count));
  }
  // Writes the table in the version-102 form; Counts[i] is written as the
  // reference count of style i.
  void SaveToStream(TKsBigStream& stream, const std::vector<int32_t>& counts) const;

 private:
  TKsWord& word_;
  std::vector<std::unique_ptr<TDecorate>> items_;
};

}  // namespace orba
