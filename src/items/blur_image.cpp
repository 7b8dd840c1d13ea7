#include "items/blur_image.h"

#include <climits>

#include "graphics/dibx.h"
#include "items/anim_image.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/brix_cache.h"

namespace orba {

namespace {

// The cache entry one of whose frames is the bitmap (and the mask) shown.
TBrixItem* EntryShowing(const TOrbaCustomImage& source, const TCustomDIBX* dib, const TCustomDIBX* mask) {
  const auto* images = dynamic_cast<const TOrbaCustomImages*>(&source);
  TOrbaImageList* list = images != nullptr ? images->GetImageList() : nullptr;
  TBrixItem* entry = list != nullptr ? list->Entry : nullptr;
  if (entry == nullptr || BrixCollection() == nullptr) return nullptr;
  for (const auto& frame : entry->Frames)
    if (frame->DIB.get() == dib && (mask == nullptr || frame->Mask.get() == mask)) return entry;
  return nullptr;
}

std::shared_ptr<TCustomDIBX> CopyOf(TCustomDIBX& from) {
  std::shared_ptr<TCustomDIBX> copy = NewItemSurface(from.BitCount());
  copy->SetSize(from.Width(), from.Height(), from.BitCount());
  copy->CopyFrom(from);
  copy->TransparentColor = from.TransparentColor;
  return copy;
}

}  // namespace

TOrbaBlurImage::~TOrbaBlurImage() {
  // The borrowed picture is dropped before the entry that keeps it goes;
  // the image part then frees only what is the afterimage's own.
  Invalidate();
  OverrideDIB = nullptr;
  OverrideMask = nullptr;
  if (entry_ != nullptr && BrixCollection() != nullptr) entry_->RemoveOwner(this);
}

void TOrbaBlurImage::TakePicture(TOrbaCustomImage& source) {
  if (source.OverrideDIB == nullptr) {
    Surface = source.Surface;
  } else {
    borrowed_ = true;
    entry_ = EntryShowing(source, source.OverrideDIB, source.OverrideMask);
    if (entry_ != nullptr) {
      entry_->AddOwner(this);
      OverrideDIB = source.OverrideDIB;
    } else {
      Surface = CopyOf(*source.OverrideDIB);
    }
  }
  if (source.OverrideMask == nullptr) {
    Mask = source.Mask;
  } else if (entry_ != nullptr) {
    OverrideMask = source.OverrideMask;
  } else {
    Mask = CopyOf(*source.OverrideMask);
  }
}

void TOrbaBlurImage::Attach(TOrbaCustomImage& source) {
  TakePicture(source);
  SourceItem = source.Handle();
  AssignName(Manager != nullptr ? Manager->MakeUniqueName(source.GetName()) : source.GetName());
  FilmColorKey = source.FilmColorKey;
  Width = source.GetWidth();
  Height = source.GetHeight();
  StartAlpha = source.Alpha / 2;
  Alpha = StartAlpha;
  Delay = source.BlurDelay;
  SetParent(source.GetParent());
  SetPriority(source.GetPriority() > INT32_MIN ? source.GetPriority() - 1 : INT32_MIN);
  SetLeft(source.GetLeft());
  SetTop(source.GetTop());
  SetAngle(source.Angle);
  SetZoomX(source.ZoomX);
  SetZoomY(source.ZoomY);
  SetScrollX(source.GetScrollX());
  SetScrollY(source.GetScrollY());
  SetClipLeft(source.GetClipLeft());
  SetClipTop(source.GetClipTop());
  SetClipWidth(source.GetClipWidth());
  SetClipHeight(source.GetClipHeight());
  SetFlipH(source.FlipH);
  SetFlipV(source.FlipV);
  SetDistanceX(source.GetDistanceX());
  SetDistanceY(source.GetDistanceY());
  SetOffsetX(source.GetOffsetX());
  SetOffsetY(source.GetOffsetY());
  SizeDirty = false;
  Invalidate();
}

void TOrbaBlurImage::FreeSurface() {
  Invalidate();
  OverrideDIB = nullptr;
  OverrideMask = nullptr;
  Surface.reset();
  Mask.reset();
  dropped_ = true;
}

bool TOrbaBlurImage::Ended() const {
  return dropped_ || (borrowed_ && (Manager == nullptr || Manager->Lookup(SourceItem) == nullptr));
}

}  // namespace orba
