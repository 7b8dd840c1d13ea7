// Helpers shared by the test programs.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orba::test {

// A private directory under /tmp, removed with its contents when destroyed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// "03 00 0a" -> {3, 0, 10}; spaces and newlines are ignored.
std::vector<uint8_t> FromHex(const std::string& hex);
// {3, 0, 10} -> "03 00 0a"
std::string ToHex(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> Bytes(const std::string& s);
// A parameterised case's name made from a description: its words run
// together, each begun in upper case, everything but letters and digits
// dropped ("plain_v0.vf" -> "PlainV0Vf").
std::string CaseName(const std::string& description);
// The name of a parameterised case told by its index and, where it has a
// text to tell it by, the first words of that text: "Case3_X123".
std::string IndexedCaseName(size_t index, const std::string& text);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

struct CommandResult {
  int exit_code = -1;
  std::string output;  // stdout only
  int64_t peak_rss_kb = 0;  // the program's largest resident size
};
// Runs a program (no shell) and collects its standard output.
CommandResult RunCommand(const std::vector<std::string>& argv);
// Runs a program (no shell), its standard error joined to its output, bound
// by files' permissions as a user is: run by root, without root's override
// of them, so that a file a test made unreadable cannot be read.
CommandResult RunHeedingPermissions(const std::vector<std::string>& argv);
// Runs one of the Python scripts of tests/ (path relative to tests/).
CommandResult RunPython(const std::string& script, const std::vector<std::string>& args);
// Runs the built orbatool.
CommandResult RunOrbaTool(const std::vector<std::string>& args);

// Path of a file below tests/.
std::string TestsPath(const std::string& relative);

// The stored (for most entries packed) bytes of an entry of a package
// file such as "save.dat"; empty when there is no such entry.
std::vector<uint8_t> StoredEntryBytes(const std::string& archive, const std::string& name);
// Flips bits of the middle byte of an entry's stored bytes on disk, so that
// a packed entry no longer unpacks. False when there is no such entry.
bool DamageStoredEntry(const std::string& archive, const std::string& name);

// A path of exactly Length characters below Base, not made itself: its
// parents are nested folders made below Base. Near the longest path there
// is (PATH_MAX - 1), a folder there takes short names but no longer ones,
// which fails a file's creation where no permission would (the tests may
// run as root).
std::string PathNearTheLimit(const std::string& base, size_t length);

// Sets the environment for the life of the object, then puts it back.
struct EnvScope {
  using TVars = std::vector<std::pair<std::string, std::string>>;
  explicit EnvScope(const TVars& vars) {
    for (const auto& [name, value] : vars) {
      const char* old = ::getenv(name.c_str());
      saved.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
      ::setenv(name.c_str(), value.c_str(), 1);
    }
  }
  ~EnvScope() {
    for (const auto& [name, value] : saved) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

}  // namespace orba::test
