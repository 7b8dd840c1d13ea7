// Turning bitmaps into GIF frames (paletted ones keep their colour table,
// others are reduced from 24-bit pixels), and compacting a picture before
// it is written: tables sorted by use, transparent borders cropped, pixels
// equal to the previous frame made transparent, empty blocks removed.
// Icons are in gif_icon.cpp, the clipboard in gif_clipboard.cpp.
#include <algorithm>
#include <array>
#include <numeric>

#include "graphics/dib.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_quantize.h"

namespace orba {

namespace {

uint32_t ColorRef(const uint8_t* rgb) { return static_cast<uint32_t>(rgb[0] | (rgb[1] << 8) | (rgb[2] << 16)); }

struct TUse {
  int64_t count;
  int32_t index;
};

// Sorts by count, largest first (pivot in the middle, the left part
// recursively, the right part in the loop).
void SortUses(std::vector<TUse>& uses, int32_t left, int32_t right) {
  do {
    int32_t i = left, j = right;
    const int64_t pivot = uses[static_cast<size_t>((left + right) >> 1)].count;
    do {
      while (uses[static_cast<size_t>(i)].count > pivot) ++i;
      while (uses[static_cast<size_t>(j)].count < pivot) --j;
      if (i <= j) {
        std::swap(uses[static_cast<size_t>(i)], uses[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) SortUses(uses, left, j);
    left = i;
  } while (left < right);
}

bool Intersect(int32_t al, int32_t at, int32_t ar, int32_t ab, int32_t bl, int32_t bt, int32_t br, int32_t bb,
               int32_t out[4]) {
  out[0] = std::max(al, bl);
  out[1] = std::max(at, bt);
  out[2] = std::min(ar, br);
  out[3] = std::min(ab, bb);
  return out[0] < out[2] && out[1] < out[3];
}

}  // namespace

void TGIFSubImage::AssignRgb(const uint8_t* rgb, int32_t width, int32_t height, const uint8_t* mask) {
  Clear();
  if (width <= 0 || height <= 0) return;
  SetFrameRect(0, 0, width, height);
  TGIFImage& image = *image_;
  const TQuantizedPicture reduced =
      QuantizeRgb(rgb, width, height, image.PaletteMethod, image.DitherKind, nullptr, image.QuantizeBits);
  if (reduced.Empty) {
    Data.clear();
    return;
  }
  if (!reduced.TrueColor) {
    ColorMap.SetEntries(reduced.Palette.data(), static_cast<int32_t>(std::min<size_t>(reduced.Palette.size() / 3, 256)));
    Data = reduced.Index;
  } else {
    // The eight colours met last, searched from the last hit backwards.
    std::array<std::pair<uint32_t, int32_t>, 8> ring{};
    int32_t used = 0, last = 0;
    for (size_t i = 0; i < Data.size(); ++i) {
      const uint32_t color = ColorRef(&reduced.Rgb[i * 3]);
      int32_t index = -1;
      for (int32_t k = 0, slot = last; k < used; ++k, slot = (slot + 7) % 8)
        if (ring[static_cast<size_t>(slot)].first == color) {
          index = ring[static_cast<size_t>(slot)].second;
          last = slot;
          break;
        }
      if (index < 0) {
        index = ColorMap.FindOrAdd(color);
        last = used == 0 ? 0 : (last + 1) % 8;
        ring[static_cast<size_t>(last)] = {color, index};
        used = std::min(used + 1, 8);
      }
      Data[i] = static_cast<uint8_t>(index);
    }
  }
  if (mask != nullptr) ImportMask(mask);
}

void TGIFSubImage::AssignBitmap(TDIB& bitmap, const uint8_t* mask) {
  Clear();
  const int32_t width = bitmap.Width(), height = bitmap.Height(), bits = bitmap.BitCount();
  // A run-length bitmap of no width or height still holds its codes: no pixels.
  if (bitmap.Empty() || width <= 0 || height <= 0) return;
  if (bits != 1 && bits != 4 && bits != 8) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int32_t y = 0; y < height; ++y) bitmap.ReadRowRGB(y, &rgb[static_cast<size_t>(y) * width * 3]);
    AssignRgb(rgb.data(), width, height, mask);
    return;
  }
  SetFrameRect(0, 0, width, height);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = bitmap.PeekRow(y);
    uint8_t* out = &Data[static_cast<size_t>(y) * width];
    for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(RowIndexAt(row, bits, x));
  }
  // The whole table (2^bits entries, so every index has its colour),
  // duplicates and unused entries too: the picture keeps its exact palette.
  const int32_t count = bitmap.EntryCount();
  std::vector<uint8_t> entries;
  for (int32_t i = 0; i < count; ++i) {
    const TRGBQuad& q = bitmap.ImageTable()[static_cast<size_t>(i)];
    entries.insert(entries.end(), {q.Red, q.Green, q.Blue});
  }
  ColorMap.SetEntries(entries.data(), count);
  if (mask != nullptr) ImportMask(mask);
}

void TGIFSubImage::ImportMask(const uint8_t* mask) {
  image_->SortByUse(ColorMap, ColorMap.Count() > 0 ? this : nullptr);
  if (ColorMap.Count() == 0 || ColorMap.Count() == 256) return;
  const int32_t index = ColorMap.Add(0);
  bool any = false;
  for (size_t i = 0; i < Data.size(); ++i)
    if (mask[i] != 0) {
      Data[i] = static_cast<uint8_t>(index);
      any = true;
    }
  if (!any) {
    ColorMap.Delete(index);
    return;
  }
  auto control = std::make_unique<TGIFGraphicControlExtension>(*this);
  control->TransparentIndex = static_cast<uint8_t>(index);
  control->SetTransparent(true);
  AddExtension(std::move(control));
}

void TGIFImage::SortByUse(TGIFColorMap& map, TGIFSubImage* owner) {
  if (map.Count() <= 1) return;
  map.Sorted = true;
  std::vector<TGIFSubImage*> users;
  if (owner != nullptr)
    users.push_back(owner);
  else
    for (const auto& frame : Frames)
      if (&frame->ActiveColorMap() == &map) users.push_back(frame.get());
  std::vector<TUse> uses(static_cast<size_t>(map.Count()));
  for (int32_t i = 0; i < map.Count(); ++i) uses[static_cast<size_t>(i)] = {0, i};
  for (TGIFSubImage* frame : users)
    for (uint8_t v : frame->Data)
      if (v < map.Count()) ++uses[v].count;
  SortUses(uses, 0, map.Count() - 1);
  bool in_order = true;
  for (int32_t i = 0; i < map.Count(); ++i) in_order &= uses[static_cast<size_t>(i)].index == i;
  if (in_order) return;
  std::array<uint8_t, 256> to{};
  std::iota(to.begin(), to.end(), 0);
  for (int32_t i = 0; i < map.Count(); ++i) to[static_cast<size_t>(uses[static_cast<size_t>(i)].index)] = static_cast<uint8_t>(i);
  for (TGIFSubImage* frame : users) {
    frame->FreeBitmap();
    for (uint8_t& v : frame->Data) v = to[v];
    if (frame->GraphicControl != nullptr)
      frame->GraphicControl->TransparentIndex = to[frame->GraphicControl->TransparentIndex];
  }
  std::vector<uint8_t> entries;
  for (const TUse& use : uses) {
    if (use.count == 0) break;
    const uint8_t* e = map.Entry(use.index);
    entries.insert(entries.end(), e, e + 3);
  }
  map.SetEntries(entries.data(), static_cast<int32_t>(entries.size() / 3));
  map.Sorted = true;
}

void TGIFSubImage::TrimTransparent() {
  if (Empty() || !Transparent) return;
  const int32_t key = TransparentIndex();
  const int32_t w = width_, h = height_;
  int32_t left = w, right = -1, top = h, bottom = -1;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (Data[static_cast<size_t>(y) * w + x] != key) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  bitmap_.reset();
  if (right < 0) {
    Data.clear();
    width_ = height_ = 0;
    return;
  }
  const int32_t nw = right - left + 1, nh = bottom - top + 1;
  if (nw == w && nh == h) return;
  std::vector<uint8_t> inner(static_cast<size_t>(nw) * nh);
  for (int32_t y = 0; y < nh; ++y)
    std::copy_n(&Data[static_cast<size_t>(top + y) * w + left], nw, &inner[static_cast<size_t>(y) * nw]);
  Data = std::move(inner);
  left_ = static_cast<uint16_t>(left_ + left);
  top_ = static_cast<uint16_t>(top_ + top);
  width_ = static_cast<uint16_t>(nw);
  height_ = static_cast<uint16_t>(nh);
}

void TGIFSubImage::MaskRepeats(TGIFSubImage& earlier) {
  if (Empty() || earlier.Empty() || earlier.Disposal() == 2 || earlier.Disposal() == 3) return;
  int32_t area[4];
  if (!Intersect(left_, top_, left_ + width_, top_ + height_, earlier.left_, earlier.top_,
                 earlier.left_ + earlier.width_, earlier.top_ + earlier.height_, area))
    return;
  int32_t key = TransparentIndex();
  bool found_new = false;
  const TGIFColorMap& mine = ActiveColorMap();
  const TGIFColorMap& theirs = earlier.ActiveColorMap();
  if (key < 0 && mine.Count() >= 256) return;
  const int32_t their_key = earlier.TransparentIndex();
  auto find_key = [&]() {
    if (ColorMap.Count() == 0) {
      for (const auto& frame : image_->Frames)
        if (frame.get() != this && frame->ColorMap.Count() == 0 && frame->TransparentIndex() >= 0)
          return frame->TransparentIndex();
      return image_->GlobalColorMap.Add(0);
    }
    return ColorMap.Add(0);
  };
  for (int32_t y = area[1]; y < area[3]; ++y)
    for (int32_t x = area[0]; x < area[2]; ++x) {
      uint8_t& v = Data[static_cast<size_t>(y - top_) * width_ + (x - left_)];
      const uint8_t u = earlier.Data[static_cast<size_t>(y - earlier.top_) * earlier.width_ + (x - earlier.left_)];
      if (v == key || u == their_key) continue;
      const bool same = &mine == &theirs ? v == u
                                         : v < mine.Count() && u < theirs.Count() &&
                                               ColorRef(mine.Entry(v)) == ColorRef(theirs.Entry(u));
      if (!same) continue;
      if (key < 0) {
        key = find_key();
        found_new = true;
      }
      v = static_cast<uint8_t>(key);
    }
  bitmap_.reset();
  if (found_new) {
    TGIFGraphicControlExtension& control = EnsureGraphicControl();
    control.TransparentIndex = static_cast<uint8_t>(key);
    control.SetTransparent(true);
  }
}

// The colour reduction option names no step of its own: with palette method
// 9 (a given palette, which Compact has none of) it fails; `dither_kind`
// and `quantize_bits` serve that step only.
void TGIFImage::Compact(int options, int palette_method, int dither_kind, int quantize_bits) {
  if (Empty()) return;
  HaltAllPainters();
  if (options & kCompactSort) {
    SortByUse(GlobalColorMap);
    for (const auto& frame : Frames)
      if (frame->ColorMap.Count() > 0) SortByUse(frame->ColorMap, frame.get());
  }
  if (options & kCompactCleanup) {
    for (size_t i = 0; i < Frames.size(); ++i) {
      TGIFSubImage& frame = *Frames[i];
      const int32_t key = frame.TransparentIndex();
      if (key >= 0 && std::find(frame.Data.begin(), frame.Data.end(), key) == frame.Data.end())
        frame.GraphicControl->SetTransparent(false), frame.Transparent = false;
      if (i + 1 < Frames.size() && (frame.Disposal() == 2 || frame.Disposal() == 3)) {
        const TGIFSubImage& next = *Frames[i + 1];
        int32_t area[4];
        if (next.TransparentIndex() < 0 && !next.Empty() &&
            Intersect(frame.Left(), frame.Top(), frame.Left() + frame.Width(), frame.Top() + frame.Height(),
                      next.Left(), next.Top(), next.Left() + next.Width(), next.Top() + next.Height(), area) &&
            area[0] == next.Left() && area[1] == next.Top() && area[2] == next.Left() + next.Width() &&
            area[3] == next.Top() + next.Height())
          frame.GraphicControl->SetDisposal(0);
      }
    }
  }
  if (options & kCompactMerge) {
    for (size_t i = Frames.size() - 1; i >= 1; --i) {
      for (size_t j = i; j-- > 0;) {
        TGIFSubImage& earlier = *Frames[j];
        if (earlier.Disposal() != 3) {
          Frames[i]->MaskRepeats(earlier);
          break;
        }
        if (j == 0 || earlier.GraphicControl == nullptr) break;
      }
    }
  }
  if (options & kCompactCrop) {
    for (size_t i = Frames.size(); i-- > 0;) {
      TGIFSubImage& frame = *Frames[i];
      if (!frame.Transparent || frame.Empty()) continue;
      frame.TrimTransparent();
      if (!frame.Empty()) continue;
      const uint16_t delay = frame.Delay();
      if (i > 0 && Frames[i - 1]->Transparent && Frames[i - 1]->GraphicControl != nullptr)
        Frames[i - 1]->GraphicControl->Delay = static_cast<uint16_t>(Frames[i - 1]->GraphicControl->Delay + delay);
      Frames.erase(Frames.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  if (options & kCompactCleanup) {
    const bool single = Frames.size() == 1;
    for (size_t i = Frames.size(); i-- > 0;) {
      TGIFSubImage& frame = *Frames[i];
      std::vector<TGIFExtension*> drop;
      for (const auto& extension : frame.Extensions) {
        TGIFExtension* e = extension.get();
        if (dynamic_cast<TGIFCommentExtension*>(e) || dynamic_cast<TGIFTextExtension*>(e) ||
            dynamic_cast<TGIFUnknownAppExtension*>(e) ||
            (dynamic_cast<TGIFAppExtNSLoop*>(e) && (i != 0 || single)))
          drop.push_back(e);
        else if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(e))
          if ((control->Delay == 0 || single) && !control->Transparent() && !control->UserInput() &&
              (control->Disposal() < 2 || single))
            drop.push_back(e);
      }
      for (TGIFExtension* e : drop) frame.DeleteExtension(e);
      if (frame.Empty() && frame.Extensions.empty()) Frames.erase(Frames.begin() + static_cast<std::ptrdiff_t>(i));
    }
  } else if ((options & kCompactReduce) && palette_method == 9) {
    throw GIFException(gif_text::kInvalidReduction);
  }
}

}  // namespace orba
