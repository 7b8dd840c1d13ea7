#include "net/http_cli.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "core/errors.h"
#include "core/strings/sjis_case.h"

namespace orba {

namespace {

struct TSink {
  std::string* Body;
  const std::atomic<bool>* Cancel;
  bool TooLarge = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<TSink*>(user);
  const size_t n = size * count;
  if (sink->Cancel->load() || sink->Body->size() + n > TCurlHttpCli::kMaxBody) {
    sink->TooLarge = !sink->Cancel->load();
    return 0;  // libcurl ends the transfer with a write error
  }
  sink->Body->append(data, n);
  return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<TSink*>(user)->Cancel->load() ? 1 : 0;
}

bool IsWebUrl(const std::string& url) {
  const std::string lower = SjisLowerCase(url.substr(0, 8));
  return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

}  // namespace

void TCurlHttpCli::Get(std::string& body, const std::atomic<bool>& cancel) {
  if (!IsWebUrl(URL)) throw EOrbaError("HTTP: only http and https addresses are fetched: " + URL);
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
  if (curl == nullptr) throw EOrbaError("HTTP: cannot start a transfer");
  CURL* h = curl.get();
  TSink sink{&body, &cancel};
  curl_easy_setopt(h, CURLOPT_URL, URL.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(ConnectTimeoutMs));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(TotalTimeoutMs));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Progress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &sink);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  std::string proxy;
  if (!ProxyHost.empty()) {
    proxy = ProxyPort.empty() ? ProxyHost : ProxyHost + ":" + ProxyPort;
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
  } else {
    // No proxy of the environment either: the game's setting is the only one.
    curl_easy_setopt(h, CURLOPT_PROXY, "");
  }
  const CURLcode code = curl_easy_perform(h);
  if (code == CURLE_OK) return;
  if (sink.TooLarge) throw EOrbaError("HTTP: the answer is too large: " + URL);
  throw EOrbaError(std::string("HTTP: ") + curl_easy_strerror(code) + ": " + URL);
}

void InstallCurlHttpClient() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  SetHttpClientFactory([] { return std::make_unique<TCurlHttpCli>(); });
}

}  // namespace orba
