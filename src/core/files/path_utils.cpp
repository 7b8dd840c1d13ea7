#include "core/files/path_utils.h"

#include "core/containers/int_list.h"
#include "core/strings/sjis_case.h"
#include "core/strings/sjis_string.h"

namespace orba {

bool IsPathDelimiter(const std::string& s, int32_t index) {
  if (index < 1 || static_cast<size_t>(index) > s.size()) return false;
  return s[static_cast<size_t>(index) - 1] == '\\' && !IsTrailByte(s, index);
}

std::string AddBackSlash(const std::string& path) {
  return SjisEndsWithByte(path, '\\') ? path : path + '\\';
}

void TPathParser::Parse(const std::string& path) {
  items_.clear();
  if (path.empty()) return;
  std::string rest = AddBackSlash(SjisUpperCase(path));
  size_t root = 0;
  if (rest.compare(0, 2, "\\\\") == 0) {
    const size_t end = SjisFindByte(rest, '\\', 2);
    root = end == std::string::npos ? rest.size() : end + 1;
  } else if (SjisFindByte(rest, ':') == 1) {
    root = 3;
  }
  if (root > 0) {
    items_.push_back(rest.substr(0, root));
    rest.erase(0, root);
  }
  while (!rest.empty()) {
    const size_t end = SjisFindByte(rest, '\\');
    const size_t take = end == std::string::npos ? rest.size() : end + 1;
    items_.push_back(rest.substr(0, take));
    rest.erase(0, take);
  }
}

std::string TPathParser::GetPath() const {
  std::string path;
  for (const std::string& item : items_) path += item;
  return path;
}

const std::string& TPathParser::Get(int32_t index) const {
  if (index < 0 || index >= Count()) throw EListError(index);
  return items_[static_cast<size_t>(index)];
}

void TPathParser::Delete(int32_t index) {
  Get(index);
  items_.erase(items_.begin() + index);
}

std::string ResolveRelativePath(const std::string& path, const std::string& base) {
  const bool drive = path.size() >= 2 && path[1] == ':' && !IsSjisLeadByte(static_cast<uint8_t>(path[0]));
  if (path.size() <= 1 || path[0] == '\\' || drive) return path;
  const auto starts_up = [](const std::string& p) { return p.compare(0, 3, "..\\") == 0; };
  if (!starts_up(path)) return base + path;
  TPathParser parser;
  parser.Parse(base);
  std::string rest = path;
  while (parser.Count() >= 1 && starts_up(rest)) {
    parser.Delete(parser.Count() - 1);
    rest.erase(0, 3);
  }
  return parser.GetPath() + rest;
}

bool NameLeavesFolder(const std::string& name) {
  int32_t depth = 0;
  std::string part;
  // Ends the component in Part: false once it climbed above the start.
  const auto end_part = [&] {
    if (part == "..") {
      --depth;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    part.clear();
    return depth >= 0;
  };
  for (size_t i = 0; i < name.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(name[i]);
    if (IsSjisLeadByte(c) && i + 1 < name.size()) {
      part += name.substr(i, 2);
      ++i;
      continue;
    }
    // A drive letter or any other colon names a place of its own.
    if (c == ':') return true;
    if (c == '\\' || c == '/') {
      if (i == 0) return true;
      if (!end_part()) return true;
      continue;
    }
    part += static_cast<char>(c);
  }
  return !end_part();
}

}  // namespace orba
