// The still image: one picture from the cache, copied into the item's own
// surface and optionally darkened, shown with every setting of the image
// item base. Film image tracks create and move it frame by frame.
#pragma once

#include "items/image_item.h"

namespace orba {

class TOrbaImage : public TOrbaCustomImage {
 public:
  explicit TOrbaImage(TOrbaBaseList* manager) : TOrbaCustomImage(manager) {}

  std::string Source;
  int32_t Brightness = 255;

  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  int32_t GetBrightness() const override { return Brightness; }
  // Clamped to 0..255; 255 leaves the picture as it is.
  void SetBrightness(int32_t v) override;
  void RestoreSurface() override;
  bool PaintsOver(const TRect& area) const final;
  bool OnlyPaints() const final { return true; }
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

  // One frame of a film image track.
  struct TFrameState {
    TOrbaControl* Parent = nullptr;
    int32_t Index = 0;
    TCustomDIBX* Bitmap = nullptr;
    TCustomDIBX* Mask = nullptr;
    int32_t ColorKey = -1;
    int32_t ZoomX = 256, ZoomY = 256, Priority = 0;
    bool FlipH = false, FlipV = false;
    int32_t OffsetX = 0, OffsetY = 0, Left = 0, Top = 0, Angle = 0, Alpha = 255, BlurSpan = 0,
            BlurDelay = 0;
    TRect Clip;
  };
  void ApplyFrame(const TFrameState& frame);

 private:
  void LoadPicture();
};

}  // namespace orba
