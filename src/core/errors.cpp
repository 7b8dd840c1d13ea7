#include "core/errors.h"

#include <errno.h>
#include <string.h>

#include "platform/text_convert.h"

namespace orba {

EReadError::EReadError()
    : EStreamError("\x83X\x83g\x83\x8a\x81[\x83\x80\x82\xcc\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x83G\x83\x89\x81[") {
}  // ストリームの読み込みエラー

EWriteError::EWriteError()
    : EStreamError("\x83X\x83g\x83\x8a\x81[\x83\x80\x82\xcc\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x83G\x83\x89\x81[") {
}  // ストリームの書き込みエラー

std::string SystemReason(int system_error) {
  char buffer[256];
  // The GNU form: the words may be a static text rather than the buffer.
  return Utf8ToSjis(::strerror_r(system_error, buffer, sizeof buffer));
}

EFOpenError::EFOpenError(const std::string& path, int system_error)
    : EStreamError(path + ": " + SystemReason(system_error)), system_error_(system_error) {}

bool NamesNoFile(int system_error) {
  switch (system_error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:   // a link in the place of a name opened without following links
    case ENXIO:   // a socket, or a device without its driver
    case ENODEV:
      return true;
    default: return false;
  }
}

}  // namespace orba
