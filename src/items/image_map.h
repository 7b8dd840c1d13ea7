// The image map item: a clickable picture divided into named regions read
// from a region file. The region under the pointer (or chosen with the
// arrow keys) shows a second, hover picture inside that region only and
// raises the map-in and map-out handlers; a click (or Enter or Space) puts
// the region's name and number into the selection and raises the select
// handler. With AutoScrap the item removes itself after a selection; with
// RClickScrap a right click or Escape cancels with number -1.
//
// Each picture's cells are drawn through the map's own working masks: a copy
// of the cell's mask with the hovered region cut out (normal picture) or
// with only the hovered region left (hover picture). The pictures in the
// shared cache are never written, so several maps may show one picture.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "graphics/dibx.h"
#include "graphics/region_file.h"
#include "items/image_cells.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaMapImage : public TOrbaControl {
 public:
  // The cells of one picture with a working mask per cell and the region
  // each mask was last cut for (kUncut: not cut yet).
  struct TLayer {
    static constexpr int32_t kUncut = -2;
    TOrbaImageList List;
    std::vector<std::unique_ptr<TDIBX>> Masks;
    std::vector<int32_t> MaskRegion;
    void Load(const void* owner, const std::string& source);
    void ForgetCuts() { std::fill(MaskRegion.begin(), MaskRegion.end(), kUncut); }
  };

  explicit TOrbaMapImage(TOrbaBaseList* manager);
  ~TOrbaMapImage() override;
  void Create() override;

  TLayer Normal, Hover;
  std::string Source, HoverSource, MapSource;
  int32_t Alpha = 0;
  int32_t Brightness = 0;
  bool AutoScrap = false, RClickScrap = false, Paused = false;
  std::string OnMapIn, OnMapOut, OnSelect, OnIdle;
  std::vector<TNamedRegion> Regions;
  int32_t HoverIndex = -1;
  // 0 normally; 100 closing requested; 101 removed at the next tick.
  int32_t CloseState = 0;
  bool EventsHeld = false;

  uint8_t GetCompoType() const override { return CT_MAPIMG; }
  bool GetRepeat() const override { return true; }
  bool GetEventsHeld() const override { return EventsHeld; }
  std::string GetSource() const override { return Source; }
  std::string GetHoverSource() const override { return HoverSource; }
  std::string GetMapSource() const override { return MapSource; }
  int32_t GetAlpha() const override { return Alpha; }
  int32_t GetBrightness() const override { return Brightness; }
  bool GetAutoScrap() const override { return AutoScrap; }
  bool GetRClickScrap() const override { return RClickScrap; }
  bool GetPaused() const override { return Paused; }
  std::string GetOnMapIn() const override { return OnMapIn; }
  std::string GetOnMapOut() const override { return OnMapOut; }
  std::string GetOnSelect() const override { return OnSelect; }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetSource(std::string v) override;
  void SetHoverSource(std::string v) override;
  void SetMapSource(std::string v) override;
  void SetAlpha(int32_t v) override;
  void SetBrightness(int32_t v) override;
  void SetAutoScrap(bool v) override { AutoScrap = v; }
  void SetRClickScrap(bool v) override { RClickScrap = v; }
  void SetPaused(bool v) override { Paused = v; }
  void SetOnMapIn(std::string v) override { OnMapIn = std::move(v); }
  void SetOnMapOut(std::string v) override { OnMapOut = std::move(v); }
  void SetOnSelect(std::string v) override { OnSelect = std::move(v); }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }

  // The region under the pointer or chosen by keys changes to I (-1 none):
  // map-out for the old region, map-in for the new one, both areas redrawn.
  void SetHover(int32_t index);
  // The hovered region becomes the selection.
  void Select();

  void DoMouseMove() override;
  void DoMouseOut() override;
  void DoLButtonDown() override;
  void DoKeyRepeat() override;
  bool HandleRClickScrap() override;
  bool Idle() override;
  void Draw() override;
  void FreeSurface() override;
  void RestoreSurface() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  void InvalidateRegion(int32_t index);
  void DrawLayer(TLayer& layer, bool inside);
  void ClearSelection();
};

// Lets the component factory create image maps (type CT_MAPIMG).
void RegisterMapItems();

}  // namespace orba
