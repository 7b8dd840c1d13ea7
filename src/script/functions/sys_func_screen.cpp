// SaveScreen and SetWallPaper of the file functions: screen captures
// written as Brix images or Windows bitmaps.
#include <filesystem>
#include <memory>

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

bool TFileFuncService::SaveScreen(const std::string& name, int32_t width, int32_t height, bool other,
                                  int32_t register_mode) {
  const std::string folder = files_.OverrideFolder;
  if (Screens == nullptr || folder.empty() || !DiskFolderExists(folder)) return false;
  if (SjisUpperCase(SjisExtractFileExt(name)) != ".BRX") return false;
  // A file on disk is written at the real place its name leads to, when the
  // game may write there.
  const std::string target = IsMemoryFileName(name) ? std::string() : GameWritePath(folder + name);
  if (!IsMemoryFileName(name) && target.empty()) return false;
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
  if (IsMemoryFileName(name)) {
    TKsMemoryStream stream;
    image.SaveToStream(stream, 1, 70);
    if (!WriteMemoryFile(name, stream.Bytes())) return false;
  } else {
    TKsMemoryStream stream;
    image.SaveToStream(stream, 0, 70);
    stream.SaveToFile(target);
  }
  Screens->ForgetPicture(name);
  VrCacheRemove(files_, name);
  if (IsMemoryFileName(name)) return true;
  if (register_mode == 1) {
    AddExitDeleteFile(target);
  } else if (register_mode == 2 && DiskFileExists(folder + "install.dat")) {
    const std::string install_path = GameWritePath(folder + "install.dat");
    TOrbaInstallSet install;
    if (!install_path.empty()) install.LoadFromFile(install_path);
    if (!install_path.empty() && install.IndexOfFile(name) < 0) {
      install.AddFile(name);
      install.SaveToFile(install_path);
    }
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
  const std::string target = path.empty() ? std::string() : GameWritePath(path);
  if (target.empty() || !Screens->SaveBitmap(image, target)) return false;
  return orba::SetWallPaper(target, style);
}

}  // namespace orba
