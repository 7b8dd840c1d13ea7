// The read marks: per key (the script page, letter case ignored) the pairs
// (command index, message page) that a message window has shown to their
// end. A shown page is first pending; it becomes a mark when the window
// that showed it confirms it with the same context (its name).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"

namespace orba {

// One key's pairs, in the order they were added.
struct TOrbaRead {
  std::string Name;
  std::vector<int32_t> A, B;
  void Add(int32_t a, int32_t b);
  bool Contains(int32_t a, int32_t b) const;
};

class TOrbaReadList {
 public:
  std::string PendingKey;  // empty: nothing pending
  int32_t PendingA = 0, PendingB = 0;
  std::string PendingContext;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TOrbaRead& Item(int32_t index) const { return items_.at(static_cast<size_t>(index)); }
  // The item of a key (letter case ignored), or nullptr.
  const TOrbaRead* Find(const std::string& key) const;

  bool IsRead(const std::string& key, int32_t a, int32_t b) const;
  void SetPending(const std::string& context, const std::string& key, int32_t a, int32_t b);
  // Stores the pending pair when Context is the pending one; a pair already
  // stored stays pending.
  void CommitPending(const std::string& context);
  void Clear();

  // The status save's record. Loading a version below 100 gives an empty
  // store; every count is checked against the bytes left before anything
  // is allocated, and a stream that cannot be read leaves the store as it
  // was.
  void SaveToStream(TKsBigStream& stream) const;
  void LoadFromStream(TKsBigStream& stream, int32_t version);

 private:
  TOrbaRead* FindMutable(const std::string& key);
  std::vector<TOrbaRead> items_;
};

}  // namespace orba
