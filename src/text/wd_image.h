// Inline images of message text, and the seam through which the text layer
// gets their frames: the item layer installs an image source at start-up
// (tests install their own); without one every image is missing.
#pragma once

#include <memory>

#include "graphics/custom_dibx.h"
#include "text/wd_char.h"

namespace orba {

// The frames of one picture file.
class TWdImageCells {
 public:
  virtual ~TWdImageCells() = default;
  // The current frame; nullptr when it cannot be drawn.
  virtual TCustomDIBX* Surface() = 0;
  // Its alpha plane (8 bits), or nullptr.
  virtual TCustomDIBX* Mask() { return nullptr; }
  // Whether the frame has a colour key (drawn transparent).
  virtual bool HasColorKey() { return false; }
  // Advances the animation by the last tick; true when the frame changed.
  virtual bool Step() { return false; }
};

class TWdImageSource {
 public:
  virtual ~TWdImageSource() = default;
  // The frames of a file of the game; nullptr when the file is not there.
  virtual std::unique_ptr<TWdImageCells> Load(const std::string& name) = 0;
};

// Installs the source (nullptr: none) and returns the previous one.
TWdImageSource* SetWdImageSource(TWdImageSource* source);
TWdImageSource* WdImageSource();

class TWdImg : public TWdReal {
 public:
  using TWdReal::TWdReal;

  std::string Name;
  uint8_t Align = 5;  // 1 LEFT and 2 RIGHT float; 3 CENTER, 4 TOP, 5 BOTTOM
  std::unique_ptr<TWdImageCells> Cells;

  uint8_t GetGlyphType() const override { return gtImage; }
  uint8_t GetAlign() const override { return Align; }
  void SetAlign(uint8_t align) override { Align = align; }
  std::string GetValue() const override { return Name; }
  int32_t GetTextLength() const override { return 1; }
  bool IsAnimated() const override { return Cells != nullptr; }

  // Loads the frames and takes the first one's size (0 x 0 when missing).
  void CalcSize() override;
  void Paint() override;
  void Animate() override;
  void FreeImage() override { Cells.reset(); }
  void LoadImage() override { CalcSize(); }
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void Assign(const TWdGlyph& source) override;

  // The opacity of the glyph alpha A under the word's alpha W: below 255
  // blends, 255 plain, 256 and above additive with strength - 256.
  static int32_t Opacity(int32_t a, int32_t w);
};

}  // namespace orba
