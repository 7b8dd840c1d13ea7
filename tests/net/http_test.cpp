// The HTTP item over libcurl against local Python servers: the body as
// Shift-JIS lines, a URL taken from another item, a busy item, refused and
// failed transfers, and destroying an item whose server never answers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "core/game_clock.h"
#include "items/base_list.h"
#include "items/http.h"
#include "net/http_cli.h"
#include "support/test_support.h"

namespace orba {
namespace {

using Clock = std::chrono::steady_clock;

class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallCurlHttpClient();
    test::WriteFileBytes(dir_ / "news.txt", test::Bytes("\xC6\xFC\xCB\xDC\r\nab\nc\n"));  // 日本 in EUC-JP
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      const std::string script = std::string(ORBA_TESTS_DIR) + "/fixtures/http_server.py";
      execl(ORBA_PYTHON, ORBA_PYTHON, script.c_str(), dir_.path().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* ports = fdopen(out[0], "r");
    ASSERT_EQ(std::fscanf(ports, "%d %d", &serve_, &stall_), 2);
    std::fclose(ports);
    test::WriteFileBytes(dir_ / "url.txt", test::Bytes(Url("news.txt")));
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  std::string Url(const std::string& file, bool stalled = false) const {
    return "http://127.0.0.1:" + std::to_string(stalled ? stall_ : serve_) + "/" + file;
  }
  TOrbaHttp* Item(const std::string& name) {
    auto* item = NewOrbaObject<TOrbaHttp>(&m);
    item->SetName(name);
    item->SetOnPlayEnd("done");
    return item;
  }
  void Finish(TOrbaHttp* item) {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (item->GetBusy() && Clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      m.UpdateInput();
    }
    ASSERT_FALSE(item->GetBusy());
  }
  bool Ended(const TOrbaHttp* item) { return m.Events.FindQueuedEvent(item->Handle(), PR_ONPLAYEND) >= 0; }

  test::TempDir dir_;
  pid_t pid_ = -1;
  int serve_ = 0, stall_ = 0;
  TOrbaBaseList m;
};

TEST_F(HttpTest, EucJpBodyBecomesShiftJisLinesAndAnotherItemsBodyIsAUrl) {
  TOrbaHttp* first = Item("first");
  first->SetSource(Url("url.txt"));
  Finish(first);
  EXPECT_TRUE(Ended(first));
  EXPECT_EQ(first->GetText(), Url("news.txt"));
  TOrbaHttp* second = Item("second");
  second->SetSource("!first");
  EXPECT_EQ(second->GetSource(), Url("news.txt"));
  Finish(second);
  EXPECT_EQ(second->GetText(), "\x93\xfa\x96\x7b\x01" "ab\x01" "c");
  // The next download starts empty.
  second->SetSource(Url("missing.txt"));
  EXPECT_EQ(second->GetText(), "");
}

TEST_F(HttpTest, RefusedAndFailedTransfersStillEnd) {
  for (const std::string& url : {std::string("file:///etc/hostname"), std::string("ftp://127.0.0.1/x"),
                                 Url("missing.txt"), std::string("http://127.0.0.1:1/")}) {
    TOrbaHttp* item = Item("");
    item->SetSource(url);
    Finish(item);
    EXPECT_TRUE(Ended(item)) << url;
    EXPECT_EQ(item->GetText(), "") << url;
  }
}

TEST_F(HttpTest, BusyItemIgnoresANewSourceAndIsDestroyedWithinTheBound) {
  TOrbaHttp* item = Item("slow");
  item->Response = "old";
  item->SetSource(Url("never", true));
  item->SetSource(Url("news.txt"));
  EXPECT_EQ(item->GetSource(), Url("never", true));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  m.UpdateInput();
  EXPECT_TRUE(item->GetBusy() && item->GetText().empty());
  const auto start = Clock::now();
  m.FreeObject(item);
  EXPECT_LT(Clock::now() - start, kHttpJoinBound);
  m.UpdateInput();
  EXPECT_EQ(m.Events.Count(), 0);
}

TEST_F(HttpTest, TransferGoesThroughTheProxy) {
  TOrbaHttp* item = Item("p");
  // The local server answers a proxy request for a name that does not resolve.
  item->SetProxy("127.0.0.1:" + std::to_string(serve_));
  item->SetSource("http://no-such-host.invalid/news.txt");
  Finish(item);
  EXPECT_EQ(item->GetText(), "\x93\xfa\x96\x7b\x01" "ab\x01" "c");
}

}  // namespace
}  // namespace orba
