// SaveScreen and SetWallPaper of the file functions: screen captures
// written as Brix images or Windows bitmaps.
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/disk_path.h"
#include "core/files/exit_files.h"
#include "core/files/file_access.h"
#include "core/files/file_limits.h"
#include "core/files/install_record.h"
#include "core/files/vr_file_manager.h"
#include "core/strings/sjis_case.h"
#include "core/system/desktop.h"
#include "core/system/trace.h"
#include "graphics/brix.h"
#include "graphics/dib.h"
#include "graphics/picture_budget.h"
#include "graphics/resize.h"
#include "platform/host.h"
#include "platform/text_convert.h"
#include "script/functions/sys_func_file.h"

namespace orba {

namespace {

// Adds Name to the files the install record at Path lists, reading and
// writing the record through the folder the check walked. A record larger
// than the install record's limit is refused before it is read.
void RegisterInstalledFile(const std::string& path, const std::string& name) {
  const TWritePlace place = GameWritePlace(path);
  if (place.FolderFd() < 0) return;
  constexpr int64_t limit = TOrbaInstallSet::kMaxFileBytes;
  const std::optional<std::vector<uint8_t>> bytes =
      ReadOwnFileAt(place.FolderFd(), place.Name(), static_cast<uint64_t>(limit));
  if (!bytes) {
    struct stat st {};
    if (::fstatat(place.FolderFd(), place.Name().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_size > limit)
      RefuseLargeFile(place.Path(), limit);
    throw EFOpenError(place.Path());
  }
  TKsMemoryStream stream(*bytes);
  TOrbaInstallSet install;
  install.LoadFromStream(stream);
  if (install.IndexOfFile(name) >= 0) return;
  install.AddFile(name);
  install.SaveToPlace(place);
}

// Counts what a capture of the screen (Screen_w x Screen_h at 24 bits) made
// into a W x H Brix picture costs at its peak: the capture, its 24-bit copy
// and the smooth resize's result when the size changes, the resized
// picture, and the picture's rows with their packed form and the written
// stream. Raises EPictureTooLarge past the picture budget.
void ChargeCapture(int32_t screen_w, int32_t screen_h, int32_t w, int32_t h) {
  TPictureBudget budget;
  budget.ChargeAsRead(screen_w, screen_h, 24);
  if (w != screen_w || h != screen_h) {
    budget.ChargeWork(SurfaceBytes(screen_w, screen_h, 24));
    budget.ChargeWork(SurfaceBytes(w, h, 24));
    budget.ChargeAsRead(w, h, 24);
  }
  constexpr int kStreamCopies = 3;  // the rows, their packed form, the stream
  for (int i = 0; i < kStreamCopies; ++i) budget.ChargeWork(SurfaceBytes(w, h, 24));
}

}  // namespace

bool TFileFuncService::SaveScreen(const std::string& name, int32_t width, int32_t height, bool other,
                                  int32_t register_mode) {
  const std::string folder = files_.OverrideFolder;
  if (Screens == nullptr || folder.empty() || !DiskFolderExists(folder)) return false;
  if (SjisUpperCase(SjisExtractFileExt(name)) != ".BRX") return false;
  // A file on disk is written at the real place its name leads to, when the
  // game may write there, through the folder the check walked.
  const bool memory = IsMemoryFileName(name);
  const TWritePlace target = memory ? TWritePlace() : GameWritePlace(folder + name);
  if (!memory && target.Refused()) return false;
  const int32_t w = width != 0 ? width : Screens->ScreenWidth();
  const int32_t h = height != 0 ? height : Screens->ScreenHeight();
  // A size from the script: refused before anything is allocated.
  if (w <= 0 || h <= 0 || int64_t{w} * h > kMaxImagePixels) return false;
  try {
    ChargeCapture(Screens->ScreenWidth(), Screens->ScreenHeight(), w, h);
  } catch (const EPictureTooLarge& e) {
    TraceOnce(SjisToUtf8(name) + ": " + e.what());
    return false;
  }
  TBrixFrameList image(0);
  TBrixFrame* frame = image.AddFrame();
  frame->TransparentColor = -1;
  Screens->CaptureScreen(other, frame->Surface);
  if (w != frame->Surface.Width() || h != frame->Surface.Height())
    ResizeKeepBitCount(frame->Surface, w, h, -1, true);
  TKsMemoryStream stream;
  image.SaveToStream(stream, memory ? 1 : 0, 70);
  if (memory) {
    if (!WriteMemoryFile(name, stream.Bytes())) return false;
  } else {
    WriteGameFile(target, stream.Bytes().data(), stream.Bytes().size());
  }
  Screens->ForgetPicture(name);
  VrCacheRemove(files_, name);
  if (memory) return true;
  if (register_mode == 1) {
    AddExitDeleteFile(target.FolderFd(), target.Name(), target.Path());
  } else if (register_mode == 2 && DiskFileExists(folder + "install.dat")) {
    RegisterInstalledFile(folder + "install.dat", name);
  }
  return true;
}

bool TFileFuncService::SetWallPaper(const std::string& image, int32_t style) {
  if (Screens == nullptr) return false;
  if (!image.empty() && !game_files_.FileAvailable(image)) return false;
  const std::string system = Host().SystemFolder();
  if (system.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(system, ec);
  const std::string path = DiskPathToSjis(system + "/" + kWallpaperFileName);
  if (path.empty()) return false;
  const TWritePlace target = GameWritePlace(path);
  TKsMemoryStream bitmap;
  if (target.Refused() || !Screens->SaveBitmap(image, bitmap)) return false;
  WriteGameFile(target, bitmap.Bytes().data(), bitmap.Bytes().size());
  return orba::SetWallPaper(target.Path(), style);
}

}  // namespace orba
