// A downloaded body, held against two limits: one body's size, and what all
// bodies of all HTTP items hold together (running transfers and finished
// responses alike), so that many items fetching endless answers cannot fill
// memory between them. The memory a body reserves is what it is charged,
// growing by doubling on a fresh buffer, so the charge is the real cost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orba {

class THttpBody {
 public:
  // One body: far beyond any page or file a game downloads.
  static constexpr size_t kMaxBytes = size_t{32} << 20;
  // All bodies together: two full-size bodies.
  static constexpr size_t kMaxHeldBytes = size_t{64} << 20;

  enum class TAppend : uint8_t { Appended, TooLarge, OverHeldLimit };

  THttpBody() = default;
  ~THttpBody() { Clear(); }
  THttpBody(THttpBody&& other) noexcept;
  THttpBody& operator=(THttpBody&& other) noexcept;
  THttpBody(const THttpBody&) = delete;
  THttpBody& operator=(const THttpBody&) = delete;

  // Appends N bytes, or nothing when the body would pass kMaxBytes or the
  // bodies together kMaxHeldBytes. Safe beside other bodies in other threads.
  TAppend Append(const char* data, size_t n);
  const std::string& Text() const { return text_; }
  bool Empty() const { return text_.empty(); }
  void Clear();

  // What all bodies are charged now.
  static size_t HeldBytes();

 private:
  std::string text_;
  size_t charged_ = 0;
};

}  // namespace orba
