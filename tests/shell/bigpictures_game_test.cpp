// The "bigpictures" game over large pictures planted after its build: an
// 8192 x 8192 PNG of 275 KB, a 1-bit PNG of a few KB, a progressive JPEG and
// a Brix of three layers are each decoded once into the surface the player
// keeps; the same kinds past 256 MB of surfaces (and a PNG just over it)
// are refused from their headers with a trace line, and the game goes on
// (under a heap ceiling of 1 GiB, whose quarter is 256 MiB).
// The player's peak memory above a run of small pictures stays below 300 MB,
// on DirectDraw surfaces (the default) and on memory ones alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "shell/peak_checks.h"
#include "shell/test_games.h"
#include "support/picture_makers.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;


void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) { test::WriteFileBytes(path, bytes); }

// A Brix picture of one frame of three layers at Bits of Side x Side, each a
// flat colour; with Claimed the frame record names that side instead (the
// layers' data stays that of the small picture).
std::vector<uint8_t> ThreeLayerBrix(int32_t side, int32_t claimed, int32_t bits) {
  TBrixFrameList list;
  TBrixFrame* frame = list.AddFrame();
  for (int i = 0; i < 3; ++i) {
    TBrixLayer* layer = frame->AddLayer();
    layer->Surface->SetSize(side, side, bits);
    layer->Surface->FillRect(layer->Surface->GetBounds(), 0x102030u * static_cast<uint32_t>(i + 1));
    layer->Opacity = 255;
  }
  TKsMemoryStream out;
  list.SaveToStream(out, 0, 70);
  std::vector<uint8_t> bytes = out.Bytes();
  // "Brix106", the header record's size and 40 bytes, then the frame: its
  // name (an empty count), key, delay, a byte, a number, the layer count,
  // then width and height.
  constexpr size_t kFrameWidthAt = 7 + 4 + 40 + 4 + 4 + 4 + 1 + 4 + 4;
  int32_t width = 0;
  std::memcpy(&width, bytes.data() + kFrameWidthAt, 4);
  EXPECT_EQ(width, side) << "the frame record is not where the test looks";
  std::memcpy(bytes.data() + kFrameWidthAt, &claimed, 4);
  std::memcpy(bytes.data() + kFrameWidthAt + 4, &claimed, 4);
  return bytes;
}

std::vector<uint8_t> Jpeg(int side) {
  return test::MakeProgressiveJpeg(side, side, [](int x, int y, uint8_t* rgb) {
    const uint32_t h = (static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u) * 2654435761u;
    rgb[0] = static_cast<uint8_t>(h >> 8);
    rgb[1] = static_cast<uint8_t>(x);
    rgb[2] = static_cast<uint8_t>(y);
  });
}

// Builds the game into Game with its pictures: the large ones, or (Small)
// an 8 x 8 picture under every name.
void PlantGame(const std::string& game, bool small) {
  if (small) test::BuildGame("bigpictures", game, true);
  const auto stripes = [](uint32_t y, std::vector<uint8_t>& row) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>((y / 64 + i / 192) & 0xFF);
  };
  const std::vector<uint8_t> tiny = test::MakePng(8, 8, 8, 2, stripes);
  WriteBytes(game + "/small.brx", tiny);
  const std::vector<std::string> names = {"wide",    "bits",    "progressive",    "layers",
                                          "over",    "bigbits", "bigprogressive", "biglayers"};
  if (small) {
    for (const std::string& name : names) WriteBytes(game + "/" + name + ".brx", tiny);
    return;
  }
  // 8192 x 8192 colour in bands of one grey (about 200 KB): 256 MiB at the
  // player's 32 bits, the whole budget.
  WriteBytes(game + "/wide.brx", test::MakePng(8192, 8192, 8, 2, [](uint32_t y, std::vector<uint8_t>& row) {
               std::fill(row.begin(), row.end(), static_cast<uint8_t>(y / 64));
             }));
  const auto checks = [](uint32_t y, std::vector<uint8_t>& row) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = (y / 512 + i / 64) % 2 ? 0xFF : 0x00;
  };
  // 1 bit: 8192 x 7943 and its copy at 32 bits fit (2^28 / 33792 = 7943.8
  // rows); 8192 x 8192 does not.
  WriteBytes(game + "/bits.brx", test::MakePng(8192, 7943, 1, 0, checks));
  WriteBytes(game + "/bigbits.brx", test::MakePng(8192, 8192, 1, 0, checks));
  // Progressive 4096 x 4096: 64 MiB of picture and 48 MiB of coefficients;
  // the same header saying 8192 x 8192 asks 256 + 192 MiB.
  std::vector<uint8_t> jpeg = Jpeg(4096);
  WriteBytes(game + "/progressive.brx", jpeg);
  test::SetJpegSize(jpeg, 8192, 8192);
  WriteBytes(game + "/bigprogressive.brx", jpeg);
  // Three layers of 3584 x 3584 at 24 bits, the frame and its copy at 32
  // bits, and the buffer one layer's packed plane is unpacked into: 3 x
  // 36.75 + 36.75 + 49 + 36.75 MiB, 232.75 MiB. At 4096 x 4096 the same
  // would be 304 MiB, over the budget. The frame saying 8192 x 8192 asks
  // 192 + 256 MiB before any layer.
  WriteBytes(game + "/layers.brx", ThreeLayerBrix(3584, 3584, 24));
  WriteBytes(game + "/biglayers.brx", ThreeLayerBrix(64, 8192, 24));
  // RGBA 8192 x 6554: 6554 rows of 32768 + 8192 bytes, 33 KB over 256 MiB.
  WriteBytes(game + "/over.brx", test::MakePng(8192, 6554, 8, 6, stripes));
}

TEST(BigPicturesGame, EachPictureIsHeldOnceAndThoseOverTheBudgetAreRefused) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  PlantGame(top + "/small", true);
  test::BuildGame("bigpictures", top + "/game", true);
  test::MakeInChild([&] { PlantGame(top + "/game", false); });
  const std::string game = top + "/game";
  const uintmax_t wide_size = fs::file_size(game + "/wide.brx");
  const uintmax_t bits_size = fs::file_size(game + "/bits.brx");
  RecordProperty("wide_png_bytes", std::to_string(wide_size));
  RecordProperty("bits_png_bytes", std::to_string(bits_size));

  // In the default mode the kept surfaces are DirectDraw ones, with
  // --surfaces memory plain bitmaps: either takes each picture over whole.
  // Both run under a heap ceiling of 1 GiB, whose quarter is the least a
  // picture may take (256 MiB), whatever this machine's ceiling.
  const std::vector<std::pair<std::string, std::vector<std::string>>> modes = {
      {"directdraw", {"--heap-ceiling", "1024"}}, {"memory", {"--surfaces", "memory", "--heap-ceiling", "1024"}}};
  for (const auto& [mode, options] : modes) {
    SCOPED_TRACE(mode);
    // Each run writes the sizes it found afresh.
    fs::remove(game + "/save.dat");
    const test::CommandResult base = test::PlayGameUnquarantined(top + "/small", 40, options);
    const test::CommandResult r = test::PlayGameUnquarantined(game, 40, options);
    ASSERT_EQ(base.exit_code, 0) << base.output;
    ASSERT_EQ(r.exit_code, 0) << r.output;
    ExpectContains(test::DumpSave(game + "/save.dat"),
                   {"var sizes str = \"wide 8192x8192 bits 8192x7943 progressive 4096x4096 layers 3584x3584"
                    " over 0x0 bigbits 0x0 bigprogressive 0x0 biglayers 0x0 small 8x8\""});
    const std::string refused = ": picture refused: its surfaces need more than 268435456 bytes\n";
    ExpectContains(r.output, {"over.brx" + refused, "bigbits.brx" + refused, "bigprogressive.brx" + refused,
                              "biglayers.brx" + refused});
    // What the pictures add to a run of 8 x 8 ones stays below 300 MB; the
    // address sanitizer's shadow adds an eighth to every byte the player
    // touches.
    RecordProperty(mode + "_peak_kb", std::to_string(r.peak_rss_kb));
    RecordProperty(mode + "_small_peak_kb", std::to_string(base.peak_rss_kb));
    test::ExpectPeakWithin(r, base, 300);
  }
}

}  // namespace
}  // namespace orba
