// Films are refused by the film loader: the error names the kind of file
// (the trace names the file: the films game checks that), and items
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
#include "items/prev_menu.h"

namespace orba {
namespace {

// "このファイル形式には対応していません" as UTF-8, converted by hand to
// Shift-JIS: こ 82B1 の 82CC フ 8374 ァ 8340 イ 8343 ル 838B 形 8C60 式 8EAE
// に 82C9 は 82CD 対 91CE 応 899E し 82B5 て 82C4 い 82A2 ま 82DC せ 82B9 ん 82F1
const std::string kUnsupported =
    "\x82\xb1\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x8c\x60\x8e\xae\x82\xc9\x82\xcd\x91\xce\x89\x9e\x82\xb5"
    "\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1";

TEST(FilmLoader, EveryFilmIsRefusedByItsKindAndItemsShowNone) {
  for (const std::string name : {"walk.omt", "\x95\xe0\x82\xad.OMT", "missing/none.omt"}) {
    EXPECT_EQ(test::ErrorText<EFilmError>([&] { LoadFilmFile(name, false); }), "OrbaCinema:" + kUnsupported);
    EXPECT_EQ(test::ErrorText<EFilmError>([&] { LoadFilmFile(name, true); }), "OrbaMotion:" + kUnsupported);
  }
  EXPECT_EQ(test::ErrorText<EFilmError>([] { LoadPrevMenu("menu.opm"); }), "OrbaPreviewMenu:" + kUnsupported);

  InitBrixCollection();
  RegisterImageItems();
  InitFilmGlobals();
  TOrbaBaseList m;
  m.SetWidth(40);
  m.SetHeight(30);
  auto set_source = [](TOrbaObject& item, const std::string& source) {
    return test::ErrorText<EFilmError>([&] { item.SetSource(source); });
  };
  // An animated image that showed a picture before, and a box.
  TOrbaImages* image = NewOrbaObject<TOrbaImages>(&m);
  image->SetName("image");
  image->SetParent(m.GetBase(0));
  image->SetWidth(12);
  image->SetHeight(7);
  TOrbaBox* box = NewOrbaObject<TOrbaBox>(&m);
  box->SetName("box");
  box->SetParent(m.GetBase(0));
  box->SetBounds(2, 3, 10, 10);
  box->SetColor(0x0000FF);
  // Setting a film source raises nothing, the same source again does nothing.
  for (const auto& source : {"Walk.Omt", "Walk.Omt", "run.omt"}) EXPECT_EQ(set_source(*image, source), "<no error>");
  EXPECT_EQ(set_source(*box, "move.omt"), "<no error>");
  EXPECT_EQ((std::vector<int32_t>{image->GetWidth(), image->GetHeight(), image->GetIndex()}), (std::vector<int32_t>{0, 0, -1}));
  EXPECT_EQ(image->GetSource() + " " + box->GetSource(), "run.omt move.omt");
  EXPECT_TRUE(image->GetOwnMotion() == nullptr && box->GetOwnMotion() == nullptr);
  // The box still draws as a box; the image draws nothing.
  m.GetBase(0)->InvalidateAll();
  m.Draw();
  for (int i = 0; i < 3; ++i) m.Idle();
  TCustomDIBX* screen = m.GetBase(0)->GetDIB();
  EXPECT_EQ(std::make_pair(screen->GetPixel(2, 3) & 0xFFFFFF, screen->GetPixel(0, 0) & 0xFFFFFF), std::make_pair(0xFF0000u, 0u));

  // A saved scene with both loads: the sources come back, the films do not.
  TKsMemoryStream scene;
  m.SaveToStream(scene);
  TOrbaBaseList loaded;
  scene.SetPosition(0);
  loaded.LoadFromStream(scene, kSceneVersion);
  TOrbaObject* image2 = loaded.FindObject("image");
  TOrbaObject* box2 = loaded.FindObject("box");
  ASSERT_TRUE(image2 != nullptr && box2 != nullptr);
  EXPECT_EQ(image2->GetSource() + " " + std::to_string(image2->GetWidth()), "run.omt 0");
  EXPECT_EQ(box2->GetSource() + " " + std::to_string(box2->GetLeft()) + " " + std::to_string(box2->GetColor()),
            "move.omt 2 255");
  loaded.Reset();
  m.Reset();
  DoneFilmGlobals();
  FinalBrixCollection();
}

}  // namespace
}  // namespace orba
