// Movies and Windows Media sounds are read from the game's own streams and
// only as containers that hold their content: a playlist or concatenation
// list planted in a game folder, under a movie's name or its own, opens
// neither the file outside nor the address it names; real clips (AVI, ASF,
// MPEG program stream) still play, from the folder and from a package
// (through a window on it, with no temporary copy).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "core/files/vr_file_manager.h"
#include "core/system/trace.h"
#include "media/av_decoder.h"
#include "media/mixer.h"
#include "media/video_manager.h"
#include "support/open_watch.h"
#include "support/test_support.h"

namespace orba {
namespace {

// A listening socket on the loopback: whether anyone connected.
class Listener {
 public:
  Listener() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&at), size) != 0 || listen(fd_, 4) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &size) != 0)
      return;
    port_ = ntohs(at.sin_port);
  }
  ~Listener() {
    if (fd_ >= 0) close(fd_);
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  int Port() const { return port_; }
  bool Connected() const {
    const int peer = accept(fd_, nullptr, nullptr);
    if (peer >= 0) close(peer);
    return peer >= 0;
  }

 private:
  int fd_;
  int port_ = 0;
};

class PlantedLists : public ::testing::Test {
 protected:
  void SetUp() override {
    const test::CommandResult r = test::RunPython("fixtures/video_fixtures.py", {"make", outside_.path()});
    if (r.exit_code == 77) GTEST_SKIP() << "no ffmpeg program: the test clips cannot be made";
    ASSERT_EQ(r.exit_code, 0) << r.output;
    ASSERT_NE(listener_.Port(), 0);
    files_.SetOverrideFolder(game_.path());
    SetTraceSink([this](const std::string& line) { trace_ += line + "\n"; });
  }
  void TearDown() override { SetTraceSink(nullptr); }
  // Text with "FILE" standing for the red clip outside the game and "URL"
  // for an address on the listener.
  std::string Fill(std::string text) const {
    text = std::regex_replace(text, std::regex("FILE"), outside_ / "red.avi");
    return std::regex_replace(text, std::regex("URL"), "http://127.0.0.1:" + std::to_string(listener_.Port()) + "/red.avi");
  }

  test::TempDir outside_, game_;
  Listener listener_;
  TVrFileManager files_;
  TMixer mixer_{nullptr};
  TVideoManager videos_{mixer_, &files_};
  TWmpManager sounds_{mixer_, &files_};
  std::string trace_;
};

constexpr const char* kPlaylist = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\nFILE\n#EXT-X-ENDLIST\n";
constexpr const char* kRemoteList = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\nURL\n#EXT-X-ENDLIST\n";
constexpr const char* kConcat = "ffconcat version 1.0\nfile 'FILE'\n";
constexpr const char* kRemoteConcat = "ffconcat version 1.0\nfile 'URL'\n";

TEST_F(PlantedLists, NeitherTheFileNorTheAddressTheyNameIsOpened) {
  const struct {
    const char* name;
    const char* text;
    const char* kind;  // as the trace names it
  } cases[] = {{"list.m3u8", kPlaylist, "hls"},      {"list.avi", kPlaylist, "hls"},
               {"remote.avi", kRemoteList, "hls"},   {"list.wmv", kRemoteList, "hls"},
               {"concat.avi", kConcat, "concat"},    {"concat.mpg", kRemoteConcat, "concat"}};
  const test::OpenWatch watch(outside_ / "red.avi");
  ASSERT_TRUE(watch.Armed());
  for (const auto& c : cases) {
    const std::string text = Fill(c.text);
    test::WriteFileBytes(game_ / c.name, test::Bytes(text));
    EXPECT_EQ(videos_.Add(c.name, true), nullptr) << c.name;
    EXPECT_EQ(sounds_.Add(c.name), nullptr) << c.name;
    const std::string why = std::string(": a file of the kind \"") + c.kind + "\", which is not played\n";
    for (const char* kind : {"video ", "sound "})
      EXPECT_NE(trace_.find(kind + std::string(c.name) + why), std::string::npos) << trace_;
    // The decoders refuse the same bytes from memory, where there is no
    // folder to resolve a name against.
    EXPECT_THROW(TVideoDecoder decoder(std::make_unique<TKsMemoryStream>(test::Bytes(text))), EMediaError) << c.name;
    EXPECT_THROW(MakeAvDecoder(test::Bytes(text)), EMediaError) << c.name;
    EXPECT_FALSE(watch.Touched()) << c.name;
    EXPECT_FALSE(listener_.Connected()) << c.name;
  }
  EXPECT_EQ(videos_.Count(), 0u);
  EXPECT_EQ(sounds_.Count(), 0u);
  // The same clip inside the game plays: the watch and the refusals above
  // are about the lists, not the clip.
  std::filesystem::copy_file(outside_ / "red.avi", game_ / "red.avi");
  TVideoItem* inside = videos_.Add("red.avi", true);
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(inside->GetLength(), 1000);
  EXPECT_EQ(inside->GetDC()->Pixels.at(0) & 0xFFFFFF, inside->GetDC()->Pixels.back() & 0xFFFFFF);
  EXPECT_GT(inside->GetDC()->Pixels.at(0) & 0xFF0000, 0xC00000u);  // red
}

TEST(PackagedMovies, AStoredMovieIsReadThroughAWindowWithNoTemporaryCopy) {
  test::TempDir dir;
  const test::CommandResult r = test::RunPython("fixtures/video_fixtures.py", {"make", dir.path()});
  if (r.exit_code == 77) GTEST_SKIP() << "no ffmpeg program: the test clips cannot be made";
  ASSERT_EQ(r.exit_code, 0) << r.output;
  TVrFileCollection package;
  package.BasePath = dir.path() + "/";
  for (const char* name : {"clip.avi", "clip.wmv", "clip.mpg"}) package.AddItem(name);
  TKsMemoryStream out;
  ASSERT_TRUE(package.SaveToBigStream(out));
  out.SaveToFile(dir / "game.dat");

  TVrFileManager files, folder;
  ASSERT_EQ(files.AddArchive(dir / "game.dat"), 0);
  folder.SetOverrideFolder(dir.path());
  TMixer mixer(nullptr);
  TVideoManager videos(mixer, &files), loose(mixer, &folder);
  // Each plays as the same file loose in a folder does.
  for (const char* name : {"clip.avi", "clip.wmv", "clip.mpg"}) {
    ASSERT_TRUE(files.FindEntry(name)->Raw) << name;
    TVideoItem* item = videos.Add(name, true);
    TVideoItem* same = loose.Add(name, true);
    ASSERT_NE(item, nullptr) << name;
    ASSERT_NE(same, nullptr) << name;
    EXPECT_NEAR(item->GetLength(), 1000, 100) << name;
    EXPECT_EQ(item->GetLength(), same->GetLength()) << name;
    EXPECT_EQ(item->GetSourceWidth(), 64) << name;
    EXPECT_EQ(item->GetDC()->Pixels, same->GetDC()->Pixels) << name;
  }
  EXPECT_TRUE(files.LockList.Items.empty());
  EXPECT_TRUE(std::filesystem::is_empty(files.TempFolder));
}

}  // namespace
}  // namespace orba
