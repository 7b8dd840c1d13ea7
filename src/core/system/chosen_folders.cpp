#include "core/system/chosen_folders.h"

#include <algorithm>
#include <cstdint>

#include "core/files/atomic_file.h"
#include "core/system/save_location.h"
#include "core/system/trace.h"
#include "platform/host.h"

namespace orba {
namespace {

// Whether a path can stand in a line of the record: absolute, and without
// what ends a field or a line (or a C string).
bool Keepable(std::string_view path) {
  return !path.empty() && path[0] == '/' && path.find_first_of(std::string_view("\t\n\r\0", 4)) == std::string::npos;
}

size_t LineSize(const TChosenFolder& c) { return c.Game.size() + 1 + c.Folder.size() + 1; }

}  // namespace

std::optional<std::vector<TChosenFolder>> ParseChosenFolders(std::string_view text) {
  if (text.size() > kMaxChosenFoldersFileSize) return std::nullopt;
  std::string_view header = kChosenFoldersHeader;
  if (text.substr(0, header.size()) != header) header = kChosenFoldersHeaderFolders;
  if (text.substr(0, header.size()) != header || text.substr(header.size(), 1) != "\n") return std::nullopt;
  std::vector<TChosenFolder> choices;
  size_t at = header.size() + 1;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = text.substr(at, end - at);
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    const std::string_view game = line.substr(0, tab), folder = line.substr(tab + 1);
    if (!Keepable(game) || !Keepable(folder)) return std::nullopt;
    choices.push_back(TChosenFolder{std::string(game), std::string(folder)});
    at = end + 1;
  }
  return choices;
}

std::string FormatChosenFolders(const std::vector<TChosenFolder>& choices) {
  std::string text = std::string(kChosenFoldersHeader) + "\n";
  for (const TChosenFolder& c : choices) text += c.Game + "\t" + c.Folder + "\n";
  return text;
}

bool AddChosenFolder(std::vector<TChosenFolder>& choices, const TChosenFolder& chosen) {
  if (!Keepable(chosen.Game) || !Keepable(chosen.Folder)) return false;
  std::erase(choices, chosen);
  choices.push_back(chosen);
  const auto kept = static_cast<size_t>(
      std::count_if(choices.begin(), choices.end(), [&](const TChosenFolder& c) { return c.Game == chosen.Game; }));
  size_t excess = kept > kMaxChosenFoldersPerGame ? kept - kMaxChosenFoldersPerGame : 0;
  for (auto it = choices.begin(); excess > 0;) {
    if (it->Game != chosen.Game) {
      ++it;
    } else {
      it = choices.erase(it);
      --excess;
    }
  }
  size_t size = sizeof kChosenFoldersHeader;  // the header and its line feed
  for (const TChosenFolder& c : choices) size += LineSize(c);
  while (size > kMaxChosenFoldersFileSize && !choices.empty()) {
    size -= LineSize(choices.front());
    choices.erase(choices.begin());
  }
  return true;
}

std::string ChosenFoldersFile() {
  const std::string folder = Host().SystemFolder();
  return folder.empty() ? std::string() : folder + "/" + kChosenFoldersFileName;
}

namespace {

// The record's choices; none when it is missing or damaged (traced).
std::vector<TChosenFolder> ReadRecord(const std::string& file) {
  const std::optional<std::vector<uint8_t>> bytes = ReadOwnRegularFile(file, kMaxChosenFoldersFileSize);
  if (!bytes) return {};
  std::optional<std::vector<TChosenFolder>> choices =
      ParseChosenFolders(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  if (!choices) {
    Trace("chosen folders: " + file + " is no record of them, read as none");
    return {};
  }
  return std::move(*choices);
}

}  // namespace

std::vector<std::string> RememberedFolders(const std::string& game) {
  const std::string file = ChosenFoldersFile();
  std::vector<std::string> folders;
  if (file.empty() || game.empty()) return folders;
  for (TChosenFolder& c : ReadRecord(file)) {
    if (c.Game == game) folders.push_back(std::move(c.Folder));
  }
  return folders;
}

bool RememberChosenFolder(const std::string& game, const std::string& folder) {
  const std::string file = ChosenFoldersFile();
  if (file.empty() || GetWindowsFolder().empty()) return false;  // makes the player's folder
  std::vector<TChosenFolder> choices = ReadRecord(file);
  if (!AddChosenFolder(choices, TChosenFolder{game, folder})) {
    Trace("chosen folders: " + folder + " cannot be remembered");
    return false;
  }
  const std::string text = FormatChosenFolders(choices);
  RemoveStaleTemporaries(file);  // of a player killed while writing it
  if (ReplaceFileWhole(file, text.data(), text.size()) != TReplaceResult::Replaced) {
    Trace("chosen folders: " + file + " cannot be written");
    return false;
  }
  return true;
}

}  // namespace orba
