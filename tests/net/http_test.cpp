// The HTTP item over libcurl against local Python servers: the body as
// Shift-JIS lines, a URL taken from another item, a busy item, refused and
// failed transfers, and destroying an item whose server never answers.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/game_clock.h"
#include "items/base_list.h"
#include "items/http.h"
#include "net/http_cli.h"
#include "support/local_http_server.h"
#include "support/test_support.h"

namespace orba {
namespace {

using Clock = std::chrono::steady_clock;

class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallCurlHttpClient(TNetAccess::InternetAndTestServer);
    test::WriteFileBytes(dir_ / "news.txt", test::Bytes("\xC6\xFC\xCB\xDC\r\nab\nc\n"));  // 日本 in EUC-JP
    ASSERT_TRUE(server_.Started());
    test::WriteFileBytes(dir_ / "url.txt", test::Bytes(Url("news.txt")));
  }
  std::string Url(const std::string& file, bool stalled = false) const { return server_.Url(file, stalled); }
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
  test::LocalHttpServer server_{dir_.path()};
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
  item->Response.Append("old", 3);
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
  item->SetProxy("127.0.0.1:" + std::to_string(server_.Port()));
  item->SetSource("http://no-such-host.invalid/news.txt");
  Finish(item);
  EXPECT_EQ(item->GetText(), "\x93\xfa\x96\x7b\x01" "ab\x01" "c");
}

}  // namespace
}  // namespace orba
