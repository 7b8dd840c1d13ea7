// The HTTP client over libcurl: a GET of an http or https URL, through a
// proxy when one is set, with a connect and a total time limit, the body's
// limits (items/http_body.h) and a cancel flag looked at every
// kCancelPollMs while the transfer runs. Every connection, to the server,
// the proxy or a redirect's target, is opened only to an address the
// network access allows (net/net_address.h), checked on the address itself
// as libcurl is about to connect. Each transfer uses its own curl handles,
// so clients may run in several threads.
#pragma once

#include <cstdint>

#include "items/http.h"
#include "net/net_address.h"

namespace orba {

class TCurlHttpCli final : public THttpCli {
 public:
  explicit TCurlHttpCli(TNetAccess access = TNetAccess::Internet) : access_(access) {}

  int32_t ConnectTimeoutMs = 15000;
  int32_t TotalTimeoutMs = 120000;
  static constexpr int32_t kCancelPollMs = 100;

  // Raises EOrbaError for a URL that is not http or https, a refused
  // address, a transfer that fails or is cancelled, a body past its limits
  // and a server answer of 400 or above.
  void Get(THttpBody& body, const std::atomic<bool>& cancel) override;

 private:
  TNetAccess access_;
};

// Makes the HTTP item's transfers use TCurlHttpCli with Access (start-up,
// window thread).
void InstallCurlHttpClient(TNetAccess access = TNetAccess::Internet);

}  // namespace orba
