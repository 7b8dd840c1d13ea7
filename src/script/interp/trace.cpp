#include "script/interp/trace.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace orba {

namespace {

TScriptLogger& Logger() {
  static TScriptLogger logger;
  return logger;
}

std::string FormatTrace(uint32_t clock, const char* marker, const std::string& page, int32_t line) {
  char head[32];
  std::snprintf(head, sizeof head, "%.8x : ", clock);
  return std::string(head) + marker + page + "(" + std::to_string(line) + ")";
}

}  // namespace

void SetScriptLogger(TScriptLogger logger) { Logger() = std::move(logger); }
bool ScriptLoggerLoaded() { return static_cast<bool>(Logger()); }
void ScriptLogWrite(const std::string& line) {
  if (Logger()) Logger()(line);
}

std::string FormatStepTrace(uint32_t clock, const std::string& page, int32_t line) {
  return FormatTrace(clock, "", page, line);
}

std::string FormatEventTrace(uint32_t clock, const std::string& page, int32_t line) {
  return FormatTrace(clock, "<Event>", page, line);
}

TScriptLogger FileScriptLogger(const std::string& file_name) {
  if (file_name.empty()) return TScriptLogger();
  if (file_name == "-") {
    return [](const std::string& line) {
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
    };
  }
  std::shared_ptr<std::FILE> file(std::fopen(file_name.c_str(), "wb"), [](std::FILE* f) {
    if (f != nullptr) std::fclose(f);
  });
  if (!file) return TScriptLogger();
  return [file](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), file.get());
    std::fputc('\n', file.get());
    std::fflush(file.get());
  };
}

bool InstallScriptLoggerFromEnvironment() {
  const char* name = std::getenv("ORBA_SCRIPT_LOG");
  if (name == nullptr || *name == '\0') return false;
  TScriptLogger logger = FileScriptLogger(name);
  if (!logger) return false;
  SetScriptLogger(std::move(logger));
  return true;
}

}  // namespace orba
