// The afterimage of an image item: a copy of the item's picture, as it was
// when the item moved on, left where it stood and fading from half the
// item's alpha to nothing over the item's BlurDelay milliseconds. It sorts
// below its source, fainter afterimages first, and is not saved.
#pragma once

#include "items/image_item.h"

namespace orba {

class TBrixItem;

class TOrbaBlurImage final : public TOrbaCustomImage {
 public:
  explicit TOrbaBlurImage(TOrbaBaseList* manager) : TOrbaCustomImage(manager) {}
  ~TOrbaBlurImage() override;

  int32_t Elapsed = 0;
  int32_t Delay = 0;
  int32_t StartAlpha = 0;
  TObjectHandle SourceItem;

  // Takes Source's current picture and place: named after Source, in its
  // parent just below it, with its position, turn, zoom, clip, flips and
  // offsets, its size, half its alpha and its BlurDelay as the fade time.
  void Attach(TOrbaCustomImage& source);

  uint8_t GetCompoType() const override { return CT_NONE; }
  int32_t GetDelay() const override { return Delay; }
  void SetDelay(int32_t v) override { Delay = v; }
  bool IsAfterimage() const override { return true; }
  bool IsAfterimageOf(const TOrbaObject* source) const override {
    return source != nullptr && source->Serial == SourceItem.Id;
  }
  // The size stays the source's.
  bool IsAutoSized() const override { return false; }
  // The covered rectangle is invalidated whether or not a picture is shown.
  void Invalidate() override { InvalidateBounds(); }
  bool Idle() override;
  void FreeSurface() override {}
  void RestoreSurface() override {}

 private:
  void TakePicture(TOrbaCustomImage& source);
  // The picture of a shown cell or film frame belongs to the source: it is
  // kept alive by holding its cache entry, or copied when it has none. It
  // is shown only while the source is registered.
  bool borrowed_ = false;
  TBrixItem* entry_ = nullptr;
};

}  // namespace orba
