// Lists the entries of a folder on disk by attribute and extension, in the
// player's names (Shift-JIS, the folder as given followed by the entry name),
// through the file-access policy: a link is listed as what it leads to when
// the game may follow it, and devices, FIFOs and sockets are not listed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orba {

// The attribute bits of a folder entry, as the games' scripts know them. On
// Linux an entry is read-only when its owner may not write it and hidden when
// its name begins with "."; system, volume and archive bits never occur.
constexpr uint32_t faReadOnly = 0x01;
constexpr uint32_t faHidden = 0x02;
constexpr uint32_t faSysFile = 0x04;
constexpr uint32_t faVolumeID = 0x08;
constexpr uint32_t faDirectory = 0x10;
constexpr uint32_t faArchive = 0x20;

// Adds to List the entries of Folder (a Windows-form path; it gets a
// trailing "\"): a file when its attributes share a bit with AttrMask, or it
// has none of the bits 1 to 32 and IncludePlain is set, and ExtFilter is empty
// or equals its extension (with the dot) case-insensitively; a folder when
// AttrMask holds faDirectory, with a trailing "\" when FolderSlash is set.
// Recursive lists every subfolder in turn the same way (with FolderSlash).
// Entries come in name order. ClearAttrs is accepted for the callers' sake:
// listing never changes an entry's attributes.
void ListFiles(const std::string& folder, uint32_t attr_mask, bool include_plain, const std::string& ext_filter,
               bool clear_attrs, bool folder_slash, bool recursive, std::vector<std::string>& list, bool clear_list);

}  // namespace orba
