// Shared helpers of the Brix tests: reading PAM pictures, splitting the
// manifest lines of the Python fixture writer, and loading files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/brix.h"
#include "support/test_support.h"

namespace orba::brixtest {

inline std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) out.push_back(field);
  return out;
}

inline std::vector<std::vector<std::string>> ManifestLines(const std::string& manifest, bool hostile) {
  std::vector<std::string> args = {"lines", manifest};
  if (hostile) args.push_back("hostile");
  test::CommandResult r = test::RunPython("fixtures/brix_fixture.py", args);
  EXPECT_EQ(r.exit_code, 0);
  std::vector<std::vector<std::string>> out;
  std::stringstream in(r.output);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) out.push_back(SplitTabs(line));
  return out;
}

// A P7 RGB_ALPHA picture as written by the fixture writer and orbatool.
inline TRgbaPicture ReadPam(const std::string& path) {
  std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  const size_t end = text.find("ENDHDR\n");
  TRgbaPicture p;
  if (end == std::string::npos) return p;
  std::stringstream head(text.substr(0, end));
  std::string word;
  while (head >> word) {
    if (word == "WIDTH") head >> p.Width;
    if (word == "HEIGHT") head >> p.Height;
  }
  p.Pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(end + 7), bytes.end());
  return p;
}

// Number of pixels that differ, or -1 when the sizes differ.
inline int64_t PixelDifferences(const TRgbaPicture& a, const TRgbaPicture& b) {
  if (a.Width != b.Width || a.Height != b.Height || a.Pixels.size() != b.Pixels.size()) return -1;
  int64_t n = 0;
  for (size_t i = 0; i < a.Pixels.size(); i += 4)
    if (std::memcmp(&a.Pixels[i], &b.Pixels[i], 4) != 0) ++n;
  return n;
}

inline void LoadBytes(TBrixFrameList& image, const std::vector<uint8_t>& bytes, bool first_only = false,
                      bool convert = false, bool keep_layers = true) {
  TKsMemoryStream s(bytes);
  image.LoadFromStream(s, first_only, convert, keep_layers);
}

inline std::vector<uint8_t> SaveBytes(TBrixFrameList& image, int32_t compression, int32_t quality = 70) {
  TKsMemoryStream s;
  image.SaveToStream(s, compression, quality);
  return s.TakeBytes();
}

}  // namespace orba::brixtest
