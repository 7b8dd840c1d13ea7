// SaveScreen and SetWallPaper of the file functions: screen captures
// written as Brix images or Windows bitmaps.
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/disk_path.h"
#include "core/files/exit_files.h"
#include "core/files/file_access.h"
#include "core/files/install_record.h"
#include "core/files/vr_file_manager.h"
#include "core/strings/sjis_case.h"
#include "core/system/desktop.h"
#include "graphics/brix.h"
#include "graphics/dib.h"
#include "graphics/resize.h"
#include "platform/host.h"
#include "script/functions/sys_func_file.h"

namespace orba {

namespace {

// Adds Name to the files the install record at Path lists, reading and
// writing the record through the folder the check walked.
void RegisterInstalledFile(const std::string& path, const std::string& name) {
  const TWritePlace place = GameWritePlace(path);
  if (place.FolderFd() < 0) return;
  const std::optional<std::vector<uint8_t>> bytes = ReadOwnFileAt(place.FolderFd(), place.Name());
  if (!bytes) throw EFOpenError(place.Path());
  TKsMemoryStream stream(*bytes);
  TOrbaInstallSet install;
  install.LoadFromStream(stream);
  if (install.IndexOfFile(name) >= 0) return;
  install.AddFile(name);
  install.SaveToPlace(place);
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
  TBrixFrameList image(0);
  TBrixFrame* frame = image.AddFrame();
  frame->TransparentColor = -1;
  Screens->CaptureScreen(other, frame->Surface);
  const int32_t w = width != 0 ? width : Screens->ScreenWidth();
  const int32_t h = height != 0 ? height : Screens->ScreenHeight();
  // A size from the script: refused before anything is allocated.
  if (w <= 0 || h <= 0 || int64_t{w} * h > kMaxImagePixels) return false;
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
