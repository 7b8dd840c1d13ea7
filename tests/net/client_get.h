// A GET by the HTTP client alone, outside any item, for the network tests.
#pragma once

#include <atomic>
#include <string>

#include "core/errors.h"
#include "net/http_cli.h"

namespace orba::test {

// Runs Client's GET: the error it raised or "", and in Text, when given,
// what arrived.
inline std::string ClientGet(TCurlHttpCli& client, std::string* text = nullptr) {
  THttpBody body;
  const std::atomic<bool> cancel{false};
  std::string error;
  try {
    client.Get(body, cancel);
  } catch (const EOrbaError& e) {
    error = e.what();
  }
  if (text != nullptr) *text = body.Text();
  return error;
}

}  // namespace orba::test
