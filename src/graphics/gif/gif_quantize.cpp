#include "graphics/gif/gif_quantize.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace orba {

namespace {

int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

void Put(TGIFPalette& p, int r, int g, int b) {
  p.push_back(static_cast<uint8_t>(r));
  p.push_back(static_cast<uint8_t>(g));
  p.push_back(static_cast<uint8_t>(b));
}

}  // namespace

TGIFPalette CubePalette216() {
  TGIFPalette p;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) Put(p, r * 51, g * 51, b * 51);
  return p;
}

TGIFPalette GreyRampPalette() {
  TGIFPalette p;
  for (int i = 0; i < 256; ++i) Put(p, i, i, i);
  return p;
}

TGIFPalette FourGreyPalette() {
  TGIFPalette p;
  for (int v : {0, 128, 192, 255}) Put(p, v, v, v);
  return p;
}

TGIFPalette BlackWhitePalette() {
  TGIFPalette p;
  Put(p, 0, 0, 0);
  Put(p, 255, 255, 255);
  return p;
}

TGIFPalette SystemDefaultPalette() {
  static constexpr uint8_t kStatic[20][3] = {
      {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0}, {0, 0, 128},   {128, 0, 128},   {0, 128, 128},
      {192, 192, 192}, {192, 220, 192}, {166, 202, 240}, {255, 251, 240}, {160, 160, 164}, {128, 128, 128},
      {255, 0, 0},     {0, 255, 0},     {255, 255, 0},   {0, 0, 255},   {255, 0, 255}, {0, 255, 255},   {255, 255, 255}};
  TGIFPalette p;
  for (const auto& c : kStatic) Put(p, c[0], c[1], c[2]);
  return p;
}

TGIFPalette HalftonePalette() {
  const TGIFPalette system = SystemDefaultPalette();
  TGIFPalette p(system.begin(), system.begin() + 30);
  const TGIFPalette cube = CubePalette216();
  p.insert(p.end(), cube.begin(), cube.end());
  for (int i = 1; i <= 20; ++i) {
    const int v = (i * 255 + 10) / 21;
    Put(p, v, v, v);
  }
  p.insert(p.end(), system.begin() + 30, system.end());
  return p;
}

// ---- Lookups ----

TFastColorLookup::TFastColorLookup(const TGIFPalette& palette)
    : palette_(palette.begin(), palette.begin() + std::min<size_t>(palette.size() / 3, 256) * 3),
      cache_(32768, 0xFFFF) {
  Colors = static_cast<int>(palette_.size() / 3);
  for (int i = 0; i < Colors; ++i) {
    const uint8_t* e = &palette_[static_cast<size_t>(i) * 3];
    const int cell = (e[0] >> 3) | ((e[1] >> 3) << 5) | ((e[2] >> 3) << 10);
    if (cache_[static_cast<size_t>(cell)] == 0xFFFF) cache_[static_cast<size_t>(cell)] = static_cast<uint16_t>(i);
  }
}

int TFastColorLookup::Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) {
  const int cell = (r >> 3) | ((g >> 3) << 5) | ((b >> 3) << 10);
  int index = cache_[static_cast<size_t>(cell)];
  if (index == 0xFFFF) {
    int best = 0x30000;
    index = 0;
    for (int i = 0; i < Colors; ++i) {
      const uint8_t* e = &palette_[static_cast<size_t>(i) * 3];
      const int d = std::abs(e[0] - r) + std::abs(e[1] - g) + std::abs(e[2] - b);
      if (d < best) {
        best = d;
        index = i;
      }
    }
    cache_[static_cast<size_t>(cell)] = static_cast<uint16_t>(index);
  }
  const uint8_t* e = &palette_[static_cast<size_t>(index) * 3];
  out_r = e[0];
  out_g = e[1];
  out_b = e[2];
  return index;
}

int TNetscapeColorLookup::Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) {
  const int lr = (r + 3) / 51, lg = (g + 3) / 51, lb = (b + 3) / 51;
  out_r = lr * 51;
  out_g = lg * 51;
  out_b = lb * 51;
  return 36 * lr + 6 * lg + lb;
}

int TGrayScaleLookup::Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) {
  const int grey = (77 * r + 150 * g + 29 * b) >> 8;
  out_r = out_g = out_b = grey;
  return grey;
}

int TMonochromeLookup::Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) {
  const int white = 77 * r + 150 * g + 29 * b < 32513 ? 0 : 1;
  out_r = out_g = out_b = white ? 255 : 0;
  return white;
}

// ---- Dithering ----

int TDitherEngine::MapPixel(int r, int g, int b, int& out_r, int& out_g, int& out_b) {
  const int index = Lookup(r, g, b, out_r, out_g, out_b);
  Column += Direction;
  return index;
}

void TDitherEngine::EndRow() {
  Direction = -Direction;
  Column = Direction > 0 ? 0 : Width - 1;
}

namespace {

class TFloydSteinbergDitherer : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int32_t width, TColorLookup& lookup) : TDitherEngine(width, lookup) {
    for (auto& row : rows_) row.assign(static_cast<size_t>(width) + 2, 0);
  }
  int MapPixel(int r, int g, int b, int& out_r, int& out_g, int& out_b) override {
    int adjusted[3];
    const int in[3] = {r, g, b};
    for (int c = 0; c < 3; ++c)
      adjusted[c] = Clamp255(in[c] + (rows_[c][static_cast<size_t>(pointer_)] + running_[c] + 8) / 16);
    const int index = TDitherEngine::MapPixel(adjusted[0], adjusted[1], adjusted[2], out_r, out_g, out_b);
    const int chosen[3] = {out_r, out_g, out_b};
    for (int c = 0; c < 3; ++c) {
      const int e = adjusted[c] - chosen[c];
      if (e == 0) {
        running_[c] = 0;
        continue;
      }
      rows_[c][static_cast<size_t>(pointer_)] = pending_[c] + 3 * e;
      pending_[c] = below_[c] + 5 * e;
      below_[c] = e;
      running_[c] = 7 * e;
    }
    pointer_ += Direction;
    return index;
  }
  void EndRow() override {
    for (int c = 0; c < 3; ++c) {
      rows_[c][static_cast<size_t>(pointer_)] = pending_[c];
      running_[c] = pending_[c] = below_[c] = 0;
    }
    TDitherEngine::EndRow();
    pointer_ = Direction > 0 ? 0 : Width + 1;
  }

 private:
  std::array<std::vector<int>, 3> rows_;
  int pointer_ = 0;
  int running_[3] = {}, pending_[3] = {}, below_[3] = {};
};

struct TKernelTap {
  int row, offset, weight;  // offset in scan steps
};

// Error diffusion over several rows with a fixed kernel and divisor.
class TKernelDitherer : public TDitherEngine {
 public:
  TKernelDitherer(int32_t width, TColorLookup& lookup, int rows, int margin, int divisor,
                  std::vector<TKernelTap> taps)
      : TDitherEngine(width, lookup), margin_(margin), divisor_(divisor), taps_(std::move(taps)) {
    for (auto& channel : rows_) channel.assign(static_cast<size_t>(rows), std::vector<int>(static_cast<size_t>(width) + 2 * margin, 0));
    pos_ = margin;
  }
  int MapPixel(int r, int g, int b, int& out_r, int& out_g, int& out_b) override {
    int adjusted[3];
    const int in[3] = {r, g, b};
    for (int c = 0; c < 3; ++c)
      adjusted[c] = Clamp255(in[c] + (rows_[c][0][static_cast<size_t>(pos_)] + divisor_ / 2) / divisor_);
    const int index = TDitherEngine::MapPixel(adjusted[0], adjusted[1], adjusted[2], out_r, out_g, out_b);
    const int chosen[3] = {out_r, out_g, out_b};
    for (int c = 0; c < 3; ++c) {
      const int e = adjusted[c] - chosen[c];
      if (e == 0) continue;
      for (const TKernelTap& t : taps_)
        rows_[c][static_cast<size_t>(t.row)][static_cast<size_t>(pos_ + t.offset * Direction)] += e * t.weight;
    }
    pos_ += Direction;
    return index;
  }
  void EndRow() override {
    for (auto& channel : rows_) {
      std::fill(channel[0].begin(), channel[0].end(), 0);
      std::rotate(channel.begin(), channel.begin() + 1, channel.end());
    }
    TDitherEngine::EndRow();
    pos_ = margin_ + (Direction > 0 ? 0 : Width - 1);
  }

 private:
  int margin_, divisor_;
  std::vector<TKernelTap> taps_;
  std::array<std::vector<std::vector<int>>, 3> rows_;
  int pos_;
};

// Taps for "±k w": both sides.
void Both(std::vector<TKernelTap>& taps, int row, int k, int w) {
  taps.push_back({row, -k, w});
  taps.push_back({row, k, w});
}

}  // namespace

std::unique_ptr<TDitherEngine> MakeDitherEngine(int mode, int32_t width, TColorLookup& lookup) {
  std::vector<TKernelTap> t;
  switch (mode) {
    case 0: return std::make_unique<TDitherEngine>(width, lookup);
    case 1: return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case 2:  // Stucki
      t = {{0, 1, 8}, {0, 2, 4}, {1, 0, 8}, {2, 0, 4}};
      Both(t, 1, 2, 2), Both(t, 1, 1, 4), Both(t, 2, 2, 1), Both(t, 2, 1, 2);
      return std::make_unique<TKernelDitherer>(width, lookup, 3, 2, 42, t);
    case 3:  // Sierra
      t = {{0, 1, 5}, {0, 2, 3}, {1, 0, 5}, {2, 0, 3}};
      Both(t, 1, 2, 2), Both(t, 1, 1, 4), Both(t, 2, 1, 2);
      return std::make_unique<TKernelDitherer>(width, lookup, 3, 2, 32, t);
    case 4:  // Jarvis, Judice and Ninke
      t = {{0, 1, 7}, {0, 2, 5}, {1, 0, 7}, {2, 0, 5}};
      Both(t, 1, 2, 3), Both(t, 1, 1, 5), Both(t, 2, 2, 1), Both(t, 2, 1, 3);
      return std::make_unique<TKernelDitherer>(width, lookup, 3, 2, 48, t);
    case 5:  // Stevenson and Arce
      t = {{0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16}, {2, 0, 26}};
      Both(t, 2, 2, 12), Both(t, 3, 3, 5), Both(t, 3, 1, 12);
      return std::make_unique<TKernelDitherer>(width, lookup, 4, 3, 200, t);
    case 6:  // Burkes
      t = {{0, 1, 8}, {0, 2, 4}, {1, 0, 8}};
      Both(t, 1, 2, 2), Both(t, 1, 1, 4);
      return std::make_unique<TKernelDitherer>(width, lookup, 2, 2, 32, t);
    default: return nullptr;
  }
}

// ---- Octree ----

namespace {

struct TOctreeNode {
  bool leaf = false;
  int32_t count = 0, red = 0, green = 0, blue = 0;
  TOctreeNode* next = nullptr;  // its level's chain of reducible nodes
  std::array<std::unique_ptr<TOctreeNode>, 8> children;
};

class TColorQuantizer {
 public:
  TColorQuantizer(int limit, int depth) : limit_(limit), depth_(depth) {}

  void AddColor(int r, int g, int b) {
    Add(root_, r, g, b, 0);
    while (leaves_ > limit_) Reduce();
  }
  void Table(TGIFPalette& out) const { Walk(root_.get(), out); }

 private:
  void Add(std::unique_ptr<TOctreeNode>& node, int r, int g, int b, int level) {
    if (!node) {
      node = std::make_unique<TOctreeNode>();
      if (level == depth_) {
        node->leaf = true;
        ++leaves_;
      } else {
        node->next = chains_[static_cast<size_t>(level)];
        chains_[static_cast<size_t>(level)] = node.get();
      }
    }
    TOctreeNode* n = node.get();
    if (n->leaf) {
      ++n->count;
      n->red += r;
      n->green += g;
      n->blue += b;
      return;
    }
    const int m = 0x80 >> level, s = 7 - level;
    const int child = (((r & m) >> s) << 2) | (((g & m) >> s) << 1) | ((b & m) >> s);
    Add(n->children[static_cast<size_t>(child)], r, g, b, level + 1);
  }
  void Reduce() {
    int level = depth_ - 1;
    while (level > 0 && chains_[static_cast<size_t>(level)] == nullptr) --level;
    TOctreeNode* node = chains_[static_cast<size_t>(level)];
    if (node == nullptr) return;
    chains_[static_cast<size_t>(level)] = node->next;
    int children = 0;
    for (auto& child : node->children) {
      if (!child) continue;
      node->count += child->count;
      node->red += child->red;
      node->green += child->green;
      node->blue += child->blue;
      child.reset();
      ++children;
    }
    node->leaf = true;
    leaves_ -= children - 1;
  }
  static void Walk(const TOctreeNode* node, TGIFPalette& out) {
    if (node == nullptr) return;
    if (node->leaf) {
      if (node->count == 0)
        Put(out, 0, 0, 0);
      else
        Put(out, node->red / node->count, node->green / node->count, node->blue / node->count);
      return;
    }
    for (const auto& child : node->children) Walk(child.get(), out);
  }

  std::unique_ptr<TOctreeNode> root_;
  int leaves_ = 0;
  std::array<TOctreeNode*, 9> chains_{};
  int limit_, depth_;
};

}  // namespace

TGIFPalette BuildOctreePalette(const uint8_t* rgb, int64_t pixels, int colors, int depth, bool system_colors) {
  const int limit = system_colors ? 236 : colors;
  TColorQuantizer quantizer(std::max(limit, 1), std::clamp(depth, 1, 8));
  for (int64_t i = 0; i < pixels; ++i) quantizer.AddColor(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
  TGIFPalette found;
  quantizer.Table(found);
  found.resize(static_cast<size_t>(limit) * 3, 0);
  if (!system_colors) return found;
  const TGIFPalette system = SystemDefaultPalette();
  TGIFPalette p(system.begin(), system.begin() + 30);
  p.insert(p.end(), found.begin(), found.end());
  p.insert(p.end(), system.begin() + 30, system.end());
  return p;
}

TQuantizedPicture QuantizeRgb(const uint8_t* rgb, int32_t width, int32_t height, int method, int dither,
                              const TGIFPalette* given, int bits) {
  TQuantizedPicture out;
  const int64_t pixels = int64_t{width} * height;
  if (method == 0) {
    out.Empty = false;
    out.TrueColor = true;
    out.Rgb.assign(rgb, rgb + pixels * 3);
    return out;
  }
  TGIFPalette palette;
  switch (method) {
    case 1: palette = SystemDefaultPalette(); break;
    case 2: palette = HalftonePalette(); break;
    case 3: palette = FourGreyPalette(); break;
    case 4: palette = BlackWhitePalette(); break;
    case 5: palette = GreyRampPalette(); break;
    case 6: palette = CubePalette216(); break;
    case 7: palette = BuildOctreePalette(rgb, pixels, 1 << std::clamp(bits, 1, 8), 8, false); break;
    case 8: palette = BuildOctreePalette(rgb, pixels, 236, 8, true); break;
    case 9:
      if (given != nullptr) palette = *given;
      break;
    default: return out;
  }
  std::unique_ptr<TColorLookup> lookup;
  if (method == 4)
    lookup = std::make_unique<TMonochromeLookup>();
  else if (method == 5)
    lookup = std::make_unique<TGrayScaleLookup>();
  else if (method == 6)
    lookup = std::make_unique<TNetscapeColorLookup>();
  else
    lookup = std::make_unique<TFastColorLookup>(palette);
  if (lookup->Colors == 0) return out;
  std::unique_ptr<TDitherEngine> engine = MakeDitherEngine(dither, width, *lookup);
  if (!engine) return out;
  out.Empty = false;
  out.Palette = std::move(palette);
  out.Index.assign(static_cast<size_t>(pixels), 0);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = rgb + static_cast<size_t>(y) * width * 3;
    uint8_t* dst = out.Index.data() + static_cast<size_t>(y) * width;
    for (int32_t x = engine->Column; x >= 0 && x < width; x = engine->Column) {
      int r, g, b;
      dst[x] = static_cast<uint8_t>(engine->MapPixel(src[x * 3], src[x * 3 + 1], src[x * 3 + 2], r, g, b));
    }
    engine->EndRow();
  }
  return out;
}

}  // namespace orba
