// Animated images: an image item that shows one cell of an image list at a
// time, advances by the cells' delays, repeats or stops at the end and then
// raises its end handler or removes itself. TOrbaImages is the script's
// animated image, loaded from a picture file (or driven by a film file).
#pragma once

#include <memory>
#include <vector>

#include "items/image_cells.h"
#include "items/image_item.h"
#include "script/expr/parser_record.h"

namespace orba {

class TOrbaCustomImages : public TOrbaCustomImage {
 public:
  explicit TOrbaCustomImages(TOrbaBaseList* manager) : TOrbaCustomImage(manager) { Index = -1; }

  int32_t Remaining = 0;
  int32_t Brightness = 0;
  bool Paused = false;
  // Evaluated when the last cell is entered; a result adds to its time.
  TOrbaParser EndExpression;

  virtual TOrbaImageList* GetImageList() const { return nullptr; }
  // The film motion that shows now (a strip's for the button); null when
  // cells show.
  virtual TOrbaMotion* GetMotion() const { return Motion.get(); }

  int32_t GetIndex() const override { return Index; }
  void SetIndex(int32_t v) override;
  int32_t GetCount() const override;
  int32_t GetBrightness() const override { return Brightness; }
  void SetBrightness(int32_t v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override;
  void SetVisible(bool v) override;
  bool GetPlaying() const override;
  bool Idle() override;
  void FreeSurface() override;
  void RestoreSurface() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 protected:
  TOrbaImageData* CurrentCell() const;
  bool IsValidCell(int32_t index) const;
};

class TOrbaImages : public TOrbaCustomImages {
 public:
  explicit TOrbaImages(TOrbaBaseList* manager);
  ~TOrbaImages() override;

  std::vector<std::unique_ptr<TOrbaImageList>> Strips;
  bool Repeat = false, AutoScrap = false;
  std::string Source, OnPlayEnd, OnIdle;

  virtual int32_t GetStrip() const { return 0; }
  virtual void SetStrip(int32_t) {}
  virtual int32_t GetStripCount() const { return 1; }
  TOrbaImageList* GetImageList() const override;

  uint8_t GetCompoType() const override { return CT_IMAGES; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  bool GetRepeat() const override { return Repeat; }
  void SetRepeat(bool v) override;
  bool GetAutoScrap() const override { return AutoScrap; }
  void SetAutoScrap(bool v) override { AutoScrap = v; }
  std::string GetOnPlayEnd() const override { return OnPlayEnd; }
  void SetOnPlayEnd(std::string v) override { OnPlayEnd = std::move(v); }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  void FreeSurface() override;
  void RestoreSurface() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  // "ImgNew" hands over its delay expression as the end expression.
  void TakeCommandExpressions(TComComponent& command) override;
};

// True when Name ends in ".brx" (letter case ignored): a picture file.
bool IsBrixName(const std::string& name);

// Lets the component factory create animated images (type CT_IMAGES).
void RegisterImageItems();

}  // namespace orba
