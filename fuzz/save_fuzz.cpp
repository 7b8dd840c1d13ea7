// An entry of "save.dat", read as "orbatool save dump" reads it: as the
// status entry and as a game slot, over empty pieces and a table store.
#include "fuzz_support.h"
#include "script/functions/dbs.h"
#include "script/save/save_data.h"
#include "script/values/param_collection.h"

namespace {

void ReadEntry(const uint8_t* data, size_t size, bool status) {
  orba::TParamCollection vars;
  orba::TEmptySaveSections sections(vars, 0, 0);
  orba::TDBManager db;
  orba::TDBTablesSection game_tables(db, orba::kDBGameCategory), status_tables(db, orba::kDBStatusCategory);
  orba::TSaveSections pieces = sections.Sections();
  pieces.GameTables = &game_tables;
  pieces.StatusTables = &status_tables;
  orba::TSaveDataFile reader("", pieces);
  orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
  if (status) {
    orba::ReadStatusHeader(s);
    s.SetPosition(0);
    reader.ReadStatusData(s);
  } else {
    orba::ReadGameSlotHead(s);
    s.SetPosition(0);
    reader.ReadGameData(s);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] { ReadEntry(data, size, true); });
  orba::fuzz::Refused([&] { ReadEntry(data, size, false); });
  return 0;
}
