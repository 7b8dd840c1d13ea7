// The project settings file "orba.opb": the game's title, screen size, start
// and exit pages, registry key, image identification code, a few behaviour
// switches, the texts of the disc prompts, the initial variables and which
// package folders lie on which disc.
//
// Stored form (little-endian, strings as int32 byte count and bytes), in
// order: Version; Title; Width, Height; ScreenParam1, ScreenParam2;
// StartPage; ExitPage (from 110); RegistryKey; ImageCode; WriteSaveData
// (from 104); SleepBetweenTicks (from 106); StreamedExtensions (from 109);
// PauseWhenInactive (from 113); Reserved (from 114); DiskPrompt, QuitText;
// the initial variables (int32 count, then type byte, name and a value of
// the type: int32, 10-byte float, flag byte or string, nothing for any other
// type); the folder-to-disc list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files/install_record.h"
#include "core/streams/big_stream.h"

namespace orba {

// "このバージョンには対応していません"
inline constexpr char kMsgUnsupportedVersion[] =
    "\x82\xb1\x82\xcc\x83o\x81[\x83W\x83\x87\x83\x93\x82\xc9\x82\xcd\x91\xce\x89\x9e\x82\xb5\x82\xc4\x82\xa2\x82"
    "\xdc\x82\xb9\x82\xf1";

// A settings file of a version this player does not know.
class EUnsupportedVersion : public EOrbaError {
 public:
  EUnsupportedVersion() : EOrbaError(kMsgUnsupportedVersion) {}
};

// One initial variable: its type code (PT_INT 1, PT_FLOAT 2, PT_BOOL 3,
// PT_STR 4; any other code carries no value), its name and the value field
// of its type.
struct TInitialVar {
  uint8_t Type = 0;
  std::string Name;
  int32_t IntValue = 0;
  long double FloatValue = 0.0L;
  uint8_t FlagValue = 0;
  std::string StrValue;

  // Whether the type code is one of the four value types.
  bool HasValue() const { return Type >= 1 && Type <= 4; }
  bool operator==(const TInitialVar& other) const;
};

class TProjectSetting {
 public:
  // The newest version this player reads, and the one the writer writes.
  static constexpr int32_t kCurrentVersion = 115;
  // The versions from which the settings file holds a field.
  static constexpr int32_t kWriteSaveDataVersion = 104;
  static constexpr int32_t kSleepBetweenTicksVersion = 106;
  static constexpr int32_t kStreamedExtensionsVersion = 109;
  static constexpr int32_t kExitPageVersion = 110;
  static constexpr int32_t kPauseWhenInactiveVersion = 113;
  static constexpr int32_t kReservedByteVersion = 114;

  int32_t Version = kCurrentVersion;
  std::string Title;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t ScreenParam1 = 0;
  int32_t ScreenParam2 = 0;
  std::string StartPage;
  std::string ExitPage;
  std::string RegistryKey;
  int32_t ImageCode = 0;
  uint8_t WriteSaveData = 0;
  uint8_t SleepBetweenTicks = 0;
  std::string StreamedExtensions = ".wav.wma.ogg.mid";
  uint8_t PauseWhenInactive = 0;
  uint8_t Reserved = 0;
  std::string DiskPrompt;
  std::string QuitText;
  std::vector<TInitialVar> InitialVars;
  TFolderDiskList FolderDisks;

  // Reads a settings file of any version up to 115; fields the version does
  // not store take their defaults. A later version raises
  // EUnsupportedVersion before anything else is read; a short or damaged
  // file raises EReadError. Either way the object keeps what it held.
  void LoadFromStream(TKsBigStream& stream);
  // Writes every field in the form of the current version (Version is
  // written as 115 whatever it holds).
  void SaveToStream(TKsBigStream& stream) const;
};

}  // namespace orba
