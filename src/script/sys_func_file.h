// The file functions of scripts: reading game text files, in-memory files,
// extracting packaged files and the file and folder dialogs.
#pragma once

#include <string>
#include <vector>

namespace orba {

// Splits a text file into lines: a line ends at CR, LF or CR LF, a line break
// at the very end adds no empty line, and a zero byte ends the text.
std::vector<std::string> SplitTextLines(const std::string& text);

// Game files as the functions read them: the project answers whether a name
// is available (it may ask the player for another disc), the virtual file
// layer loads it.
class TGameFileSource {
 public:
  virtual ~TGameFileSource() = default;
  virtual bool FileAvailable(const std::string& name) = 0;
  // The whole file; raises when it cannot be read.
  virtual std::string LoadFile(const std::string& name) = 0;
};

// The lines of a game text file, for LoadTextFile and DBLoadTsvFile. False
// when the file is not available, holds no byte, or gives no line.
bool LoadGameTextLines(TGameFileSource& files, const std::string& name, std::vector<std::string>& lines);

}  // namespace orba
