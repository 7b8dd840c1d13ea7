// The HTTP client over libcurl: a GET of an http or https URL, through a
// proxy when one is set, with a connect and a total time limit, a cap on the
// body's size and a cancel flag looked at while the transfer runs. Each
// transfer uses its own curl handle, so clients may run in several threads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "items/http.h"

namespace orba {

class TCurlHttpCli final : public THttpCli {
 public:
  int32_t ConnectTimeoutMs = 15000;
  int32_t TotalTimeoutMs = 120000;
  // A larger body is refused (the transfer fails with what arrived).
  static constexpr size_t kMaxBody = size_t{32} << 20;

  // Raises EOrbaError for a URL that is not http or https, a transfer that
  // fails or is cancelled, and a server answer of 400 or above.
  void Get(std::string& body, const std::atomic<bool>& cancel) override;
};

// Makes the HTTP item's transfers use TCurlHttpCli (start-up, window thread).
void InstallCurlHttpClient();

}  // namespace orba
