// What a game's downloads cannot do: reach this machine or the local
// network (directly, through a proxy or after a redirect), hold more than
// the bodies' limits, run more worker threads than a few, outlive the
// shut-down, or take the player down when no thread can be started. Against
// the local server of tests/fixtures/http_server.py.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "items/base_list.h"
#include "items/http.h"
#include "net/client_get.h"
#include "net/http_cli.h"
#include "script/functions/sys_func.h"
#include "support/local_http_server.h"
#include "support/test_support.h"

namespace orba {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uid_t kNobody = 65534;

class HttpLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallCurlHttpClient(TNetAccess::InternetAndTestServer);
    test::WriteFileBytes(dir_ / "news.txt", test::Bytes("news\n"));
    ASSERT_TRUE(server_.Started());
  }
  void TearDown() override { StopHttpTransfers(); }
  // A GET by the client alone: the error it raised or "", and in Text what
  // arrived.
  std::string Get(const std::string& url, TNetAccess access, std::string* text = nullptr,
                  const std::string& proxy = "") {
    TCurlHttpCli client(access);
    client.URL = url;
    client.ProxyHost = proxy;
    return test::ClientGet(client, text);
  }
  std::vector<TOrbaHttp*> Items(int count, const std::string& url) {
    std::vector<TOrbaHttp*> items;
    for (int i = 0; i < count; ++i) {
      auto* item = NewOrbaObject<TOrbaHttp>(&m);
      item->SetOnPlayEnd("done");
      item->SetSource(url);
      items.push_back(item);
    }
    return items;
  }
  // Polls until no item is busy (at most 60 s), calling Watch each time.
  void Finish(const std::vector<TOrbaHttp*>& items, const std::function<void()>& watch = [] {}) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    auto busy = [&] { return std::any_of(items.begin(), items.end(), [](auto* i) { return i->GetBusy(); }); };
    while (busy() && Clock::now() < until) {
      watch();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      m.UpdateInput();
    }
    ASSERT_FALSE(busy());
  }

  test::TempDir dir_;
  test::LocalHttpServer server_{dir_.path()};
  TOrbaBaseList m;
};

TEST_F(HttpLimitsTest, ThisMachineIsRefusedDirectlyThroughAProxyAndAfterARedirect) {
  std::string text;
  // The tests' own address, allowed to them, and a redirect to it.
  EXPECT_EQ(Get(server_.Url("news.txt"), TNetAccess::InternetAndTestServer, &text), "");
  EXPECT_EQ(text, "news\n");
  text.clear();
  EXPECT_EQ(Get(server_.Url("redirect?to=" + server_.Url("news.txt")), TNetAccess::InternetAndTestServer, &text), "");
  EXPECT_EQ(text, "news\n");
  // Refused to a game: the server itself, as the server and as a proxy.
  EXPECT_EQ(Get(server_.Url("news.txt"), TNetAccess::Internet),
            "HTTP: the address is refused: 127.0.0.1 (loopback): " + server_.Url("news.txt"));
  const std::string port = std::to_string(server_.Port());
  EXPECT_EQ(Get("http://no-such-host.invalid/news.txt", TNetAccess::Internet, nullptr, "127.0.0.1:" + port),
            "HTTP: the address is refused: 127.0.0.1 (loopback): http://no-such-host.invalid/news.txt");
  // Redirected by an allowed server to other addresses of this machine,
  // the same server among them. Nothing else listens there, so a missed
  // check would fail differently.
  const struct {
    std::string target, refused;
  } redirects[] = {
      {"http://127.0.0.2:" + port + "/news.txt", "127.0.0.2 (loopback)"},
      {"http://[::1]:" + port + "/news.txt", "::1 (loopback)"},
      {"http://[::ffff:127.0.0.1]:" + port + "/news.txt", "::ffff:127.0.0.1 (loopback)"},
      {"http://0.0.0.0:" + port + "/news.txt", "0.0.0.0 (unspecified)"},
  };
  for (const auto& r : redirects) {
    const std::string url = server_.Url("redirect?to=" + r.target);
    EXPECT_EQ(Get(url, TNetAccess::InternetAndTestServer), "HTTP: the address is refused: " + r.refused + ": " + url);
  }
}

TEST_F(HttpLimitsTest, EndlessBodiesStopAtTheirLimitsOneAtATimeAndTogether) {
  const size_t held_before = THttpBody::HeldBytes();
  std::string text;
  EXPECT_EQ(Get(server_.Url("endless"), TNetAccess::InternetAndTestServer, &text),
            "HTTP: the answer is too large: " + server_.Url("endless"));
  EXPECT_LE(text.size(), THttpBody::kMaxBytes);
  EXPECT_GT(text.size(), THttpBody::kMaxBytes - 65536);
  EXPECT_EQ(THttpBody::HeldBytes(), held_before);
  // Eight at once: what they hold together never passes the limit, and
  // what each hands the script never passes a script text's.
  std::vector<TOrbaHttp*> items = Items(8, server_.Url("endless"));
  size_t most = 0;
  Finish(items, [&] { most = std::max(most, THttpBody::HeldBytes()); });
  EXPECT_LE(most, THttpBody::kMaxHeldBytes);
  size_t total = 0;
  for (TOrbaHttp* item : items) {
    total += item->Response.Text().size();
    EXPECT_LE(item->GetText().size(), static_cast<size_t>(kMaxTextResult));
    EXPECT_GE(m.Events.FindQueuedEvent(item->Handle(), PR_ONPLAYEND), 0);
  }
  EXPECT_GE(total, THttpBody::kMaxBytes / 2);
  EXPECT_LE(total, THttpBody::kMaxHeldBytes);
  for (TOrbaHttp* item : items) m.FreeObject(item);
  EXPECT_EQ(THttpBody::HeldBytes(), held_before);
}

TEST_F(HttpLimitsTest, ManyStalledTransfersShareAFewWorkersAndStopTogether) {
  std::vector<TOrbaHttp*> items = Items(40, server_.Url("never", true));
  size_t most = 0;
  for (int i = 0; i < 20; ++i) {
    most = std::max(most, RunningHttpWorkers());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    m.UpdateInput();
  }
  EXPECT_EQ(most, kHttpWorkers);
  EXPECT_TRUE(std::all_of(items.begin(), items.end(), [](auto* i) { return i->GetBusy(); }));
  // The shut-down cancels them all at once; each ends as a failed transfer.
  EXPECT_TRUE(StopHttpTransfers());
  EXPECT_EQ(RunningHttpWorkers(), 0u);
  m.UpdateInput();
  for (TOrbaHttp* item : items) {
    EXPECT_FALSE(item->GetBusy());
    EXPECT_GE(m.Events.FindQueuedEvent(item->Handle(), PR_ONPLAYEND), 0);
  }
  // A new download after the shut-down of one game runs as before.
  test::WriteFileBytes(dir_ / "again.txt", test::Bytes("again"));
  items = Items(1, server_.Url("again.txt"));
  Finish(items);
  EXPECT_EQ(items[0]->GetText(), "again");
}

// In a child under a process limit of 0 (no thread can start; as nobody
// when the tests run as root, for whom the limit does not hold): every
// transfer fails at once and raises OnPlayEnd, and busy items are freed.
TEST_F(HttpLimitsTest, WithoutAnyThreadEveryTransferFailsAndTheItemsGoInOrder) {
  ASSERT_TRUE(StopHttpTransfers());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_NPROC, &none) != 0) _exit(3);
    if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(5);
    std::vector<TOrbaHttp*> items = Items(600, server_.Url("news.txt"));
    int ended = 0;
    m.UpdateInput();
    for (TOrbaHttp* item : items) ended += m.Events.FindQueuedEvent(item->Handle(), PR_ONPLAYEND) >= 0 ? 1 : 0;
    std::vector<TOrbaHttp*> busy = Items(5, server_.Url("news.txt"));
    for (TOrbaHttp* item : busy) m.FreeObject(item);
    _exit(ended == 600 ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace orba
