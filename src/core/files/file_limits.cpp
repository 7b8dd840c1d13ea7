#include "core/files/file_limits.h"

#include "core/system/trace.h"
#include "platform/text_convert.h"

namespace orba {

EFileTooLarge::EFileTooLarge(const std::string& name, int64_t limit)
    : EOrbaError(name + ": more than " + std::to_string(limit) + " bytes"), limit_(limit) {}

void RefuseLargeFile(const std::string& name, int64_t limit) {
  EFileTooLarge error(name, limit);
  TellRefusal("file refused: " + SjisToUtf8(error.what()));
  throw error;
}

}  // namespace orba
