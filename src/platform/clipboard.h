// The clipboard that pictures are copied to and pasted from, and the data
// blocks (movable memory handles) that carry them.
//
// A picture hands its clipboard form over as a format number and a data
// block; formats other than the standard ones are registered by name.
// Blocks are locked to reach their bytes and unlocked again; one set on the
// clipboard belongs to the clipboard from then on, which frees it when it
// is emptied. The clipboard is opened before it is emptied, written or
// read, and closed after.
//
// The desktop's clipboard holds no pictures of ours, so the player keeps
// its own (platform/memory_clipboard.h): Clipboard() answers it unless a
// program installed another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orba {

// A clipboard format: a standard one, or one registered by name.
using TClipFormat = uint32_t;
// A data block's handle; 0 is none.
using TDataBlock = uintptr_t;

// The device-independent bitmap form: a bitmap-info header, its masks and
// colour table, then the pixel rows (a BMP file without its file header).
inline constexpr TClipFormat kClipFormatDib = 8;
// Registered formats take numbers from here on.
inline constexpr TClipFormat kFirstRegisteredFormat = 0xC000;

// The clipboard's calls, so that a test can make any of them fail.
enum class TClipboardCall { RegisterFormat, Open, Close, Empty, SetData, GetData, AllocBlock, LockBlock };

class TClipboard {
 public:
  virtual ~TClipboard() = default;

  // The number of the format of that name (the same name always gets the
  // same number); 0 when it cannot be registered.
  virtual TClipFormat RegisterFormat(const std::string& name) = 0;

  // A new zero-filled block of `size` bytes; 0 when none can be had.
  virtual TDataBlock AllocBlock(size_t size) = 0;
  // The block's bytes, counting one more lock; nullptr for no such block.
  virtual uint8_t* LockBlock(TDataBlock block) = 0;
  // Counts one lock less; false when the block was not locked.
  virtual bool UnlockBlock(TDataBlock block) = 0;
  // The block's size in bytes (0 for no such block).
  virtual size_t BlockSize(TDataBlock block) = 0;
  // Frees a block nobody else owns (one not set on the clipboard).
  virtual void FreeBlock(TDataBlock block) = 0;

  // False when it is open already or cannot be opened.
  virtual bool Open() = 0;
  virtual bool Close() = 0;
  // Frees every block the clipboard holds; only while open.
  virtual bool Empty() = 0;
  // Puts `block` under `format` (replacing and freeing what was there) and
  // takes it over; only while open. 0 on failure, when the caller keeps
  // the block.
  virtual TDataBlock SetData(TClipFormat format, TDataBlock block) = 0;
  // The block held under `format` (still the clipboard's); 0 when there is
  // none or the clipboard is not open.
  virtual TDataBlock GetData(TClipFormat format) = 0;
};

// The clipboard in use: the installed one, else the player's own.
TClipboard& Clipboard();
// Installs a clipboard (nullptr restores the player's own) and returns the
// previous one.
std::shared_ptr<TClipboard> SetClipboard(std::shared_ptr<TClipboard> clipboard);

// Keeps a block locked while it lives.
class TBlockLock {
 public:
  TBlockLock(TClipboard& clipboard, TDataBlock block)
      : clipboard_(clipboard), block_(block), bytes_(clipboard.LockBlock(block)) {}
  ~TBlockLock() {
    if (bytes_ != nullptr) clipboard_.UnlockBlock(block_);
  }
  TBlockLock(const TBlockLock&) = delete;
  TBlockLock& operator=(const TBlockLock&) = delete;
  // nullptr when the block could not be locked.
  uint8_t* Bytes() const { return bytes_; }

 private:
  TClipboard& clipboard_;
  TDataBlock block_;
  uint8_t* bytes_;
};

}  // namespace orba
