// The package fixtures of the tests: archives written by the independent
// Python writer, made once per test process, and its manifest.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orba::test {

struct TManifestEntry {
  std::string Name;  // Shift-JIS
  int64_t Offset = 0, StoredSize = 0;
  bool Raw = false, CrcOfUnpacked = false, Packed = false;
  uint32_t Crc = 0;
  int32_t Age = 0;
  int64_t Size = 0;
  std::string DiskPath;  // relative to the fixture folder
};

struct TManifestArchive {
  std::string File;
  int Version = 0;
  std::string Form;
  int64_t EofOffset = 0, DirectoryPosition = 0;
  std::vector<TManifestEntry> Entries;
  std::vector<std::pair<std::string, std::string>> Lookups;  // name, disk path
};

struct TVfFixture {
  std::string Dir;
  std::map<std::string, TManifestArchive> Archives;
  std::vector<TManifestEntry> Tree;
};

// The fixture folder (with the 5 MiB entries when big is set).
const TVfFixture& VfFixture(bool big);

}  // namespace orba::test
