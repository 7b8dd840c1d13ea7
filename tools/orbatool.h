// Subcommand registry of orbatool. Each tools/<format>_command.cpp registers
// its subcommand with a static OrbaToolCommand object.
#pragma once

#include <string>
#include <vector>

namespace orbatool {

using CommandFn = int (*)(const std::vector<std::string>& args);

struct OrbaToolCommand {
  OrbaToolCommand(const char* name, const char* summary, CommandFn fn);
};

// Prints "orbatool: <message>" to stderr and returns 1 (for `return Fail(..)`).
int Fail(const std::string& message);

}  // namespace orbatool
