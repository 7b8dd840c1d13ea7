// orbatool: one command-line tool with a subcommand per stored format.
//   orbatool help | --help | -h          lists the commands
//   orbatool help CMD | CMD --help | -h  prints the command's usage
// A command line a command cannot take exits with status 2 and its usage on
// stderr; a failure of the work itself exits with status 1.
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "orbatool.h"
#include "platform/headless/silent_dialogs.h"
#include "platform/linux/host_linux.h"
#include "platform/linux/registry_linux.h"
#include "platform/text_convert.h"

namespace orbatool {
namespace {
struct Entry {
  const char* summary;
  const char* usage;
  CommandFn fn;
};
std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

void PrintCommands(std::FILE* out) {
  std::fprintf(out, "usage: orbatool COMMAND [ARGS...]\n       orbatool help [COMMAND]\n\ncommands:\n");
  for (const auto& [name, entry] : Registry()) std::fprintf(out, "  %-8s %s\n", name.c_str(), entry.summary);
  std::fprintf(out, "\n\"orbatool COMMAND --help\" prints the command's usage.\n");
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "help"; }

// Status 2: an unknown command, with the list of the known ones.
int UnknownCommand(const std::string& name) {
  std::fprintf(stderr, "orbatool: unknown command: %s\n", name.c_str());
  PrintCommands(stderr);
  return 2;
}

}  // namespace

OrbaToolCommand::OrbaToolCommand(const char* name, const char* summary, const char* usage, CommandFn fn) {
  Registry()[name] = Entry{summary, usage, fn};
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "orbatool: %s\n", message.c_str());
  return 1;
}

void BadUsage(const std::string& problem) { throw EUsage(problem); }

}  // namespace orbatool

int main(int argc, char** argv) {
  using namespace orbatool;
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty()) {
    PrintCommands(stderr);
    return 2;
  }
  if (IsHelp(all[0])) {
    if (all.size() == 1) {
      PrintCommands(stdout);
      return 0;
    }
    const auto it = Registry().find(all[1]);
    if (it == Registry().end() || all.size() > 2) return UnknownCommand(all[1]);
    std::fputs(it->second.usage, stdout);
    return 0;
  }
  const auto it = Registry().find(all[0]);
  if (it == Registry().end()) return UnknownCommand(all[0]);
  const std::vector<std::string> args(all.begin() + 1, all.end());
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(it->second.usage, stdout);
      return 0;
    }
  }
  // No one answers the tool's message boxes or file dialogs.
  orba::InstallSilentDialogs();
  orba::SetHostServices(std::make_shared<orba::TLinuxHost>());
  orba::SetRegistry(std::make_shared<orba::TLinuxRegistry>());
  try {
    return it->second.fn(args);
  } catch (const EUsage& e) {
    if (e.what()[0] != '\0') std::fprintf(stderr, "orbatool: %s\n", e.what());
    std::fputs(it->second.usage, stderr);
    return 2;
  } catch (const orba::EFOpenError& e) {
    // The stream's error carries only the file's name.
    return Fail("cannot open or create " + orba::SjisToUtf8(e.what()));
  } catch (const orba::EOrbaError& e) {
    return Fail(orba::SjisToUtf8(e.what()));
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
