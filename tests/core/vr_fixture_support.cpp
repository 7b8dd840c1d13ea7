#include "core/vr_fixture_support.h"

#include <memory>
#include <sstream>
#include <stdexcept>

#include "core/sjis_test_helpers.h"
#include "support/test_support.h"

namespace orba::test {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

std::unique_ptr<TVfFixture> MakeFixture(bool big) {
  static TempDir root[2];
  auto fixture = std::make_unique<TVfFixture>();
  fixture->Dir = root[big ? 1 : 0].path();
  std::vector<std::string> args = {"make", fixture->Dir};
  if (!big) args.push_back("--no-big");
  if (RunPython("fixtures/vf_fixture.py", args).exit_code != 0) throw std::runtime_error("vf_fixture.py make failed");
  const std::vector<uint8_t> lines = ReadFileBytes(fixture->Dir + "/manifest.txt");
  std::stringstream in(std::string(lines.begin(), lines.end()));
  std::string line;
  while (std::getline(in, line)) {
    const std::vector<std::string> f = SplitTabs(line);
    if (f.empty()) continue;
    if (f[0] == "A") {
      TManifestArchive& a = fixture->Archives[f[1]];
      a.File = f[1];
      a.Version = std::stoi(f[2]);
      a.Form = f[3];
      a.EofOffset = std::stoll(f[4]);
      a.DirectoryPosition = std::stoll(f[5]);
    } else if (f[0] == "E") {
      TManifestEntry e;
      e.Name = SjisBytes(f[2]);
      e.Offset = std::stoll(f[3]);
      e.StoredSize = std::stoll(f[4]);
      e.Raw = f[5] == "1";
      e.Crc = static_cast<uint32_t>(std::stoul(f[6]));
      e.CrcOfUnpacked = f[7] == "1";
      e.Age = static_cast<int32_t>(std::stoll(f[8]));
      e.DiskPath = f[9];
      fixture->Archives[f[1]].Entries.push_back(e);
    } else if (f[0] == "L") {
      fixture->Archives[f[1]].Lookups.emplace_back(SjisBytes(f[2]), f[3]);
    } else if (f[0] == "T") {
      TManifestEntry e;
      e.Name = SjisBytes(f[1]);
      e.Size = std::stoll(f[2]);
      e.Packed = f[3] == "1";
      e.DiskPath = f[4];
      fixture->Tree.push_back(e);
    }
  }
  return fixture;
}

}  // namespace

const TVfFixture& VfFixture(bool big) {
  static std::unique_ptr<TVfFixture> fixtures[2];
  std::unique_ptr<TVfFixture>& slot = fixtures[big ? 1 : 0];
  if (!slot) slot = MakeFixture(big);
  return *slot;
}

}  // namespace orba::test
