// The afterimage of an image item: a copy of the item's picture, as it was
// when the item moved on, left where it stood and fading from half the
// item's alpha to nothing over the item's BlurDelay milliseconds. It sorts
// below its source, fainter afterimages first, and is not saved.
#pragma once

#include "items/box.h"
#include "items/image_item.h"

namespace orba {

class TBrixItem;

class TOrbaBlurImage : public TOrbaAfterimage<TOrbaCustomImage> {
 public:
  using TOrbaAfterimage::TOrbaAfterimage;
  ~TOrbaBlurImage() override;

  // Takes Source's current picture and place: named after Source, in its
  // parent just below it, with its position, turn, zoom, clip, flips and
  // offsets, its size, half its alpha and its BlurDelay as the fade time.
  void Attach(TOrbaCustomImage& source);

  // The size stays the source's.
  bool IsAutoSized() const override { return false; }
  // The covered rectangle is invalidated whether or not a picture is shown.
  void Invalidate() override { InvalidateBounds(); }
  // Around a display change the afterimage lets its picture go and ends;
  // it is not rebuilt.
  void FreeSurface() override;
  void RestoreSurface() override {}

 protected:
  // A borrowed picture shows only while its source is there.
  bool Ended() const override;

 private:
  void TakePicture(TOrbaCustomImage& source);
  // The picture of a shown cell or film frame belongs to the source: it is
  // kept alive by holding its cache entry, or copied when it has none.
  bool borrowed_ = false;
  bool dropped_ = false;
  TBrixItem* entry_ = nullptr;
};

}  // namespace orba
