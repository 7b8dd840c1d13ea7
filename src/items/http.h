// The HTTP item: downloads one URL with a GET in a worker thread and queues
// OnPlayEnd when the transfer has ended, well or not; the script then reads
// the body as text (EUC-JP converted to Shift-JIS, the lines joined with
// byte 0x01).
//
// The transfer runs on one of the few shared workers (items/http_workers.h)
// and fills a body of its own; the completion is taken over at the start of
// a tick (PollHttpTransfers), on the window thread, where the body becomes
// the item's response. Until then the item answers the last completed body.
// Destroying the item cancels the transfer without waiting for it; the
// completion is dropped. The text handed to the script ends at the limit of
// script texts.
//
// The client itself is a service of the network layer (THttpCli below),
// installed at start-up with SetHttpClientFactory.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "items/http_body.h"
#include "items/http_workers.h"
#include "items/orba_object.h"

namespace orba {

// An HTTP client: a GET of URL (through ProxyHost:ProxyPort when the host is
// set) into Body. Get raises EOrbaError on failure, keeping what arrived
// (also when the body passes its limits); it gives up soon after Cancel
// becomes true. Only http and https URLs are fetched.
class THttpCli {
 public:
  virtual ~THttpCli() = default;
  std::string URL, ProxyHost, ProxyPort;
  bool MultiThreaded = false;
  virtual void Get(THttpBody& body, const std::atomic<bool>& cancel) = 0;
};

using THttpClientFactory = std::function<std::unique_ptr<THttpCli>()>;
// Installs the client maker (nullptr: none; every transfer then fails).
void SetHttpClientFactory(THttpClientFactory factory);

struct THttpTransfer;

class TOrbaHttp final : public TOrbaComponent {
 public:
  explicit TOrbaHttp(TOrbaBaseList* manager);
  ~TOrbaHttp() override;

  // The client's settings; each transfer gets a client made with them.
  std::string URL, ProxyHost, ProxyPort;
  THttpBody Response;
  std::string OnPlayEnd;

  uint8_t GetCompoType() const override { return CT_HTTP; }
  // Starts a download; ignored while one runs. "!name" takes the URL from
  // the response of the HTTP item of that name.
  void SetSource(std::string v) override;
  std::string GetSource() const override { return URL; }
  std::string GetText() const override;
  std::string GetOnPlayEnd() const override { return OnPlayEnd; }
  void SetOnPlayEnd(std::string v) override { OnPlayEnd = std::move(v); }
  // "host:port"; setting splits at the first ':'.
  std::string GetProxy() const;
  void SetProxy(const std::string& v);
  bool GetBusy() const { return transfer_ != nullptr; }

  // The worker has ended: its body becomes the response, OnPlayEnd is
  // queued (unless the player is shutting down). Answers whether it ended.
  bool PollCompletion();

 private:
  std::shared_ptr<THttpTransfer> transfer_;
};

// Takes over the ended transfers of every HTTP item (start of a tick).
void PollHttpTransfers();

}  // namespace orba
