// The "urls" game hands a Japanese game's web addresses to the desktop: the
// opener (a stand-in xdg-open first on PATH that logs its arguments) gets
// each accepted address as one argument, percent-encoded in UTF-8 (a
// Japanese host too); the addresses with odd hosts never reach it and are
// traced.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

TEST(UrlsGame, JapaneseAddressesReachTheOpenerPercentEncodedAndOddHostsNever) {
  const test::TempDir dir;
  const std::string game = dir / "game", log = dir / "opened.log";
  fs::create_directories(dir / "bin");
  test::BuildGame("urls", game, true);
  // One write a line: the openers run at once and must not interleave.
  test::WriteText(dir / "bin/xdg-open", "#!/bin/sh\nline=$(printf '%s|' \"$@\")\necho \"$line\" >> '" + log + "'\n");
  fs::permissions(dir / "bin/xdg-open", fs::perms::owner_all);
  ::setenv("PATH", (dir / "bin:" + std::string(::getenv("PATH"))).c_str(), 1);

  const test::CommandResult r = test::PlayGame(game, 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  // "例 え" (UTF-8 e4 be 8b, e3 81 88) in the host.
  test::ExpectContains(r.output, {"url refused: http://\xe4\xbe\x8b \xe3\x81\x88.jp/\n",
                                  "url refused: http://exa mple.jp/\n", "url refused: http://-x/\n"});
  // The opener runs without being waited for.
  std::string opened;
  for (int i = 0; i < 500 && std::count(opened.begin(), opened.end(), '\n') < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    opened = test::FileText(log);
  }
  // ゲーム/攻略 表?q=あ b#章 and 100% with no escape after it.
  for (const std::string& line :
       {std::string("http://example.jp/%E3%82%B2%E3%83%BC%E3%83%A0/%E6%94%BB%E7%95%A5%20%E8%A1%A8?q=%E3%81%82%20b"
                    "#%E7%AB%A0|\n"),
        std::string("https://example.jp/%E3%81%82?n=100%25|\n"), std::string("http://%E4%BE%8B%E3%81%88.jp/|\n")})
    EXPECT_NE(opened.find(line), std::string::npos) << opened;
  EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 3) << opened;
}

}  // namespace
}  // namespace orba
