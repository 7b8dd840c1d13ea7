#include "items/http.h"

#include <algorithm>
#include <vector>

#include "core/game_clock.h"
#include "core/strings/sjis_string.h"
#include "core/system/trace.h"
#include "items/base_list.h"
#include "script/functions/sys_func.h"

namespace orba {

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

// The bytes of an EUC-JP text that fit in Limit without cutting a
// character in two (EUC-JP gives Shift-JIS of at most as many bytes).
size_t EucPrefixWithin(const std::string& s, size_t limit) {
  if (s.size() <= limit) return s.size();
  size_t i = 0;
  for (;;) {
    const auto c = static_cast<uint8_t>(s[i]);
    const size_t width = c < 0x81 || c == 0xFF ? 1 : 2;
    if (i + width > limit) return i;
    i += width;
  }
}

}  // namespace

void SetHttpClientFactory(THttpClientFactory factory) { Factory() = std::move(factory); }

TOrbaHttp::TOrbaHttp(TOrbaBaseList* manager) : TOrbaComponent(manager) { LiveItems().push_back(this); }

TOrbaHttp::~TOrbaHttp() {
  std::erase(LiveItems(), this);
  // The worker keeps its own share of the transfer and drops it at the end.
  if (transfer_ != nullptr) transfer_->Cancel = true;
}

void TOrbaHttp::SetSource(std::string v) {
  if (transfer_ != nullptr) return;
  Response.Clear();
  std::string url = v;
  if (!v.empty() && v[0] == '!' && Manager != nullptr) {
    if (const auto* other = dynamic_cast<const TOrbaHttp*>(Manager->FindObject(v.substr(1))))
      url = other->Response.Text();
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
  StartHttpTransfer(t);
}

std::string TOrbaHttp::GetText() const {
  const std::string& body = Response.Text();
  if (body.empty()) return std::string();
  // A script text has a limit of its own: a longer body is given cut.
  const size_t kept = EucPrefixWithin(body, static_cast<size_t>(kMaxTextResult));
  if (kept < body.size())
    Trace("HTTP: the body of " + std::to_string(body.size()) + " bytes is cut to " + std::to_string(kept) +
          " for the script");
  const std::string text = EucToSjis(kept < body.size() ? body.substr(0, kept) : body);
  std::string out;
  out.reserve(text.size());
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
  if (transfer_ == nullptr || !transfer_->Ended.load(std::memory_order_acquire)) return false;
  if (!transfer_->Failure.empty()) Trace("HTTP: the transfer failed: " + transfer_->Failure);
  Response = std::move(transfer_->Body);
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
