// The script event queue. Screen objects never run script code: an object
// whose handler should run appends an entry here, and the interpreter takes
// the entries in order and runs each handler as an event call, giving the
// entry its call level while the handler runs. The queue travels with the
// saved game, so events pending at save time are raised again after a load.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/containers/containers.h"
#include "core/streams/big_stream.h"
#include "script/interp/object_services.h"

namespace orba {

class TTimerList;

// One queued event.
// Sender, Code and Level are set before the entry joins a queue; the queue
// counts its entries by them, so that later changes go through it
// (TTimerList::SetLevel, TTimerList::DetachSender).
class TTimerData {
 public:
  explicit TTimerData(TTimerList* owner) : Owner(owner) {}
  TTimerList* Owner;
  std::string Label;      // "page:label" of the handler
  TObjectHandle Sender;   // the object that raised it; none for no sender
  uint8_t Code = 0;       // the handler property's id
  uint32_t Level = 0;     // call level while it runs; 0 = waiting (TTimerList::SetLevel)
  TArrayString Args;
};

class TTimerList {
 public:
  // Objects answers sender names when saving and loading.
  explicit TTimerList(TObjectServices* objects = nullptr) : objects_(objects) {}
  TTimerList(const TTimerList&) = delete;
  TTimerList& operator=(const TTimerList&) = delete;

  void SetObjects(TObjectServices* objects) { objects_ = objects; }

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TTimerData* GetItem(int32_t index) const { return items_.at(static_cast<size_t>(index)).get(); }
  int32_t IndexOf(const TTimerData* entry) const;

  // Appends a waiting entry (Level 0) with a copy of Args (when given);
  // answers its position.
  int32_t QueueEvent(TObjectHandle sender, const std::string& label, const TArrayString* args,
                     uint8_t code);
  // The first entry of this sender and code at any level, or -1.
  int32_t FindQueuedEvent(TObjectHandle sender, uint8_t code) const;
  // Whether an entry of this sender and code waits or runs: one lookup, so
  // that thousands of timers each asking once a tick do not walk the queue.
  bool HasQueuedEvent(TObjectHandle sender, uint8_t code) const;
  // Whether any entry of this sender waits or runs.
  bool HasSender(TObjectHandle sender) const { return senders_.contains(sender.Id); }
  // The first waiting entry (Level 0), left in the queue; nullptr when none.
  TTimerData* FirstReady() const;
  // Entry (of this queue) starts running at Level, or waits again at 0.
  void SetLevel(TTimerData& entry, uint32_t level);
  void DeleteLevel(uint32_t level);
  // Removes every entry whose Level is not 0.
  void DeleteNested();
  // Removes the waiting entries of a sender (an object that is being freed);
  // entries of running handlers stay.
  void RemoveSender(TObjectHandle sender);
  // The entries of a sender that is being freed keep running without it.
  void DetachSender(TObjectHandle sender);
  void Delete(int32_t index);
  void Clear() noexcept {
    items_.clear();
    counts_.clear();
    senders_.clear();
    running_ = 0;
  }

  // int32 count; per entry: label, sender name ("" for none or a freed
  // sender), code byte, level (int32; one byte before version 114, any value
  // but 0 reading as 1), argument list.
  void SaveToStream(TKsBigStream& stream) const;
  // Reads the whole list first; a damaged list raises EReadError and leaves
  // the queue as it was. Sender names are looked up after reading.
  void LoadFromStream(TKsBigStream& stream, int32_t version);

 private:
  // Entry joins or leaves the tallies below.
  void Tally(const TTimerData& entry, bool joins);
  // Removes the entries Pred picks among the first End, keeping the counts.
  template <class TPred>
  void EraseIf(TPred pred, size_t end);
  // How many entries from the front hold every running one. Running entries
  // sit at the front (each was the first waiting one when it started), so
  // ending a handler looks at a few entries, not at every waiting one.
  size_t RunningSpan() const;
  static uint64_t KeyOf(TObjectHandle sender, uint8_t code) { return sender.Id * 256 + code; }

  TObjectServices* objects_;
  // A deque: handlers end at the front, and removing there moves nothing
  // behind.
  std::deque<std::unique_ptr<TTimerData>> items_;
  // Entries by sender and code (KeyOf: serials stay far below 2^56), and
  // by sender alone.
  std::unordered_map<uint64_t, uint32_t> counts_;
  std::unordered_map<uint64_t, uint32_t> senders_;
  // Entries whose Level is not 0.
  size_t running_ = 0;
};

}  // namespace orba
