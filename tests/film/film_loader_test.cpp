// Films are refused by the film loader: the error names the file, and items
// whose source is a film are left without a picture, in a running scene and
// in a saved one.
#include <gtest/gtest.h>

#include <string>

#include "core/sjis_test_helpers.h"
#include "core/streams/big_stream.h"
#include "film/film_loader.h"
#include "items/anim_image.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/brix_cache.h"

namespace orba {
namespace {

// "このファイル形式には対応していません" as UTF-8, converted by hand to
// Shift-JIS: こ 82B1 の 82CC フ 8374 ァ 8340 イ 8343 ル 838B 形 8C60 式 8EAE
// に 82C9 は 82CD 対 91CE 応 899E し 82B5 て 82C4 い 82A2 ま 82DC せ 82B9 ん 82F1
const std::string kUnsupported =
    "\x82\xb1\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x8c\x60\x8e\xae\x82\xc9\x82\xcd\x91\xce\x89\x9e\x82\xb5"
    "\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1";

class FilmLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitBrixCollection();
    RegisterImageItems();
    InitFilmGlobals();
    m.SetWidth(40);
    m.SetHeight(30);
  }
  void TearDown() override {
    m.Reset();
    DoneFilmGlobals();
    FinalBrixCollection();
  }
  template <class T>
  T* NewItem(const std::string& name) {
    T* item = NewOrbaObject<T>(&m);
    item->SetName(name);
    item->SetParent(m.GetBase(0));
    return item;
  }
  static std::string Raised(TOrbaObject& item, const std::string& source) {
    return test::ErrorText<EFilmError>([&] { item.SetSource(source); });
  }
  TOrbaBaseList m;
};

TEST_F(FilmLoaderTest, EveryFilmIsRefusedByName) {
  for (const std::string name : {"walk.omt", "\x95\xe0\x82\xad.OMT", "missing/none.omt"})
    EXPECT_EQ(test::ErrorText<EFilmError>([&] { LoadFilmFile(name); }), name + ":" + kUnsupported);
}

TEST_F(FilmLoaderTest, ItemsWithAFilmSourceShowNoPicture) {
  // An animated image that showed a picture before.
  TOrbaImages* image = NewItem<TOrbaImages>("image");
  image->Width = 12;
  image->Height = 7;
  EXPECT_EQ(Raised(*image, "Walk.Omt"), "<no error>");
  EXPECT_EQ(image->GetSource(), "Walk.Omt");
  EXPECT_EQ(image->Motion, nullptr);
  EXPECT_EQ((std::vector<int32_t>{image->Width, image->Height, image->GetIndex()}), (std::vector<int32_t>{0, 0, -1}));
  // Setting the source raises nothing, the same source again does nothing.
  EXPECT_EQ(Raised(*image, "Walk.Omt"), "<no error>");
  EXPECT_EQ(Raised(*image, "run.omt"), "<no error>");

  TOrbaBox* box = NewItem<TOrbaBox>("box");
  box->SetBounds(2, 3, 10, 10);
  box->SetColor(0x0000FF);
  EXPECT_EQ(Raised(*box, "move.omt"), "<no error>");
  EXPECT_EQ(box->GetSource(), "move.omt");
  EXPECT_EQ(box->Motion, nullptr);
  // The box is still a box; the image draws nothing.
  m.GetBase(0)->InvalidateAll();
  m.Draw();
  TCustomDIBX* screen = m.GetBase(0)->GetDIB();
  EXPECT_EQ(std::make_pair(screen->GetPixel(2, 3) & 0xFFFFFF, screen->GetPixel(0, 0) & 0xFFFFFF),
            std::make_pair(0xFF0000u, 0u));
  for (int i = 0; i < 3; ++i) m.Idle();

  // A saved scene with both loads: the sources come back, the films do not.
  TKsMemoryStream scene;
  m.SaveToStream(scene);
  TOrbaBaseList loaded;
  scene.SetPosition(0);
  loaded.LoadFromStream(scene, kSceneVersion);
  TOrbaObject* image2 = loaded.FindObject("image");
  TOrbaObject* box2 = loaded.FindObject("box");
  ASSERT_NE(image2, nullptr);
  ASSERT_NE(box2, nullptr);
  EXPECT_EQ(image2->GetSource() + " " + std::to_string(image2->GetWidth()), "run.omt 0");
  EXPECT_EQ(box2->GetSource() + " " + std::to_string(box2->GetLeft()) + " " + std::to_string(box2->GetColor()),
            "move.omt 2 255");
  loaded.Reset();
}

}  // namespace
}  // namespace orba
