// Inputs that once crashed a tool or had it take gigabytes: each is refused
// with a message and a non-zero exit, in bounded memory.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <functional>

#include "core/streams/compression.h"
#include "core/streams/stream_encoding.h"
#include "script/save/save_data.h"
#include "script/values/param_collection.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::TempDir;

// The empty run state with its scratch frame's result typed 5: no value has
// that type. The type byte comes 9 bytes before the end.
struct TBadResultRunState : TEmptyRunState {
  void SaveToStream(TKsBigStream& s) override {
    TKsMemoryStream own;
    TEmptyRunState::SaveToStream(own);
    own.MutableBytes()[static_cast<size_t>(own.GetSize() - 9)] = 5;
    s.WriteBuffer(own.Memory(), own.GetSize());
  }
};

std::string SaveWithBadFrame(const TempDir& dir) {
  TParamCollection vars;
  TEmptySaveSections empty(vars, 640, 480);
  TBadResultRunState run_state;
  TSaveSections sections = empty.Sections();
  sections.RunState = &run_state;
  TSaveDataFile file(dir / "save.dat", sections);
  file.SaveGame(1, "", 0, "slot", true);
  return dir / "save.dat";
}

// A 8192 x 8192 run-length bitmap (RLE8, or RLE4 when `rle4`) of a few
// dozen bytes: deltas down the picture, then the end code.
// A bitmap header of Width x Height at Bits (compression 0, 1 or 2) with a
// table of two colours.
std::vector<uint8_t> BmpHead(int32_t width, int32_t height, uint8_t bits, int32_t compression) {
  TKsMemoryStream s;
  s.WriteBuffer("BM", 2);
  for (int32_t v : {0, 0, 14 + 40 + 8, 40, width, height}) WriteStreamInt(s, v);
  const uint8_t planes_and_bits[4] = {1, 0, bits, 0};
  s.WriteBuffer(planes_and_bits, 4);
  for (int32_t v : {compression, 0, 0, 0, 2, 0, 0, 0x00FFFFFF}) WriteStreamInt(s, v);
  return s.MutableBytes();
}

std::vector<uint8_t> RleBomb(bool rle4) {
  TKsMemoryStream s(BmpHead(8192, 8192, rle4 ? 4 : 8, rle4 ? 2 : 1));
  s.SetPosition(s.GetSize());
  for (int i = 0; i < 32; ++i) s.WriteBuffer("\x00\x02\xff\xff", 4);
  s.WriteBuffer("\x00\x01", 2);
  return s.MutableBytes();
}

// A package (directory version 0: every entry packed) whose one entry
// unpacks to 1.25 GiB of zeros from about a megabyte.
std::string ZlibBomb(const TempDir& dir) {
  std::vector<uint8_t> packed(4 << 20), zeros(1 << 20);
  z_stream z{};
  deflateInit(&z, Z_BEST_COMPRESSION);
  z.next_out = packed.data();
  z.avail_out = static_cast<uInt>(packed.size());
  for (int i = 0; i < 1280; ++i) {
    z.next_in = zeros.data();
    z.avail_in = static_cast<uInt>(zeros.size());
    deflate(&z, i == 1279 ? Z_FINISH : Z_NO_FLUSH);
  }
  packed.resize(z.total_out);
  deflateEnd(&z);
  TKsMemoryStream s;
  for (int32_t v : {1, 4}) WriteStreamInt(s, v);
  s.WriteBuffer("bomb", 4);
  for (int32_t v : {20, 20 + static_cast<int32_t>(packed.size())}) WriteStreamInt(s, v);
  s.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  s.SaveToFile(dir / "bomb.vf");
  return dir / "bomb.vf";
}

std::string Write(const TempDir& dir, const char* name, const std::vector<uint8_t>& bytes) {
  test::WriteFileBytes(dir / name, bytes);
  return dir / name;
}

struct HostileCase {
  const char* what;
  std::function<std::vector<std::string>(const TempDir&)> args;
  std::string message;         // in what the tool prints
  int64_t extra_peak_kb = 0;   // allowed beyond 300 MB
};

const int64_t kMB = 1024;

class HostileInput : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileInput, IsRefusedInBoundedMemory) {
  const HostileCase& c = GetParam();
  TempDir dir;
  std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", ORBA_TOOL_PATH};
  for (const std::string& a : c.args(dir)) argv.push_back(a);
  const test::CommandResult r = test::RunCommand(argv);
  EXPECT_EQ(r.exit_code, 1) << c.what << "\n" << r.output;
  EXPECT_NE(r.output.find(c.message), std::string::npos) << c.what << "\n" << r.output;
  EXPECT_LT(r.peak_rss_kb, 300 * kMB + c.extra_peak_kb) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Tools, HostileInput,
    ::testing::Values(
        HostileCase{"save slot whose frame result has no type",
                    [](const TempDir& d) { return std::vector<std::string>{"save", "dump", SaveWithBadFrame(d)}; },
                    "entries of"},
        HostileCase{"RLE8 bitmap of 64M pixels from 150 bytes",
                    [](const TempDir& d) {
                      return std::vector<std::string>{"img", "decode", Write(d, "a.bmp", RleBomb(false)), d / "a.png"};
                    },
                    "\xe4\xb8\x8d\xe6\xad\xa3\xe3\x81\xaa DIB"},  // 不正な DIB
        HostileCase{"RLE4 bitmap in an icon file",
                    [](const TempDir& d) {
                      return std::vector<std::string>{"img", "decode", Write(d, "a.ico", RleBomb(true)), d / "a.png"};
                    },
                    "\xe4\xb8\x8d\xe6\xad\xa3\xe3\x81\xaa DIB"},
        HostileCase{"bitmap header of 128 MiB without its pixels",
                    [](const TempDir& d) {
                      return std::vector<std::string>{
                          "img", "decode", Write(d, "a.bmp", BmpHead(8388608, 4, 32, 0)), d / "a.png"};
                    },
                    "\xe3\x82\xa8\xe3\x83\xa9\xe3\x83\xbc", -200 * kMB},  // エラー
        HostileCase{"package entry unpacking to 1.25 GiB",
                    [](const TempDir& d) { return std::vector<std::string>{"vf", "verify", ZlibBomb(d)}; },
                    "bomb: more than 1073741824 bytes", -150 * kMB},  // streamed: nothing near the cap is held
        HostileCase{"text doubled past 2 GiB",
                    [](const TempDir&) {
                      std::vector<std::string> a{"calc", "s = StringOfChar(\"a\", 16777216)"};
                      for (int i = 0; i < 7; ++i) a.push_back("s = s ++ s");
                      return a;
                    },
                    "\xe6\x96\x87\xe5\xad\x97\xe5\x88\x97\xe3\x81\x8c\xe9\x95\xb7\xe3\x81\x99\xe3\x81\x8e"},  // 文字列が長すぎ
        HostileCase{"extract with archive and folder swapped",
                    [](const TempDir& d) {
                      std::filesystem::create_directories(d / "out");
                      return std::vector<std::string>{"vf", "extract", d / "out", Write(d, "a.vf", {'v', 'f'})};
                    },
                    "no such archive"}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return test::CaseName(info.param.what); });

}  // namespace
}  // namespace orba
