// The font files a game brings in a folder "fonts" of its own, found on disk
// without trusting what the folder holds: only regular files that lie inside
// the game's folder are opened, a link (the folder itself or an entry in it)
// only when it leads to another place inside, linked folders never entered,
// FIFOs, devices and sockets never opened. The font service reads the files
// through the descriptors opened here, so what was judged is what is read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orba {

// How many font files a game may bring, and how large each may be; what is
// beyond is skipped.
constexpr size_t kMaxGameFontFiles = 64;
constexpr int64_t kMaxGameFontBytes = int64_t{64} << 20;

// Opens the regular files below Folder (Shift-JIS, "\" or "/" separators:
// the game's folder followed by "fonts", no trailing separator) for reading, in name order, subfolders after the files
// of their folder; the caller closes them. A missing folder gives none.
std::vector<int> OpenGameFontFiles(const std::string& folder);

}  // namespace orba
