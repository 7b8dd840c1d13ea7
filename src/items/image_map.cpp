#include "items/image_map.h"

#include <algorithm>

#include "core/files/vr_file_manager.h"
#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "items/image_item.h"
#include "items/orba_base.h"
#include "platform/text_convert.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace orba {

namespace {

// The largest region file read: its records are a few rectangles and
// outlines per name, kilobytes for any screen.
constexpr int64_t kMaxRegionFileBytes = int64_t{16} << 20;  // 16 MiB

constexpr int32_t kKeyEnter = 13, kKeySpace = 32, kKeyEscape = 27;
constexpr int32_t kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40;

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The region file's regions; a missing file gives none, a faulty one the
// regions before the fault (named in the trace once).
std::vector<TNamedRegion> LoadRegions(const std::string& name) {
  TBrixCollection* cache = BrixCollection();
  try {
    TVrFileManager* files = cache != nullptr ? &cache->FileLayer() : VrFileManager();
    const bool present = cache != nullptr ? cache->HasFile(name) : files != nullptr && files->Exists(name);
    if (files == nullptr || !present) return {};
    TKsMemoryStream stream;
    files->LoadToStream(stream, name, kMaxRegionFileBytes);
    stream.SetPosition(0);
    std::string fault;
    std::vector<TNamedRegion> regions = ReadRegionFile(stream, &fault);
    if (!fault.empty()) TraceOnce(SjisToUtf8(name) + ": " + SjisToUtf8(fault));
    return regions;
  } catch (const EOrbaError& e) {
    TraceOnce(SjisToUtf8(name) + ": " + SjisToUtf8(e.what()));
    return {};
  }
}

}  // namespace

// ---- layers ----------------------------------------------------------------------

void TOrbaMapImage::TLayer::Load(const void* owner, const std::string& source) {
  Masks.clear();
  MaskRegion.clear();
  // Always the mask variant: every cell has a mask to cut.
  List.LoadBrix(owner, source, true);
  Masks.resize(static_cast<size_t>(List.Count()));
  MaskRegion.assign(static_cast<size_t>(List.Count()), kUncut);
  if (List.Count() > 0) List.SetIndex(0);
}

// ---- life cycle ------------------------------------------------------------------

TOrbaMapImage::TOrbaMapImage(TOrbaBaseList* manager) : TOrbaControl(manager) {}

void TOrbaMapImage::Create() {
  TOrbaControl::Create();
  // Right clicks anywhere on the screen may cancel the map, as they do menus.
  if (Manager != nullptr) Manager->PrevMenus.push_back(Handle());
}

TOrbaMapImage::~TOrbaMapImage() {
  if (Manager != nullptr) std::erase(Manager->PrevMenus, Handle());
  Invalidate();
}

// ---- properties ------------------------------------------------------------------

void TOrbaMapImage::SetSource(std::string v) {
  if (v == Source) return;
  Invalidate();
  Source = std::move(v);
  Normal.Load(this, Source);
  TOrbaImageData* cell = Normal.List.GetCell(0);
  SetWidth(cell != nullptr ? cell->GetDIB()->Width() : 0);
  SetHeight(cell != nullptr ? cell->GetDIB()->Height() : 0);
  Invalidate();
}

void TOrbaMapImage::SetHoverSource(std::string v) {
  if (v == HoverSource) return;
  Invalidate();
  HoverSource = std::move(v);
  // The hover list holds its cache entry under its own name, so that the
  // same file as the normal picture is held twice and let go twice.
  Hover.Load(&Hover, HoverSource);
  Invalidate();
}

void TOrbaMapImage::SetMapSource(std::string v) {
  if (v == MapSource) return;
  Invalidate();
  MapSource = std::move(v);
  HoverIndex = -1;
  Regions.clear();
  Normal.ForgetCuts();
  Hover.ForgetCuts();
  if (!MapSource.empty()) Regions = LoadRegions(MapSource);
}

void TOrbaMapImage::SetAlpha(int32_t v) {
  if (v == Alpha) return;
  Alpha = v;
  Invalidate();
}

void TOrbaMapImage::SetBrightness(int32_t v) {
  if (v == Brightness) return;
  Brightness = v;
  Invalidate();
}

// ---- hover and selection ---------------------------------------------------------

void TOrbaMapImage::InvalidateRegion(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(Regions.size())) return;
  const TRect box = Regions[static_cast<size_t>(index)].Region.Bounds();
  if (RectIsEmpty(box)) return;
  const int64_t x = GetScreenLeft(), y = GetScreenTop();
  InvalidateArea(TRect{Clamp32(box.Left + x), Clamp32(box.Top + y), Clamp32(box.Right + x), Clamp32(box.Bottom + y)});
}

void TOrbaMapImage::SetHover(int32_t index) {
  if (index == HoverIndex) return;
  auto args = [&](int32_t i) {
    TArrayString a;
    a.Add(Regions[static_cast<size_t>(i)].Name);
    a.Add(std::to_string(i));
    return a;
  };
  if (HoverIndex >= 0 && !OnMapOut.empty()) {
    const TArrayString a = args(HoverIndex);
    QueueEvent(OnMapOut, PR_ONMAPOUT, &a);
  }
  InvalidateRegion(HoverIndex);
  HoverIndex = index;
  if (Hover.List.Count() > 0) Hover.List.SetIndex(0);
  InvalidateRegion(HoverIndex);
  if (index >= 0 && !OnMapIn.empty()) {
    const TArrayString a = args(index);
    QueueEvent(OnMapIn, PR_ONMAPIN, &a);
  }
}

void TOrbaMapImage::ClearSelection() {
  if (Manager == nullptr || Manager->Services.Funcs == nullptr) return;
  TParamCollection& store = Manager->Services.Funcs->Store();
  store.SelStr.clear();
  store.SelIndex = -1;
}

void TOrbaMapImage::Select() {
  if (HoverIndex < 0 || HoverIndex >= static_cast<int32_t>(Regions.size())) return;
  const std::string& name = Regions[static_cast<size_t>(HoverIndex)].Name;
  if (Manager != nullptr && Manager->Services.Funcs != nullptr) {
    TParamCollection& store = Manager->Services.Funcs->Store();
    store.SelStr = name;
    store.SelIndex = HoverIndex;
  }
  if (!OnSelect.empty() && !EventsHeld && !EventQueued(PR_ONSELECT)) {
    TArrayString a;
    a.Add(name);
    a.Add(std::to_string(HoverIndex));
    QueueEvent(OnSelect, PR_ONSELECT, &a);
  }
  if (AutoScrap) {
    CloseState = 100;
    EventsHeld = true;
  }
}

// ---- input -----------------------------------------------------------------------

void TOrbaMapImage::DoMouseMove() {
  if (!EventsHeld) {
    const TOrbaBase* root = GetScreen();
    const int64_t mx = root != nullptr ? root->MouseX : 0, my = root != nullptr ? root->MouseY : 0;
    const int32_t x = Clamp32(mx - GetScreenLeft()), y = Clamp32(my - GetScreenTop());
    int32_t found = -1;
    for (size_t i = 0; i < Regions.size() && found < 0; ++i)
      if (Regions[i].Region.Contains(x, y)) found = static_cast<int32_t>(i);
    SetHover(found);
  }
  TOrbaControl::DoMouseMove();
}

void TOrbaMapImage::DoMouseOut() {
  SetHover(-1);
  TOrbaControl::DoMouseOut();
}

void TOrbaMapImage::DoLButtonDown() {
  if (!EventsHeld && (IgnoreMouse == IM_NONE || IgnoreMouse == IM_RCLICK) && !Paused && HoverIndex >= 0) Select();
  TOrbaControl::DoLButtonDown();
}

void TOrbaMapImage::DoKeyRepeat() {
  if (!EventsHeld && Manager != nullptr) {
    const auto count = static_cast<int32_t>(Regions.size());
    const int32_t h = HoverIndex;
    // Without regions the arrows change nothing.
    if (count > 0 && (Manager->GetKeyRepeat(kKeyUp) || Manager->GetKeyRepeat(kKeyLeft))) {
      SetHover(h < 1 ? count - 1 : h - 1);
    } else if (count > 0 && (Manager->GetKeyRepeat(kKeyDown) || Manager->GetKeyRepeat(kKeyRight))) {
      SetHover(h < 0 || h >= count - 1 ? 0 : h + 1);
    } else if ((Manager->GetKeyClick(kKeyEnter) || Manager->GetKeyClick(kKeySpace)) && h >= 0) {
      Select();
    } else if (RClickScrap && Manager->GetKeyClick(kKeyEscape)) {
      ClearSelection();
      CloseState = 100;
    }
  }
  TOrbaControl::DoKeyRepeat();
}

bool TOrbaMapImage::HandleRClickScrap() {
  if (EventsHeld || (IgnoreMouse != IM_NONE && IgnoreMouse != IM_LCLICK)) return false;
  EventsHeld = true;
  ClearSelection();
  CloseState = 100;
  return true;
}

// ---- tick and painting -----------------------------------------------------------

bool TOrbaMapImage::Idle() {
  if (CloseState == 100) {
    EventsHeld = true;
    CloseState = 101;
    return false;
  }
  if (CloseState == 101) return true;
  const bool answer = TOrbaControl::Idle();
  if (GetAniPaused()) return answer;
  if (Normal.List.Step()) Invalidate();
  if (HoverIndex >= 0 && Hover.List.Step()) InvalidateRegion(HoverIndex);
  return answer;
}

void TOrbaMapImage::DrawLayer(TLayer& layer, bool inside) {
  const int32_t index = layer.List.Index;
  TOrbaImageData* cell = layer.List.GetCell(index);
  TCustomDIBX* d = GetSurface();
  if (cell == nullptr || d == nullptr || static_cast<size_t>(index) >= layer.Masks.size()) return;
  if (cell->Brightness != Brightness) cell->SetBrightness(Brightness);
  TCustomDIBX& dib = *cell->GetDIB();
  TDIBX* untouched = cell->GetMask();
  std::unique_ptr<TDIBX>& mask = layer.Masks[static_cast<size_t>(index)];
  int32_t& cut = layer.MaskRegion[static_cast<size_t>(index)];
  if (!mask || mask->Width() != dib.Width() || mask->Height() != dib.Height()) {
    mask = std::make_unique<TDIBX>();
    mask->SetSize(dib.Width(), dib.Height(), 8);
    cut = TLayer::kUncut;
  }
  if (cut != HoverIndex) {
    cut = HoverIndex;
    // The cell's own mask (all opaque without one), then the cut.
    if (untouched != nullptr && untouched->Width() == dib.Width() && untouched->Height() == dib.Height())
      mask->CopyFrom(*untouched);
    else
      mask->Fill(255);
    const TRegion* region =
        HoverIndex >= 0 && HoverIndex < static_cast<int32_t>(Regions.size()) ? &Regions[static_cast<size_t>(HoverIndex)].Region : nullptr;
    if (inside && region == nullptr)
      mask->Fill(0);
    else if (inside)
      region->PaintOutside(*mask, 0, 0, 0);
    else if (region != nullptr)
      region->Paint(*mask, 0, 0, 0);
  }
  const int32_t x = GetScreenLeft(), y = GetScreenTop();
  BlendBitmap(*d, x, y, dib, mask.get(), TRect{0, 0, dib.Width(), dib.Height()}, false, false, Alpha);
}

void TOrbaMapImage::Draw() {
  if (Alpha >= 1 && Alpha <= 511) {
    DrawLayer(Normal, false);
    if (HoverIndex >= 0) DrawLayer(Hover, true);
  }
  TOrbaControl::Draw();
}

void TOrbaMapImage::FreeSurface() {
  Normal.List.FreeSurfaces();
  Hover.List.FreeSurfaces();
}

void TOrbaMapImage::RestoreSurface() {
  Normal.List.RestoreSurfaces();
  Hover.List.RestoreSurfaces();
  // The cached masks may have been decoded again: cut afresh at the next draw.
  Normal.ForgetCuts();
  Hover.ForgetCuts();
  TOrbaControl::RestoreSurface();
}

// ---- saved state -----------------------------------------------------------------

void TOrbaMapImage::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  WriteStreamString(stream, Source);
  WriteStreamString(stream, HoverSource);
  WriteStreamString(stream, MapSource);
  WriteStreamInt(stream, Alpha);
  WriteStreamInt(stream, Brightness);
  WriteStreamString(stream, OnMapIn);
  WriteStreamString(stream, OnMapOut);
  WriteStreamBool(stream, AutoScrap);
  WriteStreamBool(stream, RClickScrap);
  WriteStreamString(stream, OnIdle);
  WriteStreamBool(stream, Paused);
  WriteStreamString(stream, OnSelect);
  WriteStreamInt(stream, CloseState);
}

void TOrbaMapImage::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  SetSource(ReadStreamString(stream));
  SetHoverSource(ReadStreamString(stream));
  SetMapSource(ReadStreamString(stream));
  Alpha = ReadStreamInt(stream);
  Brightness = ReadStreamInt(stream);
  OnMapIn = ReadStreamString(stream);
  OnMapOut = ReadStreamString(stream);
  AutoScrap = ReadStreamBool(stream);
  RClickScrap = ReadStreamBool(stream);
  OnIdle = ReadStreamString(stream);
  Paused = ReadStreamBool(stream);
  OnSelect = ReadStreamString(stream);
  if (version >= kSceneCloseStateVersion) CloseState = ReadStreamInt(stream);
  Invalidate();
}

void RegisterMapItems() {
  RegisterCompoType(CT_MAPIMG, [](TOrbaBaseList* manager) -> TOrbaObject* {
    return NewOrbaObject<TOrbaMapImage>(manager);
  });
}

}  // namespace orba
