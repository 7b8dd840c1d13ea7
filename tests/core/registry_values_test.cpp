// String values read out of the registry: the reader's type checks, its
// rule for sizes below 2, the terminator dropped, and the program-files
// folder, which stays empty where the registry holds no value for it (the
// Linux registry holds none).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/system/registry_values.h"
#include "core/system/save_location.h"
#include "platform/headless/memory_registry.h"
#include "platform/host.h"
#include "platform/linux/registry_linux.h"
#include "support/test_support.h"

namespace orba {
namespace {

constexpr TRegRoot kLM = TRegRoot::LocalMachine;
constexpr char kKey[] = "Software\\Test";

// Installs a memory registry for the life of the object.
struct MemoryRegistryScope {
  MemoryRegistryScope() : previous(SetRegistry(registry)) {}
  ~MemoryRegistryScope() { SetRegistry(previous); }
  std::shared_ptr<TMemoryRegistry> registry = std::make_shared<TMemoryRegistry>();
  std::shared_ptr<TRegistry> previous;
};

TEST(RegReadString, TypesSizesAndTerminator) {
  const MemoryRegistryScope scope;
  TMemoryRegistry& r = *scope.registry;
  r.Set(kLM, kKey, "plain", kRegString, test::Bytes(std::string("C:\\Games\0", 9)));
  r.Set(kLM, kKey, "expand", kRegExpandString, test::Bytes(std::string("%ProgramFiles%\0", 15)));
  r.Set(kLM, kKey, "number", kRegDword, {1, 0, 0, 0});
  r.Set(kLM, kKey, "terminator", kRegString, {0});
  r.Set(kLM, kKey, "nothing", kRegString, {});
  // Shift-JIS bytes stay as stored; a zero byte inside stays too.
  r.Set(kLM, kKey, "sjis", kRegString, {0x83, 0x51, 0x00, 0x41, 0x00});
  // A size larger than the data read: never read beyond the data.
  r.Set(kLM, kKey, "shrank", kRegString, test::Bytes("ab"), 100);
  r.Set(kLM, kKey, "unreadable", kRegString, test::Bytes(std::string("x\0", 2)));
  r.FailRead(kLM, kKey, "unreadable");
  const struct {
    const char* name;
    uint32_t type1, type2;
    bool ok;
    std::string value;  // "?" for unchanged
  } cases[] = {
      {"plain", kRegExpandString, kRegString, true, "C:\\Games"},
      {"PLAIN", kRegString, kRegString, true, "C:\\Games"},  // names match without case
      {"expand", kRegExpandString, kRegString, true, "%ProgramFiles%"},
      {"plain", kRegExpandString, kRegBinary, false, "?"},  // neither type
      {"number", kRegExpandString, kRegString, false, "?"},
      {"number", kRegDword, kRegDword, true, std::string("\x01\0\0", 3)},  // the last byte dropped as ever
      {"terminator", kRegString, kRegString, true, ""},                   // size 1
      {"nothing", kRegString, kRegString, true, ""},                      // size 0
      {"sjis", kRegString, kRegString, true, std::string("\x83\x51\0A", 4)},
      {"shrank", kRegString, kRegString, true, "ab"},
      {"unreadable", kRegString, kRegString, false, "?"},
      {"missing", kRegString, kRegString, false, "?"},
  };
  for (const auto& c : cases) {
    std::string value = "?";
    EXPECT_EQ(RegReadString(kLM, kKey, c.name, value, c.type1, c.type2), c.ok) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }
  // Another root is another place.
  std::string value = "?";
  EXPECT_FALSE(RegReadString(TRegRoot::CurrentUser, kKey, "plain", value, kRegString, kRegString));
}

// The program-files folder is the registry's "ProgramFilesDir" of the
// current version's key, as a string or an expandable string; a value of
// another type, or none at all (the Linux registry), leaves it empty.
TEST(RegReadString, TheProgramFilesFolderComesFromTheRegistryOrStaysEmpty) {
  {
    const MemoryRegistryScope scope;
    EXPECT_EQ(GetSpecialFolder(kFolderProgramFiles), "");
    for (const uint32_t type : {kRegString, kRegExpandString}) {
      scope.registry->Set(kLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", type,
                          test::Bytes(std::string("/opt/games\0", 11)));
      EXPECT_EQ(GetSpecialFolder(kFolderProgramFiles), "/opt/games") << type;
    }
    scope.registry->Set(kLM, kWindowsVersionKey, kProgramFilesValue, kRegBinary, test::Bytes("/opt/x"));
    EXPECT_EQ(GetSpecialFolder(kFolderProgramFiles), "");
  }
  const std::shared_ptr<TRegistry> previous = SetRegistry(std::make_shared<TLinuxRegistry>());
  EXPECT_EQ(GetSpecialFolder(kFolderProgramFiles), "");
  SetRegistry(previous);
}

// A game that lies in the program-files folder keeps its saves in the data
// folder, although it could write beside itself.
TEST(RegReadString, AGameInTheProgramFilesFolderSavesInTheDataFolder) {
  const test::TempDir dir;
  const MemoryRegistryScope scope;
  const std::string programs = dir / "programs", game = programs + "/game/";
  std::filesystem::create_directories(game);
  const char* old = ::getenv("XDG_DATA_HOME");
  const std::string old_data = old != nullptr ? old : "";
  ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  EXPECT_EQ(ResolveSaveDataFile(game, "t"), game + "save.dat");
  scope.registry->Set(kLM, kWindowsVersionKey, kProgramFilesValue, kRegString,
                      test::Bytes(programs + std::string(1, '\0')));
  EXPECT_EQ(ResolveSaveDataFile(game, "t"), dir / "data/orba/t/save.dat");
  if (old != nullptr) {
    ::setenv("XDG_DATA_HOME", old_data.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
}

}  // namespace
}  // namespace orba
