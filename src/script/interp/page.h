// A script page: the commands of one compiled page file (".osb") with its
// per-opcode property bitmaps, and the reader and writer of that file.
//
// Page file, little-endian: int32 Version (103 to 115 are read), u8
// ResultType, int32 MaskCount N, int32 MaskSize S, N bitmap records of S
// bytes (record i is opcode i's bitmap; the first 21 bytes count), int32
// CommandCount M, then M times an opcode byte (bit 7 ignored) and the
// command's record.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/streams/big_stream.h"
#include "core/vocab/vocab.h"
#include "script/interp/command.h"

namespace orba {

constexpr int kPropMaskBytes = 21;  // bits for ids 0 .. 167
using TPropMask = std::array<uint8_t, kPropMaskBytes>;

constexpr int32_t kOldestPageVersion = 103;

// The largest page file read: a page is its commands and their texts, a
// few hundred kilobytes for the longest scripts, so this leaves ample room
// while one page (and its copy being parsed) stays far below the player's
// memory limit.
inline constexpr int64_t kMaxPageFileBytes = int64_t{64} << 20;  // 64 MiB

// What a page needs from the program around it: the file layer, the
// warning shown for a page that is too old, and the variable store. The
// default host reads files from disk and does nothing else.
class TPageHost {
 public:
  virtual ~TPageHost() = default;
  // Loads the whole file into `stream` (position 0); raises when missing
  // and (EFileTooLarge) when it holds more than kMaxPageFileBytes.
  virtual void LoadToStream(const std::string& name, TKsMemoryStream& stream);
  // A page older than 103 was opened: the player sets the quit flag, shows
  // `text` in a warning box titled `caption` and closes the main window.
  virtual void PageTooOld(const std::string& caption, const std::string& text) {}
  // A page is freed: the variable named by byte 0x01 and the page name goes.
  virtual void PageFreed(const std::string& name) {}
};

// The host every page uses; nullptr restores the default.
void SetPageHost(TPageHost* host);
TPageHost& PageHost();

// The text of the too-old warning: Name, "\r\n", "リビルドしてください".
std::string RebuildMessage(const std::string& page_name);
// "警告"
inline constexpr char kMsgWarning[] = "\x8c\x78\x8d\x90";

class TPage {
 public:
  // An empty page: ResultType 1, Version 104, the built-in bitmaps.
  TPage();
  ~TPage();
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  uint8_t ResultType = PT_INT;
  TComList Commands;
  std::string Name;
  std::array<TPropMask, kOpcodeCount> PropertyMasks{};
  int32_t Version = kNewPageVersion;

  // Replaces the contents with the page file Name through the page host.
  void LoadFromFile(const std::string& name);
  // The same from a stream: on failure the page is left as it was.
  void LoadFromStream(TKsBigStream& stream);
  // Writes the page file form: the 61 bitmaps of 21 bytes and every command
  // with the fields its class stores at the page's Version.
  void SaveToStream(TKsBigStream& stream) const;
  // Writes the page file to disk (replacing an existing file only when the
  // whole file was written).
  void SaveToFile(const std::string& path) const;

  int32_t FindLabel(const std::string& name) const;
  int32_t IndexOf(const TCommand* command) const;
  void GetName(std::string& s) const { s = Name; }
  // Appends a new command of an opcode (for writers and tests).
  TCommand* AddCommand(uint8_t opcode);

  // The bitmaps a new page holds.
  static const std::array<TPropMask, kOpcodeCount>& BuiltinMasks();
  bool HasProp(uint8_t opcode, uint8_t prop_id) const;
  void SetProp(uint8_t opcode, uint8_t prop_id, bool present);
};

}  // namespace orba
