// Icon and cursor files: hand-worked images of every form, hostile and
// damaged files, files of other programs against Pillow, and our writer's
// files listed by icotool and read back by Pillow and our reader.
#include "graphics/icon_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <new>
#include <stdexcept>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "core/errors.h"
#include "core/streams/byte_order.h"
#include "core/system/trace.h"
#include "graphics/graphic_errors.h"
#include "graphics/icon_preview.h"
#include "graphics/picture_fixtures.h"
#include "platform_sdl/xvfb_run.h"
#include "platform/choice_window.h"
#include "platform/dialogs.h"
#include "platform/headless/scripted_dialogs.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using TRow = std::vector<uint32_t>;

struct TIconRead {
  TPoint HotSpot;
  bool HasAlpha = false;
  int64_t Key = 0;
};

TIconRead Read(TDIBSurface& s, const std::vector<uint8_t>& bytes, bool keep_alpha, int64_t colour = kIconKeyColor) {
  TKsMemoryStream stream(bytes);
  TIconRead r;
  r.Key = colour;
  ReadIcon(s, stream, r.HotSpot, r.HasAlpha, keep_alpha, r.Key);
  return r;
}

std::vector<uint8_t> Write(TDIBSurface& s, bool cursor, TPoint hotspot, bool write32, TDIBSurface* alpha, int64_t key) {
  TKsMemoryStream stream;
  WriteIcon(s, stream, cursor, hotspot, write32, alpha, key);
  return stream.TakeBytes();
}

// A one-image icon of 2 x 1 pixels: directory, header, then `body` (table,
// colour rows and AND rows).
std::vector<uint8_t> TinyIcon(int bits, const std::string& body, int compression = 0) {
  std::vector<uint8_t> b = FromHex(body);
  const uint32_t size = 40 + static_cast<uint32_t>(b.size());
  std::vector<uint8_t> file = FromHex("00 00 01 00 01 00  02 01 00 00 01 00 00 00");
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(size >> (8 * i)));
  // Directory ends at 22; the 40-byte header follows.
  std::vector<uint8_t> info = FromHex("16 00 00 00  28 00 00 00 02 00 00 00 02 00 00 00 01 00");
  info.insert(info.end(), {static_cast<uint8_t>(bits), 0, static_cast<uint8_t>(compression)});
  info.resize(44, 0);
  test::Append(file, info);
  test::Append(file, b);
  return file;
}

// The first of `n` RGBA pixels where `b` differs from `a`: in alpha, or in
// colour (compared at 8 - shift bits) where `a` is not clear; -1 when none.
int64_t FirstDifference(const uint8_t* a, const uint8_t* b, size_t n, int shift = 0) {
  for (size_t i = 0; i < 4 * n; i += 4) {
    if (a[i + 3] != b[i + 3]) return static_cast<int64_t>(i / 4);
    for (size_t k = 0; k < 3 && a[i + 3] != 0; ++k)
      if (a[i + k] >> shift != b[i + k] >> shift) return static_cast<int64_t>(i / 4);
  }
  return -1;
}

TEST(IconRead, HandWorkedImagesOfEveryForm) {
  TDIBSurface bmp;
  bmp.SetSize(3, 2, 24);
  bmp.SetPixel(1, 1, 0x112233);
  TKsMemoryStream bmp_bytes;
  bmp.TDIB::SaveToStream(bmp_bytes);
  std::string table;  // entry 0 used, the rest free
  for (int i = 0; i < 256; ++i) table += i == 0 ? "10 20 30 00 " : "00 00 00 00 ";
  struct TCase {
    const char* what;
    std::vector<uint8_t> file;
    bool keep_alpha;
    int64_t colour, key;
    bool has_alpha;  // a 32-bit image
    int32_t bits;
    TRow pixels, alpha;  // alpha empty: no plane
  };
  const TCase cases[] = {
      {"a BMP file loads as that bitmap", bmp_bytes.TakeBytes(), false, kIconKeyColor, -1, false, 24, {0, 0, 0, 0, 0x112233, 0}, {}},
      // Pixel 0 alpha 0x80, pixel 1 alpha 0xff but masked out by the AND bit.
      {"32 bits: the fourth bytes and the AND mask", TinyIcon(32, "01 02 03 80  04 05 06 ff  40 00 00 00"), false, kIconKeyColor, -1,
       true, 24, {0x030201, 0x060504}, {0x80, 0}},
      // Every fourth byte 0: the AND mask alone gives the shape.
      {"32 bits of plain RGB", TinyIcon(32, "01 02 03 00  04 05 06 00  80 00 00 00"), false, kIconKeyColor, -1, true, 24,
       {0x030201, 0x060504}, {0, 255}},
      {"32 bits with bit fields: masks first, then the rows",
       TinyIcon(32, "00 00 ff 00 00 ff 00 00 ff 00 00 00  01 02 03 ff  04 05 06 ff  00 00 00 00", 3), false, kIconKeyColor, -1, true, 24,
       {0x030201, 0x060504}, {255, 255}},
      // Pixels 0 and 1, the second transparent: the key is the lowest unused index.
      {"8 bits keyed by a free index", TinyIcon(8, table + "00 01 00 00  40 00 00 00"), false, 0xFF00FF, 2, false, 8, {0, 2}, {}},
      {"8 bits keeping the AND mask as alpha", TinyIcon(8, table + "00 01 00 00  40 00 00 00"), true, kIconKeyColor, -1, false, 8,
       {0, 1}, {255, 0}},
  };
  for (const TCase& c : cases) {
    TDIBSurface s;
    const TIconRead r = Read(s, c.file, c.keep_alpha, c.colour);
    EXPECT_EQ(std::tuple(r.Key, r.HasAlpha, s.GetBitCount(), test::PixelsOf(s)),
              std::tuple(c.key, c.has_alpha, c.bits, c.pixels))
        << c.what;
    ASSERT_EQ(s.Alpha() != nullptr, !c.alpha.empty()) << c.what;
    if (!c.alpha.empty()) {
      EXPECT_EQ(test::RowOf(*s.Alpha(), 0), c.alpha) << c.what;
    }
    if (c.key == 2) {
      EXPECT_EQ(s.ImageTable()[2], MakeQuad(0xFF, 0, 0xFF));
    }
  }
}

TEST(IconRead, EightBitsWithEveryIndexUsedTakeTheNearestEntry) {
  // A 256 x 1 image using every index; entry i is grey i, the key colour grey 77.
  std::vector<uint8_t> file = FromHex("00 00 01 00 01 00  00 01 00 00 01 00 08 00 00 00 00 00 16 00 00 00");
  std::vector<uint8_t> info = FromHex("28 00 00 00 00 01 00 00 02 00 00 00 01 00 08 00");
  info.resize(40, 0);
  test::Append(file, info);
  for (int i = 0; i < 256; ++i) file.insert(file.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  for (int i = 0; i < 256; ++i) file.push_back(static_cast<uint8_t>(i));
  std::vector<uint8_t> mask(32, 0);
  mask[0] = 0x80;  // pixel 0 transparent
  test::Append(file, mask);
  const uint32_t size = static_cast<uint32_t>(file.size() - 22);
  for (int i = 0; i < 4; ++i) file[14 + i] = static_cast<uint8_t>(size >> (8 * i));
  TDIBSurface s;
  EXPECT_EQ(Read(s, file, false, 0x4D4D4D).Key, 77);
  EXPECT_EQ(s.GetPixel(0, 0), 77u);
}

// Two one-image files joined into one directory of two entries: a 4 x 3
// 24-bit image whose pixel (0, 0) is 0x0000FF, then a 2 x 2 8-bit one.
// Two one-image icon files as one file of two images.
std::vector<uint8_t> JoinIcons(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<uint8_t> file = {0, 0, 1, 0, 2, 0};
  // Room for all of it at once (GCC otherwise warns about the growth of
  // the six-byte head).
  file.reserve(a.size() + b.size() - 6);
  file.insert(file.end(), a.begin() + 6, a.begin() + 22);
  file.insert(file.end(), b.begin() + 6, b.begin() + 22);
  WriteLE32(&file[6 + 12], 38);                                                // first image after both entries
  WriteLE32(&file[22 + 12], static_cast<uint32_t>(38 + a.size() - 22));  // second after the first
  file.insert(file.end(), a.begin() + 22, a.end());
  file.insert(file.end(), b.begin() + 22, b.end());
  return file;
}

std::vector<uint8_t> TwoImageIcon() {
  TDIBSurface big, small;
  big.SetSize(4, 3, 24);
  big.SetPixel(0, 0, 0x0000FF);
  small.SetSize(2, 2, 8);
  return JoinIcons(Write(big, false, TPoint{}, false, nullptr, -1), Write(small, false, TPoint{}, false, nullptr, -1));
}

TEST(IconRead, OfSeveralImagesTheFirstIsTakenWithoutAsking) {
  const std::vector<uint8_t> file = TwoImageIcon();
  TDIBSurface s;
  Read(s, file, false);
  EXPECT_EQ(std::pair(s.Width(), s.GetPixel(0, 0)), std::pair(4, 0x0000FFu));
  TKsMemoryStream stream(file);
  TIconRead r;
  DecodeIconEntry(s, stream, 1, r.HotSpot, r.HasAlpha, true, r.Key);
  EXPECT_EQ(s.Width(), 2);
}

// With AllowChoice the chooser lists a line an image ("%.3d : width x half
// the stored height  bits bpp") and its answer picks the image; a list
// closed without a pick, or an answer past the list, keeps the first.
TEST(IconRead, AllowChoiceAsksTheChooserALineAnImage) {
  const std::vector<uint8_t> file = TwoImageIcon();
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  const auto previous = SetMessageBoxService(boxes);
  struct Case {
    std::optional<TDialogResult> answer;
    int32_t width;
  };
  for (const Case& c : {Case{TDialogResult{TDialogAnswer::Custom, 1}, 2}, Case{std::nullopt, 4},
                        Case{TDialogResult{TDialogAnswer::Cancel, -1}, 4},
                        Case{TDialogResult{TDialogAnswer::Custom, 2}, 4}}) {
    if (c.answer) boxes->Push(c.answer->Answer, c.answer->CustomIndex);
    TDIBSurface s;
    TKsMemoryStream stream(file);
    TIconRead r;
    r.Key = kIconKeyColor;
    ReadIcon(s, stream, r.HotSpot, r.HasAlpha, false, r.Key, true);
    EXPECT_EQ(s.Width(), c.width);
  }
  ASSERT_EQ(boxes->Lists().size(), 4u);
  EXPECT_EQ(boxes->Lists()[0].Title, "Select One from Multiple Icons");
  EXPECT_EQ(boxes->Lists()[0].Lines, (std::vector<std::string>{"001 : 4 x 3  24 bpp", "002 : 2 x 2  8 bpp"}));
  // Without AllowChoice, and for a file of one image, nothing is asked.
  TDIBSurface s;
  Read(s, file, false);
  TKsMemoryStream one(TinyIcon(24, "01 02 03 04 05 06 00 00  00 00 00 00"));
  TIconRead r;
  ReadIcon(s, one, r.HotSpot, r.HasAlpha, false, r.Key, true);
  EXPECT_EQ(boxes->Lists().size(), 4u);
  SetMessageBoxService(previous);
}

// The chooser's picture of each image of a two-image file, as the scripted
// chooser shows it when it closes: a 16 x 8 4-bit image whose pixel (0, 0)
// is transparent sits unscaled in the middle of white; a 200 x 120 32-bit
// image whose top-left 20 x 20 is clear is shrunk by half to 100 x 60,
// centred from row 20, its clear corner white. The window shows the picture
// at (180, 16) and highlights the selected line.
TEST(IconChooser, ThePictureIsTheImageOverWhiteCentredAndShrunkToFit) {
  TDIBSurface small;
  small.SetSize(16, 8, 4);
  small.ColorTable[1] = MakeQuad(0, 200, 0);
  small.ColorTable[2] = MakeQuad(9, 9, 9);
  small.CommitTable();
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) small.SetPixel(x, y, x == 0 && y == 0 ? 2 : 1);
  TDIBSurface large, alpha;
  large.SetSize(200, 120, 24);
  alpha.ColorTable = GreyRamp();
  alpha.SetSize(200, 120, 8);
  alpha.CommitTable();
  const std::vector<uint8_t> red_row = [] {
    std::vector<uint8_t> row;
    for (int i = 0; i < 200; ++i) row.insert(row.end(), {230, 10, 20});
    return row;
  }();
  for (int32_t y = 0; y < 120; ++y) {
    large.WriteRowRGB(y, red_row.data());
    for (int32_t x = 0; x < 200; ++x) alpha.SetPixel(x, y, x < 20 && y < 20 ? 0 : 255);
  }
  const std::vector<uint8_t> file = JoinIcons(Write(small, false, TPoint{}, false, nullptr, 2),
                                              Write(large, false, TPoint{}, true, &alpha, -1));

  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  const auto previous = SetMessageBoxService(boxes);
  boxes->Push(TDialogAnswer::Custom, 1);
  for (int pick = 0; pick < 2; ++pick) {
    TDIBSurface s;
    TKsMemoryStream stream(file);
    TIconRead r;
    r.Key = kIconKeyColor;
    ReadIcon(s, stream, r.HotSpot, r.HasAlpha, false, r.Key, true);
  }
  SetMessageBoxService(previous);
  ASSERT_EQ(boxes->Pictures().size(), 2u);

  using TRgb = std::array<uint8_t, 3>;
  const TRgb white{255, 255, 255}, green{0, 200, 0}, red{230, 10, 20};
  auto at = [](const TChoicePicture& p, int32_t x, int32_t y) {
    const uint8_t* c = &p.Rgb[(static_cast<size_t>(y) * p.Width + x) * 3];
    return TRgb{c[0], c[1], c[2]};
  };
  struct Probe {
    int picture;
    int32_t x, y;
    TRgb want;
    const char* where;
  };
  const Probe probes[] = {
      {0, 50, 19, white, "above the shrunk image"},      {0, 50, 20, red, "its top row"},
      {0, 50, 79, red, "its bottom row"},               {0, 50, 80, white, "below it"},
      {0, 0, 50, red, "its left edge"},                 {0, 99, 50, red, "its right edge"},
      {0, 5, 25, white, "its clear corner, halved"},     {0, 12, 25, red, "beside the corner"},
      {0, 5, 32, red, "below the corner"},              {1, 42, 46, white, "the small image's clear pixel"},
      {1, 43, 46, green, "its first row"},               {1, 41, 47, white, "left of it"},
      {1, 57, 53, green, "its last pixel"},              {1, 58, 53, white, "right of it"},
      {1, 57, 54, white, "below it"},                    {1, 50, 45, white, "above it"},
  };
  for (const Probe& p : probes) {
    const TChoicePicture& picture = boxes->Pictures()[static_cast<size_t>(p.picture)];
    ASSERT_EQ(std::make_pair(picture.Width, picture.Height), std::make_pair(100, 100));
    EXPECT_EQ(at(picture, p.x, p.y), p.want) << p.where;
  }

  // The window of the first list: the picture in its place, line 2 selected.
  const std::vector<uint32_t>& window = boxes->Windows()[0];
  ASSERT_EQ(window.size(), size_t{TChoiceWindow::kWidth} * TChoiceWindow::kHeight);
  auto window_at = [&](int32_t x, int32_t y) { return window[static_cast<size_t>(y) * TChoiceWindow::kWidth + x]; };
  EXPECT_EQ(window_at(180 + 50, 16 + 50), 0xE60A14u);
  EXPECT_EQ(window_at(180 + 50, 16 + 10), 0xFFFFFFu);
  const TChoiceWindow probe_window(TChoiceRequest{"", {"a", "b"}, nullptr});
  const int32_t line_h = probe_window.LineHeight();
  EXPECT_EQ(window_at(150, 9 + line_h + line_h / 2), TChoiceWindow::kHighlight);
  EXPECT_EQ(window_at(150, 9 + line_h / 2), TChoiceWindow::kWhite);
}

// A damaged entry gives a white picture; reading it still fails.
TEST(IconChooser, ADamagedEntryShowsWhiteAndItsReadFails) {
  std::vector<uint8_t> file = TwoImageIcon();
  // The second image's information header claims 3 bits a pixel.
  const uint32_t second = ReadLE32(&file[22 + 12]);
  file[second + 14] = 3;
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  const auto previous = SetMessageBoxService(boxes);
  boxes->Push(TDialogAnswer::Custom, 1);
  TDIBSurface s;
  TKsMemoryStream stream(file);
  TIconRead r;
  const std::string error = test::ErrorOf<EInvalidGraphic>([&] {
    ReadIcon(s, stream, r.HotSpot, r.HasAlpha, false, r.Key, true);
  });
  SetMessageBoxService(previous);
  EXPECT_EQ(error, kIconDamagedText);
  ASSERT_EQ(boxes->Pictures().size(), 1u);
  const std::vector<uint8_t>& rgb = boxes->Pictures()[0].Rgb;
  EXPECT_TRUE(std::all_of(rgb.begin(), rgb.end(), [](uint8_t v) { return v == 255; }));
}

// A stream that fails as a library or an allocation would when a read
// touches its bytes [From, To): the chooser's picture of an image there
// meets the failure.
class TFailingStream : public TKsMemoryStream {
 public:
  TFailingStream(std::vector<uint8_t> bytes, int64_t from, int64_t to, std::function<void()> fail)
      : TKsMemoryStream(std::move(bytes)), from_(from), to_(to), fail_(std::move(fail)) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (GetPosition() < to_ && GetPosition() + count > from_) fail_();
    return TKsMemoryStream::Read(buffer, count);
  }

 private:
  int64_t from_, to_;
  std::function<void()> fail_;
};

// Whatever the picture of an entry throws, the chooser stays open on the
// line, shows no picture (white) and the trace names the failure; the next
// line's picture shows again.
TEST(IconChooser, AnyFailureOfAPictureShowsWhiteTracedAndKeepsTheChooser) {
  struct Case {
    const char* name;
    std::function<void()> fail;
    const char* traced;
  };
  const Case cases[] = {
      {"an allocation", [] { throw std::bad_alloc(); }, "icon chooser picture: std::bad_alloc"},
      {"a length", [] { throw std::length_error("vector"); }, "icon chooser picture: vector"},
      {"a library's runtime error", [] { throw std::runtime_error("codec"); }, "icon chooser picture: codec"},
      {"no std::exception", [] { throw 7; }, "icon chooser picture: unknown error"},
  };
  const std::vector<uint8_t> file = TwoImageIcon();
  // The first image's bytes fail; the directory and the second image read.
  const int64_t first = ReadLE32(&file[6 + 12]), second = ReadLE32(&file[22 + 12]);
  ASSERT_LT(first, second);
  for (const Case& c : cases) {
    std::vector<std::string> trace;
    SetTraceSink([&trace](const std::string& line) { trace.push_back(line); });
    TFailingStream stream(file, first, second, c.fail);
    TChoiceWindow window(TChoiceRequest{"t", {"001", "002"}, [&stream](int line) {
                                          return IconPreviewPicture(stream, 0, line);
                                        }});
    const std::vector<uint8_t> white(100 * 100 * 3, 255);
    EXPECT_EQ(window.Picture().Rgb, white) << c.name;
    EXPECT_EQ(trace, std::vector<std::string>{c.traced}) << c.name;
    window.Key(TTextControl::kVkDown);
    EXPECT_FALSE(window.Closed()) << c.name;
    EXPECT_EQ(window.Selected(), 1) << c.name;
    EXPECT_NE(window.Picture().Rgb, white) << c.name;
    SetTraceSink(nullptr);
  }
}

// orbatool img decode --choose without a display: the chooser's lines on
// standard error, the number typed on standard input picks the image; Enter
// keeps the first; without --choose nothing is asked.
TEST(IconRead, TheToolsChooseOptionAsksOnTheTerminal) {
  const test::TempDir dir;
  test::WriteFileBytes(dir / "two.ico", TwoImageIcon());
  const std::string tool = ORBA_TOOL_PATH;
  for (const auto& [typed, options, size] :
       {std::tuple{"2", "--choose", "(2, 2)"}, {"", "--choose", "(4, 3)"}, {"2", "", "(4, 3)"}}) {
    SCOPED_TRACE(std::string(typed) + " " + options);
    const test::CommandResult r =
        test::RunCommand({"/bin/sh", "-c",
                          "printf '" + std::string(typed) + "\\n' | env -u DISPLAY -u WAYLAND_DISPLAY \"$0\" img decode " +
                              options + " \"$1\" \"$2\" 2>&1",
                          tool, dir / "two.ico", dir / "out.png"});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c",
                                "import sys\nfrom PIL import Image\nprint(Image.open(sys.argv[1]).size)\n",
                                dir / "out.png"}).output,
              std::string(size) + "\n");
    if (std::string(options).empty()) EXPECT_EQ(r.output.find("Select One"), std::string::npos) << r.output;
    else EXPECT_NE(r.output.find("Select One from Multiple Icons\n  001 : 4 x 3  24 bpp\n  002 : 2 x 2  8 bpp\n"),
                   std::string::npos) << r.output;
  }
}

// orbatool img decode --choose on an Xvfb display (with openbox): the
// chooser opens as a window of the display on the first line, highlighted,
// with its picture; End and Return typed there pick the second image, and
// nothing is listed on the terminal.
TEST(IconRead, TheToolsChooseOptionOpensTheChooserOnADisplay) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb && command -v openbox && command -v xdotool && command -v import"})
          .exit_code != 0)
    GTEST_SKIP() << "Xvfb, openbox, xdotool or ImageMagick is not installed";
  const test::TempDir dir;
  test::WriteFileBytes(dir / "two.ico", TwoImageIcon());
  const std::string script =
      test::XvfbPrologue("800x600", "\"$1/display\"", true) + "unset SDL_VIDEODRIVER\n"
      "\"$0\" img decode --choose \"$1/two.ico\" \"$1/out.png\" </dev/null & t=$!\n"
      "id=$(timeout 60 xdotool search --sync --onlyvisible --pid $t | head -n 1)\n"
      "sleep 1 && import -window \"$id\" \"$1/chooser.png\" && xdotool windowactivate --sync \"$id\" key End Return\n"
      "wait $t";
  const test::CommandResult r = test::RunCommand({"sh", "-c", script, ORBA_TOOL_PATH, dir.path()});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output.find("Select One"), std::string::npos) << r.output;
  const std::string probe =
      "import sys\nfrom PIL import Image\nout = Image.open(sys.argv[1])\nwin = Image.open(sys.argv[2]).convert('RGB')\n"
      "print(out.size, win.size, win.getpixel((150, 11)), win.getpixel((180, 16)))\n";
  // The chooser: 290 x 180, its first line highlighted; the first image's
  // top-left pixel (blue) at the picture's corner, 4 x 3 unscaled in the
  // middle of the 100 x 100 box, white there.
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", probe, dir / "out.png", dir / "chooser.png"}).output,
            "(2, 2) (290, 180) (0, 120, 215) (255, 255, 255)\n");
}

TEST(IconRead, HostileFilesEndInErrorsAndDamagedFilesLoadOrFailCleanly) {
  std::vector<uint8_t> outside = TinyIcon(24, "01 02 03 04 05 06 00 00  00 00 00 00"), huge = outside;
  outside[18] = 0xF0;                  // an entry whose image lies outside the file
  huge[22 + 4] = 0, huge[22 + 6] = 1;  // a header claiming a 65536-pixel-wide picture in a small file
  const std::vector<std::vector<uint8_t>> cases = {
      outside, huge,
      FromHex("00 00 01 00"),                                    // short directory
      FromHex("00 00 01 00 00 00"),                              // no images
      FromHex("00 00 07 00 01 00 " + std::string(16 * 3, '0')),  // no such type
      FromHex("00 00 01 00 ff ff"),                              // entries beyond the file
      TinyIcon(32, "01 02 03 80"),                               // rows cut short
      TinyIcon(7, "00 00 00 00 00 00 00 00"),                    // no such depth
      TinyIcon(8, "00 00 00 00"),                                // table cut short
      TinyIcon(24, "00 00 00 00 00 00 00 00 00 00 00 00", 1),    // compressed
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    TDIBSurface s;
    EXPECT_THROW(Read(s, cases[i], false), EOrbaError) << i;
  }
  TDIBSurface source;
  source.SetSize(5, 4, 8);
  for (int32_t x = 0; x < 5; ++x) source.SetPixel(x, 1, static_cast<uint32_t>(x));
  test::LoadDamagedCopies(Write(source, true, TPoint{1, 2}, false, nullptr, 0), 11, 2, 80, 5,
                          [](const std::vector<uint8_t>& bad, int round) {
                            TDIBSurface s;
                            Read(s, bad, round % 2 == 0);
                          });
}

TEST(IconRead, FilesOfOtherProgramsDecodeAsPillowDoes) {
  test::TempDir dir;
  ASSERT_EQ(test::RunPython("fixtures/ico_fixtures.py", {dir.path()}).exit_code, 0);
  std::ifstream manifest(dir / "manifest.txt");
  std::string name;
  int32_t hx = 0, hy = 0, files = 0;
  while (manifest >> name >> hx >> hy) {
    ++files;
    TDIBSurface s, keyed;
    const TIconRead r = Read(s, test::ReadFileBytes(dir / name), true);
    EXPECT_EQ(r.HotSpot, (TPoint{hx, hy})) << name;
    const TRgbaPicture ours = SurfaceToRgba(s, -1);
    const std::vector<uint8_t> ref = test::ReadFileBytes(dir / (name.substr(0, name.size() - 4) + ".rgba"));
    ASSERT_EQ(ref.size(), 8 + ours.Pixels.size()) << name;
    EXPECT_EQ(FirstDifference(ours.Pixels.data(), ref.data() + 8, ours.Pixels.size() / 4), -1) << name;
    // With a key colour instead, the transparent pixels carry the key (an
    // opaque pixel may share it when no palette index was free).
    const TRgbaPicture with_key = SurfaceToRgba(keyed, Read(keyed, test::ReadFileBytes(dir / name), false).Key);
    for (size_t i = 0; i < ours.Pixels.size(); i += 4) {
      if (ours.Pixels[i + 3] == 0) {
        ASSERT_EQ(with_key.Pixels[i + 3], ours.Pixels[i + 3]) << name << " keyed pixel " << i / 4;
      }
    }
  }
  EXPECT_GE(files, 10);
  // The tool reads icons and cursors by extension alike.
  EXPECT_EQ(test::RunOrbaTool({"img", "decode", dir / "hand_8_cursor.cur", dir / "out.png"}).exit_code, 0);
}

TEST(IconWrite, WrittenFilesListInIcotoolAndReadBackInPillowAndOurReader) {
  test::TempDir dir;
  struct TWriteCase {
    int32_t Bits;
    bool Cursor, Write32, UseKey;
  };
  const TWriteCase cases[] = {{1, false, false, true},  {4, false, false, true}, {8, true, false, true},
                              {24, false, false, false}, {24, true, true, false}, {16, false, false, true},
                              {32, false, true, false},  {8, false, true, false}};
  int n = 0;
  for (const TWriteCase& c : cases) {
    TDIBSurface s, alpha, back;
    for (int i = 0; i < 256 && c.Bits <= 8; ++i)
      s.ColorTable[static_cast<size_t>(i)] = MakeQuad(uint8_t(i * 5 + 9), uint8_t(i * 11), uint8_t(i * 3 + 1));
    s.SetSize(20, 12, c.Bits);
    s.CommitTable();
    alpha.SetSize(20, 12, 8);
    const uint32_t key = 1;
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 20; ++x) {
        const bool clear = (x * y) % 7 == 3;
        uint32_t v = static_cast<uint32_t>(x * 37 + y * 101 + 2) % (c.Bits <= 8 ? (1u << c.Bits) : 0x10000u);
        if (v == key) v = 0;
        s.SetPixel(x, y, clear && c.UseKey ? key : v);
        alpha.SetPixel(x, y, clear ? 0 : c.Write32 ? static_cast<uint32_t>(40 + x * 10) : 255);
      }
    const TPoint hotspot{c.Cursor ? 7 : 0, c.Cursor ? 3 : 0};
    const std::vector<uint8_t> file =
        Write(s, c.Cursor, hotspot, c.Write32, c.UseKey ? nullptr : &alpha, c.UseKey ? int64_t{key} : int64_t{-1});
    const std::string name = "w" + std::to_string(n++) + (c.Cursor ? ".cur" : ".ico");
    const TRgbaPicture pillow = test::PillowDecode(dir.path(), name, file);
    const int32_t depth = c.Write32 ? 32 : c.Bits > 8 ? 24 : c.Bits;
    const auto listed = test::RunCommand({"icotool", "-l", dir / name});
    if (!c.Cursor) {
      EXPECT_EQ(listed.output, std::string("--icon --index=1 --width=20 --height=12 --bit-depth=") + std::to_string(depth) +
                                   " --palette-size=" + std::to_string(depth <= 8 ? 1 << depth : 0) + "\n");
    } else {
      // icotool reads the depth of a cursor from its bitmap; the entry holds the hotspot.
      EXPECT_NE(listed.output.find("--hotspot-x=7 --hotspot-y=3"), std::string::npos) << listed.output;
    }
    const TIconRead r = Read(back, file, true);
    EXPECT_EQ(r.HotSpot, hotspot);
    ASSERT_EQ(std::pair(back.Width(), back.Alpha() != nullptr), std::pair(20, true)) << name;
    const TRgbaPicture ours = SurfaceToRgba(back, -1);
    TRgbaPicture expected = SurfaceToRgba(s, -1);
    for (int32_t i = 0; i < 20 * 12; ++i) expected.Pixels[4 * i + 3] = static_cast<uint8_t>(alpha.GetPixel(i % 20, i / 20));
    ASSERT_EQ(pillow.Pixels.size(), ours.Pixels.size());
    // 5-6-5 pixels travel through 24 bits: compare at their own precision.
    const int shift = c.Bits == 16 ? 3 : 0;
    EXPECT_EQ(FirstDifference(expected.Pixels.data(), ours.Pixels.data(), 20 * 12, shift), -1) << name;
    if (!c.Cursor) {
      EXPECT_EQ(FirstDifference(expected.Pixels.data(), pillow.Pixels.data(), 20 * 12, shift), -1) << name;
    }
  }
}

TEST(IconWrite, CursorHotspotAndSizeLimit) {
  TDIBSurface s;
  s.SetSize(4, 4, 24);
  // A cursor carries its hotspot in the planes and bit count fields.
  const std::vector<uint8_t> file = Write(s, true, TPoint{2, 3}, false, nullptr, -1);
  EXPECT_EQ(test::ToHex({file.begin(), file.begin() + 14}), "00 00 02 00 01 00 04 04 00 00 02 00 03 00");
  s.SetSize(257, 2, 24);
  EXPECT_THROW(Write(s, false, TPoint{}, false, nullptr, -1), EInvalidGraphicOperation);
}

TEST(IconFile, SurfaceLoadsByExtensionWithAKeyColour) {
  test::TempDir dir;
  TDIBSurface s, back;
  s.SetSize(3, 3, 24);
  s.SetPixel(1, 1, 0x00FF00);
  test::WriteFileBytes(dir / "p.CUR", Write(s, true, TPoint{1, 2}, false, nullptr, 0));
  const auto loaded = back.LoadFromFileEx(dir / "p.CUR", false, false);
  EXPECT_EQ(std::pair(loaded.HotSpot, loaded.TransparentColor), std::pair(TPoint{1, 2}, 0xFF00FF));  // magenta as a 24-bit pixel
  EXPECT_EQ(std::pair(test::RowOf(back, 1), back.Alpha() == nullptr), std::pair(TRow{0xFF00FF, 0x00FF00, 0xFF00FF}, true));
}

}  // namespace
}  // namespace orba
