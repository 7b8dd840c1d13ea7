#include "core/files/pe_resource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "core/files/disk_path.h"
#include "core/game_clock.h"
#include "core/strings/sjis_case.h"
#include "core/system/quit_request.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

// Bounds-checked little-endian reads over the file's bytes.
class TPeView {
 public:
  explicit TPeView(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool Has(uint64_t offset, uint64_t count) const { return offset <= bytes_.size() && count <= bytes_.size() - offset; }
  std::optional<uint32_t> U16(uint64_t offset) const {
    if (!Has(offset, 2)) return std::nullopt;
    return static_cast<uint32_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  std::optional<uint32_t> U32(uint64_t offset) const {
    if (!Has(offset, 4)) return std::nullopt;
    return static_cast<uint32_t>(bytes_[offset]) | static_cast<uint32_t>(bytes_[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes_[offset + 2]) << 16 | static_cast<uint32_t>(bytes_[offset + 3]) << 24;
  }

 private:
  std::span<const uint8_t> bytes_;
};

struct TSection {
  uint32_t VirtualAddress, VirtualSize, RawSize, RawOffset;
};

// What a directory entry must match: a numeric id or a name.
struct TResourceKey {
  bool IsId = false;
  uint32_t Id = 0;
  std::string Name;  // Shift-JIS
};

TResourceKey MakeKey(const std::string& text) {
  TResourceKey key;
  std::string digits = text;
  if (!digits.empty() && digits[0] == '#') digits.erase(0, 1);
  if (!digits.empty() && digits.size() <= 9 && digits.find_first_not_of("0123456789") == std::string::npos) {
    key.IsId = true;
    key.Id = static_cast<uint32_t>(std::stoul(digits));
  } else {
    key.Name = text;
  }
  return key;
}

// UTF-16LE code units to UTF-8 (unpaired surrogates become U+FFFD).
std::string Utf16ToUtf8(const std::vector<uint32_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | cp >> 18);
      out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

class TResourceTree {
 public:
  TResourceTree(const TPeView& view, uint64_t base, uint64_t size) : view_(view), base_(base), size_(size) {}

  // The entry of the directory at `dir` (offset within the tree) that matches
  // the key (nullopt for "any": the first entry); the result is the entry's
  // raw OffsetToData.
  std::optional<uint32_t> Find(uint32_t dir, const std::optional<TResourceKey>& key) const {
    const auto named = U16(dir + 12);
    const auto ids = U16(dir + 14);
    if (!named || !ids) return std::nullopt;
    const uint32_t count = *named + *ids;
    for (uint32_t i = 0; i < count; ++i) {
      // A quit request ends the search unanswered: the player ends in order
      // instead of reading on through a directory of many entries. Once it
      // shuts down, the exit page still opens the package's entries.
      if (QuitRequested() && !Terminating) return std::nullopt;
      const uint64_t entry = uint64_t{dir} + 16 + uint64_t{i} * 8;
      const auto name_field = U32(entry);
      const auto data_field = U32(entry + 4);
      if (!name_field || !data_field) return std::nullopt;
      if (!key || Matches(*name_field, *key)) return data_field;
    }
    return std::nullopt;
  }

  std::optional<uint32_t> U16(uint64_t offset) const {
    return offset + 2 <= size_ ? view_.U16(base_ + offset) : std::nullopt;
  }
  std::optional<uint32_t> U32(uint64_t offset) const {
    return offset + 4 <= size_ ? view_.U32(base_ + offset) : std::nullopt;
  }

 private:
  bool Matches(uint32_t name_field, const TResourceKey& key) const {
    if ((name_field & 0x80000000u) == 0) return key.IsId && name_field == key.Id;
    if (key.IsId) return false;
    const uint32_t at = name_field & 0x7FFFFFFFu;
    const auto length = U16(at);
    if (!length) return false;
    // Every UTF-16 unit becomes at least half a Shift-JIS byte (a pair of
    // surrogates one "?"), so a name of more than twice the key's bytes
    // cannot match: it is not read, and a directory of many long names
    // costs its entries times the key, not times its names.
    if (*length > 2 * key.Name.size()) return false;
    std::vector<uint32_t> units;
    bool ascii = true;
    for (uint32_t i = 0; i < *length; ++i) {
      const auto unit = U16(uint64_t{at} + 2 + uint64_t{i} * 2);
      if (!unit) return false;
      units.push_back(*unit);
      ascii = ascii && *unit < 0x80;
    }
    // ASCII is the same in UTF-16 and Shift-JIS: such names, nearly all of
    // them, need no conversion.
    if (ascii) return SjisSameText(std::string(units.begin(), units.end()), key.Name);
    return SjisSameText(Utf8ToSjis(Utf16ToUtf8(units)), key.Name);
  }

  const TPeView& view_;
  uint64_t base_;
  uint64_t size_;
};

std::optional<uint64_t> RvaToOffset(const std::vector<TSection>& sections, uint32_t rva, uint32_t size) {
  for (const TSection& s : sections) {
    const uint64_t extent = s.VirtualSize > s.RawSize ? s.VirtualSize : s.RawSize;
    if (rva >= s.VirtualAddress && uint64_t{rva} - s.VirtualAddress < extent) {
      const uint64_t into = uint64_t{rva} - s.VirtualAddress;
      // Bytes beyond the raw data are not in the file.
      if (into + size > s.RawSize) return std::nullopt;
      return uint64_t{s.RawOffset} + into;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<TPeResourceLocation> FindPeResource(std::span<const uint8_t> file, const std::string& name,
                                                  const std::string& type) {
  const TPeView view(file);
  if (!view.Has(0, 64) || file[0] != 'M' || file[1] != 'Z') return std::nullopt;
  const auto pe = view.U32(0x3C);
  if (!pe || !view.Has(*pe, 24) || std::string(reinterpret_cast<const char*>(file.data() + *pe), 4) != std::string("PE\0\0", 4))
    return std::nullopt;
  const uint64_t coff = uint64_t{*pe} + 4;
  const auto section_count = view.U16(coff + 2);
  const auto optional_size = view.U16(coff + 16);
  const uint64_t opt = coff + 20;
  const auto magic = view.U16(opt);
  if (!section_count || !optional_size || !magic) return std::nullopt;
  uint64_t dirs = 0, count_at = 0;
  if (*magic == 0x10B) {
    count_at = opt + 92;
    dirs = opt + 96;
  } else if (*magic == 0x20B) {
    count_at = opt + 108;
    dirs = opt + 112;
  } else {
    return std::nullopt;
  }
  const auto dir_count = view.U32(count_at);
  if (!dir_count || *dir_count < 3 || dirs + 3 * 8 > opt + *optional_size) return std::nullopt;
  const auto res_rva = view.U32(dirs + 2 * 8);
  const auto res_size = view.U32(dirs + 2 * 8 + 4);
  if (!res_rva || !res_size || *res_rva == 0 || *res_size == 0) return std::nullopt;

  std::vector<TSection> sections;
  const uint64_t table = opt + *optional_size;
  for (uint32_t i = 0; i < *section_count; ++i) {
    const uint64_t s = table + uint64_t{i} * 40;
    const auto vsize = view.U32(s + 8), vaddr = view.U32(s + 12), rsize = view.U32(s + 16), roff = view.U32(s + 20);
    if (!vsize || !vaddr || !rsize || !roff) return std::nullopt;
    sections.push_back(TSection{*vaddr, *vsize, *rsize, *roff});
  }
  const auto tree_at = RvaToOffset(sections, *res_rva, 16);
  if (!tree_at) return std::nullopt;
  // The tree may be declared larger than the section holds: clamp it to the
  // file.
  uint64_t tree_size = *res_size;
  if (*tree_at + tree_size > file.size()) tree_size = file.size() - *tree_at;
  const TResourceTree tree(view, *tree_at, tree_size);

  // Three levels: type, name, language (the first).
  const auto by_type = tree.Find(0, MakeKey(type));
  if (!by_type || (*by_type & 0x80000000u) == 0) return std::nullopt;
  const auto by_name = tree.Find(*by_type & 0x7FFFFFFFu, name.empty() ? std::nullopt : std::optional(MakeKey(name)));
  if (!by_name || (*by_name & 0x80000000u) == 0) return std::nullopt;
  const auto by_language = tree.Find(*by_name & 0x7FFFFFFFu, std::nullopt);
  if (!by_language || (*by_language & 0x80000000u) != 0) return std::nullopt;
  const auto data_rva = tree.U32(*by_language);
  const auto data_size = tree.U32(uint64_t{*by_language} + 4);
  if (!data_rva || !data_size) return std::nullopt;
  const auto data_at = RvaToOffset(sections, *data_rva, *data_size);
  if (!data_at || !view.Has(*data_at, *data_size)) return std::nullopt;
  return TPeResourceLocation{*data_at, *data_size};
}

std::shared_ptr<TPeResourceProvider> TPeResourceProvider::Open(const std::string& path) {
  const std::optional<std::string> disk = FindDiskPath(path);
  if (!disk) return nullptr;
  const int fd = ::open(disk->c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 64) {
    ::close(fd);
    return nullptr;
  }
  void* map = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return nullptr;
  const auto* data = static_cast<const uint8_t*>(map);
  if (data[0] != 'M' || data[1] != 'Z') {
    ::munmap(map, static_cast<size_t>(st.st_size));
    return nullptr;
  }
  return std::shared_ptr<TPeResourceProvider>(new TPeResourceProvider(*disk, data, static_cast<size_t>(st.st_size)));
}

TPeResourceProvider::~TPeResourceProvider() { ::munmap(const_cast<uint8_t*>(data_), size_); }

std::optional<TPeResourceLocation> TPeResourceProvider::Locate(const std::string& name, const std::string& type) const {
  return FindPeResource(std::span<const uint8_t>(data_, size_), name, type);
}

std::span<const uint8_t> TPeResourceProvider::FindResource(const std::string& name, const std::string& type) {
  const auto location = Locate(name, type);
  if (!location) return {};
  return std::span<const uint8_t>(data_ + location->FileOffset, location->Size);
}

}  // namespace orba
