#include "script/sys_func_file.h"

#include <cstring>

namespace orba {

std::vector<std::string> SplitTextLines(const std::string& text) {
  const size_t end = std::strlen(text.c_str());  // a zero byte ends the text
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < end) {
    size_t i = start;
    while (i < end && text[i] != '\r' && text[i] != '\n') ++i;
    lines.push_back(text.substr(start, i - start));
    if (i < end && text[i] == '\r') {
      ++i;
      if (i < end && text[i] == '\n') ++i;
    } else if (i < end) {
      ++i;  // LF
    }
    start = i;
  }
  return lines;
}

bool LoadGameTextLines(TGameFileSource& files, const std::string& name, std::vector<std::string>& lines) {
  if (!files.FileAvailable(name)) return false;
  const std::string text = files.LoadFile(name);
  if (text.empty()) return false;
  std::vector<std::string> split = SplitTextLines(text);
  if (split.empty()) return false;
  lines = std::move(split);
  return true;
}

}  // namespace orba
