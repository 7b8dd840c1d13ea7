// The mixer through the headless output, the volume ramps on the game
// clock, the strict readers on damaged files and the sound item's stream.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/streams/big_stream.h"
#include "items/base_list.h"
#include "media/media_system.h"
#include "media/midi_file.h"
#include "media/mixer.h"
#include "media/mixer_fade.h"
#include "media/sound_item.h"
#include "media/wave_reader.h"
#include "platform/headless/memory_audio.h"
#include "support/test_support.h"

namespace orba {
namespace {

// A 16-bit stereo WAVE file of a sine at half scale.
std::vector<uint8_t> ToneWave(double seconds, double freq = 440) {
  const uint32_t frames = static_cast<uint32_t>(seconds * 44100), data = frames * 4;
  std::vector<uint8_t> w;
  auto u32 = [&w](uint32_t v) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i))); };
  auto tag = [&w](const char* t) { w.insert(w.end(), t, t + 4); };
  tag("RIFF"); u32(36 + data); tag("WAVE"); tag("fmt "); u32(16); u32(0x00020001); u32(44100); u32(44100 * 4);
  u32(0x00100004); tag("data"); u32(data);
  for (uint32_t i = 0; i < frames; ++i) {
    const auto s = static_cast<uint16_t>(static_cast<int16_t>(std::lround(16383 * std::sin(2 * std::numbers::pi * freq * i / 44100))));
    for (int c = 0; c < 2; ++c) { w.push_back(static_cast<uint8_t>(s)); w.push_back(static_cast<uint8_t>(s >> 8)); }
  }
  return w;
}

struct Mix {
  std::shared_ptr<TMemoryAudio> out = std::make_shared<TMemoryAudio>();
  TMixer mixer{out};
  uint32_t ms = 0;
  Mix() { out->KeepMix(true); Tick(); }
  // A tick as the player runs it: the output catches up, then the items
  // decode ahead.
  void Tick() {
    mixer.Pump(ms);
    mixer.Fill();
  }
  void Run(uint32_t for_ms) {
    for (uint32_t end = ms + for_ms; ms < end;) {
      ms += 15;
      Tick();
    }
  }
  double Rms(int channel) const {
    double sum = 0;
    const auto& m = out->Mix();
    for (size_t i = static_cast<size_t>(channel); i < m.size(); i += 2) sum += double(m[i]) * m[i];
    return std::sqrt(sum / static_cast<double>(m.size() / 2));
  }
};

TEST(Mixer, VolumeAndBalanceScaleTheChannels) {
  double rms[2][2];
  for (int v = 0; v < 2; ++v) {
    Mix m;
    TWaveItem item(m.mixer, nullptr, MakeWaveDecoder(ToneWave(1)));
    item.SetVolume(v == 0 ? 0 : -600);
    item.Play();
    m.Run(900);
    rms[v][0] = m.Rms(0);
    rms[v][1] = m.Rms(1);
  }
  EXPECT_NEAR(20 * std::log10(rms[0][0] / rms[1][0]), 6.0, 0.2);
  Mix m;
  TWaveItem item(m.mixer, nullptr, MakeWaveDecoder(ToneWave(1)));
  item.SetBalance(10000);
  item.Play();
  m.Run(500);
  EXPECT_EQ(m.Rms(0), 0);
  EXPECT_NEAR(m.Rms(1), rms[0][1], rms[0][1] * 1e-3);
}

TEST(Mixer, RepeatLoopsWithoutAGapAndKeepsNoEndMark) {
  Mix m;
  TWaveItem item(m.mixer, nullptr, MakeWaveDecoder(ToneWave(0.1, 1000)));
  item.SetRepeat(true);
  item.SetRepeatPos(50);
  item.Play();
  m.Run(1000);
  const auto& mix = m.out->Mix();
  size_t run = 0, longest = 0;
  for (size_t i = 0; i < mix.size(); i += 2) longest = std::max(longest, run = mix[i] == 0 ? run + 1 : 0);
  EXPECT_LT(longest, m.out->BufferFrames());
  EXPECT_FALSE(item.IsEnd());
  EXPECT_TRUE(item.IsPlaying());
  EXPECT_GE(item.GetPosition(), 50);
  item.SetRepeat(false);
  m.Run(200);
  EXPECT_TRUE(item.IsEnd());
  EXPECT_FALSE(item.IsPlaying());
}

TEST(Ramps, StepsOnTheGameClock) {
  Mix m;
  struct Case {
    bool midi, fade_in;
    uint32_t duration;
    std::vector<std::pair<uint32_t, int32_t>> steps;  // clock, volume after the step
  } cases[] = {
      {false, true, 1000, {{0, -5000}, {500, -2500}, {999, -5}, {1000, 0}}},
      {true, true, 1000, {{0, -10000}, {500, -5000}, {1000, 0}}},
      {false, false, 1000, {{0, 0}, {999, -4995}, {1000, -4995}}},
      {true, true, 3000000000u, {{2000000000u, -3334}}},  // t x d needs 64 bits
  };
  for (const Case& c : cases) {
    TWaveItem wave(m.mixer, nullptr, std::make_unique<TSilentDecoder>(44100, 44100));
    TMidiItem midi(m.mixer, nullptr, std::make_unique<TSilentDecoder>(44100, 44100));
    TDMediaItem& item = c.midi ? static_cast<TDMediaItem&>(midi) : wave;
    std::unique_ptr<TOrbaMixer> ramp;
    if (c.fade_in) ramp = std::make_unique<TOrbaMixerFadein>(&item, 0, c.duration);
    else ramp = std::make_unique<TOrbaMixerFadeout>(&item, 0, c.duration);
    GameClock = 0;
    EXPECT_FALSE(ramp->Step());
    for (const auto& [clock, volume] : c.steps) {
      GameClock = clock;
      EXPECT_EQ(ramp->Step(), clock >= c.duration);
      EXPECT_EQ(item.GetVolume(), volume) << c.midi << c.fade_in << " at " << clock;
    }
  }
  GameClock = 0;
}

TEST(Readers, DamagedFilesAreRefusedWithAReason) {
  std::vector<uint8_t> wave = ToneWave(0.1);
  std::vector<uint8_t> long_data = wave;
  long_data[40] = 0xFF;  // the data chunk claims more than the file holds
  const std::vector<uint8_t> song = test::Bytes(std::string("MThd\0\0\0\6\0\0\0\1\1\xE0MTrk\0\0\0\x0C\0\x90\x3C\x64\x83\x60\x80\x3C\0\0\xFF\x2F", 34));
  struct Case {
    std::vector<uint8_t> bytes;
    bool midi;
    std::string reason;
  } cases[] = {
      {std::vector<uint8_t>(wave.begin(), wave.begin() + 30), false, "the RIFF size exceeds the file"},
      {long_data, false, "a chunk size exceeds the file"},
      {test::Bytes(std::string("OggS\0\2", 6) + std::string(40, 'x')), false, "not a playable Ogg Vorbis file"},
      {std::vector<uint8_t>(song.begin(), song.begin() + 20), true, "track 1 of 1 is missing"},
      {std::vector<uint8_t>(song.begin(), song.end() - 1), true, "a track's size exceeds the file"},
      {test::Bytes(std::string("MThd\0\0\0\6\0\0\0\1\0\0", 14)), true, "a time division of 0"},
  };
  for (const Case& c : cases) {
    try {
      if (c.midi) TMidiTimeline::Read(c.bytes.data(), c.bytes.size());
      else OpenSampledFile(c.bytes);
      ADD_FAILURE() << c.reason;
    } catch (const EMediaError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
  std::vector<uint8_t> fixed = song;
  fixed[21] = 0x0D;
  fixed.push_back(0);  // the end-of-track meta's length
  EXPECT_EQ(TMidiTimeline::Read(fixed.data(), fixed.size()).LengthMicros(), 500000u);
}

// A compressed WAVE coding (IMA ADPCM, written by sox) goes to libavcodec:
// the same length and loudness as the PCM file it was made from.
TEST(Readers, CompressedWaveDecodesThroughLibav) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "pcm.wav", ToneWave(1));
  ASSERT_EQ(test::RunCommand({"sox", dir / "pcm.wav", "-e", "ima-adpcm", dir / "adpcm.wav"}).exit_code, 0);
  std::unique_ptr<TDecoder> decoder = OpenSampledFile(test::ReadFileBytes(dir / "adpcm.wav"));
  EXPECT_NEAR(static_cast<double>(decoder->Frames()), 44100, 100);
  std::vector<float> out(4096 * 2);
  double sum = 0;
  size_t frames = 0;
  for (size_t n; (n = decoder->Read(out.data(), 4096)) > 0; frames += n)
    for (size_t i = 0; i < n * 2; ++i) sum += double(out[i]) * out[i];
  EXPECT_EQ(frames, static_cast<size_t>(decoder->Frames()));
  EXPECT_NEAR(20 * std::log10(std::sqrt(sum / double(frames * 2)) / (0.5 / std::sqrt(2.0))), 0, 0.5);
  decoder->Seek(decoder->Frames() / 2);
  for (size_t n; (n = decoder->Read(out.data(), 4096)) > 0;) frames -= n;
  EXPECT_EQ(frames, static_cast<size_t>(decoder->Frames() / 2));
}

TEST(SoundItem, StreamRoundTripsAndLoadFlagsAct) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "tone.wav", ToneWave(4));  // a sound under 3 s is saved stopped
  TVrFileManager files;
  files.SetOverrideFolder(dir.path());
  const auto out = std::make_shared<TMemoryAudio>();
  InitMediaGlobals(&files, out);
  auto manager_owner = std::make_unique<TOrbaBaseList>();
  TOrbaBaseList& manager = *manager_owner;
  auto* sound = NewOrbaObject<TOrbaSound>(&manager);
  sound->SetName("s");
  sound->SetSource("tone.wav");
  sound->SetRewindOnLoad(false);
  sound->SetVolume(800);
  sound->SetState(0);
  for (uint32_t ms = 0; ms <= 300; ms += 15) {
    MediaCatchUp(ms);
    MediaTick(ms);
  }
  ASSERT_EQ(sound->GetIndex(), 300);
  TKsMemoryStream saved;
  sound->SaveToStream(saved);
  for (int flags = 0; flags < 3; ++flags) {
    TKsMemoryStream copy(std::vector<uint8_t>(saved.Memory(), saved.Memory() + saved.GetSize()));
    copy.Memory()[copy.GetSize() - 6 + (flags == 2 ? 1 : 0)] = flags != 0;  // rewind-on-load, mute-on-load
    TOrbaBaseList other;
    auto* loaded = NewOrbaObject<TOrbaSound>(&other);
    loaded->LoadFromStream(copy, kSceneVersion);
    EXPECT_EQ(loaded->GetIndex(), flags == 1 ? 0 : 300) << flags;
    EXPECT_EQ(loaded->GetVolume(), flags == 2 ? 0 : 800) << flags;
    if (flags != 0) continue;
    TKsMemoryStream again;
    loaded->SaveToStream(again);
    EXPECT_EQ(test::ToHex(std::vector<uint8_t>(again.Memory(), again.Memory() + again.GetSize())),
              test::ToHex(std::vector<uint8_t>(saved.Memory(), saved.Memory() + saved.GetSize())));
  }
  manager_owner.reset();
  DoneMediaGlobals();
  // Without a sound font a MIDI item keeps the length of its tempo map.
  test::WriteFileBytes(dir / "song.mid", test::Bytes(std::string(
      "MThd\0\0\0\6\0\0\0\1\1\xE0MTrk\0\0\0\x0D\0\x90\x3C\x64\x83\x60\x80\x3C\0\0\xFF\x2F\0", 35)));
  TMixer mixer(out);
  TMidiManager midi(mixer, &files, "");
  const TDMediaItem* song = midi.Add("song.mid");
  ASSERT_NE(song, nullptr);
  EXPECT_TRUE(song->IsMidi());
  EXPECT_EQ(song->GetLength(), 500);
}

// A sound fading out over 600 ms, saved and loaded into another manager.
class FadingSound : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.SetOverrideFolder(dir_.path());
    InitMediaGlobals(&files_, std::make_shared<TMemoryAudio>());
    manager_ = std::make_unique<TOrbaBaseList>();
    other_ = std::make_unique<TOrbaBaseList>();
    GameClock = 0;
  }
  void TearDown() override {
    manager_.reset();
    other_.reset();
    DoneMediaGlobals();
    GameClock = 0;
  }
  // A tone of Seconds named "bgm", playing, then set fading out.
  TOrbaSound* StartFadingOut(double seconds, bool repeat) {
    test::WriteFileBytes(dir_ / "tone.wav", ToneWave(seconds));
    auto* sound = NewOrbaObject<TOrbaSound>(manager_.get());
    sound->SetName("bgm");
    sound->SetSource("tone.wav");
    sound->SetRepeat(repeat);
    sound->SetState(0);
    sound->SetDelay(600);
    sound->SetState(3);
    return sound;
  }
  TOrbaSound* SavedAndLoaded(const TOrbaSound& sound) {
    TKsMemoryStream saved;
    sound.SaveToStream(saved);
    auto* loaded = NewOrbaObject<TOrbaSound>(other_.get());
    TKsMemoryStream in(std::vector<uint8_t>(saved.Memory(), saved.Memory() + saved.GetSize()));
    loaded->LoadFromStream(in, kSceneVersion);
    return loaded;
  }

  test::TempDir dir_;
  TVrFileManager files_;
  std::unique_ptr<TOrbaBaseList> manager_, other_;
};

// A repeating sound saved 150 ms into its fade-out comes back playing and
// fades out again over the whole fade time, renamed once more as every
// fade-out renames it; then it asks to be freed.
TEST_F(FadingSound, ARepeatingSoundFadesOutAgainAfterALoad) {
  TOrbaSound* sound = StartFadingOut(1, true);
  EXPECT_EQ(sound->GetName(), "SCRAP_bgm");
  for (GameClock = 0; GameClock <= 150; GameClock += 15) EXPECT_FALSE(sound->Idle());
  TOrbaSound* loaded = SavedAndLoaded(*sound);
  EXPECT_EQ(loaded->GetName(), "SCRAP_SCRAP_bgm");
  EXPECT_EQ(loaded->GetState(), 3);
  EXPECT_TRUE(loaded->GetPlaying());
  const uint32_t start = 1000;
  uint32_t freed_at = 0;
  for (GameClock = start; GameClock <= start + 900 && freed_at == 0; GameClock += 15)
    if (loaded->Idle()) freed_at = GameClock;
  EXPECT_EQ(freed_at, start + 600);  // the first step starts the ramp
}

// A one-shot sound that reached its end while fading out has nothing left to
// fade: loaded, it asks to be freed at once instead of staying for good.
TEST_F(FadingSound, OneThatEndedWhileFadingOutIsFreedAfterALoad) {
  TOrbaSound* sound = StartFadingOut(0.1, false);
  for (GameClock = 0; GameClock <= 300; GameClock += 15) {
    MediaCatchUp(GameClock);
    MediaTick(GameClock);
    EXPECT_FALSE(sound->Idle());
  }
  ASSERT_TRUE(sound->Ended);
  TOrbaSound* loaded = SavedAndLoaded(*sound);
  EXPECT_TRUE(other_->IsObjectScrapped(loaded));
  EXPECT_FALSE(loaded->GetPlaying());
}

}  // namespace
}  // namespace orba
