// The files deleted when the program ends: screen captures a game asked to
// have removed at its end. Each is kept as the folder it was written in,
// held open, and its name there, so the file deleted is the one written
// even when a folder of its path was swapped for a link meanwhile. Paths
// are Shift-JIS, each listed once (compared without regard to case).
#pragma once

#include <string>

namespace orba {

// Lists the file Name (disk bytes) of the folder Folder_fd (duplicated;
// the caller keeps its own), known as Path.
void AddExitDeleteFile(int folder_fd, const std::string& name, const std::string& path);
// Deletes every listed file that is still a regular file in its folder and
// empties the list.
void DeleteExitFiles();

}  // namespace orba
