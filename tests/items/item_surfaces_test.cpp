// Where the pictures of a still image and a tile live: on DirectDraw
// surfaces while the screen runs accelerated, in memory bitmaps when it is
// forced to system memory or there is no screen; the same after a display
// change frees and restores every surface. The still image is no script
// item (films make it), so no game reaches it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/files/vr_file_manager.h"
#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "graphics/dx_dibx.h"
#include "graphics/dx_dibx_fixture.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "items/still_image.h"
#include "items/surface_kinds.h"
#include "items/tile.h"
#include "support/test_support.h"

namespace orba {
namespace {

enum class TScreen { Accelerated, SystemMemory, None };

// A screen of each kind, a picture "p.brx" of 3 x 2 pixels of 0x336699,
// and the cache reading it, for the test's length.
class ItemSurfaces : public DxDIBXTest {
 protected:
  void Use(TScreen screen) {
    if (screen == TScreen::None) SetScreenManager(nullptr);
    if (screen == TScreen::SystemMemory) ScreenManager()->SetSystemMemory(true);
    files_.SetOverrideFolder(dir_.path());
    InitBrixCollection();
    BrixCollection()->Files = &files_;
    TBrixFrameList picture;
    TBrixFrame* frame = picture.AddFrame();
    frame->Surface.SetSize(3, 2, 24);
    frame->Surface.FillRect(frame->Surface.GetBounds(), 0x336699);
    TKsMemoryStream s;
    picture.SaveToStream(s, 0, 70);
    test::WriteFileBytes(dir_ / "p.brx", s.TakeBytes());
    manager_ = std::make_unique<TOrbaBaseList>();
  }
  void TearDown() override {
    if (manager_) manager_->Reset();
    manager_.reset();
    FinalBrixCollection();
    DxDIBXTest::TearDown();
  }

  test::TempDir dir_;
  TVrFileManager files_;
  std::unique_ptr<TOrbaBaseList> manager_;
};

TEST_F(ItemSurfaces, StillImageAndTileLiveOnTheSurfacesOfTheScreensMode) {
  struct TCase {
    TScreen screen;
    std::string kind;
  };
  const TCase cases[] = {
      {TScreen::Accelerated, "DirectDraw"}, {TScreen::SystemMemory, "memory"}, {TScreen::None, "memory"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.kind + (c.screen == TScreen::None ? " (no screen)" : ""));
    TearDown();
    Install(TGenerations::Both);
    Use(c.screen);
    auto* still = NewOrbaObject<TOrbaImage>(manager_.get());
    EXPECT_EQ(SurfaceKind(still->Surface.get()), c.kind) << "a new still image";
    still->SetSource("p.brx");
    still->SetBrightness(240);
    auto* tile = NewOrbaObject<TOrbaTile>(manager_.get());
    tile->SetSource("p.brx");
    // The still image shows its own darkened copy, the tile the cache's picture.
    const auto shown = [&](const char* when) {
      SCOPED_TRACE(when);
      ASSERT_EQ(still->GetDIB(), still->Surface.get());
      EXPECT_EQ(SurfaceKind(still->GetDIB()), c.kind);
      EXPECT_EQ(std::pair(still->GetWidth(), still->GetHeight()), std::pair(3, 2));
      EXPECT_EQ(still->GetDIB()->GetPixel(2, 1) & 0xFFFFFF, 0x336699u - 0x0F0F0Fu);  // darkened by 15
      ASSERT_NE(tile->GetDIB(), nullptr);
      EXPECT_EQ(SurfaceKind(tile->GetDIB()), c.kind);
      EXPECT_EQ(SurfaceKind(tile->Surface.get()), c.kind);
    };
    shown("loaded");
    // A display change frees every surface and makes new ones.
    manager_->FreeSurface();
    BrixCollection()->FreeSurfaces();
    BrixCollection()->RestoreSurfaces(true);
    manager_->RestoreSurface();
    shown("after a display change");
  }
}

}  // namespace
}  // namespace orba
