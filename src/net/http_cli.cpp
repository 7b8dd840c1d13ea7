#include "net/http_cli.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <memory>
#include <mutex>

#include "core/errors.h"
#include "core/strings/sjis_case.h"

namespace orba {

namespace {

struct TSink {
  THttpBody* Body;
  const std::atomic<bool>* Cancel;
  TNetAccess Access;
  THttpBody::TAppend Refusal = THttpBody::TAppend::Appended;
  // The address a connection was refused to, for the error.
  std::string RefusedAddress;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<TSink*>(user);
  const size_t n = size * count;
  if (sink->Cancel->load()) return 0;  // libcurl ends the transfer with a write error
  sink->Refusal = sink->Body->Append(data, n);
  return sink->Refusal == THttpBody::TAppend::Appended ? n : 0;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<TSink*>(user)->Cancel->load() ? 1 : 0;
}

// Opens the socket of every connection libcurl makes, once the address is
// known, unless the address is refused.
curl_socket_t OpenSocket(void* user, curlsocktype purpose, curl_sockaddr* address) {
  auto* sink = static_cast<TSink*>(user);
  const auto* where = reinterpret_cast<const sockaddr*>(&address->addr);
  TAddressKind kind = TAddressKind::NotInternet;
  if (purpose != CURLSOCKTYPE_IPCXN || !AddressAllowed(where, address->addrlen, sink->Access, &kind)) {
    if (sink->RefusedAddress.empty()) sink->RefusedAddress = DescribeAddress(where, address->addrlen, kind);
    return CURL_SOCKET_BAD;
  }
  return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

bool IsWebUrl(const std::string& url) {
  const std::string lower = SjisLowerCase(url.substr(0, 8));
  return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

using TEasy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using TMulti = std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)>;

// Runs the transfer on a multi handle of its own, so that a cancel is seen
// within kCancelPollMs even while no byte arrives.
CURLcode Perform(CURL* h, const std::atomic<bool>& cancel) {
  TMulti multi(curl_multi_init(), &curl_multi_cleanup);
  if (multi == nullptr || curl_multi_add_handle(multi.get(), h) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      result = CURLE_RECV_ERROR;
      break;
    }
    if (running == 0) {
      int left = 0;
      while (const CURLMsg* message = curl_multi_info_read(multi.get(), &left))
        if (message->msg == CURLMSG_DONE) result = message->data.result;
      break;
    }
    if (cancel.load()) break;
    curl_multi_poll(multi.get(), nullptr, 0, TCurlHttpCli::kCancelPollMs, nullptr);
  }
  curl_multi_remove_handle(multi.get(), h);
  return result;
}

}  // namespace

void TCurlHttpCli::Get(THttpBody& body, const std::atomic<bool>& cancel) {
  if (!IsWebUrl(URL)) throw EOrbaError("HTTP: only http and https addresses are fetched: " + URL);
  TEasy curl(curl_easy_init(), &curl_easy_cleanup);
  if (curl == nullptr) throw EOrbaError("HTTP: cannot start a transfer");
  CURL* h = curl.get();
  TSink sink{&body, &cancel, access_, THttpBody::TAppend::Appended, std::string()};
  curl_easy_setopt(h, CURLOPT_URL, URL.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075700
  // A name still being resolved is left to its thread at cleanup, not
  // waited for: a cancel ends the transfer at once.
  curl_easy_setopt(h, CURLOPT_QUICK_EXIT, 1L);
#endif
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(ConnectTimeoutMs));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(TotalTimeoutMs));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Progress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &sink);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &OpenSocket);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &sink);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  std::string proxy;
  if (!ProxyHost.empty()) {
    proxy = ProxyPort.empty() ? ProxyHost : ProxyHost + ":" + ProxyPort;
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
  } else {
    // No proxy of the environment either: the game's setting is the only one.
    curl_easy_setopt(h, CURLOPT_PROXY, "");
  }
  const CURLcode code = Perform(h, cancel);
  if (code == CURLE_OK) return;
  if (sink.Refusal == THttpBody::TAppend::TooLarge) throw EOrbaError("HTTP: the answer is too large: " + URL);
  if (sink.Refusal == THttpBody::TAppend::OverHeldLimit)
    throw EOrbaError("HTTP: the downloads together are too large: " + URL);
  if (!sink.RefusedAddress.empty() && code == CURLE_COULDNT_CONNECT)
    throw EOrbaError("HTTP: the address is refused: " + sink.RefusedAddress + ": " + URL);
  if (cancel.load()) throw EOrbaError("HTTP: cancelled: " + URL);
  throw EOrbaError(std::string("HTTP: ") + curl_easy_strerror(code) + ": " + URL);
}

void InstallCurlHttpClient(TNetAccess access) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  SetHttpClientFactory([access] { return std::make_unique<TCurlHttpCli>(access); });
}

}  // namespace orba
