#include "items/fire.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "graphics/dib.h"
#include "items/base_list.h"
#include "items/surface_limits.h"
#include "script/functions/script_random.h"

namespace orba {

namespace {

// The telling rows of the fire ramp (heat, 0x00RRGGBB); the entries between
// them are interpolated channel by channel.
struct TFireAnchor {
  int32_t Heat;
  uint32_t Color;
};
constexpr TFireAnchor kFireAnchors[] = {{0, 0x000000},   {1, 0x030100},   {16, 0x331301},  {17, 0x361401},
                                        {32, 0x662703},  {64, 0x923E04},  {96, 0xBE5506},  {128, 0xDF7509},
                                        {160, 0xF39D0D}, {192, 0xFFC037}, {224, 0xFFD373}, {255, 0xFFE6AF}};

struct TFireTables {
  std::array<uint32_t, 256> Rgb32{};
  std::array<uint32_t, 256> Rgb16{};
  TFireTables() {
    for (size_t a = 0; a + 1 < std::size(kFireAnchors); ++a) {
      const TFireAnchor lo = kFireAnchors[a], hi = kFireAnchors[a + 1];
      for (int32_t i = lo.Heat; i <= hi.Heat; ++i) {
        uint32_t c = 0;
        for (int shift : {16, 8, 0}) {
          const int32_t from = static_cast<int32_t>((lo.Color >> shift) & 0xFF);
          const int32_t to = static_cast<int32_t>((hi.Color >> shift) & 0xFF);
          const double v = from + static_cast<double>(to - from) * (i - lo.Heat) / (hi.Heat - lo.Heat);
          c |= static_cast<uint32_t>(std::lround(v)) << shift;
        }
        Rgb32[static_cast<size_t>(i)] = c;
        Rgb16[static_cast<size_t>(i)] = ((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F);
      }
    }
  }
};

const TFireTables& FireTables() {
  static const TFireTables tables;
  return tables;
}

// A size of the script or a save: negative counts as 0.
int32_t UsableSide(int32_t v) { return std::max(v, 0); }

int32_t ZoomedSide(int32_t side, int32_t zoom) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{UsableSide(side)} * zoom / 256, INT32_MIN, INT32_MAX));
}

}  // namespace

std::span<const uint32_t> FireTable32() { return FireTables().Rgb32; }
std::span<const uint32_t> FireTable16() { return FireTables().Rgb16; }

TOrbaFire::TOrbaFire(TOrbaBaseList* manager) : TOrbaControl(manager) {
  Bitmap.SetSize(8, 8, 8);
  Bitmap.TransparentColor = 16;
  BuildDecayTable(4.5, DecayTable);
}

TOrbaFire::~TOrbaFire() { Invalidate(); }

void TOrbaFire::BuildDecayTable(double parameter, std::array<uint8_t, 1024>& table) {
  if (parameter <= 0) parameter = 0.0001;
  for (int32_t i = 0; i < 1024; ++i) {
    const double f = (1023.0 - i) / 1023.0;
    const double v = std::nearbyint(i / (parameter - 0.05 * f * f * f));
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 254.0));
  }
}

void TOrbaFire::UpdateSize() {
  Width = ZoomedSide(OrigWidth, ZoomX);
  Height = ZoomedSide(OrigHeight, ZoomY);
}

void TOrbaFire::Resize(int32_t& field, int32_t v, bool rebuild) {
  if (v == field) return;
  Invalidate();
  field = v;
  UpdateSize();
  Invalidate();
  if (rebuild) State = 0;
}

void TOrbaFire::SetOrigWidth(int32_t v) { Resize(OrigWidth, v, true); }
void TOrbaFire::SetOrigHeight(int32_t v) { Resize(OrigHeight, v, true); }
void TOrbaFire::SetZoomX(int32_t v) { Resize(ZoomX, std::max(v, 1), false); }
void TOrbaFire::SetZoomY(int32_t v) { Resize(ZoomY, std::max(v, 1), false); }

void TOrbaFire::SetPower(int32_t v) {
  if (v == Power) return;
  Power = std::clamp(v, 0, 255);
  BuildDecayTable(DecayParameter(Power), DecayTable);
}

void TOrbaFire::Initialise() {
  // The field follows the sides up to the screen-sized limit: each step
  // walks every pixel of it.
  int32_t w = UsableSide(ClampItemSide(OrigWidth, Manager)), h = UsableSide(ClampItemSide(OrigHeight, Manager));
  if (w == 0 || h == 0 || int64_t{w} * h > kMaxScriptSurfacePixels) w = h = 0;
  if (Bitmap.Width() != w || Bitmap.Height() != h || Bitmap.BitCount() != 8) Bitmap.SetSize(w, h, 8);
  RowOffset = 0;
  ColumnOffset = 0;
  const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
  Noise.resize(pixels);
  for (uint8_t& n : Noise) n = static_cast<uint8_t>(ScriptRandom(9));  // the step table's 9 rows
  ColumnTable.resize(size_t{2} * static_cast<size_t>(w));
  for (size_t i = 0; i < ColumnTable.size(); ++i) ColumnTable[i] = static_cast<uint8_t>(i % static_cast<size_t>(w));
  RowTable.resize(size_t{2} * static_cast<size_t>(h));
  for (size_t i = 0; i < RowTable.size(); ++i) RowTable[i] = static_cast<uint8_t>(i % static_cast<size_t>(h));
  for (size_t i = 0; i < HeatMap.size(); ++i) HeatMap[i] = static_cast<uint8_t>(std::max<size_t>(i, 16));
  if (pixels > 0) {
    Bitmap.ResetClipRect();
    Bitmap.FillRect(Bitmap.GetBoundsRect(), 16);
  }
  State = 1;
}

void TOrbaFire::Step() {
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  if (w < 1 || h < 1 || Noise.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) return;
  RowOffset = RowTable[static_cast<size_t>(RowOffset) + 1];
  ColumnOffset = ColumnTable[static_cast<size_t>(ColumnOffset) + (RowOffset % 8 == 0 ? 1 : 0)];
  Bitmap.ResetClipRect();
  Bitmap.FillRect(TRect{0, h - 4, w, h}, 254);
  if (w < 3 || h < 3) return;
  uint8_t* const top = Bitmap.Lock(0, 0);
  if (top == nullptr) return;
  const std::ptrdiff_t pitch = Bitmap.Pitch();
  for (size_t n = 0; n < 9; ++n)
    for (size_t sum = 0; sum < 1024; ++sum) {
      const int32_t d = DecayTable[sum] - static_cast<int32_t>(n);
      StepTable[n * 1024 + sum] = HeatMap[static_cast<size_t>(std::max(d, 0))];
    }
  const uint8_t* const columns = ColumnTable.data() + ColumnOffset;
  // Each pixel reads its left neighbour as just written, so the row is walked
  // in order with that value carried in a register.
  for (int32_t y = 1; y <= h - 2; ++y) {
    const uint8_t* noise = Noise.data() + static_cast<size_t>(RowTable[static_cast<size_t>(RowOffset + y)]) * w;
    uint8_t* above = top + (y - 1) * pitch;
    const uint8_t* row = above + pitch;
    const uint8_t* below = row + pitch;
    uint32_t left = above[0];
    for (int32_t x = 1; x <= w - 2; ++x) {
      const uint32_t rest = uint32_t{above[x]} + row[x + 1] + below[x];
      left = StepTable[size_t{noise[columns[x]]} * 1024 + left + rest];
      above[x] = static_cast<uint8_t>(left);
    }
  }
}

bool TOrbaFire::Idle() {
  const bool answer = TOrbaControl::Idle();
  if (State == 0) Initialise();
  if (State != 1 || GetAniPaused()) return answer;
  Accumulator = static_cast<int32_t>(std::clamp<int64_t>(int64_t{Accumulator} + FrameTime, 0, INT32_MAX));
  if (Accumulator >= 40) {
    Accumulator %= 40;
    Step();
    Invalidate();
  }
  return answer;
}

void TOrbaFire::Draw() {
  if (!GetVisible()) return;
  TCustomDIBX* surface = GetSurface();
  if (surface != nullptr && !Bitmap.IsEmpty() && Bitmap.BitCount() == 8) {
    std::span<const uint32_t> table;
    switch (surface->StorageBitCount()) {
      case 15:
      case 16: table = FireTable16(); break;
      case 32: table = FireTable32(); break;
      default: break;
    }
    const TRect whole = Bitmap.GetBoundsRect();
    if (table.empty()) {
    } else if (ZoomX == 256 && ZoomY == 256) {
      surface->DrawIndexedAdd(GetScreenLeft(), GetScreenTop(), Bitmap, whole, 17, false, false, 255, table);
    } else {
      surface->DrawIndexedStretch(GetBoundsRect(), Bitmap, whole, 17, false, false, 255, table);
    }
  }
  TOrbaControl::Draw();
}

void TOrbaFire::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  for (int32_t v : {Power, OrigWidth, OrigHeight, ZoomX}) WriteStreamInt(stream, v);
  WriteStreamString(stream, OnIdle);
  WriteStreamBool(stream, Paused);
  WriteStreamInt(stream, ZoomY);
}

void TOrbaFire::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  SetPower(ReadStreamInt(stream));
  OrigWidth = ReadStreamInt(stream);
  OrigHeight = ReadStreamInt(stream);
  SetZoomX(ReadStreamInt(stream));
  OnIdle = ReadStreamString(stream);
  Paused = ReadStreamBool(stream);
  SetZoomY(ReadStreamInt(stream));
  UpdateSize();
  State = 0;
}

}  // namespace orba
