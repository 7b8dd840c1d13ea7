#include "items/http_body.h"

#include <algorithm>
#include <atomic>

namespace orba {

namespace {

std::atomic<size_t>& Held() {
  static std::atomic<size_t> held{0};
  return held;
}

// Takes N bytes of the shared limit, or nothing when they do not fit.
bool Charge(size_t n) {
  size_t held = Held().load();
  do {
    if (n > THttpBody::kMaxHeldBytes - held) return false;
  } while (!Held().compare_exchange_weak(held, held + n));
  return true;
}

void Release(size_t n) { Held().fetch_sub(n); }

constexpr size_t kFirstReserve = size_t{16} << 10;

}  // namespace

THttpBody::THttpBody(THttpBody&& other) noexcept : text_(std::move(other.text_)), charged_(other.charged_) {
  other.text_.clear();
  other.charged_ = 0;
}

THttpBody& THttpBody::operator=(THttpBody&& other) noexcept {
  if (this != &other) {
    Clear();
    text_ = std::move(other.text_);
    charged_ = other.charged_;
    other.text_.clear();
    other.charged_ = 0;
  }
  return *this;
}

THttpBody::TAppend THttpBody::Append(const char* data, size_t n) {
  if (n > kMaxBytes - text_.size()) return TAppend::TooLarge;
  const size_t need = text_.size() + n;
  if (need > charged_) {
    // A fresh buffer of exactly the size asked for: the old one is freed
    // once copied, and both are charged while they live side by side.
    size_t want = std::min(std::max({need, charged_ * 2, kFirstReserve}), kMaxBytes);
    if (!Charge(want)) {
      // No room to double: what room is left, in one step, so that a body
      // near the limit is not copied anew for every piece that arrives.
      want = std::min(kMaxHeldBytes - std::min(HeldBytes(), kMaxHeldBytes), kMaxBytes);
      if (want < need || !Charge(want)) return TAppend::OverHeldLimit;
    }
    std::string grown;
    grown.reserve(want);
    grown.append(text_);
    text_.swap(grown);
    grown = std::string();
    Release(charged_);
    charged_ = want;
  }
  text_.append(data, n);
  return TAppend::Appended;
}

void THttpBody::Clear() {
  text_ = std::string();
  Release(charged_);
  charged_ = 0;
}

size_t THttpBody::HeldBytes() { return Held().load(); }

}  // namespace orba
