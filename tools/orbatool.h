// Subcommand registry of orbatool. Each tools/<format>_command.cpp registers
// its subcommand, with a one-line summary and its usage text, by a static
// OrbaToolCommand object.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace orbatool {

using CommandFn = int (*)(const std::vector<std::string>& args);

struct OrbaToolCommand {
  // Usage: the command's help, starting "usage: orbatool NAME ...".
  OrbaToolCommand(const char* name, const char* summary, const char* usage, CommandFn fn);
};

// Prints "orbatool: <message>" to stderr and returns 1 (for `return Fail(..)`).
int Fail(const std::string& message);

// A command line the command cannot take. The tool prints the problem (when
// there is one) and the command's usage on stderr and exits with status 2.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
[[noreturn]] void BadUsage(const std::string& problem = std::string());

}  // namespace orbatool
