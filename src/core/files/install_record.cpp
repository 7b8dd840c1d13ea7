#include "core/files/install_record.h"

#include <algorithm>

#include "core/errors.h"
#include "core/files/disk_path.h"
#include "core/files/file_access.h"
#include "core/files/file_limits.h"
#include "core/files/path_utils.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"

namespace orba {
namespace {

// A value of the entry arrays and of E to H: 8 bytes from version 100,
// before that 4 bytes whose upper half reads as 0.
int64_t ReadWideValue(TKsBigStream& s, int version) {
  if (version >= TOrbaInstallSet::kWideValuesVersion) return ReadStreamInt64(s);
  return static_cast<int64_t>(static_cast<uint32_t>(ReadStreamInt(s)));
}

std::vector<std::string> ReadStringList(TKsBigStream& s) {
  const int32_t count = ReadStreamInt(s);
  // Every string takes at least its 4-byte length.
  CheckStoredCount(s, count, 4);
  std::vector<std::string> list;
  list.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) list.push_back(ReadStreamString(s));
  return list;
}

void WriteStringList(TKsBigStream& s, const std::vector<std::string>& list) {
  WriteStreamInt(s, static_cast<int32_t>(list.size()));
  for (const std::string& item : list) WriteStreamString(s, item);
}

int ReadMagicVersion(TKsBigStream& s) {
  const int64_t start = s.GetPosition();
  char magic[2] = {};
  if (s.Read(magic, 2) != 2 || magic[0] != 'i' || magic[1] != 's') {
    s.SetPosition(start);
    return 0;
  }
  char digits[3];
  s.ReadBuffer(digits, 3);
  int version = 0;
  for (char d : digits) {
    if (d < '0' || d > '9') return 0;
    version = version * 10 + (d - '0');
  }
  return version;
}

}  // namespace

void TOrbaInstallSet::LoadFromStream(TKsBigStream& s) {
  // Streamed from disk, a record's counts would otherwise be checked only
  // against a file that may be as large as it claims.
  CheckFileSize("install.dat", s.Remaining(), kMaxFileBytes);
  TOrbaInstallSet r;
  r.Version = ReadMagicVersion(s);
  const int v = r.Version;
  r.DiscNumber = ReadStreamInt(s);
  r.TitleId = ReadStreamString(s);
  r.Text2 = ReadStreamString(s);
  r.Text3 = ReadStreamString(s);
  r.Text4 = ReadStreamString(s);
  r.Flag1 = ReadByteVal(s);
  r.Text5 = ReadStreamString(s);
  r.Flag2 = ReadByteVal(s);
  const int32_t count = ReadStreamInt(s);
  r.Text6 = ReadStreamString(s);
  r.Number1 = ReadStreamInt(s);
  r.Flag3 = ReadByteVal(s);
  r.Flag4 = ReadByteVal(s);
  r.Text7 = ReadStreamString(s);
  r.Text8 = ReadStreamString(s);
  CheckStoredCount(s, count, v >= kWideValuesVersion ? 32 : 16);
  for (auto* array : {&r.ArrayA, &r.ArrayB, &r.ArrayC, &r.ArrayD}) array->reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    r.ArrayA.push_back(ReadWideValue(s, v));
    r.ArrayB.push_back(ReadWideValue(s, v));
    r.ArrayC.push_back(ReadWideValue(s, v));
    r.ArrayD.push_back(ReadWideValue(s, v));
  }
  r.ValueE = ReadWideValue(s, v);
  r.ValueF = ReadWideValue(s, v);
  r.ValueG = ReadWideValue(s, v);
  r.ValueH = ReadWideValue(s, v);
  r.Flag5 = ReadByteVal(s);
  if (v >= kFlag6Version) r.Flag6 = ReadByteVal(s);
  if (v >= kFilesVersion) r.Files = ReadStringList(s);
  if (v >= kCompleteInstallVersion) r.CompleteInstall = ReadByteVal(s);
  if (v >= kFlag7Version) r.Flag7 = ReadByteVal(s);
  if (v >= kFlag8Version) r.Flag8 = ReadByteVal(s);
  if (v >= kNamesVersion) r.Names = ReadStringList(s);
  if (v >= kText9Version) r.Text9 = ReadStreamString(s);
  if (v >= kText10Version) {
    r.Text10 = ReadStreamString(s);
    r.Text11 = ReadStreamString(s);
  }
  *this = std::move(r);
}

void TOrbaInstallSet::LoadFromFile(const std::string& file_name) {
  auto stream = OpenDiskFileRead(file_name);
  LoadFromStream(*stream);
}

void TOrbaInstallSet::SaveToStream(TKsBigStream& s) const {
  s.WriteBuffer("is108", 5);
  WriteStreamInt(s, DiscNumber);
  WriteStreamString(s, TitleId);
  WriteStreamString(s, Text2);
  WriteStreamString(s, Text3);
  WriteStreamString(s, Text4);
  WriteStreamByte(s, Flag1);
  WriteStreamString(s, Text5);
  WriteStreamByte(s, Flag2);
  // The four arrays share one count; a shorter array is written padded with 0.
  const size_t count = std::max({ArrayA.size(), ArrayB.size(), ArrayC.size(), ArrayD.size()});
  WriteStreamInt(s, static_cast<int32_t>(count));
  WriteStreamString(s, Text6);
  WriteStreamInt(s, Number1);
  WriteStreamByte(s, Flag3);
  WriteStreamByte(s, Flag4);
  WriteStreamString(s, Text7);
  WriteStreamString(s, Text8);
  for (size_t i = 0; i < count; ++i) {
    for (const auto* array : {&ArrayA, &ArrayB, &ArrayC, &ArrayD}) WriteStreamInt64(s, i < array->size() ? (*array)[i] : 0);
  }
  WriteStreamInt64(s, ValueE);
  WriteStreamInt64(s, ValueF);
  WriteStreamInt64(s, ValueG);
  WriteStreamInt64(s, ValueH);
  WriteStreamByte(s, Flag5);
  WriteStreamByte(s, Flag6);
  WriteStringList(s, Files);
  WriteStreamByte(s, CompleteInstall);
  WriteStreamByte(s, Flag7);
  WriteStreamByte(s, Flag8);
  WriteStringList(s, Names);
  WriteStreamString(s, Text9);
  WriteStreamString(s, Text10);
  WriteStreamString(s, Text11);
}

void TOrbaInstallSet::SaveToFile(const std::string& file_name) const {
  const TWritePlace place = GameWritePlace(file_name);
  if (place.Refused()) throw EFOpenError(file_name);
  SaveToPlace(place);
}

void TOrbaInstallSet::SaveToPlace(const TWritePlace& place) const {
  TKsMemoryStream s;
  SaveToStream(s);
  WriteGameFile(place, s.Bytes().data(), s.Bytes().size());
}

int TOrbaInstallSet::IndexOfFile(const std::string& name) const {
  for (size_t i = 0; i < Files.size(); ++i) {
    if (SjisSameText(Files[i], name)) return static_cast<int>(i);
  }
  return -1;
}

int TOrbaInstallSet::AddFile(const std::string& name) {
  const int index = IndexOfFile(name);
  if (index >= 0) return index;
  Files.push_back(name);
  return static_cast<int>(Files.size() - 1);
}

int TFolderDiskList::IndexOfFolder(const std::string& path) const {
  const std::string wanted = AddBackSlash(path);
  for (size_t i = 0; i < Items.size(); ++i) {
    if (SjisSameText(AddBackSlash(Items[i].Folder), wanted)) return static_cast<int>(i);
  }
  return -1;
}

int32_t TFolderDiskList::DiskOf(const std::string& path) const {
  std::string p = SjisUpperCase(path);
  while (!p.empty()) {
    const int index = IndexOfFolder(p);
    if (index >= 0) return Items[static_cast<size_t>(index)].Disc;
    const size_t start = SjisFileNameStart(p);
    p.resize(start == 0 ? 0 : start - 1);
  }
  return 0;
}

void TFolderDiskList::SaveToStream(TKsBigStream& s) const {
  WriteStreamInt(s, static_cast<int32_t>(Items.size()));
  for (const TItem& item : Items) {
    WriteStreamString(s, item.Folder);
    WriteStreamInt(s, item.Disc);
  }
}

void TFolderDiskList::LoadFromStream(TKsBigStream& s) {
  const int32_t count = ReadStreamInt(s);
  CheckStoredCount(s, count, 8);
  std::vector<TItem> items;
  items.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    TItem item;
    item.Folder = ReadStreamString(s);
    item.Disc = ReadStreamInt(s);
    items.push_back(std::move(item));
  }
  Items = std::move(items);
}

}  // namespace orba
