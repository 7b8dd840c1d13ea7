// The files deleted when the program ends: screen captures a game asked to
// have removed at its end. Paths are Shift-JIS, each listed once (compared
// without regard to case).
#pragma once

#include <string>
#include <vector>

namespace orba {

void AddExitDeleteFile(const std::string& path);
const std::vector<std::string>& ExitDeleteFiles();
// Deletes every listed file that exists and empties the list.
void DeleteExitFiles();

}  // namespace orba
