// The film-driven pieces played with a film double: a film of N frames
// whose one track moves its owner's MotionX to the base plus the frame and
// records every frame it applied and to whom; on a particle emitter it also
// fills the emitter's parameter record as a particle track does.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/game_clock.h"
#include "film/film_loader.h"
#include "graphics/dibx.h"
#include "items/anim_image.h"
#include "items/base_list.h"
#include "items/button.h"
#include "items/label.h"
#include "items/particle.h"
#include "items/tile.h"

namespace orba {
namespace {

struct TApplied {
  const TOrbaControl* Owner;
  int32_t Frame;
  bool operator==(const TApplied&) const = default;
};

std::vector<TApplied>* g_applied = nullptr;
int32_t g_length = 0;

class TDoubleFilm final : public TFilmManager {
 public:
  void LoadFromFile(const std::string& name) override {
    if (name.find("bad") != std::string::npos) throw EFilmError(name + ": not a film");
  }
  int32_t GetLength() const override { return g_length; }

 protected:
  void ApplyTracks(int32_t frame) override {
    if (g_applied != nullptr) g_applied->push_back({Owner, frame});
    if (Owner != nullptr) Owner->SetMotionX(BaseX + frame);
    // The particle track: births at (30 + frame, 40), one every 48 ms.
    if (auto* emitter = dynamic_cast<TOrbaParticle*>(Host))
      emitter->AttachParamRecord() = TOrbaParticleParam{30 + frame, 40, 0, 0, 48, 0};
  }
};

std::unique_ptr<TFilmManager> MakeDouble() { return std::make_unique<TDoubleFilm>(); }

struct FilmPieces : ::testing::Test {
  void SetUp() override {
    SetFilmFactory(MakeDouble);
    SetMotionFactory(CreateFilmMotion);
    g_applied = &applied;
    g_length = 60;
    FrameTime = 16;
    m.SetWidth(200);
    m.SetHeight(150);
  }
  void TearDown() override {
    g_applied = nullptr;
    SetMotionFactory(nullptr);
    SetFilmFactory(nullptr);
    FrameTime = saved_frame_time;
  }
  template <class T>
  T* Make() {
    T* item = NewOrbaObject<T>(&m);
    item->SetParent(m.GetBase(0));
    return item;
  }
  // The frames applied to Owner, in order.
  std::vector<int32_t> FramesOf(const TOrbaControl* owner) const {
    std::vector<int32_t> frames;
    for (const TApplied& a : applied)
      if (a.Owner == owner) frames.push_back(a.Frame);
    return frames;
  }

  std::vector<TApplied> applied;
  int32_t saved_frame_time = FrameTime;
  TOrbaBaseList m;
};

// Each particle plays the film from its own time (its Elapsed at 60 frames
// a second), the film owning one particle at a time; the film's particle
// track gives the births their place and gap.
TEST_F(FilmPieces, TheEmittersFilmPlaysOnEachParticleFromItsOwnTime) {
  TOrbaParticle* emitter = Make<TOrbaParticle>();
  emitter->SetBounds(0, 0, 200, 150);
  emitter->SetPartMotion(PM_SNOW);
  emitter->SetParam(0, 1);
  emitter->SetSource("snow.omt");
  ASSERT_NE(emitter->FilmMotion, nullptr);
  EXPECT_EQ(emitter->FilmMotion->Film->Host, emitter);
  for (int tick = 0; tick < 6; ++tick) m.Idle();
  ASSERT_GE(emitter->Particles.size(), 2u);
  for (const TOrbaParticleImages* p : emitter->Particles) {
    SCOPED_TRACE(p->GetName());
    const std::vector<int32_t> frames = FramesOf(p);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), FrameAtTime(p->Elapsed, 60));
    EXPECT_EQ(p->GetMotionX(), frames.back());
  }
  // Nothing was applied without an owner, and never to the emitter.
  EXPECT_TRUE(FramesOf(nullptr).empty() && FramesOf(emitter).empty());
  // The record filled by the track: the newest particle was born at x 30 +
  // the last frame applied before its birth, y 40 (snow keeps its top for
  // the first ten pixels of fall).
  ASSERT_NE(emitter->ParamRecord, nullptr);
  EXPECT_EQ(emitter->ParamRecord->Y, 40);
  EXPECT_EQ(emitter->Particles.back()->Y0, 40);
  EXPECT_GE(emitter->Particles.back()->X0, 30);
  // A picture source drops the film; a film that cannot be read leaves none.
  emitter->SetSource("bad.omt");
  EXPECT_EQ(emitter->FilmMotion, nullptr);
  EXPECT_TRUE(emitter->Particles.empty());
}

// Past its end the film goes on from its loop start on a particle (which
// always repeats), its clock set back to that frame's time.
TEST_F(FilmPieces, AParticlesFilmLoopsPastItsEnd) {
  g_length = 3;
  TOrbaParticle* emitter = Make<TOrbaParticle>();
  emitter->SetSource("short.omt");
  TOrbaParticleImages* p = Make<TOrbaParticleImages>();
  p->Elapsed = 84;  // frame 5.04 -> 5, past the 3 frames: 5 mod 3 = 2
  EXPECT_FALSE(emitter->FilmMotion->StepParticle(*p));
  EXPECT_EQ(std::make_pair(FramesOf(p), p->Elapsed), std::make_pair(std::vector<int32_t>{2}, 33));
}

// A film tile frame: the size, parent, bitmap, mask and key, then every
// setting through the setters.
TEST_F(FilmPieces, ATileAppliesAFilmTileFrame) {
  TOrbaTile* tile = Make<TOrbaTile>();
  TOrbaBox* parent = Make<TOrbaBox>();
  TDIBX bitmap, mask;
  bitmap.SetSize(4, 4, 32);
  mask.SetSize(4, 4, 8);
  TOrbaTile::TFrameState f;
  f.Parent = parent;
  f.Width = 30;
  f.Height = 20;
  f.Bitmap = &bitmap;
  f.Mask = &mask;
  f.ColorKey = 0x0000FF;  // red as a colour: pixel 0xFF0000 at 32 bits
  f.ZoomX = 512;
  f.ZoomY = 128;
  f.Priority = 7;
  f.DistanceX = 2;
  f.DistanceY = 3;
  f.FlipH = true;
  f.OffsetX = 1;
  f.OffsetY = 2;
  f.Left = 11;
  f.Top = 12;
  f.Alpha = 100;
  f.BlurSpan = 40;
  f.BlurDelay = 300;
  f.ScrollX = 5;
  f.ScrollY = -6;
  f.Clip = TRect{1, 2, 9, 7};
  tile->ApplyFrame(f);
  EXPECT_EQ((std::vector<int32_t>{tile->GetWidth(), tile->GetHeight(), tile->ZoomX, tile->ZoomY, tile->GetPriority(),
                                  tile->GetDistanceX(), tile->GetDistanceY(), tile->FlipH, tile->FlipV,
                                  tile->GetOffsetX(), tile->GetOffsetY(), tile->GetLeft(), tile->GetTop(), tile->Alpha,
                                  tile->BlurSpan, tile->BlurDelay, tile->GetScrollX(), tile->GetScrollY(),
                                  tile->GetClipLeft(), tile->GetClipTop(), tile->GetClipWidth(), tile->GetClipHeight()}),
            (std::vector<int32_t>{30, 20, 512, 128, 7, 2, 3, 1, 0, 1, 2, 11, 12, 100, 40, 300, 5, -6, 1, 2, 8, 5}));
  EXPECT_TRUE(tile->GetParent() == parent && tile->GetDIB() == &bitmap && tile->GetMaskDIB() == &mask);
  EXPECT_EQ(std::make_pair(tile->FilmColorKey, bitmap.TransparentColor), std::make_pair(0x0000FF, 0xFF0000));
}

// After a display change an animated image's film shows its current frame
// again; a button's shown strip's film does the same, not its own.
TEST_F(FilmPieces, AnimatedImagesReapplyTheirFilmsFrameAfterADisplayChange) {
  TOrbaImages* image = Make<TOrbaImages>();
  image->SetSource("walk.omt");
  ASSERT_NE(image->GetOwnMotion(), nullptr);
  for (int tick = 0; tick < 5; ++tick) m.Idle();
  const std::vector<int32_t> before = FramesOf(image);
  ASSERT_FALSE(before.empty());
  image->FreeSurface();
  image->RestoreSurface();
  const std::vector<int32_t> after = FramesOf(image);
  ASSERT_EQ(after.size(), before.size() + 1);
  EXPECT_EQ(after.back(), before.back());

  TOrbaButton* button = Make<TOrbaButton>();
  button->SetHoverSource("glow.omt");
  button->SetStrip(TOrbaButton::kHover);
  ASSERT_EQ(button->GetMotion(), button->StripMotions[0].get());
  for (int tick = 0; tick < 4; ++tick) m.Idle();
  const size_t count = FramesOf(button).size();
  button->FreeSurface();
  button->RestoreSurface();
  EXPECT_EQ(FramesOf(button).size(), count + 1);
}

// A label's and each button strip's motion source play their films on the
// item; a strip film stays apart from the button's own motion.
TEST_F(FilmPieces, LabelsAndButtonStripsPlayTheirMotionSources) {
  TOrbaLabel* label = Make<TOrbaLabel>();
  label->SetSource("Float.OMT");
  ASSERT_NE(label->GetOwnMotion(), nullptr);
  for (int tick = 0; tick < 6; ++tick) m.Idle();
  // Two ticks on frame 0, then 16 ms a tick: 64 ms is frame 3.84 -> 4.
  EXPECT_EQ(FramesOf(label), (std::vector<int32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(label->GetMotionX(), 4);
  label->SetSource("");
  EXPECT_EQ(label->GetOwnMotion(), nullptr);

  TOrbaButton* button = Make<TOrbaButton>();
  for (const auto& [strip, source] : {std::pair{TOrbaButton::kHover, "h.omt"}, {TOrbaButton::kPressed, "p.omt"},
                                      {TOrbaButton::kClicked, "c.omt"}}) {
    SCOPED_TRACE(source);
    if (strip == TOrbaButton::kHover) button->SetHoverSource(source);
    if (strip == TOrbaButton::kPressed) button->SetPressedSource(source);
    if (strip == TOrbaButton::kClicked) button->SetClickedSource(source);
    ASSERT_NE(button->StripMotions[static_cast<size_t>(strip - 1)], nullptr);
    EXPECT_EQ(button->GetOwnMotion(), nullptr);
  }
  button->SetStrip(TOrbaButton::kPressed);
  EXPECT_EQ(button->GetMotion(), button->StripMotions[1].get());
  applied.clear();
  for (int tick = 0; tick < 3; ++tick) m.Idle();
  EXPECT_FALSE(FramesOf(button).empty());
  // A strip whose film cannot be read has no motion.
  button->SetHoverSource("bad.omt");
  EXPECT_EQ(button->StripMotions[0], nullptr);
}

}  // namespace
}  // namespace orba
