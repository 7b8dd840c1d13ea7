// The window's icon: the largest image of the first group icon of a Windows
// game's program file, turned the right way up with its alpha; the player's
// own for a folder game, a program without an icon and a program whose
// group icon is damaged.
#include "shell/window_icon.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/streams/big_stream.h"
#include "core/system/trace.h"
#include "graphics/picture_rgba.h"
#include "shell/game_client.h"
#include "support/test_support.h"

namespace orba {
namespace {

using TRgba = std::array<uint8_t, 4>;

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A 32-bit icon image as a program stores it: BITMAPINFOHEADER of twice the
// height, BGRA rows bottom up, an AND mask of zeros. The top row is Top,
// every other Fill.
std::vector<uint8_t> IconImage(uint32_t size, TRgba fill, TRgba top) {
  std::vector<uint8_t> b;
  for (uint32_t v : {40u, size, size * 2}) Put32(b, v);
  Put16(b, 1);
  Put16(b, 32);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (uint32_t y = 0; y < size; ++y) {
    const TRgba& c = y == size - 1 ? top : fill;
    for (uint32_t x = 0; x < size; ++x) b.insert(b.end(), {c[2], c[1], c[0], c[3]});
  }
  b.resize(b.size() + size_t{(size + 31) / 32 * 4} * size, 0);
  return b;
}

// A group icon naming image Ids[i] of size Sizes[i] (Count as stored).
std::vector<uint8_t> GroupNaming(const std::vector<uint32_t>& sizes, const std::vector<uint16_t>& ids, uint32_t count) {
  std::vector<uint8_t> b;
  Put16(b, 0);
  Put16(b, 1);
  Put16(b, count);
  for (size_t i = 0; i < sizes.size(); ++i) {
    b.insert(b.end(), {static_cast<uint8_t>(sizes[i]), static_cast<uint8_t>(sizes[i]), 0, 0});
    Put16(b, 1);
    Put16(b, 32);
    Put32(b, 0);
    Put16(b, ids[i]);
  }
  return b;
}

// A group icon naming images 1, 2, ... (Count as stored).
std::vector<uint8_t> Group(const std::vector<uint32_t>& sizes, uint32_t count) {
  std::vector<uint16_t> ids;
  for (size_t i = 0; i < sizes.size(); ++i) ids.push_back(static_cast<uint16_t>(i + 1));
  return GroupNaming(sizes, ids, count);
}

// A PNG image of Size square as the project's encoder writes it: Fill, its
// top-left pixel Corner.
std::vector<uint8_t> PngImage(int32_t size, TRgba fill, TRgba corner) {
  TRgbaPicture picture;
  picture.Width = picture.Height = size;
  for (int32_t i = 0; i < size * size; ++i) {
    const TRgba& c = i == 0 ? corner : fill;
    picture.Pixels.insert(picture.Pixels.end(), c.begin(), c.end());
  }
  TKsMemoryStream png;
  SaveRgbaAsPng(picture, png);
  return png.TakeBytes();
}

TRgba At(const TRgbaPicture& p, int32_t x, int32_t y) {
  const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(p.Width) + static_cast<size_t>(x)) * 4;
  return {p.Pixels[at], p.Pixels[at + 1], p.Pixels[at + 2], p.Pixels[at + 3]};
}

class WindowIcon : public ::testing::Test {
 protected:
  // Writes Name.exe with the given resources (TYPE:NAME and bytes).
  std::string Program(const std::string& name, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& res) {
    std::vector<std::string> args{dir / (name + ".exe")};
    for (size_t i = 0; i < res.size(); ++i) {
      const std::string file = dir / (name + std::to_string(i) + ".bin");
      test::WriteFileBytes(file, res[i].second);
      args.push_back(res[i].first + ":" + file);
    }
    EXPECT_EQ(test::RunPython("fixtures/pe_fixture.py", args).exit_code, 0);
    return dir / (name + ".exe");
  }
  const test::TempDir dir;
};

constexpr TRgba kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kRed{255, 0, 0, 255};

TEST_F(WindowIcon, AProgramsLargestIconImageIsTaken) {
  const std::string exe = Program("game", {{"#14:MAINICON", Group({16, 32}, 2)},
                                           {"#3:#1", IconImage(16, kRed, kRed)},
                                           {"#3:#2", IconImage(32, kGreen, kBlue)},
                                           {"BINTYPE:DUMMY", {1, 2, 3}}});
  const TWindowIcon icon = WindowIconFor(LocateGame(exe));
  EXPECT_EQ(icon.Source, TWindowIconSource::Program);
  ASSERT_EQ(icon.Picture.Width, 32);
  ASSERT_EQ(icon.Picture.Height, 32);
  EXPECT_EQ(At(icon.Picture, 0, 0), kBlue);
  EXPECT_EQ(At(icon.Picture, 31, 31), kGreen);
}

TEST_F(WindowIcon, WithoutAReadableProgramIconThePlayersOwnIsTaken) {
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> resources;
  } cases[] = {
      {"noicon", {{"BINTYPE:DUMMY", {1, 2, 3}}}},
      // Three images stored in a group with room for one.
      {"counted", {{"#14:MAINICON", Group({16}, 3)}, {"#3:#1", IconImage(16, kRed, kRed)}}},
      // The image the group names is not there.
      {"missing", {{"#14:MAINICON", Group({16, 32}, 2)}, {"#3:#1", IconImage(16, kRed, kRed)}}},
      // The image is no icon image.
      {"damaged", {{"#14:MAINICON", Group({16}, 1)}, {"#3:#1", {40, 0, 0, 0, 1}}}},
      // A damaged PNG image beside a good one: the group is damaged.
      {"badpng",
       {{"#14:MAINICON", Group({16, 0}, 2)},
        {"#3:#1", IconImage(16, kRed, kRed)},
        {"#3:#2", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 1, 2, 3}}}},
      // A PNG image larger than an icon's 256 x 256.
      {"hugepng", {{"#14:MAINICON", Group({0}, 1)}, {"#3:#1", PngImage(300, kGreen, kGreen)}}},
  };
  for (const auto& c : cases) {
    const TWindowIcon icon = WindowIconFor(LocateGame(Program(c.name, c.resources)));
    EXPECT_EQ(icon.Source, TWindowIconSource::Player) << c.name;
    EXPECT_EQ(icon.Picture.Width, kPlayerIconSize) << c.name;
  }
  // A folder game brings no program.
  const TWindowIcon folder = WindowIconFor(LocateGame(dir.path()));
  EXPECT_EQ(folder.Source, TWindowIconSource::Player);
}

// Icons since Windows Vista carry their largest image as PNG.
TEST_F(WindowIcon, APngImageOfTheGroupIsReadAndTakenWhenLargest) {
  constexpr TRgba kHalf{10, 20, 30, 128};
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> resources;
    int32_t width;
    TRgba corner, rest;
  } cases[] = {
      {"vista",
       {{"#14:MAINICON", Group({16, 32, 0}, 3)},
        {"#3:#1", IconImage(16, kRed, kRed)},
        {"#3:#2", IconImage(32, kGreen, kBlue)},
        {"#3:#3", PngImage(256, kGreen, kHalf)}},
       256, kHalf, kGreen},
      // A smaller PNG image gives way to a larger BMP-style one.
      {"smallpng",
       {{"#14:MAINICON", Group({16, 32}, 2)}, {"#3:#1", PngImage(16, kRed, kRed)}, {"#3:#2", IconImage(32, kGreen, kBlue)}},
       32, kBlue, kGreen},
  };
  for (const auto& c : cases) {
    const TWindowIcon icon = WindowIconFor(LocateGame(Program(c.name, c.resources)));
    EXPECT_EQ(icon.Source, TWindowIconSource::Program) << c.name;
    ASSERT_EQ(icon.Picture.Width, c.width) << c.name;
    ASSERT_EQ(icon.Picture.Height, c.width) << c.name;
    EXPECT_EQ(At(icon.Picture, 0, 0), c.corner) << c.name;
    EXPECT_EQ(At(icon.Picture, c.width - 1, c.width - 1), c.rest) << c.name;
  }
}

// 65,535 namings of one image would be 74 MB of images: past the bound the
// player's own icon is taken, and the trace says why in one line.
TEST_F(WindowIcon, AGroupNamingOneImage65535TimesGivesThePlayersIconAndOneTraceLine) {
  const std::string exe = Program("namings", {{"#14:MAINICON", GroupNaming(std::vector<uint32_t>(65535, 16),
                                                                           std::vector<uint16_t>(65535, 1), 65535)},
                                              {"#3:#1", IconImage(16, kRed, kRed)}});
  std::vector<std::string> lines;
  SetTraceSink([&lines](const std::string& line) { lines.push_back(line); });
  const TWindowIcon icon = WindowIconFor(LocateGame(exe));
  SetTraceSink(nullptr);
  EXPECT_EQ(icon.Source, TWindowIconSource::Player);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("more than 16 MiB of images"), std::string::npos) << lines[0];
}

// Each image is searched for, and so decoded, once however often the group
// names it; a group of more images than any program holds is refused after
// as many searches as it may have.
TEST_F(WindowIcon, EachImageIsSearchedForOnceAndTheGroupsImagesAreBounded) {
  std::vector<uint16_t> many_ids;
  for (uint16_t id = 1; id <= 257; ++id) many_ids.push_back(id);
  const struct {
    const char* name;
    std::vector<uint8_t> group;
    int32_t width;  // 0: refused
    int searches;   // of images
  } cases[] = {
      {"named twice", GroupNaming({16, 32, 16}, {1, 2, 1}, 3), 32, 2},
      {"65535 namings", GroupNaming(std::vector<uint32_t>(65535, 16), std::vector<uint16_t>(65535, 1), 65535), 0, 1},
      {"257 images", GroupNaming(std::vector<uint32_t>(257, 16), many_ids, 257), 0, 256},
  };
  const std::vector<uint8_t> small = IconImage(16, kRed, kRed), large = IconImage(32, kGreen, kBlue);
  for (const auto& c : cases) {
    int searches = 0;
    const TFindResource find = [&](const std::string& name, const std::string& type) -> std::span<const uint8_t> {
      if (type == "#14") return c.group;
      ++searches;
      return name == "#2" ? large : small;
    };
    if (c.width == 0) {
      EXPECT_THROW(IconOfResources(find), EOrbaError) << c.name;
    } else {
      EXPECT_EQ(IconOfResources(find).Width, c.width) << c.name;
    }
    EXPECT_EQ(searches, c.searches) << c.name;
  }
}

// The player's own: a blue disc on a transparent ground with a white
// triangle in its middle.
TEST_F(WindowIcon, ThePlayersOwnIsABlueDiscWithAWhiteTriangle) {
  const TRgbaPicture icon = PlayerIcon();
  ASSERT_EQ(icon.Width, kPlayerIconSize);
  ASSERT_EQ(icon.Height, kPlayerIconSize);
  ASSERT_EQ(icon.Pixels.size(), size_t{kPlayerIconSize} * kPlayerIconSize * 4);
  EXPECT_EQ(At(icon, 0, 0)[3], 0);
  EXPECT_EQ(At(icon, kPlayerIconSize - 1, kPlayerIconSize - 1)[3], 0);
  EXPECT_EQ(At(icon, kPlayerIconSize / 2, kPlayerIconSize / 2), (TRgba{255, 255, 255, 255}));
  EXPECT_EQ(At(icon, kPlayerIconSize / 2, 4), (TRgba{0x2A, 0x62, 0xC8, 255}));
}

}  // namespace
}  // namespace orba
