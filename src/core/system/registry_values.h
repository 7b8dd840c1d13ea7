// Reading settings out of the system registry (platform/registry.h): a
// string value, checked for the types its reader accepts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace orba {

// The key whose "ProgramFilesDir" names the program-files folder.
inline constexpr char kWindowsVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr char kProgramFilesValue[] = "ProgramFilesDir";

// Reads the string value Name of Key into Value (Shift-JIS bytes as
// stored): false, Value unchanged, when the value's type and size cannot be
// had or its type is neither Type1 nor Type2. A size below 2 (nothing but a
// terminating zero byte, or not even that) gives "" and true. Otherwise
// Value takes the data less its last byte, the terminator, as long as the
// data read lasts; true when the read succeeded.
bool RegReadString(TRegRoot root, const std::string& key, const std::string& name, std::string& value,
                   uint32_t type1, uint32_t type2);

}  // namespace orba
