// The cinema item with a 120-frame film double whose track puts a box on the
// stage and moves it right one pixel every ten frames.
#include <gtest/gtest.h>

#include "core/game_clock.h"
#include "core/streams/big_stream.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/brix_cache.h"
#include "items/cinema.h"

namespace orba {
namespace {

class TBoxFilm final : public TFilmManager {
 public:
  void LoadFromFile(const std::string& name) override { BackColor = 0; }
  int32_t GetLength() const override { return 120; }

 protected:
  void ApplyTracks(int32_t frame) override {
    if (Stage == nullptr) return;
    if (Stage->FindObject("actor") == nullptr) {
      TOrbaBox* box = NewOrbaObject<TOrbaBox>(Stage);
      box->SetName("actor");
      box->SetParent(Stage->GetBase(Stage->Active));
      box->SetBounds(0, 0, 2, 2);
      box->SetColor(0x00FF00);
    }
    static_cast<TOrbaBox*>(Stage->FindObject("actor"))->SetLeft(frame / 10);
  }
};

struct CinemaTest : ::testing::Test {
  TOrbaBaseList m;
  int32_t saved_frame_time = FrameTime;
  CinemaTest() {
    InitBrixCollection();
    BrixCollection()->FileAvailable = [](const std::string& name) { return name == "intro.omt"; };
    SetFilmFactory([]() -> std::unique_ptr<TFilmManager> { return std::make_unique<TBoxFilm>(); });
    m.SetWidth(40);
    m.SetHeight(20);
  }
  ~CinemaTest() override {
    m.Reset();
    SetFilmFactory(nullptr);
    FinalBrixCollection();
    FrameTime = saved_frame_time;
  }
  TOrbaCinema* Make() {
    auto* cinema = NewOrbaObject<TOrbaCinema>(&m);
    cinema->SetName("cinema");
    cinema->SetParent(m.GetBase(0));
    cinema->SetBounds(10, 5, 20, 10);
    cinema->SetOnPlayEnd("main.osb:end");
    cinema->SetSource("intro.omt");
    return cinema;
  }
};

TEST_F(CinemaTest, PlaysOnItsStageAndQueuesOnPlayEndOnceAfterTwoSeconds) {
  FrameTime = 16;
  TOrbaCinema* cinema = Make();
  int ticks = 0;
  while (m.Events.Count() == 0 && ticks < 500) {
    m.Idle();
    m.Draw();
    ++ticks;
  }
  // 2 steps at frame 0, then frame 120 (1992 ms) is reached on the 127th tick.
  EXPECT_EQ(ticks, 127);
  EXPECT_EQ(cinema->GetIndex(), 119);
  for (int i = 0; i < 20; ++i) m.Idle();
  EXPECT_EQ(m.Events.Count(), 1);
  EXPECT_FALSE(cinema->GetPlaying());
  // The stage's box at frame 119 is at 11 on the stage, 21 on the screen.
  m.GetBase(0)->InvalidateAll();
  m.Draw();
  TCustomDIBX* screen = m.GetDIB();
  EXPECT_EQ(std::vector<uint32_t>({screen->GetPixel(21, 5) & 0xFFFFFF, screen->GetPixel(20, 5) & 0xFFFFFF}),
            std::vector<uint32_t>({0x00FF00u, 0u}));
}

TEST_F(CinemaTest, RewindOnLoadRestartsAtFrameZeroOtherwiseTheSavedFrameGoesOn) {
  FrameTime = 100;
  TOrbaCinema* cinema = Make();
  for (int i = 0; i < 8; ++i) m.Idle();
  ASSERT_EQ(cinema->GetIndex(), 36);  // 600 ms
  for (const bool rewind : {false, true}) {
    cinema->SetRewindOnLoad(rewind);
    TKsMemoryStream stream;
    cinema->SaveToStream(stream);
    stream.SetPosition(0);
    TOrbaCinema* loaded = NewOrbaObject<TOrbaCinema>(&m);
    loaded->LoadFromStream(stream, kSceneVersion);
    loaded->Idle();
    EXPECT_EQ(loaded->GetIndex(), rewind ? 0 : 36);
  }
  cinema->SetSource("missing.omt");  // the project lacks it: an empty item
  EXPECT_EQ(cinema->GetCount() + cinema->GetIndex(), 0);
}

}  // namespace
}  // namespace orba
