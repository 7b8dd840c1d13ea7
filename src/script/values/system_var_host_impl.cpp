#include "script/values/system_var_host_impl.h"

#include <vector>

#include "core/game_clock.h"
#include "core/system/font_list.h"
#include "script/project/project.h"

namespace orba {

void TGameVarHost::SetProject(TProject* project) {
  project_ = project;
  SetCallMan(project != nullptr ? project->CallMan() : nullptr);
}

void TGameVarHost::SetMouseX(int32_t value) {
  if (MoveCursor) MoveCursor(value, objects_.GetMouseY());
}

void TGameVarHost::SetMouseY(int32_t value) {
  if (MoveCursor) MoveCursor(objects_.GetMouseX(), value);
}

int32_t TGameVarHost::GetScrWidth() { return project_ != nullptr ? project_->Width : 0; }
int32_t TGameVarHost::GetScrHeight() { return project_ != nullptr ? project_->Height : 0; }
std::string TGameVarHost::GetTitle() { return project_ != nullptr ? project_->Title : std::string(); }
long double TGameVarHost::GetNow() { return CachedNow(); }

std::string TGameVarHost::GetFontNames(bool fixed_pitch_only) {
  std::vector<std::string> names;
  EnumFontNames(names, true, false, fixed_pitch_only);
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += "\r\n";
    text += name;
  }
  return text;
}

}  // namespace orba
