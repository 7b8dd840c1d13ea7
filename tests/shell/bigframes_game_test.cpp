// The "bigframes" game over two full-screen animations planted after its
// build, 24 bits with an alpha plane: 48 frames of 1280 x 720 and 20 of
// 1920 x 1080. Read frame by frame, each is held at the player's 32 bits
// with its mask (about 5 bytes a pixel) within the picture budget, plays
// (two captures show different frames, each a frame's own colour), and the
// player's peak above the same game over small pictures stays below 300 MB.
#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "shell/peak_checks.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;

// Frame K's colour, 0x00RRGGBB.
uint32_t FrameColour(int32_t k) { return static_cast<uint32_t>(40 + 4 * k) << 16 | static_cast<uint32_t>(250 - 4 * k) << 8 | 90; }

// An animation of Count frames of Width x Height, each one 24-bit layer of
// its flat colour with an alpha plane of 255, 30 ms a frame.
void WriteAnimation(const std::string& path, int32_t width, int32_t height, int32_t count) {
  TBrixFrameList list;
  for (int32_t k = 0; k < count; ++k) {
    TBrixFrame* frame = list.AddFrame();
    frame->Delay = 30;
    TBrixLayer* layer = frame->AddLayer();
    layer->Surface->SetSize(width, height, 24);
    layer->Surface->FillRect(layer->Surface->GetBounds(), FrameColour(k));
    layer->Surface->EnsureAlpha();
    layer->Surface->FillAlpha();
    layer->AlphaEnabled = 1;
  }
  TKsMemoryStream out;
  list.SaveToStream(out, 0, 70);
  test::WriteFileBytes(path, out.Bytes());
}

// The frame whose colour a capture shows at its centre; -1 for none.
int32_t CapturedFrame(const std::string& path) {
  TBrixFrameList capture;
  TKsMemoryStream in(test::ReadFileBytes(path));
  capture.LoadFromStream(in, false, false, false);
  TBrixFrame& frame = *capture.GetFrame(0);
  const auto colour = static_cast<uint32_t>(SurfacePixelColor(frame.Surface, frame.Surface.GetPixel(32, 18)));
  const uint32_t rgb = (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
  for (int32_t k = 0; k < 48; ++k)
    if (FrameColour(k) == rgb) return k;
  return -1;
}

TEST(BigFramesGame, FullScreenAnimationsLoadFrameByFrameAndPlay) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string game = top + "/game", small = top + "/small";
  test::BuildGame("bigframes", small, true);
  test::BuildGame("bigframes", game, true);
  WriteAnimation(small + "/hd.brx", 8, 8, 48);
  WriteAnimation(small + "/fullhd.brx", 8, 8, 20);
  test::MakeInChild([&] {
    WriteAnimation(game + "/hd.brx", 1280, 720, 48);
    WriteAnimation(game + "/fullhd.brx", 1920, 1080, 20);
  });

  const test::CommandResult base = test::PlayGameUnquarantined(small, 40);
  const test::CommandResult r = test::PlayGameUnquarantined(game, 40);
  ASSERT_EQ(base.exit_code, 0) << base.output;
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output.find("picture refused"), std::string::npos) << r.output;
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var sizes str = \"hd 1280x720 fullhd 1920x1080\"", "var shots str = \"TRUETRUETRUETRUE\""});
  for (const auto& [first, second] : {std::pair{"a1", "a2"}, std::pair{"b1", "b2"}}) {
    SCOPED_TRACE(first);
    const int32_t shown = CapturedFrame(game + "/" + first + ".brx");
    const int32_t later = CapturedFrame(game + "/" + second + ".brx");
    EXPECT_GE(shown, 0);
    EXPECT_GT(later, shown);
  }
  // What the animations add to a run of 8 x 8 ones: 221 MB held for the
  // first at 5 bytes a pixel and one frame's work; the address sanitizer's
  // shadow adds an eighth to every byte the player touches.
  RecordProperty("peak_kb", std::to_string(r.peak_rss_kb));
  RecordProperty("small_peak_kb", std::to_string(base.peak_rss_kb));
  test::ExpectPeakWithin(r, base, 300);
}

}  // namespace
}  // namespace orba
