// GIF: the independent fixture set (every frame composed against the
// reference decoder, hostile files refused or warned about), our writer's
// files read back by Pillow and giflib, hand-worked code streams, the
// dithering kernels, the octree, and animation through a manual clock.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_quantize.h"
#include "graphics/gif/gif_render.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

struct TLoaded {
  std::unique_ptr<TGIFImage> image = std::make_unique<TGIFImage>();
  std::shared_ptr<std::vector<std::string>> warnings = std::make_shared<std::vector<std::string>>();
  std::string error = "no error";
};

TLoaded Load(const std::vector<uint8_t>& bytes) {
  TLoaded out;
  out.image->OnDataWarning = [w = out.warnings](int, const std::string& m) { w->push_back(m); };
  TKsMemoryStream s(bytes);
  out.error = test::ErrorOf<GIFException>([&] { out.image->LoadFromStream(s); });
  return out;
}

std::vector<uint8_t> Save(TGIFImage& image) {
  TKsMemoryStream s;
  image.SaveToStream(s);
  return s.Bytes();
}

// The composed screen as red, green, blue bytes.
std::vector<uint8_t> Screen(TDIB& dib) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < dib.Height(); ++y) {
    const uint8_t* row = dib.PeekRow(y);
    for (int32_t x = 0; x < dib.Width(); ++x) out.insert(out.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
  }
  return out;
}

class GifFixtures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    ASSERT_EQ(test::RunPython("fixtures/gif_fixtures.py", {"make", dir_->path()}).exit_code, 0);
  }
  static void TearDownTestSuite() { delete dir_; }
  static test::TempDir* dir_;
};
test::TempDir* GifFixtures::dir_ = nullptr;

TEST_F(GifFixtures, EveryFrameOfEveryValidFileEqualsTheReference) {
  std::ifstream manifest(*dir_ / "manifest.txt");
  std::string kind, name;
  int checked = 0;
  while (manifest >> kind >> name) {
    if (kind != "valid") continue;
    int frames = 0, w = 0, h = 0;
    manifest >> frames >> w >> h;
    TLoaded gif = Load(test::ReadFileBytes(*dir_ / name));
    ASSERT_EQ(gif.error, "no error") << name;
    for (int k = 0; k < frames; ++k, ++checked) {
      TDIB screen;
      ComposeFrame(*gif.image, k, screen);
      EXPECT_EQ(Screen(screen), test::ReadFileBytes(*dir_ / (name + "." + std::to_string(k) + ".rgb"))) << name << " frame " << k;
    }
  }
  EXPECT_GT(checked, 40);
}

TEST_F(GifFixtures, HostileFilesGiveAClearErrorOrWarning) {
  const std::map<std::string, std::pair<std::string, std::string>> expected = {
      {"huge_frame.gif", {gif_text::kInvalidDimensions, ""}},
      {"truncated_header.gif", {gif_text::kPrematureEnd, ""}},
      {"bad_signature.gif", {gif_text::kInvalidSignature, ""}},
      {"code_beyond_table.gif", {"no error", gif_text::kInvalidData}},
      {"code_size_12.gif", {"no error", gif_text::kInvalidData}},
      {"truncated_data.gif", {"no error", ""}},
      {"unknown_block.gif", {"no error", gif_text::kUnknownBlock}},
      {"unknown_extension.gif", {gif_text::kUnknownExtension, ""}},
      {"short_loop.gif", {gif_text::kInvalidData, ""}},
      {"app_size_3.gif", {gif_text::kAppBlockSize, ""}},
      {"many_zero_frames.gif", {gif_text::kInvalidDimensions, gif_text::kExceedsScreen}}};
  for (const auto& [name, want] : expected) {
    const long before = test::PeakRssKiB();
    TLoaded gif = Load(test::ReadFileBytes(*dir_ / name));
    EXPECT_EQ(gif.error, want.first) << name;
    if (!want.second.empty()) {
      EXPECT_NE(std::find(gif.warnings->begin(), gif.warnings->end(), want.second), gif.warnings->end()) << name;
    }
    TDIB screen;
    test::ErrorOf<GIFException>([&] { ComposeFrame(*gif.image, 0, screen); });
    EXPECT_LT(test::PeakRssKiB() - before, 400 * 1024) << name;
  }
  // The 38-byte file claiming 65535 x 65535 keeps a small peak.
  const long before = test::PeakRssKiB();
  Load(test::ReadFileBytes(*dir_ / "huge_frame.gif"));
  EXPECT_LT(test::PeakRssKiB() - before, 8 * 1024);
}

// Our writer's animation (LZW and run-length, plain and interlaced) as
// Pillow and giflib read it: frame count, loop, delays, every frame (Pillow)
// and the last screen (giflib).
TEST_F(GifFixtures, OurFilesReadBackByPillowAndGiflib) {
  for (int variant = 0; variant < 4; ++variant) {
    const std::string out = *dir_ / ("ours" + std::to_string(variant) + ".gif");
    std::vector<std::string> args = {"img", "gif", "--loop", "4", "--delay", "7", "--method", variant < 2 ? "7" : "0", out};
    if (variant == 0) args.insert(args.begin() + 2, {"--dither", "2"});
    if (variant % 2) args.insert(args.begin() + 2, "--rle");
    if (variant >= 2) args.insert(args.begin() + 2, "--interlace");
    for (int k = 0; k < 3; ++k) {
      // Pictures of at most 256 colours, so that method 0 keeps them.
      const std::string png = *dir_ / ("in" + std::to_string(k) + ".png");
      std::ostringstream py;
      // Noise in green fills the code table more than once.
      py << "from PIL import Image\nim=Image.new('RGB',(200,120))\nfor y in range(120):\n for x in range(200):\n"
         << "  im.putpixel((x,y),((x*" << k + 3 << ")%16*16,(x*x*31+y*y*17)%13*20,x%2*99))\nim.save('" << png << "')\n";
      ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", py.str()}).exit_code, 0);
      args.push_back(png);
    }
    ASSERT_EQ(test::RunOrbaTool(args).exit_code, 0) << variant;
    const test::CommandResult pillow = test::RunPython("fixtures/gif_fixtures.py", {"frames", out});
    ASSERT_EQ(pillow.exit_code, 0);
    std::istringstream lines(pillow.output);
    std::string word, hex;
    int loop = -1, index = 0, duration = 0;
    lines >> word >> loop;
    EXPECT_EQ(loop, 4);
    TLoaded gif = Load(test::ReadFileBytes(out));
    for (int k = 0; k < 3; ++k) {
      ASSERT_TRUE(lines >> word >> index >> duration >> hex) << variant;
      EXPECT_EQ(duration, 70);
      TDIB screen;
      ComposeFrame(*gif.image, k, screen);
      const std::vector<uint8_t> rgb = Screen(screen);
      std::string ours;
      for (size_t i = 0; i < rgb.size(); i += 3) ours += test::ToHex({rgb[i], rgb[i + 1], rgb[i + 2], 255});
      ours.erase(std::remove(ours.begin(), ours.end(), ' '), ours.end());
      EXPECT_EQ(ours, hex) << variant << " frame " << k;
    }
    const std::string text = test::RunCommand({"giftext", out}).output;
    EXPECT_EQ(std::count(text.begin(), text.end(), '#'), 3) << text;
    EXPECT_NE(text.find("DelayTime: 7"), std::string::npos);
    // giflib's screen after the last (opaque) frame.
    ASSERT_EQ(test::RunCommand({"gif2rgb", "-1", "-o", *dir_ / "screen.rgb", out}).exit_code, 0) << out;
    TDIB last;
    ComposeFrame(*gif.image, 2, last);
    EXPECT_EQ(test::ReadFileBytes(*dir_ / "screen.rgb"), Screen(last)) << variant;
  }
}

TEST(GifCodec, HandWorkedStreams) {
  TGIFImage image;
  image.ScreenWidth = image.ScreenHeight = 1;
  image.GlobalColorMap.Add(0), image.GlobalColorMap.Add(0xFFFFFF);
  image.Add(std::make_unique<TGIFSubImage>(image));
  image.Frame(0).SetFrameRect(0, 0, 1, 1);
  image.Frame(0).Data = {1};
  // Clear 4, pixel 1, end 5 at 3 bits: 0x4C 0x01. No extension: 87a.
  const std::string want = "47 49 46 38 37 61 01 00 01 00 80 00 00 00 00 00 ff ff ff 2c 00 00 00 00 01 00 01 00 00 02 02 4c 01 00 3b";
  EXPECT_EQ(test::ToHex(Save(image)), want);
  image.Compression = 1;
  EXPECT_EQ(test::ToHex(Save(image)), want);
  // A comment of 300 bytes: blocks of 255 and 45, read back as two; 89a.
  auto comment = std::make_unique<TGIFCommentExtension>(image.Frame(0));
  comment->Text = {std::string(300, 'c')};
  image.Frame(0).AddExtension(std::move(comment));
  for (uint32_t c : {0x10u, 0x20u, 0x30u}) image.GlobalColorMap.Add(c);
  const std::vector<uint8_t> bytes = Save(image);
  EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 6), "89a");
  EXPECT_EQ(bytes[10] & 7, 2);  // 5 colours written as 8
  TLoaded back = Load(bytes);
  const auto* read = dynamic_cast<TGIFCommentExtension*>(back.image->Frame(0).Extensions.at(0).get());
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Text, (std::vector<std::string>{std::string(255, 'c'), std::string(45, 'c')}));
  // A frame copied with its extensions writes the same bytes.
  auto copy = std::make_unique<TGIFSubImage>(image);
  copy->Assign(image.Frame(0));
  image.Frames[0] = std::move(copy);
  EXPECT_EQ(Save(image), bytes);
  // A large run stays decodable: 10000 pixels of one value, both coders.
  for (uint8_t method : {0, 1}) {
    TGIFImage big;
    big.Compression = method;
    big.ScreenWidth = 100, big.ScreenHeight = 100;
    big.GlobalColorMap.Add(0), big.GlobalColorMap.Add(0xFF);
    big.Add(std::make_unique<TGIFSubImage>(big));
    big.Frame(0).SetFrameRect(0, 0, 100, 100);
    std::fill(big.Frame(0).Data.begin(), big.Frame(0).Data.end(), 1);
    TLoaded again = Load(Save(big));
    EXPECT_EQ(again.image->Frame(0).Data, big.Frame(0).Data);
    EXPECT_TRUE(again.warnings->empty());
  }
}

TEST(GifCodec, ExtensionsAndReadingRules) {
  const std::string screen = "47 49 46 38 39 61 02 00 01 00 80 00 00 00 00 00 ff ff ff";
  const std::string frame = "2c 00 00 00 00 00 00 00 00 00 02 02 4c 01 00";
  struct TCase {
    const char* what;
    std::string hex;
    int32_t loop;
    std::vector<std::string> warnings;
  } cases[] = {
      {"id 9 counts as 1", screen + "21 ff 0b" + test::ToHex(test::Bytes("NETSCAPE2.0")) + "03 09 05 00 00" + frame + "3b", 5,
       {gif_text::kExceedsScreen}},
      {"ANIMEXTS loops", screen + "21 ff 0b" + test::ToHex(test::Bytes("ANIMEXTS1.0")) + "03 01 02 00 00" + frame + "3b", 2,
       {gif_text::kExceedsScreen}},
      {"a short graphic control", screen + "21 f9 04 01", -1, {gif_text::kPrematureEnd}},
  };
  for (const TCase& c : cases) {
    TLoaded gif = Load(test::FromHex(c.hex));
    EXPECT_EQ(gif.error, "no error") << c.what;
    EXPECT_EQ(gif.image->LoopCount(), c.loop) << c.what;
    EXPECT_EQ(*gif.warnings, c.warnings) << c.what;
    if (gif.image->Count() > 0 && !gif.image->Frame(0).Empty()) {
      EXPECT_EQ(gif.image->Frame(0).Width(), 2) << c.what;
    }
  }
  // An application block of size 10 keeps its data; written back equal.
  TLoaded app = Load(test::FromHex(screen + "21 ff 0a 41 42 43 44 45 46 47 48 31 32 02 aa bb 00" + frame + "3b"));
  const auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(app.image->Frame(0).Extensions.at(0).get());
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->Blocks, (std::vector<std::vector<uint8_t>>{{0xAA, 0xBB}}));
  // Colour tables: the 257th colour, sorted and unsorted search.
  TGIFColorMap map;
  for (int i = 0; i < 256; ++i) map.Add(i % 2 ? 0x123456 : static_cast<uint32_t>(i));
  EXPECT_EQ(test::ErrorOf<GIFException>([&] { map.Add(1); }), gif_text::kTableOverflow);
  EXPECT_EQ(map.IndexOf(0x123456), 255);
  map.Sorted = true;
  EXPECT_EQ(map.IndexOf(0x123456), 1);
}

TEST(GifCodec, MulDivRoundsHalfAwayFromZero) {
  const int32_t cases[][4] = {{5, 1, 2, 3}, {-5, 1, 2, -3}, {7, 3, 2, 11}, {-7, 3, -2, 11}, {1, 1, 0, -1},
                              {4, 100, 3, 133}, {0x7FFFFFFF, 2, 1, -1}, {36, 100, 100, 36}};
  for (const auto& c : cases) EXPECT_EQ(MulDiv(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}

// Each multi-row engine against a whole-picture reference built from its
// kernel: rows scanned in alternating directions, error added e x weight
// at each tap, taken back with the divisor and half of it added.
TEST(GifQuantize, DitherEnginesMatchTheirKernels) {
  struct TKernel {
    int mode, divisor;
    std::vector<std::array<int, 3>> taps;  // row, offset in scan steps, weight
  };
  auto both = [](std::vector<std::array<int, 3>> t, std::vector<std::array<int, 3>> sym) {
    for (auto s : sym) t.push_back({s[0], -s[1], s[2]}), t.push_back(s);
    return t;
  };
  const TKernel kernels[] = {
      {2, 42, both({{0, 1, 8}, {0, 2, 4}, {1, 0, 8}, {2, 0, 4}}, {{1, 2, 2}, {1, 1, 4}, {2, 2, 1}, {2, 1, 2}})},
      {3, 32, both({{0, 1, 5}, {0, 2, 3}, {1, 0, 5}, {2, 0, 3}}, {{1, 2, 2}, {1, 1, 4}, {2, 1, 2}})},
      {4, 48, both({{0, 1, 7}, {0, 2, 5}, {1, 0, 7}, {2, 0, 5}}, {{1, 2, 3}, {1, 1, 5}, {2, 2, 1}, {2, 1, 3}})},
      {5, 200, both({{0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16}, {2, 0, 26}}, {{2, 2, 12}, {3, 3, 5}, {3, 1, 12}})},
      {6, 32, both({{0, 1, 8}, {0, 2, 4}, {1, 0, 8}}, {{1, 2, 2}, {1, 1, 4}})}};
  const int w = 23, h = 9;
  std::vector<uint8_t> rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rgb.insert(rgb.end(), {uint8_t(x * 11), uint8_t(y * 28), uint8_t((x + y) * 8)});
  const TGIFPalette palette = FourGreyPalette();
  for (const TKernel& k : kernels) {
    std::vector<int> err(static_cast<size_t>(w * (h + 4)) * 3, 0), want(w * h);
    TFastColorLookup lookup(palette);
    for (int y = 0; y < h; ++y) {
      const int d = y % 2 ? -1 : 1;
      for (int i = 0; i < w; ++i) {
        const int x = d > 0 ? i : w - 1 - i;
        int adj[3], out[3];
        for (int c = 0; c < 3; ++c)
          adj[c] = std::clamp(rgb[(y * w + x) * 3 + c] + (err[(y * w + x) * 3 + c] + k.divisor / 2) / k.divisor, 0, 255);
        want[y * w + x] = lookup.Nearest(adj[0], adj[1], adj[2], out[0], out[1], out[2]);
        for (const auto& t : k.taps) {
          const int tx = x + t[1] * d, ty = y + t[0];
          if (tx >= 0 && tx < w && (t[0] > 0 || t[1] != 0))
            for (int c = 0; c < 3; ++c) err[(ty * w + tx) * 3 + c] += (adj[c] - out[c]) * t[2];
        }
      }
    }
    const TQuantizedPicture got = QuantizeRgb(rgb.data(), w, h, 9, k.mode, &palette, 8);
    EXPECT_EQ(std::vector<int>(got.Index.begin(), got.Index.end()), want) << "mode " << k.mode;
  }
  // Floyd-Steinberg on a colour of the palette changes nothing; the cube
  // lookup's levels.
  const std::vector<uint8_t> flat(w * h * 3, 128);
  const TQuantizedPicture fs = QuantizeRgb(flat.data(), w, h, 9, 1, &palette, 8);
  EXPECT_EQ(fs.Index, std::vector<uint8_t>(w * h, 1));
  TNetscapeColorLookup cube;
  int r, g, b;
  EXPECT_EQ(cube.Nearest(47, 48, 255, r, g, b), 0 * 36 + 1 * 6 + 5);
  TMonochromeLookup mono;
  EXPECT_EQ(mono.Nearest(127, 127, 127, r, g, b) * 10 + mono.Nearest(128, 127, 127, r, g, b), 1);
}

TEST(GifQuantize, OctreeKeepsTheColourLimit) {
  std::vector<uint8_t> rgb(64 * 64 * 3);
  uint32_t seed = 7;
  for (uint8_t& v : rgb) v = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  for (int bits : {1, 3, 5, 8}) {
    const TGIFPalette p = BuildOctreePalette(rgb.data(), 64 * 64, 1 << bits, 8, false);
    EXPECT_EQ(p.size(), size_t{3} << bits);
    const TQuantizedPicture q = QuantizeRgb(rgb.data(), 64, 64, 7, 0, nullptr, bits);
    EXPECT_LT(*std::max_element(q.Index.begin(), q.Index.end()), 1 << bits);
  }
  const std::vector<uint8_t> three = {10, 20, 30, 200, 0, 0, 0, 90, 0};
  const TGIFPalette framed = BuildOctreePalette(three.data(), 3, 236, 8, true);
  const TGIFPalette system = SystemDefaultPalette();
  ASSERT_EQ(framed.size(), 768u);
  EXPECT_TRUE(std::equal(system.begin(), system.begin() + 30, framed.begin()));
  EXPECT_TRUE(std::equal(system.begin() + 30, system.end(), framed.begin() + 738));
  EXPECT_EQ(std::vector<uint8_t>(framed.begin() + 30, framed.begin() + 39), (std::vector<uint8_t>{10, 20, 30, 0, 90, 0, 200, 0, 0}));
  EXPECT_EQ(HalftonePalette().size(), 768u);
}

class TTestClock : public TManualClock {
 public:
  uint32_t NowMs() override { return now; }
  void Advance(uint32_t ms) override { now += ms; }
  uint32_t now = 0;
};

// Three frames of one colour each, delays 0 (the default 10), 1 (raised
// to 3) and 20 units of 12 ms, looped twice.
TEST(GifAnimation, FramesFollowTheDelaysAndTheLoopCount) {
  TGIFImage image;
  image.ScreenWidth = image.ScreenHeight = 2;
  for (uint32_t c : {0x0000FFu, 0x00FF00u, 0xFF0000u}) image.GlobalColorMap.Add(c);
  for (int k = 0; k < 3; ++k) {
    auto f = std::make_unique<TGIFSubImage>(image);
    f->SetFrameRect(0, 0, 2, 2);
    std::fill(f->Data.begin(), f->Data.end(), static_cast<uint8_t>(k));
    f->EnsureGraphicControl().Delay = static_cast<uint16_t>(std::array{0, 1, 20}[k]);
    image.Add(std::move(f));
  }
  auto loop = std::make_unique<TGIFAppExtNSLoop>(image.Frame(0));
  loop->Loops = 2;
  image.Frame(0).AddExtension(std::move(loop));
  const uint16_t flags = gif_paint::kOwnClock | gif_paint::kAnimate | gif_paint::kLoop;
  TTestClock clock;
  TDIB canvas;
  canvas.SetSize(2, 2, 24);
  TGIFPainter painter(image, canvas, TRect{0, 0, 2, 2}, flags, clock);
  int passes = 0;
  painter.OnNewPass = [&] { ++passes; };
  painter.Start();
  // The red channel names the frame shown: 255, 0, 0 for frames 0, 1, 2.
  const std::pair<uint32_t, int> shown[] = {{0, 0}, {119, 0}, {120, 1}, {155, 1}, {156, 2}, {395, 2},
                                           {396, 0}, {516, 1}, {552, 2}, {800, 2}};
  for (const auto& [at, frame] : shown) {
    clock.now = at;
    painter.Tick();
    const uint8_t* px = canvas.PeekRow(0);
    EXPECT_EQ((std::array{px[2], px[1], px[0]}), (std::array<uint8_t, 3>{uint8_t(frame == 0 ? 255 : 0), uint8_t(frame == 1 ? 255 : 0), uint8_t(frame == 2 ? 255 : 0)})) << at;
  }
  EXPECT_FALSE(painter.Running());
  EXPECT_EQ(passes, 1);
  // Inline: the loop count 0 plays once, at speed 200 every wait halves.
  image.SpeedPercent = 200;
  dynamic_cast<TGIFAppExtNSLoop&>(*image.Frame(0).Extensions.back()).Loops = 0;
  TGIFPainter inline_painter(image, canvas, TRect{0, 0, 2, 2}, gif_paint::kAnimate | gif_paint::kLoop, clock);
  std::vector<uint32_t> waits;
  clock.now = 0;
  inline_painter.RunToEnd([&](uint32_t ms) { waits.push_back(ms), clock.Advance(ms); });
  EXPECT_EQ(waits, (std::vector<uint32_t>{6, 60, 18}));
}

// Disposal 2 without transparent drawing fills the frame's area with the
// background colour (the global table's entry) before the next frame.
TEST(GifAnimation, RestoreToBackgroundFillsWithTheBackgroundColour) {
  TGIFImage image;
  image.ScreenWidth = 2, image.ScreenHeight = 1;
  for (uint32_t c : {0x0000FFu, 0x00FF00u, 0xFF0000u}) image.GlobalColorMap.Add(c);
  image.BackgroundIndex = 2;
  for (int k = 0; k < 2; ++k) {
    auto f = std::make_unique<TGIFSubImage>(image);
    f->SetFrameRect(k, 0, 1, 1);
    f->Data = {static_cast<uint8_t>(k)};
    f->EnsureGraphicControl().SetDisposal(2);
    image.Add(std::move(f));
  }
  TTestClock clock;
  TDIB canvas;
  canvas.SetSize(2, 1, 24);
  TGIFPainter painter(image, canvas, TRect{0, 0, 2, 1}, gif_paint::kOwnClock | gif_paint::kAnimate, clock);
  painter.Start();
  EXPECT_EQ(Screen(canvas), (std::vector<uint8_t>{255, 0, 0, 0, 0, 0}));
  painter.PaintNext();
  EXPECT_EQ(Screen(canvas), (std::vector<uint8_t>{0, 0, 255, 0, 255, 0}));
}

TEST(GifCompact, CropRemovesATransparentFrameAndKeepsItsDelay) {
  TGIFImage image;
  image.ScreenWidth = image.ScreenHeight = 4;
  image.GlobalColorMap.Add(0), image.GlobalColorMap.Add(0xFFFFFF);
  for (int k = 0; k < 2; ++k) {
    auto f = std::make_unique<TGIFSubImage>(image);
    f->SetFrameRect(0, 0, 4, 4);
    auto& control = f->EnsureGraphicControl();
    control.TransparentIndex = 0, control.SetTransparent(true), control.Delay = 10;
    image.Add(std::move(f));
  }
  image.Frame(0).PixelAt(1, 2) = 1;
  image.Compact(TGIFImage::kCompactCrop, 0, 0, 8);
  ASSERT_EQ(image.Count(), 1);
  EXPECT_EQ(image.Frame(0).Delay(), 20);
  EXPECT_EQ((std::array{image.Frame(0).Left(), image.Frame(0).Top(), image.Frame(0).Width()}), (std::array<uint16_t, 3>{1, 2, 1}));
}

// A frame of an opaque and a transparent pixel: through the cube, and
// tiled over a larger rectangle keeping what is under the transparent one.
TEST(GifRender, CubeMaskAndTiles) {
  TGIFImage image;
  image.ScreenWidth = 2, image.ScreenHeight = 1;
  image.GlobalColorMap.Add(0xFA640A), image.GlobalColorMap.Add(0);
  image.Add(std::make_unique<TGIFSubImage>(image));
  TGIFSubImage& frame = image.Frame(0);
  frame.SetFrameRect(0, 0, 2, 1);
  frame.Data = {0, 1};
  frame.EnsureGraphicControl().TransparentIndex = 1, frame.GraphicControl->SetTransparent(true);
  const TGIFRenderedFrame cube = RenderFrame(frame, true);
  EXPECT_EQ(std::vector<uint8_t>(cube.Rgb.begin(), cube.Rgb.begin() + 3), (std::vector<uint8_t>{0, 102, 204}));
  EXPECT_EQ(cube.Mask, (std::vector<uint8_t>{0, 1}));
  image.PaintFlags |= gif_paint::kTile;
  TDIB target;
  target.SetSize(5, 2, 24);
  DrawGifImage(image, target, TRect{0, 0, 5, 2});
  std::vector<uint8_t> row;
  for (int x = 0; x < 5; ++x) row.push_back(static_cast<uint8_t>(x % 2 ? 0 : 10)), row.push_back(x % 2 ? 0 : 100), row.push_back(x % 2 ? 0 : 250);
  const std::vector<uint8_t> screen = Screen(target);
  EXPECT_EQ(screen, [&] { auto both = row; both.insert(both.end(), row.begin(), row.end()); return both; }());
}

// A picture file keeps what a GIF leaves clear: on a 4 x 1 screen a frame
// over x 0..2 of an orange pixel, one at the transparent index 1 and an
// opaque black one (index 2) gives orange, clear, black, and x 3, which no
// frame covers, clear; "orbatool img decode" writes the same.
TEST(GifRender, TransparentAndUncoveredPixelsHaveAlphaZero) {
  TGIFImage image;
  image.ScreenWidth = 4, image.ScreenHeight = 1;
  image.GlobalColorMap.Add(0x0A64FA), image.GlobalColorMap.Add(0), image.GlobalColorMap.Add(0);
  image.Add(std::make_unique<TGIFSubImage>(image));
  TGIFSubImage& frame = image.Frame(0);
  frame.SetFrameRect(0, 0, 3, 1);
  frame.Data = {0, 1, 2};
  frame.EnsureGraphicControl().TransparentIndex = 1, frame.GraphicControl->SetTransparent(true);
  const std::vector<uint8_t> expected{250, 100, 10, 255, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0};
  const TRgbaPicture rgba = ComposeFrameRgba(image, 0);
  EXPECT_EQ(std::make_pair(rgba.Width, rgba.Height), std::make_pair(4, 1));
  EXPECT_EQ(rgba.Pixels, expected);
  const test::TempDir dir;
  test::WriteFileBytes(dir / "in.gif", Save(image));
  ASSERT_EQ(test::RunOrbaTool({"img", "decode", dir / "in.gif", dir / "out.pam"}).exit_code, 0);
  const std::vector<uint8_t> pam = test::ReadFileBytes(dir / "out.pam");
  ASSERT_GE(pam.size(), expected.size());
  EXPECT_EQ(std::vector<uint8_t>(pam.end() - 16, pam.end()), expected);
}

// Compacting with every option leaves the animation looking the same: the
// repeated pixels of frame 1 become transparent and are cropped away.
TEST(GifCompact, EveryOptionKeepsTheComposedFrames) {
  TGIFImage image;
  image.ScreenWidth = 12, image.ScreenHeight = 8;
  for (uint32_t c : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0x808080u, 0x102030u}) image.GlobalColorMap.Add(c);
  for (int k = 0; k < 3; ++k) {
    auto f = std::make_unique<TGIFSubImage>(image);
    f->SetFrameRect(0, 0, 12, 8);
    for (int i = 0; i < 96; ++i) f->Data[static_cast<size_t>(i)] = static_cast<uint8_t>((i / 7) % 4);
    if (k > 0) f->PixelAt(3 + k, 2) = 4, f->PixelAt(5, 4 + k) = 2;
    f->EnsureGraphicControl().Delay = 5;
    image.Add(std::move(f));
  }
  auto comment = std::make_unique<TGIFCommentExtension>(image.Frame(0));
  comment->Text = {"dropped"};
  image.Frame(0).AddExtension(std::move(comment));
  std::vector<std::vector<uint8_t>> before;
  for (int k = 0; k < 3; ++k) {
    TDIB screen;
    ComposeFrame(image, k, screen);
    before.push_back(Screen(screen));
  }
  image.Compact(0x0F, 0, 0, 8);
  ASSERT_EQ(image.Count(), 3);
  EXPECT_EQ(image.Frame(0).Extensions.size(), 1u);  // the comment went, the delay stays
  EXPECT_EQ((std::array{image.Frame(2).Left(), image.Frame(2).Top(), image.Frame(2).Width(), image.Frame(2).Height()}),
            (std::array<uint16_t, 4>{4, 2, 2, 5}));
  TLoaded back = Load(Save(image));
  for (int k = 0; k < 3; ++k) {
    TDIB screen;
    ComposeFrame(*back.image, k, screen);
    EXPECT_EQ(Screen(screen), before[static_cast<size_t>(k)]) << k;
  }
}

// "orbatool img gif" of a paletted BMP (written by the fixture from the file
// layout, one colour repeated in two entries): the frame's table is the
// bitmap's, entry for entry, and its pixels the bitmap's indices, as our
// reader and Pillow read the GIF back.
class GifPaletted : public ::testing::TestWithParam<int> {};

std::pair<std::string, std::string> PaletteAndIndices(const std::string& output) {
  std::istringstream lines(output);
  std::string word, palette, indices;
  lines >> word >> palette >> word >> indices;
  return {palette, indices};
}

std::string Hex(const uint8_t* bytes, size_t count) {
  std::string hex = test::ToHex(std::vector<uint8_t>(bytes, bytes + count));
  hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
  return hex;
}

TEST_P(GifPaletted, ARoundTripKeepsTheExactPalette) {
  const int bits = GetParam();
  const test::TempDir dir;
  const test::CommandResult made =
      test::RunPython("fixtures/gif_fixtures.py", {"paletted", dir / "in.bmp", std::to_string(bits), "7"});
  ASSERT_EQ(made.exit_code, 0);
  const auto [palette, indices] = PaletteAndIndices(made.output);
  ASSERT_EQ(palette.size(), size_t{6} << bits);
  ASSERT_EQ(test::RunOrbaTool({"img", "gif", dir / "out.gif", dir / "in.bmp"}).exit_code, 0);

  TLoaded ours = Load(test::ReadFileBytes(dir / "out.gif"));
  ASSERT_EQ(ours.error, "no error");
  ASSERT_EQ(ours.image->Count(), 1);
  const TGIFSubImage& frame = ours.image->Frame(0);
  const TGIFColorMap& table = frame.ActiveColorMap();
  EXPECT_EQ(table.Count(), 1 << bits);
  EXPECT_EQ(Hex(table.Data(), static_cast<size_t>(table.Count()) * 3), palette);
  EXPECT_EQ(Hex(frame.Data.data(), frame.Data.size()), indices);

  const test::CommandResult pillow = test::RunPython("fixtures/gif_fixtures.py", {"palette", dir / "out.gif"});
  ASSERT_EQ(pillow.exit_code, 0);
  EXPECT_EQ(PaletteAndIndices(pillow.output), std::make_pair(palette, indices));
}

INSTANTIATE_TEST_SUITE_P(Bits, GifPaletted, ::testing::Values(1, 4, 8),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "Bits";
                         });

// A bitmap with a mask: the table is sorted by use (unused entries go) and
// gains the transparent colour; with all 256 entries in use there is no
// room, and the frame stays opaque. A 24-bit bitmap goes through the
// colour reduction, which with method 0 keeps its colours.
TEST(GifConvert, BitmapsWithAMaskAndOfOtherDepths) {
  TGIFImage image;
  TDIB four;
  four.SetSize(4, 1, 4);
  for (int32_t i = 0; i < 16; ++i) four.ColorTable[static_cast<size_t>(i)] = MakeQuad(static_cast<uint8_t>(i * 16), 0, 0);
  four.CommitTable();
  for (int32_t x = 0; x < 4; ++x) four.SetPixel(x, 0, x < 3 ? 5 : 9);
  const uint8_t mask[4] = {0, 0, 1, 0};
  TGIFSubImage masked(image);
  masked.AssignBitmap(four, mask);
  // Index 5 (used twice) first, then 9, then the transparent black.
  EXPECT_EQ(Hex(masked.ColorMap.Data(), static_cast<size_t>(masked.ColorMap.Count()) * 3), "500000900000000000");
  EXPECT_EQ(masked.Data, (std::vector<uint8_t>{0, 0, 2, 1}));
  EXPECT_EQ(masked.TransparentIndex(), 2);

  TDIB full;
  full.SetSize(256, 1, 8);
  for (int32_t i = 0; i < 256; ++i) {
    full.ColorTable[static_cast<size_t>(i)] = MakeQuad(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7);
    full.SetPixel(i, 0, static_cast<uint32_t>(i));
  }
  full.CommitTable();
  std::vector<uint8_t> one(256, 0);
  one[3] = 1;
  TGIFSubImage crowded(image);
  crowded.AssignBitmap(full, one.data());
  EXPECT_EQ(crowded.ColorMap.Count(), 256);
  EXPECT_EQ(crowded.TransparentIndex(), -1);

  TDIB deep;
  deep.SetSize(3, 1, 24);
  const uint8_t rgb[9] = {1, 2, 3, 200, 100, 50, 1, 2, 3};
  deep.WriteRowRGB(0, rgb);
  image.PaletteMethod = 0;  // no reduction below 257 colours
  TGIFSubImage reduced(image);
  reduced.AssignBitmap(deep, nullptr);
  EXPECT_EQ(Hex(reduced.ColorMap.Data(), static_cast<size_t>(reduced.ColorMap.Count()) * 3), "010203c86432");
  EXPECT_EQ(reduced.Data, (std::vector<uint8_t>{0, 1, 0}));
}

}  // namespace
}  // namespace orba
