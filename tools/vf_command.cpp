// orbatool vf: lists, checks, unpacks and makes "vf" package archives.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>

#include "core/files/disk_path.h"
#include "core/files/list_files.h"
#include "core/files/vr_file.h"
#include "core/streams/compression.h"
#include "core/streams/crc32.h"
#include "core/strings/sjis_case.h"
#include "orbatool.h"
#include "platform/text_convert.h"

namespace {

using namespace orba;

const char* const kUsage =
    "usage: orbatool vf list ARCHIVE\n"
    "       orbatool vf verify ARCHIVE\n"
    "       orbatool vf extract ARCHIVE OUTDIR\n"
    "       orbatool vf pack [--crc-unpacked] DIR ARCHIVE\n";

std::string Sjis(const std::string& utf8) { return Utf8ToSjis(utf8); }

// Mounts ARCHIVE; false, with a message, when there is no such file.
bool OpenArchive(TVrFileCollection& c, const std::string& archive) {
  c.Open(Sjis(archive), true);
  if (c.Archive) return true;
  orbatool::Fail("no such archive: " + archive);
  return false;
}

// A file written from its start, for extracted entries: unpacked straight
// to disk, never held whole in memory.
class TFileWriteStream : public TKsBigStream {
 public:
  explicit TFileWriteStream(const std::string& path) : out_(path, std::ios::binary | std::ios::trunc) {}
  bool Ok() const { return static_cast<bool>(out_); }
  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return size_; }
  void SetPosition(int64_t) override {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    out_.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(count));
    if (!out_) return 0;
    size_ += count;
    return count;
  }

 private:
  std::ofstream out_;
  int64_t size_ = 0;
};

// The entries of an archive except the end marker, each name once (the one
// a lookup finds).
std::vector<TVrFile*> Entries(const TVrFileCollection& c) {
  std::vector<TVrFile*> entries;
  for (int i = 0; i < c.Count(); ++i) {
    TVrFile* file = c.GetEntry(i);
    if (SjisSameText(file->Name(), kVrEofName)) continue;
    if (c.Find(file->Name()) != file) continue;
    entries.push_back(file);
  }
  return entries;
}

int List(const std::string& archive) {
  TVrFileCollection c;
  if (!OpenArchive(c, archive)) return 1;
  for (int i = 0; i < c.Count(); ++i) {
    const TVrFile* f = c.GetEntry(i);
    if (SjisSameText(f->Name(), kVrEofName)) continue;
    std::printf("%s\traw=%d\tcou=%d\tage=%08X\tstored=%lld\tcrc=%08X\n", SjisToUtf8(f->Name()).c_str(), f->Raw ? 1 : 0,
                f->CrcOfUnpacked ? 1 : 0, static_cast<uint32_t>(f->Age), static_cast<long long>(f->Size), f->Crc);
  }
  return 0;
}

int Verify(const std::string& archive) {
  TVrFileCollection c;
  if (!OpenArchive(c, archive)) return 1;
  int bad = 0;
  for (int i = 0; i < c.Count(); ++i) {
    TVrFile* f = c.GetEntry(i);
    if (SjisSameText(f->Name(), kVrEofName)) continue;
    const std::string name = SjisToUtf8(f->Name());
    uint32_t crc = 0;
    try {
      // Unpacking proves a packed entry whole even where no CRC is stored.
      // The content streams through a CRC counter, so an entry at the size
      // cap is refused without being held.
      TVrFile* found = c.Find(f->Name());
      if (found == f) {
        // A stored range cut short by the archive's end is a read error.
        if (f->Offset + f->Size > c.Archive->GetSize()) throw EReadError();
        TCrc32Stream unpacked;
        // Checked as stored, not read for a game: only unpacking's own bound.
        c.ReadEntry(unpacked, f->Name(), kMaxDecompressedSize);
        if (f->CrcOfUnpacked || f->Raw) {
          crc = unpacked.Crc();  // a raw entry's stored bytes are its content
        } else {
          std::unique_ptr<TRangeStream> stored = c.OpenEntryRange(f->Name());
          if (stored) crc = StreamCrc32(*stored);
        }
      }
    } catch (const EOrbaError& e) {
      std::printf("%s\tbad\t%s\n", name.c_str(), SjisToUtf8(e.what()).c_str());
      ++bad;
      continue;
    }
    if (c.Version < 101) {
      std::printf("%s\tok\t(no crc stored)\n", name.c_str());
    } else if (c.Find(f->Name()) != f) {
      std::printf("%s\tskipped\t(hidden by a later entry of the same name)\n", name.c_str());
    } else if (crc != f->Crc) {
      std::printf("%s\tbad\tcrc %08X, stored %08X\n", name.c_str(), crc, f->Crc);
      ++bad;
    } else {
      std::printf("%s\tok\n", name.c_str());
    }
  }
  return bad == 0 ? 0 : 1;
}

void MakeFolders(const std::string& disk_path) {
  for (size_t i = 1; i < disk_path.size(); ++i) {
    if (disk_path[i] == '/') ::mkdir(disk_path.substr(0, i).c_str(), 0755);
  }
}

int Extract(const std::string& archive, const std::string& out_dir) {
  TVrFileCollection c;
  if (!OpenArchive(c, archive)) return 1;
  int skipped = 0;
  for (TVrFile* f : Entries(c)) {
    std::string relative;
    bool unsafe = false;
    // Names stay inside OUTDIR: no absolute paths, no "..".
    for (const std::string& part : SplitSjisPath(f->Name())) {
      if (part == "..") unsafe = true;
      relative += (relative.empty() ? "" : "/") + SjisToUtf8(part);
    }
    if (unsafe || relative.empty()) {
      std::fprintf(stderr, "orbatool: skipped entry %s\n", SjisToUtf8(f->Name()).c_str());
      ++skipped;
      continue;
    }
    const std::string path = out_dir + "/" + relative;
    MakeFolders(path);
    TFileWriteStream out(path);
    if (!out.Ok()) return orbatool::Fail("cannot write " + path);
    try {
      c.ReadEntry(out, f->Name(), kMaxDecompressedSize);
    } catch (...) {
      std::remove(path.c_str());  // no half-written entry is left behind
      throw;
    }
  }
  if (skipped > 0) return orbatool::Fail(std::to_string(skipped) + " entries were not extracted");
  return 0;
}

int Pack(const std::string& dir, const std::string& archive, bool crc_unpacked) {
  const std::string base = AddPathDelimiter(Sjis(dir));
  std::vector<std::string> files;
  ListFiles(base, faReadOnly | faHidden | faSysFile | faArchive, true, "", false, false, true, files, true);
  std::vector<std::string> names;
  for (const std::string& path : files) names.push_back(BackSlashSeparators(path.substr(base.size())));
  std::sort(names.begin(), names.end());
  TVrFileCollection c;
  c.BasePath = base;
  for (const std::string& name : names) c.AddItem(name)->CrcOfUnpacked = crc_unpacked;

  // A failed pack replaces nothing.
  if (!c.SaveToFileSafely(Sjis(archive))) {
    return orbatool::Fail("some entries could not be written; " + archive + " left as it was");
  }
  return 0;
}

int VfCommand(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "list") return List(args[1]);
  if (args.size() == 2 && args[0] == "verify") return Verify(args[1]);
  if (args.size() == 3 && args[0] == "extract") return Extract(args[1], args[2]);
  if (args.size() == 3 && args[0] == "pack") return Pack(args[1], args[2], false);
  if (args.size() == 4 && args[0] == "pack" && args[1] == "--crc-unpacked") return Pack(args[2], args[3], true);
  orbatool::BadUsage();
}

const orbatool::OrbaToolCommand kVf("vf", "list, verify, extract and pack \"vf\" package archives", kUsage, VfCommand);

}  // namespace
