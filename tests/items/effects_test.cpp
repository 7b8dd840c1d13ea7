// The effect items on a small screen: hand-worked tables, steps, motions and
// timing; every item's stream round-tripped byte for byte, with its gates.
#include <gtest/gtest.h>

#include "core/game_clock.h"
#include "core/streams/big_stream.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/fire.h"
#include "items/surface_limits.h"
#include "items/particle.h"
#include "items/wave.h"
#include "support/test_support.h"

namespace orba {
namespace {

class EffectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_frame_ = FrameTime;
    m.SetWidth(40);
    m.SetHeight(30);
    m.GetBase(0)->SetColor(0);
  }
  void TearDown() override { FrameTime = saved_frame_; }
  template <class T>
  T* Item() {
    T* item = NewOrbaObject<T>(&m);
    item->SetParent(m.GetBase(0));
    return item;
  }
  // Item (unnamed, no control texts) saved, loaded and saved again: the same
  // bytes. Its record as version 107, the oldest game slot that loads, wrote
  // it loads, every byte: without the key handling (bytes 136 to 157: the
  // flag and five empty labels), the motion (41 to 57: four ints) and the
  // tag (12 to 16: an empty string), the item's own fields all there.
  template <class T>
  T* Loaded(const std::vector<uint8_t>& bytes, int32_t version) {
    T* item = Item<T>();
    TKsMemoryStream in(bytes);
    item->LoadFromStream(in, version);
    EXPECT_EQ(in.GetPosition(), static_cast<int64_t>(bytes.size()));
    return item;
  }
  static std::vector<uint8_t> Saved(const TOrbaObject& item) {
    TKsMemoryStream s;
    item.SaveToStream(s);
    return s.TakeBytes();
  }
  template <class T, class F>
  void RoundTrip(T& item, F check) {
    item.AssignName(std::string());
    const std::vector<uint8_t> bytes = Saved(item);
    EXPECT_EQ(test::ToHex(Saved(*Loaded<T>(bytes, kSceneVersion))), test::ToHex(bytes));
    std::vector<uint8_t> old = bytes;
    for (auto [from, to] : {std::pair{136, 157}, std::pair{41, 57}, std::pair{12, 16}})
      old.erase(old.begin() + from, old.begin() + to);
    check(*Loaded<T>(old, 107));
  }
  TOrbaBaseList m;
  int32_t saved_frame_ = 0;
};

TEST(FireTables, DecayEntriesAndTellingRows) {
  struct Row { int32_t power, index, value; };
  for (const Row& r : {Row{1, 1023, 186}, Row{1, 512, 93}, Row{1, 100, 18}, Row{1, 5, 1}, Row{1, 0, 0},
                       Row{0, 1023, 186}, Row{255, 600, 204}, Row{255, 1023, 254}}) {
    std::array<uint8_t, 1024> table{};
    TOrbaFire::BuildDecayTable(TOrbaFire::DecayParameter(r.power), table);
    EXPECT_EQ(table[static_cast<size_t>(r.index)], r.value) << r.power << " " << r.index;
  }
  struct Tell { size_t heat; uint32_t rgb16, rgb32; };
  for (const Tell& t : {Tell{0, 0, 0}, Tell{1, 0, 0x030100}, Tell{16, 0x3080, 0x331301}, Tell{17, 0x30A0, 0x361401},
                        Tell{32, 0x6120, 0x662703}, Tell{64, 0x91E0, 0x923E04}, Tell{96, 0xBAA0, 0xBE5506},
                        Tell{128, 0xDBA1, 0xDF7509}, Tell{160, 0xF4E1, 0xF39D0D}, Tell{192, 0xFE06, 0xFFC037},
                        Tell{224, 0xFE8E, 0xFFD373}, Tell{255, 0xFF35, 0xFFE6AF}})
    EXPECT_EQ(std::make_pair(FireTable16()[t.heat], FireTable32()[t.heat]), std::make_pair(t.rgb16, t.rgb32));
}

TEST_F(EffectsTest, FireStepsEvery40MillisecondsOfFrameTime) {
  auto* fire = Item<TOrbaFire>();
  fire->SetOrigWidth(8);
  fire->SetOrigHeight(8);
  FrameTime = 25;
  std::vector<int32_t> steps;
  for (int32_t tick = 1, last = 0; tick <= 7; ++tick, last = fire->RowOffset) {
    m.Idle_();
    if (fire->RowOffset != last) steps.push_back(tick);
  }
  EXPECT_EQ(steps, (std::vector<int32_t>{2, 4, 5, 7}));
  // Version 107 holds OnIdle, Paused and ZoomY after ZoomX.
  fire->SetPower(77);
  fire->SetOrigWidth(30);
  fire->SetOrigHeight(-2);
  fire->SetZoomX(300);
  fire->SetZoomY(128);
  fire->SetOnIdle("*idle");
  fire->SetPaused(true);
  RoundTrip(*fire, [](TOrbaFire& f) {
    EXPECT_EQ(std::make_tuple(f.Power, f.OrigWidth, f.OrigHeight, f.ZoomX, f.GetWidth(), f.GetHeight()),
              std::make_tuple(77, 30, -2, 300, 35, 0));
    EXPECT_EQ(std::make_tuple(f.OnIdle, f.Paused, f.ZoomY), std::make_tuple(std::string("*idle"), true, 128));
  });
}

// Sizes from a script or a save: small fires only heat their bottom rows,
// negative ones allocate nothing and draw nothing, huge ones stop at the
// screen-sized limit.
TEST_F(EffectsTest, FireSizesSmallNegativeAndHuge) {
  struct Size { int32_t w, h, bitmap_w, bitmap_h; };
  for (const Size& s : {Size{2, 6, 2, 6}, Size{6, 2, 6, 2}, Size{-5, 10, 0, 0},
                        Size{5000, 5000, kMinItemSideLimit, kMinItemSideLimit}}) {
    auto* fire = Item<TOrbaFire>();
    fire->SetOrigWidth(s.w);
    fire->SetOrigHeight(s.h);
    fire->Initialise();
    fire->Step();
    ASSERT_EQ(std::make_pair(fire->Bitmap.Width(), fire->Bitmap.Height()), std::make_pair(s.bitmap_w, s.bitmap_h));
    EXPECT_EQ(fire->Noise.size(), static_cast<size_t>(s.bitmap_w * s.bitmap_h));
    // A field of three or more a side has stepped: only its bottom row is
    // known.
    const bool stepped = s.bitmap_w >= 3 && s.bitmap_h >= 3;
    for (int32_t y = stepped ? s.bitmap_h - 1 : 0; y < s.bitmap_h; ++y)
      for (int32_t x = 0; x < s.bitmap_w; ++x) EXPECT_EQ(fire->Bitmap.GetPixel(x, y), y >= s.bitmap_h - 4 ? 254u : 16u);
  }
}

// A 3 x 5 fire without noise, decay parameter 4.5: the bottom four rows are
// 254, then column 1 is worked upwards: sum 16+16+254+254 = 540 gives
// 540 / 4.49474 = 120 in row 0, sum 1016 gives 226 in rows 1 and 2. Drawn
// through the 16-bit table (indices below 17 add nothing) and the 32-bit one,
// added at strength 255/256: heat 120 is 0xD76D08 (0xD361), 226 0xFFD477 (0xFEAE).
TEST_F(EffectsTest, FireStepWorkedByHandDrawsThroughBothTables) {
  auto* fire = Item<TOrbaFire>();
  fire->SetOrigWidth(3);
  fire->SetOrigHeight(5);
  fire->Initialise();
  std::fill(fire->Noise.begin(), fire->Noise.end(), 0);
  fire->Step();
  for (int32_t y = 0; y < 5; ++y) {
    EXPECT_EQ(fire->Bitmap.GetPixel(0, y), y == 0 ? 16u : 254u);
    EXPECT_EQ(fire->Bitmap.GetPixel(1, y), (std::array<uint32_t, 5>{120, 226, 226, 254, 254})[static_cast<size_t>(y)]);
  }
  for (int32_t bits : {32, 16}) {
    m.Composition.SetBitCount(bits);
    m.GetBase(0)->InvalidateAll();
    m.Draw();
    EXPECT_EQ(std::make_tuple(m.Composition.GetPixel(0, 0), m.Composition.GetPixel(1, 0), m.Composition.GetPixel(1, 1)),
              bits == 16 ? std::make_tuple(0u, 0xCB40u, 0xF68Du) : std::make_tuple(0u, 0xD66C07u, 0xFED376u));
  }
}

// An emitter over the 40 x 30 screen with Motion and the parameters.
TOrbaParticle* Emitter(TOrbaParticle* e, uint8_t motion, long double p1, long double p2, long double p3) {
  e->SetBounds(0, 0, 40, 30);
  e->SetPartMotion(motion);
  for (int32_t i = 0; i < 3; ++i) e->SetParam(i, (std::array<long double, 3>{p1, p2, p3})[static_cast<size_t>(i)]);
  return e;
}

TEST_F(EffectsTest, ParticleMotions) {
  // Snow with Param1 0 falls 0.1 pixel a frame.
  TOrbaParticleImages* snow = Emitter(Item<TOrbaParticle>(), PM_SNOW, 0, 0, 0)->Birth(20, 5);
  std::vector<int32_t> tops;
  for (int i = 0; i < 30; ++i, tops.push_back(snow->GetTop())) snow->Advance(1);
  EXPECT_EQ(std::make_tuple(tops[8], tops[9], tops[19], tops[29], snow->GetLeft()), std::make_tuple(5, 6, 7, 8, 20));
  // A star of Param2 1 keeps its radius Param1 + 0.1 however far it runs.
  TOrbaParticleImages* star = Emitter(Item<TOrbaParticle>(), PM_STAR, 5, 1, 0.25)->Birth(20, 15);
  for (int64_t n : {1, 7, 1}) star->Advance(n);
  EXPECT_EQ(star->Radius, 5.1L);
  EXPECT_NEAR(std::hypot(star->GetLeft() - 20.0, star->GetTop() - 15.0), 5.1, 0.71);
  EXPECT_FALSE(star->Dead);
  // A twister is drawn at half size where cos(Angle / 2) is 0, behind the
  // others, and at full size in front at Angle 0.
  TOrbaParticleImages* twister = Emitter(Item<TOrbaParticle>(), PM_TWISTER, 1, 10, 0.1)->Birth(20, 25);
  for (long double angle : {std::numbers::pi_v<long double>, 0.0L}) {
    twister->Angle = angle - twister->Radius;
    twister->Advance(1);
    EXPECT_EQ(std::make_pair(twister->ZoomX, twister->GetPriority()), angle == 0 ? std::make_pair(256, 1000)
                                                                            : std::make_pair(128, -1000));
  }
  // Fluff dies at the left edge going left, at the right edge going right:
  // two frames of 3 pixels from 5 (or 35) reach -1 (or 41).
  for (long double speed : {-3.0L, 3.0L}) {
    TOrbaParticleImages* fluff = Emitter(Item<TOrbaParticle>(), PM_FLUFF, 0, speed, speed)->Birth(speed < 0 ? 5 : 35, 9);
    fluff->Advance(1);
    EXPECT_FALSE(fluff->Dead);
    fluff->Advance(1);
    EXPECT_EQ(std::make_pair(fluff->GetLeft(), fluff->Dead), std::make_pair(speed < 0 ? -1 : 41, true));
  }
  // Whatever cannot hold its position is dead.
  TOrbaParticleImages* far = Emitter(Item<TOrbaParticle>(), PM_STAR, 5, 1e30L, 0)->Birth(20, 15);
  far->Advance(3);
  EXPECT_TRUE(far->Dead);
}

// Turning twisters move among their siblings to where a whole sort puts
// them, also while a sibling renamed out of its place waits for that sort.
TEST_F(EffectsTest, TurningTwistersKeepTheEmittersChildrenInZOrder) {
  TOrbaParticle* e = Emitter(Item<TOrbaParticle>(), PM_TWISTER, 0.1, 10, 0.1);
  std::vector<TOrbaParticleImages*> twisters;
  for (int i = 0; i < 6; ++i) twisters.push_back(e->Birth(20, 25));
  for (size_t i = 0; i < twisters.size(); ++i) twisters[i]->Angle = 0.9L * static_cast<long double>(i);
  // A box drawn first, then renamed to a plain name, which draws after every
  // internal one: it waits at the front for the next sort.
  TOrbaBox* box = Item<TOrbaBox>();
  box->AssignName(std::string(1, kInternalMark) + "box");
  box->SetPriority(-5000);
  box->SetParent(e);
  ASSERT_EQ(e->GetChildren().front(), box);
  box->AssignName("box");
  auto sorted = [e] {
    const std::vector<TOrbaControl*>& c = e->GetChildren();
    for (size_t i = 1; i < c.size(); ++i)
      if (CompareZOrder(*c[i - 1], *c[i]) > 0) return false;
    return c.size() == 7;
  };
  for (int step = 0; step < 6; ++step) {
    for (TOrbaParticleImages* t : twisters) t->Advance(1);
    ASSERT_TRUE(sorted()) << "step " << step;
  }
  EXPECT_EQ(e->GetChildren().back(), box);
}

// Index 100 simulates 6 frames (96 ms) at the start and keeps 4 ms: births
// every 16 ms until the countdown is positive again (7), each advanced by
// the frames left after it. A gap below 3 is 2 ms; the births of one call
// stop at the cap and the rest of the time passes.
TEST_F(EffectsTest, EmitterPrewarmsIntervalsAndCap) {
  TOrbaParticle* e = Emitter(Item<TOrbaParticle>(), PM_SNOW, 0, 0, 0);
  e->SetIndex(100);
  m.Idle_();
  std::vector<int32_t> elapsed;
  for (auto* p : e->Particles) elapsed.push_back(p->Elapsed);
  EXPECT_EQ(elapsed, (std::vector<int32_t>{80, 64, 48, 32, 16, 0, 0}));
  EXPECT_EQ(std::make_pair(e->Accumulator, e->Countdown), std::make_pair(4, 16));
  TOrbaParticle* quick = Emitter(Item<TOrbaParticle>(), PM_SNOW, 0, 0, 0);
  quick->ParamRecord = std::make_unique<TOrbaParticleParam>();
  quick->Emit(2, true);
  EXPECT_EQ(std::make_pair(quick->Particles.size(), quick->Countdown), std::make_pair(size_t{17}, 2));
  quick->Emit(2000000000 / 16, true);
  EXPECT_EQ(quick->Particles.size(), size_t{17 + TOrbaParticle::kMaxBirthsPerEmit});
  EXPECT_EQ(quick->Countdown, 2);
  // Version 107 holds Index, OnIdle, Paused and Duration after Alpha.
  e->SetParam(1, -2.25L);
  e->SetAlpha(300);
  e->SetOnIdle("*i");
  e->SetDuration(50);
  e->SetPaused(true);
  RoundTrip(*e, [](TOrbaParticle& x) {
    EXPECT_EQ(std::make_tuple(x.PartMotion, x.Params[1], x.Alpha, x.State), std::make_tuple(PM_SNOW, -2.25L, 300, 0));
    EXPECT_EQ(std::make_tuple(x.Index, x.OnIdle, x.Paused, x.Duration),
              std::make_tuple(100, std::string("*i"), true, 50));
  });
}

// 15 ms ticks add 15 x 256 = 3840 to the accumulator: with Delay 2000 one
// step, then two. Phase 65 less one step is 64, a quarter cycle: row 0 is
// Amp, row WaveLen / 2 is -Amp. With Amp 0 the children draw on the
// screen's bitmap itself.
TEST_F(EffectsTest, WavePhaseAndRowOffsets) {
  FrameTime = 15;
  auto* wave = Item<TOrbaWave>();
  wave->SetBounds(0, 0, 20, 20);
  std::vector<std::pair<int32_t, int32_t>> states;
  for (int i = 0; i < 2; ++i, states.emplace_back(wave->Accumulator, wave->Phase)) m.Idle_();
  EXPECT_EQ(states, (std::vector<std::pair<int32_t, int32_t>>{{1840, 255}, {1680, 253}}));
  wave->SetAmp(7);
  wave->SetWaveLen(8);
  wave->SetDelay(3840);
  wave->Phase = 65;
  wave->Accumulator = 0;
  m.Idle_();
  EXPECT_EQ(std::make_tuple(wave->Phase, wave->Wave.Offsets[0], wave->Wave.Offsets[2], wave->Wave.Offsets[4]),
            std::make_tuple(64, 7, 0, -7));
  wave->SetWaveLen(0);
  EXPECT_EQ(std::make_pair(wave->WaveLen, wave->GetSurface()), std::make_pair(1, static_cast<TCustomDIBX*>(&wave->Wave)));
  wave->SetAmp(0);
  EXPECT_EQ(wave->GetSurface(), m.GetBase(0)->GetDIB());
  // Version 107 holds OnIdle and Paused after Delay.
  wave->SetBounds(3, 4, 10, 6);
  wave->SetOnIdle("*w");
  wave->SetPaused(true);
  RoundTrip(*wave, [](TOrbaWave& w) {
    EXPECT_EQ(std::make_tuple(w.Amp, w.WaveLen, w.Delay, w.Wave.Offsets.size(), w.Wave.OriginX, w.Wave.OriginY),
              std::make_tuple(0, 1, 3840, size_t{6}, 3, 4));
    EXPECT_EQ(std::make_pair(w.OnIdle, w.Paused), std::make_pair(std::string("*w"), true));
  });
}

}  // namespace
}  // namespace orba
