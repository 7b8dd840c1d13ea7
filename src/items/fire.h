// The fire item: procedurally animated flames. A cellular automaton runs on
// a private 8-bit bitmap whose bottom rows are kept white-hot; every 40 ms
// of frame time it takes one step, each pixel cooling by a decay table and
// a field of random noise, and the bitmap is drawn additively onto the
// screen through a colour table of heat (black through red and yellow).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "graphics/dibx.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaFire : public TOrbaControl {
 public:
  explicit TOrbaFire(TOrbaBaseList* manager);
  ~TOrbaFire() override;

  int32_t Power = 1;
  int32_t OrigWidth = 0, OrigHeight = 0;
  int32_t ZoomX = 256, ZoomY = 256;
  TDIBX Bitmap;
  std::vector<uint8_t> Noise;
  std::vector<uint8_t> ColumnTable, RowTable;
  std::array<uint8_t, 256> HeatMap{};
  std::array<uint8_t, 1024> DecayTable{};
  // HeatMap[max(DecayTable[sum] - noise, 0)] for each noise value and sum:
  // one lookup per pixel in the step's serial inner loop.
  std::array<uint8_t, 9 * 1024> StepTable{};
  int32_t RowOffset = 0, ColumnOffset = 0;
  int32_t State = 0;  // 0: bitmap to be (re)built; 1: running
  std::string OnIdle;
  bool Paused = false;
  int32_t Accumulator = 0;

  uint8_t GetCompoType() const override { return CT_FIRE; }
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  int32_t GetOrigWidth() const override { return OrigWidth; }
  int32_t GetOrigHeight() const override { return OrigHeight; }
  void SetOrigWidth(int32_t v) override;
  void SetOrigHeight(int32_t v) override;
  int32_t GetZoomX() const override { return ZoomX; }
  int32_t GetZoomY() const override { return ZoomY; }
  void SetZoomX(int32_t v) override;
  void SetZoomY(int32_t v) override;
  int32_t GetPower() const override { return Power; }
  void SetPower(int32_t v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  bool GetPlaying() const override { return !Paused && !GetAniPaused(); }

  void Draw() override;
  bool Idle() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

  // The decay table of a decay parameter.
  static void BuildDecayTable(double parameter, std::array<uint8_t, 1024>& table);
  // The decay parameter of a Power.
  static double DecayParameter(int32_t power) { return (128.0 - power) / 128.0 * 1.2825 + 4.2175; }
  // Rebuilds bitmap, tables and noise for the current size (state 0 to 1).
  void Initialise();
  // One step of the automaton.
  void Step();

 private:
  void UpdateSize() override;
  // Field := V between invalidations of the item's old and new size; with
  // Rebuild the next Idle rebuilds the bitmap.
  void Resize(int32_t& field, int32_t v, bool rebuild);
};

// The colour tables of the fire by heat: 0x00RRGGBB for 32-bit screens and
// the same ramp in 5-6-5 form for 15- and 16-bit screens.
std::span<const uint32_t> FireTable32();
std::span<const uint32_t> FireTable16();

}  // namespace orba
