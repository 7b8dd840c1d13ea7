// The game services on a function library: attaching registers the table
// functions and hooks the project's environment, whose save sections hold
// the game and the status tables apart; detaching gives the library its
// defaults back. The "tables" game (game_run_test.cpp) plays them.
#include "shell/game_services.h"

#include <gtest/gtest.h>

#include <string>

#include "core/files/vr_file_manager.h"
#include "script/functions/sys_func.h"
#include "script/project/project.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"

namespace orba {
namespace {

TEST(GameServices, AttachPlacesTheTablesAndDetachUnregisters) {
  TParamCollection store;
  TSysFuncMan funcs(store);
  TVrFileManager files;
  TProjectEnvironment env;
  std::unique_ptr<TGameServices> services = AttachGameServices(funcs, files, env, nullptr);
  ASSERT_TRUE(env.PlaceSaveSections && env.ClearGameTables);
  // A game table "G" and a status table "S", both without fields.
  TParamStr name;
  TParamFlag status, result;
  TCustomParam* create[] = {&name, &status};
  for (const char* table : {"G", "S"}) {
    name.SetAsStr(table);
    status.SetAsFlag(*table == 'S');
    funcs.CallSysFunc(result, FN_DBCreateTable, create);
    EXPECT_TRUE(result.GetAsFlag()) << table;
  }
  // Saved and read back, the game tables of a slot hold "G" only, the
  // status tables "S" only.
  TSaveSections sections;
  env.PlaceSaveSections(sections);
  TDBManager copy;
  for (const auto& [section, category] :
       {std::pair{sections.GameTables, kDBGameCategory}, std::pair{sections.StatusTables, kDBStatusCategory}}) {
    ASSERT_NE(section, nullptr);
    TKsMemoryStream saved;
    section->SaveToStream(saved);
    saved.SetPosition(0);
    copy.LoadFromStream(saved, category);
  }
  auto categories = [](TDBManager& tables) {
    std::string out;
    for (int32_t i = 0; i < tables.Count(); ++i)
      out += tables.GetTable(i)->Name + std::to_string(tables.GetTable(i)->Category) + " ";
    return out;
  };
  EXPECT_EQ(categories(copy), "G0 S1 ");
  // A game reset takes the game table only.
  env.ClearGameTables();
  EXPECT_EQ(categories(services->Tables()), "S1 ");
  // Without a project's check, a name the file layer does not find is not
  // available.
  EXPECT_FALSE(services->FileAvailable("nothing.txt"));

  DetachGameServices(services);
  EXPECT_EQ(services, nullptr);
  TParamStr answer;
  answer.SetAsStr("unchanged");
  funcs.CallSysFunc(answer, FN_DBGetActive, {});
  EXPECT_EQ(answer.GetAsStr(), "unchanged");
}

}  // namespace
}  // namespace orba
