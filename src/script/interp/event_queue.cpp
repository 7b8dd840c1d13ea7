#include "script/interp/event_queue.h"

#include <algorithm>

#include "core/streams/stream_encoding.h"
#include "script/save/save_versions.h"

namespace orba {

int32_t TTimerList::IndexOf(const TTimerData* entry) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == entry) return static_cast<int32_t>(i);
  return -1;
}

int32_t TTimerList::QueueEvent(TObjectHandle sender, const std::string& label,
                               const TArrayString* args, uint8_t code) {
  auto entry = std::make_unique<TTimerData>(this);
  entry->Label = label;
  entry->Sender = sender;
  entry->Code = code;
  if (args != nullptr) entry->Args.Assign(*args);
  items_.push_back(std::move(entry));
  Tally(*items_.back(), true);
  return Count() - 1;
}

void TTimerList::Tally(const TTimerData& entry, bool joins) {
  const std::pair<std::unordered_map<uint64_t, uint32_t>*, uint64_t> tallies[] = {
      {&counts_, KeyOf(entry.Sender, entry.Code)}, {&senders_, entry.Sender.Id}};
  for (auto [map, key] : tallies) {
    if (joins) {
      ++(*map)[key];
    } else if (auto it = map->find(key); it != map->end() && --it->second == 0) {
      map->erase(it);
    }
  }
  if (entry.Level != 0) joins ? ++running_ : --running_;
}

template <class TPred>
void TTimerList::EraseIf(TPred pred, size_t end) {
  const auto last = items_.begin() + static_cast<std::ptrdiff_t>(end);
  const auto kept = std::remove_if(items_.begin(), last, [&](const std::unique_ptr<TTimerData>& e) {
    if (!pred(*e)) return false;
    Tally(*e, false);
    return true;
  });
  items_.erase(kept, last);
}

size_t TTimerList::RunningSpan() const {
  size_t seen = 0, end = 0;
  while (seen < running_ && end < items_.size())
    if (items_[end++]->Level != 0) ++seen;
  return end;
}

void TTimerList::SetLevel(TTimerData& entry, uint32_t level) {
  if ((entry.Level != 0) != (level != 0)) level != 0 ? ++running_ : --running_;
  entry.Level = level;
}

bool TTimerList::HasQueuedEvent(TObjectHandle sender, uint8_t code) const {
  return counts_.contains(KeyOf(sender, code));
}

int32_t TTimerList::FindQueuedEvent(TObjectHandle sender, uint8_t code) const {
  if (!HasQueuedEvent(sender, code)) return -1;
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->Sender == sender && items_[i]->Code == code) return static_cast<int32_t>(i);
  return -1;
}

TTimerData* TTimerList::FirstReady() const {
  for (const auto& entry : items_)
    if (entry->Level == 0) return entry.get();
  return nullptr;
}

void TTimerList::DeleteLevel(uint32_t level) {
  if (level != 0) EraseIf([level](const TTimerData& e) { return e.Level == level; }, RunningSpan());
  else EraseIf([](const TTimerData& e) { return e.Level == 0; }, items_.size());
}

void TTimerList::DeleteNested() {
  EraseIf([](const TTimerData& e) { return e.Level != 0; }, RunningSpan());
}

void TTimerList::RemoveSender(TObjectHandle sender) {
  if (!senders_.contains(sender.Id)) return;
  EraseIf([sender](const TTimerData& e) { return e.Level == 0 && e.Sender == sender; }, items_.size());
}

void TTimerList::DetachSender(TObjectHandle sender) {
  if (!sender || !senders_.contains(sender.Id)) return;
  for (const auto& e : items_) {
    if (e->Sender != sender) continue;
    Tally(*e, false);
    e->Sender = TObjectHandle{};
    Tally(*e, true);
  }
}

void TTimerList::Delete(int32_t index) {
  if (index < 0 || index >= Count()) return;
  Tally(*items_[static_cast<size_t>(index)], false);
  items_.erase(items_.begin() + index);
}

void TTimerList::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Count());
  for (const auto& entry : items_) {
    WriteStreamString(stream, entry->Label);
    std::string sender;
    if (entry->Sender && objects_ != nullptr && objects_->IsAlive(entry->Sender))
      sender = objects_->GetObjectName(entry->Sender);
    WriteStreamString(stream, sender);
    WriteStreamByte(stream, entry->Code);
    WriteStreamInt(stream, static_cast<int32_t>(entry->Level));
    entry->Args.SaveToStream(stream);
  }
}

void TTimerList::LoadFromStream(TKsBigStream& stream, int32_t version) {
  const bool long_level = version >= kSlotLongEventLevelVersion;
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  // Label, sender, code, level and argument count at their smallest.
  CheckStoredCount(stream, count, 4 + 4 + 1 + (long_level ? 4 : 1) + 4);
  struct TStaged {
    std::unique_ptr<TTimerData> Entry;
    std::string SenderName;
  };
  std::vector<TStaged> staged;
  staged.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    TStaged s{std::make_unique<TTimerData>(this), std::string()};
    s.Entry->Label = ReadStreamString(stream);
    s.SenderName = ReadStreamString(stream);
    s.Entry->Code = ReadByteVal(stream);
    if (long_level)
      s.Entry->Level = static_cast<uint32_t>(ReadStreamInt(stream));
    else
      s.Entry->Level = ReadByteVal(stream) != 0 ? 1 : 0;
    s.Entry->Args.LoadFromStream(stream);
    staged.push_back(std::move(s));
  }
  Clear();
  for (auto& s : staged) {
    if (!s.SenderName.empty() && objects_ != nullptr) s.Entry->Sender = objects_->FindObject(s.SenderName);
    items_.push_back(std::move(s.Entry));
    Tally(*items_.back(), true);
  }
}

}  // namespace orba
