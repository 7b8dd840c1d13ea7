// Shared setup of the caption, button, list box and menu tests: a 64 x 48
// black screen, the fake fonts installed, and hand-built saved streams.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "platform/headless/fake_fonts.h"
#include "support/test_support.h"
#include "text/font_pixels.h"
#include "text/label_list.h"

namespace orba::test {

class ChoiceItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_fonts_ = SetFontEngine(std::make_shared<TFakeFonts>());
    FontPixels().Clear();
    GameClock = 0;
    FrameTime = 15;
    m.SetWidth(64);
    m.SetHeight(48);
    m.ActiveBase()->SetColor(0);
    files_.SetOverrideFolder(dir_.path());
    InitBrixCollection();
    BrixCollection()->Files = &files_;
  }
  void TearDown() override {
    m.Reset();
    FinalBrixCollection();
    FontPixels().Clear();
    SetFontEngine(saved_fonts_);
  }
  template <class T>
  T* Make() {
    T* item = NewOrbaObject<T>(&m);
    item->SetParent(m.ActiveBase());
    return item;
  }
  void Paint() {
    m.ActiveBase()->InvalidateAll();
    m.Draw();
    m.ActiveBase()->Dirty.Clear();
  }
  uint32_t Pixel(int32_t x, int32_t y) { return m.Composition.GetPixel(x, y) & 0xFFFFFF; }
  // The whole screen, row by row.
  std::vector<uint32_t> Screen() {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x) pixels.push_back(Pixel(x, y));
    return pixels;
  }
  // Fills a rectangle of a reference screen.
  static void Fill(std::vector<uint32_t>& screen, TRect r, uint32_t rgb) {
    for (int32_t y = r.Top; y < r.Bottom; ++y)
      for (int32_t x = r.Left; x < r.Right; ++x) screen[static_cast<size_t>(y * 64 + x)] = rgb;
  }
  // Text as a plain caption draws it, composed from the fake glyphs (default
  // face, size 16, anti-aliased): the colour laid over the screen through
  // each character's coverage, characters side by side from (X, Y).
  static void ComposeText(std::vector<uint32_t>& screen, const std::string& text, int32_t x, int32_t y,
                          uint32_t rgb) {
    TFontPixelManager glyphs;
    for (char ch : text) {
      TFontPixel& g = glyphs.GetGlyph(static_cast<uint8_t>(ch), kDefaultLabelFont, 0, 16);
      for (int32_t j = 0; j < g.GetHeight(); ++j)
        for (int32_t i = 0; i < g.GetWidth(); ++i) {
          const uint32_t c = g.Coverage.GetPixel(i, j);
          uint32_t& d = screen[static_cast<size_t>((y + g.YOffset + j) * 64 + x + g.XOffset + i)];
          if (c == 0 || d == rgb) continue;
          uint32_t out = 0;
          for (int shift : {0, 8, 16})
            out |= ((((rgb >> shift) & 255) * c + ((d >> shift) & 255) * (255 - c)) >> 8) << shift;
          d = out;
        }
      x += g.Advance();
    }
  }
  // One tick of input and idle at the fake clock.
  void Tick() {
    GameClock += static_cast<uint32_t>(FrameTime);
    m.UpdateInput();
    m.Idle_();
  }

  // A Brix picture of solid W x H cells, one per colour (raw 32-bit pixels),
  // each shown for Delay milliseconds; with Across, one frame of that many
  // cells side by side instead.
  void WriteCells(const std::string& name, const std::vector<uint32_t>& colours, int32_t w, int32_t h,
                  int32_t delay = 100, bool across = false) {
    TBrixFrameList image;
    for (size_t i = 0; i < colours.size(); ++i) {
      if (i == 0 || !across) {
        TBrixFrame* frame = image.AddFrame();
        frame->Delay = delay;
        frame->Surface.SetSize(across ? w * static_cast<int32_t>(colours.size()) : w, h, 24);
      }
      auto& surface = image.GetFrame(image.Count() - 1)->Surface;
      const int32_t x = across ? w * static_cast<int32_t>(i) : 0;
      surface.FillRect(TRect{x, 0, x + w, h}, colours[i]);
    }
    TKsMemoryStream s;
    image.SaveToStream(s, 0, 70);
    WriteFileBytes(dir_ / name, s.TakeBytes());
  }

  TOrbaBaseList m;
  TempDir dir_;

 private:
  TVrFileManager files_;
  std::shared_ptr<TFontEngine> saved_fonts_;
};

// Little-endian writer of hand-built streams.
struct TBytes {
  std::vector<uint8_t> b;
  TBytes& I(int32_t v) { return B(v & 255).B(v >> 8 & 255).B(v >> 16 & 255).B(static_cast<uint32_t>(v) >> 24); }
  TBytes& B(uint32_t v) { return b.push_back(static_cast<uint8_t>(v)), *this; }
  TBytes& S(const std::string& s) { return I(static_cast<int32_t>(s.size())), b.insert(b.end(), s.begin(), s.end()), *this; }
};

// The screen-object part of a saved control of Version (one a game slot that
// loads can hold: 107 on), named Name, at (0, 0) with size 0, visible,
// without handlers or children.
inline TBytes ControlPart(int32_t version, const std::string& name) {
  TBytes o;
  o.S(name).I(0).I(0);  // Name, Priority, SubPriority
  if (version >= 120) o.S("");
  for (int i = 0; i < 6; ++i) o.I(0);
  o.B(0);
  if (version >= 130) o.I(0).I(0).I(0).I(0);
  o.I(0).I(0).I(0).I(0).B(0);  // the clip window, AniPaused
  o.B(1).I(-1).I(0).I(0).I(1).I(1).B(0);
  for (int i = 0; i < 2 + 1 + 7; ++i) o.S("");  // cursor and mouse handler labels
  if (version >= 118) {
    o.B(0);
    for (int i = 0; i < 5; ++i) o.S("");
  }
  return o.I(0);
}

// Saves, loads into a new item of the same kind, saves again: both streams
// must be equal.
template <class T>
void ExpectRoundTrip(TOrbaBaseList& m, const T& item) {
  TKsMemoryStream first;
  item.SaveToStream(first);
  T* copy = NewOrbaObject<T>(&m);
  copy->SetParent(m.ActiveBase());
  TKsMemoryStream in(first.MutableBytes());
  copy->LoadFromStream(in, kSceneVersion);
  EXPECT_EQ(in.GetPosition(), in.GetSize());
  TKsMemoryStream second;
  copy->SaveToStream(second);
  EXPECT_EQ(first.MutableBytes(), second.MutableBytes());
}

// Reads a hand-built stream of Version into a new item: every byte must be
// taken, no more.
template <class T>
T* LoadHandBuilt(TOrbaBaseList& m, const TBytes& bytes, int32_t version) {
  T* item = NewOrbaObject<T>(&m);
  item->SetParent(m.ActiveBase());
  TKsMemoryStream in(bytes.b);
  item->LoadFromStream(in, version);
  EXPECT_EQ(in.GetPosition(), in.GetSize()) << "version " << version;
  return item;
}

}  // namespace orba::test
