#include "platform/memory_clipboard.h"

#include "platform/service_slot.h"

namespace orba {

namespace {

TServiceSlot<TClipboard>& Slot() {
  static TServiceSlot<TClipboard> slot("clipboard");
  return slot;
}

TClipboard& OwnClipboard() {
  static TMemoryClipboard own;
  return own;
}

}  // namespace

TClipboard& Clipboard() {
  TClipboard* installed = Slot().Find();
  return installed != nullptr ? *installed : OwnClipboard();
}

std::shared_ptr<TClipboard> SetClipboard(std::shared_ptr<TClipboard> clipboard) {
  return Slot().Set(std::move(clipboard));
}

TClipFormat TMemoryClipboard::RegisterFormat(const std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  if (Failing(TClipboardCall::RegisterFormat) || name.empty()) return 0;
  auto it = formats_.find(name);
  if (it != formats_.end()) return it->second;
  const TClipFormat format = kFirstRegisteredFormat + static_cast<TClipFormat>(formats_.size());
  formats_.emplace(name, format);
  return format;
}

TDataBlock TMemoryClipboard::AllocBlock(size_t size) {
  std::lock_guard<std::mutex> guard(lock_);
  if (Failing(TClipboardCall::AllocBlock) || size > kMaxBlockSize) return 0;
  const TDataBlock block = next_block_++;
  blocks_[block].Bytes.assign(size, 0);
  return block;
}

uint8_t* TMemoryClipboard::LockBlock(TDataBlock block) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = blocks_.find(block);
  if (Failing(TClipboardCall::LockBlock) || it == blocks_.end()) return nullptr;
  ++it->second.Locks;
  // A block of 0 bytes still has an address while locked.
  static uint8_t nothing = 0;
  return it->second.Bytes.empty() ? &nothing : it->second.Bytes.data();
}

bool TMemoryClipboard::UnlockBlock(TDataBlock block) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = blocks_.find(block);
  if (it == blocks_.end() || it->second.Locks == 0) return false;
  --it->second.Locks;
  return true;
}

size_t TMemoryClipboard::BlockSize(TDataBlock block) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = blocks_.find(block);
  return it == blocks_.end() ? 0 : it->second.Bytes.size();
}

void TMemoryClipboard::FreeBlock(TDataBlock block) {
  std::lock_guard<std::mutex> guard(lock_);
  for (const auto& [format, held] : held_)
    if (held == block) return;  // the clipboard's own
  blocks_.erase(block);
}

bool TMemoryClipboard::Open() {
  std::lock_guard<std::mutex> guard(lock_);
  if (Failing(TClipboardCall::Open) || open_) return false;
  open_ = true;
  return true;
}

bool TMemoryClipboard::Close() {
  std::lock_guard<std::mutex> guard(lock_);
  if (Failing(TClipboardCall::Close) || !open_) return false;
  open_ = false;
  return true;
}

bool TMemoryClipboard::Empty() {
  std::lock_guard<std::mutex> guard(lock_);
  if (Failing(TClipboardCall::Empty) || !open_) return false;
  for (const auto& [format, block] : held_) blocks_.erase(block);
  held_.clear();
  return true;
}

TDataBlock TMemoryClipboard::SetData(TClipFormat format, TDataBlock block) {
  std::lock_guard<std::mutex> guard(lock_);
  if (Failing(TClipboardCall::SetData) || !open_ || format == 0 || blocks_.count(block) == 0) return 0;
  auto it = held_.find(format);
  if (it != held_.end() && it->second != block) blocks_.erase(it->second);
  held_[format] = block;
  return block;
}

TDataBlock TMemoryClipboard::GetData(TClipFormat format) {
  std::lock_guard<std::mutex> guard(lock_);
  if (Failing(TClipboardCall::GetData) || !open_) return 0;
  auto it = held_.find(format);
  return it == held_.end() ? 0 : it->second;
}

void TMemoryClipboard::Fail(TClipboardCall call, bool fail) {
  std::lock_guard<std::mutex> guard(lock_);
  if (fail) failing_.insert(call);
  else failing_.erase(call);
}

size_t TMemoryClipboard::LiveBlocks() {
  std::lock_guard<std::mutex> guard(lock_);
  return blocks_.size();
}

int32_t TMemoryClipboard::LocksHeld() {
  std::lock_guard<std::mutex> guard(lock_);
  int32_t locks = 0;
  for (const auto& [handle, block] : blocks_) locks += block.Locks;
  return locks;
}

std::set<TClipFormat> TMemoryClipboard::Formats() {
  std::lock_guard<std::mutex> guard(lock_);
  std::set<TClipFormat> formats;
  for (const auto& [format, block] : held_) formats.insert(format);
  return formats;
}

bool TMemoryClipboard::IsOpen() {
  std::lock_guard<std::mutex> guard(lock_);
  return open_;
}

}  // namespace orba
