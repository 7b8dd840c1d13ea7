// The player's own clipboard: formats, blocks and the clipboard's contents
// in this process's memory. Tests make chosen calls fail, as a busy or
// exhausted desktop clipboard would.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/clipboard.h"

namespace orba {

class TMemoryClipboard : public TClipboard {
 public:
  TClipFormat RegisterFormat(const std::string& name) override;
  TDataBlock AllocBlock(size_t size) override;
  uint8_t* LockBlock(TDataBlock block) override;
  bool UnlockBlock(TDataBlock block) override;
  size_t BlockSize(TDataBlock block) override;
  void FreeBlock(TDataBlock block) override;
  bool Open() override;
  bool Close() override;
  bool Empty() override;
  TDataBlock SetData(TClipFormat format, TDataBlock block) override;
  TDataBlock GetData(TClipFormat format) override;

  // Makes `call` fail from now on (or work again).
  void Fail(TClipboardCall call, bool fail = true);
  // What tests look at: the blocks alive, the locks held, the formats held.
  size_t LiveBlocks();
  int32_t LocksHeld();
  std::set<TClipFormat> Formats();
  bool IsOpen();

  // Blocks larger than this are refused, as an exhausted heap would.
  static constexpr size_t kMaxBlockSize = size_t{1} << 30;

 private:
  struct TBlock {
    std::vector<uint8_t> Bytes;
    int32_t Locks = 0;
  };
  bool Failing(TClipboardCall call) const { return failing_.count(call) != 0; }

  std::mutex lock_;
  std::set<TClipboardCall> failing_;
  std::map<std::string, TClipFormat> formats_;
  std::map<TDataBlock, TBlock> blocks_;
  TDataBlock next_block_ = 1;
  std::map<TClipFormat, TDataBlock> held_;
  bool open_ = false;
};

}  // namespace orba
