// Brix files written by the independent Python fixture writer: every
// version, depth, tile form, scrambled order and composition rule decodes to
// the writer's own pictures, and damaged files are refused or decoded
// without harm.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "brix_test_util.h"
#include "core/errors.h"

namespace orba {
namespace {

using brixtest::ManifestLines;
using brixtest::PixelDifferences;
using brixtest::ReadPam;

class BrixFixtures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"make", dir_->path()}).exit_code, 0);
    ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"hostile", (*dir_ / "hostile")}).exit_code, 0);
    lines_ = new std::vector<std::vector<std::string>>(ManifestLines(*dir_ / "manifest.json", false));
    hostile_ = new std::vector<std::vector<std::string>>(ManifestLines(*dir_ / "hostile/manifest.json", true));
  }
  static void TearDownTestSuite() {
    delete lines_;
    delete hostile_;
    delete dir_;
  }
  static std::string Path(const std::string& name) { return *dir_ / name; }

  static test::TempDir* dir_;
  static std::vector<std::vector<std::string>>* lines_;
  static std::vector<std::vector<std::string>>* hostile_;
};

test::TempDir* BrixFixtures::dir_ = nullptr;
std::vector<std::vector<std::string>>* BrixFixtures::lines_ = nullptr;
std::vector<std::vector<std::string>>* BrixFixtures::hostile_ = nullptr;

using Fields = std::vector<std::string>;

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out.empty() ? "-" : out;
}

std::string Rects(const std::vector<TRect>& rects) {
  std::string out;
  for (const TRect& r : rects) {
    if (!out.empty()) out += ";";
    out += std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
           std::to_string(r.Bottom);
  }
  return out.empty() ? "-" : out;
}

TEST_F(BrixFixtures, EveryFileDecodesToTheWritersPicturesAndFields) {
  std::map<std::string, std::unique_ptr<TBrixFrameList>> images;
  int pictures = 0;
  for (const auto& f : *lines_) {
    if (f[0] == "I") {
      SCOPED_TRACE(f[1]);
      auto image = std::make_unique<TBrixFrameList>(std::stoi(f[3]));
      const bool ambiguous = f[5] == "1";
      try {
        image->LoadFromFile(Path(f[2]), false, false, true);
      } catch (const EOrbaError& e) {
        // A file the writer itself calls ambiguous may be refused.
        EXPECT_TRUE(ambiguous) << e.what();
        continue;
      }
      EXPECT_EQ(image->Count(), std::stoi(f[4]));
      if (!ambiguous) images[f[1]] = std::move(image);
      continue;
    }
    auto it = images.find(f[1]);
    if (it == images.end()) continue;
    SCOPED_TRACE(f[1] + " frame " + f[2]);
    TBrixFrame* frame = it->second->GetFrame(std::stoi(f[2]));
    using std::to_string;
    if (f[0] == "F") {
      // Name, width, height, depth, delay, key pixel, key colour; then the rectangle lists.
      EXPECT_EQ((Fields{Hex(frame->Name), to_string(frame->Surface.Width()), to_string(frame->Surface.Height()),
                        to_string(frame->Surface.GetBitCount()), to_string(frame->Delay),
                        to_string(frame->TransparentPixel), f[9] == "-" ? "-" : to_string(frame->TransparentColor),
                        Rects(frame->RectsA), Rects(frame->RectsB)}),
                (Fields{f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[11], f[12]}));
      if (f[13] != "-") {
        EXPECT_EQ(PixelDifferences(BrixFrameToRgba(*frame), ReadPam(Path(f[13]))), 0);
        ++pictures;
      }
    } else {
      TBrixLayer* layer = frame->GetLayer(std::stoi(f[3]));
      SCOPED_TRACE("layer " + f[3]);
      // Name, visibility, opacity, key colour, alpha enabled, alpha plane present.
      EXPECT_EQ((Fields{Hex(layer->Name), to_string(layer->Visible), to_string(layer->Opacity),
                        to_string(layer->TransparentColor), to_string(layer->AlphaEnabled),
                        layer->Surface->Alpha() != nullptr ? "1" : "0"}),
                (Fields{f[4], f[5], f[6], f[7], f[8], f[9]}));
    }
  }
  EXPECT_GT(pictures, 150);
}

TEST_F(BrixFixtures, FirstFrameOnlyStopsAfterTheFirstFrameRecord) {
  for (const auto& f : *lines_) {
    if (f[0] != "F" || f[2] != "0" || f[13] == "-") continue;
    SCOPED_TRACE(f[1]);
    TKsMemoryStream s;
    s.LoadFromFile(Path(f[1] + ".brx"));
    int32_t code = 0;
    for (const auto& i : *lines_)
      if (i[0] == "I" && i[1] == f[1]) code = std::stoi(i[3]);
    TBrixFrameList image(code);
    image.LoadFromStream(s, true, false, false);
    ASSERT_EQ(image.Count(), 1);
    EXPECT_EQ(s.GetPosition(), std::stoll(f[10]));
    EXPECT_EQ(image.GetFrame(0)->LayerCount(), 0);
    EXPECT_EQ(PixelDifferences(BrixFrameToRgba(*image.GetFrame(0)), ReadPam(Path(f[13]))), 0);
  }
}

// The library decodes every file above; the tool is run on every fifth one
// and on every file read with a code.
TEST_F(BrixFixtures, OrbatoolDecodesFilesToTheWritersFirstPicture) {
  int checked = 0, seen = 0;
  std::string code;
  for (const auto& f : *lines_) {
    if (f[0] == "I") code = f[3];
    if (f[0] != "F" || f[2] != "0" || f[13] == "-") continue;
    if (seen++ % 5 != 0 && code == "0") continue;
    SCOPED_TRACE(f[1]);
    const std::string out = *dir_ / "tool.pam";
    ASSERT_EQ(test::RunOrbaTool({"img", "decode", "--code", code, Path(f[1] + ".brx"), out}).exit_code, 0);
    EXPECT_EQ(test::ReadFileBytes(out), test::ReadFileBytes(Path(f[13])));
    ++checked;
  }
  EXPECT_GT(checked, 15);
}

TEST_F(BrixFixtures, DamagedFilesAreRefusedOrDecodedAndChangeNothingWhenRefused) {
  int refused = 0;
  for (const auto& h : *hostile_) {
    SCOPED_TRACE(h[1]);
    for (bool keep_layers : {false, true}) {
      TBrixFrameList image;
      image.AddFrame()->Name = "kept";
      bool threw = false;
      try {
        image.LoadFromFile(*dir_ / ("hostile/" + h[2]), false, true, keep_layers);
      } catch (const EOrbaError&) {
        threw = true;
      }
      if (h[3] == "refuse") {
        EXPECT_TRUE(threw);
      }
      if (threw) {
        ASSERT_EQ(image.Count(), 1);
        EXPECT_EQ(image.GetFrame(0)->Name, "kept");
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 60);
  // Header bytes beyond the 40-byte record are skipped; tiles may copy
  // from themselves or later tiles of their plane.
  for (const char* name : {"header_size_1000.brx", "tile_copy_forward.brx", "tile_copy_self.brx"}) {
    TBrixFrameList image;
    image.LoadFromFile(*dir_ / (std::string("hostile/") + name), false, false, false);
    EXPECT_EQ(image.Count(), 1) << name;
  }
}

TEST_F(BrixFixtures, EveryTruncationIsRefused) {
  for (const char* name : {"tiles_d08.brx", "scrambled_tiles.brx", "v102_d15.brx", "jpeg.brx"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> whole = test::ReadFileBytes(Path(name));
    const int32_t code = std::string(name) == "scrambled_tiles.brx" ? 12345 : 0;
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      TBrixFrameList image(code);
      TKsMemoryStream s(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
      EXPECT_THROW(image.LoadFromStream(s, false, false, true), EOrbaError) << cut;
    }
  }
}

}  // namespace
}  // namespace orba
