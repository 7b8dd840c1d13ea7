// orbatool opb: shows the fields of a project settings file ("orba.opb").
#include <cstdio>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "orbatool.h"
#include "platform/text_convert.h"
#include "script/project/project_settings.h"
#include "script/values/param_text.h"

namespace {

using namespace orba;

constexpr char kUsage[] =
    "usage: orbatool opb dump ORBA.OPB\n"
    "  Prints every field of a project settings file, one a line.\n";

std::string U(const std::string& sjis) { return SjisToUtf8(sjis); }

std::string InitialValue(const TInitialVar& v) {
  switch (v.Type) {
    case 1: return IntToText(v.IntValue);
    case 2: return FloatToText(v.FloatValue);
    case 3: return v.FlagValue != 0 ? "TRUE" : "FALSE";
    case 4: return "\"" + U(v.StrValue) + "\"";
    default: return "(no value)";
  }
}

int Dump(const std::string& path) {
  TKsMemoryStream s;
  s.LoadFromFile(path);
  TProjectSetting p;
  p.LoadFromStream(s);
  std::printf("version %d\ntitle \"%s\"\nsize %d x %d\nscreen params %d %d\n", p.Version, U(p.Title).c_str(), p.Width,
              p.Height, p.ScreenParam1, p.ScreenParam2);
  std::printf("start page \"%s\"\nexit page \"%s\"\nregistry key \"%s\"\nimage code %d\n", U(p.StartPage).c_str(),
              U(p.ExitPage).c_str(), U(p.RegistryKey).c_str(), p.ImageCode);
  std::printf("write save data %d\nsleep between ticks %d\nstreamed extensions \"%s\"\npause when inactive %d\n",
              p.WriteSaveData, p.SleepBetweenTicks, U(p.StreamedExtensions).c_str(), p.PauseWhenInactive);
  std::printf("reserved %d\ndisk prompt \"%s\"\nquit text \"%s\"\n", p.Reserved, U(p.DiskPrompt).c_str(),
              U(p.QuitText).c_str());
  for (const TInitialVar& v : p.InitialVars) {
    std::printf("var %s type %d = %s\n", U(v.Name).c_str(), v.Type, InitialValue(v).c_str());
  }
  for (const auto& item : p.FolderDisks.Items) std::printf("folder \"%s\" disc %d\n", U(item.Folder).c_str(), item.Disc);
  return 0;
}

int OpbCommand(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "dump") return Dump(Utf8ToSjis(args[1]));
  orbatool::BadUsage();
}

const orbatool::OrbaToolCommand kOpb("opb", "show the fields of a project settings file (orba.opb)", kUsage,
                                    OpbCommand);

}  // namespace
