// The file functions of scripts: reading game text files, in-memory files,
// extracting packaged files and the file and folder dialogs.
#pragma once

#include <string>
#include <vector>

namespace orba {

// Splits a text file into lines: a line ends at CR, LF or CR LF, a line break
// at the very end adds no empty line, and a zero byte ends the text.
std::vector<std::string> SplitTextLines(const std::string& text);

}  // namespace orba
