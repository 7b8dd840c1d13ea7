// orbatool: one command-line tool with a subcommand per stored format.
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
#include "platform/text_convert.h"

namespace orbatool {
namespace {
struct Entry {
  const char* summary;
  CommandFn fn;
};
std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}
}  // namespace

OrbaToolCommand::OrbaToolCommand(const char* name, const char* summary, CommandFn fn) {
  Registry()[name] = Entry{summary, fn};
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "orbatool: %s\n", message.c_str());
  return 1;
}

}  // namespace orbatool

int main(int argc, char** argv) {
  using namespace orbatool;
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::printf("usage: orbatool COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& [name, entry] : Registry()) std::printf("  %-8s %s\n", name.c_str(), entry.summary);
    return argc < 2 ? 2 : 0;
  }
  auto it = Registry().find(argv[1]);
  if (it == Registry().end()) return Fail(std::string("unknown command: ") + argv[1]);
  std::vector<std::string> args(argv + 2, argv + argc);
  // No one answers the tool's message boxes or file dialogs.
  orba::InstallSilentDialogs();
  orba::SetHostServices(std::make_shared<orba::TLinuxHost>());
  try {
    return it->second.fn(args);
  } catch (const orba::EFOpenError& e) {
    // The stream's error carries only the file's name.
    return Fail("cannot open or create " + orba::SjisToUtf8(e.what()));
  } catch (const orba::EOrbaError& e) {
    return Fail(orba::SjisToUtf8(e.what()));
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
