#include "items/orba_globals.h"

#include "core/system/trace.h"
#include "items/anim_image.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "items/cinema.h"
#include "items/effect_items.h"
#include "items/image_map.h"
#include "items/prev_menu.h"
#include "items/tile.h"
#include "items/slider_parts.h"

namespace orba {

TOrbaHistoryFormatManager* TextHistoryFormats = nullptr;
TOrbaReadList* TextRead = nullptr;
TClipManager* ClipMan = nullptr;
TDIBX* SelRectDIB = nullptr;
std::array<uint32_t, 256> GreyRamp16{}, GreyRamp32{};

namespace {

// Each grey through a 1 x 1 surface of that depth, read back as it stored it.
void FillGreyRamp(std::array<uint32_t, 256>& ramp, int32_t bits) {
  TDIBX pixel;
  pixel.SetSize(1, 1, bits);
  for (uint32_t g = 0; g < 256; ++g) {
    pixel.SetPixel(0, 0, static_cast<uint32_t>(pixel.ColorToPixel(static_cast<int32_t>(g * 0x010101u))));
    ramp[g] = pixel.GetPixel(0, 0);
  }
}

}  // namespace

void RegisterItemKinds() {
  RegisterImageItems();
  RegisterEffectItems();
  RegisterTileItems();
  RegisterMapItems();
  RegisterSliderItems();
  RegisterCinemaItem();
  RegisterPrevMenuItem();
}

void InitOrbaGlobals() {
  if (Bases == nullptr) Bases = new TOrbaBaseList();
  if (TextHistoryFormats == nullptr) TextHistoryFormats = new TOrbaHistoryFormatManager();
  if (TextRead == nullptr) TextRead = new TOrbaReadList();
  InitBrixCollection();
  if (ClipMan == nullptr) ClipMan = new TClipManager();
  RegisterItemKinds();
  if (SelRectDIB == nullptr) {
    SelRectDIB = new TDIBX();
    SelRectDIB->SetSize(2, 2, 32);
    SelRectDIB->Fill(0);
    const uint32_t white = static_cast<uint32_t>(SelRectDIB->ColorToPixel(0xFFFFFF));
    SelRectDIB->SetPixel(0, 0, white);
    SelRectDIB->SetPixel(1, 1, white);
  }
  FillGreyRamp(GreyRamp16, TOrbaBase::kScreenBits == 15 ? 15 : 16);
  FillGreyRamp(GreyRamp32, 32);
}

void DoneOrbaGlobals() {
  Trace("TextRead.Free");
  delete TextRead;
  TextRead = nullptr;
  Trace("TextHistoryFormats.Free");
  delete TextHistoryFormats;
  TextHistoryFormats = nullptr;
  Trace("Bases.Free");
  delete Bases;
  Bases = nullptr;
  Trace("SelRectDIB.Free");
  delete SelRectDIB;
  SelRectDIB = nullptr;
  Trace("BrixMan.Free");
  FinalBrixCollection();
  Trace("ClipMan.Free");
  delete ClipMan;
  ClipMan = nullptr;
}

}  // namespace orba
