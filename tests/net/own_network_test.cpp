// A download never reaches the user's own machine or network, in any form,
// shown in a network namespace the test makes (with a mount namespace whose
// /etc/hosts names its addresses): a service listening on every address
// answers a plain connection at each address the namespace's interface
// holds, while the client, fetching it directly, by name or after a
// redirect, is refused before it connects and the transfer fails. Skipped,
// with the reason, where no namespace can be made.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "net/client_get.h"
#include "net/http_cli.h"
#include "support/local_http_server.h"
#include "support/own_network.h"
#include "support/test_support.h"

namespace orba {
namespace {

// What the namespace's interface holds: two addresses of this machine from
// the documentation ranges (which the range check alone would let pass),
// and one of each range of the user's network a listener can hold.
const std::vector<std::string> kInterfaceAddresses = {
    "203.0.113.5/32",       "2001:db8:5::5/128",      "100.64.0.1/32",  "100.100.100.200/32",
    "192.0.0.8/32",         "198.18.0.1/32",          "240.0.0.1/32",   "64:ff9b::a09:909/128",
    "64:ff9b:1::a09:909/128", "2002:7f00:1::1/128",   "fec0::1/128",    "2001:0:4136:e378:8000:63bf:f5f6:f6f6/128",
};
constexpr const char* kHosts = "100.64.0.1 mesh.test\n100.100.100.200 metadata.test\n2001:db8:5::5 self.test\n";
constexpr const char* kSecret = "user-secret";

enum class TForm : uint8_t { Direct, Redirect };

struct TRow {
  const char* host;     // as written in the URL
  const char* address;  // where the host leads
  const char* refused;  // the refusal's description of the address
  TForm form;
  bool listening;  // whether a plain connection reaches the service there
};

const TRow kRows[] = {
    {"203.0.113.5", "203.0.113.5", "203.0.113.5 (this machine)", TForm::Direct, true},
    {"[2001:db8:5::5]", "2001:db8:5::5", "2001:db8:5::5 (this machine)", TForm::Direct, true},
    {"self.test", "2001:db8:5::5", "2001:db8:5::5 (this machine)", TForm::Direct, true},
    {"[2001:db8:5::5]", "2001:db8:5::5", "2001:db8:5::5 (this machine)", TForm::Redirect, true},
    {"[::ffff:203.0.113.5]", "::ffff:203.0.113.5", "::ffff:203.0.113.5 (this machine)", TForm::Direct, true},
    {"100.64.0.1", "100.64.0.1", "100.64.0.1 (shared address space)", TForm::Direct, true},
    {"mesh.test", "100.64.0.1", "100.64.0.1 (shared address space)", TForm::Direct, true},
    {"100.64.0.1", "100.64.0.1", "100.64.0.1 (shared address space)", TForm::Redirect, true},
    {"100.100.100.200", "100.100.100.200", "100.100.100.200 (shared address space)", TForm::Direct, true},
    {"metadata.test", "100.100.100.200", "100.100.100.200 (shared address space)", TForm::Direct, true},
    {"100.100.100.200", "100.100.100.200", "100.100.100.200 (shared address space)", TForm::Redirect, true},
    {"192.0.0.8", "192.0.0.8", "192.0.0.8 (reserved)", TForm::Direct, true},
    {"198.18.0.1", "198.18.0.1", "198.18.0.1 (reserved)", TForm::Direct, true},
    {"240.0.0.1", "240.0.0.1", "240.0.0.1 (reserved)", TForm::Direct, true},
    {"[64:ff9b::a09:909]", "64:ff9b::a09:909", "64:ff9b::a09:909 (private)", TForm::Direct, true},
    {"[64:ff9b:1::a09:909]", "64:ff9b:1::a09:909", "64:ff9b:1::a09:909 (hides an IPv4 address)", TForm::Direct, true},
    {"[2002:7f00:1::1]", "2002:7f00:1::1", "2002:7f00:1::1 (loopback)", TForm::Direct, true},
    {"[fec0::1]", "fec0::1", "fec0::1 (private)", TForm::Direct, true},
    {"[2001:0:4136:e378:8000:63bf:f5f6:f6f6]", "2001:0:4136:e378:8000:63bf:f5f6:f6f6",
     "2001:0:4136:e378:8000:63bf:f5f6:f6f6 (hides an IPv4 address)", TForm::Direct, true},
    {"224.0.0.1", "224.0.0.1", "224.0.0.1 (multicast)", TForm::Direct, false},
    {"255.255.255.255", "255.255.255.255", "255.255.255.255 (reserved)", TForm::Direct, false},
    {"[ff0e::1]", "ff0e::1", "ff0e::1 (multicast)", TForm::Direct, false},
};

std::string DirectUrl(const TRow& row, int port) {
  return "http://" + std::string(row.host) + ":" + std::to_string(port) + "/secret";
}

// In the namespaces: the service's port, then one line a row,
// "reached|accepted|text|error"; or "skip REASON".
std::string FetchEveryRowInNamespaces() {
  const test::TempDir dir, site;
  const std::string why = test::MakeOwnNetwork(dir, kInterfaceAddresses, kHosts);
  if (!why.empty()) return "skip " + why;
  const test::TListeningService service(kSecret);
  const test::LocalHttpServer redirector(site.path());
  if (service.Port == 0 || !redirector.Started()) return "skip the namespace's listeners did not start";
  std::ostringstream out;
  out << service.Port << "\n";
  for (const TRow& row : kRows) {
    const bool reached = row.listening && service.PlainConnectionReaches(row.address);
    const int before = service.Accepted.load();
    TCurlHttpCli client(TNetAccess::InternetAndTestServer);
    client.URL = DirectUrl(row, service.Port);
    if (row.form == TForm::Redirect) client.URL = redirector.Url("redirect?to=" + client.URL);
    std::string text;
    const std::string error = test::ClientGet(client, &text);
    out << reached << "|" << service.Accepted.load() - before << "|" << text << "|" << error << "\n";
  }
  return out.str();
}

TEST(OwnNetwork, EveryFormOfTheUsersMachineAndNetworkIsRefusedBeforeItConnects) {
  InstallCurlHttpClient(TNetAccess::InternetAndTestServer);
  int status = 0;
  const std::string lines = test::InChild(FetchEveryRowInNamespaces, &status);
  ASSERT_EQ(status, 0);
  if (lines.rfind("skip ", 0) == 0) GTEST_SKIP() << lines.substr(5);
  std::istringstream in(lines);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  const int port = std::stoi(line);
  for (const TRow& row : kRows) {
    ASSERT_TRUE(std::getline(in, line)) << row.host;
    std::string url = DirectUrl(row, port);
    if (row.form == TForm::Redirect) url = "http://127.0.0.1:*/redirect?to=" + url;
    const std::string refusal = "HTTP: the address is refused: " + std::string(row.refused) + ": ";
    SCOPED_TRACE(url + " gave " + line);
    std::istringstream fields(line);
    std::string reached, accepted, text, error;
    std::getline(fields, reached, '|');
    std::getline(fields, accepted, '|');
    std::getline(fields, text, '|');
    std::getline(fields, error);
    EXPECT_EQ(reached, row.listening ? "1" : "0");
    EXPECT_EQ(accepted, "0");
    EXPECT_EQ(text, "");
    EXPECT_EQ(error.substr(0, refusal.size()), refusal);
    if (row.form == TForm::Direct) {
      EXPECT_EQ(error, refusal + url);
    }
  }
}

}  // namespace
}  // namespace orba
