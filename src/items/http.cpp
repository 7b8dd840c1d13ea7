#include "items/http.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/game_clock.h"
#include "core/strings/sjis_string.h"
#include "core/system/trace.h"
#include "items/base_list.h"

namespace orba {

// One running download. The worker writes Body only; the window thread
// reads it after Ended is seen under the lock.
struct THttpTransfer {
  std::unique_ptr<THttpCli> Client;
  std::string Body;
  // Why the transfer failed (empty when it did not); read like Body.
  std::string Failure;
  std::atomic<bool> Cancel{false};
  std::mutex Lock;
  std::condition_variable EndedSignal;
  bool Ended = false;
  std::thread Worker;
};

namespace {

THttpClientFactory& Factory() {
  static THttpClientFactory factory;
  return factory;
}

// The living HTTP items, for the poll at the start of a tick.
std::vector<TOrbaHttp*>& LiveItems() {
  static std::vector<TOrbaHttp*> items;
  return items;
}

void RunTransfer(const std::shared_ptr<THttpTransfer>& t) {
  try {
    if (t->Client == nullptr) throw EOrbaError("no HTTP client installed");
    t->Client->Get(t->Body, t->Cancel);
  } catch (...) {  // kept in Failure, traced by the window thread
    // A failed transfer ends like any other; the body keeps what arrived.
    t->Failure = CaughtMessage();
  }
  std::lock_guard<std::mutex> lock(t->Lock);
  t->Ended = true;
  t->EndedSignal.notify_all();
}

}  // namespace

void SetHttpClientFactory(THttpClientFactory factory) { Factory() = std::move(factory); }

TOrbaHttp::TOrbaHttp(TOrbaBaseList* manager) : TOrbaComponent(manager) { LiveItems().push_back(this); }

TOrbaHttp::~TOrbaHttp() {
  auto& items = LiveItems();
  items.erase(std::remove(items.begin(), items.end(), this), items.end());
  if (transfer_ == nullptr) return;
  transfer_->Cancel = true;
  bool ended = false;
  {
    std::unique_lock<std::mutex> lock(transfer_->Lock);
    ended = transfer_->EndedSignal.wait_for(lock, kHttpJoinBound, [this] { return transfer_->Ended; });
  }
  if (ended) {
    transfer_->Worker.join();
  } else {
    // The worker keeps its own share of the transfer and ends on its own.
    Trace("HTTP: the transfer did not stop in time and is left behind");
    transfer_->Worker.detach();
  }
}

void TOrbaHttp::SetSource(std::string v) {
  if (transfer_ != nullptr) return;
  Response.clear();
  std::string url = v;
  if (!v.empty() && v[0] == '!' && Manager != nullptr) {
    if (const auto* other = dynamic_cast<const TOrbaHttp*>(Manager->FindObject(v.substr(1)))) url = other->Response;
  }
  URL = url;
  auto t = std::make_shared<THttpTransfer>();
  if (Factory()) t->Client = Factory()();
  if (t->Client != nullptr) {
    t->Client->MultiThreaded = true;
    t->Client->URL = URL;
    t->Client->ProxyHost = ProxyHost;
    t->Client->ProxyPort = ProxyPort;
  }
  transfer_ = t;
  t->Worker = std::thread([t] { RunTransfer(t); });
}

std::string TOrbaHttp::GetText() const {
  if (Response.empty()) return std::string();
  const std::string text = EucToSjis(Response);
  std::string out;
  size_t i = 0;
  bool first = true;
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    if (!first) out += '\x01';
    out.append(text, i, end - i);
    first = false;
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    i = end + 1;
  }
  return out;
}

std::string TOrbaHttp::GetProxy() const { return ProxyHost + ":" + ProxyPort; }

void TOrbaHttp::SetProxy(const std::string& v) {
  const size_t colon = v.find(':');
  ProxyHost = v.substr(0, colon);
  ProxyPort = colon == std::string::npos ? std::string() : v.substr(colon + 1);
}

bool TOrbaHttp::PollCompletion() {
  if (transfer_ == nullptr) return false;
  {
    std::lock_guard<std::mutex> lock(transfer_->Lock);
    if (!transfer_->Ended) return false;
  }
  transfer_->Worker.join();
  if (!transfer_->Failure.empty()) Trace("HTTP: the transfer failed: " + transfer_->Failure);
  Response.swap(transfer_->Body);
  transfer_.reset();
  if (!Terminating && !OnPlayEnd.empty()) QueueEvent(OnPlayEnd, PR_ONPLAYEND);
  return true;
}

void PollHttpTransfers() {
  const std::vector<TOrbaHttp*> items = LiveItems();
  for (TOrbaHttp* item : items)
    if (std::find(LiveItems().begin(), LiveItems().end(), item) != LiveItems().end()) item->PollCompletion();
}

}  // namespace orba
