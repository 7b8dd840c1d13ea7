// The screens of the object manager as the screen functions (SaveScreen,
// SetWallPaper) see them.
#pragma once

#include "script/functions/sys_func_file.h"

namespace orba {

class TOrbaBaseList;

class TBaseListScreens final : public TScreenSource {
 public:
  explicit TBaseListScreens(TOrbaBaseList& manager) : manager_(manager) {}
  int32_t ScreenWidth() const override;
  int32_t ScreenHeight() const override;
  void CaptureScreen(bool other, TDIBSurface& picture) override;
  bool SaveBitmap(const std::string& image, TKsBigStream& bitmap) override;
  void ForgetPicture(const std::string& name) override;

 private:
  TOrbaBaseList& manager_;
};

}  // namespace orba
