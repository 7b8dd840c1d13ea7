// The script trace: when a logger is installed, the interpreter hands it one
// line per command it steps to and one per event call it starts. Without a
// logger nothing is formatted. The logger is the player's optional trace
// sink: the --trace option of the headless runner installs one, and so does
// the environment variable ORBA_SCRIPT_LOG (a file name, or "-" for standard
// output). Window thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orba {

using TScriptLogger = std::function<void(const std::string& line)>;

// An empty function removes the logger.
void SetScriptLogger(TScriptLogger logger);
bool ScriptLoggerLoaded();
void ScriptLogWrite(const std::string& line);

// "%.8x : %s(%d)": game clock, page name, command line.
std::string FormatStepTrace(uint32_t clock, const std::string& page, int32_t line);
// "%.8x : <Event>%s(%d)": the same for the first command of an event call.
std::string FormatEventTrace(uint32_t clock, const std::string& page, int32_t line);

// A logger that writes each line and a line break to a new file ("-" writes to
// standard output). An empty name or a file that cannot be opened gives an
// empty logger.
TScriptLogger FileScriptLogger(const std::string& file_name);
// Installs the logger named by ORBA_SCRIPT_LOG when it is set; answers
// whether one was installed.
bool InstallScriptLoggerFromEnvironment();

}  // namespace orba
