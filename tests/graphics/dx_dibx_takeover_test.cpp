// A DirectDraw drawing surface taking a decoded picture over: the same
// pixels as a memory surface that took the same picture over, held in the
// decoded block itself (no copy), in both DirectDraw generations; and the
// pictures it cannot take as they are (another format, a shared block, a
// wrapped surface, no DirectDraw) left whole for the caller to copy.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "graphics/dibx.h"
#include "graphics/dx_dibx.h"
#include "graphics/dx_dibx_fixture.h"
#include "support/picture_makers.h"

namespace orba {
namespace {

// 37 x 23 colour pixels of no pattern, so that a row turned the wrong way
// or shifted shows.
std::vector<uint8_t> NoisyPng() {
  return test::MakePng(37, 23, 8, 2, [](uint32_t y, std::vector<uint8_t>& row) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>((y * 131 + i * 7) * 2654435761u >> 24);
  });
}

// The picture decoded at 32 bits, as the cache keeps pictures.
std::unique_ptr<TBrixFrameList> Decode() {
  auto list = std::make_unique<TBrixFrameList>();
  list->HeldBitCount = 32;
  TKsMemoryStream in(NoisyPng());
  list->LoadFromStream(in, false, false, false);
  return list;
}

void ExpectSamePixels(TCustomDIBX& got, TCustomDIBX& want) {
  ASSERT_EQ(got.Width(), want.Width());
  ASSERT_EQ(got.Height(), want.Height());
  ASSERT_EQ(got.BitCount(), want.BitCount());
  for (int32_t y = 0; y < want.Height(); ++y)
    for (int32_t x = 0; x < want.Width(); ++x) ASSERT_EQ(got.GetPixel(x, y), want.GetPixel(x, y)) << x << "," << y;
}

TEST_F(DxDIBXTest, ADecodedPictureIsTakenOverWithoutACopyInEitherGeneration) {
  for (const TGenerations generations : {TGenerations::First, TGenerations::Seven}) {
    SCOPED_TRACE(generations == TGenerations::First ? "first" : "7");
    Install(generations);
    auto memory_list = Decode(), dx_list = Decode();
    TBrixFrame& memory_frame = *memory_list->GetFrame(0);
    TBrixFrame& dx_frame = *dx_list->GetFrame(0);
    ASSERT_EQ(dx_frame.Surface.GetBitCount(), 32);
    // The block starts with the bottom row; turned top first in place, the
    // top row starts it.
    const uint8_t* block = dx_frame.Surface.PeekPixelBlock();
    TDIBX memory;
    TDxDIBX dx;
    memory.SetSize(1, 1, 32);
    dx.SetSize(1, 1, 32);
    memory_frame.MoveToDIBX(memory);
    dx_frame.MoveToDIBX(dx);
    EXPECT_TRUE(dx_frame.Surface.Empty());
    ASSERT_NE(dx.Surface() != nullptr ? static_cast<void*>(dx.Surface()) : static_cast<void*>(dx.Surface7()),
              nullptr);
    EXPECT_EQ(dx.Surface() != nullptr, generations == TGenerations::First);
    EXPECT_EQ(dx.Lock(0, 0), block) << "the pixels were copied";
    dx.Unlock();
    EXPECT_EQ(dx.Pitch(), 37 * 4);
    ExpectSamePixels(dx, memory);
    // It draws as a surface made by SetSize does, and lets its pixels go
    // with the next size (the address sanitizer sees any use after).
    dx.FillRect(TRect{2, 3, 5, 6}, 0x123456);
    memory.FillRect(TRect{2, 3, 5, 6}, 0x123456);
    ExpectSamePixels(dx, memory);
    EXPECT_EQ(dx.ColorToPixel(0x00FF8040), 0x4080FF);
    dx.SetSize(4, 4, 32);
    EXPECT_EQ(dx.GetPixel(3, 3), 0u);
  }
}

TEST_F(DxDIBXTest, WhatCannotBeTakenOverAsItIsIsLeftWholeForACopy) {
  auto plain = Decode();
  TDIBSurface& picture = plain->GetFrame(0)->Surface;
  const uint8_t* block = picture.PeekPixelBlock();
  {
    // Another format than the display's: DirectDraw refuses it.
    TDIBSurface narrow;
    narrow.SetSize(5, 4, 24);
    TDxDIBX dx;
    dx.SetSize(2, 2, 32);
    EXPECT_FALSE(dx.TakeOver(narrow));
    EXPECT_EQ(narrow.Width(), 5);
    EXPECT_EQ(dx.Width(), 2);
    EXPECT_FALSE(dx.IsEmpty());
  }
  {
    // A block another bitmap shares would have to be copied.
    TDIBSurface sharer;
    sharer.Assign(&picture);
    TDxDIBX dx;
    EXPECT_FALSE(dx.TakeOver(picture));
    EXPECT_EQ(picture.PeekPixelBlock(), block);
  }
  {
    // A wrapped surface stays the caller's.
    DDSURFACEDESC desc;
    desc.dwSize = kSurfaceDescSize;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 3;
    std::shared_ptr<IDirectDrawSurface> mine;
    ASSERT_EQ(draw_->CreateSurface(desc, mine), DD_OK);
    std::unique_ptr<TDxDIBX> wrapped = TDxDIBX::CreateFromSurface(mine);
    EXPECT_FALSE(wrapped->TakeOver(picture));
  }
  {
    draw_->Faults().FailCreateSurface = true;
    TDxDIBX dx;
    EXPECT_FALSE(dx.TakeOver(picture));
    draw_->Faults().FailCreateSurface = false;
  }
  Install(TGenerations::None);
  TDxDIBX dx;
  EXPECT_FALSE(dx.TakeOver(picture));
  // Still whole, and a frame then gives its picture as a copy.
  EXPECT_EQ(picture.PeekPixelBlock(), block);
  EXPECT_EQ(picture.Width(), 37);
}

}  // namespace
}  // namespace orba
