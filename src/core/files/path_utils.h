// Splitting and resolving Windows-style paths held as Shift-JIS bytes. Path
// delimiters are found only at character starts, so a double-byte character
// ending in 0x5C (ソ, 表) never splits a path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orba {

// Whether byte Index (1-based) of S is a backslash that is not the trail
// byte of a double-byte character; false outside the string.
bool IsPathDelimiter(const std::string& s, int32_t index);
// Path with a backslash appended unless its last character is one; "" gives
// a single backslash.
std::string AddBackSlash(const std::string& path);

// The parts of one path, each with its trailing backslash: the root (a drive
// "C:\" or a UNC server "\\SERVER\"), then one item per folder.
class TPathParser {
 public:
  // Splits the upper-cased path; an empty path gives no items.
  void Parse(const std::string& path);
  // All items concatenated.
  std::string GetPath() const;
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Raise EListError outside 0..Count-1.
  const std::string& Get(int32_t index) const;
  void Delete(int32_t index);
  void Clear() { items_.clear(); }

 private:
  std::vector<std::string> items_;
};

// Path relative to Base (which ends in a backslash). Absolute paths ("\..",
// "C:..") and paths of at most one byte come back unchanged; each leading
// "..\" drops one folder of Base (whose remaining part comes out in upper
// case); any other path is appended to Base.
std::string ResolveRelativePath(const std::string& path, const std::string& base);

// Whether a name meant to stay inside the folder it is looked up in (a page
// the settings name) is absolute ("\x", "/x", "C:x", "\\server\x") or climbs
// above that folder through ".." ("..\x", "a\..\..\x"); "\" and "/" both
// separate, found at character starts only.
bool NameLeavesFolder(const std::string& name);

}  // namespace orba
