// A game slot of "save.dat" read into a real object manager: its scene
// (every object kind the manager makes, the sound and movie items too) and
// the empty forms of the rest. No media manager exists, so no file opens.
#include "fuzz_support.h"
#include "items/base_list.h"
#include "media/sound_item.h"
#include "media/video_item.h"
#include "items/cinema.h"
#include "items/prev_menu.h"
#include "script/save/save_data.h"
#include "script/values/param_collection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = [] {
    orba::RegisterSoundItem();
    orba::RegisterVideoItem();
    orba::RegisterCinemaItem();
    orba::RegisterPrevMenuItem();
    return true;
  }();
  (void)registered;
  orba::fuzz::Refused([&] {
    orba::TOrbaBaseList manager;
    manager.SetWidth(64);
    manager.SetHeight(48);
    orba::TParamCollection vars;
    orba::TEmptySaveSections empty(vars, 64, 48);
    orba::TSaveSections pieces = empty.Sections();
    pieces.Scene = manager.Services.SceneSection();
    orba::TSaveDataFile reader("", pieces);
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    reader.ReadGameData(s);
    manager.Draw();
  });
  return 0;
}
